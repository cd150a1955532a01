#include "query/changes.h"

namespace kelvaro {

// Placeholders until the change list lands.
std::string RowSearchAddress(const TableRow&) { return {}; }
std::vector<ChangeEntry> ChangeList(const std::vector<TableRow>&) { return {}; }
const std::vector<std::string>& ChangeHeader() {
  static const std::vector<std::string> header;
  return header;
}
std::string FormatChanges(const std::vector<ChangeEntry>&, ChangeFormat) { return {}; }
XlsxSheet ChangeSheet(const std::vector<TableRow>&) { return {}; }

}  // namespace kelvaro
