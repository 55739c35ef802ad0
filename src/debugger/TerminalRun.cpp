#include "debugger/TerminalRun.h"

#include <memory>

#include "machine/StdioRun.h"

namespace tolvane {

namespace {

class TerminalPort : public debugger::DebuggerUiPort {
 public:
  explicit TerminalPort(MessageBoxPort& boxes) : boxes_(boxes) {}
  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override {
    return boxes_.ShowMessageBox(kind, text, buttons);
  }

 private:
  MessageBoxPort& boxes_;
};

}  // namespace

Outcome OutcomeOf(StopReason stop) {
  switch (stop) {
    case StopReason::ProgramEnd:
      return {true, false, kRunNormalEnd};
    case StopReason::StackOverflow:
    case StopReason::UndefinedWord:
      return {true, true, kRunAbnormalEnd};
    case StopReason::StepLimit:
      return {true, false, kRunStepLimit};
    case StopReason::EndedByUser:
    case StopReason::NoRow:
      return {true, false, kRunAbnormalEnd};
    case StopReason::LoadFailed:
    case StopReason::Refused:
      return {true, false, kRunLoadFailed};
    case StopReason::Breakpoint:
    case StopReason::Paused:
    case StopReason::Stepped:
      break;
  }
  return {false, false, kRunAbnormalEnd};
}

int RunOnStdio(const std::string& exePath, const StdioRunOptions& options, std::FILE* in, std::FILE* out,
               std::FILE* err, MessageBoxPort& boxes) {
  StdioConsole console(in, out, err);
  TerminalPort port(boxes);
  // Execution control holds the whole machine: keep it off the stack.
  auto control = std::make_unique<debugger::ExecutionControl>(port, console);
  control->SetShowRegistersAfterRun(options.registers);
  BuildOptions build;
  build.symbolicDebug = options.symbols ? 1 : 0;
  return RunExitStatus(control->PlainRun(exePath, build, options.maxSteps));
}

}  // namespace tolvane
