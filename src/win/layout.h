// The window's fixed layout: every control with its text, place and parent, in the
// layout's order (an earlier control lies above a later one with the same parent).
#pragma once

#include <vector>

namespace kelvaro::win {

inline constexpr int kClientWidth = 928;
inline constexpr int kClientHeight = 752;
inline constexpr int kQueryPage = 0;
inline constexpr int kBatchPage = 1;
inline constexpr int kOnWindow = -1;  // a control of the window itself, on no page

// Control ids, for GetDlgItem on the control's parent.
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

enum class ControlKind { kTab, kButton, kLabel, kLineEdit, kMultiLineEdit, kListView };

struct ControlSpec {
  ControlId id;
  const char* name;  // UTF-8, as the layout stores it
  ControlKind kind;
  const char* text;  // UTF-8
  int left, top, width, height;
  int page;  // kQueryPage, kBatchPage or kOnWindow
};

// Layout order; the open-file dialog is no window and not listed.
const std::vector<ControlSpec>& Layout();
const ControlSpec* FindControl(ControlId id);
// "Kelvaro（出现大量未知结果，换网或者等一会）--Tamsile qv2468", UTF-8.
const char* WindowTitle();
// The tab control's pages: "查询", "批量查询".
const char* PageTitle(int page);

}  // namespace kelvaro::win
