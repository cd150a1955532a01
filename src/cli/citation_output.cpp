#include "cli/citation_output.h"

#include "cli/table_output.h"

namespace kelvaro::cli {
namespace {

// {"key": value, ...} on one line, as the batch's JSON rows are written.
class JsonLine {
 public:
  JsonLine& Raw(const char* key, const std::string& json_value) {
    out_ += out_.empty() ? "{" : ", ";
    out_ += JsonString(key) + ": " + json_value;
    return *this;
  }
  JsonLine& Number(const char* key, long long value) { return Raw(key, std::to_string(value)); }
  JsonLine& String(const char* key, const std::string& utf8) { return Raw(key, JsonString(utf8)); }
  std::string Close() const { return out_.empty() ? "{}" : out_ + "}"; }

 private:
  std::string out_;
};

void AddCitationFields(JsonLine& json, const Citation& c, const Location& location) {
  json.String("number", c.number)
      .String("code", c.code)
      .String("serial", c.serial)
      .String("year", c.year)
      .Number("full_year", c.full_year)
      .String("edition", c.edition)
      .String("amendment", c.amendment)
      .String("title", c.title)
      .String("text", c.written)
      .Raw("location", LocationJson(location))
      .String("where", LocationWords(location));
}

std::vector<std::string> CitationCells(int ordinal, const Citation& c, const Location& location) {
  return {std::to_string(ordinal),
          c.number,
          c.code,
          c.serial,
          c.year,
          c.full_year == 0 ? std::string() : std::to_string(c.full_year),
          c.edition,
          c.amendment,
          c.title,
          c.written,
          LocationWords(location)};
}

}  // namespace

std::string LocationJson(const Location& at) {
  JsonLine json;
  if (!at.document.empty()) json.String("document", at.document);
  switch (at.kind) {
    case Location::Kind::kNone:
      break;
    case Location::Kind::kLine:
      json.Number("line", at.line);
      break;
    case Location::Kind::kParagraph:
      json.Number("paragraph", at.paragraph);
      if (!at.item.empty()) json.String("item", at.item);
      break;
    case Location::Kind::kTableCell:
      json.Number("table", at.table).Number("row", at.row).Number("column", at.column);
      if (at.below_header) json.Raw("below_header", "true");
      if (!at.caption.empty()) json.String("caption", at.caption);
      break;
    case Location::Kind::kSheetCell:
      json.String("sheet", at.sheet).String("cell", at.cell);
      break;
    case Location::Kind::kCsvCell:
      json.Number("row", at.row).Number("column", at.column);
      break;
    case Location::Kind::kPage:
      json.Number("page", at.page);
      if (at.line > 0) json.Number("line", at.line);
      break;
    case Location::Kind::kPart:
      json.String("part", PartWords(at.part));
      if (at.paragraph > 0) json.Number("paragraph", at.paragraph);
      break;
  }
  if (!at.heading.empty())
    json.String("heading", at.heading).Number("under_heading", at.under_heading);
  return json.Close();
}

std::string CitationJson(const Citation& citation, const Location& location) {
  JsonLine json;
  AddCitationFields(json, citation, location);
  return json.Close();
}

std::vector<std::string> CitationHeaders() {
  return {"序号", "标准编号", "代号", "顺序号", "年份", "完整年份",
          "版次", "修改单",   "题名", "原文",   "出处"};
}

std::string FormatCitations(Format format, const std::vector<ImportedRow>& rows) {
  if (format == Format::kJson) {
    std::string out = "[";
    int ordinal = 0;
    for (const ImportedRow& row : rows) {
      if (!row.source.citation) continue;
      JsonLine json;
      json.Number("ordinal", ++ordinal);
      AddCitationFields(json, *row.source.citation, row.source.location);
      out += (ordinal == 1 ? "\n  " : ",\n  ") + json.Close();
    }
    return out + (ordinal == 0 ? "]\n" : "\n]\n");
  }
  std::vector<std::vector<std::string>> records = {CitationHeaders()};
  for (const ImportedRow& row : rows) {
    if (!row.source.citation) continue;
    const int ordinal = static_cast<int>(records.size());
    records.push_back(CitationCells(ordinal, *row.source.citation, row.source.location));
  }
  return DelimitedRecords(format, records);
}

}  // namespace kelvaro::cli
