#include "machine/Cpu.h"

#include <limits>

#include "machine/CpuCore.h"
#include "machine/Svc.h"

namespace tolvane {

using namespace machine_detail;

namespace {

ExecStatus StatusOf(Exit exit) {
  switch (exit) {
    case Exit::ProgramEnd:
      return ExecStatus::ProgramEnd;
    case Exit::StackOverflow:
      return ExecStatus::StackOverflow;
    default:
      return ExecStatus::Continue;
  }
}

}  // namespace

ExecStatus CCpu::Execute(Memory& memory, ConsolePort& console, MachineHooks* hooks) {
  std::uint64_t executed;
  const Exit exit = hooks ? RunEngine<true, false>(*this, memory, console, hooks, {}, 1, executed)
                          : RunEngine<false, false>(*this, memory, console, nullptr, {}, 1, executed);
  return StatusOf(exit);
}

bool CCpu::Initialize(Memory& memory, Word start, Word initialSp, Word limit) {
  regs_[kPR] = start;
  regs_[kSP] = initialSp;
  regs_[kStackLimit] = limit;
  if (WouldOverflow(initialSp, limit)) return false;
  regs_[kSP] = static_cast<Word>(initialSp - 1);
  memory.Store(regs_[kSP], kProgramEndAddress);
  return true;
}

RunResult RunToEnd(CCpu& cpu, Memory& memory, ConsolePort& console, std::uint64_t maxSteps, RunTurnPort* turn,
                   std::uint32_t turnInterval) {
  RunResult result;
  const std::uint64_t limit = maxSteps ? maxSteps : std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t interval = turn ? (turnInterval ? turnInterval : 1) : limit;
  std::uint64_t steps = 0;
  for (;;) {
    if (turn && !turn->Turn()) {
      result.stop = StopReason::EndedByUser;
      break;
    }
    if (steps >= limit) {
      result.stop = StopReason::StepLimit;
      break;
    }
    const std::uint64_t budget = limit - steps < interval ? limit - steps : interval;
    std::uint64_t done;
    const Exit exit = RunEngine<false, false>(cpu, memory, console, nullptr, {}, budget, done);
    steps += done;
    if (exit == Exit::ProgramEnd) {
      result.stop = StopReason::ProgramEnd;
      result.status = ExecStatus::ProgramEnd;
      break;
    }
    if (exit == Exit::StackOverflow) {
      result.stop = StopReason::StackOverflow;
      result.status = ExecStatus::StackOverflow;
      break;
    }
    if (exit == Exit::Undefined) {
      result.stop = StopReason::UndefinedWord;
      break;
    }
    // Budget spent, or an input or output served: the owner is asked before the next instruction.
  }
  result.steps = steps;
  return result;
}

ExecStatus RunHooked(CCpu& cpu, Memory& memory, ConsolePort& console, MachineHooks& hooks,
                     const std::bitset<kMemoryWords>& stopAt, const bool& stopFlag1, const bool& stopFlag2,
                     unsigned limit, unsigned& executed) {
  if (limit == 0) {
    executed = 0;
    return ExecStatus::Continue;
  }
  std::uint64_t done;
  const StopConditions stops{&stopAt, &stopFlag1, &stopFlag2};
  const Exit exit = RunEngine<true, true>(cpu, memory, console, &hooks, stops, limit, done);
  // The debugger counts every instruction it tried, an overflowing or undefined one too.
  if (exit == Exit::StackOverflow || exit == Exit::Undefined) ++done;
  executed = static_cast<unsigned>(done);
  return StatusOf(exit);
}

}  // namespace tolvane
