#include "window/window_texts.h"

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
  return std::string("无法打开网页：").append(address);
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

std::string TitleMismatchText(const std::string& cited, const std::string& site) {
  return std::string("题名不符：引用《")
      .append(cited)
      .append("》，网站为《")
      .append(site)
      .append("》");
}

std::string FatalErrorText(const std::string& message) {
  return std::string("运行时出错!\r\n").append("\r\n错误信息：").append(message);
}

}  // namespace kelvaro
