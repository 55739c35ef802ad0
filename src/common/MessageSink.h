#pragma once
#include <cstdint>
#include <string>

namespace tolvane {

enum class Severity : std::uint8_t { Info, Warning, Error };

// One message line of the assembler or linker together with what it is about,
// so that a reader (the message window's jump to a source line, say) never has
// to take the text apart again.
struct Diagnostic {
  // The source the line is about, as the tool was given it (file-system bytes):
  // for "Assemble[...]" and every line of that assembly its source, for
  // "LINK[...]" and the total the load module; empty when the line points into
  // no source (most of the linker's errors; an unresolved reference names its own).
  std::string file;
  std::int32_t line = 0;  // 1-based line in `file`; 0 when the message names none
  Severity severity = Severity::Info;
  std::string text;  // the message line exactly as shown (CP932 bytes, no line break)
};

// Where the assembler and linker send their progress and diagnostic lines
// (CP932 bytes, one line per call, no line break). The IDE's message window and
// the command-line tool implement it; tests record the lines.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void AppendMessageLine(const std::string& line) = 0;
  // The tools report through this; a sink that needs only the text keeps the
  // default, which passes the line on unchanged.
  virtual void AppendDiagnostic(const Diagnostic& diagnostic) { AppendMessageLine(diagnostic.text); }
  virtual void ClearMessages() {}
};

}  // namespace tolvane
