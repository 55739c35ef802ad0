#include "common/BinaryIo.h"

#include <sys/stat.h>

namespace tolvane {

bool BinaryWriter::Open(const std::string& path) {
  failed_ = false;
  open_ = file_.Open(path);
  return open_;
}

void BinaryWriter::PutWord(Word w) {
  if (!open_) return;
  const char b[2] = {static_cast<char>(w >> 8), static_cast<char>(w & 0xFF)};
  if (!file_.Write(b, 2)) failed_ = true;
}

void BinaryWriter::PutString(const std::string& s) {
  if (!open_) return;
  // The string and its terminator, c_str() providing the 0 byte.
  if (!file_.Write(s.c_str(), s.size() + 1)) failed_ = true;
}

bool BinaryWriter::Close() {
  if (!open_) return false;
  open_ = false;
  return file_.Commit() && !failed_;
}

namespace {

template <class Buffer>
FileReadResult ReadInto(const std::string& path, Buffer& out) {
  out.clear();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FileReadResult::CannotOpen;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return FileReadResult::CannotOpen;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  const bool failed = std::ferror(f) != 0;
  if (std::fclose(f) != 0 && !failed) return FileReadResult::CannotClose;
  if (failed) {
    out.clear();
    return FileReadResult::ReadError;
  }
  return FileReadResult::Ok;
}

}  // namespace

FileReadResult ReadWholeFile(const std::string& path, std::string& out) { return ReadInto(path, out); }
FileReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) { return ReadInto(path, out); }

BinaryReader::LoadResult BinaryReader::Load(const std::string& path) {
  pos_ = 0;
  // A close failure after a complete read leaves usable bytes; only a failed
  // open or read makes the file unreadable here.
  const FileReadResult r = ReadWholeFile(path, data_);
  return r == FileReadResult::Ok || r == FileReadResult::CannotClose ? LoadResult::Ok : LoadResult::CannotOpen;
}

void BinaryReader::SetBytes(const std::uint8_t* data, std::size_t size) {
  data_.assign(data, data + size);
  pos_ = 0;
}

bool BinaryReader::GetWord(Word& w) {
  if (data_.size() - pos_ < 2) {
    pos_ = data_.size();
    return false;
  }
  w = static_cast<Word>((data_[pos_] << 8) | data_[pos_ + 1]);
  pos_ += 2;
  return true;
}

bool BinaryReader::GetString(std::string& s, std::size_t maxLength) {
  s.clear();
  while (pos_ < data_.size()) {
    std::uint8_t c = data_[pos_++];
    if (c == 0) return true;
    if (s.size() >= maxLength) return false;
    s.push_back(static_cast<char>(c));
  }
  return false;
}

bool BinaryReader::SkipWords(std::size_t count) {
  if ((data_.size() - pos_) / 2 < count) {
    pos_ = data_.size();
    return false;
  }
  pos_ += count * 2;
  return true;
}

}  // namespace tolvane
