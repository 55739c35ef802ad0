// What the debug window's panes rely on in the core: the jump rules of the pane
// menus, the values the panes show with their change marks, the current row
// following PR under edits, and the missing-row report of an input call.
#include <gtest/gtest.h>

#include <memory>

#include "DebuggerTestSupport.h"
#include "common/Cp932.h"
#include "common/TextRules.h"
#include "debugger/Jumps.h"

namespace tolvane::debugger {
namespace {

using testing::DebuggerFixture;
using testing::ProgramImage;
// How a jump box's text ends: the jump, asked again, or nothing to jump to.
enum class Outcome { Jump, Invalid, NotFound };
struct JumpResult {
  Outcome outcome = Outcome::Jump;
  int row = -1;
  Word address = 0;
  BoxKind kind = BoxKind::Information;
  std::string message;
};

// The jump boxes' way with a text: read it, then find the row.
JumpResult JumpTo(JumpKind kind, const Disassembler& dis, const SymbolIndex& symbols, const std::string& text) {
  JumpResult r;
  const Entry e = ReadJumpEntry(kind, text, symbols);
  Refusal why = e.refusal;
  if (e.Ok() && kind != JumpKind::MemoryAddress) {
    r.row = kind == JumpKind::DisassemblyLabel ? RowForLabelJump(dis, e.address) : RowForAddressJump(dis, e.address);
    if (r.row < 0) why = Refusal::CannotJump;
  }
  r.address = e.address;
  if (why == Refusal::None) return r;
  r.outcome = why == Refusal::InvalidJumpText ? Outcome::Invalid : Outcome::NotFound;
  const RefusalBox box = Explain(why, text);
  r.kind = box.kind;
  r.message = box.text;
  return r;
}

const std::string kNotValid = Cp932Text(u8"は正しいデータではありません。");
const std::string kCannot = Cp932Text(u8"にはジャンプできません。");

// 0100H LD GR1,#0200 (two words), 0102H LD GR1,#0000 whose row was patched
// onto its second word (an input stored there): rows start at 0100H and 0103H,
// and neither 0101H nor 0102H has a row of its own.
class JumpTest : public ::testing::Test {
 protected:
  std::unique_ptr<Word[]> mem{new Word[kMemoryWords]()};
  SymbolIndex symbols;
  Disassembler dis;

  void SetUp() override {
    mem[0x100] = 0x1010;
    mem[0x101] = 0x0200;
    mem[0x102] = 0x1010;
    symbols.Assign({{"MAIN", 0x100}, {"SECOND", 0x101}, {"LOST", 0x102}, {"ZERO", 0x0000}, {"PATCHED", 0x103}});
    dis.Attach(mem.get(), &symbols);
    dis.BuildUnAsmTable();
    ASSERT_TRUE(dis.UnAsmRefreshAt(0x103));
    ASSERT_EQ(dis.FindRowOfAddress(0x102), -1);
  }
  int Row(Word a) const { return dis.FindRowOfAddress(a); }
};

struct JumpCase {
  const char* text;
  Outcome outcome;
  Word target;  // Jump: the address whose row (or cell) is the target
};

TEST_F(JumpTest, ByAddressInTheDisassembly) {
  const JumpCase cases[] = {
      {"100", Outcome::Jump, 0x100}, {"0101", Outcome::Jump, 0x100},  // second word of the instruction
      {"102", Outcome::Jump, 0x100},                                  // two words past the row's start
      {"103", Outcome::Jump, 0x103}, {"ffff", Outcome::Jump, 0xFFFF}, {"0", Outcome::Jump, 0x0000},
      {"10H", Outcome::Invalid, 0},  {"12345", Outcome::Invalid, 0},  {"", Outcome::Invalid, 0},
      {" 100", Outcome::Invalid, 0}, {"#100", Outcome::Invalid, 0},
  };
  for (const JumpCase& c : cases) {
    JumpResult r = JumpTo(JumpKind::DisassemblyAddress, dis, symbols, c.text);
    EXPECT_EQ(r.outcome, c.outcome) << c.text;
    if (c.outcome == Outcome::Jump) {
      EXPECT_EQ(r.row, Row(c.target)) << c.text;
    } else {
      EXPECT_EQ(r.kind, BoxKind::Warning) << c.text;
      EXPECT_EQ(r.message, c.text + kNotValid);
    }
  }
}

TEST_F(JumpTest, ByLabelInTheDisassembly) {
  const JumpCase cases[] = {
      {"MAIN", Outcome::Jump, 0x100},     {"SECOND", Outcome::Jump, 0x100},  // one word back, no further
      {"PATCHED", Outcome::Jump, 0x103},  {"LOST", Outcome::NotFound, 0},    // neither 0102H nor 0101H has a row
      {"ZERO", Outcome::NotFound, 0},                                        // 0000H means no such label
      {"NOSUCH", Outcome::NotFound, 0},   {"main", Outcome::Invalid, 0},
      {"A12345678", Outcome::Invalid, 0}, {"LA-1", Outcome::Invalid, 0},
  };
  for (const JumpCase& c : cases) {
    JumpResult r = JumpTo(JumpKind::DisassemblyLabel, dis, symbols, c.text);
    EXPECT_EQ(r.outcome, c.outcome) << c.text;
    if (c.outcome == Outcome::Jump) {
      EXPECT_EQ(r.row, Row(c.target)) << c.text;
    } else if (c.outcome == Outcome::NotFound) {
      EXPECT_EQ(r.kind, BoxKind::Information) << c.text;
      EXPECT_EQ(r.message, c.text + kCannot);
    } else {
      EXPECT_EQ(r.kind, BoxKind::Warning) << c.text;
      EXPECT_EQ(r.message, c.text + kNotValid);
    }
  }
  // Without a symbol table every label is unknown.
  symbols.Assign({{"MAIN", 0x100}}, false);
  EXPECT_EQ(JumpTo(JumpKind::DisassemblyLabel, dis, symbols, "MAIN").outcome, Outcome::NotFound);
}

TEST(MemoryJump, EveryAddressHasItsCell) {
  const JumpCase cases[] = {{"0", Outcome::Jump, 0x0000},   {"ffff", Outcome::Jump, 0xFFFF},
                            {"1a0", Outcome::Jump, 0x01A0}, {"1G", Outcome::Invalid, 0},
                            {"FFFFF", Outcome::Invalid, 0}, {"", Outcome::Invalid, 0}};
  for (const JumpCase& c : cases) {
    JumpResult r = JumpTo(JumpKind::MemoryAddress, Disassembler{}, SymbolIndex{}, c.text);
    EXPECT_EQ(r.outcome, c.outcome) << c.text;
    if (c.outcome == Outcome::Jump)
      EXPECT_EQ(r.address, c.target) << c.text;
    else
      EXPECT_EQ(r.message, c.text + kNotValid);
  }
}

// MAIN LAD GR1,1 / ST GR1,RES / LAD GR2,2 / RET / RES DS 1
ProgramImage StoreProgram() {
  ProgramImage p;
  p.words = {0x1210, 0x0001, 0x1110, 0x0107, 0x1220, 0x0002, 0x8100, 0x0000};
  p.symbols = {{"MAIN", 0x100}, {"RES", 0x107}};
  p.data = {0x107};
  return p;
}

class PaneTest : public DebuggerFixture {};

TEST_F(PaneTest, JumpsMoveThePanesThroughThePort) {
  ASSERT_TRUE(Start(StoreProgram()));
  ui.Clear();
  ASSERT_EQ(ec.Jump(JumpKind::DisassemblyAddress, 0x107), Refusal::None);
  EXPECT_EQ(ui.calls,
            std::vector<std::string>{"panes jump " + std::to_string(ec.FindRowOfAddress(0x107)) + " from start"});
  ui.Clear();
  ASSERT_EQ(ec.Jump(JumpKind::DisassemblyLabel, 0x107), Refusal::None);
  EXPECT_EQ(ui.calls, std::vector<std::string>{"panes jump " + std::to_string(ec.FindRowOfAddress(0x107))});
  ui.Clear();
  ASSERT_EQ(ec.Jump(JumpKind::MemoryAddress, 0x10f), Refusal::None);
  EXPECT_EQ(ui.calls, std::vector<std::string>{"panes jump cell 271 from start"});
}

// The panes show the machine as of their last refresh, and mark what differs
// from the last stop until the next run command.
TEST_F(PaneTest, ChangeMarksLastUntilTheNextRunCommand) {
  ASSERT_TRUE(Start(StoreProgram()));
  const PaneState& panes = ec.Panes();
  EXPECT_FALSE(panes.RegisterChanged(CCpu::kPR));
  EXPECT_FALSE(panes.WordChanged(0x107));

  ui.Clear();
  ec.Trace();  // LAD GR1,1
  EXPECT_EQ(ui.CountTold(Pane::ChangeMarks), 1);
  EXPECT_TRUE(panes.RegisterChanged(CCpu::kGR0 + 1));
  EXPECT_TRUE(panes.RegisterChanged(CCpu::kPR));
  EXPECT_FALSE(panes.RegisterChanged(CCpu::kGR0 + 2));
  EXPECT_FALSE(panes.RegisterChanged(CCpu::kSP));
  EXPECT_EQ(panes.ShownRegister(CCpu::kGR0 + 1), 1);

  ec.Trace();  // ST GR1,RES: GR1 no longer changed, RES is
  EXPECT_FALSE(panes.RegisterChanged(CCpu::kGR0 + 1));
  EXPECT_TRUE(panes.WordChanged(0x107));
  EXPECT_EQ(panes.ShownWord(0x107), 1);
  const Watch& res = ec.Watches().Rows()[1];
  ASSERT_EQ(res.label, "RES");
  EXPECT_TRUE(panes.DiffersFromStop(res.address, res.value));

  ec.Trace();  // LAD GR2,2: the store is no longer news
  EXPECT_FALSE(panes.WordChanged(0x107));
  EXPECT_FALSE(panes.DiffersFromStop(res.address, res.value));
  EXPECT_TRUE(panes.RegisterChanged(CCpu::kGR0 + 2));

  // An edit is a change too, shown at once, until the next run command.
  ASSERT_TRUE(ec.SetMemory(0x0107, 0xABCD) == Refusal::None);
  EXPECT_TRUE(panes.WordChanged(0x107));
  EXPECT_EQ(panes.ShownWord(0x107), 0xABCD);
  ASSERT_TRUE(ec.SetRegister(Register::FR, 2) == Refusal::None);
  EXPECT_TRUE(panes.RegisterChanged(CCpu::kFR));
}

// The disassembly marks the rows whose words a store changed, like the memory
// pane; a watch added after the stop has nothing to differ from and is not
// marked, where one that was there is.
TEST_F(PaneTest, StoredRowsAreMarkedAndNewWatchesAreNot) {
  ASSERT_TRUE(Start(StoreProgram()));
  const int res = ec.FindRowOfAddress(0x107);
  const int st = ec.FindRowOfAddress(0x102);
  ec.Trace();
  ui.Clear();
  ec.Trace();                                     // ST GR1,RES
  EXPECT_EQ(ui.CountTold(Pane::Disassembly), 2);  // the marks of the stop went, then the store shows
  EXPECT_TRUE(ec.DisassemblyRowChanged(res));
  EXPECT_FALSE(ec.DisassemblyRowChanged(st));
  EXPECT_FALSE(ec.DisassemblyRowChanged(-1));
  EXPECT_FALSE(ec.DisassemblyRowChanged(ec.Disassembly().RowCount()));

  const Watch& listed = ec.Watches().Rows()[1];
  ASSERT_EQ(listed.label, "RES");
  EXPECT_TRUE(ec.Panes().WatchChanged(listed));
  ec.Watches().OpenWorkingCopy();
  ASSERT_TRUE(ec.Watches().AddToWorkingCopy(AddBy::Address, "106", ec.Symbols()).accepted);
  ec.CommitWatchWorkingCopy();
  ASSERT_TRUE(ec.SetMemory(0x0106, 0x1234) == Refusal::None);  // changed after the stop, watched only since
  for (const Watch& w : ec.Watches().Rows())
    EXPECT_EQ(ec.Panes().WatchChanged(w), w.address == 0x107) << w.AddressText();

  ec.Trace();  // the next stop: nothing is news any more
  EXPECT_FALSE(ec.DisassemblyRowChanged(res));
  for (const Watch& w : ec.Watches().Rows()) EXPECT_FALSE(ec.Panes().WatchChanged(w)) << w.AddressText();
}

// During GO the panes are not refreshed: they keep showing the last refresh,
// whatever the program writes meanwhile, until the run stops.
TEST_F(PaneTest, GoLeavesThePanesAtTheLastRefreshUntilItStops) {
  ProgramImage p;
  p.words = {0x1210, 0x0001, 0x1110, 0x0107, 0x6400, 0x0102, 0x0000, 0x0000};  // GR1=1; ST GR1,0107H forever
  p.data = {0x107};
  ASSERT_TRUE(Start(p));
  Word shownDuringRun = 0xFFFF;
  ui.onTurn = [&] {
    if (ui.turns == 2) {
      shownDuringRun = ec.Panes().ShownWord(0x107);
      ec.Pause();
    }
  };
  ASSERT_TRUE(ec.Go());
  EXPECT_EQ(ec.Mem()[0x107], 1);
  EXPECT_EQ(shownDuringRun, 0);  // the state of the start, not of the run
  EXPECT_EQ(ec.Panes().ShownWord(0x107), 1);
  EXPECT_TRUE(ec.Panes().WordChanged(0x107));
}

// Mended: after an edit that changes where instructions begin, and after PR is
// edited, the current row follows PR without scrolling the view.
TEST_F(PaneTest, TheCurrentRowFollowsPrUnderEdits) {
  ASSERT_TRUE(Start(StoreProgram()));
  ec.Trace();  // PR 0102H
  const int before = ec.FindRowOfAddress(0x102);
  ui.Clear();
  // NOP over LAD's first word at 0100H: 0100H and 0101H become two rows, so
  // the row of 0102H has a higher index now.
  ASSERT_TRUE(ec.SetMemory(0x0100, 0x0000) == Refusal::None);
  const int after = ec.FindRowOfAddress(0x102);
  EXPECT_EQ(after, before + 1);
  EXPECT_EQ(ui.calls.back(), "panes prmoved " + std::to_string(after));
  for (const PanesChanged& c : ui.changes)
    EXPECT_TRUE(c.focus.kind == Focus::Kind::None || c.focus.kind == Focus::Kind::PrMoved);

  ui.Clear();
  ASSERT_TRUE(ec.SetRegister(Register::PR, 0x104) == Refusal::None);
  EXPECT_EQ(ui.calls, (std::vector<std::string>{"panes registers",
                                                "panes prmoved " + std::to_string(ec.FindRowOfAddress(0x104))}));
  ui.Clear();
  ASSERT_TRUE(ec.SetRegister(Register::GR1, 0x5) == Refusal::None);  // other registers leave the row alone
  EXPECT_EQ(ui.calls, std::vector<std::string>{"panes registers"});
}

// Mended: an input call whose buffer has rows missing reports it once, not
// once per address without a row.
TEST_F(PaneTest, AnInputCallReportsMissingRowsOnce) {
  ProgramImage p;
  // LAD GR1,0110H / LAD GR2,0110H / SVC 1 / SVC 1 / RET; 010EH and the buffer
  // 0110H-012FH are program code made of two-word LDs.
  p.words = {0x1210, 0x0110, 0x1220, 0x0110, 0xF000, 0x0001, 0xF000, 0x0001, 0x8100};
  p.words.resize(0x31, 0);
  for (int a = 0x0E; a < 0x30; a += 2) p.words[static_cast<std::size_t>(a)] = 0x1010;
  ASSERT_TRUE(Start(p));
  console.lines = {"ABCDEFGH", "IJKLMNOP"};
  ec.Trace();
  ec.Trace();
  ui.boxes.clear();
  // The first input moves the buffer's rows onto their second words, so that
  // neither 0110H nor 010FH (the LD at 010EH) starts a row any more.
  ec.Trace();
  EXPECT_TRUE(ui.boxes.empty());
  ASSERT_EQ(ec.FindRowOfAddress(0x110), -1);
  // The second reports the missing row of GR2 and then of GR1 + 0: one box.
  ec.Trace();
  EXPECT_EQ(ui.boxes, std::vector<std::string>{"Information:" + DisassemblyRowMissingMessage()});
  // A later input call may report again.
  ec.SetRegister(Register::PR, 0x104);
  console.lines = {"QRSTUVWX"};
  ui.boxes.clear();
  ec.Trace();
  EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(PaneTest, RefreshAllPanesShowsEverythingInOneCall) {
  ASSERT_TRUE(Start(StoreProgram()));
  ec.Trace();
  ui.Clear();
  ASSERT_TRUE(ec.RefreshAllPanes());
  const std::string row = std::to_string(ec.FindRowOfAddress(ec.Cpu().GetPR()));
  EXPECT_EQ(ui.calls,
            (std::vector<std::string>{"pointer 1", "panes disassembly rebuilt", "pointer 0", "panes breakpoints",
                                      "panes disassembly memory registers watches next " + row}));
}

}  // namespace
}  // namespace tolvane::debugger
