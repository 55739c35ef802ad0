#include <cstdio>

#include "Commands.h"

namespace tolvane::cli {

const char* const kLinkHelp = "  link              (not yet available)\n";

int CmdLink(const Args&) {
  std::fputs("tolvane-cli: 'link' is not available yet\n", stderr);
  return 2;
}

}  // namespace tolvane::cli
