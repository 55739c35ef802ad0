#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "StandardOutput.h"
#include "debugger/TerminalRun.h"

namespace tolvane::cli {

const char* const kRunHelp =
    "  run [--sym] [--regs] [--max-steps N] PROG.exe\n"
    "                   load and run a load module; IN reads a line of standard input,\n"
    "                   OUT writes a line to standard output; the end of the run, a stack\n"
    "                   overflow and (with --regs) the register dump go to standard error.\n"
    "                   --sym loads PROG.sym too. Exit status: 0 normal end, 1 load failed,\n"
    "                   2 usage, 3 abnormal end, 4 --max-steps reached, 5 standard output\n"
    "                   could not be written. Standard output that is not a terminal is\n"
    "                   written in large pieces, and always before the program reads a\n"
    "                   line, before a line on standard error, at the end and when the\n"
    "                   run is interrupted or terminated.\n";

namespace {
int RunUsage(const char* why) {
  std::fprintf(stderr, "tolvane-cli run: %s\nusage: tolvane-cli run [--sym] [--regs] [--max-steps N] PROG.exe\n", why);
  return 2;
}
}  // namespace

// Parses the run options shared with `go`: consumes args[i] (and its value) when it
// is one of them. Returns 1 when consumed, 0 when not a run option, -1 on a bad value.
int ParseRunOption(const Args& args, std::size_t& i, StdioRunOptions& options) {
  const std::string& a = args[i];
  if (a == "--sym") {
    options.symbols = true;
    return 1;
  }
  if (a == "--regs") {
    options.registers = true;
    return 1;
  }
  if (a == "--max-steps" || a.rfind("--max-steps=", 0) == 0) {
    std::string value;
    if (a == "--max-steps") {
      if (i + 1 >= args.size()) return -1;
      value = args[++i];
    } else {
      value = a.substr(12);
    }
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) return -1;
    errno = 0;
    options.maxSteps = std::strtoull(value.c_str(), nullptr, 10);
    if (errno != 0 || options.maxSteps == 0) return -1;
    return 1;
  }
  return 0;
}

int CmdRun(const Args& args) {
  StdioRunOptions options;
  std::vector<std::string> programs;
  std::string error;
  auto option = [&](std::size_t& i, std::string& why) {
    const int used = ParseRunOption(args, i, options);
    if (used < 0) why = "--max-steps needs a positive whole number";
    if (used == 0) why = "unknown option " + args[i];
    return used > 0;
  };
  if (!SplitArguments(args, programs, option, error)) return RunUsage(error.c_str());
  if (programs.size() > 1) return RunUsage("only one load module can be run");
  if (programs.empty()) return RunUsage("no load module given");
  const std::string& program = programs.front();
  StderrMessageBox boxes;
  ProgramStreams streams;
  return streams.Finish(RunOnStdio(program, options, streams.In(), streams.Out(), streams.Err(), boxes));
}

}  // namespace tolvane::cli
