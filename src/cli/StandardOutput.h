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
class OutputBuffer {
 public:
  static constexpr std::size_t kCapacity = std::size_t{64} * 1024;

  OutputBuffer(int fd, bool lineMode, std::size_t capacity = kCapacity);

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
  void Fail(int error);

  int fd_;
  bool lineMode_;
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
// SIGXCPU first write what is pending: a time limit still gets every line
// printed so far. A failed write of standard output ends the process at once
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
