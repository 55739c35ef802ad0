#include <cstdio>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "build/Builder.h"
#include "build/ProjectFile.h"

namespace tolvane::cli {

const char* const kBuildHelp =
    "  build [--no-listing] [--origin HEX] [--stack HEX] [--no-sym] FILE.mak\n"
    "                   build a project as the IDE's Build does: assemble every .cas entry\n"
    "                   in file order (with its listing unless --no-listing), then link all\n"
    "                   entries into a load module named after the first (the main routine).\n"
    "                   Entries are file names in the project file's folder. Link options as\n"
    "                   for 'link'. Exit status: 0 built, 1 refused or failed, 2 usage.\n";

namespace {

const char kBuildUsage[] = "usage: tolvane-cli build [--no-listing] [--origin HEX] [--stack HEX] [--no-sym] FILE.mak\n";

// The assembler and linker, with every path they are given remembered so that
// the message lines show it as the file system names it.
class CliTools : public build::CoreTools {
 public:
  bool Assemble(const std::string& sourcePath, const BuildOptions& options, MessageSink& sink) override {
    RememberPath(sourcePath);
    return CoreTools::Assemble(sourcePath, options, sink);
  }
  bool Link(const std::vector<std::string>& paths, const BuildOptions& options, MessageSink& sink) override {
    for (const std::string& path : paths) RememberPath(path);
    return CoreTools::Link(paths, options, sink);
  }
};

void ShowNotice(const build::Notice& notice) {
  if (notice.kind == build::NoticeKind::Failure) {
    PrintCp932(stderr, notice.text);
    std::fputc('\n', stderr);
    return;
  }
  const BoxKind kind = notice.kind == build::NoticeKind::Error     ? BoxKind::Error
                       : notice.kind == build::NoticeKind::Warning ? BoxKind::Warning
                                                                   : BoxKind::Information;
  StderrMessageBox().ShowMessageBox(kind, notice.text, BoxButtons::Ok);
}

}  // namespace

build::BuildResult BuildProjectFile(const std::string& projectPath, const BuildOptions& options) {
  StderrMessageSink sink;
  CliTools tools;
  build::BuildResult result = build::Builder(tools, sink).BuildProjectFile(projectPath, options);
  if (result.notice) ShowNotice(*result.notice);
  return result;
}

build::BuildResult BuildFiles(const std::vector<std::string>& files, const BuildOptions& options) {
  StderrMessageSink sink;
  CliTools tools;
  build::BuildResult result = build::Builder(tools, sink).BuildFiles(files, options);
  if (result.notice) ShowNotice(*result.notice);
  return result;
}

int CmdBuild(const Args& args) {
  RemoveTemporaryFilesOnSignals();
  BuildOptions options;
  std::vector<std::string> files;
  std::string error;
  auto option = [&](std::size_t& i, std::string& why) {
    if (args[i] == "--no-listing") {
      options.listing = 0;
      return true;
    }
    const int used = ParseLinkOption(args, i, options, why);
    if (used == 0) why = "unknown option " + args[i];
    return used > 0;
  };
  if (!SplitArguments(args, files, option, error)) {
    std::fprintf(stderr, "tolvane-cli build: %s\n%s", error.c_str(), kBuildUsage);
    return 2;
  }
  if (files.size() != 1) {
    std::fprintf(stderr, "tolvane-cli build: %s\n%s", files.empty() ? "no project file given" : "one project file only",
                 kBuildUsage);
    return 2;
  }
  return BuildProjectFile(files.front(), options).Succeeded() ? 0 : 1;
}

}  // namespace tolvane::cli
