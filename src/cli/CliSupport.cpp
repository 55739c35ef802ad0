#include "CliSupport.h"

#include <signal.h>

#include <cstdio>

#include "StandardOutput.h"
#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "common/FileNameMarks.h"

namespace tolvane::cli {
namespace {

FileNameMarks& Marks() {
  static FileNameMarks marks;
  return marks;
}

void RemoveTemporariesAndEnd(int sig) {
  RemoveTemporaryFilesNow();
  // The handler was reset on entry (SA_RESETHAND): delivered again once this
  // returns, the signal ends the process as it would have.
  ::raise(sig);
}

}  // namespace

void RemoveTemporaryFilesOnSignals() {
  struct sigaction sa {};
  sa.sa_handler = RemoveTemporariesAndEnd;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // A signal the caller chose to ignore stays ignored.
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &sa, nullptr);
  }
}

bool SplitArguments(const std::vector<std::string>& args, std::vector<std::string>& operands,
                    const std::function<bool(std::size_t& i, std::string& error)>& option, std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (a == "--help" || a == "-h")) {
      throw HelpRequested{};
    } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
      if (!option(i, error)) return false;
    } else {
      operands.push_back(a);
    }
  }
  return true;
}

void RememberPath(const std::string& path) { Marks().Add(path); }

void PrintCp932(std::FILE* f, const std::string& cp932) {
  std::string out;
  Marks().Split(
      cp932, [&](std::string_view text) { out += Cp932ToUtf8(std::string(text)); },
      [&](const std::string& name) { out += name; });
  std::fwrite(out.data(), 1, out.size(), f);
}

void StderrMessageSink::AppendMessageLine(const std::string& line) {
  FlushProgramOutput();
  PrintCp932(stderr, line);
  std::fputc('\n', stderr);
}

void StderrMessageSink::AppendDiagnostic(const Diagnostic& diagnostic) {
  AppendMessageLine(MessageLine(diagnostic));
  // The assembler's lines begin with their own " (%3d)" number.
  if (diagnostic.line <= 0 || diagnostic.file.empty() || ShapeOf(diagnostic.code) == DiagShape::SourceLine) return;
  std::fprintf(stderr, "    at %s:%d\n", diagnostic.file.c_str(), static_cast<int>(diagnostic.line));
}

BoxAnswer StderrMessageBox::ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  FlushProgramOutput();
  std::fprintf(stderr, "%s: ", BoxCaption(kind));
  PrintCp932(stderr, text);
  std::fputc('\n', stderr);
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  return answer_;
}

}  // namespace tolvane::cli
