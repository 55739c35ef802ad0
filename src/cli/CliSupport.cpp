#include "CliSupport.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/ChangeExtension.h"
#include "common/Cp932.h"

namespace tolvane::cli {
namespace {

// Longest first, so that "a.cas" wins over a shorter name it contains.
std::vector<std::string>& VerbatimPaths() {
  static std::vector<std::string> paths;
  return paths;
}

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

bool SplitArguments(const std::vector<std::string>& args, std::vector<std::string>& operands,
                    const std::function<bool(std::size_t& i, std::string& error)>& option,
                    std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
      if (!option(i, error)) return false;
    } else {
      operands.push_back(a);
    }
  }
  return true;
}

void RememberPath(const std::string& path) {
  if (path.empty() || IsAscii(path)) return;  // ASCII converts to itself anyway
  auto& paths = VerbatimPaths();
  auto add = [&](const std::string& p) {
    if (std::find(paths.begin(), paths.end(), p) == paths.end()) paths.push_back(p);
  };
  add(path);
  for (const char* ext : {".cas", ".obj", ".lst", ".exe", ".sym"}) add(ChangeExtension(path, ext));
  std::stable_sort(paths.begin(), paths.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

void PrintCp932(std::FILE* f, const std::string& cp932) {
  const auto& paths = VerbatimPaths();
  std::string out;
  std::string pending;  // CP932 bytes waiting for conversion
  for (std::size_t i = 0; i < cp932.size();) {
    const std::string* hit = nullptr;
    for (const std::string& p : paths)
      if (cp932.compare(i, p.size(), p) == 0) {
        hit = &p;
        break;
      }
    if (!hit) {
      pending.push_back(cp932[i++]);
      continue;
    }
    out += Cp932ToUtf8(pending);
    pending.clear();
    out += *hit;
    i += hit->size();
  }
  out += Cp932ToUtf8(pending);
  std::fwrite(out.data(), 1, out.size(), f);
}

void StderrMessageSink::AppendMessageLine(const std::string& line) {
  PrintCp932(stderr, line);
  std::fputc('\n', stderr);
}

BoxAnswer StderrMessageBox::ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  const char* caption = kind == BoxKind::Error     ? "エラー"
                        : kind == BoxKind::Warning ? "警告"
                        : kind == BoxKind::Information ? "情報"
                                                      : "確認";
  std::fprintf(stderr, "%s: ", caption);
  PrintCp932(stderr, text);
  std::fputc('\n', stderr);
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  return answer_;
}

}  // namespace tolvane::cli
