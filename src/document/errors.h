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
  // Old binary Office files, until they can be read.
  kOldWord,
  kOldExcel,
  kOldWps,
  kOldPowerPoint,
};

// UTF-8, Chinese, short: "文件已损坏", "文件已加密"; empty for kNone.
const char* DocumentErrorWords(DocumentError error);

}  // namespace kelvaro
