#include "common/AtomicFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/Cp932.h"

namespace tolvane {
namespace {

constexpr std::size_t kBufferBytes = std::size_t{64} * 1024;
// Room left in a file name for the temporary name's dot, dash and suffix.
constexpr std::size_t kMaxBaseBytes = 200;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Six letters or digits, different in every process and every call.
std::string UniqueSuffix() {
  static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[6];
  if (getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
    auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<unsigned long long>(getpid()) << 32);
    for (unsigned char& r : random) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      r = static_cast<unsigned char>(seed >> 56);
    }
  }
  std::string s;
  for (unsigned char r : random) s.push_back(kDigits[r % (sizeof kDigits - 1)]);
  return s;
}

bool WriteAll(int fd, const char* data, std::size_t size, int& error) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The temporary files being written, for RemoveTemporaryFilesNow. A signal
// handler can only reach them through a table of fixed size and place in the
// whole process; a slot is 0 free, 1 being filled, 2 naming a live file.
struct TemporarySlot {
  std::atomic<int> state{0};
  char path[PATH_MAX];
};
constexpr int kTemporarySlots = 32;
TemporarySlot temporarySlots[kTemporarySlots];

int RegisterTemporary(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kTemporarySlots; ++i) {
    int free = 0;
    if (!temporarySlots[i].state.compare_exchange_strong(free, 1)) continue;
    std::memcpy(temporarySlots[i].path, path.c_str(), path.size() + 1);
    temporarySlots[i].state.store(2);
    return i;
  }
  return -1;  // (more files at once than any tool writes: not cleaned up on a signal)
}

void ReleaseTemporary(int& slot) {
  if (slot >= 0) temporarySlots[slot].state.store(0);
  slot = -1;
}

}  // namespace

void RemoveTemporaryFilesNow() {
  for (TemporarySlot& slot : temporarySlots)
    if (slot.state.load() == 2) ::unlink(slot.path);
}

namespace {

PathKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return PathKind::File;
  if (S_ISLNK(mode)) return PathKind::Link;
  if (S_ISDIR(mode)) return PathKind::Folder;
  if (S_ISFIFO(mode)) return PathKind::Fifo;
  if (S_ISSOCK(mode)) return PathKind::Socket;
  return PathKind::Device;
}

}  // namespace

PathKind KindOfPath(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? KindOfMode(st.st_mode) : PathKind::Missing;
}

PathKind KindBehindPath(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? KindOfMode(st.st_mode) : PathKind::Missing;
}

std::string InputProblemText(const std::string& path) {
  const PathKind kind = KindBehindPath(path);
  if (kind == PathKind::File) return std::string();
  if (kind == PathKind::Missing) return Cp932Text(u8"が存在しません。");
  return Cp932Text(u8"は") + PathKindText(kind) + Cp932Text(u8"のため読み込めません。");
}

std::string PathKindText(PathKind kind) {
  switch (kind) {
    case PathKind::Folder:
      return Cp932Text(u8"フォルダ");
    case PathKind::Device:
      return Cp932Text(u8"デバイス");
    case PathKind::Fifo:
      return Cp932Text(u8"名前付きパイプ");
    case PathKind::Socket:
      return Cp932Text(u8"ソケット");
    case PathKind::Missing:
    case PathKind::File:
    case PathKind::Link:
      break;
  }
  return std::string();
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Open(const std::string& path) {
  Discard();
  error_ = 0;
  buffer_.clear();
  target_ = path;
  struct stat st {};
  if (options_.followLink && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      target_ = resolved;
      std::free(resolved);
    }
  }
  refused_ = PathKind::Missing;
  if (!Replaceable()) return false;
  std::string base = BaseOf(target_);
  if (base.size() > kMaxBaseBytes) base.resize(kMaxBaseBytes);
  const std::string folder = FolderOf(target_);
  const std::string prefix = (folder == "/" ? folder : folder + "/") + "." + base + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = prefix + UniqueSuffix();
    // Created and entered in the table as one step for a signal handler: a
    // signal arriving while open() runs is handled as it returns, which
    // would be before the file is in the table.
    sigset_t all, old;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &old);
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int openError = errno;
    if (fd_ >= 0) slot_ = RegisterTemporary(candidate);
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (fd_ >= 0) {
      temporary_ = candidate;
      break;
    }
    if (openError != EEXIST) {
      error_ = openError;
      return false;
    }
  }
  if (fd_ < 0) {
    error_ = EEXIST;
    return false;
  }
  if (options_.keepMode && ::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    (void)::fchmod(fd_, st.st_mode & 07777);
  return true;
}

void AtomicFile::Fail(int error) {
  if (error_ == 0) error_ = error;
  Discard();
}

bool AtomicFile::Flush() {
  if (fd_ < 0) return false;
  int error = 0;
  const bool ok = WriteAll(fd_, buffer_.data(), buffer_.size(), error);
  buffer_.clear();
  if (!ok) Fail(error);
  return ok;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
  if (fd_ < 0) return false;
  buffer_.append(static_cast<const char*>(data), size);
  return buffer_.size() < kBufferBytes || Flush();
}

// Checked before anything is written and again just before the rename, for
// whatever took the name's place in between.
bool AtomicFile::Replaceable() {
  const PathKind kind = KindOfPath(target_);
  if (kind == PathKind::Missing || kind == PathKind::File || kind == PathKind::Link) return true;
  refused_ = kind;
  error_ = kind == PathKind::Folder ? EISDIR : EINVAL;
  return false;
}

bool AtomicFile::Commit() {
  if (fd_ < 0) {
    if (error_ == 0) error_ = EBADF;
    return false;
  }
  if (!Flush()) return false;
  if (options_.sync && ::fsync(fd_) != 0) {
    Fail(errno);
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    Fail(errno);
    return false;
  }
  if (!Replaceable()) {
    Discard();
    return false;
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    Fail(errno);
    return false;
  }
  temporary_.clear();
  ReleaseTemporary(slot_);
  if (options_.sync) {
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      (void)::fsync(folder);
      ::close(folder);
    }
  }
  return true;
}

void AtomicFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  ReleaseTemporary(slot_);
  buffer_.clear();
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, AtomicFile::Options options, int* error) {
  AtomicFile file(options);
  const bool ok = file.Open(path) && file.Write(bytes) && file.Commit();
  if (error) *error = ok ? 0 : file.Error();
  return ok;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string RefusedOutputText(PathKind kind) {
  return Cp932Text(u8"は") + PathKindText(kind) + Cp932Text(u8"のため書き込めません。");
}

std::string OutputFailureText(const AtomicFile& file, const std::string& usual) {
  // Whatever stands in the way is named: "cannot be opened" sends the user
  // looking for a permission problem when a folder has the output's name.
  if (file.Refused() != PathKind::Missing) return RefusedOutputText(file.Refused());
  if (file.Error() == ENOSPC || file.Error() == EDQUOT) return usual + Cp932Text(u8"ディスクに空きがありません。");
  return usual;
}

std::string OutputIsAnInputText() { return Cp932Text(u8"は入力ファイルと同じファイルのため書き込めません。"); }

}  // namespace tolvane
