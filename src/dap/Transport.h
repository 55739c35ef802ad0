#pragma once
// How the adapter talks to its client: whole messages in, whole messages out.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace tolvane::dap {

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
  };
  // The next message; with `wait` false it returns None at once when there is none.
  virtual Incoming Receive(bool wait) = 0;
  // False when the client can no longer be written to.
  virtual bool Send(const std::string& body) = 0;
};

// Messages framed on two file descriptors. A thread reads the input as it
// arrives, so that a request (a pause, say) is there to be seen while the
// adapter runs the program and looks only now and then.
class FdTransport : public Transport {
 public:
  FdTransport(int in, int out);
  ~FdTransport() override;
  FdTransport(const FdTransport&) = delete;
  FdTransport& operator=(const FdTransport&) = delete;

  Incoming Receive(bool wait) override;
  bool Send(const std::string& body) override;

 private:
  void ReadLoop();
  void Push(Incoming incoming);

  int in_, out_;
  int wake_[2] = {-1, -1};  // written to by the destructor to end the reader
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Incoming> queue_;
  bool sendFailed_ = false;
  std::thread reader_;
};

}  // namespace tolvane::dap
