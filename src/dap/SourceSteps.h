#pragma once
// Source lines as breakpoints and steps use them.
#include <cstdint>
#include <optional>
#include <vector>

#include "common/Word.h"
#include "debugger/SourceLines.h"
#include "link/LineMap.h"

namespace tolvane::dap {

// Where a breakpoint asked for on `line` goes: the first line at or after it
// that holds an instruction, and that line's first instruction word. None when
// no line from there on holds one.
struct LinePlace {
  std::int32_t line = 0;
  Word address = 0;
};
std::optional<LinePlace> PlaceOnLine(const std::vector<LineRun>& runs, std::int32_t line);

// A step by lines ends where a line begins: on the first instruction word of a
// source line, or anywhere in code that has no source line.
bool IsStepStop(const debugger::SourceLines& lines, Word address);

}  // namespace tolvane::dap
