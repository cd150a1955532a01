#include "query/import.h"

#include "platform/files.h"
#include "text/encoding.h"

namespace kelvaro {

namespace {

// The file as GBK: UTF-16 when it starts with a UTF-16 byte-order mark, else UTF-8.
Text DecodeFile(const Bytes& bytes) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    const bool big_endian = bytes[0] == 0xFE;
    return Utf16ToGbk(Bytes(bytes.begin() + 2, bytes.end()), big_endian);
  }
  return Utf8ToGbk(std::string(bytes.begin(), bytes.end()));
}

}  // namespace

TextList ImportLines(const Bytes& bytes) {
  Text text = DecodeFile(bytes);
  // A line ends at LF, with the CR of a CR LF dropped; a lone CR stays in its line. LF is
  // never a GBK trail byte, so the split cannot cut a character.
  TextList lines = SplitText(text, "\n");
  Text().swap(text);
  for (Text& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

int ImportNumbersFromBytes(ResultTable& table, const Bytes& bytes) {
  const TextList lines = ImportLines(bytes);
  const int n = static_cast<int>(lines.size());
  for (int i = 1; i <= n; ++i) {
    const int row = table.AppendRow(std::to_string(i));
    table.SetCellText(row, ColumnIndex(Column::kNumber), lines[static_cast<std::size_t>(i) - 1]);
  }
  return n;
}

bool ImportNumbersFromFile(ResultTable& table, const std::string& path, std::string* error) {
  Bytes bytes;
  std::string reason;
  // Read first: a file that cannot be read leaves the earlier rows as they were.
  if (!platform::ReadWholeFile(path, bytes, reason)) {
    if (error != nullptr) *error = reason;
    return false;
  }
  table.ClearRows();
  ImportNumbersFromBytes(table, bytes);
  return true;
}

}  // namespace kelvaro
