#include "CliSupport.h"

#include <cstdio>

#include "StandardOutput.h"
#include "common/Cp932.h"
#include "common/FileNameMarks.h"

namespace tolvane::cli {
namespace {

FileNameMarks& Marks() {
  static FileNameMarks marks;
  return marks;
}

}  // namespace

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

BoxAnswer StderrMessageBox::ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  FlushProgramOutput();
  std::fprintf(stderr, "%s: ", BoxCaption(kind));
  PrintCp932(stderr, text);
  std::fputc('\n', stderr);
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  return answer_;
}

}  // namespace tolvane::cli
