#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Cp932.h"
#include "common/SourceEncoding.h"

using namespace tolvane;

namespace {

struct Case {
  const char* what;
  std::string bytes;
  EncodingGuess guess;
  std::string cp932;                // the decoded text
  std::vector<std::size_t> unheld;  // where characters CP932 cannot hold stand
};

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHello = Cp932Text(u8"こんにちは");  // CP932 bytes

std::vector<Case> Cases() {
  const EncodingGuess cp932{TextEncoding::Cp932, false};
  const EncodingGuess utf8{TextEncoding::Utf8, false};
  const EncodingGuess marked{TextEncoding::Utf8, true};
  return {
      {"empty file", "", cp932, "", {}},
      {"ASCII only", " LD GR1,A\r\n", cp932, " LD GR1,A\r\n", {}},
      {"CP932 Japanese", " DC '" + kHello + "'\r\n", cp932, " DC '" + kHello + "'\r\n", {}},
      // E3H 81H is one CP932 character but a cut-off UTF-8 sequence.
      {"CP932 that starts like UTF-8", "\xE3\x81", cp932, "\xE3\x81", {}},
      {"UTF-8 Japanese",
       " DC '\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF'\n",
       utf8,
       " DC '" + kHello + "'\n",
       {}},
      {"UTF-8 mark, ASCII after it", kBom + "PROG START\n", marked, "PROG START\n", {}},
      {"UTF-8 mark, Japanese after it", kBom + "; \xE3\x81\x82\n", marked, "; " + Cp932Text(u8"あ") + "\n", {}},
      {"UTF-8 mark alone", kBom, marked, "", {}},
      // Without a mark, invalid UTF-8 is CP932 whatever it holds.
      {"overlong UTF-8 form", "\xC0\xAF", cp932, "\xC0\xAF", {}},
      {"UTF-8 surrogate", "\xED\xA0\x80", cp932, "\xED\xA0\x80", {}},
      {"truncated UTF-8 at the end", "A\xE3\x81\x82\xE3\x81", cp932, "A\xE3\x81\x82\xE3\x81", {}},
      // With a mark the file is UTF-8: a broken sequence stands as one unheld character.
      {"marked file with an invalid byte", kBom + "A\xFF" + "B", marked, "A?B", {1}},
      {"emoji in UTF-8", "'\xF0\x9F\x98\x80' \xE3\x81\x82", utf8, "'?' " + Cp932Text(u8"あ"), {1}},
      {"two unheld characters on two lines", "\xF0\x9F\x98\x80\n\xC3\xA9x\n", utf8, "?\n?x\n", {0, 2}},
      // Characters whose CP932 forms are often mapped differently by other converters.
      {"wave dash and minus", "\xE3\x80\x9C\xE2\x88\x92", utf8, "\x81\x60\x81\x7C", {}},
  };
}

TEST(SourceEncodingTest, RuleAndDecoding) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DetectEncoding(c.bytes), c.guess);
    const DecodedText d = DecodeToCp932(c.bytes);
    EXPECT_EQ(d.from, c.guess);
    EXPECT_EQ(d.cp932, c.cp932);
    EXPECT_EQ(d.unheld, c.unheld);
  }
}

TEST(SourceEncodingTest, CheckedUtf8) {
  const struct {
    const char* bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {"abc", true},
      {"\xC2\x80", true},
      {"\xF4\x8F\xBF\xBF", true},
      {"\xC1\xBF", false},
      {"\xE0\x80\x80", false},
      {"\xF4\x90\x80\x80", false},
      {"\x80", false},
      {"\xF5\x80\x80\x80", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

}  // namespace
