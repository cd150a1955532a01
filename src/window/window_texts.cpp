#include "window/window_texts.h"

#include <algorithm>

#include "rows/reason.h"
#include "window/layout.h"

namespace kelvaro {

const char* WindowTitle() { return "Kelvaro（出现大量未知结果，换网或者等一会）--Tamsile qv2468"; }

std::string ProgressTitle(int done, int total) {
  return std::to_string(done)
      .append("/")
      .append(std::to_string(total))
      .append(" \u2013 ")
      .append(WindowTitle());
}

std::string RefusalTitle(int rows_left) {
  return RefusalStopWords(rows_left).append(" \u2013 ").append(WindowTitle());
}

std::string ReadErrorText(const std::string& path, const std::string& reason) {
  return std::string("无法读取文件：").append(path).append("：").append(reason);
}

std::string WriteErrorText(const std::string& path) {
  return std::string("无法写入文件：").append(path);
}

std::string MarkErrorText(const std::string& reason) {
  return std::string("无法导出核查后的文档：").append(reason);
}

std::string OpenPageErrorText(const std::string& address) {
  return std::string("无法打开浏览器，请将网址复制到浏览器中打开：").append(address);
}

std::string SavedText(const std::string& path) { return std::string("已保存到：").append(path); }

std::string ReplaceResultsText(int rows_with_results) {
  return std::string("表格中有 ")
      .append(std::to_string(rows_with_results))
      .append(" 行已有查询结果，粘贴将替换表格中的全部行。是否继续？");
}

std::string FolderReplaceResultsText(int rows_with_results) {
  return std::string("表格中有 ")
      .append(std::to_string(rows_with_results))
      .append(" 行已有查询结果，导入文件夹将替换表格中的全部行。是否继续？");
}

std::string ReadingDocumentsTitle(int read, int total) {
  return std::string("读取文档 ")
      .append(std::to_string(read))
      .append("/")
      .append(std::to_string(total))
      .append(" \u2013 ")
      .append(WindowTitle());
}

namespace {

// A line each, at most kMaxNoteLines: a folder may pass over thousands of files.
void AppendLines(std::string& text, const std::vector<std::string>& lines) {
  const std::size_t shown = std::min(lines.size(), kMaxNoteLines);
  for (std::size_t i = 0; i < shown; ++i) text.append("\n").append(lines[i]);
  if (lines.size() > shown) {
    text.append("\n……另有 ").append(std::to_string(lines.size() - shown)).append(" 项");
  }
}

}  // namespace

std::string FolderNotesText(const std::vector<std::string>& notes) {
  std::string text = "以下文件未导入：";
  AppendLines(text, notes);
  return text;
}

std::string NothingInFolderText(const std::string& folder, const std::vector<std::string>& notes) {
  std::string text = std::string("文件夹中没有找到标准编号：").append(folder);
  if (!notes.empty()) text.append("\n").append(FolderNotesText(notes));
  return text;
}

std::string FolderMarkedText(const std::string& folder, int written,
                             const std::vector<std::string>& not_marked) {
  std::string text = std::string("已将 ")
                         .append(std::to_string(written))
                         .append(" 份核查后的文档保存到：")
                         .append(folder);
  if (!not_marked.empty()) {
    text.append("\n以下文档未标注：");
    AppendLines(text, not_marked);
  }
  return text;
}

std::string RemovedRowsText(int removed) {
  return std::string("导入后已从表格中删除 ")
      .append(std::to_string(removed))
      .append(" 行，这些行不会出现在导出的文件中。是否继续？");
}

std::string BadAddressText(const std::string& address, AddressProblem problem) {
  const char* why = "";
  switch (problem) {
    case AddressProblem::kNone:
      break;
    case AddressProblem::kEmpty:
      why = "地址为空";
      break;
    case AddressProblem::kCharacters:
      why = "地址中不能有空格、控制字符或非 ASCII 字符";
      break;
    case AddressProblem::kScheme:
      why = "地址须以 http:// 或 https:// 开头";
      break;
    case AddressProblem::kHost:
      why = "缺少主机名，或主机名中有不允许的字符";
      break;
    case AddressProblem::kPort:
      why = "端口须为 1 到 65535 之间的数字";
      break;
    case AddressProblem::kQuery:
      why = "地址中不能有 ? 或 #";
      break;
  }
  return std::string("网站地址无效：").append(address).append("：").append(why);
}

std::string SiteSavedText(const std::string& settings_file, const std::string& address,
                          const std::string& next_start) {
  std::string text = SavedText(settings_file).append("\n此后的查询使用 ").append(address);
  if (next_start != address) {
    text.append("\n环境变量 KELVARO_SITE 已设定，下次启动时仍使用 ").append(next_start);
  }
  return text;
}

std::string RetryHint(int site_failures) {
  if (site_failures <= 0) return {};
  std::string menu_item;
  for (const MenuItem& item : TableMenu()) {
    if (item.command == TableCommand::kRequeryFailed) menu_item = item.text;
  }
  return std::string("有 ")
      .append(std::to_string(site_failures))
      .append(" 行因网络错误或网站出错而为“未知”；在表格上单击右键，选“")
      .append(menu_item)
      .append("”可再查一次");
}

std::string BatchQueryToolTip(const std::vector<Verdict>& verdicts, int site_failures) {
  bool looked_up = false;
  for (const Verdict verdict : verdicts) looked_up = looked_up || verdict != Verdict::kNone;
  if (!looked_up) return {};
  std::string tip = VerdictSummary(verdicts);
  if (site_failures > 0) tip.append("\n").append(RetryHint(site_failures));
  return tip;
}

std::string TooManyRowsText(std::size_t rows) {
  return std::string("表格有 ")
      .append(std::to_string(rows))
      .append(" 行，超过 Excel 一张工作表的上限");
}

std::string CellsCutText(std::size_t cells) {
  return std::string("有 ")
      .append(std::to_string(cells))
      .append(" 个单元格超过 32767 个字符，已截断；导出 CSV 可保留全文");
}

std::string SourceToolTip(const std::string& where, const std::string& written) {
  if (written.empty()) return where;
  if (where.empty()) return written;
  return where + "：" + written;
}

std::string FatalErrorText(const std::string& message) {
  return std::string("运行时出错!\r\n").append("\r\n错误信息：").append(message);
}

std::string StoredLookupText(const std::string& read_at) {
  return "查询于 " + read_at.substr(0, read_at.find(' ')) + "（本地记录）";
}

std::string StoreWarningText(const std::string& detail) {
  return "本地查询记录出了问题，查询照常进行：\n" + detail;
}

}  // namespace kelvaro
