#include "query/import.h"

#include <utility>

#include "platform/platform.h"
#include "text/encoding.h"

namespace kelvaro {

namespace {

// Each stage's copy is released before the next is made, so a large file costs a few
// times its size at the peak, not every stage at once.
int ImportNumbersFromText(ResultTable& table, Text utf8) {
  Text text = Utf8ToGbk(utf8);
  Text().swap(utf8);
  const TextList lines = SplitText(text, "\r\n");
  Text().swap(text);
  const int n = static_cast<int>(lines.size());
  for (int i = 1; i <= n; ++i) {
    const int row = table.AppendRow(std::to_string(i));
    table.SetCellText(row, ColumnIndex(Column::kNumber), lines[static_cast<std::size_t>(i) - 1]);
  }
  return n;
}

}  // namespace

int ImportNumbersFromBytes(ResultTable& table, const Bytes& bytes) {
  return ImportNumbersFromText(table, BytesToText(bytes));
}

bool ImportNumbersFromFile(ResultTable& table, const std::string& path, std::string* error) {
  table.ClearRows();
  Bytes bytes;
  std::string reason;
  if (!platform::ReadWholeFile(path, bytes, reason)) {
    if (error != nullptr) *error = reason;
    return false;
  }
  Text utf8 = BytesToText(bytes);
  Bytes().swap(bytes);
  ImportNumbersFromText(table, std::move(utf8));
  return true;
}

}  // namespace kelvaro
