// The Windows build has no PDF library: every PDF is refused with words saying what to do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/document.h"
#include "support/zip_builder.h"

namespace kelvaro {
namespace {

TEST(WindowsPdfTest, RefusedWithTheAdviceToSaveAsWord) {
  for (const char* bytes : {"%PDF-1.4\n%%EOF\n", "not a pdf", ""}) {
    std::vector<TextPiece> pieces;
    DocumentError error = DocumentError::kNone;
    EXPECT_FALSE(ReadDocument(test::AsBytes(bytes), DocumentKind::kPdf, pieces, error));
    EXPECT_STREQ(DocumentErrorWords(error), "此版本不能读取 PDF，请另存为 Word 文档后导入");
    EXPECT_TRUE(pieces.empty());
  }
}

}  // namespace
}  // namespace kelvaro
