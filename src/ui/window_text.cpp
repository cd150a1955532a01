#include "ui/window_text.h"

#include "text/encoding.h"

namespace kelvaro {

Text WindowTextToGbk(const QString& text) { return Utf8ToGbk(text.toStdString()); }

QString GbkToWindowText(const Text& text) {
  const std::string utf8 = GbkToUtf8(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace kelvaro
