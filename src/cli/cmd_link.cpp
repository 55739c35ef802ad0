#include <cstdio>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "common/BuildOptions.h"
#include "common/TextRules.h"
#include "link/Linker.h"

namespace tolvane::cli {

const char* const kLinkHelp =
    "  link [--origin HEX] [--stack HEX] [--no-sym] FILE...\n"
    "                   link object files, in the order given, into a load module named\n"
    "                   after the first file (.exe) and a symbol file (.sym). Any extension\n"
    "                   of FILE is replaced by .obj. --origin sets the load address (default\n"
    "                   0100, 0100-EFFF), --stack the stack size in words (default 0800),\n"
    "                   both 1-4 hexadecimal digits; --no-sym writes no symbol file.\n"
    "                   Exit status: 0 linked, 1 link failed, 2 usage.\n";

namespace {

int LinkUsage(const std::string& why) {
  std::fprintf(stderr,
               "tolvane-cli link: %s\nusage: tolvane-cli link [--origin HEX] [--stack HEX] [--no-sym] FILE...\n",
               why.c_str());
  return 2;
}

}  // namespace

// Parses the link options shared with `go`: consumes args[i] (and its value) when it
// is one of them. Returns 1 when consumed, 0 when not a link option, -1 on a bad or
// missing value (`error` then says which).
int ParseLinkOption(const Args& args, std::size_t& i, BuildOptions& options, std::string& error) {
  const std::string& a = args[i];
  if (a == "--no-sym") {
    options.symbolFile = 0;
    return 1;
  }
  for (const char* name : {"--origin", "--stack"}) {
    const std::string n = name;
    std::string value;
    if (a == n) {
      if (i + 1 >= args.size()) {
        error = n + " needs a value (1-4 hexadecimal digits)";
        return -1;
      }
      value = args[++i];
    } else if (a.rfind(n + "=", 0) == 0) {
      value = a.substr(n.size() + 1);
    } else {
      continue;
    }
    const std::optional<Word> w = ParseAddress(value);
    if (!w) {
      error = n;
      error += " takes 1-4 hexadecimal digits, not '";
      error += value;
      error += "'";
      return -1;
    }
    (n == "--origin" ? options.origin : options.stackSize) = *w;
    return 1;
  }
  return 0;
}

int CmdLink(const Args& args) {
  RemoveTemporaryFilesOnSignals();
  BuildOptions options;
  std::vector<std::string> files;
  std::string error;
  auto option = [&](std::size_t& i, std::string& why) {
    const int used = ParseLinkOption(args, i, options, why);
    if (used == 0) why = "unknown option " + args[i];
    return used > 0;
  };
  if (!SplitArguments(args, files, option, error)) return LinkUsage(error);
  if (files.empty()) return LinkUsage("no object file given");
  StderrMessageSink sink;
  return Link(files, options, sink) ? 0 : 1;
}

}  // namespace tolvane::cli
