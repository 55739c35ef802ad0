#include "common/BinaryIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Cp932.h"

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
FileReadResult ReadInto(const std::string& path, Buffer& out, std::size_t maxBytes) {
  out.clear();
  // Opening without blocking: a FIFO without a writer would otherwise wait
  // here forever. What was opened is checked before anything is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FileReadResult::CannotOpen;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int why = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = why;
    return FileReadResult::CannotOpen;
  }
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    ::close(fd);
    return FileReadResult::TooLarge;
  }
  out.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  bool failed = false;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed = n < 0;
      break;
    }
    // A file that grows while it is read is held to the same limit.
    if (static_cast<std::size_t>(n) > maxBytes - out.size()) {
      ::close(fd);
      out.clear();
      return FileReadResult::TooLarge;
    }
    out.insert(out.end(), buf, buf + n);
  }
  if (::close(fd) != 0 && !failed) return FileReadResult::CannotClose;
  if (failed) {
    out.clear();
    return FileReadResult::ReadError;
  }
  return FileReadResult::Ok;
}

}  // namespace

std::string TooLargeText() { return Cp932Text(u8"は大きすぎるため読み込めません。"); }

FileReadResult ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes) {
  return ReadInto(path, out, maxBytes);
}
FileReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t maxBytes) {
  return ReadInto(path, out, maxBytes);
}

BinaryReader::LoadResult BinaryReader::Load(const std::string& path) {
  pos_ = 0;
  // A close failure after a complete read leaves usable bytes; only a failed
  // open or read makes the file unreadable here.
  switch (ReadWholeFile(path, data_, kMaxBinaryFileBytes)) {
    case FileReadResult::Ok:
    case FileReadResult::CannotClose:
      return LoadResult::Ok;
    case FileReadResult::TooLarge:
      return LoadResult::TooLarge;
    case FileReadResult::CannotOpen:
    case FileReadResult::ReadError:
      break;
  }
  return LoadResult::CannotOpen;
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
