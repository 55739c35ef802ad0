#pragma once
#include <string>
#include "common/MessageBox.h"
#include "common/MessageSink.h"

namespace tolvane::cli {

// Message lines go to standard error, converted from CP932 to UTF-8.
class StderrMessageSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string& line) override;
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

// Writes CP932 text to a stream as UTF-8.
void PrintCp932(std::FILE* f, const std::string& cp932);

}  // namespace tolvane::cli
