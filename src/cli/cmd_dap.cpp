// tolvane-cli dap: the debugger for editors that speak the Debug Adapter
// Protocol. The client starts it and talks to it over standard input and output.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "dap/Adapter.h"
#include "dap/Transport.h"

namespace tolvane::cli {

const char* const kDapHelp =
    "  dap              serve the Debug Adapter Protocol on standard input and output, for\n"
    "                   editors: a launch names a .cas file (several), a .mak or an .exe;\n"
    "                   sources are built as 'go' builds them. The editor starts this\n"
    "                   command itself. Exit status: 0, 2 usage.\n";

int CmdDap(const Args& args) {
  std::vector<std::string> operands;
  std::string error;
  auto option = [&](std::size_t& i, std::string& why) {
    why = "unknown option " + args[i];
    return false;
  };
  if (!SplitArguments(args, operands, option, error) || !operands.empty()) {
    std::fprintf(stderr, "tolvane-cli dap: %s\nusage: tolvane-cli dap\n",
                 error.empty() ? "no operands are taken" : error.c_str());
    return 2;
  }
  // The protocol owns standard output: it gets a descriptor of its own, and
  // anything else written to standard output goes to standard error instead.
  const int protocol = dup(1);
  if (protocol < 0 || dup2(2, 1) < 0) {
    std::perror("tolvane-cli dap");
    return 1;
  }
  // A client that has gone is noticed as a failed write, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
  int status;
  {
    dap::FdTransport transport(0, protocol);
    status = dap::Adapter(transport).Run();
  }
  close(protocol);
  return status;
}

}  // namespace tolvane::cli
