// tolvane-cli: the assembler, linker, simulator and debugger without windows.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "StandardOutput.h"
#include "common/Cp932.h"

using namespace tolvane::cli;

namespace {

struct Command {
  const char* name;
  int (*run)(const Args&);
  const char* const* help;
};

const Command kCommands[] = {
    {"asm", CmdAsm, &kAsmHelp},    {"link", CmdLink, &kLinkHelp}, {"build", CmdBuild, &kBuildHelp},
    {"run", CmdRun, &kRunHelp},    {"go", CmdGo, &kGoHelp},       {"debug", CmdDebug, &kDebugHelp},
    {"dump", CmdDump, &kDumpHelp}, {"test", CmdTest, &kTestHelp}, {"lsp", CmdLsp, &kLspHelp},
    {"dap", CmdDap, &kDapHelp},
};

// "usage: tolvane-cli asm [--no-listing] FILE.cas..." and the command's
// paragraph; the synopsis is the paragraph's first line up to its description.
void CommandHelp(const Command& c, std::FILE* f) {
  std::string synopsis = *c.help;
  synopsis = synopsis.substr(0, synopsis.find('\n'));
  synopsis.erase(0, synopsis.find_first_not_of(' '));
  synopsis = synopsis.substr(0, synopsis.find("  "));
  std::fprintf(f, "usage: tolvane-cli %s\n", synopsis.c_str());
  std::fputs(*c.help, f);
}

// Standard output is checked once at the end: a failed write (a full disk, a
// closed descriptor, a reader that has gone) is an error of its own.
int CheckedExit(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && !std::ferror(stdout)) return status;
  if (flushed) errno = 0;
  // errno is that of the last write only when the final flush failed.
  ReportOutputFailure(errno);
  return kExitOutputFailed;
}

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
  std::fputs(
      "\n  --help            show this text\n"
      "\n"
      "Every command takes --help (its own text) and -- (the end of its options, for\n"
      "file names that begin with '-'). Exit status 5, in every command: standard\n"
      "output could not be written (a full disk, a closed descriptor, a reader that\n"
      "has gone).\n",
      f);
}

}  // namespace

int main(int argc, char** argv) {
  GuardStandardDescriptors();
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    Usage(stdout);
    return CheckedExit(0);
  }
  Args args(argv + 2, argv + argc);
  for (const std::string& a : args)
    if (!a.empty() && a[0] != '-') RememberPath(a);
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    try {
      return CheckedExit(c.run(args));
    } catch (const HelpRequested&) {
      CommandHelp(c, stdout);
      return CheckedExit(0);
    } catch (const std::bad_alloc&) {
      // Every command says so in words, as the assembler and linker do.
      std::fprintf(stderr, "tolvane-cli %s: ", c.name);
      PrintCp932(stderr, tolvane::Cp932Text(u8"メモリが確保できません。"));
      std::fputc('\n', stderr);
      return 1;
    }
  }
  std::fprintf(stderr, "tolvane-cli: unknown command '%s'\n\n", name.c_str());
  Usage(stderr);
  return 2;
}
