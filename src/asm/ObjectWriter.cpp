// The object file: the assembled source in relocatable form, seven tables
// back to back (file name, entries, externals, code, relocation, labels, data
// addresses), words big-endian, strings 0-terminated.
#include "asm/AsmCore.h"
#include "common/BinaryIo.h"
#include "common/Cp932.h"

namespace tolvane {

bool Assembler::WriteObjectFile(const std::string& objectPath) {
  std::size_t entries = 0, externals = 0, firstLiterals = 0;
  for (const SSymbolTbl& s : symbolTable) entries += s.isStart ? 1 : 0;
  for (const SRefTbl& r : referenceTable) externals += r.state == RefExternal ? 1 : 0;
  for (const SLiteralTbl& l : fileLiterals) firstLiterals += l.first ? 1 : 0;
  const std::size_t relocations = referenceTable.size() + fileLiterals.size();
  const std::size_t labels = symbolTable.size() + firstLiterals;

  // Every count is one word: a table with more entries (many labels at one
  // address, say) cannot be represented, and a truncated count would make
  // the file unreadable.
  if (labels > 0xFFFF || relocations > 0xFFFF || dataAddressList.size() > 0xFFFF) {
    ReportFileError(objectPath, J(u8"の表の項目数が65535を超えています。"));
    return false;
  }

  BinaryWriter out;
  if (!out.Open(objectPath)) {
    ReportFileError(objectPath, OutputFailureText(out.File(), J(u8"がオープンできません。")));
    return false;
  }
  out.PutString(objectPath);

  out.PutWord(static_cast<Word>(entries));
  for (const SSymbolTbl& s : symbolTable) {
    if (!s.isStart) continue;
    out.PutString(s.name);
    out.PutWord(s.address);
  }

  out.PutWord(static_cast<Word>(externals));
  for (const SRefTbl& r : referenceTable) {
    if (r.state != RefExternal) continue;
    out.PutString(r.name);
    out.PutWord(r.address);
  }

  out.PutWord(static_cast<Word>(locationCounter));
  for (std::int32_t a = 0; a < locationCounter; ++a) out.PutWord(codeImage[a]);

  out.PutWord(static_cast<Word>(relocations));
  for (const SRefTbl& r : referenceTable) out.PutWord(r.address);
  for (const SLiteralTbl& l : fileLiterals) out.PutWord(l.refAddress);

  out.PutWord(static_cast<Word>(labels));
  for (const SSymbolTbl& s : symbolTable) {
    out.PutString(s.name);
    out.PutWord(s.address);
  }
  for (const SLiteralTbl& l : fileLiterals) {
    if (!l.first) continue;
    out.PutString(l.text);
    out.PutWord(l.valueAddress);
  }

  out.PutWord(static_cast<Word>(dataAddressList.size()));
  for (Word a : dataAddressList) out.PutWord(a);

  if (!out.Close()) {
    ReportFileError(objectPath, OutputFailureText(out.File(), J(u8" がクローズできません。")));
    return false;
  }
  return true;
}

}  // namespace tolvane
