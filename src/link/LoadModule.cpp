#include "link/LoadModule.h"

#include "common/BinaryIo.h"
#include "common/Cp932.h"

namespace tolvane {

namespace {

ModuleReadError ReadSignature(BinaryReader& in, Bytes& name, const char* mark) {
  if (!in.GetString(name, in.Size())) return ModuleReadError::WrongSignature;
  if (name.find(mark) == Bytes::npos) return ModuleReadError::WrongSignature;
  return ModuleReadError::None;
}

ModuleReadError ParseModuleTables(BinaryReader& in, LoadModule& out) {
  ModuleReadError e = ReadSignature(in, out.fileName, ".exe");
  if (e != ModuleReadError::None) return e;
  Word n = 0;
  if (!in.GetWord(out.origin) || !in.GetWord(out.start) || !in.GetWord(out.initialSp) || !in.GetWord(out.stackLimit) ||
      !in.GetWord(n))
    return ModuleReadError::Truncated;
  if (static_cast<std::size_t>(out.origin) + n > kMemoryWords) return ModuleReadError::ImagePastMemory;
  if (in.Remaining() / 2 < n) return ModuleReadError::Truncated;
  out.image.resize(n);
  for (Word& w : out.image) in.GetWord(w);
  Word d = 0;
  if (!in.GetWord(d) || in.Remaining() / 2 < d) return ModuleReadError::Truncated;
  out.dataAddresses.resize(d);
  for (Word& w : out.dataAddresses) in.GetWord(w);
  return ModuleReadError::None;
}

ModuleReadError ParseSymbolTables(BinaryReader& in, SymbolTable& out) {
  Bytes signature;
  ModuleReadError e = ReadSignature(in, signature, ".sym");
  if (e != ModuleReadError::None) return e;
  Word s = 0;
  // Each record takes at least a terminator and a word.
  if (!in.GetWord(s) || in.Remaining() / 3 < s) return ModuleReadError::Truncated;
  out.resize(s);
  for (SymbolRecord& row : out) {
    if (!in.GetString(row.name, kMaxNameBytes))
      return in.AtEnd() ? ModuleReadError::Unterminated : ModuleReadError::NameTooLong;
    if (!in.GetWord(row.address)) return ModuleReadError::Truncated;
  }
  return ModuleReadError::None;
}

template <typename T, typename Parse>
ModuleReadError Run(BinaryReader& in, T& out, Parse parse) {
  ModuleReadError e = parse(in, out);
  if (e != ModuleReadError::None) out = T{};
  return e;
}

bool ReportFailure(ModuleReadError e, const std::string& path, bool symbolFile, MessageBoxPort& box) {
  if (e == ModuleReadError::None) return true;
  box.ShowMessageBox(BoxKind::Error, ModuleReadErrorText(e, path, symbolFile));
  return false;
}

template <typename Table>
void PutNamedTable(BinaryWriter& out, const Table& table) {
  out.PutWord(static_cast<Word>(table.size()));
  for (const SymbolRecord& row : table) {
    out.PutString(row.name);
    out.PutWord(row.address);
  }
}

// Opens an output file and writes its own path first, the signature every
// reader checks.
bool OpenOutput(BinaryWriter& out, const std::string& path, MessageSink& sink) {
  if (!out.Open(path)) {
    sink.AppendDiagnostic({DiagCode::OutputCannotOpen,
                           Severity::Error,
                           {},
                           0,
                           -1,
                           0,
                           path,
                           path + OutputFailureText(out.File(), Cp932Text(u8"がオープンできません。"))});
    return false;
  }
  out.PutString(path);
  return true;
}

bool CloseOutput(BinaryWriter& out, const std::string& path, MessageSink& sink) {
  if (out.Close()) return true;
  sink.AppendDiagnostic({DiagCode::OutputCannotClose,
                         Severity::Error,
                         {},
                         0,
                         -1,
                         0,
                         path,
                         path + OutputFailureText(out.File(), Cp932Text(u8"がクローズできません。"))});
  return false;
}

ModuleReadError LoadBytes(BinaryReader& in, const std::string& path) {
  switch (in.Load(path)) {
    case BinaryReader::LoadResult::Ok:
      return ModuleReadError::None;
    case BinaryReader::LoadResult::TooLarge:
      return ModuleReadError::TooLarge;
    case BinaryReader::LoadResult::CannotOpen:
      break;
  }
  return ModuleReadError::CannotOpen;
}

}  // namespace

Bytes ModuleReadErrorText(ModuleReadError error, const std::string& path, bool symbolFile) {
  switch (error) {
    case ModuleReadError::None:
      return {};
    case ModuleReadError::CannotOpen:
      return path + Cp932Text(u8"がオープンできません。");
    case ModuleReadError::TooLarge:
      return path + TooLargeText();
    case ModuleReadError::WrongSignature:
      return path + (symbolFile ? Cp932Text(u8"はCASLのシンボルファイルではありません。")
                                : Cp932Text(u8"はCASLの実行可能ファイルではありません。"));
    case ModuleReadError::Truncated:
      return path + Cp932Text(u8"は壊れています。(ファイルが途中で終わっています)");
    case ModuleReadError::NameTooLong:
      return path + Cp932Text(u8"は壊れています。(255バイトを超える名前があります)");
    case ModuleReadError::Unterminated:
      return path + Cp932Text(u8"は壊れています。(名前の途中でファイルが終わっています)");
    case ModuleReadError::ImagePastMemory:
      return path + Cp932Text(u8"は壊れています。(プログラムがFFFFH番地を超えています)");
  }
  return {};
}

ModuleReadError ParseLoadModule(const std::uint8_t* data, std::size_t size, LoadModule& out) {
  out = LoadModule{};
  BinaryReader in;
  in.SetBytes(data, size);
  return Run(in, out, ParseModuleTables);
}

ModuleReadError ParseSymbolFile(const std::uint8_t* data, std::size_t size, SymbolTable& out) {
  out.clear();
  BinaryReader in;
  in.SetBytes(data, size);
  return Run(in, out, ParseSymbolTables);
}

ModuleReadError ReadLoadModule(const std::string& path, LoadModule& out) {
  out = LoadModule{};
  BinaryReader in;
  if (ModuleReadError e = LoadBytes(in, path); e != ModuleReadError::None) return e;
  return Run(in, out, ParseModuleTables);
}

ModuleReadError ReadSymbolFile(const std::string& path, SymbolTable& out) {
  out.clear();
  BinaryReader in;
  if (ModuleReadError e = LoadBytes(in, path); e != ModuleReadError::None) return e;
  return Run(in, out, ParseSymbolTables);
}

bool ReadLoadModule(const std::string& path, LoadModule& out, MessageBoxPort& box) {
  return ReportFailure(ReadLoadModule(path, out), path, false, box);
}

bool ReadSymbolFile(const std::string& path, SymbolTable& out, MessageBoxPort& box) {
  return ReportFailure(ReadSymbolFile(path, out), path, true, box);
}

bool WriteLoadModule(const std::string& path, const LoadModule& module, MessageSink& sink) {
  BinaryWriter out;
  if (!OpenOutput(out, path, sink)) return false;
  out.PutWord(module.origin);
  out.PutWord(module.start);
  out.PutWord(module.initialSp);
  out.PutWord(module.stackLimit);
  out.PutWord(static_cast<Word>(module.image.size()));
  for (Word w : module.image) out.PutWord(w);
  out.PutWord(static_cast<Word>(module.dataAddresses.size()));
  for (Word w : module.dataAddresses) out.PutWord(w);
  return CloseOutput(out, path, sink);
}

bool WriteSymbolFile(const std::string& path, const SymbolTable& symbols, MessageSink& sink) {
  BinaryWriter out;
  if (!OpenOutput(out, path, sink)) return false;
  PutNamedTable(out, symbols);
  return CloseOutput(out, path, sink);
}

}  // namespace tolvane
