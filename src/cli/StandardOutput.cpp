#include "StandardOutput.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tolvane::cli {

// ---------------------------------------------------------------------------

namespace {

constexpr int kFlushSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXCPU};

sigset_t FlushSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kFlushSignals) sigaddset(&set, sig);
  return set;
}

long long NowMs() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The terminating signals blocked for the object's lifetime, when `on`.
class SignalBlock {
 public:
  explicit SignalBlock(bool on) : on_(on) {
    if (!on_) return;
    const sigset_t set = FlushSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalBlock() {
    if (on_) ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;
  // The mask as it was: what a wait lets in.
  const sigset_t* Outside() const { return on_ ? &old_ : nullptr; }

 private:
  bool on_;
  sigset_t old_{};
};

// Waits until `fd` takes more bytes (or has failed: the write then tells),
// letting in the signals `mask` does not block.
void WaitWritable(int fd, const sigset_t* mask) {
  pollfd p{fd, POLLOUT, 0};
  while (::ppoll(&p, 1, nullptr, mask) < 0 && errno == EINTR) {
    if (mask) return;  // a signal came in: the caller looks at the buffer again
  }
}

bool IsPipeOrSocket(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
}

}  // namespace

OutputBuffer::OutputBuffer(int fd, bool lineMode, std::size_t capacity)
    : fd_(fd), lineMode_(lineMode), pieces_(IsPipeOrSocket(fd)), capacity_(capacity), data_(new char[capacity]) {}

void OutputBuffer::Fail(int error) {
  if (error_ != 0) return;
  error_ = error;
  if (onFailure_) onFailure_(error);
}

std::size_t OutputBuffer::PieceEnd(std::size_t from, std::size_t to) const {
  if (!pieces_ || to - from <= PIPE_BUF) return to;
  const std::size_t end = from + PIPE_BUF;
  // Split at the last line end in the piece; only a line longer than a whole
  // piece is split inside.
  for (std::size_t i = end; i > from; --i)
    if (data_[i - 1] == '\n') return i;
  return end;
}

bool OutputBuffer::WriteOut(const char* data, std::size_t size) {
  SignalBlock block(guard_);
  while (size > 0) {
    if (pieces_) WaitWritable(fd_, block.Outside());
    const ssize_t n = ::write(fd_, data, pieces_ ? std::min<std::size_t>(size, PIPE_BUF) : size);
    ++writeCalls_;
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool OutputBuffer::Flush() {
  if (error_ != 0) return false;
  SignalBlock block(guard_);
  for (;;) {
    if (pieces_ && written_.load() < filled_.load()) WaitWritable(fd_, block.Outside());
    // (A signal let in during the wait may have written some already.)
    const std::size_t from = written_.load();
    const std::size_t to = filled_.load();
    if (from >= to) break;
    // While the write is under way the signal handler leaves these bytes
    // alone: it cannot know how many of them have gone out.
    inWrite_.store(true);
    const ssize_t n = ::write(fd_, data_.get() + from, PieceEnd(from, to) - from);
    ++writeCalls_;
    if (n > 0) written_.store(from + static_cast<std::size_t>(n));
    inWrite_.store(false);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return false;
    }
  }
  // filled_ first: a handler in between sees nothing pending.
  if (filled_.load() != 0) {
    filled_.store(0);
    written_.store(0);
  }
  return true;
}

void OutputBuffer::Append(const char* data, std::size_t size) {
  if (error_ != 0) return;
  if (filled_.load() + size > capacity_ && !Flush()) return;
  if (size >= capacity_) {
    // Larger than the whole buffer: straight out, after what was pending.
    WriteOut(data, size);
    return;
  }
  const std::size_t at = filled_.load();
  std::memcpy(data_.get() + at, data, size);
  filled_.store(at + size);
  if (lineMode_) Flush();
}

void OutputBuffer::FlushFromSignal() {
  if (inWrite_.load()) return;
  std::size_t from = written_.load();
  std::size_t to = filled_.load();
  long long deadline = NowMs() + kSignalFlushMs;
  bool finishing = false;
  while (from < to) {
    const long long left = deadline - NowMs();
    if (left <= 0) {
      // Out of time: only the line already begun is finished, so that the
      // reader is not left with half of it.
      if (finishing || from == 0 || data_[from - 1] == '\n') break;
      finishing = true;
      const void* lineEnd = std::memchr(data_.get() + from, '\n', to - from);
      if (lineEnd) to = static_cast<std::size_t>(static_cast<const char*>(lineEnd) - data_.get()) + 1;
      deadline = NowMs() + kSignalLineMs;
      continue;
    }
    if (pieces_) {
      pollfd p{fd_, POLLOUT, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(left));
      if (ready < 0 && errno != EINTR) break;
      if (ready <= 0) continue;
    }
    const ssize_t n = ::write(fd_, data_.get() + from, PieceEnd(from, to) - from);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    from += static_cast<std::size_t>(n);
    written_.store(from);
  }
}

// ---------------------------------------------------------------------------

namespace {

std::atomic<ProgramStreams*> active{nullptr};

void OnTerminatingSignal(int sig) {
  const int saved = errno;
  if (ProgramStreams* streams = active.load()) streams->Buffer().FlushFromSignal();
  errno = saved;
  // The handler was reset on entry (SA_RESETHAND): the signal, raised again,
  // ends the process as it would have. It is let in here and now: returning
  // would restore the mask of the interrupted code, which blocks it while a
  // write is under way, and a write into a pipe nobody reads never returns.
  ::raise(sig);
  sigset_t self;
  sigemptyset(&self);
  sigaddset(&self, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &self, nullptr);
}

bool WriteAllTo(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void ReportOutputFailure(int error) {
  const std::string line =
      std::string("tolvane-cli: standard output: ") + (error != 0 ? std::strerror(error) : "write failed") + "\n";
  WriteAllTo(2, line.data(), line.size());
}

ProgramStreams::ProgramStreams() : buffer_(1, ::isatty(1) == 1), input_(new char[OutputBuffer::kCapacity]) {
  // Nobody is left to read what the program writes: stop at once.
  buffer_.OnFailure([](int error) {
    ReportOutputFailure(error);
    std::_Exit(kExitOutputFailed);
  });
  in_ = fopencookie(this, "r", {ReadIn, nullptr, nullptr, nullptr});
  out_ = fopencookie(this, "w", {nullptr, WriteOut, nullptr, nullptr});
  err_ = fopencookie(this, "w", {nullptr, WriteErr, nullptr, nullptr});
  // The output streams unbuffered: every stdio call reaches the cookie at
  // once, so the only bytes held back are the ones in `buffer_`, which the
  // signal handler sees.
  for (std::FILE* f : {out_, err_})
    if (f) std::setvbuf(f, nullptr, _IONBF, 0);
  active.store(this);
  if (::isatty(1) != 1) {
    signals_ = true;
    buffer_.GuardSignals(true);
    struct sigaction sa {};
    sa.sa_handler = OnTerminatingSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    for (int sig : kFlushSignals) {
      struct sigaction old {};
      // A signal the caller chose to ignore stays ignored.
      if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
      ::sigaction(sig, &sa, nullptr);
    }
  }
}

ProgramStreams::~ProgramStreams() {
  buffer_.Flush();
  if (signals_) {
    for (int sig : kFlushSignals) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == OnTerminatingSignal) ::signal(sig, SIG_DFL);
    }
  }
  active.store(nullptr);
  for (std::FILE* f : {in_, out_, err_})
    if (f) std::fclose(f);
}

ProgramStreams* ProgramStreams::Active() { return active.load(); }

int ProgramStreams::Finish(int status) {
  if (buffer_.Flush() && !buffer_.Failed()) return status;
  return kExitOutputFailed;
}

ssize_t ProgramStreams::ReadIn(void* cookie, char* data, std::size_t size) {
  auto* self = static_cast<ProgramStreams*>(cookie);
  // Each call hands over at most one line (below), so the stream comes here
  // again for every line the program reads: its output so far is out before
  // it can wait for input.
  self->buffer_.Flush();
  if (self->inputAt_ == self->inputEnd_) {
    ssize_t n;
    do {
      n = ::read(0, self->input_.get(), OutputBuffer::kCapacity);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return n;
    self->inputAt_ = 0;
    self->inputEnd_ = static_cast<std::size_t>(n);
  }
  const char* from = self->input_.get() + self->inputAt_;
  const std::size_t available = self->inputEnd_ - self->inputAt_;
  const void* lineEnd = std::memchr(from, '\n', available);
  const std::size_t line = lineEnd ? static_cast<std::size_t>(static_cast<const char*>(lineEnd) - from) + 1 : available;
  const std::size_t n = std::min(size, line);
  std::memcpy(data, self->input_.get() + self->inputAt_, n);
  self->inputAt_ += n;
  return static_cast<ssize_t>(n);
}

ssize_t ProgramStreams::WriteOut(void* cookie, const char* data, std::size_t size) {
  static_cast<ProgramStreams*>(cookie)->buffer_.Append(data, size);
  return static_cast<ssize_t>(size);
}

ssize_t ProgramStreams::WriteErr(void* cookie, const char* data, std::size_t size) {
  static_cast<ProgramStreams*>(cookie)->buffer_.Flush();
  return WriteAllTo(2, data, size) ? static_cast<ssize_t>(size) : -1;
}

void FlushProgramOutput() {
  if (ProgramStreams* streams = ProgramStreams::Active()) streams->Buffer().Flush();
}

void GuardStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", O_RDONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

}  // namespace tolvane::cli
