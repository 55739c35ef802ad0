#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/MessageBox.h"
#include "common/MessageSink.h"

namespace tolvane::cli {

// Message lines go to standard error, converted from CP932 to UTF-8.
class StderrMessageSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string& line) override;
  // A record that points into a source its text does not number (the
  // linker's unresolved reference) is followed by "    at FILE:LINE", so that
  // a terminal's user finds the reference as the IDE's message window does.
  void AppendDiagnostic(const Diagnostic& diagnostic) override;
};

// Message boxes print their text on standard error; questions get the answer
// given at construction (a terminal tool never blocks on a box).
class StderrMessageBox : public MessageBoxPort {
 public:
  explicit StderrMessageBox(BoxAnswer defaultAnswer = BoxAnswer::Ok) : answer_(defaultAnswer) {}
  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override;

 private:
  BoxAnswer answer_;
};

// Thrown by SplitArguments for "--help" or "-h": main prints the command's
// help and exits with status 0, so every command has it.
struct HelpRequested {};

// Walks a command's arguments. "--" ends the options; "--help" and "-h" before
// it throw HelpRequested; any other argument that starts with '-' (and is more
// than "-") goes to `option` with its index, which may step over the option's
// value and returns false, with `error` filled in, to reject it. The remaining
// arguments are the operands, in order. False when an option was rejected.
bool SplitArguments(const std::vector<std::string>& args, std::vector<std::string>& operands,
                    const std::function<bool(std::size_t& i, std::string& error)>& option, std::string& error);

// Writes CP932 text to a stream as UTF-8. File names the tools put into their
// lines are file-system bytes (UTF-8 here), not CP932: those registered with
// RememberPath are written as they are instead of being converted.
void PrintCp932(std::FILE* f, const std::string& cp932);

// Registers a path given on the command line, with the names derived from it
// (.cas, .obj, .lst, .exe, .sym), for PrintCp932.
void RememberPath(const std::string& path);

// SIGINT, SIGTERM and SIGHUP (unless ignored) first remove the temporary
// files of the outputs being written, then end the process as they would
// have: an interrupted build leaves no hidden files behind.
void RemoveTemporaryFilesOnSignals();

}  // namespace tolvane::cli
