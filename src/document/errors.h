// Why a document could not be read, and the words the user sees for it.
#pragma once

namespace kelvaro {

enum class DocumentError {
  kNone,
  kDamaged,
  kEncrypted,
  kTooLarge,         // inflated past the limits
  kContentTooLarge,  // more text or pieces than a document may give
  kTooManyMembers,
  kUnsafePath,
  kZip64,
  kMethod,
  kXmlEntity,
  kXmlEncoding,
  kNotWord,
  kNotExcel,
  kNotPdf,
  kPdfTooComplex,  // past a PDF reader's limits on objects, operators or text
  kNotText,
  kTooManyEntries,  // more entries in a compound file's directory than it may hold
  kNotWordOrExcel,  // under .doc or .xls, bytes no reader takes
  kWps,             // under .wps, bytes no reader takes (WPS's own format among them)
  kWord95,
  kExcel95,
  kOldPowerPoint,
  kNotMarkable,     // a kind no marked copy is made of
  kCopyUnreadable,  // a copy made that does not read back, and so is not given
  kStrictXml,       // a Strict Open XML workbook, read but not marked
};

// UTF-8, Chinese, short: "文件已损坏", "文件已加密"; empty for kNone.
const char* DocumentErrorWords(DocumentError error);

// `error` set to `reason`, and false: `return Fail(error, DocumentError::kDamaged);`.
inline bool Fail(DocumentError& error, DocumentError reason) {
  error = reason;
  return false;
}

}  // namespace kelvaro
