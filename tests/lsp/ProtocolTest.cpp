// The language server's conversions between the wire and the services.
#include <gtest/gtest.h>

#include <string>

#include "lsp/Protocol.h"

namespace tolvane::lsp {
namespace {

TEST(ProtocolTest, Utf16Columns) {
  // 'A', a double-byte character, 'B'; in UTF-8 also a character outside the
  // basic plane (two UTF-16 units, four bytes).
  const std::string cp932 =
      "A\x93\xFA"
      "B";
  const std::string utf8 =
      "A\xE6\x97\xA5\xF0\x9F\x98\x80"
      "B";
  struct Case {
    const std::string* line;
    bool utf8;
    std::int64_t units;
    std::int32_t bytes;
  };
  const Case cases[] = {
      {&cp932, false, 0, 0}, {&cp932, false, 1, 1}, {&cp932, false, 2, 3}, {&cp932, false, 3, 4},
      {&utf8, true, 2, 4},   {&utf8, true, 4, 8},   {&utf8, true, 5, 9},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ByteColumn(*c.line, c.units, c.utf8), c.bytes) << c.units;
    EXPECT_EQ(UnitColumn(*c.line, c.bytes, c.utf8), c.units) << c.bytes;
  }
  EXPECT_EQ(ByteColumn(cp932, 99, false), 4);  // past the end: the end
}

TEST(ProtocolTest, UrisAndPaths) {
  EXPECT_EQ(UriOfPath("/tmp/a b/%x.cas"), "file:///tmp/a%20b/%25x.cas");
  EXPECT_EQ(PathOfUri("file:///tmp/a%20b/%25x.cas"), "/tmp/a b/%x.cas");
  EXPECT_EQ(PathOfUri("file:///a%2fb%zz"), "/a/b%zz");
  EXPECT_EQ(PathOfUri("untitled:1"), "");
}

// The services give the text and where its operands are; the wire gets
// snippet text, its own characters escaped.
TEST(ProtocolTest, CompletionSnippets) {
  struct Case {
    lang::Completion item;
    std::string insertText;
    int format;
  };
  const Case cases[] = {
      {{"LD", lang::CompletionKind::Instruction, "", "", "LD\tr,adr", {{3, 1}, {5, 3}}}, "LD\t${1:r},${2:adr}", 2},
      {{"RET", lang::CompletionKind::Instruction, "", "", "RET", {}}, "RET", 1},
      {{"X", lang::CompletionKind::Macro, "", "", "X\t$}\\,a", {{6, 1}}}, "X\t\\$\\}\\\\,${1:a}", 2},
      // A trail byte 0x5C is no backslash.
      {{"OUT", lang::CompletionKind::Macro, "", "", "OUT\t" + std::string("\x95\x5C"), {{4, 2}}},
       "OUT\t${1:\xE8\xA1\xA8}",
       2},
  };
  for (const Case& c : cases) {
    const json item = CompletionItem(c.item);
    EXPECT_EQ(item["insertText"], c.insertText) << c.item.label;
    EXPECT_EQ(item["insertTextFormat"], c.format) << c.item.label;
  }
}

}  // namespace
}  // namespace tolvane::lsp
