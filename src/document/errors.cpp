#include "document/errors.h"

namespace kelvaro {

const char* DocumentErrorWords(DocumentError error) {
  switch (error) {
    case DocumentError::kNone:
      return "";
    case DocumentError::kDamaged:
      return "文件已损坏";
    case DocumentError::kEncrypted:
      return "文件已加密";
    case DocumentError::kTooLarge:
      return "解压后过大";
    case DocumentError::kContentTooLarge:
      return "文件内容过大";
    case DocumentError::kTooManyMembers:
      return "压缩包内文件过多";
    case DocumentError::kUnsafePath:
      return "压缩包内有不安全的路径";
    case DocumentError::kZip64:
      return "不支持 ZIP64 压缩包";
    case DocumentError::kMethod:
      return "不支持的压缩方式";
    case DocumentError::kXmlEntity:
      return "文件含有 XML 实体声明";
    case DocumentError::kXmlEncoding:
      return "不支持的 XML 编码";
    case DocumentError::kNotWord:
      return "不是 Word 文档";
    case DocumentError::kNotExcel:
      return "不是 Excel 文档";
    case DocumentError::kNotPdf:
      return "不是 PDF 文档";
    case DocumentError::kPdfTooComplex:
      return "PDF 内容过于复杂";
    case DocumentError::kNotText:
      return "不是文本文件";
    case DocumentError::kTooManyEntries:
      return "文件内条目过多";
    case DocumentError::kNotWordOrExcel:
      return "不是有效的 Word/Excel 文件";
    case DocumentError::kWps:
      return "不支持该 WPS 文件，请另存为 .docx";
    case DocumentError::kWord95:
      return "不支持 Word 95 及更早的文件，请另存为 .docx";
    case DocumentError::kExcel95:
      return "不支持 Excel 95 及更早的文件，请另存为 .xlsx";
    case DocumentError::kOldPowerPoint:
      return "不支持 .ppt 文件，请复制其中文字后粘贴";
    case DocumentError::kNotMarkable:
      return "只有 Word (.docx) 和 Excel (.xlsx) 文档能标注";
    case DocumentError::kCopyUnreadable:
      return "标注后的副本未能通过读回检查，未写入";
    case DocumentError::kStrictXml:
      return "不能标注 Strict Open XML 格式的工作簿，请另存为普通的 Excel 工作簿 (.xlsx)";
  }
  return "文件已损坏";
}

}  // namespace kelvaro
