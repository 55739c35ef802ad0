#pragma once
// The instruction engine shared by CCpu::Execute, the plain run and the
// debugger's continuous run. Internal to the machine library.
//
// Every instruction is decoded once into the memory's decode cache (handler,
// register, index register, address word) and executed from there until a
// store drops the decode (see Memory). An instruction with an address operand
// gets one of two handlers, direct (x = 0) or indexed, so that the common
// direct form does no index arithmetic at all. Dispatch is threaded: each handler ends
// by jumping straight to the handler of the next instruction, so there is no
// central switch whose single indirect jump mispredicts. One step budget bounds
// every run: a handler counts itself against it before the next jump.
//
// GR0-GR7 are used in place in the register file. FR, PR, SP and the stack
// limit are worked on as local copies so that stores into memory, which are
// 16-bit words like the registers, cannot force the compiler to reload them;
// the copies are written back to the CCpu before anything outside the machine
// (console, debugger) can look at it.
#include <array>
#include <bitset>
#include <cstdint>

#include "common/InstructionSet.h"
#include "machine/Cpu.h"
#include "machine/Memory.h"
#include "machine/StepJournal.h"
#include "machine/Svc.h"

#if !defined(__GNUC__)
#error "the instruction engine dispatches through label addresses (GCC or Clang)"
#endif
#define TOLVANE_ALWAYS_INLINE inline __attribute__((always_inline))

namespace tolvane::machine_detail {

// The machine's own access to the words and decodes behind Memory.
struct MemoryAccess {
  static Word* Words(Memory& m) { return m.words_.data(); }
  // For the engine, which fills the cache.
  static Decoded* Decodes(Memory& m) {
    m.decodesClean_ = false;
    return m.decoded_.get();
  }
};

// The operations the machine executes, each with its operation code: those
// with an address operand (adr[,x]) and the others. Their operand forms and
// lengths come from the instruction table; a compile-time check below keeps
// these lists and the table's machine rows the same.
// clang-format off
#define TOLVANE_ADDRESS_OPERATIONS(X)                                            \
  X(Ld, 0x10) X(St, 0x11) X(Lad, 0x12)                                           \
  X(Adda, 0x20) X(Suba, 0x21) X(Addl, 0x22) X(Subl, 0x23)                        \
  X(And, 0x30) X(Or, 0x31) X(Xor, 0x32) X(Cpa, 0x40) X(Cpl, 0x41)                \
  X(Sla, 0x50) X(Sra, 0x51) X(Sll, 0x52) X(Srl, 0x53)                            \
  X(Jmi, 0x61) X(Jnz, 0x62) X(Jze, 0x63) X(Jump, 0x64) X(Jpl, 0x65) X(Jov, 0x66) \
  X(Push, 0x70) X(Call, 0x80) X(Svc, 0xF0)
#define TOLVANE_OTHER_OPERATIONS(X)                                              \
  X(Nop, 0x00) X(LdR, 0x14)                                                      \
  X(AddaR, 0x24) X(SubaR, 0x25) X(AddlR, 0x26) X(SublR, 0x27)                    \
  X(AndR, 0x34) X(OrR, 0x35) X(XorR, 0x36) X(CpaR, 0x44) X(CplR, 0x45)           \
  X(Pop, 0x71) X(Ret, 0x81)
// clang-format on

enum class Handler : std::uint8_t {
  NotDecoded = 0,  // a zeroed cache entry
  Undefined,       // unknown operation code, or a used register field of 8-15
#define TOLVANE_X(name, code) name, name##Indexed,
  TOLVANE_ADDRESS_OPERATIONS(TOLVANE_X)
#undef TOLVANE_X
#define TOLVANE_X(name, code) name,
      TOLVANE_OTHER_OPERATIONS(TOLVANE_X)
#undef TOLVANE_X
          Count
};

// The direct handler of each operation code; the indexed one follows it.
inline constexpr std::array<Handler, 256> kHandlerOfCode = [] {
  std::array<Handler, 256> t{};
  for (auto& h : t) h = Handler::Undefined;
#define TOLVANE_X(name, code) t[code] = Handler::name;
  TOLVANE_ADDRESS_OPERATIONS(TOLVANE_X)
  TOLVANE_OTHER_OPERATIONS(TOLVANE_X)
#undef TOLVANE_X
  return t;
}();

inline constexpr std::array<bool, 256> kHasAddressOperand = [] {
  std::array<bool, 256> t{};
#define TOLVANE_X(name, code) t[code] = true;
  TOLVANE_ADDRESS_OPERATIONS(TOLVANE_X)
#undef TOLVANE_X
  return t;
}();

static_assert(
    [] {
      for (unsigned code = 0; code < 256; ++code) {
        const int row = MachineIndex(code);
        if ((row >= 0) != (kHandlerOfCode[code] != Handler::Undefined)) return false;
        if (row >= 0 && kHasAddressOperand[code] != (kInstructionSet[row].words == 2)) return false;
      }
      return true;
    }(),
    "every machine instruction of the table needs a handler of its form, and every handler a row");

// What decoding needs to know of an operation code, from the instruction table.
struct DecodeInfo {
  Handler handler = Handler::Undefined;
  bool usesR = false;
  bool usesX = false;
  bool address = false;  // x is an index register (adr[,x]), not r2
};
inline constexpr std::array<DecodeInfo, 256> kDecodeInfo = [] {
  std::array<DecodeInfo, 256> t{};
  for (unsigned code = 0; code < 256; ++code) {
    const int row = MachineIndex(code);
    if (row < 0) continue;
    const OperandForm form = kInstructionSet[row].form;
    t[code] = {kHandlerOfCode[code], UsesR(form), UsesX(form), kHasAddressOperand[code]};
  }
  return t;
}();

// Decodes the instruction at `a` into its cache entry. The word after it is
// taken as the address word whatever the length; one-word instructions ignore it.
TOLVANE_ALWAYS_INLINE void Decode(Decoded* dc, const Word* mem, Word a) {
  const InstructionFields f = DecodeFields(mem[a]);
  const DecodeInfo info = kDecodeInfo[f.op];
  Decoded d;
  if ((info.usesR && f.r >= 8) || (info.usesX && f.x >= 8)) {
    d.handler = Handler::Undefined;
  } else if (info.address && f.x != 0) {
    d.handler = static_cast<Handler>(static_cast<std::uint8_t>(info.handler) + 1);  // the indexed twin
  } else {
    d.handler = info.handler;
  }
  // Fields an instruction does not use may hold anything; they stay inside GR0-GR7.
  d.r = f.r & 7;
  d.x = f.x & 7;
  d.readsNext = info.address && d.handler != Handler::Undefined;
  d.adr = mem[static_cast<Word>(a + 1)];
  dc[a] = d;
}

// Why a run of the engine returned.
enum class Exit : std::uint8_t {
  Budget,         // the step budget is spent
  ProgramEnd,     // RET to F000H
  StackOverflow,  // PUSH/CALL refused; PR addresses it; not counted
  Undefined,      // undefined instruction at PR; nothing done; not counted
  InputServed,    // an IN completed: the owner looks at its stop flags before going on
  OutputServed,   // (plain mode) an OUT completed: the owner may want its turn (outputs are slow)
  Stopped,        // (stop mode) PR reached a stop address, or a stop flag was set by a call-out
};

// ZF/SF of a result: ZF for 0, SF for bit 15 set.
TOLVANE_ALWAYS_INLINE Word ZeroSign(Word v) { return static_cast<Word>((v == 0) | ((v >> 14) & 2)); }

// OF set or cleared, then SF/ZF from v. Setting OF sets bit 2 only; clearing it
// masks FR to bits 0-1.
TOLVANE_ALWAYS_INLINE Word FlagsWithOverflow(Word fr, bool of, Word v) {
  return of ? static_cast<Word>((fr & ~3) | kFlagOF | ZeroSign(v)) : ZeroSign(v);
}

// Push with the overflow test: SP - 1 < StackLimit, in full integers.
TOLVANE_ALWAYS_INLINE bool WouldOverflow(Word sp, Word limit) {
  return static_cast<int>(sp) - 1 < static_cast<int>(limit);
}

// Shift by n (0-65535) as n one-bit steps, closed form. Returns the new FR.
TOLVANE_ALWAYS_INLINE Word Shift(int op, Word& v, Word fr, unsigned n) {
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
TOLVANE_ALWAYS_INLINE void SyncOut(Word fr, Word pr, Word sp, Word limit, CCpu& cpu) {
  cpu.SetFR(fr);
  cpu.SetPR(pr);
  cpu.SetSP(sp);
  cpu.SetStackLimit(limit);
}

TOLVANE_ALWAYS_INLINE void SyncIn(Word& fr, Word& pr, Word& sp, Word& limit, const CCpu& cpu) {
  fr = cpu.GetFR();
  pr = cpu.GetPR();
  sp = cpu.GetSP();
  limit = cpu.GetStackLimit();
}

// Where a stop-mode run looks after every instruction (stopAt) and after every
// call-out to the console or the debugger (the flags).
struct StopConditions {
  const std::bitset<kMemoryWords>* stopAt = nullptr;
  const bool* flag1 = nullptr;
  const bool* flag2 = nullptr;
};

// Executes instructions from PR until `budget` (at least 1) instructions have
// completed or something in Exit happens. `executed` receives the number of
// completed instructions (an overflowing or undefined one does not complete).
// kHooks: the debugger's hooks are called and its flags set; kStops: the
// conditions in `stops` end the run after an instruction.
template <bool kHooks, bool kStops>
Exit RunEngine(CCpu& cpu, Memory& memory, ConsolePort& console, MachineHooks* hooks, const StopConditions& stops,
               std::uint64_t budget, std::uint64_t& executed) {
  // clang-format off
  static const void* const kLabels[] = {
      &&L_NotDecoded,
      &&L_Undefined,
#define TOLVANE_X(name, code) &&L_##name, &&L_##name##Indexed,
      TOLVANE_ADDRESS_OPERATIONS(TOLVANE_X)
#undef TOLVANE_X
#define TOLVANE_X(name, code) &&L_##name,
      TOLVANE_OTHER_OPERATIONS(TOLVANE_X)
#undef TOLVANE_X
  };
  // clang-format on
  static_assert(std::size(kLabels) == static_cast<std::size_t>(Handler::Count));

  Word* const mem = MemoryAccess::Words(memory);
  Decoded* const dc = MemoryAccess::Decodes(memory);
  Word* const g = cpu.Registers().data();  // GR0-GR7
  const std::uint64_t initialBudget = budget;
  // Held here, not read through `stops` after every instruction.
  const std::bitset<kMemoryWords>* const stopAt = stops.stopAt;
  Word fr, pr, sp, limit;
  SyncIn(fr, pr, sp, limit, cpu);
  const Decoded* e;  // the instruction being executed
  Exit exit;
  // With a journal, every word written leaves its old value there, and the
  // journal may take a checkpoint of the registers now (see StepJournal).
  StepJournal* const journal = kHooks ? hooks->journal : nullptr;
  if constexpr (kHooks) {
    if (journal) journal->Enter(cpu);
  }
  // The old values of the words this run writes, collected here and handed to
  // the journal in bulk (before anything else could write to it).
  constexpr unsigned kStoresKept = kHooks ? 256 : 1;
  StepJournal::StoreRecord stored[kStoresKept];
  unsigned storedCount = 0;
#define TOLVANE_JOURNAL_FLUSH()              \
  do {                                       \
    if constexpr (kHooks) {                  \
      if (storedCount) {                     \
        journal->Store(stored, storedCount); \
        storedCount = 0;                     \
      }                                      \
    }                                        \
  } while (0)
  // The owner sets tracking and the log before a run and changes neither while
  // the machine runs on (a call-out that ends the program also ends this run).
  StoreLog* const storeLog = kHooks && hooks->unAsmTracking ? hooks->storeLog : nullptr;

#define TOLVANE_DISPATCH()                                \
  do {                                                    \
    e = &dc[pr];                                          \
    goto* kLabels[static_cast<std::uint8_t>(e->handler)]; \
  } while (0)
  // After a completed instruction: count it, then stop or go on.
#define TOLVANE_NEXT()                     \
  do {                                     \
    if (--budget == 0) goto L_BudgetSpent; \
    if constexpr (kStops) {                \
      if ((*stopAt)[pr]) goto L_Stopped;   \
    }                                      \
    TOLVANE_DISPATCH();                    \
  } while (0)
  // After an instruction that called out of the machine (console, debugger
  // hooks): the owner's flags may have changed meanwhile.
#define TOLVANE_NEXT_AFTER_CALL_OUT()    \
  do {                                   \
    if constexpr (kStops) {              \
      if (*stops.flag1 | *stops.flag2) { \
        --budget;                        \
        goto L_Stopped;                  \
      }                                  \
    }                                    \
    TOLVANE_NEXT();                      \
  } while (0)
  // After a store in hooked mode: noted in the log, or reported by a call out
  // of the machine (after which the owner's flags may have changed).
#define TOLVANE_STORED(address)                               \
  do {                                                        \
    if constexpr (kHooks) {                                   \
      hooks->memoryChanged = true;                            \
      if (storeLog) {                                         \
        storeLog->Note(address);                              \
        TOLVANE_NEXT();                                       \
      }                                                       \
      if (hooks->unAsmTracking) hooks->UnAsmStoreAt(address); \
      TOLVANE_NEXT_AFTER_CALL_OUT();                          \
    }                                                         \
  } while (0)
  // A store: the word, and the decodes that read it. The instruction at the
  // address is decoded again at once: code that rewrites itself does so on
  // every pass, and a decode here is cheaper than a detour through NotDecoded
  // on the next pass. A two-word instruction just before it only gets the new
  // word as its address word; its first word, which decides everything else,
  // is unchanged. Words never executed (data, the stack) have no decode and
  // cost only the tests.
#define TOLVANE_STORE(address, value)                            \
  do {                                                           \
    const Word at_ = (address);                                  \
    const Word before_ = static_cast<Word>(at_ - 1);             \
    if constexpr (kHooks) {                                      \
      if (journal) {                                             \
        stored[storedCount++] = {at_, mem[at_]};                 \
        if (storedCount == kStoresKept) TOLVANE_JOURNAL_FLUSH(); \
      }                                                          \
    }                                                            \
    mem[at_] = (value);                                          \
    if (dc[at_].handler != Handler::NotDecoded) [[unlikely]]     \
      Decode(dc, mem, at_);                                      \
    if (dc[before_].readsNext) [[unlikely]]                      \
      dc[before_].adr = mem[at_];                                \
  } while (0)
  // A handler with an address operand, twice: the direct form, where the
  // effective address `ea` is the address word, and the indexed form.
#define TOLVANE_ADDRESS_HANDLER(name, ...)               \
  L_##name : {                                           \
    const Word ea = e->adr;                              \
    __VA_ARGS__                                          \
  }                                                      \
  L_##name##Indexed : {                                  \
    const Word ea = static_cast<Word>(e->adr + g[e->x]); \
    __VA_ARGS__                                          \
  }
  // Arithmetic, logical and compare operations on gr (GRr) and b (the
  // operand: the word at ea, or GRr2).
#define TOLVANE_OPERATION_M(name, ...) \
  TOLVANE_ADDRESS_HANDLER(name, {      \
    Word& gr = g[e->r];                \
    const Word b = mem[ea];            \
    __VA_ARGS__;                       \
    pr = static_cast<Word>(pr + 2);    \
    TOLVANE_NEXT();                    \
  })
#define TOLVANE_OPERATION_R(name, ...) \
  L_##name : {                         \
    Word& gr = g[e->r];                \
    const Word b = g[e->x];            \
    __VA_ARGS__;                       \
    pr = static_cast<Word>(pr + 1);    \
  }                                    \
  TOLVANE_NEXT();

  TOLVANE_DISPATCH();

L_NotDecoded:
  Decode(dc, mem, pr);
  TOLVANE_DISPATCH();

L_Undefined:
  if constexpr (kHooks) hooks->undefinedTried = true;
  exit = Exit::Undefined;
  goto L_Leave;

L_Nop:
  pr = static_cast<Word>(pr + 1);
  TOLVANE_NEXT();

  TOLVANE_ADDRESS_HANDLER(Ld, {
    Word& gr = g[e->r];
    gr = mem[ea];
    fr = ZeroSign(gr);
    pr = static_cast<Word>(pr + 2);
    TOLVANE_NEXT();
  })

  TOLVANE_ADDRESS_HANDLER(St, {
    TOLVANE_STORE(ea, g[e->r]);
    pr = static_cast<Word>(pr + 2);
    TOLVANE_STORED(ea);
    TOLVANE_NEXT();
  })

  TOLVANE_ADDRESS_HANDLER(Lad, {
    g[e->r] = ea;
    pr = static_cast<Word>(pr + 2);
    TOLVANE_NEXT();
  })

L_LdR : {
  Word& gr = g[e->r];
  gr = g[e->x];
  fr = ZeroSign(gr);
  pr = static_cast<Word>(pr + 1);
}
  TOLVANE_NEXT();

  // a = old GRr, s = the result.
#define TOLVANE_ADDA                       \
  const Word a = gr;                       \
  const Word s = static_cast<Word>(a + b); \
  gr = s;                                  \
  fr = FlagsWithOverflow(fr, ((a ^ s) & (b ^ s) & 0x8000) != 0, s)
#define TOLVANE_SUBA                       \
  const Word a = gr;                       \
  const Word s = static_cast<Word>(a - b); \
  gr = s;                                  \
  fr = FlagsWithOverflow(fr, ((a ^ b) & (a ^ s) & 0x8000) != 0, s)
#define TOLVANE_ADDL                       \
  const Word a = gr;                       \
  const Word s = static_cast<Word>(a + b); \
  gr = s;                                  \
  fr = FlagsWithOverflow(fr, s < a, s)
#define TOLVANE_SUBL                       \
  const Word a = gr;                       \
  const Word s = static_cast<Word>(a - b); \
  gr = s;                                  \
  fr = FlagsWithOverflow(fr, a < b, s)
#define TOLVANE_AND \
  gr &= b;          \
  fr = ZeroSign(gr)
#define TOLVANE_OR \
  gr |= b;         \
  fr = ZeroSign(gr)
#define TOLVANE_XOR \
  gr ^= b;          \
  fr = ZeroSign(gr)
  // Compares: GRr greater than, equal to or less than the operand; OF cleared.
#define TOLVANE_CPA                            \
  const int a = static_cast<std::int16_t>(gr); \
  const int c = static_cast<std::int16_t>(b);  \
  fr = a > c ? 0 : a == c ? kFlagZF : kFlagSF
#define TOLVANE_CPL fr = gr > b ? 0 : gr == b ? kFlagZF : kFlagSF

  TOLVANE_OPERATION_M(Adda, TOLVANE_ADDA)
  TOLVANE_OPERATION_M(Suba, TOLVANE_SUBA)
  TOLVANE_OPERATION_M(Addl, TOLVANE_ADDL)
  TOLVANE_OPERATION_M(Subl, TOLVANE_SUBL)
  TOLVANE_OPERATION_R(AddaR, TOLVANE_ADDA)
  TOLVANE_OPERATION_R(SubaR, TOLVANE_SUBA)
  TOLVANE_OPERATION_R(AddlR, TOLVANE_ADDL)
  TOLVANE_OPERATION_R(SublR, TOLVANE_SUBL)
  TOLVANE_OPERATION_M(And, TOLVANE_AND)
  TOLVANE_OPERATION_M(Or, TOLVANE_OR)
  TOLVANE_OPERATION_M(Xor, TOLVANE_XOR)
  TOLVANE_OPERATION_R(AndR, TOLVANE_AND)
  TOLVANE_OPERATION_R(OrR, TOLVANE_OR)
  TOLVANE_OPERATION_R(XorR, TOLVANE_XOR)
  TOLVANE_OPERATION_M(Cpa, TOLVANE_CPA)
  TOLVANE_OPERATION_M(Cpl, TOLVANE_CPL)
  TOLVANE_OPERATION_R(CpaR, TOLVANE_CPA)
  TOLVANE_OPERATION_R(CplR, TOLVANE_CPL)

#undef TOLVANE_ADDA
#undef TOLVANE_SUBA
#undef TOLVANE_ADDL
#undef TOLVANE_SUBL
#undef TOLVANE_AND
#undef TOLVANE_OR
#undef TOLVANE_XOR
#undef TOLVANE_CPA
#undef TOLVANE_CPL

  // Shifts: the count is the effective address.
#define TOLVANE_SHIFT(name, code)      \
  TOLVANE_ADDRESS_HANDLER(name, {      \
    fr = Shift(code, g[e->r], fr, ea); \
    pr = static_cast<Word>(pr + 2);    \
    TOLVANE_NEXT();                    \
  })
  TOLVANE_SHIFT(Sla, 0x50)
  TOLVANE_SHIFT(Sra, 0x51)
  TOLVANE_SHIFT(Sll, 0x52)
  TOLVANE_SHIFT(Srl, 0x53)
#undef TOLVANE_SHIFT

  // A conditional jump is a branch here, not a conditional move: the next
  // instruction's fetch then follows the (predicted) branch instead of
  // waiting for the flags, and each way dispatches on its own.
#define TOLVANE_JUMP_IF(name, condition) \
  TOLVANE_ADDRESS_HANDLER(name, {        \
    if (condition) {                     \
      pr = ea;                           \
      TOLVANE_NEXT();                    \
    }                                    \
    pr = static_cast<Word>(pr + 2);      \
    TOLVANE_NEXT();                      \
  })
  TOLVANE_JUMP_IF(Jmi, fr & kFlagSF)
  TOLVANE_JUMP_IF(Jnz, !(fr & kFlagZF))
  TOLVANE_JUMP_IF(Jze, fr & kFlagZF)
  TOLVANE_JUMP_IF(Jump, true)
  TOLVANE_JUMP_IF(Jpl, !(fr & (kFlagSF | kFlagZF)))
  TOLVANE_JUMP_IF(Jov, fr & kFlagOF)
#undef TOLVANE_JUMP_IF

  TOLVANE_ADDRESS_HANDLER(Push, {
    if (WouldOverflow(sp, limit)) {
      exit = Exit::StackOverflow;
      goto L_Leave;
    }
    sp = static_cast<Word>(sp - 1);
    TOLVANE_STORE(sp, ea);
    pr = static_cast<Word>(pr + 2);
    TOLVANE_STORED(sp);
    TOLVANE_NEXT();
  })

L_Pop:
  g[e->r] = mem[sp];
  sp = static_cast<Word>(sp + 1);
  pr = static_cast<Word>(pr + 1);
  TOLVANE_NEXT();

  TOLVANE_ADDRESS_HANDLER(Call, {
    if (WouldOverflow(sp, limit)) {
      exit = Exit::StackOverflow;
      goto L_Leave;
    }
    sp = static_cast<Word>(sp - 1);
    TOLVANE_STORE(sp, static_cast<Word>(pr + 2));
    pr = ea;
    if constexpr (kHooks) hooks->callExecuted = true;
    TOLVANE_STORED(sp);
    TOLVANE_NEXT();
  })

L_Ret:
  pr = mem[sp];
  sp = static_cast<Word>(sp + 1);
  if (pr == kProgramEndAddress) {
    --budget;
    exit = Exit::ProgramEnd;
    goto L_Leave;
  }
  if constexpr (kHooks) hooks->retExecuted = true;
  TOLVANE_NEXT();

  // Supervisor calls: the number is the effective address.
  TOLVANE_ADDRESS_HANDLER(Svc, {
    if (ea == 1) {
      SyncOut(fr, pr, sp, limit, cpu);
      TOLVANE_JOURNAL_FLUSH();  // the owner may act while the input waits
      if constexpr (kHooks) {
        if (hooks->goRunning) hooks->RefreshPanes();
      }
      const Word g1 = g[1], g2 = g[2];
      if constexpr (kHooks) {
        if (journal) journal->BeforeInput(memory, g1, g2);
      }
      SvcIn(cpu, memory, console, g1, g2);
      if constexpr (kHooks) {
        if (journal) journal->AfterInput(memory, journal->StepAt(initialBudget - budget));
      }
      if constexpr (kHooks) {
        if (hooks->unAsmTracking) {
          // Only the words the input stored: the length word and the characters
          // read (none at the end of input). Refreshing a fixed 256 words would
          // turn the code after a short buffer into data lines.
          hooks->UnAsmRefreshAt(g2);
          const Word stored = mem[g2] == kEndOfInput ? Word{0} : mem[g2];
          for (unsigned i = 0; i < stored; ++i) hooks->UnAsmRefreshAt(static_cast<Word>(g1 + i));
        }
        hooks->memoryChanged = true;
      }
      SyncIn(fr, pr, sp, limit, cpu);
      pr = static_cast<Word>(pr + 2);
      --budget;
      exit = Exit::InputServed;
      goto L_Leave;
    }
    if (ea == 2) {
      if constexpr (kHooks) {
        TOLVANE_JOURNAL_FLUSH();
        if (journal) journal->Output(journal->StepAt(initialBudget - budget));
      }
      SyncOut(fr, pr, sp, limit, cpu);
      SvcOut(cpu, memory, console, g[1], g[2]);
      SyncIn(fr, pr, sp, limit, cpu);
      pr = static_cast<Word>(pr + 2);
      if constexpr (!kStops) {
        --budget;
        exit = Exit::OutputServed;
        goto L_Leave;
      }
      TOLVANE_NEXT_AFTER_CALL_OUT();
    }
    pr = static_cast<Word>(pr + 2);
    TOLVANE_NEXT();
  })

L_BudgetSpent:
  exit = Exit::Budget;
  goto L_Leave;

L_Stopped:
  __attribute__((unused));  // reached in stop mode only
  exit = Exit::Stopped;

L_Leave:
  SyncOut(fr, pr, sp, limit, cpu);
  executed = initialBudget - budget;
  if constexpr (kHooks) {
    TOLVANE_JOURNAL_FLUSH();
    if (journal) journal->Leave(executed);
  }
  return exit;

#undef TOLVANE_DISPATCH
#undef TOLVANE_NEXT
#undef TOLVANE_NEXT_AFTER_CALL_OUT
#undef TOLVANE_STORE
#undef TOLVANE_STORED
#undef TOLVANE_JOURNAL_FLUSH
#undef TOLVANE_ADDRESS_HANDLER
#undef TOLVANE_OPERATION_M
#undef TOLVANE_OPERATION_R
}

}  // namespace tolvane::machine_detail
