#pragma once
#include <array>
#include <string>

#include "common/TextRules.h"
#include "common/Word.h"
#include "machine/RegisterDump.h"

namespace tolvane::debugger {

// Texts of the debug window's panes and of the console messages, as CP932 bytes.

// The FR field ("(OF=0 SF=0 ZF=0) plus" ... "(OF=1 SF=1 ZF=0) minus overflow")
// and the register dump are the machine's texts, shared with the plain run.
using tolvane::FlagText;
using tolvane::RegisterDumpText;

// Register pane fields.
std::string RegisterBinaryText(Word w);      // " 0000 0000 0000 0000"
std::string RegisterLogicalText(Word w);     // "%5d" of 0..65535
std::string RegisterArithmeticText(Word w);  // "%6d" of -32768..32767
// What the fields show before the first refresh.
inline constexpr const char* kRegisterBinaryInitial = "0000 0000 0000 0000";
inline constexpr const char* kRegisterInitial = "0000";

// The FR edit dialog's three digits OF, SF, ZF ("000" ... "110"); they read
// back by ParseFlagDigits (common/TextRules.h).
std::string FlagBitsText(Word fr);

// Memory dump pane: row r covers addresses 8r .. 8r + 7.
inline constexpr int kMemoryDumpRows = 8192;
std::string MemoryRowAddressText(int row);  // column 0
std::string MemoryCharText(Word w);         // columns 9-16: the low byte if 20H-7EH, else "."
// One line of a dump: "AAAA  wwww wwww ... wwww  cccccccc" (the CLI's `mem`).
std::string MemoryDumpLine(const Word* memory, int row);
// The tooltip of a word cell (five lines).
std::string MemoryTooltipText(Word address, Word value);

// Watch pane value columns.
std::string WatchLogicalText(Word w);     // "%hu"
std::string WatchArithmeticText(Word w);  // "%hd"

}  // namespace tolvane::debugger
