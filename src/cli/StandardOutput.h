#pragma once
// Standard output of a running program, written in large pieces when nobody
// watches it line by line, and every failure to write it noticed.
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>

namespace tolvane::cli {

// Exit status of every command whose standard output could not be written
// (a full disk, a closed descriptor, a reader that has gone).
constexpr int kExitOutputFailed = 5;

// Collects bytes for one file descriptor and writes them in pieces of up to
// its capacity. In line mode (a terminal) every Append is written at once.
// Flush, and the async-signal-safe FlushFromSignal, write what is pending;
// no byte is ever written twice, even when a signal arrives during a write.
//
// Appends are whole lines. With the signal guard on, no write is ever cut by
// one of the terminating signals: they are blocked while bytes are on their
// way and let in only while Flush waits for a pipe to take more, and into a
// pipe or socket the bytes go in pieces it takes whole (at most PIPE_BUF,
// ending at a line end where one is near). So the reader never sees half a
// line, whenever the signal comes.
class OutputBuffer {
 public:
  static constexpr std::size_t kCapacity = std::size_t{64} * 1024;
  // A signal's flush writes what is pending for at most this long, then only
  // finishes a line already begun, for at most kSignalLineMs more: a reader
  // that has stopped cannot hold the process for ever.
  static constexpr int kSignalFlushMs = 2000;
  static constexpr int kSignalLineMs = 1000;

  OutputBuffer(int fd, bool lineMode, std::size_t capacity = kCapacity);

  // Blocks SIGINT, SIGTERM, SIGHUP and SIGXCPU around every write (see above).
  void GuardSignals(bool on) { guard_ = on; }

  // Called once with errno when a write fails; later output is dropped.
  void OnFailure(std::function<void(int error)> onFailure) { onFailure_ = std::move(onFailure); }

  void Append(const char* data, std::size_t size);
  // False when writing failed (now or before).
  bool Flush();
  // For a signal handler: writes what is pending with write(2) alone.
  void FlushFromSignal();

  bool Failed() const { return error_ != 0; }
  int Error() const { return error_; }
  bool Pending() const { return filled_ != written_; }
  // Number of write(2) calls made so far (for measuring).
  std::size_t WriteCalls() const { return writeCalls_; }

 private:
  bool WriteOut(const char* data, std::size_t size);
  bool WriteGuarded(const char* data, std::size_t size);
  // The end of the next piece of [from, to) to write (see the class comment).
  std::size_t PieceEnd(std::size_t from, std::size_t to) const;
  void Fail(int error);

  int fd_;
  bool lineMode_;
  bool pieces_;  // a pipe, FIFO or socket: written in pieces it takes whole
  bool guard_ = false;
  std::size_t capacity_;
  std::unique_ptr<char[]> data_;
  // The signal handler reads these; they change only after the bytes they
  // describe are in place (filled_) or on their way (written_).
  std::atomic<std::size_t> filled_{0};
  std::atomic<std::size_t> written_{0};
  std::atomic<bool> inWrite_{false};
  int error_ = 0;
  std::size_t writeCalls_ = 0;
  std::function<void(int)> onFailure_;
};

// The three standard streams of a program run by `run` and `go`, as stdio
// streams for the machine's console: Out() collects the OUT lines in an
// OutputBuffer over descriptor 1 (line mode when it is a terminal); In()
// reads descriptor 0 and writes the pending output before every line it
// hands over, so a prompt is out before the program waits; Err() does the
// same before every line on standard error. While buffering, SIGINT, SIGTERM, SIGHUP and
// SIGXCPU first write what is pending, whole lines only: a time limit still
// gets every line printed so far (within OutputBuffer::kSignalFlushMs when
// the reader is slow). A failed write of standard output ends the process at once
// with a message and kExitOutputFailed: there is no one left to read it.
class ProgramStreams {
 public:
  ProgramStreams();
  ~ProgramStreams();
  ProgramStreams(const ProgramStreams&) = delete;
  ProgramStreams& operator=(const ProgramStreams&) = delete;

  std::FILE* In() const { return in_; }
  std::FILE* Out() const { return out_; }
  std::FILE* Err() const { return err_; }

  // Writes what is pending; `status` unless that failed (then the message is
  // on standard error and the result is kExitOutputFailed).
  int Finish(int status);

  // The streams of the run in progress, if any.
  static ProgramStreams* Active();
  OutputBuffer& Buffer() { return buffer_; }

 private:
  static ssize_t ReadIn(void* cookie, char* data, std::size_t size);
  static ssize_t WriteOut(void* cookie, const char* data, std::size_t size);
  static ssize_t WriteErr(void* cookie, const char* data, std::size_t size);

  OutputBuffer buffer_;
  std::unique_ptr<char[]> input_;
  std::size_t inputAt_ = 0, inputEnd_ = 0;
  std::FILE* in_ = nullptr;
  std::FILE* out_ = nullptr;
  std::FILE* err_ = nullptr;
  bool signals_ = false;
};

// Before anything is written to standard error while a program runs: writes
// the program's pending output first. Does nothing otherwise.
void FlushProgramOutput();

// Reports that standard output could not be written ("tolvane-cli: standard
// output: <reason>", errno `error`, 0 when it is not known) on standard error.
void ReportOutputFailure(int error);

// Standard descriptors 0, 1 and 2 that are closed are opened on /dev/null so
// that no file the tools open takes their number; 1 and 2 for reading only, so
// that writing to them still fails as writing to a closed descriptor does.
void GuardStandardDescriptors();

}  // namespace tolvane::cli
