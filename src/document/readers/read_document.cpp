#include "document/readers/read_document.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include "document/containers/zip_reader.h"
#include "document/errors.h"
#include "document/location.h"
#include "document/readers/formats.h"
#include "text/text.h"

namespace kelvaro {

DocumentKind DocumentKindOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = file.rfind('.');
  if (dot == std::string_view::npos) return DocumentKind::kText;
  const std::string extension = LowerAscii(file.substr(dot + 1));
  for (const formats::Format& format : formats::Formats()) {
    for (const std::string_view known : format.extensions) {
      if (extension == known) return format.kind;
    }
  }
  return DocumentKind::kText;
}

std::vector<OfferedKind> OfferedKinds() {
  std::vector<OfferedKind> offered;
  for (const formats::Format& format : formats::Formats()) {
    if (format.label == nullptr) continue;
    const std::string pattern = "*." + std::string(format.extensions.front());
    const auto same = std::find_if(offered.begin(), offered.end(), [&](const OfferedKind& kind) {
      return kind.label == format.label;
    });
    if (same != offered.end()) {
      same->patterns += " " + pattern;
    } else {
      offered.push_back({format.label, pattern});
    }
  }
  return offered;
}

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

// Whether `name` occurs in the bytes as UTF-16LE, as the stream names of an OLE2 file do.
bool HoldsUtf16Name(std::string_view bytes, std::string_view name) {
  std::string wide;
  for (const char c : name) {
    wide += c;
    wide += '\0';
  }
  return bytes.find(wide) != std::string_view::npos;
}

// An OLE2 file named as text is read by the streams it holds.
std::optional<DocumentKind> CompoundFileKind(std::string_view bytes, DocumentError& why) {
  why = DocumentError::kNotText;
  if (HoldsUtf16Name(bytes, "EncryptedPackage")) {
    why = DocumentError::kEncrypted;  // .docx, .xlsx
  } else if (HoldsUtf16Name(bytes, "WordDocument")) {
    return DocumentKind::kDoc;
  } else if (HoldsUtf16Name(bytes, "Workbook") || HoldsUtf16Name(bytes, "Book")) {
    return DocumentKind::kXls;
  } else if (HoldsUtf16Name(bytes, "PowerPoint Document")) {
    why = DocumentError::kOldPowerPoint;
  }
  return std::nullopt;
}

// HTML, XML spreadsheets and RTF, which Office also saves under its old names: no reader here
// reads them, and as text they would give lines of markup.
bool IsMarkup(std::string_view raw) {
  std::string text;  // the first characters, UTF-16 narrowed
  if (StartsWith(raw, "\xFF\xFE") || StartsWith(raw, "\xFE\xFF")) {
    const std::size_t low = raw[0] == '\xFF' ? 0 : 1;
    for (std::size_t i = 2; i + 1 < raw.size() && text.size() < 64; i += 2) {
      text += raw[i + 1 - low] == 0 ? raw[i + low] : '?';
    }
  } else {
    text = raw.substr(StartsWith(raw, "\xEF\xBB\xBF") ? 3 : 0, 64);
  }
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return false;
  const std::string lower = LowerAscii(text.substr(first));
  return lower.starts_with("<") || lower.starts_with("{\\rtf") || lower.starts_with("mime-version");
}

// A zip is a .docx or .xlsx by the folder of its parts.
std::optional<DocumentKind> PackageKind(const Bytes& bytes, DocumentError& error) {
  ZipReader zip;
  if (!zip.Open(bytes, error)) return std::nullopt;
  for (const ZipMember& member : zip.Members()) {
    const std::string name = LowerAscii(member.name);
    if (name.starts_with("word/")) return DocumentKind::kDocx;
    if (name.starts_with("xl/")) return DocumentKind::kXlsx;
  }
  error = DocumentError::kNotText;
  return std::nullopt;
}

}  // namespace

ZeroBytes ZeroBytesOf(std::string_view raw) {
  std::size_t even = 0, odd = 0;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\0') ++(i % 2 == 0 ? even : odd);
  }
  const std::size_t zeros = even + odd;
  if (zeros == 0) return ZeroBytes::kNone;
  // ASCII in UTF-16 puts a zero in every other byte, on one side only.
  const std::size_t units = raw.size() / 2;
  if (odd >= 4 && odd * 3 >= units && even * 8 <= odd) return ZeroBytes::kUtf16Le;
  if (even >= 4 && even * 3 >= units && odd * 8 <= even) return ZeroBytes::kUtf16Be;
  // A stray zero or two (a copy cut short, a tool's slip) in text that is otherwise text.
  if (zeros <= std::max<std::size_t>(4, raw.size() / 200) && zeros * 8 <= raw.size()) {
    return ZeroBytes::kStray;
  }
  return ZeroBytes::kBinary;
}

bool KindOfContent(const Bytes& bytes, DocumentKind& kind, DocumentError& error) {
  const formats::Format& format = formats::FormatOf(kind);
  const bool old_office = format.unread != DocumentError::kNone;
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const bool package_named = kind == DocumentKind::kDocx || kind == DocumentKind::kXlsx;
  if (package_named && StartsWith(raw, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    // A Word or Excel 97-2003 file renamed to the new name is read for what it is.
    DocumentError why = DocumentError::kNone;
    if (const std::optional<DocumentKind> compound = CompoundFileKind(raw, why)) kind = *compound;
    return true;
  }
  if (kind != DocumentKind::kText && kind != DocumentKind::kCsv && !old_office) return true;
  const auto refuse = [&](DocumentError why) {
    error = old_office ? format.unread : why;
    return false;
  };
  if (StartsWith(raw, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    // The Word and Excel readers tell what the compound file holds.
    if (old_office) return format.read != nullptr || refuse(format.unread);
    DocumentError why = DocumentError::kNone;
    const std::optional<DocumentKind> compound = CompoundFileKind(raw, why);
    if (!compound.has_value()) return refuse(why);
    kind = *compound;
    return true;
  }
  if (StartsWith(raw, "PK\x03\x04") || StartsWith(raw, "PK\x05\x06")) {
    DocumentError why = DocumentError::kNone;
    const std::optional<DocumentKind> package = PackageKind(bytes, why);
    if (!package.has_value()) return refuse(why);
    kind = *package;
    return true;
  }
  if (StartsWith(raw, "%PDF-")) {
    kind = DocumentKind::kPdf;
    return true;
  }
  const bool utf16 = StartsWith(raw, "\xFF\xFE") || StartsWith(raw, "\xFE\xFF");
  if (!utf16 && ZeroBytesOf(raw) == ZeroBytes::kBinary) return refuse(DocumentError::kNotText);
  if (old_office) {
    if (IsMarkup(raw)) return refuse(format.unread);
    kind = DocumentKind::kText;
  }
  return true;
}

namespace {

// What a header row's first cell says: the column of a numbered list of standards, whose
// 序号 would otherwise be one less than the row counted.
bool HeaderWords(const std::string& utf8) {
  std::string words;
  for (const char c : utf8) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') words += c;
  }
  return words == "序号" || words == "序" || words == "编号" || LowerAscii(words) == "no." ||
         LowerAscii(words) == "no";
}

// A list item is named by its own number, and a table's rows are counted below its header
// row, as the reader of the note counts them.
void NameItemsAndRows(std::vector<TextPiece>& pieces) {
  std::unordered_set<int> headed;
  for (const TextPiece& piece : pieces) {
    const Location& at = piece.location;
    if (at.kind == Location::Kind::kTableCell && at.row == 1 && at.column == 1 &&
        HeaderWords(piece.text)) {
      headed.insert(at.table);
    }
  }
  for (TextPiece& piece : pieces) {
    Location& at = piece.location;
    if (at.kind == Location::Kind::kParagraph) {
      at.item = ListItemNumber(piece.text);
    } else if (at.kind == Location::Kind::kTableCell && headed.contains(at.table)) {
      at.below_header = true;
      --at.row;
    }
  }
}

}  // namespace

bool ReadDocument(const Bytes& bytes, DocumentKind kind, std::vector<TextPiece>& pieces,
                  DocumentError& error, const DocumentLimits& limits,
                  std::vector<std::string>* notes) {
  pieces.clear();
  if (notes != nullptr) notes->clear();
  error = DocumentError::kNone;
  if (!KindOfContent(bytes, kind, error)) return false;
  formats::Budget budget(limits);
  // A kind without a reader of its own got here as text.
  const formats::Reader read = formats::FormatOf(kind).read;
  const bool ok = (read != nullptr ? read : &formats::ReadText)(bytes, budget, pieces, error);
  if (!ok) {
    std::vector<TextPiece>().swap(pieces);
    if (error == DocumentError::kNone) error = DocumentError::kDamaged;
  } else {
    error = DocumentError::kNone;
    NameItemsAndRows(pieces);
    if (notes != nullptr) *notes = budget.TakeNotes();
  }
  return ok;
}

}  // namespace kelvaro
