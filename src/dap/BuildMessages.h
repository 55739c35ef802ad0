#pragma once
// The assembler's and linker's message lines, read for the file and line
// they are about, so that an editor can link each error to its place.
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvane::dap {

struct MessagePlace {
  std::string file;       // the source the line is about (as the tools name it), or empty
  std::int32_t line = 0;  // its line, 0 when the message names none
  bool error = false;     // an error (or an error count above zero)
};

// Follows one build's lines: "Assemble[FILE]" starts a source, " ( 12) : Error
// ..." is about a line of it, " (   ) : Error ..." about the source as a whole,
// "LINK[FILE]" starts the link, " Error: ..." is a file error and "   3 Errors"
// closes an assembly.
class BuildMessageReader {
 public:
  MessagePlace Read(std::string_view line);

 private:
  std::string source_;
};

}  // namespace tolvane::dap
