#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Cp932.h"
#include "common/SourceLines.h"

using namespace tolvane;
using namespace std::string_literals;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

struct Fixture {
  const char* what;
  std::string bytes;
  TextEncoding encoding;
  bool mark;
  std::vector<std::string> shown;  // the lines as an editor shows them (UTF-8)
};

std::vector<Fixture> Fixtures() {
  const auto utf8 = TextEncoding::Utf8;
  const auto cp932 = TextEncoding::Cp932;
  return {
      {"empty", "", cp932, false, {""}},
      {"one line break", "\r\n", cp932, false, {"", ""}},
      {"NBSP in a string",
       " DC 'A\xC2\xA0"
       "B'\n",
       utf8,
       false,
       {" DC 'A\xC2\xA0"
        "B'",
        ""}},
      {"line and paragraph separators, noncharacters",
       " DC 'A\xE2\x80\xA8"
       "B\xE2\x80\xA9"
       "C\xEF\xB7\x90\xEF\xB7\x91'\n",
       utf8,
       false,
       {" DC 'A\xEF\xBF\xBD"
        "B\xEF\xBF\xBD"
        "C\xEF\xBF\xBD\xEF\xBF\xBD'",
        ""}},
      // Codes CP932 has twice: a conversion there and back gives FA5C 81E6 81CA.
      {"NEC-selected IBM and NEC special characters",
       " DC '\xED\x40\x87\x9A\xEE\xF9'\r\n",
       cp932,
       false,
       {" DC '" + Cp932ToUtf8("\xED\x40\x87\x9A\xEE\xF9") + "'", ""}},
      {"CP932 after a UTF-8 mark",
       kBom + "; \x82\xA0\r\n DC '\x82\xA2'\r\n",
       utf8,
       true,
       {"; \xEF\xBF\xBD\xEF\xBF\xBD", " DC '\xEF\xBF\xBD\xEF\xBF\xBD'", ""}},
      {"bytes that are no CP932",
       "\x85\x41\x81\n\xFF",
       cp932,
       false,
       {"\xEF\xBF\xBD"
        "A\xEF\xBF\xBD",
        "\xEF\xBF\xBD"}},
      {"mixed line ends and a lone CR", "A\nB\r\nC\rD", cp932, false, {"A", "B", "C", "D"}},
      {"a NUL", "A\0B\n"s, cp932, false, {"A\0B"s, ""}},
  };
}

ComposedFile Save(const SourceLines& file, const std::vector<std::string>& shown, std::string_view lineEnd = "\r\n") {
  return ComposeSourceFile(file, shown, {file.encoding, file.byteOrderMark, lineEnd});
}

// Opening and saving without an edit gives every byte back.
TEST(SourceLinesTest, UneditedFilesAreWrittenBackExactly) {
  for (const Fixture& f : Fixtures()) {
    SCOPED_TRACE(f.what);
    const SourceLines file = SplitSourceLines(f.bytes, f.encoding, f.mark);
    EXPECT_EQ(ShownLines(file), f.shown);
    const ComposedFile saved = Save(file, ShownLines(file));
    ASSERT_TRUE(saved.ok);
    EXPECT_EQ(saved.bytes, f.bytes);
  }
}

TEST(SourceLinesTest, UnreadableBytes) {
  EXPECT_TRUE(HasUnreadableBytes(SplitSourceLines(kBom + "; \x82\xA0", TextEncoding::Utf8, true)));
  EXPECT_FALSE(HasUnreadableBytes(SplitSourceLines(kBom + "; \xE3\x81\x82", TextEncoding::Utf8, true)));
  EXPECT_TRUE(HasUnreadableBytes(SplitSourceLines("\x85\x41", TextEncoding::Cp932, false)));
  EXPECT_FALSE(HasUnreadableBytes(SplitSourceLines("\xED\x40", TextEncoding::Cp932, false)));
}

// An edit changes the edited lines only; they take the file's line end, and
// the characters around the edit keep their bytes.
TEST(SourceLinesTest, EditsChangeOnlyTheEditedLines) {
  const std::string nec = Cp932ToUtf8("\xED\x40\x87\x9A\xEE\xF9");
  const std::string because = "\xE2\x88\xB5";  // U+2235, typed: CP932 writes it 81E6
  const struct {
    const char* what;
    std::string bytes;
    TextEncoding encoding;
    bool mark;
    std::vector<std::string> edited;
    std::string lineEnd;
    std::string expected;
  } cases[] = {
      {"a comment after the duplicate codes",
       " DC '\xED\x40\x87\x9A\xEE\xF9'\r\n LD GR1,A\r\n",
       TextEncoding::Cp932,
       false,
       {" DC '" + nec + "' ;x", " LD GR1,A", ""},
       "\r\n",
       " DC '\xED\x40\x87\x9A\xEE\xF9' ;x\r\n LD GR1,A\r\n"},
      {"a character typed between them",
       " DC '\xED\x40\x87\x9A\xEE\xF9'\r\n",
       TextEncoding::Cp932,
       false,
       {" DC '" + nec.substr(0, 6) + because + nec.substr(6) + "'", ""},
       "\r\n",
       " DC '\xED\x40\x87\x9A\x81\xE6\xEE\xF9'\r\n"},
      {"mixed line ends, one line edited",
       "A\nB\r\nC\rD",
       TextEncoding::Cp932,
       false,
       {"A", "BB", "C", "D"},
       "\n",
       "A\nBB\nC\rD"},
      {"a line inserted and one removed",
       "A\nB\r\nC\rD\r\nE",
       TextEncoding::Cp932,
       false,
       {"A", "N", "B", "C", "E"},
       "\n",
       "A\nN\nB\r\nC\rE"},
      {"edits far apart",
       "L0\nL1\rL2\r\nL3\nL4\rL5\r\nL6\nL7\r\nL8\nL9",
       TextEncoding::Cp932,
       false,
       {"L0", "X1", "L2", "L3", "L4", "L6", "L7", "new", "L8", "X9"},
       "\r\n",
       "L0\nX1\r\nL2\r\nL3\nL4\rL6\nL7\r\nnew\r\nL8\nX9"},
      {"bytes after a mark that are no UTF-8",
       kBom + "; \x82\xA0\r\n DC '\x82\xA2'\r\n",
       TextEncoding::Utf8,
       true,
       {"; \xEF\xBF\xBD\xEF\xBF\xBDx", " DC '\xEF\xBF\xBD\xEF\xBF\xBD'", ""},
       "\r\n",
       kBom + "; \x82\xA0x\r\n DC '\x82\xA2'\r\n"},
      {"a separator beside the edit",
       " DC 'A\xE2\x80\xA8"
       "B'\n",
       TextEncoding::Utf8,
       false,
       {" DC 'A\xEF\xBF\xBD"
        "BC'",
        ""},
       "\n",
       " DC 'A\xE2\x80\xA8"
       "BC'\n"},
      {"a line appended after a last line without an end",
       "A\r\nB",
       TextEncoding::Cp932,
       false,
       {"A", "B", "C"},
       "\r\n",
       "A\r\nB\r\nC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SourceLines file = SplitSourceLines(c.bytes, c.encoding, c.mark);
    const ComposedFile saved = Save(file, c.edited, c.lineEnd);
    ASSERT_TRUE(saved.ok);
    EXPECT_EQ(saved.bytes, c.expected);
  }
}

// More edits than the line matching follows in full (every other line of
// thousands): the lines left alone still keep their own line ends.
TEST(SourceLinesTest, ManyEditsInPlace) {
  std::string bytes;
  std::vector<std::string> edited;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    const std::string line = "L" + std::to_string(i);
    bytes += line + (i % 3 == 0 ? "\n" : "\r\n");
    edited.push_back(i % 2 == 0 ? line + "x" : line);
    expected += edited.back() + (i % 2 == 0 || i % 3 != 0 ? "\r\n" : "\n");
  }
  edited.emplace_back();
  const SourceLines file = SplitSourceLines(bytes, TextEncoding::Cp932, false);
  const ComposedFile saved = Save(file, edited);
  ASSERT_TRUE(saved.ok);
  EXPECT_EQ(saved.bytes, expected);
}

TEST(SourceLinesTest, OtherEncodingWritesEveryLineAnewKeepingLineEnds) {
  const SourceLines file = SplitSourceLines("; \x82\xA0\r\nB\nC", TextEncoding::Cp932, false);
  const ComposedFile saved = ComposeSourceFile(file, ShownLines(file), {TextEncoding::Utf8, true, "\r\n"});
  ASSERT_TRUE(saved.ok);
  EXPECT_EQ(saved.bytes, kBom + "; \xE3\x81\x82\r\nB\nC");
}

// A character CP932 cannot hold is named by line and offset; nothing is written.
TEST(SourceLinesTest, CharacterCp932CannotHold) {
  const SourceLines file = SplitSourceLines("A\r\nB\r\n", TextEncoding::Cp932, false);
  const ComposedFile saved = Save(file, {"A", "B\xC2\xA0x", ""});
  EXPECT_FALSE(saved.ok);
  EXPECT_EQ(saved.badLine, 1u);
  EXPECT_EQ(saved.badOffset, 1u);
  EXPECT_TRUE(saved.bytes.empty());
}

}  // namespace

// The one line splitter, under both rules for a lone CR: each case gives the
// lines' texts and break lengths.
TEST(SplitLines, BreaksUnderBothRulesForALoneCr) {
  struct Case {
    std::string text;
    std::vector<std::pair<std::string, std::size_t>> endsLine, inLine;
  };
  const Case cases[] = {
      {"", {{"", 0}}, {{"", 0}}},
      {"a", {{"a", 0}}, {{"a", 0}}},
      {"a\n", {{"a", 1}, {"", 0}}, {{"a", 1}, {"", 0}}},
      {"a\r\nb", {{"a", 2}, {"b", 0}}, {{"a", 2}, {"b", 0}}},
      {"a\rb\n", {{"a", 1}, {"b", 1}, {"", 0}}, {{"a\rb", 1}, {"", 0}}},
      {"a\r", {{"a", 1}, {"", 0}}, {{"a", 0}}},
      {"a\r\r\n", {{"a", 1}, {"", 2}, {"", 0}}, {{"a\r", 2}, {"", 0}}},
      {"\n\r\n", {{"", 1}, {"", 2}, {"", 0}}, {{"", 1}, {"", 2}, {"", 0}}},
  };
  for (const Case& c : cases) {
    for (const LoneCr rule : {LoneCr::EndsLine, LoneCr::InLine}) {
      std::vector<std::pair<std::string, std::size_t>> got;
      std::size_t next = 0;
      for (const LineSpan& line : SplitLines(c.text, rule)) {
        EXPECT_EQ(line.offset, next) << c.text;  // the lines and breaks cover the text in order
        next = line.offset + line.length + line.breakLength;
        got.emplace_back(c.text.substr(line.offset, line.length), line.breakLength);
      }
      EXPECT_EQ(got, rule == LoneCr::EndsLine ? c.endsLine : c.inLine) << c.text;
    }
  }
}
