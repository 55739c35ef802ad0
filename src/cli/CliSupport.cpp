#include "CliSupport.h"

#include <cstdio>

#include "common/Cp932.h"

namespace tolvane::cli {

void PrintCp932(std::FILE* f, const std::string& cp932) {
  std::string u = Cp932ToUtf8(cp932);
  std::fwrite(u.data(), 1, u.size(), f);
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
