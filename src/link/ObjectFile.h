#pragma once
// The relocatable object file (.obj): one assembled source file, its code as if
// loaded at address 0 and the tables the linker needs to place and patch it.
//
// Layout, back to back, every word big-endian, every string CP932 bytes plus a 0:
//   string  file name (the object's own path; must contain ".obj")
//   word E, E x (string name, word address)   entry table (START labels)
//   word X, X x (string name, word address)   external table (word to patch)
//   word T, T words                           code, relative addresses 0..T-1
//   word R, R words                           relocation table (add the base)
//   word L, L x (string name, word address)   label table (labels, then literals)
//   word D, D words                           data address table
// All addresses are relative to the first code word.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/MessageSink.h"
#include "common/Word.h"

namespace tolvane {

// A name with an address: rows of the entry, external and label tables, and of
// the symbol file. Names are CP932 bytes, at most 255 of them.
struct SymbolRecord {
  Bytes name;
  Word address = 0;

  friend bool operator==(const SymbolRecord&, const SymbolRecord&) = default;
};

// The seven tables of one object file, exactly as stored (relative addresses).
struct ObjectFile {
  Bytes fileName;                       // the signature string as stored
  std::vector<SymbolRecord> entries;    // E
  std::vector<SymbolRecord> externals;  // X: name and address of the word to patch
  std::vector<Word> code;               // T
  std::vector<Word> relocations;        // R
  std::vector<SymbolRecord> labels;     // L
  std::vector<Word> dataAddresses;      // D

  friend bool operator==(const ObjectFile&, const ObjectFile&) = default;
};

// Longest name a reader accepts before the terminating 0.
constexpr std::size_t kMaxNameBytes = 255;

// Why an object file was refused.
enum class ObjectReadError {
  None,
  CannotOpen,             // missing, unreadable or not a regular file
  TooLarge,               // larger than any object file can be (kMaxBinaryFileBytes)
  NotObject,              // the first string does not contain ".obj"
  Truncated,              // the data ends before the last table (also: a count larger than the file)
  NameTooLong,            // a string longer than 255 bytes before its terminator
  Unterminated,           // the file ends inside a string
  RelocationOutsideCode,  // a relocation address >= T
  ExternalOutsideCode,    // an external's patch address >= T
};

// The message text that follows the path in the " Error:  " line (CP932).
Bytes ObjectReadErrorText(ObjectReadError error);

// Parses an object file held in memory. Never reads outside [data, data + size).
// On failure `out` is left empty and the error is returned; nothing is reported.
ObjectReadError ParseObjectFile(const std::uint8_t* data, std::size_t size, ObjectFile& out);

// Reads and checks one object file. On failure reports one line
// " Error:  " + path + message through `sink` and returns false (`out` empty).
// A file whose signature lacks ".obj" gives path + "はCASLのオブジェクトファイルではありません。".
bool ReadObjectFile(const std::string& path, ObjectFile& out, MessageSink& sink);

// Same as ReadObjectFile without a sink: for tools that format their own message.
ObjectReadError ReadObjectFile(const std::string& path, ObjectFile& out);

}  // namespace tolvane
