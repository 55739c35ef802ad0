#include <cstdio>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "asm/Assembler.h"

namespace tolvane::cli {

const char* const kAsmHelp =
    "  asm [--no-listing] FILE.cas...\n"
    "                   assemble each source into FILE.obj and, unless --no-listing,\n"
    "                   the listing FILE.lst; exit status 0 when every file assembled,\n"
    "                   1 when any did not\n";

int CmdAsm(const Args& args) {
  RemoveTemporaryFilesOnSignals();
  BuildOptions options;
  std::vector<std::string> files;
  std::string unknown;
  auto option = [&](std::size_t& i, std::string& why) {
    const std::string& a = args[i];
    if (a == "--no-listing") {
      options.listing = 0;
      return true;
    }
    why = a;
    return false;
  };
  if (!SplitArguments(args, files, option, unknown)) {
    std::fprintf(stderr, "tolvane-cli asm: unknown option '%s'\n", unknown.c_str());
    std::fputs("usage: tolvane-cli asm [--no-listing] FILE.cas...\n", stderr);
    return 2;
  }
  if (files.empty()) {
    std::fputs("usage: tolvane-cli asm [--no-listing] FILE.cas...\n", stderr);
    std::fputs(kAsmHelp, stderr);
    return 2;
  }
  StderrMessageSink sink;
  int status = 0;
  for (const std::string& f : files)
    if (Assemble(f, options, sink) != 1) status = 1;
  return status;
}

}  // namespace tolvane::cli
