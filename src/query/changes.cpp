#include "query/changes.h"

#include <algorithm>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "document/location.h"
#include "platform/clock.h"
#include "query/batch_query.h"
#include "query/number.h"
#include "rows/export.h"
#include "rows/folder.h"
#include "rows/import.h"
#include "rows/reason.h"
#include "rows/verdicts.h"
#include "site/standard_site.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

std::string JoinWords(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& word : words) {
    if (word.empty()) continue;
    if (!out.empty()) out += "；";
    out += word;
  }
  return out;
}

std::string CellOf(const TableRow& row, Column column) {
  return GbkToUtf8(row.cells[ColumnIndex(column)]);
}

// "已废止：网站列为废止，无现行版本": the label, and the words that tell more, once.
std::string VerdictWords(const TableRow& row) {
  const Judgement& judgement = row.judgement;
  const std::string label = SpecOf(judgement.verdict).summary_label;
  std::vector<std::string> words;
  // A row found on the site says no more than its label by its reason.
  if (judgement.reason.outcome != Outcome::kFound) {
    words.push_back(ReasonDescription(judgement.reason));
  }
  for (std::string& line : NoteLines(judgement.notes)) words.push_back(std::move(line));
  for (std::string& line : TitleMismatchLines(row)) words.push_back(std::move(line));
  const std::string said = JoinWords(words);
  if (said.empty()) return label;
  if (said.starts_with(label)) return said;
  return label + "：" + said;
}

std::string Suggestion(const TableRow& row) {
  const std::string number = CellOf(row, Column::kLatestNumber);
  if (number.empty()) return {};
  // The edition follows the number once.
  const std::string title = WithoutEdition(CellOf(row, Column::kLatestTitle));
  std::string out = title.empty() ? std::string() : "《" + title + "》";
  out += number;
  const std::string& edition = row.judgement.notes.site_edition;
  if (!edition.empty()) out += "（" + edition + "）";
  return out;
}

// Rows citing one standard are one entry: a document's by its key, a list's by its number.
std::string EntryKey(const TableRow& row) {
  if (row.source.citation.has_value()) return "c\n" + SameStandardKey(*row.source.citation);
  return "n\n" + row.cells[ColumnIndex(Column::kNumber)];
}

std::string Written(const TableRow& row) {
  if (row.source.citation.has_value()) return SourceWritten(row);
  return row.source.number_utf8.empty() ? CellOf(row, Column::kNumber) : row.source.number_utf8;
}

// A blank line of a list: nothing in the document to change.
bool NamesNothing(const TableRow& row) {
  return !row.source.citation.has_value() &&
         row.cells[ColumnIndex(Column::kNumber)].find_first_not_of(" \t\r\n") == std::string::npos;
}

struct Change {
  ChangeEntry entry;
  Verdict verdict = Verdict::kNone;
  std::vector<std::string> places;
};

// A standard cited hundreds of times would make one cell of thousands of characters on paper.
constexpr std::size_t kBriefPlaces = 3;

void AddPlaces(Change& change, std::vector<std::string> places) {
  for (std::string& place : places) {
    std::string& said = change.entry.places;
    said += (said.empty() ? "" : "；") + place;
    change.places.push_back(std::move(place));
  }
}

void Abridge(Change& change) {
  if (change.places.size() <= kBriefPlaces) return;
  std::string& brief = change.entry.places_brief;
  for (std::size_t i = 0; i < kBriefPlaces; ++i) brief += (i == 0 ? "" : "；") + change.places[i];
  brief += " 等 " + std::to_string(change.places.size()) + " 处";
}

std::vector<Change> ChangesOfOne(const std::vector<TableRow>& rows) {
  std::vector<Change> changes;
  std::unordered_map<std::string, std::size_t> known;
  for (const TableRow& row : rows) {
    const Judgement& judgement = row.judgement;
    const VerdictSpec& spec = SpecOf(judgement.verdict);
    if (!Holds(spec.listed, judgement) || NamesNothing(row)) continue;
    const auto [at, added] = known.try_emplace(EntryKey(row), changes.size());
    if (!added) {
      AddPlaces(changes[at->second], SourcePlaces(row));
      continue;
    }
    Change change;
    AddPlaces(change, SourcePlaces(row));
    change.verdict = judgement.verdict;
    change.entry.written = Written(row);
    change.entry.verdict = VerdictWords(row);
    if (Holds(spec.replaced, judgement)) change.entry.suggestion = Suggestion(row);
    change.entry.address = GbkToUtf8(judgement.address);
    changes.push_back(std::move(change));
  }
  for (Change& change : changes) Abridge(change);
  return changes;
}

// A folder's list, document by document: each document's author gets the places in it.
std::vector<Change> Changes(const std::vector<TableRow>& rows) {
  const std::vector<std::string> documents = DocumentsOfRows(rows);
  if (documents.empty()) return ChangesOfOne(rows);
  std::vector<Change> changes;
  for (const std::string& document : documents) {
    // The column names the document; the places need not repeat it.
    for (Change& change : ChangesOfOne(RowsOfDocumentAlone(rows, document))) {
      change.entry.document = document;
      changes.push_back(std::move(change));
    }
  }
  return changes;
}

bool AnyDocument(const std::vector<ChangeEntry>& entries) {
  return std::any_of(entries.begin(), entries.end(),
                     [](const ChangeEntry& entry) { return !entry.document.empty(); });
}

// `brief`: for print (TSV, the sheet), whose 出处 gives the first places and a count.
std::vector<std::string> EntryCells(std::size_t index, const ChangeEntry& entry, bool brief,
                                    bool documents) {
  const std::string& places =
      brief && !entry.places_brief.empty() ? entry.places_brief : entry.places;
  std::vector<std::string> cells = {std::to_string(index + 1), entry.written, places, entry.verdict,
                                    entry.suggestion,          entry.address};
  if (documents) cells.insert(cells.begin() + 1, entry.document);
  return cells;
}

// A spreadsheet keeps the columns only if no cell holds a tab or a line break; the site's
// other control characters are escaped as the table's TSV escapes them.
std::string ChangeTsvCell(const std::string& utf8) {
  std::string out = utf8;
  for (char& c : out) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return TsvCell(out);
}

}  // namespace

std::string RowSearchAddress(const Site& site, const TableRow& row) {
  Text number = EnteredNumber(row.source, row.cells[ColumnIndex(Column::kNumber)]);
  const Text keyword = NormalizeNumber(number);
  if (keyword.empty()) return {};
  return GbkToUtf8(site.SearchAddress(keyword));
}

std::vector<ChangeEntry> ChangeList(const std::vector<TableRow>& rows) {
  std::vector<ChangeEntry> entries;
  for (Change& change : Changes(rows)) entries.push_back(std::move(change.entry));
  return entries;
}

const std::vector<std::string>& ChangeHeader(bool documents) {
  static const std::vector<std::string> header = {"序号", "原文",     "出处",
                                                  "结论", "建议改为", "查询结果网页"};
  static const std::vector<std::string> with_documents = [] {
    std::vector<std::string> cells = header;
    cells.insert(cells.begin() + 1, "文档");
    return cells;
  }();
  return documents ? with_documents : header;
}

std::string FormatChanges(const std::vector<ChangeEntry>& entries, ChangeFormat format) {
  if (format == ChangeFormat::kJson) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ChangeEntry& entry : entries) {
      nlohmann::ordered_json item;
      if (!entry.document.empty()) item["document"] = entry.document;
      item["written"] = entry.written;
      item["places"] = entry.places;
      item["verdict"] = entry.verdict;
      item["suggestion"] = entry.suggestion;
      item["address"] = entry.address;
      list.push_back(std::move(item));
    }
    return list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  }
  const bool csv = format == ChangeFormat::kCsv;
  // The byte-order mark lets spreadsheet programs read the file as UTF-8.
  std::string out = csv ? "\xEF\xBB\xBF" : "";
  const auto add = [&](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += csv ? ',' : '\t';
      out += csv ? CsvField(cells[i]) : ChangeTsvCell(cells[i]);
    }
    out += csv ? "\r\n" : "\n";
  };
  const bool documents = AnyDocument(entries);
  add(ChangeHeader(documents));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    add(EntryCells(i, entries[i], !csv, documents));
  }
  return out;
}

XlsxSheet ChangeSheet(const std::vector<TableRow>& rows) {
  XlsxSheet sheet;
  sheet.name = kChangeSheetName;
  const std::vector<Change> changes = Changes(rows);
  const bool documents = std::any_of(changes.begin(), changes.end(), [](const Change& change) {
    return !change.entry.document.empty();
  });
  sheet.header = ChangeHeader(documents);
  sheet.number_column = 0;
  sheet.fill_column = documents ? 4 : 3;  // 结论
  for (std::size_t i = 0; i < changes.size(); ++i) {
    sheet.rows.push_back(EntryCells(i, changes[i].entry, true, documents));
    sheet.row_fills.push_back(SpecOf(changes[i].verdict).fill);
  }
  return sheet;
}

XlsxPrintInfo WorkbookPrintInfo(const std::vector<TableRow>& rows, const std::string& document,
                                const Site& site) {
  XlsxPrintInfo print;
  print.document = document.substr(document.find_last_of("/\\") + 1);
  // Local times as "2026-12-08 22:00:13" order as their texts do.
  for (const TableRow& row : rows) print.date = std::max(print.date, row.judgement.read_at);
  if (print.date.empty()) print.date = platform::LocalTimeText();
  print.date = print.date.substr(0, std::string_view("2026-12-08").size());
  print.site = GbkToUtf8(site.prefix);
  return print;
}

XlsxWorkbook FormatWorkbook(const std::vector<TableRow>& rows, const XlsxPrintInfo& print) {
  std::vector<XlsxSheet> sheets = {ExportSheet(rows), ChangeSheet(rows)};
  if (const std::vector<std::string> documents = DocumentsOfRows(rows);
      documents.size() <= kMaxDocumentSheets) {
    for (const std::string& document : documents) {
      XlsxSheet sheet = ExportSheet(RowsOfDocument(rows, document));
      sheet.name = document.substr(document.find_last_of('/') + 1);
      sheets.push_back(std::move(sheet));
    }
  }
  return WriteXlsx(sheets, print);
}

}  // namespace kelvaro
