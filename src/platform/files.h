// Files, by UTF-8 path.
#pragma once

#include <string>

#include "text/text.h"

namespace kelvaro::platform {

// Reads a whole regular file; `path` is UTF-8. A file that cannot be opened or read, or is
// no regular file (a directory, a device, a pipe), gives false and the reason in `error`.
// Never blocks on a pipe without a writer.
bool ReadWholeFile(const std::string& path, Bytes& out, std::string& error);

}  // namespace kelvaro::platform
