// tolvane-cli lsp: the language services as a language server on standard
// input and output, for any editor with a language-server client.
#include <cstdio>
#include <string>

#include "Commands.h"
#include "lsp/Server.h"
#include "rpc/Transport.h"

namespace tolvane::cli {

const char* const kLspHelp =
    "  lsp [--stdio]    serve the language services (definition, references, hover,\n"
    "                   completion, rename, formatting, quick fixes, diagnostics) to an\n"
    "                   editor over standard input and output (Language Server Protocol)\n";

int CmdLsp(const Args& args) {
  for (const std::string& a : args) {
    if (a != "--stdio") {
      std::fputs(kLspHelp, stderr);
      return 2;
    }
  }
  return rpc::ServeStandardStreams("tolvane-cli lsp", lsp::kMaxMessage,
                                   [](rpc::Transport& transport) { return lsp::Server(transport).Run(); });
}

}  // namespace tolvane::cli
