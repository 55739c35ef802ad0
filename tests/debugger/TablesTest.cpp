// The breakpoint table and the watch list with their entry-dialog logic.
#include <gtest/gtest.h>

#include <memory>

#include "common/Cp932.h"
#include "debugger/Breakpoints.h"
#include "debugger/Watches.h"

namespace tolvane::debugger {
namespace {

const std::string kNotLabel = Cp932Text(u8"ラベルとして正しくありません。もう一度入力してください。");
const std::string kNoLabel = Cp932Text(u8"このラベルは存在しません。");
const std::string kNotAddress = Cp932Text(u8"アドレスとして正しくありません。もう一度入力してください。");
const std::string kAlready = Cp932Text(u8"既に設定してあります。");

std::string Listing(const BreakpointTable& t) {
  std::string s;
  for (const Breakpoint& b : t.Rows()) s += b.AddressText() + "," + b.label + "," + b.StateText() + ";";
  return s;
}

SymbolIndex Symbols() {
  SymbolIndex s;
  s.Assign({{"MAIN", 0x0100}, {"LOOP", 0x0104}, {"ALIAS", 0x0104}, {"=3", 0x0120}, {"DATA", 0x0120}});
  return s;
}

TEST(BreakpointTable, AddDialog) {
  SymbolIndex sym = Symbols();
  BreakpointTable t;
  struct Step {
    AddBy by;
    const char* text;
    BoxKind kind;         // when refused
    const char* message;  // nullptr: accepted
    const char* after;
  } steps[] = {
      {AddBy::Address, "0200", {}, nullptr, "0200,,1;"},
      {AddBy::Address, "100", {}, nullptr, "0100,MAIN,1;0200,,1;"},  // sorted, label looked up
      {AddBy::Address, "0100", BoxKind::Information, "already", "0100,MAIN,1;0200,,1;"},
      {AddBy::Label, "LOOP", {}, nullptr, "0100,MAIN,1;0104,LOOP,1;0200,,1;"},
      {AddBy::Label, "ALIAS", BoxKind::Information, "already", "0100,MAIN,1;0104,LOOP,1;0200,,1;"},
      {AddBy::Label, "loop", BoxKind::Warning, "label", ""},
      {AddBy::Label, "NOSUCH", BoxKind::Warning, "nolabel", ""},
      {AddBy::Address, "10H", BoxKind::Warning, "address", ""},
      {AddBy::Address, "", BoxKind::Warning, "address", ""},
      {AddBy::Address, "ffff", {}, nullptr, "0100,MAIN,1;0104,LOOP,1;0200,,1;FFFF,,1;"},
  };
  for (const Step& s : steps) {
    std::string before = Listing(t);
    DialogResult r = DialogResult::From(t.Add(ReadEntry(s.by, s.text, sym), sym));
    EXPECT_EQ(r.accepted, s.message == nullptr) << s.text;
    if (s.message) {
      std::string m = s.message;
      const std::string& want = m == "already"   ? kAlready
                                : m == "label"   ? kNotLabel
                                : m == "nolabel" ? kNoLabel
                                                 : kNotAddress;
      EXPECT_EQ(r.message, want) << s.text;
      EXPECT_EQ(r.kind, s.kind) << s.text;
      EXPECT_EQ(Listing(t), before) << s.text;
    } else {
      EXPECT_EQ(Listing(t), s.after) << s.text;
    }
  }
}

TEST(BreakpointTable, EnableDisableToggleAndQueries) {
  SymbolIndex sym = Symbols();
  BreakpointTable t;
  EXPECT_EQ(t.ToggleBreakpointAt(0x0104, sym), BreakpointTable::Toggle::Added);
  EXPECT_EQ(Listing(t), "0104,LOOP,1;");  // the first record's name
  EXPECT_TRUE(t.IsEnabledAt(0x0104));
  EXPECT_EQ(t.FindEnabledBreakpoint(0x0104), 0);
  EXPECT_EQ(t.FindDisabledBreakpoint(0x0104), -1);

  t.SwitchEnabled(0);
  EXPECT_FALSE(t.IsEnabledAt(0x0104));
  EXPECT_EQ(t.FindEnabledBreakpoint(0x0104), -1);
  EXPECT_EQ(t.FindDisabledBreakpoint(0x0104), 0);
  // Adding the address again is refused and leaves it disabled.
  EXPECT_EQ(t.Add(ReadEntry(AddBy::Address, "104", sym), sym), Refusal::AlreadySet);
  EXPECT_EQ(Listing(t), "0104,LOOP,0;");
  // Toggling a disabled breakpoint removes it rather than enabling it.
  EXPECT_EQ(t.ToggleBreakpointAt(0x0104, sym), BreakpointTable::Toggle::Removed);
  EXPECT_EQ(t.Count(), 0);
  EXPECT_FALSE(t.IsEnabledAt(0x0104));

  t.AddRow(0x300, "");
  t.AddRow(0x100, "MAIN");
  t.SwitchEnabled(5);  // no selection: nothing
  t.Delete(-1);
  EXPECT_EQ(Listing(t), "0100,MAIN,1;0300,,1;");
  t.Delete(0);
  EXPECT_FALSE(t.IsEnabledAt(0x100));
  EXPECT_TRUE(t.IsEnabledAt(0x300));
  t.ClearBreakpoints();
  EXPECT_EQ(t.Count(), 0);
  EXPECT_FALSE(t.IsEnabledAt(0x300));
}

std::string Pane(const WatchList& w) {
  std::string s;
  for (const Watch& r : w.Rows())
    s += r.AddressText() + "," + r.label + "," + r.HexText() + "," + r.LogicalText() + "," + r.ArithmeticText() + "," +
         r.CharacterText() + ";";
  return s;
}

TEST(WatchList, FillFromSymbolsAndRefresh) {
  SymbolIndex sym = Symbols();
  std::unique_ptr<Word[]> mem(new Word[kMemoryWords]());
  mem[0x100] = 0x0041;
  mem[0x104] = 0xFFFF;
  mem[0x120] = 0x8000;
  WatchList w;
  w.FillWatchesFromSymbols(sym, mem.get());
  // Symbol order, no literal, hexadecimal filled, the rest empty until refreshed.
  EXPECT_EQ(Pane(w), "0100,MAIN,0041,,,;0104,LOOP,FFFF,,,;0104,ALIAS,FFFF,,,;0120,DATA,8000,,,;");
  w.RefreshWatches(mem.get());
  EXPECT_EQ(Pane(w),
            "0100,MAIN,0041,65,65,A;0104,LOOP,FFFF,65535,-1,.;0104,ALIAS,FFFF,65535,-1,.;"
            "0120,DATA,8000,32768,-32768,.;");
}

// The terminal's `watch` adds one row as the list dialog would (the list in
// address order, refusals the same) and says where it went.
TEST(WatchList, AddDirectIsTheDialogWithOneRow) {
  SymbolIndex sym = Symbols();
  std::unique_ptr<Word[]> mem(new Word[kMemoryWords]());
  mem[0x110] = 0x0041;
  struct Case {
    AddBy by;
    const char* text;
    int at;  // -1: refused
  } cases[] = {{AddBy::Address, "110", 3},
               {AddBy::Label, "ALIAS", -1},
               {AddBy::Address, "0", 0},
               {AddBy::Address, "110", -1},
               {AddBy::Address, "FFFF", 6}};
  WatchList direct, dialog;
  direct.FillWatchesFromSymbols(sym, mem.get());  // in symbol order
  dialog.FillWatchesFromSymbols(sym, mem.get());
  for (const Case& c : cases) {
    int at = -7;
    EXPECT_EQ(direct.AddDirect(c.by, c.text, sym, mem.get(), &at).accepted, c.at >= 0) << c.text;
    if (c.at < 0) continue;
    EXPECT_EQ(at, c.at) << c.text;
    dialog.OpenWorkingCopy();
    ASSERT_TRUE(dialog.AddToWorkingCopy(c.by, c.text, sym).accepted);
    dialog.CommitWorkingCopy(mem.get());
    EXPECT_EQ(Pane(direct), Pane(dialog)) << c.text;
  }
  EXPECT_EQ(direct.Rows()[4].HexText(), "0041");
}

TEST(WatchList, WorkingCopyDialog) {
  SymbolIndex sym = Symbols();
  std::unique_ptr<Word[]> mem(new Word[kMemoryWords]());
  WatchList w;
  w.FillWatchesFromSymbols(sym, mem.get());
  w.OpenWorkingCopy();
  ASSERT_EQ(w.WorkingCopy().size(), 4u);

  struct Step {
    AddBy by;
    const char* text;
    const char* refusal;  // nullptr: accepted
  } steps[] = {
      {AddBy::Label, "LOOP", "already"},   // label already listed
      {AddBy::Address, "104", "already"},  // its address by number
      {AddBy::Address, "0", nullptr},      // new
      {AddBy::Label, "lower", "label"},   {AddBy::Label, "NOPE", "nolabel"}, {AddBy::Address, "12345", "address"},
  };
  for (const Step& s : steps) {
    DialogResult r = w.AddToWorkingCopy(s.by, s.text, sym);
    EXPECT_EQ(r.accepted, s.refusal == nullptr) << s.text;
    if (s.refusal) {
      std::string m = s.refusal;
      EXPECT_EQ(r.message, m == "already"   ? kAlready
                           : m == "label"   ? kNotLabel
                           : m == "nolabel" ? kNoLabel
                                            : kNotAddress);
      EXPECT_EQ(r.kind, m == "already" ? BoxKind::Information : BoxKind::Warning);
    }
  }
  // A second label at an address already listed is accepted.
  WatchList w2;
  w2.OpenWorkingCopy();
  EXPECT_TRUE(w2.AddToWorkingCopy(AddBy::Label, "LOOP", sym).accepted);
  EXPECT_TRUE(w2.AddToWorkingCopy(AddBy::Label, "ALIAS", sym).accepted);
  EXPECT_EQ(w2.WorkingCopy().size(), 2u);

  // The copy is sorted by address; deleting and closing by the title bar leaves
  // the pane alone.
  EXPECT_EQ(w.WorkingCopy()[0].addressText, "0000");
  w.DeleteFromWorkingCopy(1);
  w.DeleteFromWorkingCopy(99);
  w.DiscardWorkingCopy();
  EXPECT_EQ(w.Rows().size(), 4u);

  // OK writes the copy back in address order and refreshes the values.
  mem[0] = 0x0030;
  w.OpenWorkingCopy();
  EXPECT_TRUE(w.AddToWorkingCopy(AddBy::Address, "0", sym).accepted);
  w.DeleteFromWorkingCopy(1);  // MAIN
  w.CommitWorkingCopy(mem.get());
  EXPECT_EQ(Pane(w), "0000,,0030,48,48,0;0104,LOOP,0000,0,0,.;0104,ALIAS,0000,0,0,.;0120,DATA,0000,0,0,.;");

  w.ClearWatches();
  EXPECT_TRUE(w.Rows().empty());
  EXPECT_TRUE(w.WorkingCopy().empty());
}

}  // namespace
}  // namespace tolvane::debugger
