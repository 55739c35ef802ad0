#include "machine/RegisterDump.h"

#include <cstdio>

namespace tolvane {

Bytes FlagText(Word fr) {
  const int of = (fr & kFlagOF) ? 1 : 0, sf = (fr & kFlagSF) ? 1 : 0, zf = (fr & kFlagZF) ? 1 : 0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "(OF=%d SF=%d ZF=%d) %s%s", of, sf, zf,
                zf   ? "zero"
                : sf ? "minus"
                     : "plus",
                of ? " overflow" : "");
  return buf;
}

Bytes RegisterDumpText(const std::array<Word, 8>& gr, Word pr, Word sp, Word fr) {
  char buf[160];
  std::snprintf(buf, sizeof buf,
                "GR0=%.4hX GR1=%.4hX GR2=%.4hX GR3=%.4hX GR4=%.4hX GR5=%.4hX GR6=%.4hX GR7=%.4hX\r\n"
                ">PR=%.4hX SP=%.4hX FR=",
                gr[0], gr[1], gr[2], gr[3], gr[4], gr[5], gr[6], gr[7], pr, sp);
  return Bytes(buf) + FlagText(fr);
}

Bytes RegisterDumpText(const CCpu& cpu) {
  const auto& a = cpu.Registers();
  return RegisterDumpText({a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]}, cpu.GetPR(), cpu.GetSP(), cpu.GetFR());
}

}  // namespace tolvane
