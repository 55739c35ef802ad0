#include <gtest/gtest.h>

#include "grade/Report.h"

namespace tolvane::grade {
namespace {

// One submission with one failed case whose lines and names are `hostile`.
std::vector<SubmissionResult> Hostile(const std::string& name, const std::string& got) {
  SubmissionResult s;
  s.name = name;
  s.built = true;
  s.maxPoints = 1;
  CaseResult c;
  c.name = "one";
  c.verdict = Verdict::Wrong;
  c.seconds = 0.0000123;
  c.difference = Difference{1, "ALL PASSED", got, false, false};
  s.cases.push_back(c);
  return {s};
}

TEST(Shown, ControlAndInvisibleCharacters) {
  const struct {
    const char* raw;
    const char* shown;
    const char* line;  // as an expected/got line
  } rows[] = {
      {"plain", "plain", "plain"},
      {"\x1b[2J\x1b]0;x\x07", "\\x1B[2J\\x1B]0;x\\x07", "\\x1B[2J\\x1B]0;x\\x07"},
      {"a\tb", "a\\x09b", "a\\tb"},
      {"a\r\n", "a\\x0D\\x0A", "a\\x0D\\x0A"},
      {"end  ", "end  ", "end\\x20\\x20"},
      {"no\xC2\xA0"
       "break",
       "no\\u00A0break", "no\\u00A0break"},
      {"rtl\xE2\x80\xAE"
       "txt",
       "rtl\\u202Etxt", "rtl\\u202Etxt"},
      {"\xEF\xBB\xBF"
       "bom",
       "\\uFEFFbom", "\\uFEFFbom"},
      {"c1\xC2\x9B"
       "31m",
       "c1\\u009B31m", "c1\\u009B31m"},
      {"back\\slash", "back\\slash", "back\\\\slash"},
      {"\xE3\x81\x82", "\xE3\x81\x82", "\xE3\x81\x82"},
      {"bad\xFF", "bad\\xFF", "bad\\xFF"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Shown(r.raw), r.shown) << r.raw;
    EXPECT_EQ(ShownLine(r.raw), r.line) << r.raw;
  }
}

// What a program wrote, and what its file is called, reaches every report
// for people without an escape character in it.
TEST(Report, NoControlCharacterReachesAReader) {
  const auto results = Hostile("evil\x1b]0;pwned\x07.cas", "\x1b[2J\x1b[HALL PASSED\x1b[8m");
  for (Format f : {Format::Text, Format::Csv, Format::Markdown, Format::Junit}) {
    const std::string report = FormatReport(results, f, TextStyle{});
    EXPECT_EQ(report.find('\x1b'), std::string::npos) << report;
    EXPECT_EQ(report.find('\x07'), std::string::npos) << report;
  }
  const std::string text = FormatReport(Hostile("a.cas", "x\t "), Format::Text);
  EXPECT_NE(text.find("got \"x\\t\\x20\""), std::string::npos) << text;
}

TEST(Report, CsvFormulasAndMarkdownHtmlAreNeutralised) {
  const struct {
    const char* name;
    const char* cell;
  } csv[] = {
      {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
      {"+1.cas", "'+1.cas"},
      {"-2.cas", "'-2.cas"},
      {"@sum.cas", "'@sum.cas"},
      {"ok.cas", "ok.cas"},
  };
  for (const auto& c : csv) {
    const std::string report = FormatReport(Hostile(c.name, "x"), Format::Csv);
    EXPECT_NE(report.find("\n" + std::string(c.cell) + ","), std::string::npos) << report;
  }
  const std::string md = FormatReport(Hostile("<img src=x onerror=alert(1)>|x.cas", "x"), Format::Markdown);
  EXPECT_EQ(md.find("<img"), std::string::npos) << md;
  EXPECT_NE(md.find("&lt;img src=x onerror=alert(1)&gt;\\|x.cas"), std::string::npos) << md;
}

// The page shows names and lines as text, loads nothing from elsewhere and
// marks where the got line leaves the expected one.
TEST(Report, HtmlPageIsSelfContainedAndMarksTheDifference) {
  const std::string page = FormatReport(Hostile("<script>alert(1)</script>.cas", "ALL PAS\x1b[2JSED"), Format::Html);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;.cas"), std::string::npos);
  for (const char* external : {"http:", "https:", "src=", "<link", "@import", "\x1b"})
    EXPECT_EQ(page.find(external), std::string::npos) << external;
  EXPECT_NE(page.find("ALL PAS<span class=\"diff\">\\x1B[2JSED</span>"), std::string::npos) << page;
}

TEST(Report, JunitTimesArePlainDecimals) {
  const std::string xml = FormatReport(Hostile("a.cas", "x"), Format::Junit);
  EXPECT_EQ(xml.find("e-"), std::string::npos) << xml;
  EXPECT_NE(xml.find("time=\"0.000012\""), std::string::npos) << xml;
}

TEST(Report, JapaneseNamesLineUpByDisplayWidth) {
  EXPECT_EQ(DisplayWidth("abc"), 3u);
  EXPECT_EQ(DisplayWidth("\xE5\xB1\xB1\xE7\x94\xB0.cas"), 8u);                    // 山田.cas
  EXPECT_EQ(DisplayWidth("\xEF\xBD\xB1"), 1u);                                    // half-width katakana
  auto a = Hostile("\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E.cas", "x");  // 山田太郎.cas
  auto b = Hostile("suzuki-ichiro.cas", "x");
  a.push_back(b.front());
  const std::string text = FormatReport(a, Format::Text);
  // Both score columns start at the same terminal column.
  auto column = [&](const std::string& name) {
    const std::size_t at = text.find(name);
    const std::size_t score = text.find("0/1", at);
    return DisplayWidth(text.substr(at, score - at));
  };
  EXPECT_EQ(column("\xE5\xB1\xB1"), column("suzuki")) << text;
}

}  // namespace
}  // namespace tolvane::grade
