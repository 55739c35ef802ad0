#pragma once
// The load module (.exe) and the symbol file (.sym) the linker writes and the
// loader reads back.
//
// Load module: string file name (must contain ".exe"); words origin, start
// address, initial SP, StackLimit; word N and N image words for addresses
// origin .. origin+N-1; word D and D absolute data addresses.
// Symbol file: string file name (must contain ".sym"); word S; S x (string
// name, word address).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/MessageBox.h"
#include "common/MessageSink.h"
#include "common/Word.h"
#include "link/ObjectFile.h"  // SymbolRecord

namespace tolvane {

// A linked program as stored in a .exe.
struct LoadModule {
  Bytes fileName;                   // the signature string as stored (ignored by the writer)
  Word origin = 0;                  // address of image[0]
  Word start = 0;                   // initial PR
  Word initialSp = 0;               // program end + stack size
  Word stackLimit = 0;              // program end: lowest address the stack may use
  std::vector<Word> image;          // memory contents from origin upward; origin + size <= 65536
  std::vector<Word> dataAddresses;  // absolute addresses of data words

  friend bool operator==(const LoadModule&, const LoadModule&) = default;
};

using SymbolTable = std::vector<SymbolRecord>;

// Why a .exe or .sym was refused.
enum class ModuleReadError {
  None,
  CannotOpen,
  TooLarge,         // larger than any load module or symbol file can be (kMaxBinaryFileBytes)
  WrongSignature,   // ".exe" / ".sym" missing from the stored file name
  Truncated,        // ends early, or a count larger than the file
  NameTooLong,      // a string longer than 255 bytes
  Unterminated,     // the file ends inside a string
  ImagePastMemory,  // origin + N exceeds 65536
};

// The message-box text (CP932). For errors about the file the path comes first:
// path + "がオープンできません。", path + "はCASLの実行可能ファイルではありません。",
// path + "はCASLのシンボルファイルではありません。", and clear texts for the rest.
Bytes ModuleReadErrorText(ModuleReadError error, const std::string& path, bool symbolFile);

// Parsers over bytes in memory (never read outside them). On failure the output is
// cleared and the error returned; nothing is reported.
ModuleReadError ParseLoadModule(const std::uint8_t* data, std::size_t size, LoadModule& out);
ModuleReadError ParseSymbolFile(const std::uint8_t* data, std::size_t size, SymbolTable& out);

// Loader side: read the file, show one "エラー" box with the text on failure and
// return false (output cleared). The image is returned, not placed into memory:
// the caller copies image[i] to memory[origin + i].
bool ReadLoadModule(const std::string& path, LoadModule& out, MessageBoxPort& box);
bool ReadSymbolFile(const std::string& path, SymbolTable& out, MessageBoxPort& box);

// Same without a box, for tools that format their own message.
ModuleReadError ReadLoadModule(const std::string& path, LoadModule& out);
ModuleReadError ReadSymbolFile(const std::string& path, SymbolTable& out);

// Linker side: write the file with `path` itself as its file-name string.
// Failures report " Error:  " + path + "がオープンできません。" / "がクローズできません。"
// through `sink` and return false; a half-written file stays on disk.
bool WriteLoadModule(const std::string& path, const LoadModule& module, MessageSink& sink);
bool WriteSymbolFile(const std::string& path, const SymbolTable& symbols, MessageSink& sink);

}  // namespace tolvane
