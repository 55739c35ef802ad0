#pragma once
// The COMET II processor: the register file and the single-instruction step,
// and the two runs built on the same engine (the plain run and the debugger's
// continuous run).
//
// Memory is a separate 65536-word object owned by whoever owns the machine (the
// debugger state); every operation receives it explicitly. It also holds the
// machine's decoded instructions (see Memory.h).
//
// Two decisions that the instruction set leaves open:
//  - r/x fields 8-15: only GR0-GR7 exist. An instruction whose r, r1, r2 or x
//    field (whichever it actually uses) holds 8-15 is treated as an undefined
//    instruction: nothing happens and PR is not advanced. Fields an instruction
//    does not use (the r field of a jump, both fields of RET) are ignored.
//    `InstructionWords` (common/InstructionSet.h) tells the disassembler the same.
//  - An instruction at FFFFH reads its second word from 0000H, like every other
//    address computation, and PR wraps past FFFFH the same way.
#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "common/InstructionSet.h"
#include "common/Word.h"
#include "machine/Memory.h"

namespace tolvane {

// Result of one instruction. The numbers are part of the interface.
enum class ExecStatus : int {
  StackOverflow = 0,  // PUSH/CALL found SP - 1 < StackLimit; nothing changed
  ProgramEnd = 1,     // RET loaded F000H into PR
  Continue = 2,       // everything else, an undefined operation code included
};

// The return address pushed for the outermost program; a RET to it ends the run.
constexpr Word kProgramEndAddress = 0xF000;

// FR bits.
constexpr Word kFlagZF = 0x0001;
constexpr Word kFlagSF = 0x0002;
constexpr Word kFlagOF = 0x0004;

class ConsolePort;  // Svc.h
class StepJournal;  // StepJournal.h

// The addresses stored into while the debugger tracks stores, each once, in
// the order first stored. A continuous run notes them here instead of calling
// out of the machine after every store; the owner brings the disassembly up to
// date from the log when it next looks at it.
class StoreLog {
 public:
  [[gnu::always_inline]] void Note(Word address) {
    if (seen_[address]) return;
    seen_.set(address);
    order_.push_back(address);
  }
  bool Empty() const { return order_.empty(); }
  const std::vector<Word>& Addresses() const { return order_; }
  void Clear() {
    for (Word a : order_) seen_.reset(a);
    order_.clear();
  }

 private:
  std::bitset<kMemoryWords> seen_;
  std::vector<Word> order_;
};

// The debugger's side of a step. A plain run passes no hooks at all, so none of
// this is touched on the fast path; the debugger passes an object it owns and
// reads/sets the flags between steps.
class MachineHooks {
 public:
  virtual ~MachineHooks() = default;

  // Read by the machine.
  bool unAsmTracking = false;  // a debugger command is executing this instruction
  bool goRunning = false;      // a GO run is in progress: refresh the panes before input
  // Where every executed instruction leaves its undo record; null: none kept.
  StepJournal* journal = nullptr;
  // While tracking, stores are noted here instead of calling UnAsmStoreAt
  // (null: the call after every store).
  StoreLog* storeLog = nullptr;

  // Set by the machine (never cleared by it).
  bool memoryChanged = false;   // after ST, PUSH, CALL and an input call
  bool callExecuted = false;    // after CALL
  bool retExecuted = false;     // after a RET that did not end the program
  bool undefinedTried = false;  // after an undefined word, which did nothing

  // Called only while unAsmTracking is true: after ST/PUSH/CALL with the address
  // written (when there is no store log), and after an input call for GR2 and then for each character word
  // it stored (GR1+0 ... GR1+length-1; none at the end of input).
  virtual void UnAsmStoreAt(Word address) { (void)address; }
  virtual void UnAsmRefreshAt(Word address) { (void)address; }
  // Called at an input call while goRunning is true, before waiting for input.
  virtual void RefreshPanes() {}
};

class CCpu {
 public:
  // Register file indices, in the documented order.
  enum Index { kGR0 = 0, kFR = 8, kPR = 9, kSP = 10, kStackLimit = 11, kCount = 12 };

  CCpu() = default;  // everything 0

  Word GetRegister(int n) const { return regs_[n & 7]; }
  void SetRegister(int n, Word v) { regs_[n & 7] = v; }
  Word GetFR() const { return regs_[kFR]; }
  void SetFR(Word v) { regs_[kFR] = v; }
  Word GetPR() const { return regs_[kPR]; }
  void SetPR(Word v) { regs_[kPR] = v; }
  Word GetSP() const { return regs_[kSP]; }
  void SetSP(Word v) { regs_[kSP] = v; }
  Word GetStackLimit() const { return regs_[kStackLimit]; }
  void SetStackLimit(Word v) { regs_[kStackLimit] = v; }

  // The twelve words GR0-GR7, FR, PR, SP, StackLimit.
  const std::array<Word, kCount>& Registers() const { return regs_; }
  std::array<Word, kCount>& Registers() { return regs_; }

  // Executes the instruction at PR. `hooks` is null for a plain run.
  ExecStatus Execute(Memory& memory, ConsolePort& console, MachineHooks* hooks = nullptr);

  // PR <- start, SP <- initialSp, StackLimit <- limit, then pushes F000H with the
  // PUSH overflow test. False (registers set, nothing pushed) when it would overflow.
  bool Initialize(Memory& memory, Word start, Word initialSp, Word limit);

  static int DecodeOp(Word first) { return DecodeFields(first).op; }
  static int DecodeR(Word first) { return DecodeFields(first).r; }
  static int DecodeX(Word first) { return DecodeFields(first).x; }

 private:
  std::array<Word, kCount> regs_{};
};

// Why a run of the program stopped: the one answer of the machine's plain run,
// of execution control's commands and of the front ends' exit statuses.
enum class StopReason : std::uint8_t {
  ProgramEnd,     // the final RET
  StackOverflow,  // a PUSH or CALL found the stack full; PR addresses it; the program was ended
  UndefinedWord,  // an undefined instruction at PR: executing on repeats it for ever
  StepLimit,      // the step limit was reached
  EndedByUser,    // End Program (for the machine: the turn callback asked to stop)
  Breakpoint,     // GO or animate reached an enabled breakpoint
  Paused,         // Pause stopped GO, animate or a long step
  Stepped,        // a trace or step executed its instruction
  NoRow,          // no disassembly row covers PR; the program was ended
  LoadFailed,     // the load module or its symbol file could not be loaded
  Refused,        // nothing ran: the command does not apply now
};

// The fast plain run: executes until the program ends, overflows its stack, hits
// an undefined instruction (which can never make progress), the step limit is
// reached, or `turn` asks to stop (EndedByUser). No hooks are involved.

// Gives the window system a turn during a long plain run. Called before the
// first instruction, then every `interval` instructions and right after every
// input (the user may have ended the run while the program waited) and every
// output (the slow instructions, so that a port pacing its turns by time is
// asked often enough); return false to stop.
class RunTurnPort {
 public:
  virtual ~RunTurnPort() = default;
  virtual bool Turn() = 0;
};

struct RunResult {
  StopReason stop = StopReason::ProgramEnd;
  std::uint64_t steps = 0;  // instructions executed (an overflowing or undefined one not counted)
  // The status the last Execute would have returned: ProgramEnd, StackOverflow, or Continue.
  ExecStatus status = ExecStatus::Continue;
};

// maxSteps 0 means no limit.
RunResult RunToEnd(CCpu& cpu, Memory& memory, ConsolePort& console, std::uint64_t maxSteps = 0,
                   RunTurnPort* turn = nullptr, std::uint32_t turnInterval = 1u << 16);

// The debugger's continuous run: up to `limit` instructions with the hooks on,
// ending early after a program end, a stack overflow, an undefined word or an
// input, when PR reaches an address set in `stopAt`, or when one of the two
// flags is set. The flags belong to the owner and can only change while the
// machine has called out (console, hooks), so they are read after every such
// call. `executed` receives the number of instructions executed (an overflowing
// or undefined one included); the result is what the last Execute would have
// returned.
ExecStatus RunHooked(CCpu& cpu, Memory& memory, ConsolePort& console, MachineHooks& hooks,
                     const std::bitset<kMemoryWords>& stopAt, const bool& stopFlag1, const bool& stopFlag2,
                     unsigned limit, unsigned& executed);

}  // namespace tolvane
