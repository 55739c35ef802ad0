#include "link/ObjectFile.h"

#include "common/BinaryIo.h"
#include "common/Cp932.h"

namespace tolvane {

namespace {

// Reads one (name, address) table: a count word then the rows. Each row takes
// at least three bytes, so a count the remaining data cannot hold is refused
// before anything is reserved.
ObjectReadError ReadNamedTable(BinaryReader& in, std::vector<SymbolRecord>& table) {
  Word count = 0;
  if (!in.GetWord(count)) return ObjectReadError::Truncated;
  if (in.Remaining() / 3 < count) return ObjectReadError::Truncated;
  table.resize(count);
  for (SymbolRecord& row : table) {
    if (!in.GetString(row.name, kMaxNameBytes))
      return in.AtEnd() ? ObjectReadError::Unterminated : ObjectReadError::NameTooLong;
    if (!in.GetWord(row.address)) return ObjectReadError::Truncated;
  }
  return ObjectReadError::None;
}

ObjectReadError ReadWordTable(BinaryReader& in, std::vector<Word>& table) {
  Word count = 0;
  if (!in.GetWord(count)) return ObjectReadError::Truncated;
  if (in.Remaining() / 2 < count) return ObjectReadError::Truncated;
  table.resize(count);
  for (Word& w : table) in.GetWord(w);
  return ObjectReadError::None;
}

ObjectReadError ParseTables(BinaryReader& in, ObjectFile& out) {
  // The stored path may be of any length (paths are not limited here); without
  // its terminator there is no signature to accept.
  if (!in.GetString(out.fileName, in.Size())) return ObjectReadError::NotObject;
  if (out.fileName.find(".obj") == Bytes::npos) return ObjectReadError::NotObject;
  ObjectReadError e;
  if ((e = ReadNamedTable(in, out.entries)) != ObjectReadError::None) return e;
  if ((e = ReadNamedTable(in, out.externals)) != ObjectReadError::None) return e;
  if ((e = ReadWordTable(in, out.code)) != ObjectReadError::None) return e;
  if ((e = ReadWordTable(in, out.relocations)) != ObjectReadError::None) return e;
  if ((e = ReadNamedTable(in, out.labels)) != ObjectReadError::None) return e;
  if ((e = ReadWordTable(in, out.dataAddresses)) != ObjectReadError::None) return e;
  // The linker adds the base to these words and patches these words: an
  // address outside the code would touch another object's words.
  for (Word a : out.relocations)
    if (a >= out.code.size()) return ObjectReadError::RelocationOutsideCode;
  for (const SymbolRecord& x : out.externals)
    if (x.address >= out.code.size()) return ObjectReadError::ExternalOutsideCode;
  return ObjectReadError::None;
}

ObjectReadError Finish(ObjectReadError e, ObjectFile& out) {
  if (e != ObjectReadError::None) out = ObjectFile{};
  return e;
}

}  // namespace

Bytes ObjectReadErrorText(ObjectReadError error) {
  switch (error) {
    case ObjectReadError::None:
      return {};
    case ObjectReadError::CannotOpen:
      return Cp932Text(u8"がオープンできません。");
    case ObjectReadError::TooLarge:
      return TooLargeText();
    case ObjectReadError::NotObject:
      return Cp932Text(u8"はCASLのオブジェクトファイルではありません。");
    case ObjectReadError::Truncated:
      return Cp932Text(u8"は壊れています。(ファイルが途中で終わっています)");
    case ObjectReadError::NameTooLong:
      return Cp932Text(u8"は壊れています。(255バイトを超える名前があります)");
    case ObjectReadError::Unterminated:
      return Cp932Text(u8"は壊れています。(名前の途中でファイルが終わっています)");
    case ObjectReadError::RelocationOutsideCode:
      return Cp932Text(u8"は壊れています。(再配置アドレスがコードの範囲外です)");
    case ObjectReadError::ExternalOutsideCode:
      return Cp932Text(u8"は壊れています。(外部参照のアドレスがコードの範囲外です)");
  }
  return {};
}

ObjectReadError ParseObjectFile(const std::uint8_t* data, std::size_t size, ObjectFile& out) {
  out = ObjectFile{};
  BinaryReader in;
  in.SetBytes(data, size);
  return Finish(ParseTables(in, out), out);
}

ObjectReadError ReadObjectFile(const std::string& path, ObjectFile& out) {
  out = ObjectFile{};
  BinaryReader in;
  switch (in.Load(path)) {
    case BinaryReader::LoadResult::Ok:
      break;
    case BinaryReader::LoadResult::TooLarge:
      return ObjectReadError::TooLarge;
    case BinaryReader::LoadResult::CannotOpen:
      return ObjectReadError::CannotOpen;
  }
  return Finish(ParseTables(in, out), out);
}

bool ReadObjectFile(const std::string& path, ObjectFile& out, MessageSink& sink) {
  ObjectReadError e = ReadObjectFile(path, out);
  if (e == ObjectReadError::None) return true;
  sink.AppendDiagnostic(
      {DiagCode::ObjectUnreadable, Severity::Error, {}, 0, -1, 0, path, path + ObjectReadErrorText(e)});
  return false;
}

}  // namespace tolvane
