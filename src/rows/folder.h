// A folder of documents checked in one go: the documents under it, their rows gathered into
// one row per standard with every place, and a document's own rows again for its copy.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "rows/import.h"

namespace kelvaro {

// How far a folder is walked.
struct FolderLimits {
  int max_depth = 8;  // folders below the one chosen
  std::size_t max_documents = 2000;
  // Folders looked into: a home or a root folder chosen by mistake ends soon.
  std::size_t max_folders = 10000;
};

// A document found under a folder.
struct FolderDocument {
  std::string path;      // as the system opens it (UTF-8)
  std::string relative;  // from the folder, "/" between folders: what the places name
};

// What walking a folder found: its documents in order (a folder's files by name, then its
// folders by name), and what was left out and why (UTF-8, one line each).
struct FolderListing {
  std::vector<FolderDocument> documents;
  std::vector<std::string> notes;
};

// Every document the import reads (by its extension) under `folder`: links not followed,
// hidden files and folders and Office's temporary files ("~$…") left out, at most
// `limits.max_depth` folders deep, `limits.max_documents` documents and `limits.max_folders`
// folders. False with the
// reason when `folder` itself cannot be listed.
bool ListFolderDocuments(const std::string& folder, FolderListing& listing, std::string& error,
                         const FolderLimits& limits = {});

// Every document of `listing` read (a text file as a document too), each place naming its
// document, and the rows of one standard made one across documents. A document that cannot
// be read is said in `notes` and left out; the rest are read all the same. What a reader
// says of a document read in part is in `notes` too, after the document's name
// ("a.pdf：第 3 页的图形嵌套过多，未能读完"). `read` is told
// how many documents have been read; `stop` set ends the reading early (false then).
struct FolderRows {
  std::vector<ImportedRow> rows;
  std::vector<std::string> notes;
  int documents_read = 0;
};
bool RowsFromFolder(const FolderListing& listing, FolderRows& out,
                    const std::function<void(int read)>& read = {},
                    const std::atomic<bool>* stop = nullptr);

// The documents rows came from, in their order of first appearance; empty for rows not read
// from a folder.
std::vector<std::string> DocumentsOfRows(const std::vector<TableRow>& rows);
// The rows citing `document`, each with only its places in it (the first as its location);
// rows that cite it nowhere left out.
std::vector<TableRow> RowsOfDocument(const std::vector<TableRow>& rows,
                                     const std::string& document);
// The same as if `document` had been checked alone: its places no longer name it (for what
// speaks of that document only: its copy, its part of the change list).
std::vector<TableRow> RowsOfDocumentAlone(const std::vector<TableRow>& rows,
                                          const std::string& document);

// "无法读取 sub/a.doc：why", as the notes say it.
std::string UnreadDocumentNote(const std::string& relative, const std::string& why);

}  // namespace kelvaro
