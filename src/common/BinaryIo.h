#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Word.h"

namespace tolvane {

// Writes the primitives shared by .obj, .exe and .sym: big-endian words and
// 0-terminated CP932 strings. The file is replaced whole at Close (see
// AtomicFile): a failed write leaves the old file, a link in its place is
// replaced rather than written through.
class BinaryWriter {
 public:
  BinaryWriter() = default;
  BinaryWriter(const BinaryWriter&) = delete;
  BinaryWriter& operator=(const BinaryWriter&) = delete;
  ~BinaryWriter() = default;  // an unclosed file is discarded

  bool Open(const std::string& path);
  void PutWord(Word w);
  void PutString(const std::string& s);  // bytes then one 0 byte
  // True when every write reached the file and it replaced the old one.
  bool Close();
  bool WriteFailed() const { return failed_; }
  // Why it failed (see AtomicFile::Refused, Error and OutputFailureText).
  const AtomicFile& File() const { return file_; }

 private:
  AtomicFile file_;
  bool open_ = false;
  bool failed_ = false;
};

// No object file, load module or symbol file can be larger than this: a stored
// path of at most 4096 bytes, and tables whose counts are single words (an
// object file's three name tables hold at most 65535 names of up to 255 bytes,
// a terminator and an address each, about 51 MB, and its three word tables
// about 400 KB more). Anything larger is refused before it is read.
constexpr std::size_t kMaxBinaryFileBytes = std::size_t{64} * 1024 * 1024;

// The message for such a file, after its path (CP932).
std::string TooLargeText();

enum class FileReadResult { Ok, CannotOpen, ReadError, CannotClose, TooLarge };

// Reads a whole file. Anything but a regular file (a directory, a FIFO or a
// device that could block or never end) is refused as CannotOpen without
// waiting for it; a file of more than `maxBytes` is refused as TooLarge before
// it is read. After CannotOpen, errno tells why.
FileReadResult ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes = SIZE_MAX);
FileReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t maxBytes = SIZE_MAX);

// Reads the same primitives from a whole file held in memory, never past its end.
class BinaryReader {
 public:
  enum class LoadResult { Ok, CannotOpen, TooLarge };
  // Fails for a missing, unreadable or non-regular file, and for one larger
  // than any of the formats allows (kMaxBinaryFileBytes).
  LoadResult Load(const std::string& path);
  void SetBytes(const std::uint8_t* data, std::size_t size);

  // Each returns false (and leaves the position at the end) when the data ends early.
  bool GetWord(Word& w);
  // Reads up to the 0 byte. False when the data ends first or more than
  // `maxLength` bytes come before the terminator.
  bool GetString(std::string& s, std::size_t maxLength = 255);
  // Skips `count` words; false if fewer remain.
  bool SkipWords(std::size_t count);

  std::size_t Position() const { return pos_; }
  std::size_t Size() const { return data_.size(); }
  std::size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace tolvane
