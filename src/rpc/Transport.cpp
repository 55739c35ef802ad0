#include "rpc/Transport.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace tolvane::rpc {

FdTransport::FdTransport(int in, int out, std::size_t maxBody) : in_(in), out_(out), maxBody_(maxBody) {
  if (pipe(wake_) != 0) wake_[0] = wake_[1] = -1;
  reader_ = std::thread([this] { ReadLoop(); });
}

FdTransport::~FdTransport() {
  if (wake_[1] >= 0) {
    const char c = 0;
    while (write(wake_[1], &c, 1) < 0 && errno == EINTR) {
    }
  }
  if (reader_.joinable()) {
    if (wake_[1] >= 0)
      reader_.join();
    else
      reader_.detach();  // nothing can wake it: it ends with the process
  }
  for (int fd : wake_)
    if (fd >= 0) close(fd);
}

void FdTransport::Push(Incoming incoming) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(incoming));
  }
  arrived_.notify_one();
}

void FdTransport::ReadLoop() {
  FrameReader frames(maxBody_);
  char buffer[65536];
  for (;;) {
    pollfd fds[2] = {{in_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int ready = poll(fds, wake_[0] >= 0 ? 2 : 1, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (wake_[0] >= 0 && fds[1].revents != 0) return;  // the transport is going away
    const ssize_t n = read(in_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    frames.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    for (FrameReader::Frame f = frames.Next(); f.kind != FrameReader::Kind::None; f = frames.Next())
      Push({f.kind == FrameReader::Kind::Body ? Incoming::Kind::Message : Incoming::Kind::Malformed, std::move(f.text),
            f.error});
  }
  Push({Incoming::Kind::Closed, {}});
}

Transport::Incoming FdTransport::Receive(bool wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wait) arrived_.wait(lock, [this] { return !queue_.empty(); });
  if (queue_.empty()) return {};
  Incoming next = std::move(queue_.front());
  // Closed stays for every later call.
  if (next.kind == Incoming::Kind::Closed) return next;
  queue_.pop_front();
  return next;
}

bool FdTransport::Send(const std::string& body) {
  if (sendFailed_) return false;
  const std::string frame = EncodeFrame(body);
  std::size_t done = 0;
  while (done < frame.size()) {
    const ssize_t n = write(out_, frame.data() + done, frame.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      sendFailed_ = true;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

int ServeStandardStreams(const char* name, std::size_t maxBody, const std::function<int(Transport&)>& serve) {
  std::fflush(stdout);
  const int protocol = dup(1);
  if (protocol < 0 || dup2(2, 1) < 0) {
    std::perror(name);
    if (protocol >= 0) close(protocol);
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);
  int status;
  {
    FdTransport transport(0, protocol, maxBody);
    status = serve(transport);
  }
  close(protocol);
  return status;
}

}  // namespace tolvane::rpc
