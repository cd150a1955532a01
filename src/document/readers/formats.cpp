#include "document/readers/formats.h"

namespace kelvaro::formats {

const std::vector<Format>& Formats() {
  static const std::vector<Format> formats = {
      {DocumentKind::kText, {"txt"}, "文本文件", &ReadText, DocumentError::kNone},
      {DocumentKind::kDocx, {"docx", "docm"}, "Word 文档", &ReadDocx, DocumentError::kNone},
      {DocumentKind::kXlsx, {"xlsx", "xlsm"}, "Excel 工作簿", &ReadXlsx, DocumentError::kNone},
      {DocumentKind::kCsv, {"csv"}, "CSV 文件", &ReadCsv, DocumentError::kNone},
      {DocumentKind::kPdf, {"pdf"}, "PDF 文件", &ReadPdf, DocumentError::kNone},
      {DocumentKind::kDoc, {"doc"}, "Word 文档", &ReadDoc, DocumentError::kNotWordOrExcel},
      {DocumentKind::kXls, {"xls"}, "Excel 工作簿", &ReadXls, DocumentError::kNotWordOrExcel},
      {DocumentKind::kWps, {"wps"}, "Word 文档", &ReadWps, DocumentError::kWps},
      {DocumentKind::kPpt, {"ppt"}, nullptr, nullptr, DocumentError::kOldPowerPoint},
  };
  return formats;
}

const Format& FormatOf(DocumentKind kind) {
  for (const Format& format : Formats()) {
    if (format.kind == kind) return format;
  }
  return Formats().front();
}

}  // namespace kelvaro::formats
