#include "document/markers/read_back.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/office_builder.h"

namespace kelvaro {
namespace {

constexpr char kWordNs[] =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

// A Word package whose body is `body` and whose comments part holds `comments`, as a copy's
// maker might have written them.
Bytes Copy(const std::string& body, const std::string& comments) {
  test::DocxParts parts;
  parts.body = body;
  test::ZipBuilder zip = test::DocxArchive(parts);
  zip.Add("word/comments.xml",
          "<w:comments " + std::string(kWordNs) + ">" + comments + "</w:comments>");
  return test::AsBytes(zip.Build());
}

// The document a copy was made from: `body` and no comments.
Bytes Original(const std::string& body) {
  test::DocxParts parts;
  parts.body = body;
  return test::AsBytes(test::DocxArchive(parts).Build());
}

std::string Comment(const std::string& id) {
  return "<w:comment w:id=\"" + id + "\" w:author=\"Kelvaro\"><w:p/></w:comment>";
}

std::string Commented(const std::string& start, const std::string& end,
                      const std::string& reference) {
  return "<w:p><w:commentRangeStart w:id=\"" + start +
         "\"/><w:r><w:t>GB 50016-2014</w:t></w:r><w:commentRangeEnd w:id=\"" + end +
         "\"/><w:r><w:commentReference w:id=\"" + reference + "\"/></w:r></w:p>";
}

TEST(CopyReadsBack, TakesAWholeCopyAndRefusesOneItsReadersWouldNot) {
  const WrittenParts body_and_comments{
      {"word/document.xml", "word/comments.xml"}, "word/comments.xml", "word/document.xml"};
  struct Case {
    const char* name;
    Bytes copy;
    bool reads;
  };
  const Case cases[] = {
      {"Commented", Copy(Commented("1", "1", "1"), Comment("1")), true},
      {"ReferenceToNoComment", Copy(Commented("1", "1", "2"), Comment("1")), false},
      {"RangeOpenedTwice", Copy(Commented("1", "1", "1") + Commented("1", "1", "1"), Comment("1")),
       false},
      {"AttributeInNoNamespace",
       Copy("<w:p><w:commentRangeStart id=\"1\"/><w:r><w:t>x</w:t></w:r></w:p>", Comment("1")),
       false},
      {"ElementInNoNamespace", Copy("<w:p><r><w:t>x</w:t></r></w:p>", ""), false},
      {"UndeclaredAttributePrefix", Copy("<w:p><w:r x:y=\"1\"><w:t>x</w:t></w:r></w:p>", ""),
       false},
      {"ControlCharacter", Copy("<w:p><w:r><w:t>GB\x1b 50016</w:t></w:r></w:p>", ""), false},
      {"NotAZip", test::AsBytes("PK"), false},
  };
  const Bytes plain = Original("<w:p><w:r><w:t>GB 50016-2014</w:t></w:r></w:p>");
  for (const Case& c : cases) {
    EXPECT_EQ(CopyReadsBack(c.copy, plain, DocumentKind::kDocx, body_and_comments), c.reads)
        << c.name;
  }
  // The document's own marks are not judged in a copy that added no comments.
  EXPECT_TRUE(CopyReadsBack(Copy(Commented("1", "1", "2"), ""), plain, DocumentKind::kDocx,
                            {{"word/document.xml"}, {}, {}}));
  // Comments where they may not stand (a note: LibreOffice will not open it).
  EXPECT_FALSE(CopyReadsBack(Copy(Commented("1", "1", "1"), Comment("1")), plain,
                             DocumentKind::kDocx,
                             {{"word/document.xml"}, "word/comments.xml", "word/footnotes.xml"}));
  // A part named as written that the copy does not hold.
  EXPECT_FALSE(CopyReadsBack(Copy(Commented("1", "1", "1"), Comment("1")), plain,
                             DocumentKind::kDocx, {{"word/missing.xml"}, {}, {}}));
  // A fault the document came with is its own, even copied into a split run; another is the
  // copy's.
  const std::string stray = "<w:p><w:r><tab/><w:t>GB 50016-2014</w:t></w:r></w:p>";
  const Bytes faulty = Original(stray);
  EXPECT_TRUE(CopyReadsBack(Copy(stray + stray, ""), faulty, DocumentKind::kDocx,
                            {{"word/document.xml"}, {}, {}}));
  EXPECT_FALSE(CopyReadsBack(Copy(stray + "<w:p><r/></w:p>", ""), faulty, DocumentKind::kDocx,
                             {{"word/document.xml"}, {}, {}}));
}

}  // namespace
}  // namespace kelvaro
