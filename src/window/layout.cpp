#include "window/layout.h"

#include <string>

#include "document/readers/read_document.h"

namespace kelvaro {

const std::vector<ControlSpec>& Layout() {
  using K = ControlKind;
  static const std::vector<ControlSpec> layout = {
      {kCopyHintLabel, "标签5", K::kLabel, "【双击表格内容可直接复制】", 5, 58, 160, 24,
       kBatchPage},
      {kRemoveSuperseded, "按钮5", K::kButton, "删除有新标准", 737, 54, 88, 24, kOnWindow},
      {kSpeedLabel, "标签4", K::kLabel, "速度：", 831, 49, 32, 24, kBatchPage},
      {kSpeedBox, "编辑框3", K::kLineEdit, "2", 869, 48, 32, 24, kBatchPage},
      {kRemoveCurrentButton, "按钮4", K::kButton, "删除现行标准", 635, 49, 88, 24, kBatchPage},
      {kBatchQueryButton, "按钮3", K::kButton, "查询", 544, 50, 80, 24, kBatchPage},
      {kImportButton, "按钮2", K::kButton, "导入", 453, 50, 80, 24, kBatchPage},
      {kResultList, "超级列表框1", K::kListView, "", 5, 82, 904, 656, kBatchPage},
      {kFormatLabel, "标签3", K::kLabel,
       "标准编号格式：GB/T50001-2010   每行一个标准，格式不标准可能导致查询错误\r\n\r\n\r\n", 5, 39,
       440, 24, kBatchPage},
      {kInstructionLabel, "标签2", K::kLabel,
       "请先将待查的标准编号导入软件，再点击查询，速度建议为2，快了会出现未知\r\n", 5, 16, 424, 32,
       kBatchPage},
      {kExampleLabel, "标签1", K::kLabel, "例子：GB/T50001-2010   【必须按这个格式】", 101, 58, 336,
       40, kQueryPage},
      {kReportBox, "编辑框2", K::kMultiLineEdit, "", 100, 154, 328, 352, kQueryPage},
      {kSingleQueryButton, "按钮1", K::kButton, "查询", 341, 106, 80, 32, kQueryPage},
      {kNumberBox, "编辑框1", K::kLineEdit, "GB/T50001-2010", 101, 106, 224, 32, kQueryPage},
      {kTabControl, "选择夹1", K::kTab, "", 3, 6, 917, 744, kOnWindow},
  };
  return layout;
}

const ControlSpec& FindControl(ControlId id) {
  for (const ControlSpec& spec : Layout()) {
    if (spec.id == id) return spec;
  }
  return Layout().back();  // every id is in the layout
}

const char* PageTitle(int page) { return page == kQueryPage ? "查询" : "批量查询"; }

const std::vector<MenuItem>& TableMenu() {
  static const std::vector<MenuItem> menu = {
      {TableCommand::kCopyRow, "复制本行", "Ctrl+C"},
      {TableCommand::kCopyAll, "复制全部", nullptr},
      {TableCommand::kPaste, "粘贴", "Ctrl+V"},
      {TableCommand::kImportFolder, "导入文件夹…", nullptr},
      {TableCommand::kNone, "", nullptr},
      {TableCommand::kExportCsv, "导出 CSV…", nullptr},
      {TableCommand::kExportXlsx, "导出 Excel…", nullptr},
      {TableCommand::kExportMarked, "导出核查后的文档…", nullptr},
      {TableCommand::kExportReplaced, "导出核查并替换后的文档…", nullptr},
      {TableCommand::kExportChanges, "导出修改清单…", nullptr},
      {TableCommand::kNone, "", nullptr},
      {TableCommand::kOpenSearchPage, "打开查询网页", nullptr},
      {TableCommand::kSiteAddress, "查询网站…", nullptr},
      {TableCommand::kNone, "", nullptr},
      {TableCommand::kRequeryFailed, "重新查询未知", nullptr},
      {TableCommand::kRequeryAll, "重新查询全部（不用本地记录）", nullptr},
      {TableCommand::kNone, "", nullptr},
      {TableCommand::kImportOrder, "恢复导入顺序", nullptr},
  };
  return menu;
}

const std::vector<FileType>& ImportFileTypes() {
  // Every kind the import reads together first, then each, then anything.
  static const std::vector<FileType> types = [] {
    std::vector<FileType> each;
    FileType all{"标准清单和文档", ""};
    for (const OfferedKind& kind : OfferedKinds()) {
      all.patterns += (all.patterns.empty() ? "" : " ") + kind.patterns;
      each.push_back({kind.label, kind.patterns});
    }
    each.insert(each.begin(), all);
    each.push_back({"所有文件", "*"});
    return each;
  }();
  return types;
}

FileType ExportFileType(const char* extension) {
  const std::string wanted = extension;
  if (wanted == "xlsx") return {"Excel 工作簿", "*.xlsx"};
  if (wanted == "docx") return {"Word 文档", "*.docx"};
  return {"CSV", "*.csv"};
}

}  // namespace kelvaro
