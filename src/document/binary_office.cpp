// Files named .doc, .xls or .wps are read as what their bytes are: a compound file by the
// streams it holds, a zip package by its content types, plain text as text. Anything else
// (RTF, HTML, XML spreadsheets, Works files) is refused, never read as lines of junk.
#include <algorithm>

#include "document/binary_office.h"
#include "document/formats.h"
#include "document/package.h"
#include "document/reasons.h"

namespace kelvaro::formats {

namespace {

enum class Expected { kWord, kExcel, kWps };

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), s.begin(),
                    [](char a, char b) { return (a | 0x20) == (b | 0x20); });
}

// Text with no control characters but tabs, line and page ends (a last Ctrl-Z too), whose
// first visible character opens no markup.
bool IsPlainText(std::string_view s) {
  if (s.size() >= 2 && (s.substr(0, 2) == "\xFF\xFE" || s.substr(0, 2) == "\xFE\xFF")) {
    const std::size_t low = s[0] == '\xFF' ? 0 : 1;
    for (std::size_t i = 2; i + 1 < s.size(); i += 2) {
      const char c = s[i + low], other = s[i + 1 - low];
      if (other != 0 || (c != ' ' && c != '\t' && c != '\r' && c != '\n')) {
        return other != 0 || c != '<';
      }
    }
    return true;
  }
  if (StartsWith(s, "\xEF\xBB\xBF")) s.remove_prefix(3);
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r' &&
        !(c == 0x1A && i + 1 == s.size())) {
      return false;
    }
  }
  const std::size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return true;
  s.remove_prefix(first);
  return s[0] != '<' && !StartsWith(s, "{\\rtf") && !StartsWith(s, "MIME-Version");
}

bool ReadPackage(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error,
                 const char* refusal) {
  ZipReader zip;
  if (!package::OpenPackage(bytes, zip, refusal, error)) return false;
  std::string types;
  if (!package::ReadMember(zip, "[Content_Types].xml", types, error)) {
    if (error.empty()) error = refusal;
    return false;
  }
  auto holds = [&](std::string_view type) { return types.find(type) != std::string::npos; };
  if (holds("wordprocessingml.document.main+xml") || holds("wordprocessingml.template.main+xml") ||
      holds("ms-word.document.macroEnabled") || holds("ms-word.template.macroEnabledTemplate")) {
    return ReadDocx(bytes, pieces, error);
  }
  if (holds("spreadsheetml.sheet.main+xml") || holds("spreadsheetml.template.main+xml") ||
      holds("ms-excel.sheet.macroEnabled") || holds("ms-excel.template.macroEnabled")) {
    return ReadXlsx(bytes, pieces, error);
  }
  error = refusal;
  return false;
}

bool ReadOffice(const Bytes& bytes, Expected expected, std::vector<TextPiece>& pieces,
                std::string& error) {
  const char* refusal = expected == Expected::kWps ? reason::kWps : reason::kNotWordOrExcel;
  const std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (IsCompoundFile(bytes)) {
    CompoundFile file;
    if (!file.Open(bytes, error)) return false;
    if (file.Find("EncryptionInfo") != nullptr || file.Find("EncryptedPackage") != nullptr) {
      error = reason::kEncrypted;
      return false;
    }
    if (file.Find("WordDocument") != nullptr) {
      return binary::ReadWordStreams(file, pieces, error, refusal);
    }
    if (expected != Expected::kWps &&
        (file.Find("Workbook") != nullptr || file.Find("Book") != nullptr)) {
      return binary::ReadExcelStreams(file, pieces, error);
    }
    error = refusal;
    return false;
  }
  if (StartsWith(s, "PK\x03\x04")) return ReadPackage(bytes, pieces, error, refusal);
  if (IsPlainText(s)) return ReadText(bytes, pieces);
  error = refusal;
  return false;
}

}  // namespace

bool ReadDoc(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error) {
  return ReadOffice(bytes, Expected::kWord, pieces, error);
}

bool ReadXls(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error) {
  return ReadOffice(bytes, Expected::kExcel, pieces, error);
}

bool ReadWps(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error) {
  return ReadOffice(bytes, Expected::kWps, pieces, error);
}

}  // namespace kelvaro::formats
