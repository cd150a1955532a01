// The window shows Unicode; the core's text is GBK. The one place they meet.
#pragma once

#include <QString>

#include "text/text.h"

namespace kelvaro {

Text WindowTextToGbk(const QString& text);
QString GbkToWindowText(const Text& text);

}  // namespace kelvaro
