#pragma once
// Texts a run writes about the machine state at its end.
#include <array>

#include "common/Word.h"
#include "machine/Cpu.h"

namespace tolvane {

// "(OF=0 SF=0 ZF=1) zero" and its siblings for the FR values 0, 1, 2, 4, 5, 6.
// Other values (only reachable by editing FR) are described bit by bit the same way.
Bytes FlagText(Word fr);

// "GR0=XXXX ... GR7=XXXX\r\n>PR=XXXX SP=XXXX FR=" + FlagText(FR): one console write
// that the console's prompt turns into two lines.
Bytes RegisterDumpText(const CCpu& cpu);
Bytes RegisterDumpText(const std::array<Word, 8>& gr, Word pr, Word sp, Word fr);

}  // namespace tolvane
