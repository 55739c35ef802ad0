#include "machine/Svc.h"

#include <cstdint>

namespace tolvane {

void SvcIn(CCpu&, Memory& memory, ConsolePort& console, Word gr1, Word gr2) {
  const Bytes line = console.ConsoleReadLine();
  if (line.find('\x1A') != Bytes::npos) {
    memory[gr2] = kEndOfInput;
    return;
  }
  const std::size_t n = line.size() < kInputLimit ? line.size() : kInputLimit;
  for (std::size_t i = 0; i < n; ++i) {
    // Bytes 80H-FFH become FF80H-FFFFH, as the assembler stores character constants.
    const auto byte = static_cast<unsigned char>(line[i]);
    memory[static_cast<Word>(gr1 + i)] = static_cast<Word>(byte < 0x80 ? byte : 0xFF00 | byte);
  }
  memory[gr2] = static_cast<Word>(n);
}

void SvcOut(CCpu&, Memory& memory, ConsolePort& console, Word gr1, Word gr2) {
  const int length = static_cast<std::int16_t>(memory[gr2]);
  const int n = length < static_cast<int>(kOutputLimit) ? length : static_cast<int>(kOutputLimit);
  Bytes line;
  if (n > 0) line.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const char c = static_cast<char>(memory[static_cast<Word>(gr1 + i)] & 0xFF);
    if (c == '\0') break;
    line.push_back(c);
  }
  console.ConsoleWrite(line);
}

}  // namespace tolvane
