// The adapter's messages: reading requests and dispatching them (the table
// of requests is the index of the files that serve them), responses, events.
#include "dap/Adapter.h"

#include <string>

#include "common/Cp932.h"
#include "dap/Server.h"

namespace tolvane::dap {

void Server::Handle(const Transport::Incoming& in) {
  switch (in.kind) {
    case Transport::Incoming::Kind::None:
      return;
    case Transport::Incoming::Kind::Closed:
      ClientGone();
      return;
    case Transport::Incoming::Kind::Malformed:
      Log(in.text);
      return;
    case Transport::Incoming::Kind::Message:
      break;
  }
  json msg = json::parse(in.text, nullptr, false);
  if (msg.is_discarded() || !msg.is_object()) {
    Log("a message that is not a JSON object was ignored");
    return;
  }
  auto type = msg.find("type");
  // Responses and events from the client (it has no requests of ours to answer).
  if (type != msg.end() && *type != "request") return;
  Request r;
  if (auto seq = msg.find("seq"); seq != msg.end() && seq->is_number_integer()) r.seq = seq->get<std::int64_t>();
  if (auto c = msg.find("command"); c != msg.end() && c->is_string()) r.command = *c;
  auto args = msg.find("arguments");
  r.args = args == msg.end() || args->is_null() ? json::object() : *args;
  Dispatch(r);
}

void Server::Dispatch(Request& r) {
  // The requests, by the file that serves them.
  static const Command kCommands[] = {
      // Launch.cpp
      {"initialize", &Server::Initialize, false, false},
      {"launch", &Server::Launch, true, false},
      {"attach", &Server::Attach, false, false},
      {"terminate", &Server::Terminate, false, false},
      {"disconnect", &Server::Disconnect, false, false},
      // Breakpoints.cpp
      {"setBreakpoints", &Server::SetBreakpoints, false, false},
      {"setInstructionBreakpoints", &Server::SetInstructionBreakpoints, false, false},
      {"setFunctionBreakpoints", &Server::SetFunctionBreakpoints, false, false},
      {"setExceptionBreakpoints", &Server::SetExceptionBreakpoints, false, false},
      // Stepping.cpp
      {"configurationDone", &Server::ConfigurationDone, true, true},
      {"continue", &Server::Continue, true, true},
      {"next", &Server::Next, true, true},
      {"stepIn", &Server::StepIn, true, true},
      {"stepOut", &Server::StepOut, true, true},
      {"stepBack", &Server::StepBack, true, true},
      {"reverseContinue", &Server::ReverseContinue, true, true},
      {"pause", &Server::Pause, false, true},
      {"exceptionInfo", &Server::ExceptionInfo, false, true},
      // Variables.cpp
      {"threads", &Server::Threads, false, false},
      {"stackTrace", &Server::StackTrace, false, true},
      {"scopes", &Server::Scopes, false, true},
      {"variables", &Server::Variables, false, true},
      {"setVariable", &Server::SetVariable, true, true},
      {"evaluate", &Server::Evaluate, false, false},
      // Memory.cpp
      {"readMemory", &Server::ReadMemory, false, true},
      {"writeMemory", &Server::WriteMemory, true, true},
      {"disassemble", &Server::Disassemble, false, true},
  };
  const Command* command = nullptr;
  for (const Command& c : kCommands)
    if (r.command == c.name) command = &c;
  try {
    if (!command) throw Refusal{"unknown request '" + r.command + "'"};
    if (!r.args.is_object()) throw Refusal{"the arguments must be a JSON object"};
    if (command->needsLaunch && !launched_) throw Refusal{"no program has been launched"};
    if (command->runs && running_) throw Refusal{"the program is running: pause it first"};
    (this->*command->handler)(r);
  } catch (const Refusal& e) {
    Refuse(r, e.message);
  } catch (const json::exception& e) {
    Refuse(r, std::string("bad arguments: ") + e.what());
  } catch (const std::exception& e) {
    Refuse(r, e.what());
  }
}

void Server::Send(json message) {
  if (gone_) return;
  message["seq"] = nextSeq_++;
  if (transport_.Send(message.dump(-1, ' ', false, json::error_handler_t::replace))) return;
  // Nobody reads any more: end the program and leave.
  gone_ = true;
  ClientGone();
}

void Server::Respond(Request& r, json body) {
  json m{{"type", "response"}, {"request_seq", r.seq}, {"success", true}, {"command", r.command}};
  if (!body.is_null()) m["body"] = std::move(body);
  r.answered = true;
  Send(std::move(m));
}

void Server::Refuse(Request& r, const std::string& message) {
  if (r.answered) {
    // A run request was answered before it ran; what went wrong since is news.
    Log(message);
    return;
  }
  r.answered = true;
  Send({{"type", "response"},
        {"request_seq", r.seq},
        {"success", false},
        {"command", r.command},
        {"message", message},
        {"body", {{"error", {{"id", 1}, {"format", message}, {"showUser", true}}}}}});
}

void Server::Event(const char* name, json body) {
  json m{{"type", "event"}, {"event", name}};
  if (!body.is_null()) m["body"] = std::move(body);
  Send(std::move(m));
}

void Server::Output(const char* category, const std::string& utf8, json extra) {
  extra["category"] = category;
  extra["output"] = utf8;
  Event("output", std::move(extra));
}

// Message lines name files by their own bytes inside CP932 text.
std::string Server::MessageText(const std::string& cp932) const {
  std::string out;
  marks_.Split(
      cp932, [&](std::string_view t) { out += Cp932ToUtf8(std::string(t)); },
      [&](const std::string& name) { out += name; });
  return out;
}

void Server::ClientGone() {
  if (quit_) return;
  quit_ = true;
  if (launched_ && ec_->DebuggingActive()) ec_->EndProgram();
}

// Handles what the client sent meanwhile, without waiting.
void Server::Pump() {
  for (;;) {
    Transport::Incoming in = transport_.Receive(false);
    if (in.kind == Transport::Incoming::Kind::None) return;
    Handle(in);
    if (in.kind == Transport::Incoming::Kind::Closed) return;
  }
}

json Server::SourceJson(const std::string& path) {
  const std::string resolved = debugger::SourceLines::Resolve(path);
  return {{"name", FileName(resolved)}, {"path", resolved}};
}

// The source and line of the word at `address`, into `j`.
void Server::PlaceAt(Word address, json& j) const {
  const debugger::SourceLocation at = lines_.Locate(address);
  if (!at.Found()) return;
  j["source"] = SourceJson(lines_.Sources()[static_cast<std::size_t>(at.source)].resolved);
  j["line"] = ClientLine(at.line);
}

Adapter::Adapter(Transport& transport) : session_(std::make_unique<Server>(transport)) {}
Adapter::~Adapter() = default;
int Adapter::Run() { return session_->Run(); }

}  // namespace tolvane::dap
