// The server's method table driven through a scripted transport: what the
// pipes of the end-to-end test do not reach (the order of the lifecycle, what
// is never answered, the exit status).
#include <gtest/gtest.h>

#include <deque>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lsp/Protocol.h"
#include "lsp/Server.h"

namespace tolvane::lsp {
namespace {

using nlohmann::json;

// Hands out the scripted messages, then reports the client gone.
class ScriptedTransport : public rpc::Transport {
 public:
  explicit ScriptedTransport(std::vector<json> script) {
    for (json& m : script) incoming_.push_back({Incoming::Kind::Message, m.dump(), rpc::FrameError::None});
  }
  Incoming Receive(bool) override {
    if (incoming_.empty()) return {Incoming::Kind::Closed, {}, rpc::FrameError::None};
    Incoming next = incoming_.front();
    incoming_.pop_front();
    return next;
  }
  bool Send(const std::string& body) override {
    sent.push_back(json::parse(body));
    return true;
  }
  std::vector<json> sent;

 private:
  std::deque<Incoming> incoming_;
};

json Request(int id, const std::string& method, json params = json::object()) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}
json Notification(const std::string& method, json params = json::object()) {
  return {{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
}

// The error code of the answer to `id`, 0 for a result, -1 for no answer.
int Outcome(const std::vector<json>& sent, const json& id) {
  for (const json& m : sent)
    if (!m.contains("method") && m["id"] == id) return m.contains("error") ? m["error"]["code"].get<int>() : 0;
  return -1;
}

TEST(ServerTest, Lifecycle) {
  const json hover = {{"textDocument", {{"uri", "file:///a.cas"}}}, {"position", {{"line", 0}, {"character", 0}}}};
  ScriptedTransport t({
      Notification("textDocument/didOpen",
                   {{"textDocument", {{"uri", "file:///a.cas"}, {"text", "A\tSTART\n\tRET\n\tEND\n"}}}}),
      Request(1, "textDocument/hover", hover),
      Request(2, "initialize"),
      Request(3, "textDocument/hover", hover),
      Request(4, "textDocument/frobnicate"),
      Notification("$/unknown"),
      {{"jsonrpc", "2.0"}, {"id", 99}, {"result", nullptr}},  // an answer to nothing we asked
      {{"jsonrpc", "2.0"}, {"id", json::array()}, {"method", "shutdown"}},
      Request(5, "shutdown"),
      Request(6, "textDocument/hover", hover),
      Notification("exit"),
      Request(7, "initialize"),  // after exit: never read
  });
  EXPECT_EQ(Server(t).Run(), 0);
  const std::pair<json, int> answers[] = {
      {1, kServerNotInitialized},  // a notification before initialize was taken, a request is not
      {2, 0},
      {3, 0},
      {4, kMethodNotFound},
      {nullptr, kInvalidRequest},  // the bad id
      {5, 0},
      {6, kInvalidRequest},  // after shutdown
      {99, -1},
      {7, -1},
  };
  for (const auto& [id, outcome] : answers) EXPECT_EQ(Outcome(t.sent, id), outcome) << id;
  // The document opened before initialize was analysed: its hover answers.
  for (const json& m : t.sent) {
    if (m.value("id", json()) == 3) {
      EXPECT_FALSE(m["result"].is_null()) << m;
    }
  }
}

TEST(ServerTest, ExitStatus) {
  struct Case {
    const char* name;
    std::vector<json> script;
    int status;
  };
  const Case cases[] = {
      {"exit after shutdown", {Request(1, "initialize"), Request(2, "shutdown"), Notification("exit")}, 0},
      {"exit without shutdown", {Request(1, "initialize"), Notification("exit")}, 1},
      {"the client gone after shutdown", {Request(1, "initialize"), Request(2, "shutdown")}, 0},
      {"the client gone without shutdown", {Request(1, "initialize")}, 1},
  };
  for (const Case& c : cases) {
    ScriptedTransport t(c.script);
    EXPECT_EQ(Server(t).Run(), c.status) << c.name;
  }
}

}  // namespace
}  // namespace tolvane::lsp
