// Compound files named .doc, .xls or .wps (KindOfContent takes the other contents of such
// names elsewhere) are read by the streams they hold: Word or Excel 97-2003 whatever the
// name, a WPS file only in Word's format; anything else is refused.
#include "document/readers/binary_office.h"
#include "document/errors.h"
#include "document/readers/formats.h"
#include "document/readers/read_document.h"

namespace kelvaro::formats {

namespace {

enum class Expected { kWord, kExcel, kWps };

bool ReadOffice(const Bytes& bytes, Expected expected, Budget& budget,
                std::vector<TextPiece>& pieces, DocumentError& error) {
  const DocumentError refusal =
      expected == Expected::kWps ? DocumentError::kWps : DocumentError::kNotWordOrExcel;
  if (!IsCompoundFile(bytes)) {
    error = refusal;
    return false;
  }
  CompoundFile file;
  if (!file.Open(bytes, error)) return false;
  if (file.Find("EncryptionInfo") != nullptr || file.Find("EncryptedPackage") != nullptr) {
    error = DocumentError::kEncrypted;
    return false;
  }
  if (file.Find("WordDocument") != nullptr) {
    return binary::ReadWordStreams(file, budget, pieces, error, refusal);
  }
  if (expected != Expected::kWps &&
      (file.Find("Workbook") != nullptr || file.Find("Book") != nullptr)) {
    return binary::ReadExcelStreams(file, budget, pieces, error);
  }
  error = refusal;
  return false;
}

}  // namespace

bool ReadDoc(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error) {
  return ReadOffice(bytes, Expected::kWord, budget, pieces, error);
}

bool ReadXls(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error) {
  return ReadOffice(bytes, Expected::kExcel, budget, pieces, error);
}

bool ReadWps(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error) {
  return ReadOffice(bytes, Expected::kWps, budget, pieces, error);
}

}  // namespace kelvaro::formats
