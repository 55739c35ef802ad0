#include <gtest/gtest.h>

#include "grade/Grade.h"

namespace tolvane::grade {
namespace {

struct CompareCase {
  const char* what;
  Compare mode;
  const char* expected;
  const char* got;
  std::size_t line;  // 0: the outputs agree
};

TEST(FirstDifference, Modes) {
  const CompareCase cases[] = {
      {"equal", Compare::Exact, "a\nb\n", "a\nb\n", 0},
      {"CR LF in the expected file", Compare::Exact, "a\r\nb\r\n", "a\nb\n", 0},
      {"no final line end in the expected file", Compare::Exact, "a\nb", "a\nb\n", 0},
      {"trailing space counts when exact", Compare::Exact, "a\n", "a \n", 1},
      {"missing line", Compare::Exact, "a\nb\n", "a\n", 2},
      {"extra line", Compare::Exact, "a\n", "a\nb\n", 2},
      {"extra blank line counts when exact", Compare::Exact, "a\n", "a\n\n", 2},
      {"trailing spaces ignored", Compare::Trailing, "a\nb\n", "a  \nb\t\n", 0},
      {"trailing blank lines ignored", Compare::Trailing, "a\n", "a\n\n  \n", 0},
      {"leading spaces still count", Compare::Trailing, "a\n", " a\n", 1},
      {"inner spaces ignored", Compare::Whitespace, "1 2 3\n", "1  2\t3\n", 0},
      {"blank lines ignored", Compare::Whitespace, "a\n\nb\n", "a\nb\n\n", 0},
      {"other text still differs", Compare::Whitespace, "a b\n", "a c\n", 1},
  };
  for (const CompareCase& c : cases) {
    auto d = FirstDifference(c.expected, c.got, c.mode);
    EXPECT_EQ(d ? d->lineNumber : 0, c.line) << c.what;
  }
}

TEST(FirstDifference, GivesBothLines) {
  auto d = FirstDifference("a\nright\n", "a\nwrong\n", Compare::Exact);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->expected, "right");
  EXPECT_EQ(d->got, "wrong");
  d = FirstDifference("a\nb\n", "a\n", Compare::Exact);
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->gotMissing);
  EXPECT_FALSE(d->expectedMissing);
}

}  // namespace
}  // namespace tolvane::grade
