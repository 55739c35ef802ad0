// The CALL chain read from the stack: which words are return addresses, and
// the names the frames get.
#include <gtest/gtest.h>

#include <vector>

#include "common/InstructionSet.h"
#include "dap/CallChain.h"

namespace tolvane::dap {
namespace {

// Code at 0100H-012FH, data at 0130H-0131H (a CALL word and its operand, as
// DC could hold them), the stack from 0200H up to 0300H.
constexpr StackLayout kLayout{0x0100, 0x0300, 0x0200};
constexpr Word kBottom = 0x02FF;  // F000H, the end-of-program address

std::vector<Word> Memory() {
  std::vector<Word> m(kMemoryWords, 0);
  auto put = [&](Word at, std::initializer_list<Word> words) {
    for (Word w : words) m[at++] = w;
  };
  put(0x0100, {0x8000, 0x0110});  // CALL SUB       returns to 0102H
  put(0x0102, {0x8001, 0x0118});  // CALL 0118H,GR1 returns to 0104H
  put(0x0104, {0x8100});          // RET
  put(0x0110, {0x8000, 0x0120});  // SUB: CALL INNER returns to 0112H
  put(0x0112, {0x8100});
  put(0x0120, {0x8100});          // INNER: RET
  put(0x0130, {0x8000, 0x0120});  // data that reads like a CALL; 0132H follows it
  m[kBottom] = 0xF000;
  return m;
}

bool IsCode(Word a) { return a >= 0x0100 && a < 0x0200 && a != 0x0130 && a != 0x0131; }

struct Expected {
  Word pc;
  Word entry;
  bool entryKnown;
  int slot;  // index into the case's stack words, -1: the bottom (F000H)
};

struct Case {
  const char* name;
  Word pr;
  std::vector<Word> stack;  // from SP upwards, above the F000H at the bottom
  std::vector<Expected> frames;
};

TEST(CallChainTest, FramesFromTheStack) {
  const std::vector<Case> cases = {
      {"main program only", 0x0100, {}, {{0x0100, 0x0100, true, -1}}},
      {"one call", 0x0120, {0x0102}, {{0x0120, 0x0110, true, 0}, {0x0100, 0x0100, true, -1}}},
      {"two calls deep",
       0x0120,
       {0x0112, 0x0102},
       {{0x0120, 0x0120, true, 0}, {0x0110, 0x0110, true, 1}, {0x0100, 0x0100, true, -1}}},
      {"pushed words are not return addresses",
       0x0120,
       {0x0005, 0x0100, 0x0112, 0xFFFF, 0x0102},
       {{0x0120, 0x0120, true, 2}, {0x0110, 0x0110, true, 4}, {0x0100, 0x0100, true, -1}}},
      {"a CALL through an index register has no known entry",
       0x0120,
       {0x0104},
       {{0x0120, 0, false, 0}, {0x0102, 0x0100, true, -1}}},
      {"words after a CALL in the data are not return addresses", 0x0120, {0x0132}, {{0x0120, 0x0100, true, -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Word> m = Memory();
    const Word sp = static_cast<Word>(kBottom - c.stack.size());
    for (std::size_t i = 0; i < c.stack.size(); ++i) m[sp + i] = c.stack[i];
    const std::vector<CallFrame> frames = ReadCallChain(m.data(), c.pr, sp, kLayout, IsCode);
    ASSERT_EQ(frames.size(), c.frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
      SCOPED_TRACE(i);
      const Expected& e = c.frames[i];
      EXPECT_EQ(frames[i].pc, e.pc);
      EXPECT_EQ(frames[i].entryKnown, e.entryKnown);
      if (e.entryKnown) {
        EXPECT_EQ(frames[i].entry, e.entry);
      }
      EXPECT_EQ(frames[i].returnSlot, e.slot < 0 ? kBottom : static_cast<Word>(sp + e.slot));
      EXPECT_EQ(frames[i].outermost, i + 1 == frames.size());
    }
    EXPECT_EQ(InnermostReturnSlot(m.data(), c.pr, sp, kLayout, IsCode), frames.front().returnSlot);
  }
}

TEST(CallChainTest, StackPointerBelowTheBottomAndFrameLimit) {
  std::vector<Word> m = Memory();
  // SP past the bottom (more POPs than PUSHes): no routine can be read.
  std::vector<CallFrame> frames = ReadCallChain(m.data(), 0x0120, 0x0300, kLayout, IsCode);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].outermost);

  // A limit cuts the chain; the last frame kept is then not the outermost.
  m[kBottom - 2] = 0x0112;
  m[kBottom - 1] = 0x0102;
  frames = ReadCallChain(m.data(), 0x0120, kBottom - 2, kLayout, IsCode, 2);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].returnSlot, kBottom - 2);
  EXPECT_FALSE(frames[1].outermost);
}

TEST(CallChainTest, FrameNames) {
  debugger::SymbolIndex symbols;
  symbols.Assign({{"MAIN", 0x0100}, {"SUB", 0x0110}, {"LOOP", 0x0113}, {"=1", 0x0116}, {"TOO", 0x0110}});
  debugger::SymbolIndex none;
  struct NameCase {
    CallFrame frame;
    const debugger::SymbolIndex* symbols;
    const char* name;
  };
  const NameCase cases[] = {
      {{0x0115, 0x0110, true, 0, false}, &symbols, "SUB"},    // the routine's label, the first of two
      {{0x0117, 0, false, 0, false}, &symbols, "LOOP+4"},     // nearest label before pc, literals left out
      {{0x0113, 0x0113, true, 0, false}, &symbols, "LOOP"},   // entry label
      {{0x0113, 0x0140, true, 0, false}, &symbols, "LOOP"},   // entry without a label: pc's own
      {{0x0050, 0x0040, true, 0, false}, &symbols, "#0040"},  // nothing before: the entry address
      {{0x0105, 0, false, 0, false}, &none, "#0105"},         // no symbols: pc
  };
  for (const NameCase& c : cases) EXPECT_EQ(FrameName(c.frame, *c.symbols), c.name);
}

}  // namespace
}  // namespace tolvane::dap
