#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "grade/Grade.h"

namespace tolvane::grade {
namespace {

namespace fs = std::filesystem;

// A folder of sources for one test, removed afterwards.
class JudgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("grade_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                     "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
    return p.string();
  }
  fs::path dir_;
};

const char* const kEcho =
    "ECHO    START\n"
    "LOOP    IN      BUF,LEN\n"
    "        LD      GR1,LEN\n"
    "        JMI     FIN\n"
    "        OUT     BUF,LEN\n"
    "        JUMP    LOOP\n"
    "FIN     RET\n"
    "BUF     DS      256\n"
    "LEN     DS      1\n"
    "        END\n";

TEST_F(JudgeTest, EndlessLoopStopsAtTheClock) {
  Built b = BuildSubmission(Write("loop.cas", "L START\nA JUMP A\n END\n"));
  ASSERT_TRUE(b.ok);
  Case c;
  c.maxSteps = UINT64_MAX;
  c.timeoutSeconds = 0.05;
  EXPECT_EQ(RunCase(b.module, c).verdict, Verdict::TimeLimit);
}

TEST_F(JudgeTest, InputExhaustedOnlyWhenTheCaseSaysSo) {
  Built b = BuildSubmission(Write("echo.cas", kEcho));
  ASSERT_TRUE(b.ok) << (b.messages.empty() ? "" : b.messages[0]);
  Case c;
  c.input = "a\nb\n";
  c.expected = "a\nb\n";
  EXPECT_EQ(RunCase(b.module, c).verdict, Verdict::Pass);
  c.inputExhausted = true;
  EXPECT_EQ(RunCase(b.module, c).verdict, Verdict::InputExhausted);
}

// Students save from editors that write UTF-8, often with a byte-order mark:
// such a program is judged as its CP932 twin would be.
TEST_F(JudgeTest, Utf8SubmissionsAreJudgedLikeTheirCp932Twin) {
  const std::string hello =
      "HELLO   START\n        OUT     MSG,LEN\n        RET\nMSG     DC      '\xE3\x81\x82"
      "A'\nLEN     DC      3\n        END\n";
  for (const std::string& bytes : {hello, "\xEF\xBB\xBF" + hello}) {
    Built b = BuildSubmission(Write("hello.cas", bytes));
    ASSERT_TRUE(b.ok) << (b.messages.empty() ? "" : b.messages[0]);
    Case c;
    c.expected =
        "\xE3\x81\x82"
        "A\n";  // output is compared as UTF-8, like the terminal's
    EXPECT_EQ(RunCase(b.module, c).verdict, Verdict::Pass);
  }
}

TEST_F(JudgeTest, NothingIsWrittenBesideTheSources) {
  Write("p/main.cas", "MAIN START\n CALL SUB\n RET\n END\n");
  Write("p/sub.cas", kEcho);
  Write("p/p.mak", "main.cas\r\nsub.cas\r\n");
  // sub.cas holds ECHO, not SUB: the link fails with the linker's message,
  // after both sources assembled (where the files would have been written).
  Built b = BuildSubmission((dir_ / "p").string());
  EXPECT_FALSE(b.ok);
  ASSERT_FALSE(b.messages.empty());
  EXPECT_NE(b.messages[0].find("SUB"), std::string::npos) << b.messages[0];
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_ / "p")) ++files;
  EXPECT_EQ(files, 3u);
}

TEST_F(JudgeTest, FolderMainProgram) {
  Write("two/a.cas", "A START\n RET\n END\n");
  Write("two/b.cas", "B START\n RET\n END\n");
  Built b = BuildSubmission((dir_ / "two").string());
  EXPECT_FALSE(b.ok);
  ASSERT_FALSE(b.messages.empty());
  EXPECT_NE(b.messages[0].find(".mak"), std::string::npos);
  // A project file names the main program.
  Write("two/p.mak", "b.cas\r\na.cas\r\n");
  EXPECT_TRUE(BuildSubmission((dir_ / "two").string()).ok);
  // A CALL of a label nobody defines is why there seem to be two main programs.
  Write("typo/main.cas", "MAIN START\n CALL ECHOO\n RET\n END\n");
  Write("typo/echo.cas", kEcho);
  b = BuildSubmission((dir_ / "typo").string());
  EXPECT_FALSE(b.ok);
  ASSERT_FALSE(b.messages.empty());
  EXPECT_NE(b.messages[0].find("ECHOO is called but no program defines it"), std::string::npos) << b.messages[0];
  // The one nobody calls is the main program, wherever it sorts.
  Write("called/a.cas", kEcho);
  Write("called/z.cas", "Z START\n CALL ECHO\n RET\n END\n");
  b = BuildSubmission((dir_ / "called").string());
  ASSERT_TRUE(b.ok);
  Case c;
  c.input = "hi\n";
  c.expected = "hi\n";
  CaseResult r = RunCase(b.module, c);
  EXPECT_EQ(r.verdict, Verdict::Pass);
}

// A submission folder is read only as far as its own regular files go: a link
// that leaves it, a FIFO and the like are refused by name, and nothing of the
// file behind them reaches the messages.
TEST_F(JudgeTest, ASubmissionReadsNothingOutsideItsFolder) {
  const std::string secret = "TOP SECRET EXPECTED OUTPUT";
  Write("cases/one.out", secret + "\n");
  Write("teacher/main.cas", kEcho);
  Write("inside/keep/echo.cas", kEcho);
  fs::create_symlink("keep/echo.cas", dir_ / "inside" / "main.cas");

  struct Row {
    const char* folder;
    const char* named;  // the file the message must name
    std::function<void(const fs::path&)> make;
  };
  const Row rows[] = {
      {"copied", "main.cas",
       [&](const fs::path& d) { fs::create_symlink(dir_ / "teacher" / "main.cas", d / "main.cas"); }},
      {"relative", "main.cas", [&](const fs::path& d) { fs::create_symlink("../teacher/main.cas", d / "main.cas"); }},
      {"makLink", "p.mak",
       [&](const fs::path& d) {
         Write((d.filename() / "main.cas").string(), kEcho);
         fs::create_symlink(dir_ / "cases" / "one.out", d / "p.mak");
       }},
      {"entryLink", "sub.cas",
       [&](const fs::path& d) {
         Write((d.filename() / "main.cas").string(), kEcho);
         Write((d.filename() / "p.mak").string(), "main.cas\r\nsub.cas\r\n");
         fs::create_symlink(dir_ / "cases" / "one.out", d / "sub.cas");
       }},
      {"fifo", "main.cas", [&](const fs::path& d) { ASSERT_EQ(mkfifo((d / "main.cas").c_str(), 0600), 0); }},
      {"nowhere", "main.cas", [&](const fs::path& d) { fs::create_symlink("missing.cas", d / "main.cas"); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.folder);
    const fs::path d = dir_ / row.folder;
    fs::create_directories(d);
    row.make(d);
    Built b = BuildSubmission(d.string());
    EXPECT_FALSE(b.ok);
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_NE(b.messages[0].find(row.named), std::string::npos) << b.messages[0];
    EXPECT_NE(b.messages[0].find("refused"), std::string::npos) << b.messages[0];
    EXPECT_EQ(b.messages[0].find("SECRET"), std::string::npos) << b.messages[0];
  }
  // A .mak named directly is held to its own folder as well.
  const Built mak = BuildSubmission((dir_ / "makLink" / "p.mak").string());
  EXPECT_FALSE(mak.ok);
  ASSERT_FALSE(mak.messages.empty());
  EXPECT_EQ(mak.messages[0].find("SECRET"), std::string::npos) << mak.messages[0];
  // A link that stays inside the folder is the student's own file, and a .cas
  // the teacher names directly may be a link anywhere.
  EXPECT_TRUE(BuildSubmission((dir_ / "inside").string()).ok);
  EXPECT_TRUE(BuildSubmission((dir_ / "copied" / "main.cas").string()).ok);
}

// A verdict that stops the program names the source line of PR and of the
// CALLs still running; a link error names the line of the reference.
TEST_F(JudgeTest, VerdictsNameTheSourceLine) {
  Write("p/main.cas", "MAIN START\n NOP\n CALL SUB\n RET\n END\n");
  Write("p/sub.cas", "SUB START\n NOP\nL JUMP L\n END\n");
  Write("p/p.mak", "main.cas\r\nsub.cas\r\n");
  Built b = BuildSubmission((dir_ / "p").string());
  ASSERT_TRUE(b.ok) << (b.messages.empty() ? "" : b.messages[0]);
  Case c;
  c.maxSteps = 1000;
  CaseResult r = RunCase(b.module, c, &b.lines);
  EXPECT_EQ(r.verdict, Verdict::StepLimit);
  EXPECT_NE(r.detail.find("PR="), std::string::npos) << r.detail;
  EXPECT_NE(r.detail.find("at sub.cas:3, called from main.cas:3"), std::string::npos) << r.detail;

  Write("u/main.cas", "MAIN START\n NOP\n NOP\n CALL SUBB\n RET\n END\n");
  Write("u/sub.cas", "SUB START\n RET\n END\n");
  Write("u/p.mak", "main.cas\r\nsub.cas\r\n");
  b = BuildSubmission((dir_ / "u").string());
  EXPECT_FALSE(b.ok);
  ASSERT_FALSE(b.messages.empty());
  EXPECT_EQ(b.messages[0].rfind("main.cas:4: ", 0), 0u) << b.messages[0];
  EXPECT_NE(b.messages[0].find("SUBB"), std::string::npos) << b.messages[0];
}

TEST_F(JudgeTest, ResultsInTheOrderGiven) {
  std::vector<std::string> subs;
  for (int i = 0; i < 6; ++i)
    subs.push_back(i % 2 ? Write("s" + std::to_string(i) + ".cas", kEcho) : (dir_ / "missing.cas").string());
  Case c;
  c.name = "one";
  c.input = "x\n";
  c.expected = "x\n";
  GradeOptions options;
  options.jobs = 3;
  std::vector<SubmissionResult> all = Grade(subs, {c}, options);
  ASSERT_EQ(all.size(), subs.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].name, subs[i]);
    EXPECT_EQ(all[i].index, i);
    EXPECT_EQ(all[i].passed, i % 2);
  }
  options.shardIndex = 2;
  options.shardCount = 4;
  std::vector<SubmissionResult> shard = Grade(subs, {c}, options);
  ASSERT_EQ(shard.size(), 2u);
  EXPECT_EQ(shard[0].index, 1u);
  EXPECT_EQ(shard[1].index, 5u);
}

}  // namespace
}  // namespace tolvane::grade
