#include "cli/table_output.h"

#include <cstdio>

#include "text/encoding.h"

namespace kelvaro::cli {

const char* const kColumnHeaders[kColumnCount] = {"序号", "待查标准编号", "是否现行",
                                                  "最新标准编号", "最新标准名称"};
const char* const kJsonRowKeys[kColumnCount] = {"ordinal", "number", "status", "latest_number",
                                                "latest_title"};

namespace {

// Length of the valid UTF-8 sequence at i, or of its maximal invalid subpart as a
// negative number (at least one byte).
int Utf8SequenceAt(const std::string& s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) return 1;
  int need;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  for (int k = 1; k <= need; ++k) {
    if (i + k >= s.size()) return -k;
    const unsigned char b = byte(i + k);
    const unsigned char lo = k == 1 ? low : 0x80;
    const unsigned char hi = k == 1 ? high : 0xBF;
    if (b < lo || b > hi) return -k;
  }
  return need + 1;
}

std::string Utf8Cell(const Text& gbk) { return GbkToUtf8(gbk); }

}  // namespace

std::string SanitizeUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const int n = Utf8SequenceAt(bytes, i);
    if (n > 0) {
      out.append(bytes, i, static_cast<std::size_t>(n));
      i += static_cast<std::size_t>(n);
    } else {
      out += "\xEF\xBF\xBD";
      i += static_cast<std::size_t>(-n);
    }
  }
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string TsvCell(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string CsvField(const std::string& utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
  std::string out = "\"";
  for (const char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string FormatTsv(const Rows& rows) {
  std::string out;
  for (int column = 0; column < kColumnCount; ++column) {
    if (column > 0) out += '\t';
    out += kColumnHeaders[column];
  }
  out += '\n';
  for (const auto& row : rows) {
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) out += '\t';
      out += TsvCell(Utf8Cell(row.cells[column]));
    }
    out += '\n';
  }
  return out;
}

std::string FormatCsv(const Rows& rows) {
  std::string out = "\xEF\xBB\xBF";  // lets spreadsheet programs read the file as UTF-8
  for (int column = 0; column < kColumnCount; ++column) {
    if (column > 0) out += ',';
    out += CsvField(kColumnHeaders[column]);
  }
  out += "\r\n";
  for (const auto& row : rows) {
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) out += ',';
      out += CsvField(Utf8Cell(row.cells[column]));
    }
    out += "\r\n";
  }
  return out;
}

std::string FormatJson(const Rows& rows) {
  std::string out = "[";
  bool first = true;
  for (const auto& row : rows) {
    out += first ? "\n  {" : ",\n  {";
    first = false;
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) out += ", ";
      out += JsonString(kJsonRowKeys[column]);
      out += ": ";
      out += JsonString(Utf8Cell(row.cells[column]));
    }
    out += '}';
  }
  out += rows.empty() ? "]\n" : "\n]\n";
  return out;
}

std::string FormatCheckJson(const CheckFields& f) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"input", &f.input},          {"cleaned", &f.cleaned},
      {"keyword", &f.keyword},      {"address", &f.address},
      {"status", &f.status},        {"number", &f.number},
      {"title", &f.title},          {"release_date", &f.release_date},
      {"department", &f.department}};
  std::string out = "{";
  bool first = true;
  for (const auto& [key, value] : fields) {
    out += first ? "\n  " : ",\n  ";
    first = false;
    out += JsonString(key);
    out += ": ";
    out += JsonString(*value);
  }
  out += "\n}\n";
  return out;
}

std::string ReportForTerminal(const Text& report) {
  const std::string utf8 = GbkToUtf8(report);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    out += utf8[i];
  }
  return out;
}

}  // namespace kelvaro::cli
