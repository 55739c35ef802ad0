// Execution control through a recording UI: start, GO, animate, trace, step,
// pause, end, the debugging guard, the plain run and the enabling table.
#include <gtest/gtest.h>

#include <functional>

#include "DebuggerTestSupport.h"
#include "common/Cp932.h"
#include "common/TextRules.h"
#include "debugger/Formats.h"
#include "machine/Loader.h"
#include "machine/RegisterDump.h"

namespace tolvane::debugger {
namespace {

using testing::DebuggerFixture;
using testing::EchoProgram;
using testing::ForeverProgram;
using testing::ProgramImage;

// MAIN: sums 3+2+1 into RES, then calls SUB, which calls SUB2.
ProgramImage SumProgram() {
  ProgramImage p;
  p.words = {
      0x1210, 0x0000,  // 0100 MAIN LAD GR1,0
      0x1220, 0x0003,  // 0102      LAD GR2,3
      0x2412,          // 0104 LOOP ADDA GR1,GR2
      0x2120, 0x0116,  // 0105      SUBA GR2,ONE
      0x6200, 0x0104,  // 0107      JNZ LOOP
      0x1110, 0x0117,  // 0109      ST GR1,RES
      0x8000, 0x010E,  // 010B      CALL SUB
      0x8100,          // 010D      RET
      0x8000, 0x0113,  // 010E SUB  CALL SUB2
      0x1230, 0x0007,  // 0110      LAD GR3,7
      0x8100,          // 0112      RET
      0x1240, 0x0009,  // 0113 SUB2 LAD GR4,9
      0x8100,          // 0115      RET
      0x0001,          // 0116 ONE  DC 1
      0x0000,          // 0117 RES  DS 1
  };
  p.symbols = {{"MAIN", 0x100}, {"LOOP", 0x104}, {"SUB", 0x10E}, {"SUB2", 0x113},
               {"ONE", 0x116},  {"RES", 0x117},  {"=1", 0x116}};
  p.data = {0x116, 0x117};
  return p;  // StackLimit 0118H, initial SP 0128H
}

// CALL FOREVER, a routine that never returns.
ProgramImage NeverReturnsProgram() {
  ProgramImage p;
  p.words = {0x8000, 0x0103, 0x8100, 0x2010, 0x0107, 0x6400, 0x0103, 0x0001};
  p.data = {0x107};
  return p;
}

// PUSH with no room: the stack holds only the end-of-program address.
ProgramImage OverflowProgram() {
  ProgramImage p;
  p.words = {0x7000, 0x0005, 0x8100};
  p.stack = 1;
  return p;
}

// Stores RET over the NOP at 0105H.
ProgramImage SelfModifyingProgram() {
  ProgramImage p;
  p.words = {0x1210, 0x8100, 0x1110, 0x0105, 0x0000, 0x0000, 0x1110, 0x0108, 0x0000};
  p.data = {0x108};
  return p;
}

const char* const kStopped =
    "End=1 Start=0 Go=1 Animate=1 Trace=1 Step=1 Pause=0 BreakPoint=1 Watch=1 JumpPopups=1 WatchPopup=1";
const char* const kEndedNormally =
    "End=0 Start=1 Go=0 Animate=0 Trace=0 Step=0 Pause=0 BreakPoint=1 Watch=1 JumpPopups=0 WatchPopup=1";
const char* const kEndedByUser =
    "End=0 Start=1 Go=0 Animate=0 Trace=0 Step=0 Pause=0 BreakPoint=0 Watch=0 JumpPopups=0 WatchPopup=0";

class ExecutionControlTest : public DebuggerFixture {};

TEST_F(ExecutionControlTest, StartShowsTheProgramStoppedAtItsStart) {
  ASSERT_TRUE(Start(SumProgram()));
  EXPECT_EQ(Enabling(), kStopped);
  EXPECT_EQ(ec.StatusText(), StatusKeysText());
  EXPECT_TRUE(ec.DebuggingActive());
  EXPECT_EQ(PR(), 0x100);
  EXPECT_EQ(ec.Cpu().GetSP(), 0x127);
  int row = ec.FindRowOfAddress(0x100);
  // The panes in the documented order.
  std::vector<std::string> want = {"show",
                                   "panes breakpoints",
                                   "pointer 1",
                                   "panes disassembly rebuilt top start " + std::to_string(row),
                                   "pointer 0",
                                   "panes memory start cell 256",
                                   "panes registers",
                                   "panes watches"};
  ASSERT_GE(ui.calls.size(), want.size());
  EXPECT_EQ(std::vector<std::string>(ui.calls.begin(), ui.calls.begin() + static_cast<long>(want.size())), want);
  // Watches: every label in symbol file order, no literal, values filled.
  std::string labels;
  for (const Watch& w : ec.Watches().Rows()) labels += w.label + "=" + w.LogicalText() + " ";
  EXPECT_EQ(labels, "MAIN=4624 LOOP=9234 SUB=32768 SUB2=4672 ONE=1 RES=0 ");
  EXPECT_EQ(std::string(ec.Disassembly().Row(row).text), "0100  1210 0000  MAIN     LAD     GR1,#0000");
}

TEST_F(ExecutionControlTest, GoRunsToTheEndAndReinitialises) {
  ASSERT_TRUE(Start(SumProgram()));
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(console.written,
            (std::vector<std::string>{"Program terminated normally",
                                      "GR0=0000 GR1=0006 GR2=0000 GR3=0007 GR4=0009 GR5=0000 GR6=0000 GR7=0000\r\n"
                                      ">PR=0100 SP=0127 FR=(OF=0 SF=0 ZF=1) zero"}));
  EXPECT_EQ(ui.boxes, std::vector<std::string>{"Information:" + Cp932Text(u8"プログラムは終了しました。")});
  EXPECT_EQ(PR(), 0x100);
  EXPECT_EQ(ec.Cpu().GetSP(), 0x127);
  EXPECT_EQ(ec.Mem()[0x127], 0xF000);
  EXPECT_EQ(ec.Mem()[0x117], 6);  // memory stays as the program left it
  EXPECT_EQ(Enabling(), kEndedNormally);
  EXPECT_EQ(ec.StatusText(), "");
  EXPECT_FALSE(ec.DebuggingActive());
  EXPECT_FALSE(ec.IsGoRunning());
  // Nothing more runs after the end.
  EXPECT_FALSE(ec.Go());
  ec.Trace();
  EXPECT_EQ(PR(), 0x100);

  // Without the register dump option only the termination line is written.
  console.written.clear();
  ec.SetShowRegistersAfterRun(false);
  ASSERT_TRUE(Start(SumProgram()));
  EXPECT_EQ(ec.Mem()[0x117], 0);  // reloaded
  ec.Go();
  EXPECT_EQ(console.written, std::vector<std::string>{"Program terminated normally"});
}

TEST_F(ExecutionControlTest, GoStopsAtBreakpointsButNotTheOneItStartsOn) {
  ASSERT_TRUE(Start(SumProgram()));
  ASSERT_TRUE(ec.AddBreakpoint(ec.Symbols().AddressOfLabel("MAIN"), "MAIN") == Refusal::None);
  ASSERT_TRUE(ec.AddBreakpoint(ec.Symbols().AddressOfLabel("LOOP"), "LOOP") == Refusal::None);
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(PR(), 0x104);
  EXPECT_EQ(ec.Cpu().GetRegister(1), 0);
  EXPECT_EQ(Enabling(), kStopped);
  EXPECT_EQ(ec.StatusText(), StatusKeysText());
  EXPECT_TRUE(ui.Focused(Focus::Kind::Next, ec.FindRowOfAddress(0x104)));
  EXPECT_EQ(ui.calls.back(), "stopped Breakpoint");

  ASSERT_TRUE(ec.Go());  // starts on LOOP's breakpoint, runs one round
  EXPECT_EQ(PR(), 0x104);
  EXPECT_EQ(ec.Cpu().GetRegister(1), 3);

  // A disabled breakpoint never stops; one added during a turn does.
  ec.SwitchBreakpoint(ec.Breakpoints().FindEnabledBreakpoint(0x104));
  ui.onTurn = [&] { ec.AddBreakpoint(0x10b); };
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(PR(), 0x10B);
  EXPECT_EQ(ec.Mem()[0x117], 6);
  ui.onTurn = nullptr;
  // The store into RES patched its row only.
  EXPECT_EQ(std::string(ec.Disassembly().Row(ec.FindRowOfAddress(0x117)).text), "0117  0006       RES      ****    ");
  EXPECT_FALSE(ui.RebuiltKeepingView());
  EXPECT_TRUE(ui.Told(Pane::Disassembly));
  EXPECT_TRUE(ui.Told(Pane::Memory));
}

TEST_F(ExecutionControlTest, StepRunsNestedCallsTraceEntersThem) {
  ASSERT_TRUE(Start(SumProgram()));
  ec.AddBreakpoint(0x10B);
  ec.Go();
  ASSERT_EQ(PR(), 0x10B);
  ui.Clear();
  ui.turns = 0;
  ec.Step();
  EXPECT_EQ(PR(), 0x10D);
  EXPECT_EQ(ec.Cpu().GetRegister(3), 7);
  EXPECT_EQ(ec.Cpu().GetRegister(4), 9);
  EXPECT_EQ(ec.Cpu().GetSP(), 0x127);
  EXPECT_EQ(ui.calls.front(), "show");
  EXPECT_EQ(ui.calls[1], "state Stepping");
  EXPECT_EQ(ui.calls[2], "status " + StatusStepText());
  ASSERT_GE(ui.calls.size(), 2u);
  EXPECT_EQ(ui.calls[ui.calls.size() - 2], "status " + StatusKeysText());
  EXPECT_EQ(ui.calls.back(), "stopped Stepped");
  EXPECT_EQ(ui.turns, 0);  // a short routine needs no turn
  EXPECT_EQ(Enabling(), kStopped);

  // Again from the CALL with trace: it stops at the routine's first instruction.
  ASSERT_TRUE(Start(SumProgram()));
  ec.Go();
  ASSERT_EQ(PR(), 0x10B);
  ec.Trace();
  EXPECT_EQ(PR(), 0x10E);
  EXPECT_EQ(ec.StatusText(), StatusKeysText());
  // Step over the nested CALL SUB2, then single instructions.
  ec.Step();
  EXPECT_EQ(PR(), 0x110);
  EXPECT_EQ(ec.Cpu().GetRegister(4), 9);
  ec.Step();
  EXPECT_EQ(PR(), 0x112);
  ec.Step();  // RET of SUB
  EXPECT_EQ(PR(), 0x10D);
  // Stepping through the final RET ends the program.
  ui.boxes.clear();
  ec.Step();
  EXPECT_EQ(PR(), 0x100);
  EXPECT_EQ(Enabling(), kEndedNormally);
  EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(ExecutionControlTest, RunLoopGivesTurnsAndPauses) {
  ASSERT_TRUE(Start(ForeverProgram()));
  std::vector<Word> counts;
  ui.onTurn = [&] {
    counts.push_back(ec.Cpu().GetRegister(1));
    EXPECT_EQ(ec.StatusText(), StatusGoText());
    EXPECT_EQ(Enabling(),
              "End=1 Start=0 Go=0 Animate=0 Trace=0 Step=0 Pause=1 BreakPoint=1 Watch=1 JumpPopups=1 WatchPopup=1");
    if (counts.size() == 6) {
      EXPECT_TRUE(ec.Pause());
    }
  };
  ASSERT_TRUE(ec.Go());
  ASSERT_EQ(counts.size(), 6u);
  EXPECT_EQ(counts[0], 0);  // a turn before the first instruction
  for (std::size_t i = 1; i < counts.size(); ++i) {
    int step = counts[i] - counts[i - 1];
    EXPECT_GT(step, 0);
    EXPECT_LE(step, 2048);  // two instructions a round, a turn every 4096 at most
  }
  // The pause took effect before another instruction ran.
  EXPECT_EQ(ec.Cpu().GetRegister(1), counts.back());
  EXPECT_EQ(Enabling(), kStopped);
  EXPECT_EQ(ec.StatusText(), StatusKeysText());
  EXPECT_FALSE(ec.PauseRequested());
  // Pause with nothing running is refused (and does not linger for the next run).
  EXPECT_FALSE(ec.Pause());
}

TEST_F(ExecutionControlTest, EndProgramDuringGo) {
  ASSERT_TRUE(Start(ForeverProgram()));
  ui.onTurn = [&] {
    if (ui.turns == 3) ec.EndProgram();
  };
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(ui.turns, 3);
  EXPECT_EQ(Enabling(), kEndedByUser);
  EXPECT_EQ(ec.StatusText(), "");
  EXPECT_EQ(console.written.front(), "Program terminated abnormally");
  EXPECT_TRUE(ec.EndRequested());
  EXPECT_FALSE(ec.DebuggingActive());
}

TEST_F(ExecutionControlTest, InputDuringGoRefreshesFirstAndCannotBePaused) {
  ASSERT_TRUE(Start(EchoProgram()));
  console.lines = {"ABC"};
  ui.Clear();
  console.onRead = [&] {
    EXPECT_FALSE(ec.Pause());
    Word pr = PR();
    ec.Trace();  // ignored while the IN waits
    ec.Step();
    EXPECT_EQ(PR(), pr);
  };
  ASSERT_TRUE(ec.Go());
  // The panes were shown before the program waited for input.
  auto read = std::find(ui.calls.begin(), ui.calls.end(), "read");
  ASSERT_NE(read, ui.calls.end());
  EXPECT_NE(
      std::find_if(ui.calls.begin(), read, [](const std::string& c) { return c.rfind("panes registers", 0) == 0; }),
      read);
  EXPECT_EQ(console.written.front(), "ABC");
  EXPECT_EQ(ec.Mem()[0x120], 3);
  EXPECT_EQ(std::string(ec.Disassembly().Row(ec.FindRowOfAddress(0x110)).text), "0110  0041       BUF      ****    ");
  EXPECT_EQ(Enabling(), kEndedNormally);
}

// IN BUF,LEN with a four-word buffer, then CALL UPPER, the routine right
// after LEN.
ProgramImage ShortBufferProgram() {
  ProgramImage p;
  p.words = {0x1210, 0x0109, 0x1220, 0x010D, 0xF000, 0x0001, 0x8000, 0x010E, 0x8100,  // MAIN
             0x0000, 0x0000, 0x0000, 0x0000,                                          // 0109 BUF DS 4
             0x0000,                                                                  // 010D LEN DS 1
             0x1001, 0x0000, 0x8100};                                                 // 010E UPPER LD GR0,0,GR1 / RET
  p.symbols = {{"MAIN", 0x100}, {"BUF", 0x109}, {"LEN", 0x10D}, {"UPPER", 0x10E}};
  p.data = {0x109, 0x10A, 0x10B, 0x10C, 0x10D};
  return p;
}

// An IN rewrites the rows of the words it stored and no others: the routine
// after the buffer keeps its rows, its breakpoint and its place as the stop row.
TEST_F(ExecutionControlTest, InputRefreshesOnlyTheWordsItStored) {
  const std::string upper = "010E  1001 0000  UPPER    LD      GR0,#0000,GR1";
  struct Case {
    const char* line;
    const char* buf;  // the first buffer row afterwards
    const char* len;
  } cases[] = {{"ab", "0109  0061       BUF      ****    ", "010D  0002       LEN      ****    "},
               {"\x1A", "0109  0000       BUF      ****    ", "010D  FFFF       LEN      ****    "}};
  int round = 0;
  for (const Case& c : cases) {
    ASSERT_TRUE(Start(ShortBufferProgram(), "short" + std::to_string(round++)));
    ASSERT_TRUE(ec.AddBreakpoint(ec.Symbols().AddressOfLabel("UPPER"), "UPPER") == Refusal::None);
    const int rows = ec.Disassembly().RowCount();
    console.lines = {c.line};
    ASSERT_TRUE(ec.Go());
    ASSERT_EQ(PR(), 0x10E) << c.line;
    const int row = ec.FindRowOfAddress(0x10E);
    ASSERT_GE(row, 0);
    EXPECT_EQ(ec.Disassembly().Row(row).address, 0x10E);
    EXPECT_EQ(std::string(ec.Disassembly().Row(row).text), upper);
    EXPECT_EQ(std::string(ec.Disassembly().Row(row + 1).text), "0110  8100                RET     ");
    EXPECT_EQ(ec.Breakpoints().FindEnabledBreakpoint(ec.Disassembly().Row(row).address), 0);
    EXPECT_EQ(std::string(ec.Disassembly().Row(ec.FindRowOfAddress(0x109)).text), c.buf);
    EXPECT_EQ(std::string(ec.Disassembly().Row(ec.FindRowOfAddress(0x10D)).text), c.len);
    EXPECT_EQ(ec.Disassembly().RowCount(), rows);
    ec.EndProgram();
  }
}

TEST_F(ExecutionControlTest, EndWhileInputPending) {
  ASSERT_TRUE(Start(EchoProgram()));
  console.onRead = [&] { ec.EndProgram(); };
  ASSERT_TRUE(ec.Go());
  EXPECT_TRUE(ui.cancelled);
  EXPECT_EQ(ec.Mem()[0x120], 0);  // the IN completed with an empty line
  ASSERT_GE(console.written.size(), 1u);
  EXPECT_EQ(console.written[0], "Program terminated abnormally");
  EXPECT_EQ(console.written.size(), 2u);  // and the register dump; no OUT ran
  EXPECT_EQ(PR(), 0x106);
  EXPECT_EQ(Enabling(), kEndedByUser);

  // The same under trace: the status stays empty, nothing runs on.
  ASSERT_TRUE(Start(EchoProgram()));
  ec.Trace();
  ec.Trace();
  console.written.clear();
  ec.Trace();
  EXPECT_EQ(ec.StatusText(), "");
  EXPECT_EQ(Enabling(), kEndedByUser);
  EXPECT_EQ(console.written[0], "Program terminated abnormally");
}

// End Program while an IN waits (under trace or GO) or while a stepped routine
// runs: the IN completes with its empty line, the program stops there, and the
// register dump, the register pane and the memory pane show that one state.
TEST_F(ExecutionControlTest, EndedDuringInputOrALongStepTheDumpAndThePanesAgree) {
  auto shownDump = [&] {
    std::array<Word, 8> gr;
    for (int i = 0; i < 8; ++i) gr[static_cast<std::size_t>(i)] = ec.Panes().ShownRegister(CCpu::kGR0 + i);
    return RegisterDumpText(gr, ec.Panes().ShownRegister(CCpu::kPR), ec.Panes().ShownRegister(CCpu::kSP),
                            ec.Panes().ShownRegister(CCpu::kFR));
  };
  struct Case {
    const char* how;
    ProgramImage program;
    std::function<void()> run;
  } cases[] = {
      {"trace", EchoProgram(),
       [&] {
         console.onRead = [&] { ec.EndProgram(); };
         for (int i = 0; i < 3; ++i) ec.Trace();
       }},
      {"go", EchoProgram(),
       [&] {
         console.onRead = [&] { ec.EndProgram(); };
         ec.Go();
       }},
      {"step", NeverReturnsProgram(),
       [&] {
         ui.onTurn = [&] {
           if (ui.turns == 2) ec.EndProgram();
         };
         ec.Step();
       }},
  };
  int round = 0;
  for (Case& c : cases) {
    ASSERT_TRUE(Start(c.program, "agree" + std::to_string(round++)));
    console.written.clear();
    ui.turns = 0;
    c.run();
    console.onRead = nullptr;
    ui.onTurn = nullptr;
    EXPECT_EQ(Enabling(), kEndedByUser) << c.how;
    ASSERT_EQ(console.written.size(), 2u) << c.how;
    EXPECT_EQ(console.written[0], "Program terminated abnormally") << c.how;
    EXPECT_EQ(console.written[1], shownDump()) << c.how;
    EXPECT_EQ(ec.Panes().ShownRegister(CCpu::kPR), PR()) << c.how;
    EXPECT_EQ(ec.Panes().ShownRegister(CCpu::kSP), ec.Cpu().GetSP()) << c.how;
    for (Word a : {Word{0x110}, Word{0x120}, ec.Cpu().GetSP()})
      EXPECT_EQ(ec.Panes().ShownWord(a), ec.Mem()[a]) << c.how << " at " << Hex4(a);
  }
}

// An undefined word: trace and step stay where they are; GO and animate stop
// there instead of trying it for ever. Each says why on the console (once per
// command) and in the status line, and the program stays live.
TEST_F(ExecutionControlTest, AnUndefinedWordSaysWhyTheProgramCannotGoOn) {
  ProgramImage p;
  p.words = {0x1210, 0x0001, 0xFF00, 0x8100};  // LAD GR1,1 / an undefined word / RET
  const std::string message = "Undefined instruction FF00 at PR=0102: the program cannot go on";
  const std::string note = UndefinedWordStatusText(0xFF00, 0x0102);
  EXPECT_EQ(note, Cp932Text(u8"   0102番地の命令(FF00)は未定義です。先に進めません。"));

  ASSERT_TRUE(Start(p));
  ec.Trace();
  console.written.clear();
  ec.Trace();
  EXPECT_EQ(PR(), 0x0102);
  EXPECT_EQ(console.written, std::vector<std::string>{message});
  EXPECT_EQ(ec.StatusText(), note);
  EXPECT_EQ(ec.LastStop(), StopReason::UndefinedWord);
  EXPECT_EQ(Enabling(), kStopped);
  ec.Step();
  EXPECT_EQ(console.written.size(), 2u);  // once per command

  // GO and animate, from the start and from the word itself: nobody has to
  // pause or end them.
  struct Case {
    const char* how;
    bool animate;
    bool fromStart;
  };
  for (const Case& c : {Case{"go", false, true}, Case{"animate", true, true}, Case{"go at the word", false, false},
                        Case{"animate at the word", true, false}}) {
    ASSERT_TRUE(Start(p)) << c.how;
    if (!c.fromStart) ec.Trace();
    console.written.clear();
    // A run that keeps trying the word is ended after a few turns.
    ui.turns = ui.waits = 0;
    const auto stillRunning = [&, how = c.how](auto...) {
      if (ui.turns + ui.waits <= 4) return;
      ADD_FAILURE() << how << ": still running";
      ec.EndProgram();
    };
    ui.onTurn = stillRunning;
    ui.onWait = stillRunning;
    ASSERT_TRUE(c.animate ? ec.GoAnimate() : ec.Go()) << c.how;
    ui.onTurn = nullptr;
    ui.onWait = nullptr;
    EXPECT_EQ(PR(), 0x0102) << c.how;
    EXPECT_EQ(console.written, std::vector<std::string>{message}) << c.how;
    EXPECT_EQ(ec.LastStop(), StopReason::UndefinedWord) << c.how;
    EXPECT_EQ(ec.StatusText(), note) << c.how;
    EXPECT_EQ(Enabling(), kStopped) << c.how;
    EXPECT_TRUE(ec.DebuggingActive()) << c.how;
    EXPECT_EQ(ec.Panes().ShownRegister(CCpu::kPR), 0x0102) << c.how;
  }

  // Another word at PR and the note goes; the program goes on from there.
  ASSERT_TRUE(ec.SetMemory(0x0102, 0x8100) == Refusal::None);
  EXPECT_EQ(ec.StatusText(), StatusKeysText());
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(ec.LastStop(), StopReason::ProgramEnd);
}

// Every command that executed the program reports one Stopped record when it
// returns, with its reason and PR; End Program given while a command executes
// is reported by that command, not twice.
TEST_F(ExecutionControlTest, EachCommandReportsItsStopOnce) {
  using testing::FakeUi;
  struct Case {
    const char* what;
    std::function<ProgramImage()> program;
    std::function<void(ExecutionControl&, FakeUi&)> command;
    StopReason reason;
  };
  const Case cases[] = {
      {"trace", SumProgram, [](ExecutionControl& c, FakeUi&) { c.Trace(); }, StopReason::Stepped},
      {"go to a breakpoint", SumProgram,
       [](ExecutionControl& c, FakeUi&) {
         c.AddBreakpoint(0x104);
         c.Go();
       },
       StopReason::Breakpoint},
      {"go to the end", SumProgram, [](ExecutionControl& c, FakeUi&) { c.Go(); }, StopReason::ProgramEnd},
      {"end while stopped", SumProgram, [](ExecutionControl& c, FakeUi&) { c.EndProgram(); }, StopReason::EndedByUser},
      {"end during go", ForeverProgram,
       [](ExecutionControl& c, FakeUi& u) {
         u.onTurn = [&] { c.EndProgram(); };
         c.Go();
       },
       StopReason::EndedByUser},
      {"pause during go", ForeverProgram,
       [](ExecutionControl& c, FakeUi& u) {
         u.onTurn = [&] { c.Pause(); };
         c.Go();
       },
       StopReason::Paused},
      {"overflow", OverflowProgram, [](ExecutionControl& c, FakeUi&) { c.Trace(); }, StopReason::StackOverflow},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Start(c.program())) << c.what;
    ec.ClearBreakpoints();  // the same module keeps them from the case before
    ui.Clear();
    c.command(ec, ui);
    ui.onTurn = nullptr;
    ASSERT_EQ(ui.stops.size(), 1u) << c.what;
    EXPECT_EQ(FakeUi::ReasonName(ui.stops[0].reason), std::string(FakeUi::ReasonName(c.reason))) << c.what;
    EXPECT_EQ(ui.stops[0].pr, PR()) << c.what;
    EXPECT_EQ(ui.stops[0].reason, ec.LastStop()) << c.what;
    EXPECT_FALSE(ui.stops[0].source.Found()) << c.what;  // no source lines attached
  }
}

TEST_F(ExecutionControlTest, StackOverflowUnderTrace) {
  ASSERT_TRUE(Start(OverflowProgram()));
  ec.Trace();
  ASSERT_GE(console.written.size(), 2u);
  EXPECT_EQ(console.written[0], Cp932Text(u8"スタックオーバーフロー"));
  EXPECT_EQ(console.written[1], "Program terminated abnormally");
  EXPECT_EQ(PR(), 0x100);
  EXPECT_EQ(Enabling(), kEndedByUser);
  EXPECT_EQ(ec.StatusText(), "");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ExecutionControlTest, StepOverANeverReturningCallStaysResponsive) {
  ASSERT_TRUE(Start(NeverReturnsProgram()));
  ui.onTurn = [&] {
    EXPECT_EQ(Enabling(),
              "End=1 Start=0 Go=0 Animate=0 Trace=0 Step=0 Pause=1 BreakPoint=1 Watch=1 JumpPopups=1 WatchPopup=1");
    if (ui.turns == 3) {
      EXPECT_TRUE(ec.Pause());
    }
  };
  ec.Step();
  EXPECT_EQ(ui.turns, 3);
  EXPECT_TRUE(PR() == 0x103 || PR() == 0x105);
  EXPECT_EQ(ec.StatusText(), StatusKeysText());
  EXPECT_EQ(Enabling(), kStopped);

  ui.turns = 0;
  ui.onTurn = [&] {
    if (ui.turns == 2) ec.EndProgram();
  };
  console.written.clear();
  ec.Step();  // PR is inside the routine: a plain trace
  ec.Trace();
  ASSERT_TRUE(Start(NeverReturnsProgram()));
  ec.Step();
  EXPECT_EQ(ui.turns, 2);
  EXPECT_EQ(Enabling(), kEndedByUser);
  EXPECT_EQ(ec.StatusText(), "");
  EXPECT_EQ(std::count(console.written.begin(), console.written.end(), "Program terminated abnormally"), 1);
}

TEST_F(ExecutionControlTest, AnimateRefreshesAndWaitsAfterEveryInstruction) {
  ASSERT_TRUE(Start(SumProgram()));
  ec.AddBreakpoint(0x104);
  ui.Clear();
  ASSERT_TRUE(ec.GoAnimate());
  EXPECT_EQ(PR(), 0x104);
  EXPECT_EQ(ui.waits, 2);
  EXPECT_EQ(ui.Count("wait 80"), 2);
  EXPECT_EQ(ui.CountTold(Pane::Registers), 2);
  EXPECT_EQ(ui.turns, 0);  // the waits are the turns
  // The window is shown again before every instruction, as a closed one reopens.
  EXPECT_EQ(ui.Count("show"), 1 + 2);
  EXPECT_EQ(ui.calls[0], "state Animating");
  EXPECT_TRUE(ui.Called("status " + StatusAnimateText()));
  EXPECT_EQ(Enabling(), kStopped);

  // Pause during a wait stops after that instruction.
  ui.onWait = [&](int) { ec.Pause(); };
  ASSERT_TRUE(ec.GoAnimate());
  EXPECT_EQ(PR(), 0x105);
  EXPECT_EQ(ui.waits, 3);
  EXPECT_FALSE(ec.IsAnimateRunning());
}

TEST_F(ExecutionControlTest, SelfModifyingCodeRebuildsTheListing) {
  ASSERT_TRUE(Start(SelfModifyingProgram()));
  ec.Trace();
  ui.Clear();
  ec.Trace();  // ST GR1,0105H: program code
  EXPECT_TRUE(ui.Called("panes disassembly rebuilt"));
  EXPECT_EQ(std::string(ec.Disassembly().Row(ec.FindRowOfAddress(0x105)).text), "0105  8100                RET     ");
  ec.Trace();
  ec.Trace();  // the stored RET ends the program
  EXPECT_EQ(Enabling(), kEndedNormally);

  // Under GO the rebuild happens once, before the panes are shown, under the
  // wait pointer, and the background pointer comes back after it.
  ASSERT_TRUE(Start(SelfModifyingProgram()));
  ui.Clear();
  ASSERT_TRUE(ec.Go());
  std::vector<std::string> pointers;
  for (const auto& c : ui.calls)
    if (c.rfind("pointer", 0) == 0 || c.find("rebuilt") != std::string::npos) pointers.push_back(c);
  EXPECT_EQ(pointers, (std::vector<std::string>{"pointer 2", "pointer 1", "panes disassembly rebuilt", "pointer 2",
                                                "pointer 0"}));
}

TEST_F(ExecutionControlTest, BreakpointsAndWatchesSurviveOnlyForTheSameModule) {
  options.symbolicDebug = 0;
  ProgramImage p = SumProgram();
  ASSERT_TRUE(Start(p, "first"));
  EXPECT_TRUE(ec.Watches().Rows().empty());
  ec.AddBreakpoint(0x109);
  ec.Watches().OpenWorkingCopy();
  ASSERT_TRUE(ec.Watches().AddToWorkingCopy(AddBy::Address, "117", ec.Symbols()).accepted);
  ec.CommitWatchWorkingCopy();
  // Without symbols a label cannot be looked up.
  EXPECT_EQ(ReadLabelEntry("MAIN", ec.Symbols()).refusal, Refusal::NoSuchLabel);
  ec.Go();  // stops at 0109H
  ec.Go();
  EXPECT_EQ(ec.Watches().Rows()[0].LogicalText(), "6");

  ASSERT_TRUE(Start(p, "first"));
  EXPECT_EQ(ec.Breakpoints().Count(), 1);
  ASSERT_EQ(ec.Watches().Rows().size(), 1u);
  EXPECT_EQ(ec.Watches().Rows()[0].LogicalText(), "0");  // refreshed from the reloaded memory

  ASSERT_TRUE(Start(p, "second"));
  EXPECT_EQ(ec.Breakpoints().Count(), 0);
  EXPECT_TRUE(ec.Watches().Rows().empty());

  // With symbols the watch list is refilled from the symbol table every time.
  options.symbolicDebug = 1;
  ASSERT_TRUE(Start(p, "second"));
  EXPECT_EQ(ec.Watches().Rows().size(), 6u);
}

TEST_F(ExecutionControlTest, NoLoadWhileARunIsOnTheStack) {
  std::string exe = SumProgram().Write("nested");
  ASSERT_TRUE(ec.StartDebugging(exe, options));
  ProgramImage forever = ForeverProgram();
  ui.onTurn = [&] {
    if (ui.turns == 2) {
      ui.answers = {BoxAnswer::Yes};
      EXPECT_FALSE(ec.DebuggingGuard());  // ends the program
      EXPECT_FALSE(ec.StartDebugging(exe, options));
      EXPECT_FALSE(ec.RunProgram(exe, options));
    }
  };
  ASSERT_TRUE(Start(forever, "nestedloop"));
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(ui.turns, 2);
  EXPECT_FALSE(ec.IsExecuting());
  EXPECT_EQ(Enabling(), kEndedByUser);
  ui.onTurn = nullptr;
  EXPECT_TRUE(ec.StartDebugging(exe, options));
}

TEST_F(ExecutionControlTest, PushPatchesTheStackRowOnly) {
  ProgramImage p;
  p.words = {0x7000, 0x1234, 0x7110, 0x8100};  // PUSH #1234 / POP GR1 / RET
  ASSERT_TRUE(Start(p));
  ui.Clear();
  ec.Trace();
  Word sp = ec.Cpu().GetSP();
  EXPECT_EQ(std::string(ec.Disassembly().Row(ec.FindRowOfAddress(sp)).text),
            Hex4(sp) + "  1234                ****    ");
  EXPECT_FALSE(ui.RebuiltKeepingView());
  EXPECT_TRUE(ui.Told(Pane::Disassembly));
  EXPECT_TRUE(ui.Told(Pane::Memory));
  ec.Trace();
  EXPECT_EQ(ec.Cpu().GetRegister(1), 0x1234);
}

// GO keeps the registers in locals between instructions: on random programs it
// must leave exactly the state the machine's plain run leaves after as many
// instructions.
TEST_F(ExecutionControlTest, GoAgreesWithThePlainRun) {
  testing::RandomWords random(2024);
  for (int round = 0; round < 30; ++round) {
    ProgramImage p = testing::RandomProgram(random);
    std::string exe = p.Write("random" + std::to_string(round));
    ASSERT_TRUE(ec.StartDebugging(exe, options));
    // Every other round a breakpoint somewhere in the program may stop it first.
    if (round % 2) ec.Breakpoints().AddRow(static_cast<Word>(0x100 + 2 * (random() % 0x80)), "");
    ui.turns = 0;
    ui.onTurn = [&] {
      if (ui.turns == 3) ec.Pause();
    };
    ASSERT_TRUE(ec.Go());
    const std::uint64_t count = ec.InstructionCount();

    testing::FakeUi plainUi;
    testing::FakeConsole plainConsole(plainUi);
    CCpu cpu;
    auto memory = std::make_unique<Memory>();
    LoadedProgram loaded;
    ASSERT_TRUE(LoadProgram(exe, false, cpu, *memory, loaded, plainUi));
    RunResult r = RunToEnd(cpu, *memory, plainConsole, count);
    if (r.stop == StopReason::ProgramEnd)
      cpu.Initialize(*memory, loaded.header.start, loaded.header.initialSp, loaded.header.stackLimit);
    EXPECT_EQ(cpu.Registers(), ec.Cpu().Registers()) << "round " << round << " after " << count;
    EXPECT_TRUE(*memory == ec.Mem()) << "round " << round;
  }
}

TEST_F(ExecutionControlTest, DebuggingGuard) {
  EXPECT_FALSE(ec.DebuggingGuard());  // nothing to guard
  EXPECT_TRUE(ui.boxes.empty());
  ASSERT_TRUE(Start(SumProgram()));
  ui.answers = {BoxAnswer::No};
  EXPECT_TRUE(ec.DebuggingGuard());
  EXPECT_EQ(ui.boxes.back(), "Confirm:" + Cp932Text(u8"デバッグ中です。デバッグを終了しますか？"));
  EXPECT_TRUE(ec.DebuggingActive());
  EXPECT_EQ(Enabling(), kStopped);
  ui.answers = {BoxAnswer::Yes};
  EXPECT_FALSE(ec.DebuggingGuard());
  EXPECT_FALSE(ec.DebuggingActive());
  EXPECT_EQ(Enabling(), kEndedByUser);
}

TEST_F(ExecutionControlTest, PlainRun) {
  std::string exe = SumProgram().Write("plain");
  ASSERT_TRUE(ec.RunProgram(exe, options));
  EXPECT_EQ(console.written.size(), 2u);
  EXPECT_EQ(console.written[0], "Program terminated normally");
  EXPECT_EQ(ec.Mem()[0x117], 6);
  EXPECT_EQ(PR(), 0x100);
  EXPECT_EQ(Enabling(),
            "End=0 Start=1 Go=0 Animate=0 Trace=0 Step=0 Pause=0 BreakPoint=0 Watch=0 JumpPopups=0 WatchPopup=0");
  EXPECT_FALSE(ui.Told(Pane::Registers));
  EXPECT_TRUE(ui.boxes.empty());
  ASSERT_EQ(ui.stops.size(), 1u);
  EXPECT_EQ(ui.stops[0].reason, StopReason::ProgramEnd);

  console.written.clear();
  EXPECT_FALSE(ec.RunProgram(OverflowProgram().Write("plainover"), options));
  EXPECT_EQ(console.written[0], Cp932Text(u8"スタックオーバーフロー"));
  EXPECT_EQ(console.written[1], "Program terminated abnormally");

  // A load failure stops at once with the loader's box.
  ui.boxes.clear();
  EXPECT_FALSE(ec.RunProgram("/nonexistent/x.exe", options));
  EXPECT_EQ(ui.boxes.size(), 1u);

  // An undefined instruction ends the run there, as the terminal's run does:
  // nobody has to end a program that can never go on.
  ProgramImage hang;
  hang.words = {0x0100};
  console.written.clear();
  ui.waits = 0;
  ui.onWait = [&](int) {
    if (ui.waits == 3) ec.EndProgram();
  };
  EXPECT_FALSE(ec.RunProgram(hang.Write("hang"), options));
  ui.onWait = nullptr;
  EXPECT_EQ(ui.waits, 0);
  EXPECT_EQ(ec.LastStop(), StopReason::UndefinedWord);
  ASSERT_EQ(console.written.size(), 3u);
  EXPECT_EQ(console.written[0], "Undefined instruction 0100 at PR=0100: the program cannot go on");
  EXPECT_EQ(console.written[1], "Program terminated abnormally");
  EXPECT_EQ(Enabling(), kEndedByUser);
  EXPECT_FALSE(ec.IsExecuting());
}

// End Program while the plain run's IN waits: the run stops at that IN; no OUT
// and no final RET follow the "abnormally" line.
TEST_F(ExecutionControlTest, PlainRunEndedWhileInputPending) {
  std::string exe = EchoProgram().Write("plainecho");
  console.onRead = [&] { ec.EndProgram(); };
  EXPECT_FALSE(ec.RunProgram(exe, options));
  EXPECT_TRUE(ui.cancelled);
  ASSERT_EQ(console.written.size(), 2u);  // the termination line and the register dump
  EXPECT_EQ(console.written[0], "Program terminated abnormally");
  EXPECT_EQ(console.reads, 1);
  EXPECT_EQ(Enabling(), kEndedByUser);
  EXPECT_FALSE(ec.IsExecuting());

  // The next plain run of the same program reads and echoes as usual.
  console.onRead = nullptr;
  console.lines = {"HELLO"};
  console.written.clear();
  EXPECT_TRUE(ec.RunProgram(exe, options));
  ASSERT_GE(console.written.size(), 2u);
  EXPECT_EQ(console.written[0], "HELLO");
  EXPECT_EQ(console.written[1], "Program terminated normally");
}

TEST_F(ExecutionControlTest, MemoryAndRegisterEdits) {
  ASSERT_TRUE(Start(SumProgram()));
  ui.Clear();
  EXPECT_TRUE(ec.SetMemory(0x0104, 0x8100) == Refusal::None);  // RET over ADDA: code changes
  EXPECT_EQ(ui.calls,
            (std::vector<std::string>{"panes memory", "pointer 1", "panes disassembly rebuilt", "pointer 0",
                                      "panes watches", "panes prmoved " + std::to_string(ec.FindRowOfAddress(0x100))}));
  EXPECT_EQ(ec.Watches().Rows()[1].HexText(), "8100");

  struct Case {
    Register reg;
    Word value;
    Refusal why;
  } cases[] = {{Register::GR3, 0xFFFF, Refusal::None},   {Register::PR, 0x10B, Refusal::None},
               {Register::SP, 0x120, Refusal::None},     {Register::FR, 7, Refusal::InvalidFlags},
               {Register::FR, 3, Refusal::InvalidFlags}, {Register::FR, 5, Refusal::None}};
  for (const Case& c : cases) EXPECT_EQ(ec.SetRegister(c.reg, c.value), c.why) << RegisterName(c.reg) << c.value;
  EXPECT_EQ(ec.Cpu().GetRegister(3), 0xFFFF);
  EXPECT_EQ(PR(), 0x10B);
  EXPECT_EQ(ec.Cpu().GetSP(), 0x120);
  EXPECT_EQ(ec.Cpu().GetFR(), 5);
}

TEST_F(ExecutionControlTest, PanesReportAPcWithoutRow) {
  ASSERT_TRUE(Start(SumProgram()));
  // Make 0000H-0001H one row, then patch it to 0001H: 0000H has no row left.
  ASSERT_TRUE(ec.SetMemory(0x0000, 0x1010) == Refusal::None);
  ec.Disassembly().UnAsmRefreshAt(0x0001);
  ASSERT_EQ(ec.FindRowOfAddress(0), -1);
  ec.SetRegister(Register::PR, 0x0);
  EXPECT_FALSE(ec.RefreshPanes());
  EXPECT_EQ(ui.boxes.back(), "Error:" + Cp932Text(u8"逆アセンブルがうまくいっていません。"));
  EXPECT_EQ(Enabling(), kEndedByUser);
}

// GO stops at a breakpoint whose address has no row: the error box ends the
// program, and the stop must not switch the run commands back on afterwards.
TEST_F(ExecutionControlTest, GoStoppingWhereNoRowIsEndsTheProgram) {
  ASSERT_TRUE(Start(SumProgram()));
  ASSERT_TRUE(ec.SetMemory(0x0000, 0x1010) == Refusal::None);  // 0000H LD (two words)
  ASSERT_TRUE(ec.SetMemory(0x0002, 0x6400) == Refusal::None);  // 0002H JUMP #0000
  ASSERT_TRUE(ec.SetMemory(0x0003, 0x0000) == Refusal::None);
  ec.Disassembly().UnAsmRefreshAt(0x0001);  // the LD row now starts at 0001H
  ASSERT_EQ(ec.FindRowOfAddress(0), -1);
  ASSERT_TRUE(ec.SetRegister(Register::PR, 0x2) == Refusal::None);
  ASSERT_TRUE(ec.AddBreakpoint(0x0) == Refusal::None);
  ui.boxes.clear();
  console.written.clear();
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(PR(), 0x0000);
  EXPECT_EQ(ui.boxes, std::vector<std::string>{"Error:" + Cp932Text(u8"逆アセンブルがうまくいっていません。")});
  EXPECT_EQ(console.written.front(), "Program terminated abnormally");
  EXPECT_EQ(Enabling(), kEndedByUser);
  EXPECT_EQ(ec.StatusText(), "");
  EXPECT_FALSE(ec.DebuggingActive());
}

// End Program during a GO whose PR has no row: the closing refresh reports the
// missing row, but the program is not ended (and reported) a second time.
TEST_F(ExecutionControlTest, EndDuringGoWhereNoRowIsReportsTheEndOnce) {
  ASSERT_TRUE(Start(SumProgram()));
  ASSERT_TRUE(ec.SetMemory(0x0000, 0x6400) == Refusal::None);  // 0000H JUMP #0000
  ASSERT_TRUE(ec.SetMemory(0x0001, 0x0000) == Refusal::None);
  ec.Disassembly().UnAsmRefreshAt(0x0001);
  ASSERT_EQ(ec.FindRowOfAddress(0), -1);
  ASSERT_TRUE(ec.SetRegister(Register::PR, 0x0) == Refusal::None);
  ui.boxes.clear();
  console.written.clear();
  ui.onTurn = [&] {
    if (ui.turns == 2) ec.EndProgram();
  };
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(ui.boxes, std::vector<std::string>{"Error:" + Cp932Text(u8"逆アセンブルがうまくいっていません。")});
  ASSERT_EQ(console.written.size(), 2u);  // one termination line and one register dump
  EXPECT_EQ(console.written[0], "Program terminated abnormally");
  EXPECT_EQ(Enabling(), kEndedByUser);
}

}  // namespace
}  // namespace tolvane::debugger
