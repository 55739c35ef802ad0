#pragma once
// A client of `tolvane-cli dap` for the protocol tests: starts the adapter with
// pipes for its standard input and output, sends requests and reads what comes
// back, never waiting longer than a few seconds for anything.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "dap/Base64.h"
#include "rpc/Framing.h"

namespace tolvane::dap::testing {

using json = nlohmann::json;
using rpc::EncodeFrame;
using rpc::FrameReader;

class DapClient {
 public:
  explicit DapClient(const std::string& cli, const std::string& cwd) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[0]);
      close(in[1]);
      close(out[0]);
      close(out[1]);
      if (chdir(cwd.c_str()) != 0) _exit(127);
      execl(cli.c_str(), cli.c_str(), "dap", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  ~DapClient() {
    if (to_ >= 0) close(to_);
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(from_);
  }

  // Sends raw bytes (for the tests of bad input).
  void Raw(const std::string& bytes) {
    ASSERT_EQ(write(to_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  int Send(const std::string& command, json args = json::object()) {
    json m{{"seq", ++seq_}, {"type", "request"}, {"command", command}, {"arguments", std::move(args)}};
    Raw(EncodeFrame(m.dump()));
    return seq_;
  }

  // The next message; null after the timeout or at the end of the output.
  json Next() {
    for (;;) {
      FrameReader::Frame f = frames_.Next();
      if (f.kind == FrameReader::Kind::Body) {
        json m = json::parse(f.text);
        seen_.push_back(m);
        return m;
      }
      pollfd p{from_, POLLIN, 0};
      if (poll(&p, 1, 10000) <= 0) return nullptr;
      char buffer[4096];
      const ssize_t n = read(from_, buffer, sizeof buffer);
      if (n <= 0) return nullptr;
      frames_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
  }

  // Reads until the response to `seq`, keeping the events that came before.
  json Response(int seq) {
    for (json m = Next(); !m.is_null(); m = Next())
      if (m["type"] == "response" && m["request_seq"] == seq) return m;
    ADD_FAILURE() << "no response to request " << seq;
    return json::object();
  }
  json Request(const std::string& command, json args = json::object()) {
    json r = Response(Send(command, std::move(args)));
    EXPECT_EQ(r.value("success", false), true) << command << ": " << r.dump();
    return r.value("body", json::object());
  }
  // A refused request's message.
  std::string Refused(const std::string& command, json args = json::object()) {
    json r = Response(Send(command, std::move(args)));
    EXPECT_EQ(r.value("success", true), false) << command << ": " << r.dump();
    return r.value("message", "");
  }
  json Event(const std::string& name) {
    for (std::size_t i = checked_; i < seen_.size(); ++i)
      if (seen_[i]["type"] == "event" && seen_[i]["event"] == name) {
        checked_ = i + 1;
        return seen_[i];
      }
    for (json m = Next(); !m.is_null(); m = Next())
      if (m["type"] == "event" && m["event"] == name) {
        checked_ = seen_.size();
        return m;
      }
    ADD_FAILURE() << "no " << name << " event";
    return json::object();
  }
  json Stopped() { return Event("stopped").value("body", json::object()); }

  // The output of the given category seen so far, joined.
  std::string Output(const std::string& category) const {
    std::string s;
    for (const json& m : seen_)
      if (m["type"] == "event" && m["event"] == "output" && m["body"].value("category", "") == category)
        s += m["body"].value("output", "");
    return s;
  }
  const std::vector<json>& Seen() const { return seen_; }

  // The adapter's exit status after its input is closed (or it left by itself).
  int Exit() {
    close(to_);
    to_ = -1;
    int status = 0;
    for (int i = 0; i < 1000; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  int seq_ = 0;
  bool exited_ = false;
  FrameReader frames_{std::size_t{64} << 20};
  std::vector<json> seen_;
  std::size_t checked_ = 0;
};

}  // namespace tolvane::dap::testing
