#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "grade/Grade.h"

namespace tolvane::grade {
namespace {

std::vector<Case> TwoCases() {
  Case a, b;
  a.name = "a";
  b.name = "b";
  b.expected = "x\n";
  return {a, b};
}

TEST(CaseSettings, DefaultsThenPerCase) {
  std::vector<Case> cases = TwoCases();
  Case defaults;
  defaults.maxSteps = 77;
  std::string error;
  ASSERT_TRUE(ApplyCaseSettings(R"(
[defaults]
timeout = 1.5
compare = "whitespace"

[case.b]
max_steps = 5
points = 3
compare = "exact"
input_exhausted = true
)",
                                defaults, cases, error))
      << error;
  EXPECT_EQ(cases[0].maxSteps, 77u);  // the command line's default stays
  EXPECT_DOUBLE_EQ(cases[0].timeoutSeconds, 1.5);
  EXPECT_EQ(cases[0].compare, Compare::Whitespace);
  EXPECT_FALSE(cases[0].inputExhausted);
  EXPECT_EQ(cases[1].maxSteps, 5u);
  EXPECT_DOUBLE_EQ(cases[1].points, 3);
  EXPECT_EQ(cases[1].compare, Compare::Exact);
  EXPECT_TRUE(cases[1].inputExhausted);
  EXPECT_EQ(cases[1].expected, "x\n");  // the files survive the settings
}

TEST(CaseSettings, Refusals) {
  const struct {
    const char* text;
    const char* named;  // in the message
  } bad[] = {
      {"[case.a]\nmax_step = 3\n", "max_step"},
      {"[case.a]\nmax_steps = 0\n", "max_steps"},
      {"[case.a]\nmax_steps = \"many\"\n", "max_steps"},
      {"[case.a]\ntimeout = -1\n", "timeout"},
      {"[case.a]\ncompare = \"fuzzy\"\n", "compare"},
      {"[case.a]\nvisibility = \"secret\"\n", "visibility"},
      {"[case.zzz]\npoints = 1\n", "zzz"},
      {"[cases.a]\npoints = 1\n", "cases"},
      {"[case.a\n", "cases.toml:1"},
  };
  for (const auto& b : bad) {
    std::vector<Case> cases = TwoCases();
    std::string error;
    EXPECT_FALSE(ApplyCaseSettings(b.text, Case{}, cases, error)) << b.text;
    EXPECT_NE(error.find(b.named), std::string::npos) << b.text << " -> " << error;
  }
}

// A case file saved with a byte-order mark means the same as one without.
TEST(LoadCases, AByteOrderMarkIsNoContent) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("grade_cases_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(dir);
  std::ofstream(dir / "a.in", std::ios::binary) << "\xEF\xBB\xBF"
                                                   "3\n";
  std::ofstream(dir / "a.out", std::ios::binary) << "\xEF\xBB\xBF"
                                                    "6\n";
  std::vector<Case> cases;
  std::string error;
  const bool loaded = LoadCases(dir.string(), Case{}, cases, error);
  fs::remove_all(dir);
  ASSERT_TRUE(loaded) << error;
  ASSERT_EQ(cases.size(), 1u);
  EXPECT_EQ(cases[0].input, "3\n");
  EXPECT_EQ(cases[0].expected, "6\n");
}

}  // namespace
}  // namespace tolvane::grade
