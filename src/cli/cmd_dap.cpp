// tolvane-cli dap: the debugger for editors that speak the Debug Adapter
// Protocol. The client starts it and talks to it over standard input and output.
#include <cstdio>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "dap/Adapter.h"
#include "rpc/Transport.h"

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
  return rpc::ServeStandardStreams("tolvane-cli dap", dap::kMaxMessage,
                                   [](rpc::Transport& transport) { return dap::Adapter(transport).Run(); });
}

}  // namespace tolvane::cli
