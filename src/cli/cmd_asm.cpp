#include <cstdio>

#include "Commands.h"

namespace tolvane::cli {

const char* const kAsmHelp = "  asm              (not yet available)\n";

int CmdAsm(const Args&) {
  std::fputs("tolvane-cli: 'asm' is not available yet\n", stderr);
  return 2;
}

}  // namespace tolvane::cli
