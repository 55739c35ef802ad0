// The loop the predecoding engine replaced, kept as the baseline of the machine
// benchmarks (see BaselineLoop.h). Apart from this namespace and the memory type
// of the supervisor calls, the code is as it was.
#include "BaselineLoop.h"

#include <limits>

#define BASELINE_ALWAYS_INLINE inline __attribute__((always_inline))

namespace tolvane::baseline {

// Supervisor calls 1 and 2, over the plain array.
void SvcIn(CCpu&, BaselineMemory& memory, ConsolePort& console, Word gr1, Word gr2) {
  const Bytes line = console.ConsoleReadLine();
  if (line.find('\x1A') != Bytes::npos) {
    memory[gr2] = kEndOfInput;
    return;
  }
  const std::size_t n = line.size() < kInputLimit ? line.size() : kInputLimit;
  for (std::size_t i = 0; i < n; ++i)
    memory[static_cast<Word>(gr1 + i)] = static_cast<Word>(static_cast<std::int8_t>(line[i]));
  memory[gr2] = static_cast<Word>(n);
}

void SvcOut(CCpu&, BaselineMemory& memory, ConsolePort& console, Word gr1, Word gr2) {
  const int length = static_cast<std::int16_t>(memory[gr2]);
  const int n = length < static_cast<int>(kOutputLimit) ? length : static_cast<int>(kOutputLimit);
  Bytes line;
  for (int i = 0; i < n; ++i) {
    const char c = static_cast<char>(memory[static_cast<Word>(gr1 + i)] & 0xFF);
    if (c == '\0') break;
    line.push_back(c);
  }
  console.ConsoleWrite(line);
}

// InputServed: the instruction was an IN and completed; the program may go on,
// but the user had the console meanwhile, so a loop that runs many instructions
// between looks at its owner's stop flags gives its owner that look now.
enum class StepResult : std::uint8_t { Continue, ProgramEnd, StackOverflow, Undefined, InputServed };

// Per operation code: 0 = undefined, else length (1/2) | kUsesR | kUsesX.
enum : std::uint8_t { kLen1 = 1, kLen2 = 2, kLenMask = 3, kUsesR = 4, kUsesX = 8 };

constexpr std::array<std::uint8_t, 256> MakeOpInfo() {
  std::array<std::uint8_t, 256> t{};
  const std::uint8_t rx2 = kLen2 | kUsesR | kUsesX;  // r,adr,x
  const std::uint8_t x2 = kLen2 | kUsesX;            // adr,x
  const std::uint8_t rr1 = kLen1 | kUsesR | kUsesX;  // r1,r2
  t[0x00] = kLen1;
  t[0x10] = t[0x11] = t[0x12] = rx2;
  t[0x14] = rr1;
  for (int op = 0x20; op <= 0x23; ++op) t[op] = rx2;
  for (int op = 0x24; op <= 0x27; ++op) t[op] = rr1;
  t[0x30] = t[0x31] = t[0x32] = rx2;
  t[0x34] = t[0x35] = t[0x36] = rr1;
  t[0x40] = t[0x41] = rx2;
  t[0x44] = t[0x45] = rr1;
  for (int op = 0x50; op <= 0x53; ++op) t[op] = rx2;
  for (int op = 0x61; op <= 0x66; ++op) t[op] = x2;
  t[0x70] = x2;
  t[0x71] = kLen1 | kUsesR;
  t[0x80] = x2;
  t[0x81] = kLen1;
  t[0xF0] = x2;
  return t;
}
inline constexpr std::array<std::uint8_t, 256> kOpInfo = MakeOpInfo();

// ZF/SF of a result: ZF for 0, SF for bit 15 set.
BASELINE_ALWAYS_INLINE Word ZeroSign(Word v) { return static_cast<Word>((v == 0) | ((v >> 14) & 2)); }

// OF set or cleared, then SF/ZF from v. Setting OF sets bit 2 only; clearing it
// masks FR to bits 0-1.
BASELINE_ALWAYS_INLINE Word FlagsWithOverflow(Word fr, bool of, Word v) {
  return of ? static_cast<Word>((fr & ~3) | kFlagOF | ZeroSign(v)) : ZeroSign(v);
}

// Push with the overflow test: SP - 1 < StackLimit, in full integers.
BASELINE_ALWAYS_INLINE bool WouldOverflow(Word sp, Word limit) {
  return static_cast<int>(sp) - 1 < static_cast<int>(limit);
}

// Shift by n (0-65535) as n one-bit steps, closed form. Returns the new FR.
BASELINE_ALWAYS_INLINE Word Shift(int op, Word& v, Word fr, unsigned n) {
  if (n == 0) return static_cast<Word>((fr & ~3) | ZeroSign(v));
  const unsigned x = v;
  unsigned result;
  bool of;
  switch (op) {
    case 0x50: {  // SLA: bit 14 leaves each step; the sign is put back at the end
      of = n <= 15 ? ((x >> (15 - n)) & 1) : false;
      result = (n <= 15 ? ((x << n) & 0x7FFF) : 0) | (x & 0x8000);
      break;
    }
    case 0x51: {  // SRA: bit 0 leaves; the sign is copied in each step
      const unsigned k = n <= 15 ? n : 15;
      of = (x >> (n - 1 <= 15 ? n - 1 : 15)) & 1;
      result = static_cast<Word>(static_cast<std::int16_t>(x) >> k);
      break;
    }
    case 0x52:  // SLL: bit 15 leaves
      of = n <= 16 ? ((x >> (16 - n)) & 1) : false;
      result = n <= 15 ? ((x << n) & 0xFFFF) : 0;
      break;
    default:  // 0x53 SRL: bit 0 leaves
      of = n <= 16 ? ((x >> (n - 1)) & 1) : false;
      result = n <= 15 ? (x >> n) : 0;
      break;
  }
  v = static_cast<Word>(result);
  return FlagsWithOverflow(fr, of, v);
}

// Copies the local registers out to / back from the register file.
inline void SyncOut(const Word* g, Word fr, Word pr, Word sp, Word limit, CCpu& cpu) {
  auto& a = cpu.Registers();
  for (int i = 0; i < 8; ++i) a[i] = g[i];
  a[CCpu::kFR] = fr;
  a[CCpu::kPR] = pr;
  a[CCpu::kSP] = sp;
  a[CCpu::kStackLimit] = limit;
}

inline void SyncIn(Word* g, Word& fr, Word& pr, Word& sp, Word& limit, const CCpu& cpu) {
  const auto& a = cpu.Registers();
  for (int i = 0; i < 8; ++i) g[i] = a[i];
  fr = a[CCpu::kFR];
  pr = a[CCpu::kPR];
  sp = a[CCpu::kSP];
  limit = a[CCpu::kStackLimit];
}

// Executes one instruction. `cpu` is the register file the local registers were
// loaded from; it is brought up to date before the console or the debugger is
// called, and read back afterwards. The registers come as separate scalars and
// an array so that, inlined into a loop over local variables, PR, SP and FR stay
// in machine registers.
template <bool kHooks>
BASELINE_ALWAYS_INLINE StepResult StepOnce(Word* const g, Word& fr, Word& pr, Word& sp, Word& limit,
                                           BaselineMemory& memory, CCpu& cpu, ConsolePort& console,
                                           MachineHooks* hooks) {
  Word* const mem = memory.data();
  const Word w = mem[pr];
  const Word adr = mem[static_cast<Word>(pr + 1)];
  const unsigned op = w >> 8;
  const unsigned ri = (w >> 4) & 0x0F;
  const unsigned xi = w & 0x0F;

  if ((w & 0x0088) != 0) [[unlikely]] {
    const std::uint8_t info = kOpInfo[op];
    if (((info & kUsesR) && ri >= 8) || ((info & kUsesX) && xi >= 8)) return StepResult::Undefined;
  }
  // Only evaluated by instructions that use x, so xi < 8 there.
  auto ea = [&]() -> Word { return static_cast<Word>(adr + (xi ? g[xi & 7] : 0)); };
  Word& gr = g[ri & 7];
  Word& gr2 = g[xi & 7];

  switch (op) {
    case 0x00:  // NOP
      pr = static_cast<Word>(pr + 1);
      return StepResult::Continue;
    case 0x10:  // LD r,adr,x
      gr = mem[ea()];
      fr = ZeroSign(gr);
      pr = static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x11: {  // ST
      const Word a = ea();
      mem[a] = gr;
      pr = static_cast<Word>(pr + 2);
      if constexpr (kHooks) {
        if (hooks->unAsmTracking) hooks->UnAsmStoreAt(a);
        hooks->memoryChanged = true;
      }
      return StepResult::Continue;
    }
    case 0x12:  // LAD
      gr = ea();
      pr = static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x14:  // LD r1,r2
      gr = gr2;
      fr = ZeroSign(gr);
      pr = static_cast<Word>(pr + 1);
      return StepResult::Continue;

    case 0x20:
    case 0x24: {  // ADDA
      const Word a = gr;
      const Word b = op == 0x20 ? mem[ea()] : gr2;
      const Word s = static_cast<Word>(a + b);
      gr = s;
      fr = FlagsWithOverflow(fr, ((a ^ s) & (b ^ s) & 0x8000) != 0, s);
      pr = static_cast<Word>(pr + (op == 0x20 ? 2 : 1));
      return StepResult::Continue;
    }
    case 0x21:
    case 0x25: {  // SUBA
      const Word a = gr;
      const Word b = op == 0x21 ? mem[ea()] : gr2;
      const Word s = static_cast<Word>(a - b);
      gr = s;
      fr = FlagsWithOverflow(fr, ((a ^ b) & (a ^ s) & 0x8000) != 0, s);
      pr = static_cast<Word>(pr + (op == 0x21 ? 2 : 1));
      return StepResult::Continue;
    }
    case 0x22:
    case 0x26: {  // ADDL
      const Word a = gr;
      const Word b = op == 0x22 ? mem[ea()] : gr2;
      const Word s = static_cast<Word>(a + b);
      gr = s;
      fr = FlagsWithOverflow(fr, s < a, s);
      pr = static_cast<Word>(pr + (op == 0x22 ? 2 : 1));
      return StepResult::Continue;
    }
    case 0x23:
    case 0x27: {  // SUBL
      const Word a = gr;
      const Word b = op == 0x23 ? mem[ea()] : gr2;
      const Word s = static_cast<Word>(a - b);
      gr = s;
      fr = FlagsWithOverflow(fr, a < b, s);
      pr = static_cast<Word>(pr + (op == 0x23 ? 2 : 1));
      return StepResult::Continue;
    }

    case 0x30:  // AND
      gr &= mem[ea()];
      fr = ZeroSign(gr);
      pr = static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x31:  // OR
      gr |= mem[ea()];
      fr = ZeroSign(gr);
      pr = static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x32:  // XOR
      gr ^= mem[ea()];
      fr = ZeroSign(gr);
      pr = static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x34:
      gr &= gr2;
      fr = ZeroSign(gr);
      pr = static_cast<Word>(pr + 1);
      return StepResult::Continue;
    case 0x35:
      gr |= gr2;
      fr = ZeroSign(gr);
      pr = static_cast<Word>(pr + 1);
      return StepResult::Continue;
    case 0x36:
      gr ^= gr2;
      fr = ZeroSign(gr);
      pr = static_cast<Word>(pr + 1);
      return StepResult::Continue;

    case 0x40:
    case 0x44: {  // CPA: signed compare; OF cleared
      const int a = static_cast<std::int16_t>(gr);
      const int b = static_cast<std::int16_t>(op == 0x40 ? mem[ea()] : gr2);
      fr = a > b ? 0 : a == b ? kFlagZF : kFlagSF;
      pr = static_cast<Word>(pr + (op == 0x40 ? 2 : 1));
      return StepResult::Continue;
    }
    case 0x41:
    case 0x45: {  // CPL: unsigned compare
      const unsigned a = gr;
      const unsigned b = op == 0x41 ? mem[ea()] : gr2;
      fr = a > b ? 0 : a == b ? kFlagZF : kFlagSF;
      pr = static_cast<Word>(pr + (op == 0x41 ? 2 : 1));
      return StepResult::Continue;
    }

    case 0x50:
    case 0x51:
    case 0x52:
    case 0x53:
      fr = Shift(static_cast<int>(op), gr, fr, ea());
      pr = static_cast<Word>(pr + 2);
      return StepResult::Continue;

    case 0x61:  // JMI
      pr = (fr & kFlagSF) ? ea() : static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x62:  // JNZ
      pr = !(fr & kFlagZF) ? ea() : static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x63:  // JZE
      pr = (fr & kFlagZF) ? ea() : static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x64:  // JUMP
      pr = ea();
      return StepResult::Continue;
    case 0x65:  // JPL
      pr = !(fr & (kFlagSF | kFlagZF)) ? ea() : static_cast<Word>(pr + 2);
      return StepResult::Continue;
    case 0x66:  // JOV
      pr = (fr & kFlagOF) ? ea() : static_cast<Word>(pr + 2);
      return StepResult::Continue;

    case 0x70: {  // PUSH
      if (WouldOverflow(sp, limit)) return StepResult::StackOverflow;
      const Word v = ea();
      sp = static_cast<Word>(sp - 1);
      mem[sp] = v;
      pr = static_cast<Word>(pr + 2);
      if constexpr (kHooks) {
        if (hooks->unAsmTracking) hooks->UnAsmStoreAt(sp);
        hooks->memoryChanged = true;
      }
      return StepResult::Continue;
    }
    case 0x71:  // POP
      gr = mem[sp];
      sp = static_cast<Word>(sp + 1);
      pr = static_cast<Word>(pr + 1);
      return StepResult::Continue;
    case 0x80: {  // CALL
      if (WouldOverflow(sp, limit)) return StepResult::StackOverflow;
      const Word target = ea();
      sp = static_cast<Word>(sp - 1);
      mem[sp] = static_cast<Word>(pr + 2);
      pr = target;
      if constexpr (kHooks) {
        if (hooks->unAsmTracking) hooks->UnAsmStoreAt(sp);
        hooks->memoryChanged = true;
        hooks->callExecuted = true;
      }
      return StepResult::Continue;
    }
    case 0x81:  // RET
      pr = mem[sp];
      sp = static_cast<Word>(sp + 1);
      if (pr == kProgramEndAddress) return StepResult::ProgramEnd;
      if constexpr (kHooks) hooks->retExecuted = true;
      return StepResult::Continue;

    case 0xF0: {  // SVC
      const Word number = ea();
      if (number == 1) {
        SyncOut(g, fr, pr, sp, limit, cpu);
        if constexpr (kHooks) {
          if (hooks->goRunning) hooks->RefreshPanes();
        }
        const Word g1 = cpu.GetRegister(1), g2 = cpu.GetRegister(2);
        SvcIn(cpu, memory, console, g1, g2);
        if constexpr (kHooks) {
          if (hooks->unAsmTracking) {
            hooks->UnAsmRefreshAt(g2);
            for (unsigned i = 0; i < kInputLimit; ++i) hooks->UnAsmRefreshAt(static_cast<Word>(g1 + i));
          }
          hooks->memoryChanged = true;
        }
        SyncIn(g, fr, pr, sp, limit, cpu);
        pr = static_cast<Word>(pr + 2);
        return StepResult::InputServed;
      } else if (number == 2) {
        SyncOut(g, fr, pr, sp, limit, cpu);
        SvcOut(cpu, memory, console, cpu.GetRegister(1), cpu.GetRegister(2));
        SyncIn(g, fr, pr, sp, limit, cpu);
      }
      pr = static_cast<Word>(pr + 2);
      return StepResult::Continue;
    }
    default:
      return StepResult::Undefined;
  }
}

ExecStatus Execute(CCpu& cpu, BaselineMemory& memory, ConsolePort& console, MachineHooks* hooks) {
  Word g[8], fr, pr, sp, limit;
  SyncIn(g, fr, pr, sp, limit, cpu);
  const StepResult s = hooks ? StepOnce<true>(g, fr, pr, sp, limit, memory, cpu, console, hooks)
                             : StepOnce<false>(g, fr, pr, sp, limit, memory, cpu, console, nullptr);
  SyncOut(g, fr, pr, sp, limit, cpu);
  switch (s) {
    case StepResult::ProgramEnd:
      return ExecStatus::ProgramEnd;
    case StepResult::StackOverflow:
      return ExecStatus::StackOverflow;
    default:
      return ExecStatus::Continue;
  }
}

RunResult RunToEnd(CCpu& cpu, BaselineMemory& memory, ConsolePort& console, std::uint64_t maxSteps, RunTurnPort* turn,
                   std::uint32_t turnInterval) {
  RunResult result;
  const std::uint64_t limit = maxSteps ? maxSteps : std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t interval = turn ? (turnInterval ? turnInterval : 1) : limit;
  std::uint64_t steps = 0;
  Word g[8], fr, pr, sp, lim;
  SyncIn(g, fr, pr, sp, lim, cpu);
  for (;;) {
    if (turn) {
      SyncOut(g, fr, pr, sp, lim, cpu);
      if (!turn->Turn()) {
        result.stop = StopReason::EndedByUser;
        break;
      }
      SyncIn(g, fr, pr, sp, lim, cpu);
    }
    if (steps >= limit) {
      result.stop = StopReason::StepLimit;
      break;
    }
    std::uint64_t chunk = limit - steps < interval ? limit - steps : interval;
    StepResult s = StepResult::Continue;
    std::uint64_t done = 0;
    while (done < chunk) {
      s = StepOnce<false>(g, fr, pr, sp, lim, memory, cpu, console, nullptr);
      if (s != StepResult::Continue) [[unlikely]]
        break;
      ++done;
    }
    // After an input the owner looks at its stop flags before the next instruction.
    if (s == StepResult::InputServed) ++done;
    steps += done;
    if (s == StepResult::ProgramEnd) {
      ++steps;
      result.stop = StopReason::ProgramEnd;
      result.status = ExecStatus::ProgramEnd;
      break;
    }
    if (s == StepResult::StackOverflow) {
      result.stop = StopReason::StackOverflow;
      result.status = ExecStatus::StackOverflow;
      break;
    }
    if (s == StepResult::Undefined) {
      result.stop = StopReason::UndefinedWord;
      break;
    }
  }
  SyncOut(g, fr, pr, sp, lim, cpu);
  result.steps = steps;
  return result;
}

ExecStatus RunHooked(CCpu& cpu, BaselineMemory& memory, ConsolePort& console, MachineHooks& hooks,
                     const std::bitset<kMemoryWords>& stopAt, const bool& stopFlag1, const bool& stopFlag2,
                     unsigned limit, unsigned& executed) {
  // The registers stay in locals between instructions, as in RunToEnd; the step
  // brings the register file up to date before it calls out (console, store
  // hooks) and reads it back afterwards.
  Word g[8], fr, pr, sp, stackLimit;
  SyncIn(g, fr, pr, sp, stackLimit, cpu);
  StepResult s = StepResult::Continue;
  unsigned n = 0;
  while (n < limit) {
    s = StepOnce<true>(g, fr, pr, sp, stackLimit, memory, cpu, console, &hooks);
    ++n;
    if (s != StepResult::Continue) [[unlikely]]
      break;
    if (stopAt[pr]) [[unlikely]]
      break;
    if (stopFlag1 | stopFlag2) [[unlikely]]
      break;
  }
  SyncOut(g, fr, pr, sp, stackLimit, cpu);
  executed = n;
  if (s == StepResult::ProgramEnd) return ExecStatus::ProgramEnd;
  if (s == StepResult::StackOverflow) return ExecStatus::StackOverflow;
  return ExecStatus::Continue;
}

}  // namespace tolvane::baseline
