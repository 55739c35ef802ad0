#include <cstdio>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "StandardOutput.h"
#include "build/ProjectFile.h"
#include "common/BuildOptions.h"
#include "common/ChangeExtension.h"
#include "debugger/TerminalRun.h"

namespace tolvane::cli {

const char* const kGoHelp =
    "  go [--listing] [--origin HEX] [--stack HEX] [--no-sym] [--sym] [--regs] [--max-steps N] FILE...\n"
    "                   assemble every .cas file (a listing only with --listing), link all\n"
    "                   files in order (.obj files as they are) and run the result like\n"
    "                   'run'. A single FILE.mak is built as 'build' builds it and its main\n"
    "                   routine is run. Assembly and link messages go to standard error.\n"
    "                   Exit status: as 'run'; 1 also when the build was refused or failed.\n";

namespace {

int GoUsage(const std::string& why) {
  std::fprintf(stderr,
               "tolvane-cli go: %s\nusage: tolvane-cli go [--listing] [--origin HEX] [--stack HEX] [--no-sym]"
               " [--sym] [--regs] [--max-steps N] FILE...\n",
               why.c_str());
  return 2;
}

}  // namespace

int CmdGo(const Args& args) {
  RemoveTemporaryFilesOnSignals();
  BuildOptions build;
  build.listing = 0;
  StdioRunOptions run;
  std::vector<std::string> files;
  std::string error;
  auto option = [&](std::size_t& i, std::string& why) {
    if (args[i] == "--listing") {
      build.listing = 1;
      return true;
    }
    int used = ParseLinkOption(args, i, build, why);
    if (used < 0) return false;
    if (used == 0) used = ParseRunOption(args, i, run);
    if (used < 0) why = "--max-steps needs a positive whole number";
    if (used == 0) why = "unknown option " + args[i];
    return used > 0;
  };
  if (!SplitArguments(args, files, option, error)) return GoUsage(error);
  if (files.empty()) return GoUsage("no file given");
  bool project = false;
  for (const std::string& f : files) project = project || build::IsProjectName(f);
  if (project && files.size() > 1) return GoUsage("a project file is built on its own");
  build.symbolicDebug = run.symbols ? 1 : 0;

  // The build: the same rules as the IDE's.
  const build::BuildResult built = project ? BuildProjectFile(files.front(), build) : BuildFiles(files, build);
  if (!built.Succeeded()) return 1;

  // The run.
  std::fflush(stderr);
  StderrMessageBox boxes;
  ProgramStreams streams;
  return streams.Finish(
      RunOnStdio(ChangeExtension(built.target, ".exe"), run, streams.In(), streams.Out(), streams.Err(), boxes));
}

}  // namespace tolvane::cli
