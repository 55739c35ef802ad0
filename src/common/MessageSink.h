#pragma once
#include <string>

namespace tolvane {

// Where the assembler and linker send their progress and diagnostic lines
// (CP932 bytes, one line per call, no line break). The IDE's message window and
// the command-line tool implement it; tests record the lines.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void AppendMessageLine(const std::string& line) = 0;
  virtual void ClearMessages() {}
};

}  // namespace tolvane
