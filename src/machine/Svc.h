#pragma once
// Supervisor calls 1 (IN) and 2 (OUT) and the console they talk to.
#include <cstddef>

#include "common/Word.h"
#include "machine/Cpu.h"

namespace tolvane {

// The console as the machine sees it. The IDE's console window and the
// command-line tool implement it; tests script it. Text is CP932 bytes.
class ConsolePort {
 public:
  virtual ~ConsolePort() = default;
  // Waits for one line of input (the IDE keeps its window system running
  // meanwhile) and returns it without its line end. A line containing the byte
  // 1AH means end of input; an implementation with no more input returns "\x1A".
  virtual Bytes ConsoleReadLine() = 0;
  // Shows one line of the program's output.
  virtual void ConsoleWrite(const Bytes& text) = 0;
  // Shows one line of the run itself (how it ended, the register dump). The
  // IDE's console shows it like the program's lines; a terminal keeps it apart
  // from the program's output.
  virtual void ConsoleMessage(const Bytes& text) { ConsoleWrite(text); }
  // The debugger went back over an OUT: the most recent line of the program's
  // output still shown (written by ConsoleWrite, not ConsoleMessage) goes.
  virtual void ConsoleWithdrawOutput() {}
  // The debugger went back over the program's end: the most recent line of
  // the run itself still shown (written by ConsoleMessage: how it ended, the
  // register dump) goes.
  virtual void ConsoleWithdrawMessage() {}
  // The debugger went back over an IN: the most recent input line still shown
  // (typed, cancelled, or echoed below) goes.
  virtual void ConsoleWithdrawInput() {}
  // An IN that the debugger went back over reads its line again without
  // asking: the console shows it where the user typed it the first time (a
  // line holding 1AH ended the input).
  virtual void ConsoleEchoInput(const Bytes& line) { (void)line; }
};

// At most this many bytes of an input line are stored.
constexpr std::size_t kInputLimit = 256;
// An output line holds at most this many characters; longer lengths are cut.
constexpr std::size_t kOutputLimit = 511;
// Length word stored for end of input.
constexpr Word kEndOfInput = 0xFFFF;

// Reads a line into memory at gr1 (one sign-extended byte per word, at most
// 256) and its length at gr2, or FFFFH at gr2 alone for end of input.
// Addresses wrap modulo 65536.
void SvcIn(CCpu& cpu, Memory& memory, ConsolePort& console, Word gr1, Word gr2);

// Writes the low bytes of the words at gr1 ... as one line; the length is the
// signed word at gr2 (0 or negative: an empty line), cut at 511. The line ends at
// a 00H byte, as the console cannot show one. Changes no register or memory word.
void SvcOut(CCpu& cpu, Memory& memory, ConsolePort& console, Word gr1, Word gr2);

}  // namespace tolvane
