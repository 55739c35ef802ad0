#include "dap/SourceSteps.h"

namespace tolvane::dap {

std::optional<LinePlace> PlaceOnLine(const std::vector<LineRun>& runs, std::int32_t line) {
  std::optional<LinePlace> best;
  // Runs are in address order; of the runs of the chosen line the first one
  // holds its first instruction.
  for (const LineRun& r : runs) {
    if (!r.code || r.line < line) continue;
    if (!best || r.line < best->line) best = LinePlace{r.line, r.address};
  }
  return best;
}

bool IsStepStop(const debugger::SourceLines& lines, Word address) {
  const debugger::SourceLocation at = lines.Locate(address);
  if (!at.Found() || !at.code) return true;
  Word first = 0;
  return lines.InstructionOfLine(at.source, at.line, first) && first == address;
}

}  // namespace tolvane::dap
