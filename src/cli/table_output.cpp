#include "cli/table_output.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <utility>

#include "cli/citation_output.h"
#include "document/writers/xlsx_writer.h"
#include "query/changes.h"
#include "rows/columns.h"
#include "rows/export.h"
#include "rows/reason.h"
#include "rows/result_table.h"
#include "rows/verdicts.h"
#include "text/encoding.h"

namespace kelvaro::cli {
namespace {

// C0 controls, DEL and the C1 controls: a terminal may take any of them as a command.
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

void AppendHexEscape(std::string& out, char32_t c) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(c));
  out += escaped;
}

// On one line, spaced as the row objects are: {"key": value, "key": value}.
std::string Dump(const nlohmann::ordered_json& value) {
  if (!value.is_object()) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
  std::string out = "{";
  for (const auto& [key, member] : value.items()) {
    if (out.size() > 1) out += ", ";
    out += JsonString(key) + ": " + Dump(member);
  }
  return out + "}";
}

// One row object per line, so the output reads like the table.
std::string FormatJson(const Rows& rows) {
  std::string out = "[";
  bool first = true;
  for (const auto& row : rows) {
    out += first ? "\n  {" : ",\n  {";
    first = false;
    const char* separator = "";
    for (const ColumnSpec& column : Columns()) {
      if (column.json_key == nullptr) continue;
      out += separator;
      separator = ", ";
      out += JsonString(column.json_key);
      out += ": ";
      out += JsonString(column.value(row));
    }
    const RowReason& reason = row.judgement.reason;
    out += ", \"reason\": " + JsonString(OutcomeName(reason.outcome));
    if (reason.http_status != 0) out += ", \"http_status\": " + std::to_string(reason.http_status);
    if (!reason.error.empty()) out += ", \"error\": " + JsonString(GbkToUtf8(reason.error));
    if (row.source.citation) {
      out += ", \"source\": " + CitationJson(*row.source.citation, row.source.location);
    }
    if (!row.source.cited_again.empty()) {
      out += ", \"cited_again\": [";
      for (const CitedPlace& again : row.source.cited_again) {
        if (&again != &row.source.cited_again.front()) out += ", ";
        out += CitationJson(again.citation, again.location);
      }
      out += ']';
    }
    const std::optional<bool> title_matches = row.judgement.notes.title_matches;
    out += ", \"title_matches\": ";
    out += title_matches ? (*title_matches ? "true" : "false") : "null";
    for (const auto& [key, value] : VerdictFields(row.judgement)) {
      out += ", " + JsonString(key) + ": " + Dump(value);
    }
    out += '}';
  }
  out += rows.empty() ? "]\n" : "\n]\n";
  return out;
}

}  // namespace

std::vector<std::pair<std::string, nlohmann::ordered_json>> VerdictFields(
    const Judgement& judgement) {
  const RowNotes& notes = judgement.notes;
  nlohmann::ordered_json coming = nullptr;
  if (notes.coming.has_value()) {
    coming = {{"number", GbkToUtf8(notes.coming->number)},
              {"title", GbkToUtf8(notes.coming->title)},
              {"effective", GbkToUtf8(notes.coming->effective_date)}};
  }
  nlohmann::ordered_json edition_matches = nullptr;
  if (notes.edition_matches.has_value()) edition_matches = *notes.edition_matches;
  nlohmann::ordered_json previous = nullptr;
  if (judgement.previous.has_value()) {
    previous = {{"verdict", SpecOf(judgement.previous->verdict).summary_label},
                {"looked_up_at", judgement.previous->looked_up_at},
                {"changed", ChangedSinceText(judgement)}};
  }
  nlohmann::ordered_json replaced_by = nullptr;
  if (judgement.replaced_by.has_value()) {
    replaced_by = {{"number", GbkToUtf8(TrimSpaces(judgement.replaced_by->number))},
                   {"title", GbkToUtf8(TrimSpaces(judgement.replaced_by->title))},
                   {"status", GbkToUtf8(TrimSpaces(judgement.replaced_by->status))}};
  }
  return {{"coming", coming},
          {"effective", GbkToUtf8(judgement.reason.effective_date)},
          {"site_edition", notes.site_edition},
          {"edition_matches", edition_matches},
          {"replaced_by", replaced_by},
          {"looked_up_at", judgement.read_at.empty() ? nlohmann::ordered_json(nullptr)
                                                     : nlohmann::ordered_json(judgement.read_at)},
          {"from_store", judgement.from_store},
          {"previous", previous}};
}

std::string JsonString(const std::string& utf8) {
  return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string DelimitedRecords(Format format, const std::vector<std::vector<std::string>>& records) {
  const bool csv = format == Format::kCsv;
  // The byte-order mark lets spreadsheet programs read the file as UTF-8.
  std::string out = csv ? "\xEF\xBB\xBF" : "";
  for (const auto& record : records) {
    for (std::size_t i = 0; i < record.size(); ++i) {
      if (i > 0) out += csv ? ',' : '\t';
      out += csv ? CsvField(record[i]) : TsvCell(record[i]);
    }
    out += csv ? "\r\n" : "\n";
  }
  return out;
}

std::string FormatTable(Format format, const Rows& rows, TableExtras extras, std::size_t* cells_cut,
                        const XlsxPrintInfo& print) {
  switch (format) {
    case Format::kCsv:
      return FormatCsv(rows, extras);
    case Format::kJson:
      return FormatJson(rows);
    case Format::kXlsx: {
      const XlsxWorkbook workbook = FormatWorkbook(rows, print);
      if (cells_cut != nullptr) *cells_cut = workbook.cells_cut;
      return std::string(workbook.bytes.begin(), workbook.bytes.end());
    }
    case Format::kTsv:
      break;
  }
  return DelimitedRecords(Format::kTsv, TableRecords(rows, ColumnsFor(TableOutputs(extras))));
}

std::string CellsCutText(std::size_t cells) {
  return std::to_string(cells) + (cells == 1 ? " cell" : " cells") + " cut to " +
         std::to_string(kXlsxMaxCellLength) +
         " characters, the most an Excel cell holds (csv, tsv and json keep the whole text)";
}

std::string SummaryLine(const Rows& rows) { return VerdictSummary(VerdictsOf(rows)) + "\n"; }

std::string FormatCheckJson(const CheckFields& f) {
  nlohmann::ordered_json object = {
      {"input", f.input},           {"cleaned", f.cleaned},
      {"keyword", f.keyword},       {"address", f.address},
      {"status", f.status},         {"number", f.number},
      {"title", f.title},           {"release_date", f.release_date},
      {"department", f.department}, {"reason", OutcomeName(f.judgement.reason.outcome)}};
  const RowReason& reason = f.judgement.reason;
  if (reason.http_status != 0) object["http_status"] = reason.http_status;
  if (!reason.error.empty()) object["error"] = GbkToUtf8(reason.error);
  for (auto& [key, value] : VerdictFields(f.judgement)) object[key] = std::move(value);
  return object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string ReportForTerminal(const Text& report) {
  const std::string utf8 = GbkToUtf8(report);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = DecodeUtf8(utf8, i);
    if (c == '\r' && i < utf8.size() && utf8[i] == '\n') continue;  // CR LF lines become LF
    if (IsControl(c) && c != '\t' && c != '\r' && c != '\n') {
      AppendHexEscape(out, c);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace kelvaro::cli
