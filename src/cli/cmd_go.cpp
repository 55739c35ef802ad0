#include <cstdio>

#include "Commands.h"

namespace tolvane::cli {

const char* const kGoHelp = "  go              (not yet available)\n";

int CmdGo(const Args&) {
  std::fputs("tolvane-cli: 'go' is not available yet\n", stderr);
  return 2;
}

}  // namespace tolvane::cli
