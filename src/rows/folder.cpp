#include "rows/folder.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "document/readers/read_document.h"
#include "platform/files.h"

namespace kelvaro {

namespace {

using platform::FolderEntry;

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// Whether the import offers the file's kind: its extension is among the open dialog's.
bool IsOfferedDocument(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const std::string pattern = "*" + Lower(std::string_view(name).substr(dot));
  for (const OfferedKind& kind : OfferedKinds()) {
    std::string_view patterns = kind.patterns;
    while (!patterns.empty()) {
      const std::size_t space = patterns.find(' ');
      if (patterns.substr(0, space) == pattern) return true;
      patterns = space == std::string_view::npos ? std::string_view() : patterns.substr(space + 1);
    }
  }
  return false;
}

class FolderWalk {
 public:
  FolderWalk(FolderListing& listing, const FolderLimits& limits)
      : listing_(listing), limits_(limits) {}

  // False when `folder` cannot be listed; below it, such a folder is a note.
  bool Walk(const std::string& folder, const std::string& relative, int depth, std::string& error) {
    if (folders_ == limits_.max_folders) {
      Stop("文件夹中的子文件夹多于 " + std::to_string(limits_.max_folders) + " 个，只读了一部分");
      return true;
    }
    ++folders_;
    std::vector<FolderEntry> entries;
    if (!platform::ListFolder(folder, entries, error)) return false;
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
      if (entry.kind != FolderEntry::Kind::kFile || Skipped(entry)) continue;
      if (!IsOfferedDocument(entry.name)) continue;
      if (listing_.documents.size() == limits_.max_documents) {
        Stop("文件夹中的文档多于 " + std::to_string(limits_.max_documents) + " 个，只读了前 " +
             std::to_string(limits_.max_documents) + " 个");
        return true;
      }
      listing_.documents.push_back({platform::JoinPath(folder, entry.name), relative + entry.name});
    }
    for (const FolderEntry& entry : entries) {
      if (full_) return true;
      if (entry.kind != FolderEntry::Kind::kFolder || Skipped(entry)) continue;
      const std::string below = relative + entry.name + "/";
      if (depth == limits_.max_depth) {
        listing_.notes.push_back("文件夹 " + below + " 超过 " + std::to_string(limits_.max_depth) +
                                 " 层，未读");
        continue;
      }
      std::string why;
      if (!Walk(platform::JoinPath(folder, entry.name), below, depth + 1, why)) {
        listing_.notes.push_back(UnreadDocumentNote(below, why));
      }
    }
    return true;
  }

 private:
  void Stop(std::string note) {
    if (full_) return;
    full_ = true;
    listing_.notes.push_back(std::move(note));
  }

  static bool Skipped(const FolderEntry& entry) {
    return entry.hidden || entry.name.starts_with("~$");
  }

  FolderListing& listing_;
  const FolderLimits& limits_;
  std::size_t folders_ = 0;
  bool full_ = false;
};

// The places of `row` in `document`: its location first, then the places cited again.
std::vector<CitedPlace> PlacesIn(const TableRow& row, const std::string& document) {
  std::vector<CitedPlace> places;
  if (row.source.location.document == document) {
    places.push_back({row.source.location, row.source.citation.value_or(Citation{})});
  }
  for (const CitedPlace& again : row.source.cited_again) {
    if (again.location.document == document) places.push_back(again);
  }
  return places;
}

}  // namespace

std::string UnreadDocumentNote(const std::string& relative, const std::string& why) {
  return "无法读取 " + relative + "：" + why;
}

bool ListFolderDocuments(const std::string& folder, FolderListing& listing, std::string& error,
                         const FolderLimits& limits) {
  listing = {};
  error.clear();
  return FolderWalk(listing, limits).Walk(folder, "", 0, error);
}

bool RowsFromFolder(const FolderListing& listing, FolderRows& out,
                    const std::function<void(int read)>& read, const std::atomic<bool>* stop) {
  out = {};
  out.notes = listing.notes;
  for (const FolderDocument& document : listing.documents) {
    if (stop != nullptr && stop->load()) return false;
    Bytes bytes;
    std::string unread;
    std::vector<ImportedRow> rows;
    DocumentError error = DocumentError::kNone;
    std::vector<std::string> read_in_part;
    if (!platform::ReadWholeFile(document.path, bytes, unread)) {
      out.notes.push_back(UnreadDocumentNote(document.relative, unread));
    } else if (!RowsFromBytes(bytes, DocumentKindOf(document.path), rows, error, true,
                              &read_in_part)) {
      out.notes.push_back(UnreadDocumentNote(document.relative, DocumentErrorWords(error)));
    } else if (out.rows.size() + rows.size() > kMaxImportedRows) {
      out.notes.push_back(UnreadDocumentNote(document.relative,
                                             DocumentErrorWords(DocumentError::kContentTooLarge)));
    } else {
      for (const std::string& note : read_in_part) {
        out.notes.push_back(document.relative + "：" + note);
      }
      for (ImportedRow& row : rows) {
        row.source.location.document = document.relative;
        for (CitedPlace& again : row.source.cited_again) {
          again.location.document = document.relative;
        }
        out.rows.push_back(std::move(row));
      }
    }
    ++out.documents_read;
    if (read) read(out.documents_read);
  }
  GatherCitedAgain(out.rows);
  return true;
}

std::vector<std::string> DocumentsOfRows(const std::vector<TableRow>& rows) {
  std::vector<std::string> documents;
  const auto add = [&](const std::string& document) {
    if (!document.empty() &&
        std::find(documents.begin(), documents.end(), document) == documents.end()) {
      documents.push_back(document);
    }
  };
  for (const TableRow& row : rows) {
    add(row.source.location.document);
    for (const CitedPlace& again : row.source.cited_again) add(again.location.document);
  }
  return documents;
}

std::vector<TableRow> RowsOfDocument(const std::vector<TableRow>& rows,
                                     const std::string& document) {
  std::vector<TableRow> own;
  for (const TableRow& row : rows) {
    std::vector<CitedPlace> places = PlacesIn(row, document);
    if (places.empty()) continue;
    TableRow here = row;
    here.source.location = std::move(places.front().location);
    if (row.source.citation.has_value()) here.source.citation = std::move(places.front().citation);
    here.source.cited_again.assign(std::make_move_iterator(places.begin() + 1),
                                   std::make_move_iterator(places.end()));
    own.push_back(std::move(here));
  }
  return own;
}

std::vector<TableRow> RowsOfDocumentAlone(const std::vector<TableRow>& rows,
                                          const std::string& document) {
  std::vector<TableRow> own = RowsOfDocument(rows, document);
  for (TableRow& row : own) {
    row.source.location.document.clear();
    for (CitedPlace& again : row.source.cited_again) again.location.document.clear();
  }
  return own;
}

}  // namespace kelvaro
