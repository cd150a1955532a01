// A folder of documents: which of them are read, and their rows made one per standard.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "rows/folder.h"
#include "rows/row_store.h"
#include "support/office_builder.h"
#include "support/pdf_samples.h"
#include "support/temp_dir.h"

namespace kelvaro {
namespace {

using test::TempDir;

std::vector<std::string> Relatives(const FolderListing& listing) {
  std::vector<std::string> names;
  for (const FolderDocument& document : listing.documents) names.push_back(document.relative);
  return names;
}

std::string Docx(const std::string& paragraph) {
  const Bytes docx = test::BuildDocx(test::WordParagraph(paragraph));
  return std::string(docx.begin(), docx.end());
}

TEST(FolderTest, ReadsTheDocumentsAFolderHoldsAndSaysWhatItLeftOut) {
  TempDir dir;
  dir.Write("root/说明.docx", Docx("按 GB 50016-2014 设计"));
  dir.Write("root/a.txt", "GB 50016-2014\nJGJ 3-2010");
  dir.Write("root/.hidden.txt", "GB 1-2000");
  dir.Write("root/~$说明.docx", "owner file");
  dir.Write("root/notes.md", "GB 2-2000");
  dir.Write("root/broken.docx", "not a zip at all");
  dir.Write("root/sub/计算书.TXT", "GB 50016-2014 第 3 条");
  dir.Write("root/.git/x.txt", "GB 3-2000");
  dir.Write("root/d1/d2/deep.txt", "GB 4-2000");
  std::filesystem::create_symlink(dir.File("root/a.txt"), dir.File("root/link.txt"));
  std::filesystem::create_directory_symlink(dir.File("root/sub"), dir.File("root/linked"));

  FolderListing listing;
  std::string error;
  ASSERT_TRUE(ListFolderDocuments(dir.File("root"), listing, error, {1, 2000})) << error;
  EXPECT_EQ(Relatives(listing),
            (std::vector<std::string>{"a.txt", "broken.docx", "说明.docx", "sub/计算书.TXT"}));
  EXPECT_EQ(listing.notes, std::vector<std::string>{"文件夹 d1/d2/ 超过 1 层，未读"});

  FolderRows read;
  std::vector<int> progress;
  ASSERT_TRUE(RowsFromFolder(listing, read, [&](int done) { progress.push_back(done); }));
  EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4}));
  ASSERT_EQ(read.notes.size(), 2u);
  EXPECT_EQ(read.notes[1].rfind("无法读取 broken.docx：", 0), 0u) << read.notes[1];
  // One row per standard, every place naming its document, in reading order.
  ASSERT_EQ(read.rows.size(), 2u);
  const RowSource& gb = read.rows[0].source;
  EXPECT_EQ(LocationWords(gb.location), "a.txt：第 1 行");
  ASSERT_EQ(gb.cited_again.size(), 2u);
  EXPECT_EQ(LocationWords(gb.cited_again[0].location), "说明.docx：第 1 段");
  EXPECT_EQ(LocationWords(gb.cited_again[1].location), "sub/计算书.TXT：第 1 行");
  EXPECT_EQ(LocationWords(read.rows[1].source.location), "a.txt：第 2 行");

  // A document's own rows: only its places, the first its location.
  RowStore table;
  FillTable(table, read.rows);
  const std::vector<TableRow> rows = table.Snapshot();
  EXPECT_EQ(DocumentsOfRows(rows),
            (std::vector<std::string>{"a.txt", "说明.docx", "sub/计算书.TXT"}));
  const std::vector<TableRow> own = RowsOfDocument(rows, "说明.docx");
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(LocationWords(own[0].source.location), "说明.docx：第 1 段");
  EXPECT_TRUE(own[0].source.cited_again.empty());
  EXPECT_TRUE(RowsOfDocument(rows, "none.docx").empty());
}

TEST(FolderTest, SaysWhatTheReaderSaysOfADocumentReadInPart) {
  TempDir dir;
  dir.Write("root/sub/fans.pdf",
            test::FormFanOutPdf(10, 6, {"/Top Do", "BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET"},
                                false));
  FolderListing listing;
  std::string error;
  ASSERT_TRUE(ListFolderDocuments(dir.File("root"), listing, error)) << error;
  FolderRows read;
  ASSERT_TRUE(RowsFromFolder(listing, read));
  EXPECT_EQ(read.notes, std::vector<std::string>{"sub/fans.pdf：第 1 页的图形嵌套过多，未能读完"});
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(LocationWords(read.rows[0].source.location), "sub/fans.pdf：第 2 页第 1 行");
}

TEST(FolderTest, StopsAtTheMostDocumentsOrFoldersAndSaysSo) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.txt", "c.txt", "sub/d.txt"}) {
    dir.Write(std::string("root/") + name, "GB 50016-2014");
  }
  FolderListing listing;
  std::string error;
  ASSERT_TRUE(ListFolderDocuments(dir.File("root"), listing, error, {8, 2})) << error;
  EXPECT_EQ(Relatives(listing), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(listing.notes, std::vector<std::string>{"文件夹中的文档多于 2 个，只读了前 2 个"});
  ASSERT_TRUE(ListFolderDocuments(dir.File("root"), listing, error, {8, 2000, 1})) << error;
  EXPECT_EQ(Relatives(listing), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(listing.notes, std::vector<std::string>{"文件夹中的子文件夹多于 1 个，只读了一部分"});
  EXPECT_FALSE(ListFolderDocuments(dir.File("missing"), listing, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace kelvaro
