#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "build/Builder.h"
#include "common/BuildOptions.h"
#include "debugger/TerminalRun.h"

namespace tolvane::cli {

// Each command gets its arguments after the command name and returns the
// process exit status. Exit status 2 is a usage error throughout.
using Args = std::vector<std::string>;

int CmdAsm(const Args& args);
int CmdDump(const Args& args);
int CmdLink(const Args& args);
int CmdRun(const Args& args);
int CmdGo(const Args& args);
int CmdBuild(const Args& args);
int CmdDebug(const Args& args);
int CmdTest(const Args& args);
int CmdLsp(const Args& args);
int CmdDap(const Args& args);

// Option parsers shared by `go` with `link` and `run`. Each looks at args[i];
// it returns 1 when it used the option (advancing i past any value), 0 when
// the argument is not one of its options, -1 on a bad value (error filled in).
int ParseLinkOption(const Args& args, std::size_t& i, BuildOptions& options, std::string& error);
int ParseRunOption(const Args& args, std::size_t& i, StdioRunOptions& options);

// The build part of `build` and `go`, through the build core: message lines
// and the outcome's box on standard error. A project file (build::IsProjectName)
// is built as the IDE's Build builds it; a list of files as sources and objects.
build::BuildResult BuildProjectFile(const std::string& projectPath, const BuildOptions& options);
build::BuildResult BuildFiles(const std::vector<std::string>& files, const BuildOptions& options);

// One paragraph per command for `tolvane-cli --help`.
extern const char* const kAsmHelp;
extern const char* const kDumpHelp;
extern const char* const kLinkHelp;
extern const char* const kRunHelp;
extern const char* const kGoHelp;
extern const char* const kBuildHelp;
extern const char* const kDebugHelp;
extern const char* const kTestHelp;
extern const char* const kLspHelp;
extern const char* const kDapHelp;

}  // namespace tolvane::cli
