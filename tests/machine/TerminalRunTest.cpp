// The plain run as the command-line tool makes it, and the one decision its
// port makes differently from the IDE's: what happens at an undefined word.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "MachineTestSupport.h"
#include "common/Cp932.h"
#include "debugger/ExecutionControl.h"
#include "debugger/TerminalRun.h"
#include "link/LoadModule.h"

namespace tolvane::test {
namespace {

// The plain run on stdio: standard output carries only the program's lines; the
// termination lines and the dump follow on standard error in the run's order.
class PlainRun : public testing::Test {
 protected:
  struct Result {
    int status;
    std::string out, err;
    std::size_t boxes;
  };
  static std::string Contents(std::FILE* f) {
    std::rewind(f);
    std::string s;
    for (int c; (c = std::getc(f)) != EOF;) s.push_back(static_cast<char>(c));
    std::fclose(f);
    return s;
  }
  Result Run(const LoadModule& module, bool registers, std::uint64_t maxSteps = 0) {
    const std::string exe = testing::TempDir() + "tolvane_plainrun_" + std::to_string(::getpid()) + "_" +
                            testing::UnitTest::GetInstance()->current_test_info()->name() + ".exe";
    class NullSink : public MessageSink {
     public:
      void AppendMessageLine(const std::string&) override {}
    } sink;
    EXPECT_TRUE(WriteLoadModule(exe, module, sink));
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    RecordingBoxes boxes;
    StdioRunOptions options;
    options.registers = registers;
    options.maxSteps = maxSteps;
    Result r;
    r.status = RunOnStdio(exe, options, in, out, err, boxes);
    r.boxes = boxes.boxes.size();
    std::fclose(in);
    r.out = Contents(out);
    r.err = Contents(err);
    std::remove(exe.c_str());
    return r;
  }
};

TEST_F(PlainRun, NormalEndWritesTheTerminationLineThenTheDumpOfTheRestartedProgram) {
  LoadModule m;
  m.origin = 0x0100;
  m.start = 0x0100;
  m.image = {Op(0x12, 1), 0x0108, Op(0x12, 2), 0x010A, Op(0xF0), 0x0002, Op(0x81), 0, 'H', 'I', 2};
  m.stackLimit = 0x010B;
  m.initialSp = 0x011B;
  const Result r = Run(m, true);
  EXPECT_EQ(r.status, kRunNormalEnd);
  EXPECT_EQ(r.out, "HI\n");
  EXPECT_EQ(r.err,
            "Program terminated normally\n"
            "GR0=0000 GR1=0108 GR2=010A GR3=0000 GR4=0000 GR5=0000 GR6=0000 GR7=0000\n"
            ">PR=0100 SP=011A FR=(OF=0 SF=0 ZF=0) plus\n");
}

TEST_F(PlainRun, StackOverflowIsReportedThenTheProgramEndsAbnormally) {
  LoadModule m;
  m.origin = 0x0100;
  m.start = 0x0100;
  m.image = {Op(0x70), 0x0000, Op(0x64), 0x0100};  // PUSH 0 / JUMP back
  m.stackLimit = 0x0104;
  m.initialSp = 0x0106;  // room for the end address and one push
  Result r = Run(m, true);
  EXPECT_EQ(r.status, kRunAbnormalEnd);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, Cp932ToUtf8(debugger::StackOverflowMessage()) +
                       "\nProgram terminated abnormally\n"
                       "GR0=0000 GR1=0000 GR2=0000 GR3=0000 GR4=0000 GR5=0000 GR6=0000 GR7=0000\n"
                       ">PR=0100 SP=0104 FR=(OF=0 SF=0 ZF=0) plus\n");
  r = Run(m, false);
  EXPECT_EQ(r.err, Cp932ToUtf8(debugger::StackOverflowMessage()) + "\nProgram terminated abnormally\n");
}

// The endings a terminal reports, each with its exit status and its lines on
// standard error (the program's own output stays alone on standard output).
TEST_F(PlainRun, EveryEndingHasItsStatusAndItsLines) {
  const std::string dump =
      "GR0=0000 GR1=0005 GR2=0000 GR3=0000 GR4=0000 GR5=0000 GR6=0000 GR7=0000\n"
      ">PR=0102 SP=010F FR=(OF=0 SF=0 ZF=0) plus\n";
  struct Case {
    const char* name;
    std::vector<Word> image;
    std::uint64_t maxSteps;
    int status;
    std::string err;
  } cases[] = {
      {"undefined word: reported, not waited for",
       {Op(0x12, 1), 5, 0xFF00},
       0,
       kRunAbnormalEnd,
       "Undefined instruction FF00 at PR=0102: the program cannot go on\nProgram terminated abnormally\n"},
      {"step limit: reported with the registers, asked for or not",
       {Op(0x12, 1), 5, Op(0x64), 0x0102},
       4,
       kRunStepLimit,
       "Stopped after 4 instructions (step limit)\nProgram terminated abnormally\n" + dump},
      {"a step limit the program does not reach",
       {Op(0x12, 1), 5, Op(0x81)},
       3,
       kRunNormalEnd,
       "Program terminated normally\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadModule m;
    m.origin = 0x0100;
    m.start = 0x0100;
    m.image = c.image;
    m.stackLimit = 0x0104;
    m.initialSp = 0x0110;
    const Result r = Run(m, false, c.maxSteps);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(PlainRunLoad, AFailedLoadRunsNothing) {
  RecordingBoxes boxes;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(RunOnStdio(testing::TempDir() + "tolvane_no_such_module.exe", {}, stdin, out, err, boxes), kRunLoadFailed);
  ASSERT_EQ(boxes.boxes.size(), 1u);  // the loader's message
  EXPECT_EQ(boxes.boxes[0].first, BoxKind::Error);
  EXPECT_EQ(std::ftell(out), 0);
  EXPECT_EQ(std::ftell(err), 0);
  std::fclose(out);
  std::fclose(err);
}

// A port with a window system (the IDE's) could wait for the user at an
// undefined word; the run ends there all the same, as the terminal's does.
TEST(PlainRunPorts, EveryPortEndsARunAtAnUndefinedWord) {
  class WindowedUi : public debugger::DebuggerUiPort {
   public:
    debugger::ExecutionControl* control = nullptr;
    int waits = 0;
    BoxAnswer ShowMessageBox(BoxKind, const std::string&, BoxButtons) override { return BoxAnswer::Ok; }
    void WaitMilliseconds(int) override {
      if (++waits == 3) control->EndProgram();
    }
  } ui;
  ScriptConsole console;
  auto control = std::make_unique<debugger::ExecutionControl>(ui, console);
  ui.control = control.get();
  control->SetShowRegistersAfterRun(false);

  LoadModule m;
  m.origin = 0x0100;
  m.start = 0x0100;
  m.image = {0xFF00};
  m.stackLimit = 0x0101;
  m.initialSp = 0x0110;
  const std::string exe = testing::TempDir() + "tolvane_plainrun_" + std::to_string(::getpid()) + "_undefined.exe";
  class NullSink : public MessageSink {
   public:
    void AppendMessageLine(const std::string&) override {}
  } sink;
  ASSERT_TRUE(WriteLoadModule(exe, m, sink));
  BuildOptions options;
  options.symbolicDebug = 0;
  EXPECT_EQ(control->PlainRun(exe, options), StopReason::UndefinedWord);
  EXPECT_EQ(ui.waits, 0);
  EXPECT_EQ(console.output, (std::vector<Bytes>{"Undefined instruction FF00 at PR=0100: the program cannot go on",
                                                "Program terminated abnormally"}));
  EXPECT_FALSE(control->IsExecuting());
  EXPECT_EQ(control->View().phase, debugger::Phase::Ended);
  EXPECT_EQ(RunExitStatus(control->LastStop()), kRunAbnormalEnd);
  std::remove(exe.c_str());
}

}  // namespace
}  // namespace tolvane::test
