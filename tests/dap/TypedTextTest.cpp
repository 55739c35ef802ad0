// The same typed texts through `tolvane-cli debug` and the debug adapter: a
// value, a register name and a label mean the same in both, and the same as
// the core's rules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../common/TypedTextCases.h"
#include "DapClient.h"
#include "common/TextRules.h"

namespace tolvane::dap {
namespace {

namespace fs = std::filesystem;
using testing::DapClient;
using testing::json;

// GR1 and the word at X start at 0; the program only waits at its start.
const char* const kProgram =
    "MAIN    START\n"
    "        LAD     GR2,0\n"
    "        RET\n"
    "X       DS      1\n"
    "        END\n";

const std::string kNotValid = reinterpret_cast<const char*>(u8"は正しいデータではありません。");
const std::string kNotALabel =
    reinterpret_cast<const char*>(u8"ラベルとして正しくありません。もう一度入力してください。");
const std::string kNoSuchLabel = reinterpret_cast<const char*>(u8"このラベルは存在しません。");

std::string Hex4(std::uint16_t w) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(w));
  return buf;
}

class TypedTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tolvane-typed-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    std::ofstream(dir_ / "t.cas", std::ios::binary) << kProgram;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs `tolvane-cli debug` on the program with these command lines; its output.
  std::string Debug(const std::vector<std::string>& lines) {
    {
      std::ofstream in(dir_ / "in.txt", std::ios::binary);
      for (const std::string& l : lines) in << l << "\n";
    }
    const std::string d = dir_.string();
    const std::string cmd = "cd '" + d +
                            "' && '" TOLVANE_CLI "' asm --no-listing t.cas >/dev/null 2>&1 && '" TOLVANE_CLI
                            "' link t.obj >/dev/null 2>&1 && '" TOLVANE_CLI "' debug t.exe <in.txt >out.txt 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream out(dir_ / "out.txt", std::ios::binary);
    std::stringstream s;
    s << out.rdbuf();
    return s.str();
  }
  // The output between the markers `mark N` and `mark N+1` leave.
  static std::string Block(const std::string& out, std::size_t n) {
    const std::string from = "unknown command 'mark" + std::to_string(n) + "'";
    const std::string to = "unknown command 'mark" + std::to_string(n + 1) + "'";
    const std::size_t a = out.find(from);
    if (a == std::string::npos) return {};
    const std::size_t b = out.find(to, a);
    return out.substr(a + from.size(), b == std::string::npos ? std::string::npos : b - a - from.size());
  }

  void Launch(DapClient& c) {
    c.Request("initialize", {{"adapterID", "tolvane"}, {"linesStartAt1", true}});
    c.Request("launch", {{"program", (dir_ / "t.cas").string()}, {"stopOnEntry", true}});
    c.Event("initialized");
    c.Request("configurationDone");
    c.Stopped();
  }

  fs::path dir_;
};

TEST_F(TypedTextTest, ValuesReadAlikeInSetAndSetVariable) {
  // `set GR1 TEXT` and `set X TEXT` (the word of label X, by its address).
  std::vector<std::string> lines;
  const auto& cases = typed::ValueCases();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    lines.push_back("mark" + std::to_string(i));
    if (!cases[i].reachesCli) continue;
    lines.push_back("set GR1 0");
    lines.push_back(std::string("set GR1 ") + cases[i].text);
    lines.push_back(std::string("set 103 ") + cases[i].text);
  }
  lines.push_back("mark" + std::to_string(cases.size()));
  const std::string out = Debug(lines);

  DapClient c(TOLVANE_CLI, dir_.string());
  Launch(c);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const typed::ValueCase& k = cases[i];
    SCOPED_TRACE(std::string("'") + k.text + "'");
    // The core's rule.
    EXPECT_EQ(ParseWordValue(k.text), k.value);
    EXPECT_EQ(ReadLenientHex(k.text), k.options);
    // tolvane-cli debug.
    if (k.reachesCli) {
      const std::string block = Block(out, i);
      if (k.value) {
        EXPECT_NE(block.find("GR1=" + Hex4(*k.value)), std::string::npos) << block;
        EXPECT_EQ(block.find(kNotValid), std::string::npos) << block;
      } else {
        EXPECT_NE(block.find(reinterpret_cast<const char*>(u8"エラー: ") + std::string(k.text) + kNotValid),
                  std::string::npos)
            << block;
      }
    }
    // The adapter: a register and a memory word.
    const json gr1 = {{"variablesReference", 1}, {"name", "GR1"}, {"value", k.text}};
    const json x = {{"variablesReference", 3}, {"name", "X"}, {"value", k.text}};
    if (k.value) {
      EXPECT_EQ(c.Request("setVariable", gr1)["value"].get<std::string>().substr(0, 4), Hex4(*k.value));
      EXPECT_EQ(c.Request("setVariable", x)["value"].get<std::string>().substr(0, 4), Hex4(*k.value));
    } else {
      EXPECT_EQ(c.Refused("setVariable", gr1), k.text + kNotValid);
      EXPECT_EQ(c.Refused("setVariable", x), k.text + kNotValid);
    }
  }
  c.Request("disconnect");
}

TEST_F(TypedTextTest, RegisterNamesReadAlikeInSetAndEvaluate) {
  std::vector<std::string> lines;
  const auto& cases = typed::RegisterCases();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    lines.push_back("mark" + std::to_string(i));
    lines.push_back(std::string("set ") + cases[i].text + " 1234");
  }
  lines.push_back("mark" + std::to_string(cases.size()));
  const std::string out = Debug(lines);

  DapClient c(TOLVANE_CLI, dir_.string());
  Launch(c);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const typed::RegisterCase& k = cases[i];
    SCOPED_TRACE(k.text);
    const std::optional<Register> reg = ParseRegisterName(k.text);
    EXPECT_EQ(reg ? RegisterIndex(*reg) : -1, k.index);
    const std::string block = Block(out, i);
    const json evaluate = {{"expression", k.text}, {"context", "watch"}};
    if (k.index < 0) {
      EXPECT_NE(block.find(k.text + kNotValid), std::string::npos) << block;
      EXPECT_NE(c.Refused("evaluate", evaluate), "");
      continue;
    }
    const std::string name = RegisterName(static_cast<Register>(k.index));
    EXPECT_NE(block.find(name + "=1234"), std::string::npos) << block;
    EXPECT_EQ(c.Request("evaluate", evaluate)["result"],
              c.Request("evaluate", {{"expression", name}, {"context", "watch"}})["result"]);
  }
  c.Request("disconnect");
}

TEST_F(TypedTextTest, RegisterNamesAreNoLabels) {
  std::vector<std::string> lines;
  const auto& cases = typed::LabelCases();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    lines.push_back("mark" + std::to_string(i));
    lines.push_back(std::string("break ") + cases[i].text);
  }
  lines.push_back("mark" + std::to_string(cases.size()));
  const std::string out = Debug(lines);

  DapClient c(TOLVANE_CLI, dir_.string());
  Launch(c);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const typed::LabelCase& k = cases[i];
    SCOPED_TRACE(k.text);
    EXPECT_EQ(IsLabelText(k.text), k.wellFormed);
    const std::string& want = k.wellFormed ? kNoSuchLabel : kNotALabel;
    EXPECT_NE(Block(out, i).find(want), std::string::npos) << Block(out, i);
    const json answer = c.Request("setFunctionBreakpoints", {{"breakpoints", json::array({{{"name", k.text}}})}});
    ASSERT_EQ(answer["breakpoints"].size(), 1u);
    EXPECT_FALSE(answer["breakpoints"][0].value("verified", true));
    EXPECT_EQ(answer["breakpoints"][0].value("message", ""), want);
  }
  c.Request("disconnect");
}

}  // namespace
}  // namespace tolvane::dap
