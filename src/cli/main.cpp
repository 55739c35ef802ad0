// tolvane-cli: the assembler, linker, simulator and debugger without windows.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "common/Cp932.h"

using namespace tolvane::cli;

namespace {

struct Command {
  const char* name;
  int (*run)(const Args&);
  const char* const* help;
};

const Command kCommands[] = {
    {"asm", CmdAsm, &kAsmHelp}, {"link", CmdLink, &kLinkHelp},    {"run", CmdRun, &kRunHelp},
    {"go", CmdGo, &kGoHelp},    {"debug", CmdDebug, &kDebugHelp}, {"dump", CmdDump, &kDumpHelp},
};

void Usage(std::FILE* f) {
  std::fputs(
      "usage: tolvane-cli COMMAND [OPTIONS] FILE...\n"
      "\n"
      "The CASL II assembler, linker and COMET II simulator of the Tolvane IDE.\n"
      "Message lines go to standard error; a program's OUT lines to standard output.\n"
      "\n"
      "Commands:\n",
      f);
  for (const Command& c : kCommands) std::fputs(*c.help, f);
  std::fputs("\n  --help            show this text\n", f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    Usage(stdout);
    return 0;
  }
  Args args(argv + 2, argv + argc);
  for (const std::string& a : args)
    if (!a.empty() && a[0] != '-') RememberPath(a);
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    try {
      return c.run(args);
    } catch (const std::bad_alloc&) {
      // Every command says so in words, as the assembler and linker do.
      std::fprintf(stderr, "tolvane-cli %s: ", c.name);
      PrintCp932(stderr, tolvane::J(u8"メモリが確保できません。"));
      std::fputc('\n', stderr);
      return 1;
    }
  }
  std::fprintf(stderr, "tolvane-cli: unknown command '%s'\n\n", name.c_str());
  Usage(stderr);
  return 2;
}
