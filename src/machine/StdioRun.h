#pragma once
// The console on byte streams, as the command-line tool has it: IN reads a line
// from `in`, OUT writes a line to `out`, and the run's own lines (termination,
// stack overflow, register dump) go to `err`. Streams carry UTF-8; the machine
// sees CP932. (The run itself is debugger/TerminalRun.h.)
#include <cstdio>
#include <string>

#include "machine/Svc.h"

namespace tolvane {

// A console over stdio streams.
class StdioConsole : public ConsolePort {
 public:
  // Without `err` the run's own lines go to `out` like the program's.
  StdioConsole(std::FILE* in, std::FILE* out, std::FILE* err = nullptr) : in_(in), out_(out), err_(err) {}
  // One line without its line end (LF or CR LF), converted from UTF-8. Bytes that
  // are not UTF-8 are passed through as they are (input that already is CP932);
  // characters with no CP932 form become '?'. End of input gives "\x1A".
  Bytes ConsoleReadLine() override;
  // The line converted to UTF-8, a line feed, and a flush.
  void ConsoleWrite(const Bytes& text) override;
  // The same on `err`, each CR LF inside the text (the register dump's) as LF.
  void ConsoleMessage(const Bytes& text) override;

 private:
  std::FILE* in_;
  std::FILE* out_;
  std::FILE* err_;
  bool ended_ = false;
};

// UTF-8 to CP932 for typed input, never failing (see ConsoleReadLine).
Bytes InputLineToCp932(const std::string& utf8);

// Bytes of an input line that IN can use: a character takes at most four
// bytes of UTF-8 and gives at least one CP932 byte, so these always hold the
// 256 bytes IN stores.
constexpr std::size_t kInputLineKeep = 4 * kInputLimit;

// Reads one line from `in` up to its line feed (not stored), keeping at most
// `keep` bytes of it: the rest is read and dropped as it arrives, so an
// endless line costs no memory. A 1AH in the dropped part is kept (appended),
// as the whole line still means end of input. False at the end of input with
// nothing read.
bool ReadBoundedLine(std::FILE* in, std::size_t keep, std::string& line);

}  // namespace tolvane
