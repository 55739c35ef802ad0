#pragma once
// How the language server and the debug adapter talk to their client: whole
// messages in, whole messages out.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "rpc/Framing.h"

namespace tolvane::rpc {

class Transport {
 public:
  virtual ~Transport() = default;

  struct Incoming {
    enum class Kind {
      None,       // nothing has arrived (only when not waiting)
      Message,    // `text` is a message body
      Malformed,  // something arrived that is no message; `text` says what
      Closed,     // the client has gone: nothing more will arrive
    } kind = Kind::None;
    std::string text;
    FrameError error = FrameError::None;  // why, for Malformed
  };
  // The next message; with `wait` false it returns None at once when there is none.
  virtual Incoming Receive(bool wait) = 0;
  // False when the client can no longer be written to.
  virtual bool Send(const std::string& body) = 0;
};

// Messages framed on two file descriptors. A thread reads the input as it
// arrives, so that a request (a pause, say) is there to be seen while the
// adapter runs the program and looks only now and then. A message body above
// `maxBody` bytes is skipped and reported as Malformed.
class FdTransport : public Transport {
 public:
  FdTransport(int in, int out, std::size_t maxBody);
  ~FdTransport() override;
  FdTransport(const FdTransport&) = delete;
  FdTransport& operator=(const FdTransport&) = delete;

  Incoming Receive(bool wait) override;
  bool Send(const std::string& body) override;

 private:
  void ReadLoop();
  void Push(Incoming incoming);

  int in_, out_;
  std::size_t maxBody_;
  int wake_[2] = {-1, -1};  // written to by the destructor to end the reader
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Incoming> queue_;
  bool sendFailed_ = false;
  std::thread reader_;
};

// Serves a protocol on standard input and output, as an editor starts a
// server: the protocol gets standard output's descriptor to itself, anything
// else written to standard output goes to standard error instead, and a client
// that has gone is noticed as a failed write, not a signal. Returns what
// `serve` returns, or 1 (after saying why, headed by `name`) when the streams
// cannot be set up.
int ServeStandardStreams(const char* name, std::size_t maxBody, const std::function<int(Transport&)>& serve);

}  // namespace tolvane::rpc
