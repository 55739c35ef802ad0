#include <cstdio>

#include "Commands.h"

namespace tolvane::cli {

const char* const kRunHelp = "  run              (not yet available)\n";

int CmdRun(const Args&) {
  std::fputs("tolvane-cli: 'run' is not available yet\n", stderr);
  return 2;
}

}  // namespace tolvane::cli
