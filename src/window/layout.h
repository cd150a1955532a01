// The window's fixed layout, as data both windows create their controls from: every control
// with its name, kind, text, place and page, in the layout's order (an earlier control lies
// above a later one with the same parent); the Result table's columns; the table's menu.
#pragma once

#include <string>
#include <vector>

namespace kelvaro {

inline constexpr int kClientWidth = 928;
inline constexpr int kClientHeight = 752;
inline constexpr int kQueryPage = 0;
inline constexpr int kBatchPage = 1;
inline constexpr int kOnWindow = -1;  // a control of the window itself, on no page

// Also the Win32 controls' ids.
enum ControlId : int {
  kTabControl = 1001,    // 选择夹1
  kRemoveSuperseded,     // 按钮5 "删除有新标准"
  kExampleLabel,         // 标签1
  kNumberBox,            // 编辑框1
  kSingleQueryButton,    // 按钮1
  kReportBox,            // 编辑框2
  kInstructionLabel,     // 标签2
  kFormatLabel,          // 标签3
  kImportButton,         // 按钮2
  kBatchQueryButton,     // 按钮3
  kRemoveCurrentButton,  // 按钮4
  kSpeedLabel,           // 标签4
  kSpeedBox,             // 编辑框3
  kCopyHintLabel,        // 标签5
  kResultList,           // 超级列表框1
};
inline constexpr int kControlCount = kResultList - kTabControl + 1;

enum class ControlKind { kTab, kButton, kLabel, kLineEdit, kMultiLineEdit, kListView };

struct ControlSpec {
  ControlId id;
  const char* name;  // UTF-8, as the layout stores it (the widgets' objectName)
  ControlKind kind;
  const char* text;  // UTF-8
  // Relative to the window's client area (page kOnWindow) or to the tab control's corner.
  int left, top, width, height;
  int page;  // kQueryPage, kBatchPage or kOnWindow
};

// Layout order; the open-file dialog is no control and not listed.
const std::vector<ControlSpec>& Layout();
const ControlSpec& FindControl(ControlId id);
// The tab control's pages: "查询", "批量查询".
const char* PageTitle(int page);

// The Result table's context menu.
enum class TableCommand {
  kNone,
  kCopyRow,
  kCopyAll,
  kPaste,
  kExportCsv,
  kExportXlsx,
  kRequeryFailed,
  kImportOrder,
  kExportMarked,
  kExportChanges,
  kOpenSearchPage,
  kExportReplaced,
  kSiteAddress,
  kRequeryAll,
  kImportFolder
};
struct MenuItem {
  TableCommand command;  // kNone: a separator
  const char* text;      // UTF-8
  const char* shortcut;  // shown beside the text, or null
};
const std::vector<MenuItem>& TableMenu();

// What the import's dialog offers, in order.
struct FileType {
  std::string label;     // UTF-8
  std::string patterns;  // "*.txt *.docx", space-separated
};
const std::vector<FileType>& ImportFileTypes();
// What the save dialog offers for a file with this extension ("csv", "xlsx", "docx").
FileType ExportFileType(const char* extension);

}  // namespace kelvaro
