#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "common/BinaryIo.h"
#include "common/Cp932.h"
#include "link/LoadModule.h"
#include "link/ObjectFile.h"

namespace tolvane::cli {

const char* const kDumpHelp =
    "  dump FILE        print an object file (.obj), load module (.exe) or symbol file\n"
    "                   (.sym) as readable tables; the kind is taken from the file name\n"
    "                   stored at its start. Exit status: 0 printed, 1 unreadable or\n"
    "                   invalid file, 2 usage, 5 standard output could not be written.\n";

namespace {

enum class Kind { Unknown, Object, LoadModule, Symbols };

// The stored file name says what the file is; when it names several kinds
// ("x.obj.exe") the last one wins, as that is the extension the writer gave it.
Kind KindOf(const std::vector<std::uint8_t>& bytes) {
  std::size_t end = 0;
  while (end < bytes.size() && bytes[end] != 0) ++end;
  if (end == bytes.size()) return Kind::Unknown;
  const std::string name(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
  Kind kind = Kind::Unknown;
  std::size_t best = 0;
  for (auto [mark, k] : {std::pair{".obj", Kind::Object}, {".exe", Kind::LoadModule}, {".sym", Kind::Symbols}}) {
    const std::size_t at = name.rfind(mark);
    if (at != std::string::npos && (kind == Kind::Unknown || at >= best)) {
      kind = k;
      best = at;
    }
  }
  return kind;
}

void Out(const std::string& cp932) { PrintCp932(stdout, cp932); }

void PrintNamed(const char* title, const char* count, const std::vector<SymbolRecord>& rows) {
  std::printf("\n%s (%s = %zu)\n", title, count, rows.size());
  for (const SymbolRecord& r : rows) {
    std::printf("  %04X  ", r.address);
    Out(r.name);
    std::putchar('\n');
  }
}

// Words eight to a line, each line led by the address of its first word.
void PrintWordBlock(const std::vector<Word>& words, unsigned firstAddress) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i % 8 == 0) std::printf("%s  %04X:", i ? "\n" : "", static_cast<unsigned>((firstAddress + i) & 0xFFFF));
    std::printf(" %04X", words[i]);
  }
  if (!words.empty()) std::putchar('\n');
}

void PrintAddressList(const char* title, const char* count, const std::vector<Word>& words) {
  std::printf("\n%s (%s = %zu)\n", title, count, words.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i % 8 == 0) std::printf("%s ", i ? "\n" : "");
    std::printf(" %04X", words[i]);
  }
  if (!words.empty()) std::putchar('\n');
}

void PrintHeader(const char* kind, const std::string& path, const std::string& stored) {
  // Paths are file-system bytes and are printed as they are.
  std::printf("%s %s\n  stored name  %s\n", kind, path.c_str(), stored.c_str());
}

// The path comes from the command line and is printed as given; the message
// after it is the program's own CP932 text.
int Fail(const std::string& path, const std::string& cp932) {
  std::fprintf(stderr, "tolvane-cli dump: %s", path.c_str());
  PrintCp932(stderr, cp932);
  std::fputc('\n', stderr);
  return 1;
}

int DumpObject(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  ObjectFile o;
  const ObjectReadError e = ParseObjectFile(bytes.data(), bytes.size(), o);
  if (e != ObjectReadError::None) return Fail(path, ObjectReadErrorText(e));
  PrintHeader("Object file", path, o.fileName);
  PrintNamed("Entries", "E", o.entries);
  PrintNamed("Externals", "X", o.externals);
  std::printf("\nCode (T = %zu)\n", o.code.size());
  PrintWordBlock(o.code, 0);
  PrintAddressList("Relocations", "R", o.relocations);
  PrintNamed("Labels", "L", o.labels);
  PrintAddressList("Data addresses", "D", o.dataAddresses);
  return 0;
}

int DumpLoadModule(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  LoadModule m;
  const ModuleReadError e = ParseLoadModule(bytes.data(), bytes.size(), m);
  if (e != ModuleReadError::None) return Fail(path, ModuleReadErrorText(e, "", false));
  PrintHeader("Load module", path, m.fileName);
  std::printf("  origin       %04X\n  start        %04X\n  initial SP   %04X\n  StackLimit   %04X\n", m.origin, m.start,
              m.initialSp, m.stackLimit);
  std::printf("\nImage (N = %zu)\n", m.image.size());
  PrintWordBlock(m.image, m.origin);
  PrintAddressList("Data addresses", "D", m.dataAddresses);
  return 0;
}

int DumpSymbols(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  SymbolTable s;
  const ModuleReadError e = ParseSymbolFile(bytes.data(), bytes.size(), s);
  if (e != ModuleReadError::None) return Fail(path, ModuleReadErrorText(e, "", true));
  // Only the stored name is needed for the header; the parser checked it.
  std::string stored(reinterpret_cast<const char*>(bytes.data()));
  PrintHeader("Symbol file", path, stored);
  PrintNamed("Symbols", "S", s);
  return 0;
}

}  // namespace

int CmdDump(const Args& args) {
  std::vector<std::string> files;
  std::string unknown;
  auto option = [&](std::size_t& i, std::string& why) {
    why = args[i];
    return false;
  };
  if (!SplitArguments(args, files, option, unknown)) {
    std::fprintf(stderr, "tolvane-cli dump: unknown option %s\nusage: tolvane-cli dump FILE\n", unknown.c_str());
    return 2;
  }
  if (files.size() != 1) {
    std::fputs("tolvane-cli dump: give exactly one file\nusage: tolvane-cli dump FILE\n", stderr);
    return 2;
  }
  const std::string& path = files[0];
  std::vector<std::uint8_t> bytes;
  // Nothing larger than the largest possible file of any kind is read.
  switch (ReadWholeFile(path, bytes, kMaxBinaryFileBytes)) {
    case FileReadResult::Ok:
      break;
    case FileReadResult::TooLarge:
      return Fail(path, TooLargeText());
    default:
      return Fail(path, Cp932Text(u8"がオープンできません。"));
  }
  switch (KindOf(bytes)) {
    case Kind::Object:
      return DumpObject(path, bytes);
    case Kind::LoadModule:
      return DumpLoadModule(path, bytes);
    case Kind::Symbols:
      return DumpSymbols(path, bytes);
    case Kind::Unknown:
      break;
  }
  return Fail(path,
              Cp932Text(u8"はCASLのオブジェクトファイル、実行可能ファイル、シンボルファイルのいずれでもありません。"));
}

}  // namespace tolvane::cli
