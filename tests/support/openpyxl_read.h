// A workbook as openpyxl, a reader written by others, sees it (openpyxl_dump.py).
#pragma once

#include <nlohmann/json.hpp>

#include "text/text.h"

namespace kelvaro::test {

// What openpyxl_dump.py prints for `bytes` written to a file; an empty object, and a test
// failure, when it cannot read them.
nlohmann::json OpenpyxlRead(const Bytes& bytes);

}  // namespace kelvaro::test
