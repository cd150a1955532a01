// The window's own words beyond its layout: title, captions, messages, the progress title.
// UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "rows/verdicts.h"
#include "site/site_settings.h"

namespace kelvaro {

// "Kelvaro（出现大量未知结果，换网或者等一会）--Tamsile qv2468"
const char* WindowTitle();
// The title while batches run: "done/total – " before the usual title.
std::string ProgressTitle(int done, int total);
// The title after a batch that stopped asking because the site refused it:
// "网站拒绝查询，已停止：N 行未查询 – " before the usual title.
std::string RefusalTitle(int rows_left);

inline constexpr char kErrorCaption[] = "错误";
// "无法读取文件：<path>：<why>"
std::string ReadErrorText(const std::string& path, const std::string& reason);
// "无法写入文件：<path>"
std::string WriteErrorText(const std::string& path);
// What the exports propose, in the folder of the last imported file.
inline constexpr char kExportBaseName[] = "结果";
// The change list's file: "<the rows' file name>修改清单.xlsx", or this alone.
inline constexpr char kChangeListName[] = "修改清单";
// The marked copy is never written over the document it was made from.
inline constexpr char kMarkedOverOriginal[] = "核查后的文档不能覆盖原文件，请另选文件名";
// "无法导出核查后的文档：<why>"
std::string MarkErrorText(const std::string& reason);
// No browser took the address: "无法打开浏览器，请将网址复制到浏览器中打开：<address>"
std::string OpenPageErrorText(const std::string& address);
// After a file was written, caption kNoticeCaption: "已保存到：<path>"
std::string SavedText(const std::string& path);
// The caption of a question whose answer decides whether the window goes on.
inline constexpr char kConfirmCaption[] = "确认";
// Before a paste replaces rows that were looked up.
std::string ReplaceResultsText(int rows_with_results);
// Before a folder's documents replace rows that were looked up.
std::string FolderReplaceResultsText(int rows_with_results);
// Before a marked copy or a change list, which leave out the rows removed since the import.
std::string RemovedRowsText(int removed);
// 查询网站…: the dialog that shows the address in use and takes another.
inline constexpr char kSiteCaption[] = "查询网站";
inline constexpr char kSitePrompt[] =
    "查询网站的地址（以 http:// 或 https:// 开头，如 http://host:port）：";
// "网站地址无效：<address>：<why>"
std::string BadAddressText(const std::string& address, AddressProblem problem);
// "已保存到：<file>", then "此后的查询使用 <address>" on a line of its own; when KELVARO_SITE
// decides the next start's address (`next_start`), a line that says so.
std::string SiteSavedText(const std::string& settings_file, const std::string& address,
                          const std::string& next_start);
// No folder for the settings file (no home folder, no APPDATA).
inline constexpr char kNoSettingsFolder[] = "找不到保存设置的文件夹";
// A paste that holds no standard number leaves the table as it was.
inline constexpr char kNothingToPaste[] = "剪贴板中没有标准编号";
// A paste longer than WindowLogic::kMaxPasteBytes leaves the table as it was.
inline constexpr char kPasteTooLarge[] = "剪贴板中的文字超过 2 MB，请保存为文件后导入";
// The batch button's sentence for that many rows the site failed; empty for none.
std::string RetryHint(int site_failures);
// The batch button's tooltip once rows were looked up: VerdictSummary, then RetryHint on a
// line of its own; empty before any lookup.
std::string BatchQueryToolTip(const std::vector<Verdict>& verdicts, int site_failures);
// "表格有 N 行，超过 Excel 一张工作表的上限"
std::string TooManyRowsText(std::size_t rows);
// After an Excel export whose longest texts did not fit in their cells, caption
// kNoticeCaption: "有 N 个单元格超过 32767 个字符，已截断；导出 CSV 可保留全文"
inline constexpr char kNoticeCaption[] = "提示";
std::string CellsCutText(std::size_t cells);

// The Result table's tooltips: the number cell's source ("第 3 行：《…》GB 50016-2014"), the
// status cell's reason, each of its notes (NoteLines) and, for a current row whose cited
// title is not the site's, TitleMismatchLines, each on a line of its own.
std::string SourceToolTip(const std::string& where, const std::string& written);
// The lookup store could not be used as it was (set aside, or none at all): `detail` says how.
std::string StoreWarningText(const std::string& detail);
// A row answered from the lookup store: "查询于 2026-12-08（本地记录）", the day of `read_at`.
std::string StoredLookupText(const std::string& read_at);

// 导入文件夹… and the folder a folder's marked copies go to: the dialogs' captions.
inline constexpr char kImportFolderCaption[] = "导入文件夹";
inline constexpr char kMarkedFolderCaption[] = "选择保存核查后文档的空文件夹";
// While a folder's documents are read: "读取文档 read/total – " before the usual title.
std::string ReadingDocumentsTitle(int read, int total);
// A folder whose documents cite no standard: "文件夹中没有找到标准编号：<folder>", then
// FolderNotesText's lines when some documents were passed over.
std::string NothingInFolderText(const std::string& folder, const std::vector<std::string>& notes);
// What a folder's import passed over, a line each; past kMaxNoteLines, how many more.
inline constexpr std::size_t kMaxNoteLines = 30;
std::string FolderNotesText(const std::vector<std::string>& notes);
// The copies of a folder go into an empty folder outside it.
inline constexpr char kMarkedFolderNotEmpty[] =
    "核查后的文档须保存到一个空文件夹，请另选或新建文件夹";
inline constexpr char kMarkedFolderInside[] = "核查后的文档不能保存在导入的文件夹中，请另选文件夹";
// "已将 N 份核查后的文档保存到：<folder>", then the documents not marked and why.
std::string FolderMarkedText(const std::string& folder, int written,
                             const std::vector<std::string>& not_marked);

// The fatal run-time error when the window cannot be made: caption kErrorCaption, then
// "运行时出错!\r\n\r\n错误信息：" + message.
inline constexpr char kWindowLoadFailed[] = "载入启动窗口失败";
std::string FatalErrorText(const std::string& message);

}  // namespace kelvaro
