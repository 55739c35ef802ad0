#pragma once
#include <string>
#include <vector>

namespace tolvane::cli {

// Each command gets its arguments after the command name and returns the
// process exit status. Exit status 2 is a usage error throughout.
using Args = std::vector<std::string>;

int CmdAsm(const Args& args);
int CmdDump(const Args& args);
int CmdLink(const Args& args);
int CmdRun(const Args& args);
int CmdGo(const Args& args);
int CmdDebug(const Args& args);

// One paragraph per command for `tolvane-cli --help`.
extern const char* const kAsmHelp;
extern const char* const kDumpHelp;
extern const char* const kLinkHelp;
extern const char* const kRunHelp;
extern const char* const kGoHelp;
extern const char* const kDebugHelp;

}  // namespace tolvane::cli
