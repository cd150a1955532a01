#include "web/url.h"

#include <gtest/gtest.h>

#include <vector>

#include "text/encoding.h"

namespace kelvaro {
namespace {

TEST(EscapeUrlForWire, Table) {
  struct Case {
    Text in;
    Text out;
  };
  const std::vector<Case> cases = {
      {"http://h/s.jsp?keyword=GB/T50001&pageNum=1", "http://h/s.jsp?keyword=GB/T50001&pageNum=1"},
      {"http://h/a b", "http://h/a%20b"},
      {"http://h/a\r\nb\tc\x7f", "http://h/a%0D%0Ab%09c%7F"},
      {"http://h/%41~!$'()*+,;=:@[]\"<>{}|^`", "http://h/%41~!$'()*+,;=:@[]\"<>{}|^`"},
      {"http://h/?k=" + Gbk(u8"标准"), "http://h/?k=%E6%A0%87%E5%87%86"},
      {"http://h/?k=" + Gbk(u8"国标") + "x", "http://h/?k=%E5%9B%BD%E6%A0%87x"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeUrlForWire(c.in), c.out) << c.in;
  // Escaping twice changes nothing more.
  for (const Case& c : cases) EXPECT_EQ(EscapeUrlForWire(c.out), c.out);
}

TEST(EscapeUrlForWire, LoneLeadByteAtEndBecomesEscapedReplacement) {
  const Text out = EscapeUrlForWire(Text("http://h/\xb1"));
  EXPECT_EQ(out.find_first_of(" \r\n"), Text::npos);
  EXPECT_EQ(out.rfind("http://h/%", 0), 0u);
  for (unsigned char c : out) EXPECT_LT(c, 0x80);
}

}  // namespace
}  // namespace kelvaro
