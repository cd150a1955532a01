#include "support/table_text.h"

#include "text/encoding.h"

namespace kelvaro::test {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The escape at line[i] (just past the backslash); moves i to its last character.
bool Unescape(const std::string& line, std::size_t& i, std::string& cell) {
  switch (line[i]) {
    case 't':
      cell += '\t';
      return true;
    case 'r':
      cell += '\r';
      return true;
    case 'n':
      cell += '\n';
      return true;
    case '\\':
      cell += '\\';
      return true;
    case 'x': {
      if (i + 2 >= line.size()) return false;
      const int high = HexDigit(line[i + 1]);
      const int low = HexDigit(line[i + 2]);
      if (high < 0 || low < 0) return false;
      AppendUtf8(cell, static_cast<char32_t>(high * 16 + low));
      i += 2;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

Table ReadTsv(const std::string& text, std::string& error) {
  Table table;
  if (text.empty() || text.back() != '\n') {
    error = "TSV does not end with a line break";
    return table;
  }
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    std::vector<std::string> cells(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '\t') {
        cells.emplace_back();
      } else if (c != '\\') {
        if (c == '\r') error = "raw CR in a TSV line";
        cells.back() += c;
      } else if (++i >= line.size() || !Unescape(line, i, cells.back())) {
        error = "bad escape in \"" + line + "\"";
        break;
      }
    }
    table.push_back(cells);
  }
  return table;
}

Table ReadCsv(const std::string& text, std::string& error) {
  Table table;
  const std::string bom = "\xEF\xBB\xBF";
  if (text.compare(0, bom.size(), bom) != 0) {
    error = "no byte-order mark";
    return table;
  }
  std::vector<std::string> record(1);
  bool at_field_start = true;
  for (std::size_t i = bom.size(); i < text.size();) {
    const char c = text[i];
    if (at_field_start && c == '"') {
      for (++i;; ++i) {
        if (i >= text.size()) {
          error = "unterminated quoted field";
          return table;
        }
        if (text[i] == '"' && (i + 1 >= text.size() || text[i + 1] != '"')) break;
        if (text[i] == '"') ++i;  // a doubled quote
        record.back() += text[i];
      }
      ++i;
      at_field_start = false;
    } else if (c == ',') {
      record.emplace_back();
      at_field_start = true;
      ++i;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      table.push_back(record);
      record.assign(1, "");
      at_field_start = true;
      i += 2;
    } else if (c == '\r' || c == '\n' || c == '"') {
      error = "unquoted CR, LF or quote";
      return table;
    } else {
      record.back() += c;
      at_field_start = false;
      ++i;
    }
  }
  if (!(record.size() == 1 && record[0].empty())) error = "last record not ended by CR LF";
  return table;
}

nlohmann::ordered_json ReadJson(const std::string& text, std::string& error) {
  try {
    return nlohmann::ordered_json::parse(text);
  } catch (const nlohmann::json::parse_error& e) {
    error = e.what();
    return nullptr;
  }
}

Table JsonRows(const nlohmann::ordered_json& array, const std::vector<std::string>& keys,
               std::string& error) {
  Table table;
  if (!array.is_array()) {
    error = "not an array";
    return table;
  }
  for (const auto& object : array) {
    if (!object.is_object() || object.size() != keys.size()) {
      error = "not an object with " + std::to_string(keys.size()) + " members: " + object.dump();
      return table;
    }
    std::vector<std::string> row;
    for (const std::string& key : keys) {
      const auto value = object.find(key);
      if (value == object.end() || !value->is_string()) {
        error = "no string \"" + key + "\" in " + object.dump();
        return table;
      }
      row.push_back(value->get<std::string>());
    }
    table.push_back(row);
  }
  return table;
}

}  // namespace kelvaro::test
