#include "machine/Cpu.h"

#include <limits>

#include "machine/CpuCore.h"
#include "machine/Svc.h"

namespace tolvane {

using namespace machine_detail;

int InstructionWords(Word first) {
  const std::uint8_t info = kOpInfo[first >> 8];
  if (info == 0) return 0;
  if ((info & kUsesR) && ((first >> 4) & 0x0F) >= 8) return 0;
  if ((info & kUsesX) && (first & 0x0F) >= 8) return 0;
  return info & kLenMask;
}

ExecStatus CCpu::Execute(Memory& memory, ConsolePort& console, MachineHooks* hooks) {
  Word g[8], fr, pr, sp, limit;
  SyncIn(g, fr, pr, sp, limit, *this);
  const StepResult s = hooks ? StepOnce<true>(g, fr, pr, sp, limit, memory, *this, console, hooks)
                             : StepOnce<false>(g, fr, pr, sp, limit, memory, *this, console, nullptr);
  SyncOut(g, fr, pr, sp, limit, *this);
  switch (s) {
    case StepResult::ProgramEnd:
      return ExecStatus::ProgramEnd;
    case StepResult::StackOverflow:
      return ExecStatus::StackOverflow;
    default:
      return ExecStatus::Continue;
  }
}

bool CCpu::Initialize(Memory& memory, Word start, Word initialSp, Word limit) {
  regs_[kPR] = start;
  regs_[kSP] = initialSp;
  regs_[kStackLimit] = limit;
  if (WouldOverflow(initialSp, limit)) return false;
  regs_[kSP] = static_cast<Word>(initialSp - 1);
  memory[regs_[kSP]] = kProgramEndAddress;
  return true;
}

RunResult RunToEnd(CCpu& cpu, Memory& memory, ConsolePort& console, std::uint64_t maxSteps, RunTurnPort* turn,
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
        result.stop = RunStop::Stopped;
        break;
      }
      SyncIn(g, fr, pr, sp, lim, cpu);
    }
    if (steps >= limit) {
      result.stop = RunStop::StepLimit;
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
      result.stop = RunStop::ProgramEnd;
      result.status = ExecStatus::ProgramEnd;
      break;
    }
    if (s == StepResult::StackOverflow) {
      result.stop = RunStop::StackOverflow;
      result.status = ExecStatus::StackOverflow;
      break;
    }
    if (s == StepResult::Undefined) {
      result.stop = RunStop::Undefined;
      break;
    }
  }
  SyncOut(g, fr, pr, sp, lim, cpu);
  result.steps = steps;
  return result;
}

ExecStatus RunHooked(CCpu& cpu, Memory& memory, ConsolePort& console, MachineHooks& hooks,
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

}  // namespace tolvane
