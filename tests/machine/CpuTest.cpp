#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "MachineTestSupport.h"
#include "machine/Cpu.h"

namespace tolvane::test {
namespace {

constexpr Word kAt = 0x0100;    // where each test instruction is placed
constexpr Word kData = 0x0200;  // operand address of the memory forms

struct Machine {
  std::unique_ptr<Memory> mem = NewMemory();
  CCpu cpu;
  ScriptConsole console;
  Machine() { cpu.SetPR(kAt); }
  void Put(Word a, std::initializer_list<Word> words) {
    for (Word w : words) (*mem)[a++] = w;
  }
  ExecStatus Step(MachineHooks* hooks = nullptr) { return cpu.Execute(*mem, console, hooks); }
};

// ---- Two-operand arithmetic, logic and compare: every operation code, both forms ----

struct AluCase {
  int op;  // memory form code; the register form is op + 4
  Word a;  // GR1 before
  Word b;  // operand
  Word frBefore;
  Word result;  // GR1 after
  Word frAfter;
};

const AluCase kAluCases[] = {
    // LD: OF cleared, SF/ZF from the value
    {0x10, 0x1111, 0x8000, 4, 0x8000, 2},
    {0x10, 0x1111, 0x0000, 6, 0x0000, 1},
    {0x10, 0x0000, 0x7FFF, 5, 0x7FFF, 0},
    // ADDA: signed overflow
    {0x20, 0x7FFF, 0x0001, 0, 0x8000, 6},
    {0x20, 0x8000, 0x8000, 0, 0x0000, 5},
    {0x20, 0xFFFF, 0x0001, 4, 0x0000, 1},
    {0x20, 0x0001, 0x0002, 4, 0x0003, 0},
    {0x20, 0x8000, 0xFFFF, 0, 0x7FFF, 4},
    {0x20, 0x0000, 0x8000, 0, 0x8000, 2},
    // SUBA
    {0x21, 0x0000, 0x8000, 0, 0x8000, 6},
    {0x21, 0x8000, 0x0001, 0, 0x7FFF, 4},
    {0x21, 0x0005, 0x0005, 4, 0x0000, 1},
    {0x21, 0xFFFF, 0x7FFF, 0, 0x8000, 2},
    {0x21, 0x7FFF, 0xFFFF, 0, 0x8000, 6},
    // ADDL: carry
    {0x22, 0xFFFF, 0x0001, 0, 0x0000, 5},
    {0x22, 0x7FFF, 0x0001, 4, 0x8000, 2},
    {0x22, 0x8000, 0x8000, 0, 0x0000, 5},
    // SUBL: borrow
    {0x23, 0x0000, 0x0001, 0, 0xFFFF, 6},
    {0x23, 0x0005, 0x0003, 4, 0x0002, 0},
    {0x23, 0x8000, 0x8000, 0, 0x0000, 1},
    // AND / OR / XOR always clear OF
    {0x30, 0xF0F0, 0x0FF0, 4, 0x00F0, 0},
    {0x30, 0xF0F0, 0x0F0F, 6, 0x0000, 1},
    {0x31, 0x8000, 0x0001, 4, 0x8001, 2},
    {0x31, 0x0000, 0x0000, 4, 0x0000, 1},
    {0x32, 0xFFFF, 0xFFFF, 6, 0x0000, 1},
    {0x32, 0x0F0F, 0xFFFF, 4, 0xF0F0, 2},
    // CPA: signed; GR unchanged, OF cleared
    {0x40, 0xFFFF, 0x0001, 4, 0xFFFF, 2},
    {0x40, 0x0001, 0xFFFF, 6, 0x0001, 0},
    {0x40, 0x8000, 0x8000, 4, 0x8000, 1},
    {0x40, 0x7FFF, 0x8000, 0, 0x7FFF, 0},
    // CPL: unsigned
    {0x41, 0xFFFF, 0x0001, 4, 0xFFFF, 0},
    {0x41, 0x0001, 0xFFFF, 0, 0x0001, 2},
    {0x41, 0x1234, 0x1234, 6, 0x1234, 1},
};

TEST(CpuAlu, MemoryAndRegisterFormsFollowTheFlagRules) {
  for (const AluCase& c : kAluCases) {
    for (int form = 0; form < 2; ++form) {
      const int op = form == 0 ? c.op : (c.op == 0x10 ? 0x14 : c.op + 4);
      SCOPED_TRACE(testing::Message() << std::hex << "op " << op << " a " << c.a << " b " << c.b);
      Machine m;
      m.cpu.SetRegister(1, c.a);
      m.cpu.SetFR(c.frBefore);
      if (form == 0) {
        m.Put(kAt, {Op(op, 1, 0), kData});
        (*m.mem)[kData] = c.b;
      } else {
        m.Put(kAt, {Op(op, 1, 2)});
        m.cpu.SetRegister(2, c.b);
      }
      EXPECT_EQ(m.Step(), ExecStatus::Continue);
      EXPECT_EQ(m.cpu.GetRegister(1), c.result);
      EXPECT_EQ(m.cpu.GetFR(), c.frAfter);
      EXPECT_EQ(m.cpu.GetPR(), kAt + (form == 0 ? 2 : 1));
      if (form == 1) {
        EXPECT_EQ(m.cpu.GetRegister(2), c.b);
      }
    }
  }
}

TEST(CpuAlu, SameRegisterAsBothOperands) {
  Machine m;
  m.cpu.SetRegister(3, 0x4000);
  m.Put(kAt, {Op(0x24, 3, 3)});  // ADDA GR3,GR3
  m.Step();
  EXPECT_EQ(m.cpu.GetRegister(3), 0x8000);
  EXPECT_EQ(m.cpu.GetFR(), 6);
}

TEST(CpuAlu, IndexedOperandWrapsAroundMemory) {
  Machine m;
  m.cpu.SetRegister(1, 5);
  m.cpu.SetRegister(7, 0x0003);
  (*m.mem)[0x0001] = 0x0010;
  m.Put(kAt, {Op(0x20, 1, 7), 0xFFFE});  // ADDA GR1,FFFEH,GR7 -> operand at 0001H
  m.Step();
  EXPECT_EQ(m.cpu.GetRegister(1), 0x0015);
}

// ---- Shifts ----

// The rule literally: n one-bit steps, OF = the bit about to leave before each.
Word ReferenceShift(int op, Word v, unsigned n, Word& fr) {
  const Word sign = v & 0x8000;
  for (unsigned i = 0; i < n; ++i) {
    switch (op) {
      case 0x50:
        fr = (v & 0x4000) ? (fr | 4) : (fr & 3);
        v = static_cast<Word>(v << 1);
        break;
      case 0x51:
        fr = (v & 1) ? (fr | 4) : (fr & 3);
        v = static_cast<Word>((v >> 1) | sign);
        break;
      case 0x52:
        fr = (v & 0x8000) ? (fr | 4) : (fr & 3);
        v = static_cast<Word>(v << 1);
        break;
      case 0x53:
        fr = (v & 1) ? (fr | 4) : (fr & 3);
        v = static_cast<Word>(v >> 1);
        break;
    }
  }
  if (op == 0x50 && n > 0) v = static_cast<Word>((v & 0x7FFF) | sign);
  fr = static_cast<Word>((fr & ~3) | (v == 0 ? 1 : (v & 0x8000) ? 2 : 0));
  return v;
}

struct ShiftCase {
  int op;
  Word value;
  Word count;
  Word frBefore;
  Word result;
  Word frAfter;
};

const ShiftCase kShiftCases[] = {
    {0x50, 0x8001, 1, 0, 0x8002, 2},                                        // SLA keeps the sign
    {0x51, 0x8001, 1, 0, 0xC000, 6},                                        // SRA copies the sign, OF = bit 0
    {0x50, 0x4000, 1, 0, 0x0000, 5},                                        // SLA: bit 14 leaves into OF
    {0x52, 0x0001, 16, 0, 0x0000, 5},                                       // SLL 16: OF = former bit 0
    {0x52, 0x0001, 17, 4, 0x0000, 1},                                       // SLL 17: OF = 0
    {0x53, 0x8000, 16, 0, 0x0000, 5},                                       // SRL 16: OF = former bit 15
    {0x53, 0x8000, 17, 4, 0x0000, 1},    {0x51, 0x8000, 16, 0, 0xFFFF, 6},  // SRA >= 16: OF = sign
    {0x51, 0x8000, 40000, 0, 0xFFFF, 6}, {0x51, 0x7FFF, 16, 4, 0x0000, 1},
    {0x50, 0xC000, 16, 4, 0x8000, 2},  // SLA >= 16: only the sign remains
    {0x50, 0x8001, 15, 0, 0x8000, 6},    {0x52, 0xFFFF, 65535, 4, 0x0000, 1},
    {0x52, 0x8000, 0, 4, 0x8000, 6},  // count 0: OF kept, SF/ZF from the register
    {0x53, 0x0000, 0, 6, 0x0000, 5},     {0x50, 0x1234, 0, 0, 0x1234, 0},
};

TEST(CpuShift, TableCases) {
  for (const ShiftCase& c : kShiftCases) {
    SCOPED_TRACE(testing::Message() << std::hex << "op " << c.op << " v " << c.value << " n " << std::dec << c.count);
    Machine m;
    m.cpu.SetRegister(4, c.value);
    m.cpu.SetFR(c.frBefore);
    m.Put(kAt, {Op(c.op, 4, 0), c.count});
    EXPECT_EQ(m.Step(), ExecStatus::Continue);
    EXPECT_EQ(m.cpu.GetRegister(4), c.result);
    EXPECT_EQ(m.cpu.GetFR(), c.frAfter);
    EXPECT_EQ(m.cpu.GetPR(), kAt + 2);
  }
}

TEST(CpuShift, AgreesWithStepByStepRuleForEveryCountUpTo40) {
  const Word values[] = {0x0000, 0x0001, 0x8000, 0x8001, 0x4000, 0x7FFF, 0xFFFF, 0xA5A5, 0x5A5A, 0xC003};
  for (int op = 0x50; op <= 0x53; ++op)
    for (Word v : values)
      for (unsigned n = 0; n <= 40; ++n)
        for (Word frBefore : {Word{0}, Word{4}, Word{5}}) {
          Machine m;
          m.cpu.SetRegister(1, v);
          m.cpu.SetRegister(2, static_cast<Word>(n - 3));
          m.cpu.SetFR(frBefore);
          m.Put(kAt, {Op(op, 1, 2), 3});  // count = 3 + GR2: the count is the effective address
          m.Step();
          Word fr = frBefore;
          const Word expected = ReferenceShift(op, v, n, fr);
          ASSERT_EQ(m.cpu.GetRegister(1), expected) << std::hex << op << " " << v << " by " << std::dec << n;
          ASSERT_EQ(m.cpu.GetFR(), fr) << std::hex << op << " " << v << " by " << std::dec << n;
        }
}

// ---- Loads, stores, jumps ----

TEST(CpuLoadStore, LadComputesTheEffectiveAddressModulo65536) {
  Machine m;
  m.cpu.SetRegister(1, 0x0002);
  m.cpu.SetFR(5);
  m.Put(kAt, {Op(0x12, 1, 1), 0xFFFF});
  m.Step();
  EXPECT_EQ(m.cpu.GetRegister(1), 0x0001);
  EXPECT_EQ(m.cpu.GetFR(), 5);
}

TEST(CpuLoadStore, StoreWritesAndReportsOnlyWhileTracking) {
  for (bool tracking : {false, true}) {
    Machine m;
    RecordingHooks hooks;
    hooks.unAsmTracking = tracking;
    m.cpu.SetRegister(2, 0xBEEF);
    m.cpu.SetRegister(3, 0x0010);
    m.cpu.SetFR(6);
    m.Put(kAt, {Op(0x11, 2, 3), 0x0300});
    EXPECT_EQ(m.Step(&hooks), ExecStatus::Continue);
    EXPECT_EQ((*m.mem)[0x0310], 0xBEEF);
    EXPECT_EQ(m.cpu.GetFR(), 6);
    EXPECT_EQ(m.cpu.GetPR(), kAt + 2);
    EXPECT_TRUE(hooks.memoryChanged);
    EXPECT_EQ(hooks.stores, tracking ? std::vector<Word>{0x0310} : std::vector<Word>{});
  }
}

TEST(CpuJump, ConditionsOverEveryReachableFlagValue) {
  struct J {
    int op;
    bool (*taken)(Word fr);
  };
  const J jumps[] = {
      {0x61, [](Word fr) { return (fr & 2) != 0; }}, {0x62, [](Word fr) { return (fr & 1) == 0; }},
      {0x63, [](Word fr) { return (fr & 1) != 0; }}, {0x64, [](Word) { return true; }},
      {0x65, [](Word fr) { return (fr & 3) == 0; }}, {0x66, [](Word fr) { return (fr & 4) != 0; }},
  };
  for (const J& j : jumps)
    for (Word fr : {0, 1, 2, 4, 5, 6}) {
      Machine m;
      m.cpu.SetFR(fr);
      m.Put(kAt, {Op(j.op), 0x0456});
      m.Step();
      EXPECT_EQ(m.cpu.GetPR(), j.taken(fr) ? 0x0456 : kAt + 2) << std::hex << j.op << " fr " << fr;
      EXPECT_EQ(m.cpu.GetFR(), fr);
    }
}

TEST(CpuJump, IndexedJumpWraps) {
  Machine m;
  m.cpu.SetRegister(5, 0x0010);
  m.Put(kAt, {Op(0x64, 0, 5), 0xFFF8});
  m.Step();
  EXPECT_EQ(m.cpu.GetPR(), 0x0008);
}

// ---- Stack ----

TEST(CpuStack, PushOverflowTestAtTheLimit) {
  Machine m;
  m.cpu.SetStackLimit(0x0800);
  m.cpu.SetSP(0x0800);
  m.Put(kAt, {Op(0x70), 0x1234});
  EXPECT_EQ(m.Step(), ExecStatus::StackOverflow);
  EXPECT_EQ(m.cpu.GetSP(), 0x0800);
  EXPECT_EQ(m.cpu.GetPR(), kAt);
  EXPECT_EQ((*m.mem)[0x07FF], 0);

  m.cpu.SetSP(0x0801);
  RecordingHooks hooks;
  hooks.unAsmTracking = true;
  EXPECT_EQ(m.Step(&hooks), ExecStatus::Continue);
  EXPECT_EQ(m.cpu.GetSP(), 0x0800);
  EXPECT_EQ((*m.mem)[0x0800], 0x1234);
  EXPECT_EQ(m.cpu.GetPR(), kAt + 2);
  EXPECT_EQ(hooks.stores, std::vector<Word>{0x0800});
  EXPECT_TRUE(hooks.memoryChanged);
}

TEST(CpuStack, SpZeroAlwaysOverflows) {
  Machine m;
  m.cpu.SetStackLimit(0);
  m.cpu.SetSP(0);
  m.Put(kAt, {Op(0x80), 0x0400});
  EXPECT_EQ(m.Step(), ExecStatus::StackOverflow);
  EXPECT_EQ(m.cpu.GetPR(), kAt);
  EXPECT_EQ(m.cpu.GetSP(), 0);
}

TEST(CpuStack, PushPopCallRet) {
  Machine m;
  RecordingHooks hooks;
  m.cpu.SetStackLimit(0x1000);
  m.cpu.SetSP(0x2000);
  m.cpu.SetRegister(1, 0x0003);
  m.Put(kAt, {Op(0x70, 0, 1), 0x0005,  // PUSH 5,GR1 -> pushes 8
              Op(0x71, 6),             // POP GR6
              Op(0x80), 0x0300});      // CALL 0300H
  m.Put(0x0300, {Op(0x81)});
  m.Step(&hooks);
  EXPECT_EQ((*m.mem)[0x1FFF], 0x0008);
  m.Step(&hooks);
  EXPECT_EQ(m.cpu.GetRegister(6), 0x0008);
  EXPECT_EQ(m.cpu.GetSP(), 0x2000);
  EXPECT_EQ(m.cpu.GetPR(), kAt + 3);
  EXPECT_FALSE(hooks.callExecuted);
  m.Step(&hooks);
  EXPECT_TRUE(hooks.callExecuted);
  EXPECT_EQ(m.cpu.GetPR(), 0x0300);
  EXPECT_EQ(m.cpu.GetSP(), 0x1FFF);
  EXPECT_EQ((*m.mem)[0x1FFF], kAt + 5);
  EXPECT_FALSE(hooks.retExecuted);
  EXPECT_EQ(m.Step(&hooks), ExecStatus::Continue);
  EXPECT_TRUE(hooks.retExecuted);
  EXPECT_EQ(m.cpu.GetPR(), kAt + 5);
  EXPECT_EQ(m.cpu.GetSP(), 0x2000);
}

TEST(CpuStack, RetToEndAddressEndsTheProgram) {
  Machine m;
  RecordingHooks hooks;
  m.cpu.SetSP(0x3000);
  (*m.mem)[0x3000] = kProgramEndAddress;
  m.Put(kAt, {Op(0x81)});
  EXPECT_EQ(m.Step(&hooks), ExecStatus::ProgramEnd);
  EXPECT_EQ(m.cpu.GetPR(), 0xF000);
  EXPECT_EQ(m.cpu.GetSP(), 0x3001);
  EXPECT_FALSE(hooks.retExecuted);
}

TEST(CpuStack, PopAndRetHaveNoUnderflowTest) {
  Machine m;
  m.cpu.SetSP(0xFFFF);
  (*m.mem)[0xFFFF] = 0x0777;
  m.Put(kAt, {Op(0x71, 1)});
  m.Step();
  EXPECT_EQ(m.cpu.GetRegister(1), 0x0777);
  EXPECT_EQ(m.cpu.GetSP(), 0x0000);
}

TEST(CpuInitialize, PushesTheEndAddressOrRefuses) {
  auto mem = NewMemory();
  CCpu cpu;
  EXPECT_TRUE(cpu.Initialize(*mem, 0x0100, 0x0900, 0x0100));
  EXPECT_EQ(cpu.GetPR(), 0x0100);
  EXPECT_EQ(cpu.GetSP(), 0x08FF);
  EXPECT_EQ(cpu.GetStackLimit(), 0x0100);
  EXPECT_EQ((*mem)[0x08FF], 0xF000);

  CCpu full;
  EXPECT_FALSE(full.Initialize(*mem, 0x0200, 0x0500, 0x0500));
  EXPECT_EQ(full.GetPR(), 0x0200);
  EXPECT_EQ(full.GetSP(), 0x0500);
  EXPECT_EQ(full.GetStackLimit(), 0x0500);
  EXPECT_EQ((*mem)[0x04FF], 0);
}

// ---- SVC, NOP, undefined words, the open choices ----

// The rows refreshed after an input are those of the words it stored: the
// length word, then the characters (wrapping past FFFFH); none but the length
// word at the end of input.
TEST(CpuSvc, InputRefreshesPanesAndReportsTheWordsItStored) {
  struct Case {
    const char* line;
    std::vector<Word> refreshed;
  } cases[] = {{"AB", {0x0500, 0xFFFE, 0xFFFF}}, {"ABC", {0x0500, 0xFFFE, 0xFFFF, 0x0000}}, {"\x1A", {0x0500}}};
  for (const Case& c : cases) {
    Machine m;
    RecordingHooks hooks;
    hooks.unAsmTracking = true;
    hooks.goRunning = true;
    m.console.input.push_back(c.line);
    m.cpu.SetRegister(1, 0xFFFE);
    m.cpu.SetRegister(2, 0x0500);
    m.Put(kAt, {Op(0xF0), 0x0001});
    EXPECT_EQ(m.Step(&hooks), ExecStatus::Continue);
    EXPECT_EQ(m.cpu.GetPR(), kAt + 2);
    EXPECT_EQ(hooks.paneRefreshes, 1);
    EXPECT_EQ(hooks.refreshes, c.refreshed) << c.line;
    EXPECT_TRUE(hooks.memoryChanged);
  }
  Machine m;
  m.console.input.push_back("AB");
  m.cpu.SetRegister(1, 0xFFFE);
  m.cpu.SetRegister(2, 0x0500);
  m.Put(kAt, {Op(0xF0), 0x0001});
  m.Step(nullptr);
  EXPECT_EQ((*m.mem)[0xFFFE], 0x41);
  EXPECT_EQ((*m.mem)[0xFFFF], 0x42);
  EXPECT_EQ((*m.mem)[0x0500], 2);
}

TEST(CpuSvc, PaneRefreshSeesTheRegistersOfTheInputCall) {
  struct Peek : RecordingHooks {
    const CCpu* cpu = nullptr;
    Word seenPR = 0, seenGR3 = 0;
    void RefreshPanes() override {
      seenPR = cpu->GetPR();
      seenGR3 = cpu->GetRegister(3);
    }
  };
  Machine m;
  Peek hooks;
  hooks.cpu = &m.cpu;
  hooks.goRunning = true;
  m.Put(kAt, {Op(0x12, 3), 0x0042, Op(0xF0), 0x0001});
  m.Step(&hooks);
  m.Step(&hooks);
  EXPECT_EQ(hooks.seenPR, kAt + 2);
  EXPECT_EQ(hooks.seenGR3, 0x0042);
}

TEST(CpuSvc, OutputAndOtherNumbers) {
  Machine m;
  RecordingHooks hooks;
  m.Put(0x0300, {0x0048, 0x0049});
  (*m.mem)[0x0310] = 2;
  m.cpu.SetRegister(1, 0x0300);
  m.cpu.SetRegister(2, 0x0310);
  m.cpu.SetRegister(4, 0x0001);
  m.cpu.SetFR(4);
  m.Put(kAt, {Op(0xF0), 0x0002, Op(0xF0), 0x0003, Op(0xF0, 0, 4), 0x0000});  // SVC 2; SVC 3; SVC 0,GR4 = IN
  m.Step(&hooks);
  ASSERT_EQ(m.console.output.size(), 1u);
  EXPECT_EQ(m.console.output[0], "HI");
  EXPECT_FALSE(hooks.memoryChanged);
  m.Step(&hooks);
  EXPECT_EQ(m.cpu.GetPR(), kAt + 4);
  EXPECT_EQ(m.console.reads, 0);
  EXPECT_EQ(m.cpu.GetFR(), 4);
  m.Step(&hooks);  // the number is the effective address: 0 + GR4 = 1
  EXPECT_EQ(m.console.reads, 1);
  EXPECT_EQ((*m.mem)[0x0310], 0xFFFF);
}

TEST(CpuUndefined, LeavesEverythingAsItWas) {
  struct U {
    Word first;
    bool defined;
    int words;
  };
  const U words[] = {
      {0x0100, false, 0},                                                                // unknown code
      {0xFF00, false, 0},          {0x1300, false, 0},      {Op(0x10, 1, 8), false, 0},  // LD GR1,adr,x with x = 8
      {Op(0x10, 9, 0), false, 0},                                                        // r = 9
      {Op(0x14, 1, 15), false, 0}, {Op(0x71, 8), false, 0},                              // POP with r = 8
      {Op(0x64, 9, 0), true, 2},    // the unused r field of a jump is ignored
      {Op(0x81, 15, 15), true, 1},  // RET uses no field
      {Op(0x00, 12, 12), true, 1},  // NOP neither
  };
  for (const U& u : words) {
    SCOPED_TRACE(testing::Message() << std::hex << u.first);
    EXPECT_EQ(InstructionWords(u.first), u.words);
    if (u.defined) continue;
    Machine m;
    RecordingHooks hooks;
    m.cpu.SetRegister(1, 0x1111);
    m.cpu.SetFR(5);
    m.cpu.SetSP(0x4000);
    m.Put(kAt, {u.first, 0x0200});
    const auto before = m.cpu.Registers();
    EXPECT_EQ(m.Step(&hooks), ExecStatus::Continue);
    EXPECT_EQ(m.cpu.Registers(), before);
    EXPECT_FALSE(hooks.memoryChanged);
  }
}

TEST(CpuOpenChoices, InstructionAtFFFFReadsItsSecondWordAt0000) {
  Machine m;
  m.cpu.SetPR(0xFFFF);
  (*m.mem)[0xFFFF] = Op(0x12, 1);  // LAD GR1,adr
  (*m.mem)[0x0000] = 0x1234;
  m.Step();
  EXPECT_EQ(m.cpu.GetRegister(1), 0x1234);
  EXPECT_EQ(m.cpu.GetPR(), 0x0001);
}

TEST(CpuDecode, Fields) {
  EXPECT_EQ(CCpu::DecodeOp(0x12A7), 0x12);
  EXPECT_EQ(CCpu::DecodeR(0x12A7), 0x0A);
  EXPECT_EQ(CCpu::DecodeX(0x12A7), 0x07);
}

TEST(CpuConstruct, StartsZeroed) {
  CCpu cpu;
  for (Word w : cpu.Registers()) EXPECT_EQ(w, 0);
}

// ---- The plain-run loop and the debugger path execute the same machine ----

TEST(CpuRun, RunsASmallProgramToItsEnd) {
  // GR1 = 1 + 2 + ... + 100 by a loop, then RET to F000H.
  Machine m;
  ASSERT_TRUE(m.cpu.Initialize(*m.mem, kAt, 0x1000, 0x0F00));
  m.Put(kAt, {Op(0x12, 1), 0, Op(0x12, 2), 100,  // LAD GR1,0; LAD GR2,100
              Op(0x24, 1, 2),                    // L: ADDA GR1,GR2
              Op(0x12, 2, 2), 0xFFFF,            // LAD GR2,-1,GR2
              Op(0x14, 2, 2),                    // LD GR2,GR2
              Op(0x62), kAt + 4,                 // JNZ L
              Op(0x81)});
  const RunResult r = RunToEnd(m.cpu, *m.mem, m.console);
  EXPECT_EQ(r.stop, StopReason::ProgramEnd);
  EXPECT_EQ(r.status, ExecStatus::ProgramEnd);
  EXPECT_EQ(r.steps, 2u + 400u + 1u);
  EXPECT_EQ(m.cpu.GetRegister(1), 5050);
  EXPECT_EQ(m.cpu.GetPR(), 0xF000);
}

TEST(CpuRun, StopsAtLimitsOverflowsAndUndefinedWords) {
  {
    Machine m;
    m.Put(kAt, {Op(0x64), kAt});  // JUMP to itself
    const RunResult r = RunToEnd(m.cpu, *m.mem, m.console, 1000);
    EXPECT_EQ(r.stop, StopReason::StepLimit);
    EXPECT_EQ(r.steps, 1000u);
  }
  {
    Machine m;
    m.cpu.SetSP(0x0505);
    m.cpu.SetStackLimit(0x0503);
    m.Put(kAt, {Op(0x70), 1, Op(0x64), kAt});  // PUSH forever
    const RunResult r = RunToEnd(m.cpu, *m.mem, m.console);
    EXPECT_EQ(r.stop, StopReason::StackOverflow);
    EXPECT_EQ(r.steps, 2u * 2u);
    EXPECT_EQ(m.cpu.GetSP(), 0x0503);
    EXPECT_EQ(m.cpu.GetPR(), kAt);
  }
  {
    Machine m;
    m.Put(kAt, {Op(0x00), 0x0100});
    const RunResult r = RunToEnd(m.cpu, *m.mem, m.console);
    EXPECT_EQ(r.stop, StopReason::UndefinedWord);
    EXPECT_EQ(r.steps, 1u);
    EXPECT_EQ(m.cpu.GetPR(), kAt + 1);
  }
}

TEST(CpuRun, TurnPortIsAskedAndCanStop) {
  struct Turns : RunTurnPort {
    int n = 0;
    bool Turn() override { return ++n < 4; }
  } turns;
  Machine m;
  m.Put(kAt, {Op(0x64), kAt});
  const RunResult r = RunToEnd(m.cpu, *m.mem, m.console, 0, &turns, 10);
  EXPECT_EQ(r.stop, StopReason::EndedByUser);
  EXPECT_EQ(turns.n, 4);
  EXPECT_EQ(r.steps, 30u);

  // Inputs and outputs ask for a turn whatever the interval: OUT, IN, OUT, LAD, JUMP back.
  struct Count : RunTurnPort {
    int n = 0;
    bool Turn() override { return ++n < 7; }
  } count;
  Machine io;
  io.cpu.SetRegister(1, 0x0300);
  io.cpu.SetRegister(2, 0x0310);
  io.Put(kAt, {Op(0xF0), 2, Op(0xF0), 1, Op(0xF0), 2, Op(0x12, 3, 3), 1, Op(0x64), kAt});
  const RunResult rio = RunToEnd(io.cpu, *io.mem, io.console, 0, &count, 1000000);
  EXPECT_EQ(rio.stop, StopReason::EndedByUser);
  EXPECT_EQ(count.n, 7);  // before the first, then after OUT, IN, OUT, OUT, IN, OUT
  EXPECT_EQ(rio.steps, 3u + 2u + 3u);
  EXPECT_EQ(io.console.output.size(), 4u);
}

// Executes one instruction decoded afresh: the decode cache is dropped at PR
// first. A run of these is the reference for everything the cache must keep
// up to date with.
ExecStatus StepDecodedAfresh(Machine& m) {
  m.mem->InvalidateDecode(m.cpu.GetPR());
  return m.Step();
}

// Random memory executed four ways must leave identical machines: the step
// with hooks, the step without, the fast loop, and the step that decodes every
// instruction afresh. Random stores land in code all the time, so this also
// checks that the decode cache follows them.
TEST(CpuRun, AllPathsAgreeOnRandomMemory) {
  std::mt19937 rng(12345);
  const int validOps[] = {0x00, 0x10, 0x11, 0x12, 0x14, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,
                          0x30, 0x31, 0x32, 0x34, 0x35, 0x36, 0x40, 0x41, 0x44, 0x45, 0x50, 0x51, 0x52,
                          0x53, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x70, 0x71, 0x80, 0x81, 0xF0};
  std::uint64_t total = 0;
  for (int round = 0; round < 60; ++round) {
    Machine a, b, c, d;
    for (unsigned i = 0; i < kMemoryWords; ++i) {
      const unsigned r = rng();
      Word w = static_cast<Word>(r);
      if ((r >> 16) % 256 != 0) w = static_cast<Word>((validOps[(r >> 18) % std::size(validOps)] << 8) | (r & 0x77));
      (*a.mem)[i] = (*b.mem)[i] = (*c.mem)[i] = (*d.mem)[i] = w;
    }
    const Word start = static_cast<Word>(rng());
    for (Machine* m : {&a, &b, &c, &d}) {
      m->cpu.SetPR(start);
      m->cpu.SetSP(0x8000);
      m->cpu.SetStackLimit(0x0100);
      for (int k = 0; k < 8; ++k) m->cpu.SetRegister(k, static_cast<Word>(k * 0x1111));
    }
    RecordingHooks hooks;
    hooks.unAsmTracking = true;
    std::uint64_t executed = 0;
    ExecStatus last = ExecStatus::Continue;
    for (; executed < 20000; ++executed) {
      const Word pr = a.cpu.GetPR();
      const Word first = (*a.mem)[pr];
      last = a.cpu.Execute(*a.mem, a.console, nullptr);
      EXPECT_EQ(b.cpu.Execute(*b.mem, b.console, &hooks), last);
      EXPECT_EQ(StepDecodedAfresh(d), last);
      ASSERT_EQ(a.cpu.Registers(), b.cpu.Registers()) << "step " << executed << std::hex << " word " << first;
      ASSERT_EQ(a.cpu.Registers(), d.cpu.Registers()) << "step " << executed << std::hex << " word " << first;
      if (last != ExecStatus::Continue || (InstructionWords(first) == 0)) break;
    }
    total += executed;
    const RunResult r = RunToEnd(c.cpu, *c.mem, c.console, 20000);
    EXPECT_EQ(a.cpu.Registers(), b.cpu.Registers());
    EXPECT_EQ(a.cpu.Registers(), c.cpu.Registers()) << "round " << round << " stop " << int(r.stop);
    EXPECT_TRUE(*a.mem == *b.mem);
    EXPECT_TRUE(*a.mem == *c.mem);
    EXPECT_TRUE(*a.mem == *d.mem);
    EXPECT_EQ(a.console.output, c.console.output);
  }
  std::printf("random-memory differential: %llu instructions\n", static_cast<unsigned long long>(total));
  EXPECT_GT(total, 500u);  // the rounds must really run programs, not stop at once
}

// ---- Code that changes while it runs ----

// A program that rewrites its own code (by ST, PUSH, CALL, IN or an edit from
// the debugger between two instructions), run three ways: the plain run, the
// debugger's step with hooks, and the reference that decodes every instruction
// afresh. All three must agree, and the registers named must show that the
// rewritten code, not a stale decode of it, was executed.
struct ChangingCodeCase {
  const char* name;
  std::vector<std::pair<Word, std::vector<Word>>> words;  // address, words placed there; PR starts at 0100H
  Word sp = 0x0FFF;
  std::vector<Bytes> input = {};
  std::uint64_t steps = 1000;                     // run at most this many instructions
  std::uint64_t editAfter = 0;                    // 0, or: after this many, store editValue at editAddress
  Word editAddress = 0, editValue = 0;            //   (as the debugger's memory edit does)
  std::vector<std::pair<int, Word>> expect = {};  // GRn = value afterwards
  Word expectPR = kProgramEndAddress;
};

// The end address for the programs that end by RET: SP starts at 0FFFH.
const std::pair<Word, std::vector<Word>> kEndAddress = {0x0FFF, {kProgramEndAddress}};

const ChangingCodeCase kChangingCode[] = {
    {.name = "ST rewrites the address word of a decoded load (the word after an instruction)",
     .words = {{0x0100,
                {Op(0x12, 2), 5,          // LAD GR2,5
                 Op(0x12, 3), 0x0200,     // LAD GR3,0200H
                 Op(0x11, 3), 0x0107,     // L: ST GR3,0107H    (the LD's address word)
                 Op(0x10, 1), 0x0000,     // LD GR1,0000H       (loads 0200H, 0201H, ...)
                 Op(0x24, 4, 1),          // ADDA GR4,GR1
                 Op(0x12, 3, 3), 1,       // LAD GR3,1,GR3
                 Op(0x12, 2, 2), 0xFFFF,  // LAD GR2,-1,GR2
                 Op(0x14, 2, 2),          // LD GR2,GR2
                 Op(0x62), 0x0104,        // JNZ L
                 Op(0x81)}},              // RET
               {0x0200, {1, 2, 3, 4, 5}},
               kEndAddress},
     .expect = {{4, 15}, {1, 5}}},
    {.name = "ST replaces whole instruction words: ADDA and SUBA in turn, a NOP becomes a JUMP",
     .words = {{0x0100, {Op(0x12, 2),    4,                      // LAD GR2,4
                         Op(0x24, 4, 2),                         // L: ADDA GR4,GR2    (toggled with SUBA GR4,GR2)
                         Op(0x10, 1),    0x0102,                 // LD GR1,0102H
                         Op(0x32, 1),    0x0200,                 // XOR GR1,0200H      (0100H)
                         Op(0x11, 1),    0x0102,                 // ST GR1,0102H
                         Op(0x00),       0x0050,                 // NOP; NOP (0050H)   -> JUMP 0050H once patched
                         Op(0x10, 1),    0x0201,                 // LD GR1,0201H       (6400H: JUMP)
                         Op(0x11, 1),    0x0109,                 // ST GR1,0109H
                         Op(0x12, 2, 2), 0xFFFF,                 // M: LAD GR2,-1,GR2
                         Op(0x14, 2, 2),                         // LD GR2,GR2
                         Op(0x62),       0x0102,                 // JNZ L
                         Op(0x81)}},                             // RET
               {0x0050, {Op(0x12, 7, 7), 1, Op(0x64), 0x010F}},  // LAD GR7,1,GR7; JUMP M
               {0x0200, {0x0100, 0x6400}},
               kEndAddress},
     .expect = {{4, 4 - 3 + 2 - 1}, {7, 3}}},
    {.name = "PUSH overwrites a decoded one-word instruction",
     .words = {{0x0100,
                {Op(0x12, 2), 2,       // LAD GR2,2
                 Op(0x12, 3), 3,       // LAD GR3,3
                 Op(0x12, 6), 0x1443,  // LAD GR6,1443H      (LD GR4,GR3)
                 Op(0x64), 0x0110}},   // JUMP T
               {0x0110,
                {Op(0x14, 4, 2),       // T: LD GR4,GR2      (becomes LD GR4,GR3)
                 Op(0x24, 5, 4),       // ADDA GR5,GR4
                 Op(0x70, 0, 6), 0,    // PUSH 0,GR6         (the first one writes T)
                 Op(0x64), 0x0110}}},  // JUMP T
     .sp = 0x0111,
     .steps = 16,
     .expect = {{5, 2 + 3 + 3}},
     .expectPR = 0x0110},
    {.name = "CALL writes its return address over the address word of a decoded instruction",
     .words = {{0x0100,
                {Op(0x12, 1, 1), 1,   // L: LAD GR1,1,GR1   (then LAD GR1,0104H,GR1)
                 Op(0x80), 0x0110,    // CALL 0110H         (return address 0104H goes to 0101H)
                 Op(0x64), 0x0100}},  // JUMP L
               {0x0110, {Op(0x81)}}},
     .sp = 0x0102,
     .steps = 8,
     .expect = {{1, 1 + 0x0104}},
     .expectPR = 0x0100},
    {.name = "IN stores the line over decoded code and its length into an address word",
     .words = {{0x0100,
                {Op(0x12, 7), 2,       // LAD GR7,2
                 Op(0x12, 1), 0x0120,  // L: LAD GR1,0120H   (the buffer is code)
                 Op(0x12, 2), 0x010B,  // LAD GR2,010BH      (the length goes into the LAD below)
                 Op(0xF0), 1,          // SVC 1
                 Op(0x00), Op(0x00),   // NOP; NOP
                 Op(0x12, 5), 0x0000,  // LAD GR5,length
                 Op(0x64), 0x0120}},   // JUMP 0120H
               {0x0120,
                {Op(0x64), 0x0130,                               // JUMP 0130H         (becomes two NOPs: "AB")
                 Op(0x12, 4, 4), 1,                              // LAD GR4,1,GR4
                 Op(0x64), 0x0140}},                             // JUMP E
               {0x0130, {Op(0x12, 6, 6), 1, Op(0x64), 0x0140}},  // LAD GR6,1,GR6; JUMP E
               {0x0140, {Op(0x12, 7, 7), 0xFFFF, Op(0x14, 7, 7), Op(0x62), 0x0102, Op(0x81)}},  // E: count down
               kEndAddress},
     .input = {"", "AB"},
     .expect = {{5, 2}, {6, 1}, {4, 1}}},
    {.name = "end of input stores FFFFH over decoded code: an undefined word stops the run",
     .words = {{0x0100,
                {Op(0x12, 1), 0x0200,  // LAD GR1,0200H
                 Op(0x12, 2), 0x0107,  // LAD GR2,0107H      (the NOP below)
                 Op(0x00),             // NOP
                 Op(0xF0), 1,          // SVC 1
                 Op(0x00),             // NOP                (becomes FFFFH)
                 Op(0x64), 0x0104}}},  // JUMP back to the first NOP
     .input = {"X"},
     .expect = {{1, 0x0200}},
     .expectPR = 0x0107},
    {.name = "a memory edit between two instructions replaces a decoded one",
     .words = {{0x0100,
                {Op(0x12, 3, 3), 1,  // L: LAD GR3,1,GR3   (edited to LAD GR3,16,GR3 after 4 steps)
                 Op(0x64), 0x0100}}},
     .steps = 8,
     .editAfter = 4,
     .editAddress = 0x0101,
     .editValue = 16,
     .expect = {{3, 1 + 1 + 16 + 16}},
     .expectPR = 0x0100},
};

struct ChangingCodeRun {
  Machine m;
  std::uint64_t executed = 0;
  ExecStatus last = ExecStatus::Continue;
  explicit ChangingCodeRun(const ChangingCodeCase& c) {
    for (const auto& [at, words] : c.words) {
      Word a = at;
      for (Word w : words) (*m.mem)[a++] = w;
    }
    m.cpu.SetSP(c.sp);
    for (const Bytes& line : c.input) m.console.input.push_back(line);
  }
  void Edit(const ChangingCodeCase& c) { (*m.mem)[c.editAddress] = c.editValue; }
};

TEST(CpuChangingCode, EveryPathSeesTheRewrittenCode) {
  for (const ChangingCodeCase& c : kChangingCode) {
    SCOPED_TRACE(c.name);
    // The plain run, in two parts around the edit.
    ChangingCodeRun plain(c);
    const std::uint64_t first = c.editAfter ? c.editAfter : c.steps;
    RunResult r = RunToEnd(plain.m.cpu, *plain.m.mem, plain.m.console, first);
    plain.executed = r.steps;
    if (c.editAfter && r.stop == StopReason::StepLimit) {
      plain.Edit(c);
      r = RunToEnd(plain.m.cpu, *plain.m.mem, plain.m.console, c.steps - first);
      plain.executed += r.steps;
    }

    // One instruction at a time: with the debugger's hooks, and decoded afresh.
    for (bool afresh : {false, true}) {
      SCOPED_TRACE(afresh ? "decoded afresh" : "step with hooks");
      ChangingCodeRun step(c);
      RecordingHooks hooks;
      hooks.unAsmTracking = true;
      for (std::uint64_t n = 0; n < c.steps; ++n) {
        if (c.editAfter && n == c.editAfter) step.Edit(c);
        const Word first = (*step.m.mem)[step.m.cpu.GetPR()];
        step.last = afresh ? StepDecodedAfresh(step.m) : step.m.Step(&hooks);
        if (InstructionWords(first) == 0) break;  // undefined: does not count
        ++step.executed;
        if (step.last != ExecStatus::Continue) break;
      }
      EXPECT_EQ(step.executed, plain.executed);
      EXPECT_EQ(step.m.cpu.Registers(), plain.m.cpu.Registers());
      EXPECT_TRUE(*step.m.mem == *plain.m.mem);
      EXPECT_EQ(step.m.console.reads, plain.m.console.reads);
    }
    for (const auto& [n, value] : c.expect) EXPECT_EQ(plain.m.cpu.GetRegister(n), value) << "GR" << n;
    EXPECT_EQ(plain.m.cpu.GetPR(), c.expectPR);
  }
}

}  // namespace
}  // namespace tolvane::test
