#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "StandardOutput.h"
#include "asm/Assembler.h"
#include "common/BuildOptions.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "link/Linker.h"
#include "machine/StdioRun.h"

namespace tolvane::cli {

const char* const kGoHelp =
    "  go [--listing] [--origin HEX] [--stack HEX] [--no-sym] [--sym] [--regs] [--max-steps N] FILE...\n"
    "                   assemble every .cas file (a listing only with --listing), link all\n"
    "                   files in order (.obj files as they are) and run the result like\n"
    "                   'run'. Assembly and link messages go to standard error.\n"
    "                   Exit status: as 'run'; 1 also when assembly or link failed.\n";

namespace {

int GoUsage(const std::string& why) {
  std::fprintf(stderr,
               "tolvane-cli go: %s\nusage: tolvane-cli go [--listing] [--origin HEX] [--stack HEX] [--no-sym]"
               " [--sym] [--regs] [--max-steps N] FILE...\n",
               why.c_str());
  return 2;
}

bool IsSource(const std::string& path) {
  const std::string obj = ChangeExtension(path, ".cas");
  if (obj.size() != path.size()) return false;
  // Same name with the extension ".cas" in any letter case.
  for (std::size_t i = 0; i < path.size(); ++i) {
    char a = path[i], b = obj[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int CmdGo(const Args& args) {
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
  build.symbolicDebug = run.symbols ? 1 : 0;

  StderrMessageSink sink;
  for (const std::string& f : files) {
    const std::string path = IsSource(f) ? f : ChangeExtension(f, ".obj");
    if (!FileExists(path)) {
      sink.AppendMessageLine(path + J(u8"が存在しません。"));
      return 1;
    }
  }
  bool assembled = true;
  for (const std::string& f : files)
    if (IsSource(f) && Assemble(f, build, sink) != 1) assembled = false;
  if (!assembled) {
    sink.AppendMessageLine(J(u8"アセンブル中にエラーが発生しました。"));
    return 1;
  }
  if (!Link(files, build, sink)) {
    sink.AppendMessageLine(J(u8"リンク中にエラーが発生しました。"));
    return 1;
  }
  std::fflush(stderr);
  StderrMessageBox boxes;
  ProgramStreams streams;
  return streams.Finish(
      RunOnStdio(ChangeExtension(files.front(), ".exe"), run, streams.In(), streams.Out(), streams.Err(), boxes));
}

}  // namespace tolvane::cli
