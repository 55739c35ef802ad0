#pragma once
#include <string>

#include "common/Diagnostic.h"

namespace tolvane {

// Where the assembler and linker send their progress and diagnostic lines.
// The IDE's message window and the command-line tool implement it; tests
// record the lines.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // A line of text that is no diagnostic of the tools (CP932 bytes, no line break).
  virtual void AppendMessageLine(const std::string& line) = 0;
  // The tools report through this; a sink that needs only the text keeps the
  // default, which passes the formatted line on.
  virtual void AppendDiagnostic(const Diagnostic& diagnostic) { AppendMessageLine(MessageLine(diagnostic)); }
  virtual void ClearMessages() {}
};

}  // namespace tolvane
