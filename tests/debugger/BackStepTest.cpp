// Back Step: the journal of executed instructions and going back through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "DebuggerTestSupport.h"
#include "common/InstructionSet.h"
#include "machine/StepJournal.h"

namespace tolvane::debugger {
namespace {

using testing::DebuggerFixture;
using testing::EchoProgram;
using testing::ForeverProgram;
using testing::ProgramImage;

// A machine run from the load, for comparison: `steps` instructions as the
// journal counts them (an overflowing or undefined one is no step).
struct FreshRun {
  CCpu cpu;
  std::unique_ptr<Memory> memory = std::make_unique<Memory>();
  std::vector<std::string> outputs;
};

FreshRun RunFresh(const std::string& exe, std::size_t steps, const std::deque<std::string>& lines) {
  FreshRun r;
  testing::FakeUi ui;
  testing::FakeConsole console(ui);
  console.lines = lines;
  LoadedProgram loaded;
  EXPECT_TRUE(LoadProgram(exe, false, r.cpu, *r.memory, loaded, ui));
  StepJournal journal;
  MachineHooks hooks;
  hooks.journal = &journal;
  std::size_t done = 0;
  while (done < steps) {
    const std::size_t before = journal.Size();
    const ExecStatus s = r.cpu.Execute(*r.memory, console, &hooks);
    if (s == ExecStatus::ProgramEnd)
      r.cpu.Initialize(*r.memory, loaded.header.start, loaded.header.initialSp, loaded.header.stackLimit);
    if (journal.Size() == before) break;  // overflow or undefined word: stuck there
    ++done;
  }
  r.outputs = console.outputs;
  return r;
}

class BackStepTest : public DebuggerFixture {
 protected:
  std::string Exe(const ProgramImage& p, const std::string& name) {
    std::string exe = p.Write(name);
    ui.Clear();
    return exe;
  }
};

// Random programs with IN and OUT, run by trace or GO: N steps back is the
// state after the first count - N steps of a fresh run; going forward again
// takes the undone INs' lines without asking and arrives where it was.
TEST_F(BackStepTest, GoingBackEqualsAShorterFreshRun) {
  testing::RandomWords next(77);
  int withInput = 0, withOutput = 0, ended = 0;
  for (int round = 0; round < 40; ++round) {
    ProgramImage p = testing::RandomProgram(next, 10);
    std::deque<std::string> lines;
    for (int i = 0; i < 40; ++i) {
      std::string l;
      for (unsigned n = next() % 300, k = 0; k < n; ++k) l.push_back(static_cast<char>(0x20 + next() % 0xE0));
      lines.push_back(next() % 15 == 0 ? std::string("\x1A") : l);
    }
    const std::string exe = Exe(p, "backrandom" + std::to_string(round));
    ASSERT_TRUE(ec.StartDebugging(exe, options));
    console.lines = lines;
    console.outputs.clear();
    if (round % 2) {
      ui.turns = 0;
      ui.onTurn = [&] {
        if (ui.turns == 2) ec.Pause();
      };
      ASSERT_TRUE(ec.Go());
      ui.onTurn = nullptr;
    } else {
      for (int i = 0; i < 300 && ec.DebuggingActive(); ++i) ec.Trace();
    }
    ended += !ec.DebuggingActive();
    const std::size_t count = ec.BackStepsAvailable();
    ASSERT_GT(count, 0u) << "round " << round;
    const int reads = console.reads;
    withInput += reads > 0;
    withOutput += !console.outputs.empty();
    const auto registersBefore = ec.Cpu().Registers();
    const Memory memoryBefore = ec.Mem();
    const auto outputsBefore = console.outputs;

    const std::size_t back = 1 + next() % count;
    ASSERT_EQ(ec.BackStep(back), back);
    FreshRun fresh = RunFresh(exe, count - back, lines);
    EXPECT_EQ(fresh.cpu.Registers(), ec.Cpu().Registers()) << "round " << round << ": " << back << " of " << count;
    EXPECT_TRUE(*fresh.memory == ec.Mem()) << "round " << round << ": " << back << " of " << count;
    EXPECT_EQ(fresh.outputs, console.outputs) << "round " << round;
    EXPECT_TRUE(ec.DebuggingActive());

    // Forward again over the same instructions: the same end, without new reads.
    for (std::size_t i = 0; i < back && ec.DebuggingActive(); ++i) ec.Trace();
    EXPECT_EQ(console.reads, reads) << "round " << round;
    EXPECT_EQ(registersBefore, ec.Cpu().Registers()) << "round " << round;
    EXPECT_TRUE(memoryBefore == ec.Mem()) << "round " << round;
    EXPECT_EQ(outputsBefore, console.outputs) << "round " << round;
  }
  // The programs did what the test is about.
  EXPECT_GT(withInput, 5);
  EXPECT_GT(withOutput, 5);
  EXPECT_GT(ended, 0);
}

// The machine executes decoded instructions from a cache; going back over a
// store into code must make it execute the old instruction again.
TEST_F(BackStepTest, GoingBackOverAStoreIntoCodeRunsTheOldCodeAgain) {
  ProgramImage p;
  p.words = {
      0x1220, 0x0001,  // 0100 LAD GR2,1
      0x2432,          // 0102 ADDA GR3,GR2     (becomes NOP)
      0x1110, 0x0102,  // 0103 ST GR1,0102     (GR1 = 0: NOP)
      0x6400, 0x0102,  // 0105 JUMP 0102
  };
  ASSERT_TRUE(Start(p));
  for (int i = 0; i < 5; ++i) ec.Trace();  // LAD, ADDA, ST, JUMP, NOP
  EXPECT_EQ(PR(), 0x0103);
  EXPECT_EQ(ec.Cpu().GetRegister(3), 1);
  EXPECT_EQ(ec.Mem()[0x0102], 0x0000);
  EXPECT_EQ(ec.BackStep(4), 4u);  // NOP, JUMP, ST, ADDA
  EXPECT_EQ(PR(), 0x0102);
  EXPECT_EQ(ec.Cpu().GetRegister(3), 0);
  EXPECT_EQ(ec.Mem()[0x0102], 0x2432);
  ec.Trace();
  EXPECT_EQ(ec.Cpu().GetRegister(3), 1) << "the store's NOP was executed from a stale decode";
  EXPECT_EQ(PR(), 0x0103);
}

TEST_F(BackStepTest, OutputIsWithdrawnAndInputReplayed) {
  ASSERT_TRUE(Start(EchoProgram()));
  EXPECT_FALSE(ec.IsEnabled(Command::BackStep));
  EXPECT_EQ(ec.BackStep(), 0u);
  console.lines = {"HELLO"};
  for (int i = 0; i < 4; ++i) ec.Trace();  // LAD, LAD, IN, OUT
  EXPECT_TRUE(ec.IsEnabled(Command::BackStep));
  EXPECT_EQ(console.outputs, std::vector<std::string>{"HELLO"});
  EXPECT_EQ(console.reads, 1);

  ui.Clear();
  EXPECT_EQ(ec.BackStep(), 1u);  // the OUT
  EXPECT_TRUE(console.outputs.empty());
  EXPECT_TRUE(ui.Called("withdraw"));
  EXPECT_TRUE(ui.Told(Pane::ChangeMarks));
  EXPECT_TRUE(ui.Told(Pane::Registers));
  EXPECT_TRUE(ui.Told(Pane::Watches));
  // The stop says the OUT line no longer stands.
  ASSERT_FALSE(ui.stops.empty());
  EXPECT_EQ(ui.stops.back().reason, StopReason::Stepped);
  EXPECT_EQ(ui.stops.back().withdrawnOutputs, 1);
  EXPECT_EQ(PR(), 0x0106);

  EXPECT_EQ(ec.BackStep(), 1u);  // the IN: BUF and LEN as before
  EXPECT_EQ(PR(), 0x0104);
  EXPECT_EQ(ec.Mem()[0x0110], 0);
  EXPECT_EQ(ec.Mem()[0x0120], 0);

  ec.Trace();  // the same line, not asked for again
  EXPECT_EQ(console.reads, 1);
  EXPECT_EQ(ec.Mem()[0x0110], 'H');
  EXPECT_EQ(ec.Mem()[0x0120], 5);
  ec.Trace();
  EXPECT_EQ(console.outputs, std::vector<std::string>{"HELLO"});
}

// OUT "hello", IN BUF,LEN, OUT BUF,LEN, RET.
ProgramImage GreetProgram() {
  ProgramImage p;
  p.words = {0x1210, 0x010F, 0x1220, 0x0114, 0xF000, 0x0002,  // 0100 OUT MSG,MLEN
             0x1210, 0x0115, 0x1220, 0x011D, 0xF000, 0x0001,  // 0106 IN BUF,LEN
             0xF000, 0x0002, 0x8100,                          // 010C OUT BUF,LEN / RET
             'h',    'e',    'l',    'l',    'o',    5};      // 010F MSG, 0114 MLEN
  p.words.resize(0x1E, 0);                                    // 0115 BUF DS 8, 011D LEN DS 1
  for (Word a = 0x10F; a <= 0x11D; ++a) p.data.push_back(a);
  return p;
}

// Going back over an IN takes its line off the console too, and going forward
// shows it again where it was typed: back and forth, the console reads as a
// straight run. (An IN ended by End Program leaves an empty input line.)
TEST_F(BackStepTest, TheConsoleReadsAsAStraightRunAfterGoingBackAndForth) {
  const std::vector<std::string> straight = {"hello", "> abc", "abc"};
  ASSERT_TRUE(Start(GreetProgram()));
  console.lines = {"abc"};
  for (int i = 0; i < 7; ++i) ec.Trace();
  ASSERT_EQ(console.Screen(), straight);
  struct Case {
    std::size_t back;
    std::vector<std::string> shown;
  } cases[] = {{1, {"hello", "> abc"}}, {2, {"hello"}}, {7, {}}, {3, {"hello"}}};
  for (const Case& c : cases) {
    ASSERT_EQ(ec.BackStep(c.back), c.back);
    EXPECT_EQ(console.Screen(), c.shown) << "back " << c.back;
    for (std::size_t i = 0; i < c.back; ++i) ec.Trace();
    EXPECT_EQ(console.Screen(), straight) << "back " << c.back << " and forward";
  }
  EXPECT_EQ(console.reads, 1);

  ASSERT_TRUE(Start(GreetProgram(), "greet2"));
  for (int i = 0; i < 5; ++i) ec.Trace();
  console.onRead = [&] { ec.EndProgram(); };
  ec.Trace();
  console.onRead = nullptr;
  ASSERT_EQ(ec.BackStep(1), 1u);
  ec.Trace();
  // Going back undid the end as well: its lines went, the empty line stands.
  std::vector<std::string> shown = console.Screen();
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(shown.end() - 2, shown.end()), (std::vector<std::string>{"hello", "> "}));
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "> "), 1);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Program terminated abnormally"), 0);
}

TEST_F(BackStepTest, BackFromTheEndMakesTheProgramLiveAgainUntilTheNextStart) {
  const ProgramImage echo = EchoProgram();
  ASSERT_TRUE(Start(echo));
  console.lines = {"AB"};
  ASSERT_TRUE(ec.Go());
  ASSERT_FALSE(ec.DebuggingActive());
  EXPECT_EQ(PR(), 0x0100);  // restarted after the end
  EXPECT_TRUE(ec.IsEnabled(Command::BackStep));
  EXPECT_EQ(ec.BackStepsAvailable(), 5u);

  EXPECT_EQ(ec.BackStep(), 1u);  // the final RET, and the restart with it
  EXPECT_TRUE(ec.DebuggingActive());
  EXPECT_EQ(PR(), 0x0108);
  EXPECT_EQ(ec.Cpu().GetSP(), static_cast<Word>(echo.End() + echo.stack - 1));
  EXPECT_EQ(Enabling(),
            "End=1 Start=0 Go=1 Animate=1 Trace=1 Step=1 Pause=0 BreakPoint=1 Watch=1 JumpPopups=1 WatchPopup=1");
  EXPECT_TRUE(ec.IsEnabled(Command::BackStep));
  ASSERT_TRUE(ec.Go());
  EXPECT_FALSE(ec.DebuggingActive());
  EXPECT_EQ(console.outputs, std::vector<std::string>{"AB"});

  // The user's End Program keeps what can be undone too; a new start clears it.
  EXPECT_EQ(ec.BackStep(2), 2u);
  ec.EndProgram();
  EXPECT_TRUE(ec.IsEnabled(Command::BackStep));
  ASSERT_TRUE(Start(echo));
  EXPECT_EQ(ec.BackStepsAvailable(), 0u);
  EXPECT_FALSE(ec.IsEnabled(Command::BackStep));
}

// Going back over the end takes the end's lines off the console (how it
// ended, the register dump): going on to the end again, the console reads as
// one straight run, however the program ended the first time.
TEST_F(BackStepTest, GoingBackOverTheEndTakesItsLinesOff) {
  struct Case {
    const char* how;
    bool registers;
    std::function<void()> end;
  };
  const Case cases[] = {
      {"ret", true, [&] { ASSERT_TRUE(ec.Go()); }},
      {"ret_nodump", false, [&] { ASSERT_TRUE(ec.Go()); }},
      {"endprogram", true, [&] { ec.EndProgram(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    ec.SetShowRegistersAfterRun(c.registers);
    ASSERT_TRUE(Start(EchoProgram(), std::string("end_") + c.how));
    // The lines of this case's run.
    const std::size_t first = console.Screen().size();
    const auto shown = [&] {
      const std::vector<std::string> all = console.Screen();
      return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())),
                                      all.end());
    };
    console.lines = {"AB"};
    for (int i = 0; i < 4; ++i) ec.Trace();  // to the final RET
    const std::vector<std::string> beforeEnd = shown();
    ASSERT_EQ(beforeEnd, (std::vector<std::string>{"> AB", "AB"}));
    c.end();
    ASSERT_FALSE(ec.DebuggingActive());
    ASSERT_GT(shown().size(), beforeEnd.size());
    const bool byRet = ec.LastStop() == StopReason::ProgramEnd;
    // Back over the RET (or over the step before End Program).
    ASSERT_EQ(ec.BackStep(1), 1u);
    EXPECT_TRUE(ec.DebuggingActive());
    std::vector<std::string> expected = beforeEnd;
    if (!byRet) expected.pop_back();  // the OUT went with the step
    EXPECT_EQ(shown(), expected);
    ASSERT_TRUE(ec.Go());
    std::vector<std::string> straight = {"> AB", "AB", "Program terminated normally"};
    if (c.registers) straight.push_back(console.Screen().back());
    EXPECT_EQ(shown(), straight);
  }
}

// Going back is going back in time: to a step after an edit of a register or
// a word the edit stands, to a step before it the edit is undone too.
TEST_F(BackStepTest, AnEditStandsAfterItAndIsUndoneBeforeIt) {
  ASSERT_TRUE(Start(EchoProgram()));
  ec.Trace();  // LAD GR1,BUF
  ASSERT_TRUE(ec.SetRegister(Register::GR5, 0x1234) == Refusal::None);
  ASSERT_TRUE(ec.SetMemory(0x011F, 0xABCD) == Refusal::None);
  ec.Trace();  // LAD GR2,LEN
  ASSERT_EQ(PR(), 0x0104);
  ASSERT_EQ(ec.BackStep(1), 1u);
  EXPECT_EQ(PR(), 0x0102);
  EXPECT_EQ(ec.Cpu().GetRegister(5), 0x1234);
  EXPECT_EQ(ec.Mem()[0x011F], 0xABCD);
  ASSERT_EQ(ec.BackStep(1), 1u);
  EXPECT_EQ(PR(), 0x0100);
  EXPECT_EQ(ec.Cpu().GetRegister(5), 0);
  EXPECT_EQ(ec.Mem()[0x011F], 0);
  // Forward again runs without the edits, as the program did before them.
  ec.Trace();
  ec.Trace();
  EXPECT_EQ(PR(), 0x0104);
  EXPECT_EQ(ec.Cpu().GetRegister(5), 0);
}

TEST_F(BackStepTest, GoesBackAHundredThousandInstructionsOfAGo) {
  const ProgramImage forever = ForeverProgram();
  ASSERT_TRUE(Start(forever));
  ui.onTurn = [&] {
    if (ec.InstructionCount() > 120000) ec.Pause();
  };
  ASSERT_TRUE(ec.Go());
  const std::size_t count = ec.BackStepsAvailable();
  ASSERT_EQ(count, ec.InstructionCount());
  ASSERT_EQ(ec.BackStep(100000), 100000u);
  EXPECT_EQ(ec.InstructionCount(), count - 100000);
  FreshRun fresh = RunFresh(Exe(forever, "forever"), count - 100000, {});
  EXPECT_EQ(fresh.cpu.Registers(), ec.Cpu().Registers());
}

TEST_F(BackStepTest, NothingGoesBackWhileARunOrAnInputIsInProgress) {
  ASSERT_TRUE(Start(EchoProgram()));
  ec.Trace();
  bool refusedInGo = false, refusedAtInput = false;
  ui.onTurn = [&] { refusedInGo = ec.BackStep() == 0 && !ec.IsEnabled(Command::BackStep); };
  console.onRead = [&] { refusedAtInput = ec.BackStep() == 0; };
  console.lines = {"X"};
  ASSERT_TRUE(ec.Go());
  EXPECT_TRUE(refusedInGo);
  EXPECT_TRUE(refusedAtInput);
}

// The journal's own limits: the oldest steps go first, in the ring and in the
// store of what INs overwrote.
TEST(StepJournalTest, DropsTheOldestStepsBeyondItsBudget) {
  ProgramImage forever = ForeverProgram();
  testing::FakeUi ui;
  testing::FakeConsole console(ui);
  CCpu cpu;
  auto memory = std::make_unique<Memory>();
  LoadedProgram loaded;
  ASSERT_TRUE(LoadProgram(forever.Write("ring"), false, cpu, *memory, loaded, ui));
  StepJournal journal(8, StepJournal::kInputBudget, 1);
  MachineHooks hooks;
  hooks.journal = &journal;
  for (int i = 0; i < 20; ++i) cpu.Execute(*memory, console, &hooks);
  EXPECT_EQ(journal.Size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(journal.StepBack(cpu, *memory, 1).steps, 1u);
  EXPECT_EQ(journal.StepBack(cpu, *memory, 1).steps, 0u);
  EXPECT_EQ(cpu.GetRegister(1), 6);  // 12 steps remain done: six ADDs

  // INs of 100 characters each: a budget for about two of their lines.
  ProgramImage echo = EchoProgram();
  echo.words[0x8] = 0x6400;  // RET -> JUMP MAIN
  echo.words.insert(echo.words.begin() + 9, 0x0100);
  ASSERT_TRUE(LoadProgram(echo.Write("inputs"), false, cpu, *memory, loaded, ui));
  const std::size_t budget = 2 * (100 + 64);
  StepJournal small(64, budget, 1);
  hooks.journal = &small;
  for (int i = 0; i < 5; ++i) console.lines.push_back(std::string(100, 'a' + i));
  for (int i = 0; i < 25; ++i) cpu.Execute(*memory, console, &hooks);  // five rounds: LAD LAD IN OUT JUMP
  EXPECT_LE(small.InputBytes(), budget);
  std::size_t inputsUndone = 0;
  for (StepJournal::Undone u; (u = small.StepBack(cpu, *memory, 1)).steps;) inputsUndone += u.lines.size();
  EXPECT_GE(inputsUndone, 1u);
  EXPECT_LT(inputsUndone, 5u);
  // Where it stopped, the IN's words are those of an IN that was kept.
  EXPECT_EQ(cpu.GetPR(), 0x0106);  // just after the oldest IN that can still be undone
}

}  // namespace
}  // namespace tolvane::debugger
