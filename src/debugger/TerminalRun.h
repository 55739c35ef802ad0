#pragma once
// The plain run as the command-line tool makes it: execution control's plain
// run over a console on byte streams (machine/StdioRun.h), where IN reads
// `in`, OUT writes `out` and the run's own lines go to `err`, and a port that
// has nobody to ask: message boxes become lines on `boxes`, and an undefined
// word ends the program instead of waiting for the user.
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/MessageBox.h"
#include "debugger/ExecutionControl.h"

namespace tolvane {

struct StdioRunOptions {
  bool symbols = false;        // load the .sym as well (symbolic debugging on)
  bool registers = false;      // write the register dump at the end
  std::uint64_t maxSteps = 0;  // 0: no limit
};

// Process exit statuses of a run.
enum RunExit : int {
  kRunNormalEnd = 0,
  kRunLoadFailed = 1,
  kRunAbnormalEnd = 3,
  kRunStepLimit = 4,
};

// What a stop means for the program and for the process, decided here for
// every front end: the exit status of `tolvane-cli go` and `run`, and the debug
// adapter's exited event and exceptions.
struct Outcome {
  bool over = false;                 // the program ended, was ended, or cannot go on
  bool exception = false;            // at an error: a stack overflow or an undefined instruction
  int exitStatus = kRunAbnormalEnd;  // of a run that stops so (RunExit)
};
Outcome OutcomeOf(StopReason stop);

// The exit status of a run that ended so.
inline int RunExitStatus(StopReason stop) { return OutcomeOf(stop).exitStatus; }

// Loads `exePath` and runs it to its end. Returns one of RunExit.
int RunOnStdio(const std::string& exePath, const StdioRunOptions& options, std::FILE* in, std::FILE* out,
               std::FILE* err, MessageBoxPort& boxes);

}  // namespace tolvane
