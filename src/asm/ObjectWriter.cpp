// The object file: the assembled source in relocatable form, seven tables
// back to back (file name, entries, externals, code, relocation, labels, data
// addresses), words big-endian, strings 0-terminated.
#include "asm/AsmCore.h"
#include "common/BinaryIo.h"
#include "common/Cp932.h"

namespace tolvane {

bool Assembler::MakeObject(const std::string& fileName, ObjectFile& out) {
  out = ObjectFile{};
  out.fileName = fileName;
  for (const SSymbolTbl& s : symbolTable)
    if (s.isStart) out.entries.push_back({s.name, s.address});
  for (const SRefTbl& r : referenceTable)
    if (r.state == RefExternal) out.externals.push_back({r.name, r.address});
  out.code.assign(codeImage.begin(), codeImage.begin() + locationCounter);
  for (const SRefTbl& r : referenceTable) out.relocations.push_back(r.address);
  for (const SLiteralTbl& l : fileLiterals) out.relocations.push_back(l.refAddress);
  for (const SSymbolTbl& s : symbolTable) out.labels.push_back({s.name, s.address});
  for (const SLiteralTbl& l : fileLiterals)
    if (l.first) out.labels.push_back({l.text, l.valueAddress});
  out.dataAddresses = dataAddressList;

  // Every count is one word: a table with more entries (many labels at one
  // address, say) cannot be represented, and a truncated count would make
  // the file unreadable.
  if (out.labels.size() > 0xFFFF || out.relocations.size() > 0xFFFF || out.dataAddresses.size() > 0xFFFF) {
    ReportFileError(DiagCode::TableTooLarge, fileName, Cp932Text(u8"の表の項目数が65535を超えています。"));
    return false;
  }
  return true;
}

bool Assembler::WriteObjectFile(const std::string& objectPath) {
  ObjectFile obj;
  if (!MakeObject(objectPath, obj)) return false;
  BinaryWriter out;
  if (!out.Open(objectPath)) {
    ReportFileError(DiagCode::OutputCannotOpen, objectPath,
                    OutputFailureText(out.File(), Cp932Text(u8"がオープンできません。")));
    return false;
  }
  out.PutString(obj.fileName);
  auto records = [&out](const std::vector<SymbolRecord>& rows) {
    out.PutWord(static_cast<Word>(rows.size()));
    for (const SymbolRecord& r : rows) {
      out.PutString(r.name);
      out.PutWord(r.address);
    }
  };
  auto words = [&out](const std::vector<Word>& rows) {
    out.PutWord(static_cast<Word>(rows.size()));
    for (Word w : rows) out.PutWord(w);
  };
  records(obj.entries);
  records(obj.externals);
  words(obj.code);
  words(obj.relocations);
  records(obj.labels);
  words(obj.dataAddresses);
  if (!out.Close()) {
    ReportFileError(DiagCode::OutputCannotClose, objectPath,
                    OutputFailureText(out.File(), Cp932Text(u8" がクローズできません。")));
    return false;
  }
  return true;
}

}  // namespace tolvane
