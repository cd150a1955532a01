// Why a document could not be read, in the words the user sees (UTF-8).
#pragma once

namespace kelvaro::reason {

inline constexpr char kDamaged[] = "文件已损坏";
inline constexpr char kEncrypted[] = "文件已加密";
inline constexpr char kTooLarge[] = "解压后过大";
inline constexpr char kContentTooLarge[] = "文件内容过大";
inline constexpr char kTooManyMembers[] = "压缩包内文件过多";
inline constexpr char kUnsafePath[] = "压缩包内有不安全的路径";
inline constexpr char kZip64[] = "不支持 ZIP64 压缩包";
inline constexpr char kMethod[] = "不支持的压缩方式";
inline constexpr char kXmlEntity[] = "文件含有 XML 实体声明";
inline constexpr char kXmlEncoding[] = "不支持的 XML 编码";
inline constexpr char kNotWord[] = "不是 Word 文档";
inline constexpr char kNotExcel[] = "不是 Excel 文档";
inline constexpr char kNotPdf[] = "不是 PDF 文档";
inline constexpr char kNotText[] = "不是文本文件";
inline constexpr char kTooManyEntries[] = "文件内条目过多";
inline constexpr char kNotWordOrExcel[] = "不是有效的 Word/Excel 文件";
inline constexpr char kWps[] = "不支持该 WPS 文件，请另存为 .docx";
inline constexpr char kWord95[] = "不支持 Word 95 及更早的文件，请另存为 .docx";
inline constexpr char kExcel95[] = "不支持 Excel 95 及更早的文件，请另存为 .xlsx";
inline constexpr char kOldPowerPoint[] = "不支持 .ppt 文件，请复制其中文字后粘贴";

}  // namespace kelvaro::reason
