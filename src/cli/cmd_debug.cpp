#include <cstdio>

#include "Commands.h"

namespace tolvane::cli {

const char* const kDebugHelp = "  debug              (not yet available)\n";

int CmdDebug(const Args&) {
  std::fputs("tolvane-cli: 'debug' is not available yet\n", stderr);
  return 2;
}

}  // namespace tolvane::cli
