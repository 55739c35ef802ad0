#pragma once
// The baseline for the machine's speed goals: a verbatim copy of the instruction
// step and the runs as they were before instructions were predecoded (one
// switch over the operation code, both words fetched and split for every
// instruction), over a plain word array, in BaselineLoop.cpp. That file is
// compiled on its own with the options the machine library had, so that these
// are out-of-line calls as they were. The benchmarks run it side by side with
// the machine's engine on the same programs, in the same process, and check
// that both leave the same registers and memory.
#include <array>
#include <bitset>
#include <cstdint>

#include "machine/Cpu.h"
#include "machine/Svc.h"

namespace tolvane::baseline {

using BaselineMemory = std::array<Word, kMemoryWords>;

ExecStatus Execute(CCpu& cpu, BaselineMemory& memory, ConsolePort& console, MachineHooks* hooks);
RunResult RunToEnd(CCpu& cpu, BaselineMemory& memory, ConsolePort& console, std::uint64_t maxSteps = 0,
                   RunTurnPort* turn = nullptr, std::uint32_t turnInterval = 1u << 16);
ExecStatus RunHooked(CCpu& cpu, BaselineMemory& memory, ConsolePort& console, MachineHooks& hooks,
                     const std::bitset<kMemoryWords>& stopAt, const bool& stopFlag1, const bool& stopFlag2,
                     unsigned limit, unsigned& executed);

}  // namespace tolvane::baseline
