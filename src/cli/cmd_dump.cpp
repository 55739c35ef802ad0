#include <cstdio>

#include "Commands.h"

namespace tolvane::cli {

const char* const kDumpHelp = "  dump              (not yet available)\n";

int CmdDump(const Args&) {
  std::fputs("tolvane-cli: 'dump' is not available yet\n", stderr);
  return 2;
}

}  // namespace tolvane::cli
