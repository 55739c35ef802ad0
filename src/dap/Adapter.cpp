#include "dap/Adapter.h"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "build/Builder.h"
#include "build/Project.h"
#include "common/BuildOptions.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "common/FileNameMarks.h"
#include "common/InstructionSet.h"
#include "common/MessageSink.h"
#include "common/TextRules.h"
#include "dap/Base64.h"
#include "dap/CallChain.h"
#include "dap/DisassemblyRow.h"
#include "dap/SourceSteps.h"
#include "dap/Values.h"
#include "debugger/ExecutionControl.h"
#include "debugger/Formats.h"
#include "debugger/SourceLines.h"
#include "debugger/TerminalRun.h"
#include "debugger/TextChecks.h"
#include "machine/RegisterDump.h"
#include "machine/StdioRun.h"

namespace tolvane::dap {

namespace {

using json = nlohmann::json;
using debugger::ExecutionControl;

constexpr int kThreadId = 1;
// Variable references: the three scopes, a register's notations, and blocks
// of memory words (the words of a label, or those from an evaluated address).
constexpr int kRegistersRef = 1, kWatchesRef = 2, kLabelsRef = 3;
constexpr int kRegisterNotationsRef = 10;  // + the register's CCpu index
constexpr int kWordsRef = 0x1000000;       // + count << 16 + address
constexpr int kMaxWordsShown = 256;
constexpr int kEvaluatedWords = 16;
// A step by lines gives up after this many instructions (a line that loops on
// itself through a routine, say) and stops where it is.
constexpr int kMaxLineSteps = 100000;
constexpr std::size_t kOutputsKept = 8192;
constexpr std::size_t kWithdrawalsShown = 20;
constexpr std::int64_t kMemoryBytes = std::int64_t{2} * kMemoryWords;

// A request refused for what it asked; the text is the error response's message.
struct Refusal {
  std::string message;
};

bool EndsWithFolded(const std::string& s, const char* suffix) {
  const std::size_t n = std::char_traits<char>::length(suffix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
  return true;
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// An argument of the given JSON type, or the fallback when it is absent.
template <class T>
T Arg(const json& args, const char* name, T fallback) {
  auto it = args.find(name);
  if (it == args.end() || it->is_null()) return fallback;
  if constexpr (std::is_same_v<T, bool>) {
    if (!it->is_boolean()) throw Refusal{std::string("'") + name + "' must be true or false"};
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (!it->is_string()) throw Refusal{std::string("'") + name + "' must be a string"};
  } else {
    if (!it->is_number_integer()) throw Refusal{std::string("'") + name + "' must be a whole number"};
  }
  return it->get<T>();
}

const json& Need(const json& args, const char* name) {
  auto it = args.find(name);
  if (it == args.end() || it->is_null()) throw Refusal{std::string("'") + name + "' is missing"};
  return *it;
}

std::string NeedString(const json& args, const char* name) {
  const json& v = Need(args, name);
  if (!v.is_string()) throw Refusal{std::string("'") + name + "' must be a string"};
  return v.get<std::string>();
}

}  // namespace

class Session : private debugger::DebuggerUiPort, private ConsolePort {
 public:
  explicit Session(Transport& transport)
      : transport_(transport),
        ec_(std::make_unique<ExecutionControl>(static_cast<DebuggerUiPort&>(*this), static_cast<ConsolePort&>(*this))) {
  }

  int Run() {
    while (!quit_) Handle(transport_.Receive(true));
    return 0;
  }

 private:
  struct Request {
    std::int64_t seq = 0;
    std::string command;
    json args = json::object();
    bool answered = false;
  };
  using Handler = void (Session::*)(Request&);
  struct Command {
    const char* name;
    Handler handler;
    bool runs;  // runs or changes the program: refused while it runs
    bool needsLaunch;
  };
  struct UserBreakpoint {
    int id = 0;
    Word address = 0;
    std::string hitText;  // as the client gave it, to keep the count across edits
    HitCondition hit;
    std::uint64_t hits = 0;
  };
  struct Stop {
    std::string reason;
    std::vector<int> hitIds;
  };
  struct Exception {
    std::string id;
    std::string text;  // UTF-8
  };
  // Where a step over a CALL or out of a routine is done: PR back at the
  // return address with the return address popped.
  struct ReturnTarget {
    Word address;
    Word slot;
  };
  enum class End { None, Normal, Abnormal };

  // ---------------------------------------------------------------- messages

  void Handle(const Transport::Incoming& in) {
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

  void Dispatch(Request& r) {
    static const Command kCommands[] = {
        {"initialize", &Session::Initialize, false, false},
        {"launch", &Session::Launch, true, false},
        {"attach", &Session::Attach, false, false},
        {"configurationDone", &Session::ConfigurationDone, true, true},
        {"setBreakpoints", &Session::SetBreakpoints, false, false},
        {"setInstructionBreakpoints", &Session::SetInstructionBreakpoints, false, false},
        {"setFunctionBreakpoints", &Session::SetFunctionBreakpoints, false, false},
        {"setExceptionBreakpoints", &Session::SetExceptionBreakpoints, false, false},
        {"threads", &Session::Threads, false, false},
        {"stackTrace", &Session::StackTrace, false, true},
        {"scopes", &Session::Scopes, false, true},
        {"variables", &Session::Variables, false, true},
        {"setVariable", &Session::SetVariable, true, true},
        {"evaluate", &Session::Evaluate, false, false},
        {"readMemory", &Session::ReadMemory, false, true},
        {"writeMemory", &Session::WriteMemory, true, true},
        {"disassemble", &Session::Disassemble, false, true},
        {"continue", &Session::Continue, true, true},
        {"next", &Session::Next, true, true},
        {"stepIn", &Session::StepIn, true, true},
        {"stepOut", &Session::StepOut, true, true},
        {"stepBack", &Session::StepBack, true, true},
        {"reverseContinue", &Session::ReverseContinue, true, true},
        {"pause", &Session::Pause, false, true},
        {"exceptionInfo", &Session::ExceptionInfo, false, true},
        {"terminate", &Session::Terminate, false, false},
        {"disconnect", &Session::Disconnect, false, false},
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

  void Send(json message) {
    if (gone_) return;
    message["seq"] = nextSeq_++;
    if (transport_.Send(message.dump(-1, ' ', false, json::error_handler_t::replace))) return;
    // Nobody reads any more: end the program and leave.
    gone_ = true;
    ClientGone();
  }

  void Respond(Request& r, json body = nullptr) {
    json m{{"type", "response"}, {"request_seq", r.seq}, {"success", true}, {"command", r.command}};
    if (!body.is_null()) m["body"] = std::move(body);
    r.answered = true;
    Send(std::move(m));
  }

  void Refuse(Request& r, const std::string& message) {
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

  void Event(const char* name, json body = nullptr) {
    json m{{"type", "event"}, {"event", name}};
    if (!body.is_null()) m["body"] = std::move(body);
    Send(std::move(m));
  }

  void Output(const char* category, const std::string& utf8, json extra = json::object()) {
    extra["category"] = category;
    extra["output"] = utf8;
    Event("output", std::move(extra));
  }

  void Log(const std::string& text) { Output("console", "tolvane-cli dap: " + text + "\n"); }

  // Message lines name files by their own bytes inside CP932 text.
  std::string MessageText(const std::string& cp932) const {
    std::string out;
    marks_.Split(
        cp932, [&](std::string_view t) { out += Cp932ToUtf8(std::string(t)); },
        [&](const std::string& name) { out += name; });
    return out;
  }

  void ClientGone() {
    if (quit_) return;
    quit_ = true;
    if (launched_ && ec_->DebuggingActive()) ec_->EndProgram();
  }

  // Handles what the client sent meanwhile, without waiting.
  void Pump() {
    for (;;) {
      Transport::Incoming in = transport_.Receive(false);
      if (in.kind == Transport::Incoming::Kind::None) return;
      Handle(in);
      if (in.kind == Transport::Incoming::Kind::Closed) return;
    }
  }

  // ------------------------------------------------------------ the machine

  Word Pr() const { return ec_->Cpu().GetPR(); }
  Word Sp() const { return ec_->Cpu().GetSP(); }
  bool Live() const { return ec_->DebuggingActive(); }
  bool IsUndefinedAt(Word address) const { return DefinedInstruction(ec_->Mem()[address]) == nullptr; }
  bool IsCallAt(Word address) const {
    const InstructionDef* d = DefinedInstruction(ec_->Mem()[address]);
    return d && d->code == OpCodeOf("CALL");
  }
  StackLayout Layout() const {
    const LoadModuleHeader& h = ec_->Program().header;
    return StackLayout{h.start, h.initialSp, h.stackLimit};
  }
  CodeTest IsCode() const {
    return [this](Word a) { return ec_->Disassembly().IsProgramCodeAddress(a); };
  }
  std::vector<CallFrame> Frames(std::size_t max = 256) const {
    return ReadCallChain(ec_->Mem().data(), Pr(), Sp(), Layout(), IsCode(), max);
  }
  Word FrameSlot() const { return InnermostReturnSlot(ec_->Mem().data(), Pr(), Sp(), Layout(), IsCode()); }

  // ------------------------------------------------------- ports of the core

  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override {
    if (!muted_) {
      std::string t = MessageText(text);
      std::replace(t.begin(), t.end(), '\n', ' ');
      Output(kind == BoxKind::Error ? "stderr" : "console", std::string(BoxCaption(kind)) + ": " + t + "\n");
    }
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Yes;
  }

  // The window system's turn: what the client sent.
  void ProcessEvents() override { Pump(); }
  bool ConsoleInputPending() override { return inputWaiting_; }
  void ConsoleCancelInput() override { inputCancelled_ = true; }

  // IN: the launch's input lines first, then lines typed into the debug console.
  Bytes ConsoleReadLine() override {
    if (!launchInput_.empty()) {
      Bytes line = std::move(launchInput_.front());
      launchInput_.pop_front();
      return line;
    }
    if (quit_) return Bytes(1, '\x1A');
    Output("console", "IN is waiting for a line: type it into the debug console (^Z alone: end of input)\n");
    inputWaiting_ = true;
    inputCancelled_ = false;
    typedLine_.reset();
    while (!typedLine_ && !inputCancelled_ && !quit_) Handle(transport_.Receive(true));
    inputWaiting_ = false;
    if (typedLine_) return *typedLine_;
    return quit_ ? Bytes(1, '\x1A') : Bytes();
  }

  void ConsoleWrite(const Bytes& text) override {
    if (muted_ && !withdrawn_.empty()) {
      // Going back replays steps that are still in the history: their output
      // lines stand again, and were never taken back in the client's console.
      outputs_.push_back(withdrawn_.back());
      withdrawn_.pop_back();
      return;
    }
    outputs_.push_back(text);
    if (outputs_.size() > kOutputsKept) outputs_.pop_front();
    if (!muted_) Output("stdout", Cp932ToUtf8(text) + "\n");
  }

  void ConsoleMessage(const Bytes& text) override {
    if (text == debugger::kProgramTerminatedNormally) lastEnd_ = End::Normal;
    if (text == debugger::kProgramTerminatedAbnormally) lastEnd_ = End::Abnormal;
    if (text == debugger::StackOverflowMessage()) overflowPending_ = true;
    if (muted_) return;
    std::string t = text;
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.erase(p, 1);
    Output("console", MessageText(t) + "\n");
  }

  // The debug console cannot take back what it shows: it says which lines no longer stand.
  void ConsoleWithdrawOutput() override {
    if (outputs_.empty()) {
      withdrawn_.emplace_back();
      return;
    }
    withdrawn_.push_back(std::move(outputs_.back()));
    outputs_.pop_back();
  }

  void ReportWithdrawals() {
    std::size_t shown = 0;
    for (const Bytes& line : withdrawn_) {
      if (shown++ == kWithdrawalsShown) {
        Output("console",
               "withdrawn: " + std::to_string(withdrawn_.size() - kWithdrawalsShown) + " more output lines\n");
        break;
      }
      Output("console", line.empty() && outputs_.empty() ? "withdrawn: an earlier output line\n"
                                                         : "withdrawn: " + Cp932ToUtf8(line) + "\n");
    }
    withdrawn_.clear();
  }

  // ----------------------------------------------------------- lines, sources

  std::int32_t ClientLine(std::int32_t line) const { return linesStartAt1_ ? line : line - 1; }
  std::int32_t OwnLine(std::int64_t line) const {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(linesStartAt1_ ? line : line + 1, 0, 0x7FFFFFFF));
  }

  static json SourceJson(const std::string& path) {
    const std::string resolved = debugger::SourceLines::Resolve(path);
    return {{"name", FileName(resolved)}, {"path", resolved}};
  }

  // The source and line of the word at `address`, into `j`.
  void PlaceAt(Word address, json& j) const {
    const debugger::SourceLocation at = lines_.Locate(address);
    if (!at.Found()) return;
    j["source"] = SourceJson(lines_.Sources()[static_cast<std::size_t>(at.source)].resolved);
    j["line"] = ClientLine(at.line);
  }

  // ----------------------------------------------------------------- requests

  void Initialize(Request& r) {
    if (initialized_) throw Refusal{"initialize was already sent"};
    initialized_ = true;
    linesStartAt1_ = Arg(r.args, "linesStartAt1", true);
    invalidatedEvents_ = Arg(r.args, "supportsInvalidatedEvent", false);
    Respond(r, {
                   {"supportsConfigurationDoneRequest", true},
                   {"supportsFunctionBreakpoints", true},
                   {"supportsConditionalBreakpoints", false},
                   {"supportsHitConditionalBreakpoints", true},
                   {"supportsEvaluateForHovers", true},
                   {"supportsStepBack", true},
                   {"supportsSetVariable", true},
                   {"supportsSteppingGranularity", true},
                   {"supportsInstructionBreakpoints", true},
                   {"supportsReadMemoryRequest", true},
                   {"supportsWriteMemoryRequest", true},
                   {"supportsDisassembleRequest", true},
                   {"supportsTerminateRequest", true},
                   {"supportTerminateDebuggee", true},
                   {"supportsExceptionInfoRequest", true},
                   {"exceptionBreakpointFilters", json::array()},
               });
  }

  void Attach(Request&) { throw Refusal{"attach is not supported: launch the program instead"}; }

  class BuildSink : public MessageSink {
   public:
    explicit BuildSink(Session& s) : s_(s) {}
    void AppendMessageLine(const std::string& line) override {
      s_.BuildLine({DiagCode::None, {}, {}, 0, -1, 0, {}, line});
    }
    void AppendDiagnostic(const Diagnostic& d) override { s_.BuildLine(d); }

   private:
    Session& s_;
  };

  // A message line of the build, with the source and line it is about. A
  // total above zero counts as an error too.
  void BuildLine(const Diagnostic& d) {
    const bool error = d.severity == Severity::Error || d.code == DiagCode::AssembleTooManyErrors ||
                       (ShapeOf(d.code) == DiagShape::Total && d.subject != "0");
    json extra = json::object();
    if (!d.file.empty() && error) {
      extra["source"] = SourceJson(d.file);
      if (d.line > 0) extra["line"] = ClientLine(d.line);
    }
    Output(error ? "stderr" : "console", MessageText(MessageLine(d)) + "\n", std::move(extra));
  }

  void ShowNotice(const build::Notice& notice) {
    const BoxKind kind = notice.kind == build::NoticeKind::Warning       ? BoxKind::Warning
                         : notice.kind == build::NoticeKind::Information ? BoxKind::Information
                                                                         : BoxKind::Error;
    if (notice.kind == build::NoticeKind::Failure)
      Output("stderr", MessageText(notice.text) + "\n");
    else
      ShowMessageBox(kind, notice.text, BoxButtons::Ok);
  }

  static Word HexOption(const json& args, const char* name, Word fallback) {
    const std::string text = Arg(args, name, std::string());
    if (text.empty()) return fallback;
    const std::optional<Word> w = ParseHexWord(text);
    if (!w) throw Refusal{std::string("'") + name + "' must be 1-4 hexadecimal digits"};
    return *w;
  }

  void Launch(Request& r) {
    if (launched_) throw Refusal{"a program has already been launched"};
    std::vector<std::string> programs;
    const json& program = Need(r.args, "program");
    if (program.is_string()) {
      programs.push_back(program);
    } else if (program.is_array()) {
      for (const json& p : program) {
        if (!p.is_string()) throw Refusal{"'program' must be a file name or a list of file names"};
        programs.push_back(p);
      }
    } else {
      throw Refusal{"'program' must be a file name or a list of file names"};
    }
    if (programs.empty()) throw Refusal{"'program' names no file"};
    for (const std::string& p : programs)
      if (p.empty()) throw Refusal{"'program' holds an empty file name"};
    const std::string cwd = Arg(r.args, "cwd", std::string());
    const bool stopOnEntry = Arg(r.args, "stopOnEntry", false);
    noDebug_ = Arg(r.args, "noDebug", false);
    const bool registers = Arg(r.args, "registersAtEnd", true);
    const bool dataAsCode = Arg(r.args, "dataAsCode", false);
    const bool listing = Arg(r.args, "listing", false);
    BuildOptions options;
    options.listing = listing ? 1 : 0;
    options.origin = HexOption(r.args, "origin", options.origin);
    options.stackSize = HexOption(r.args, "stack", options.stackSize);
    std::deque<Bytes> input;
    if (auto in = r.args.find("input"); in != r.args.end() && !in->is_null()) {
      std::vector<std::string> lines;
      if (in->is_string()) {
        std::string text = *in;
        // One line per line of the text; a final line end ends the last line.
        for (std::size_t at = 0; at < text.size();) {
          std::size_t nl = text.find('\n', at);
          if (nl == std::string::npos) nl = text.size();
          std::string line = text.substr(at, nl - at);
          if (!line.empty() && line.back() == '\r') line.pop_back();
          lines.push_back(std::move(line));
          at = nl + 1;
        }
      } else if (in->is_array()) {
        for (const json& l : *in) {
          if (!l.is_string()) throw Refusal{"'input' must be a text or a list of lines"};
          lines.push_back(l);
        }
      } else {
        throw Refusal{"'input' must be a text or a list of lines"};
      }
      for (const std::string& l : lines) input.push_back(InputLineToCp932(l));
    }
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) throw Refusal{"cannot change to the folder " + cwd};

    bool exe = false, project = false;
    for (const std::string& p : programs) {
      exe = exe || EndsWithFolded(p, ".exe");
      project = project || EndsWithFolded(p, ".mak");
      marks_.Add(p);
    }
    if ((exe || project) && programs.size() > 1)
      throw Refusal{std::string(exe ? "a load module" : "a project file") + " is debugged on its own"};

    std::string module;
    if (exe) {
      module = programs.front();
      std::error_code error;
      // Symbols when there are any: a load module linked without them still runs.
      const bool haveSymbols = std::filesystem::exists(ChangeExtension(module, ".sym"), error);
      options.symbolicDebug = Arg(r.args, "symbols", haveSymbols) ? 1 : 0;
    } else {
      options.symbolicDebug = Arg(r.args, "symbols", true) ? 1 : 0;
      const build::BuildResult built = Build(programs, project, options);
      if (!built.Succeeded()) {
        throw Refusal{built.notice ? "the build failed: " + MessageText(built.notice->text)
                                   : std::string("the build failed")};
      }
      module = ChangeExtension(built.target, ".exe");
    }
    marks_.Add(module);

    ec_->SetShowRegistersAfterRun(registers);
    ec_->SetUnAsmDataAsCode(dataAsCode);
    if (noDebug_) ec_->SetRecording(false);  // nothing will go back: no need to record
    if (!ec_->StartDebugging(module, options)) throw Refusal{"the program could not be loaded: " + module};
    launched_ = true;
    stopOnEntry_ = stopOnEntry;
    launchInput_ = std::move(input);
    programName_ = FileName(module);
    for (const std::string& m : lines_.Load(ec_->Program().exePath)) Output("console", MessageText(m) + "\n");
    Respond(r);
    Event("initialized");
  }

  build::BuildResult Build(const std::vector<std::string>& programs, bool project, const BuildOptions& options) {
    BuildSink sink(*this);
    build::CoreTools tools;
    build::BuildResult result;
    if (project) {
      // The entries' names are marked before the build talks about them.
      const std::filesystem::path folder = std::filesystem::path(programs.front()).parent_path();
      result = build::Builder(tools, sink)
                   .BuildProjectFile(programs.front(), options, [&](const std::vector<std::string>& entries) {
                     for (const std::string& e : entries) marks_.Add((folder / e).string());
                   });
    } else {
      result = build::Builder(tools, sink).BuildFiles(programs, options);
    }
    if (result.notice) ShowNotice(*result.notice);
    return result;
  }

  void ConfigurationDone(Request& r) {
    if (configured_) throw Refusal{"configurationDone was already sent"};
    configured_ = true;
    Respond(r);
    if (!noDebug_ && stopOnEntry_) {
      SendStopped(Stop{"entry", {}});
      return;
    }
    // A run looks for breakpoints after each instruction: one on the very
    // first would be passed over.
    if (!noDebug_) {
      std::vector<int> hit = CountHits(Pr());
      if (!hit.empty()) {
        SendStopped(Stop{"breakpoint", hit});
        return;
      }
    }
    Forward([this] { return RunFree(std::nullopt); });
  }

  // ---------------------------------------------------------- breakpoints

  json BreakpointJson(const UserBreakpoint* b, bool verified, const std::string& message) const {
    json j{{"verified", verified}};
    if (b) {
      j["id"] = b->id;
      j["instructionReference"] = MemoryReference(b->address);
      if (verified) PlaceAt(b->address, j);
    } else {
      j["id"] = nextBreakpointId_++;
    }
    if (!message.empty()) j["message"] = message;
    return j;
  }

  // The hit count of a breakpoint that stays (same place, same condition) goes on.
  static void KeepHits(UserBreakpoint& b, const std::vector<UserBreakpoint>& before) {
    for (const UserBreakpoint& o : before)
      if (o.address == b.address && o.hitText == b.hitText) b.hits = o.hits;
  }

  // Reads a breakpoint's hit condition; false (with the message) when it is bad.
  static bool ReadHit(const json& want, UserBreakpoint& b, std::string& message) {
    b.hitText = Arg(want, "hitCondition", std::string());
    if (ParseHitCondition(b.hitText, b.hit)) return true;
    message = "not a hit count: " + b.hitText + " (N, >=N, ==N, >N, <N, <=N or %N)";
    return false;
  }

  void SetBreakpoints(Request& r) {
    const json& source = Need(r.args, "source");
    if (!source.is_object()) throw Refusal{"'source' must be an object"};
    const std::string path = Arg(source, "path", std::string());
    std::vector<json> wanted;
    if (auto b = r.args.find("breakpoints"); b != r.args.end() && b->is_array()) {
      for (const json& s : *b) wanted.push_back(s);
    } else if (auto l = r.args.find("lines"); l != r.args.end() && l->is_array()) {
      for (const json& line : *l) wanted.push_back({{"line", line}});
    }
    const int index = launched_ && !path.empty() ? lines_.FindSource(path) : -1;
    std::string whyNot;
    if (!launched_) {
      whyNot = "no program has been launched yet";
    } else if (path.empty()) {
      whyNot = "the source has no path";
    } else if (lines_.Empty() && index < 0) {
      whyNot = Cp932ToUtf8(debugger::NoSourceLinesMessage());
    } else if (index < 0) {
      // The file name is the file system's bytes, the rest of the text CP932.
      whyNot = FileName(path) + Cp932ToUtf8(debugger::NotASourceMessage(std::string()));
    } else if (!lines_.Sources()[static_cast<std::size_t>(index)].dropped.empty()) {
      whyNot = MessageText(lines_.Sources()[static_cast<std::size_t>(index)].dropped);
    }

    const std::string key = path.empty() ? std::string() : debugger::SourceLines::Resolve(path);
    ReplaceBreakpoints(r, wanted, sourceBreakpoints_[key], [&](const json& want, std::string& message) {
      const std::int64_t asked = Need(want, "line").get<std::int64_t>();
      std::optional<Word> address;
      if (!whyNot.empty()) {
        message = whyNot;
      } else if (std::optional<LinePlace> place =
                     PlaceOnLine(lines_.Sources()[static_cast<std::size_t>(index)].runs, OwnLine(asked))) {
        address = place->address;  // its answer gives the line the breakpoint is really on
      } else {
        message = Cp932ToUtf8(debugger::NoInstructionOnLineMessage());
      }
      return address;
    });
  }

  static std::vector<json> List(const json& args) {
    const json& list = Need(args, "breakpoints");
    if (!list.is_array()) throw Refusal{"'breakpoints' must be a list"};
    return std::vector<json>(list.begin(), list.end());
  }

  void SetInstructionBreakpoints(Request& r) {
    ReplaceBreakpoints(r, List(r.args), instructionBreakpoints_, [](const json& want, std::string& message) {
      const std::string ref = NeedString(want, "instructionReference");
      const std::int64_t offset = Arg(want, "offset", std::int64_t{0});
      std::optional<Word> address;
      Word base;
      if (!ParseMemoryReference(ref, base))
        message = "not an address: " + ref;
      else if (offset % 2 != 0)
        message = "an instruction begins at a word: the offset must be even";
      else
        address = static_cast<Word>(base + offset / 2);
      return address;
    });
  }

  // Function breakpoints are the program's labels.
  void SetFunctionBreakpoints(Request& r) {
    ReplaceBreakpoints(r, List(r.args), functionBreakpoints_, [this](const json& want, std::string& message) {
      const Bytes label = InputLineToCp932(NeedString(want, "name"));
      std::optional<Word> address;
      if (!launched_)
        message = "no program has been launched yet";
      else if (!ec_->Symbols().LabelExists(label))
        message = Cp932ToUtf8(
            debugger::Explain(IsLabelText(label) ? debugger::Refusal::NoSuchLabel : debugger::Refusal::NotALabel).text);
      else
        address = ec_->Symbols().AddressOfLabel(label);
      return address;
    });
  }

  // One list of breakpoints replaced by the client's: `place` gives each its
  // address, or says why it has none. An unverified one keeps the line asked for.
  template <class Place>
  void ReplaceBreakpoints(Request& r, const std::vector<json>& wanted, std::vector<UserBreakpoint>& list, Place place) {
    std::vector<UserBreakpoint> placed;
    json answers = json::array();
    for (const json& want : wanted) {
      if (!want.is_object()) throw Refusal{"each breakpoint must be an object"};
      UserBreakpoint b;
      std::string message;
      const std::optional<Word> address = place(want, message);
      if (address && ReadHit(want, b, message)) {
        b.id = nextBreakpointId_++;
        b.address = *address;
        KeepHits(b, list);
        answers.push_back(BreakpointJson(&b, true, ""));
        placed.push_back(std::move(b));
        continue;
      }
      json j = BreakpointJson(nullptr, false, message);
      if (want.contains("line")) j["line"] = want["line"];
      answers.push_back(std::move(j));
    }
    list = std::move(placed);
    SyncTable();
    Respond(r, {{"breakpoints", std::move(answers)}});
  }

  void SetExceptionBreakpoints(Request& r) { Respond(r, {{"breakpoints", json::array()}}); }

  template <class F>
  void ForEachUserBreakpoint(F f) {
    for (auto& [path, list] : sourceBreakpoints_)
      for (UserBreakpoint& b : list) f(b);
    for (UserBreakpoint& b : instructionBreakpoints_) f(b);
    for (UserBreakpoint& b : functionBreakpoints_) f(b);
  }

  // The one breakpoint table holds the addresses of all the client's
  // breakpoints and, during a step, the return address it runs to.
  void SyncTable() {
    if (!launched_) return;
    std::set<Word> wanted;
    if (!noDebug_) ForEachUserBreakpoint([&](UserBreakpoint& b) { wanted.insert(b.address); });
    if (tempStop_) wanted.insert(*tempStop_);
    debugger::BreakpointTable& table = ec_->Breakpoints();
    for (int i = table.Count() - 1; i >= 0; --i) {
      const debugger::Breakpoint& row = table.Rows()[static_cast<std::size_t>(i)];
      if (!wanted.count(row.address) || !row.enabled) ec_->DeleteBreakpoint(i);
    }
    for (Word a : wanted)
      if (!table.IsEnabledAt(a)) table.AddRow(a, ec_->Symbols().LabelOfAddress(a));
  }

  bool IsUserBreakpointAt(Word address) {
    bool found = false;
    if (!noDebug_) ForEachUserBreakpoint([&](UserBreakpoint& b) { found = found || b.address == address; });
    return found;
  }

  // Counts a hit of every breakpoint at the address; the ids of those whose
  // hit count says stop.
  std::vector<int> CountHits(Word address) {
    std::vector<int> ids;
    if (noDebug_) return ids;
    ForEachUserBreakpoint([&](UserBreakpoint& b) {
      if (b.address != address) return;
      ++b.hits;
      if (b.hit.Met(b.hits)) ids.push_back(b.id);
    });
    return ids;
  }

  std::vector<int> BreakpointIdsAt(Word address) {
    std::vector<int> ids;
    ForEachUserBreakpoint([&](UserBreakpoint& b) {
      if (b.address == address) ids.push_back(b.id);
    });
    return ids;
  }

  // ------------------------------------------------------------- the state

  void Threads(Request& r) {
    json thread{{"id", kThreadId}, {"name", programName_.empty() ? std::string("COMET II") : programName_}};
    Respond(r, {{"threads", json::array({thread})}});
  }

  void StackTrace(Request& r) {
    const std::vector<CallFrame> frames = Frames();
    const std::int64_t start = std::max<std::int64_t>(0, Arg(r.args, "startFrame", std::int64_t{0}));
    std::int64_t levels = Arg(r.args, "levels", std::int64_t{0});
    if (levels <= 0) levels = static_cast<std::int64_t>(frames.size());
    json list = json::array();
    for (std::int64_t i = start; i < static_cast<std::int64_t>(frames.size()) && i < start + levels; ++i) {
      const CallFrame& f = frames[static_cast<std::size_t>(i)];
      json j{{"id", i + 1},
             {"name", Cp932ToUtf8(FrameName(f, ec_->Symbols()))},
             {"line", 0},
             {"column", 0},
             {"instructionPointerReference", MemoryReference(f.pc)}};
      PlaceAt(f.pc, j);
      if (j.contains("source")) j["column"] = linesStartAt1_ ? 1 : 0;
      list.push_back(std::move(j));
    }
    Respond(r, {{"stackFrames", std::move(list)}, {"totalFrames", frames.size()}});
  }

  void Scopes(Request& r) {
    auto scope = [](const char* name, int ref, const char* hint) {
      json j{{"name", name}, {"variablesReference", ref}, {"expensive", false}};
      if (hint) j["presentationHint"] = hint;
      return j;
    };
    Respond(r,
            {{"scopes", json::array({scope("Registers", kRegistersRef, "registers"),
                                     scope("Watches", kWatchesRef, nullptr), scope("Labels", kLabelsRef, nullptr)})}});
  }

  static int WordsRef(Word address, int count) { return kWordsRef + (count << 16) + address; }

  // The words of a label: up to the next address that has a name.
  int LabelSpan(Word address) const {
    int next = kMemoryWords;
    for (const SymbolRecord& s : ec_->Symbols().Records())
      if (s.address > address && s.address < next) next = s.address;
    return std::min(next - address, kMaxWordsShown);
  }

  json WordVariable(const std::string& name, Word address, int children) const {
    json j{{"name", name},
           {"value", WordValueText(ec_->Mem()[address])},
           {"variablesReference", children > 1 ? WordsRef(address, children) : 0},
           {"evaluateName", name},
           {"memoryReference", MemoryReference(address)}};
    return j;
  }

  json RegisterVariable(int index) const {
    const Word v = ec_->Cpu().Registers()[static_cast<std::size_t>(index)];
    json j{{"name", RegisterName(index)},
           {"value", index == CCpu::kFR ? Cp932ToUtf8(FlagText(v)) : RegisterValueText(v)},
           {"variablesReference", kRegisterNotationsRef + index},
           {"evaluateName", RegisterName(index)}};
    if (index != CCpu::kFR) j["memoryReference"] = MemoryReference(v);
    return j;
  }

  static constexpr const char* kFlagNames[] = {"OF", "SF", "ZF"};
  static constexpr Word kFlagBits[] = {kFlagOF, kFlagSF, kFlagZF};

  json Children(int ref) {
    json list = json::array();
    const CCpu& cpu = ec_->Cpu();
    if (ref == kRegistersRef) {
      for (int i = 0; i < 8; ++i) list.push_back(RegisterVariable(i));
      for (int i : {int{CCpu::kPR}, int{CCpu::kSP}, int{CCpu::kFR}}) list.push_back(RegisterVariable(i));
    } else if (ref == kWatchesRef) {
      ec_->RefreshWatches();
      for (const debugger::Watch& w : ec_->Watches().Rows())
        list.push_back(WordVariable(w.label.empty() ? w.AddressText() : Cp932ToUtf8(w.label), w.address, 0));
    } else if (ref == kLabelsRef) {
      for (const SymbolRecord& s : ec_->Symbols().Records()) {
        if (s.name.empty() || s.name[0] == '=') continue;
        list.push_back(WordVariable(Cp932ToUtf8(s.name), s.address, LabelSpan(s.address)));
      }
    } else if (ref >= kRegisterNotationsRef && ref <= kRegisterNotationsRef + CCpu::kSP) {
      const int index = ref - kRegisterNotationsRef;
      const Word v = cpu.Registers()[static_cast<std::size_t>(index)];
      if (index == CCpu::kFR) {
        for (int b = 0; b < 3; ++b)
          list.push_back({{"name", kFlagNames[b]}, {"value", v & kFlagBits[b] ? "1" : "0"}, {"variablesReference", 0}});
      } else {
        for (Notation n : kRegisterNotations)
          list.push_back({{"name", NotationName(n)}, {"value", NotationText(n, v)}, {"variablesReference", 0}});
      }
    } else if (ref >= kWordsRef) {
      const int count = (ref - kWordsRef) >> 16;
      if (count > kMaxWordsShown) throw Refusal{"no such variables: " + std::to_string(ref)};
      const Word first = static_cast<Word>((ref - kWordsRef) & 0xFFFF);
      for (int k = 0; k < count; ++k) {
        const Word a = static_cast<Word>(first + k);
        list.push_back(WordVariable(debugger::Hex4(a), a, 0));
      }
    } else {
      throw Refusal{"no such variables: " + std::to_string(ref)};
    }
    return list;
  }

  void Variables(Request& r) {
    const std::int64_t ref = Need(r.args, "variablesReference").get<std::int64_t>();
    if (ref <= 0 || ref > 0x7FFFFFFF) throw Refusal{"no such variables: " + std::to_string(ref)};
    json all = Children(static_cast<int>(ref));
    const std::int64_t start = std::max<std::int64_t>(0, Arg(r.args, "start", std::int64_t{0}));
    const std::int64_t count = Arg(r.args, "count", std::int64_t{0});
    json page = json::array();
    for (std::int64_t i = start; i < static_cast<std::int64_t>(all.size()) && (count <= 0 || i < start + count); ++i)
      page.push_back(std::move(all[static_cast<std::size_t>(i)]));
    Respond(r, {{"variables", std::move(page)}});
  }

  // A refused change: the box's text (`typed` for those that begin with it).
  static void Refuse(debugger::Refusal why, const std::string& typed) {
    if (why != debugger::Refusal::None)
      throw Refusal{Cp932ToUtf8(debugger::Explain(why, InputLineToCp932(typed)).text)};
  }

  void ChangeRegister(int index, Word value, const std::string& typed) {
    Refuse(ec_->SetRegister(static_cast<Register>(index), value), typed);
  }

  void ChangeWord(Word address, const std::string& value) {
    const debugger::Entry e = debugger::ReadValueEntry(value);
    Refuse(e.refusal, value);
    Refuse(ec_->SetMemory(address, e.address), value);
  }

  int RegisterIndex(const std::string& name) const {
    for (int i = 0; i <= CCpu::kSP; ++i)
      if (name == RegisterName(i)) return i;
    throw Refusal{"no register " + name};
  }

  void SetRegisterValue(int index, const std::string& value) {
    if (index == CCpu::kFR) {
      // Three flag digits OF SF ZF as the register dialog takes them, or FR's value.
      std::string bits = value;
      bits.erase(std::remove(bits.begin(), bits.end(), ' '), bits.end());
      debugger::Entry e = debugger::ReadFlagsEntry(bits);
      if (bits.size() != 3) e = debugger::ReadValueEntry(value);
      Refuse(e.refusal, bits.size() != 3 ? value : bits);
      ChangeRegister(index, e.address, value);
      return;
    }
    const debugger::Entry e = debugger::ReadValueEntry(value);
    Refuse(e.refusal, value);
    ChangeRegister(index, e.address, value);
  }

  void SetVariable(Request& r) {
    const std::int64_t ref = Need(r.args, "variablesReference").get<std::int64_t>();
    const std::string name = NeedString(r.args, "name");
    const std::string value = NeedString(r.args, "value");
    json answer;
    if (ref == kRegistersRef) {
      const int index = RegisterIndex(name);
      SetRegisterValue(index, value);
      answer = RegisterVariable(index);
    } else if (ref >= kRegisterNotationsRef && ref <= kRegisterNotationsRef + CCpu::kSP) {
      const int index = static_cast<int>(ref) - kRegisterNotationsRef;
      Word w = ec_->Cpu().Registers()[static_cast<std::size_t>(index)];
      if (index == CCpu::kFR) {
        int b = 0;
        while (b < 3 && name != kFlagNames[b]) ++b;
        if (b == 3) throw Refusal{"no flag " + name};
        if (value != "0" && value != "1") throw Refusal{"a flag is 0 or 1"};
        w = static_cast<Word>(value == "1" ? (w | kFlagBits[b]) : (w & ~kFlagBits[b]));
        ChangeRegister(index, w, debugger::FlagBitsText(w));
        answer = {{"value", value}};
      } else {
        std::optional<Notation> notation;
        for (Notation n : kRegisterNotations)
          if (name == NotationName(n)) notation = n;
        if (!notation) throw Refusal{"no notation " + name};
        if (!ParseNotation(*notation, value, w)) Refuse(debugger::Refusal::InvalidValue, value);
        ChangeRegister(index, w, value);
        answer = {{"value", NotationText(*notation, w)}};
      }
    } else if (ref == kWatchesRef || ref == kLabelsRef || ref >= kWordsRef) {
      std::string error;
      const std::optional<Target> target = ParseTarget(name, ec_->Symbols(), error);
      if (!target || target->kind != Target::Kind::Address) throw Refusal{"no such variable: " + name};
      ChangeWord(target->address, value);
      answer = {{"value", WordValueText(ec_->Mem()[target->address])}};
    } else {
      throw Refusal{"no such variables: " + std::to_string(ref)};
    }
    Respond(r, answer);
    Invalidated();
  }

  void Invalidated() {
    if (invalidatedEvents_) Event("invalidated", {{"areas", json::array({"variables"})}});
  }

  // A line typed into the debug console while an IN waits for one; "^Z"
  // alone is the end of input, as Ctrl+Z in the IDE's console.
  static Bytes ConsoleLine(const std::string& typed) {
    std::string t = typed;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    if (t == "^Z") return Bytes(1, '\x1A');
    return InputLineToCp932(t);
  }

  void Evaluate(Request& r) {
    const std::string expression = NeedString(r.args, "expression");
    const std::string context = Arg(r.args, "context", std::string());
    if (inputWaiting_ && (context.empty() || context == "repl")) {
      typedLine_ = ConsoleLine(expression);
      Respond(r, {{"result", ""}, {"variablesReference", 0}});
      return;
    }
    if (!launched_) throw Refusal{"no program has been launched"};
    std::string error;
    const std::optional<Target> t = ParseTarget(expression, ec_->Symbols(), error);
    if (!t) throw Refusal{error};
    // A word under the mouse is a register or a label, never a number read as an address.
    if (context == "hover" && t->kind == Target::Kind::Address && t->label.empty())
      throw Refusal{"not a register or a label: " + expression};
    if (t->kind == Target::Kind::Register) {
      const json v = RegisterVariable(t->reg);
      json body{{"result", v["value"]}, {"variablesReference", v["variablesReference"]}};
      if (v.contains("memoryReference")) body["memoryReference"] = v["memoryReference"];
      Respond(r, body);
      return;
    }
    const int span = t->label.empty() ? kEvaluatedWords : LabelSpan(t->address);
    Respond(r, {{"result", WordValueText(ec_->Mem()[t->address])},
                {"variablesReference", span > 1 ? WordsRef(t->address, span) : 0},
                {"memoryReference", MemoryReference(t->address)}});
  }

  // Memory in the protocol's bytes: word w is bytes 2w (high) and 2w + 1 (low).
  std::int64_t FirstByte(const json& args) const {
    Word base;
    const std::string ref = NeedString(args, "memoryReference");
    if (!ParseMemoryReference(ref, base)) throw Refusal{"not a memory reference: " + ref};
    return 2LL * base + Arg(args, "offset", std::int64_t{0});
  }

  void ReadMemory(Request& r) {
    std::int64_t at = FirstByte(r.args);
    std::int64_t count = Need(r.args, "count").get<std::int64_t>();
    if (count < 0) throw Refusal{"'count' must not be negative"};
    count = std::min<std::int64_t>(count, kMemoryBytes);
    std::int64_t unreadable = 0;
    if (at < 0) {  // nothing lies below address 0: the data starts there
      const std::int64_t skip = std::min(count, -at);
      count -= skip;
      at = 0;
    }
    if (at + count > kMemoryBytes) {
      unreadable = at + count - std::max(at, kMemoryBytes);
      count -= unreadable;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
    for (std::int64_t b = at; b < at + count; ++b) {
      const Word w = ec_->Mem()[static_cast<Word>(b >> 1)];
      bytes += static_cast<char>(b & 1 ? w & 0xFF : w >> 8);
    }
    char address[16];
    std::snprintf(address, sizeof address, "0x%llX", static_cast<unsigned long long>(std::min(at, kMemoryBytes)));
    json body{{"address", address}, {"data", Base64Encode(bytes)}};
    if (unreadable > 0) body["unreadableBytes"] = unreadable;
    Respond(r, body);
  }

  void WriteMemory(Request& r) {
    const std::int64_t at = FirstByte(r.args);
    std::string bytes;
    if (!Base64Decode(NeedString(r.args, "data"), bytes)) throw Refusal{"'data' is not base64"};
    const bool partial = Arg(r.args, "allowPartial", false);
    const std::int64_t end = at + static_cast<std::int64_t>(bytes.size());
    if ((at < 0 || end > kMemoryBytes) && !partial) throw Refusal{"the bytes lie outside memory"};
    std::int64_t written = 0, first = -1;
    for (std::int64_t b = std::max<std::int64_t>(at, 0); b < std::min(end, kMemoryBytes); ++b) {
      const Word address = static_cast<Word>(b >> 1);
      const Word old = ec_->Mem()[address];
      const auto byte = static_cast<unsigned char>(bytes[static_cast<std::size_t>(b - at)]);
      ec_->Mem()[address] = static_cast<Word>(b & 1 ? (old & 0xFF00) | byte : (old & 0x00FF) | (byte << 8));
      if (first < 0) first = b;
      ++written;
    }
    // The words may be instructions: the disassembly and the watches are made anew.
    if (written > 0) ec_->RefreshAllPanes();
    json body{{"bytesWritten", written}};
    if (first > at) body["offset"] = first - at;
    Respond(r, body);
    Invalidated();
  }

  void Disassemble(Request& r) {
    const std::int64_t byte = FirstByte(r.args);
    const std::int64_t offset = Arg(r.args, "instructionOffset", std::int64_t{0});
    const std::int64_t count = Need(r.args, "instructionCount").get<std::int64_t>();
    if (count < 0 || count > 65536) throw Refusal{"'instructionCount' must be 0-65536"};
    const debugger::Disassembler& rows = ec_->Disassembly();
    // Bytes outside memory have no row; the rows counted from there do not exist either.
    const bool inside = byte >= 0 && byte < kMemoryBytes;
    const std::int64_t row0 = inside ? rows.FindRowOfAddress(static_cast<Word>(byte >> 1)) : -1;
    json list = json::array();
    int lastSource = -2;
    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t row = row0 < 0 ? -1 : row0 + offset + i;
      if (row < 0 || row >= rows.RowCount()) {
        list.push_back({{"address", "-1"}, {"instruction", ""}, {"presentationHint", "invalid"}});
        continue;
      }
      const debugger::SUnAsmTbl t = rows.Row(static_cast<int>(row));
      const RowParts parts = SplitDisassemblyRow(t.text);
      json j{{"address", MemoryReference(t.address)},
             {"instructionBytes", parts.words},
             {"instruction", Cp932ToUtf8(parts.instruction)}};
      if (!parts.label.empty()) j["symbol"] = Cp932ToUtf8(parts.label);
      const debugger::SourceLocation at = lines_.Locate(t.address);
      if (at.Found()) {
        if (at.source != lastSource)
          j["location"] = SourceJson(lines_.Sources()[static_cast<std::size_t>(at.source)].resolved);
        j["line"] = ClientLine(at.line);
        lastSource = at.source;
      }
      list.push_back(std::move(j));
    }
    Respond(r, {{"instructions", std::move(list)}});
  }

  void ExceptionInfo(Request& r) {
    if (!exception_) throw Refusal{"the program is not stopped at an exception"};
    Respond(r, {{"exceptionId", exception_->id}, {"description", exception_->text}, {"breakMode", "always"}});
  }

  Exception UndefinedException() const {
    return Exception{"UndefinedInstruction", debugger::UndefinedWordMessage(ec_->Mem()[Pr()], Pr())};
  }

  // --------------------------------------------------------- going forward

  bool Granular(const Request& r) const {
    return Arg(r.args, "granularity", std::string("statement")) == "instruction";
  }

  void Continue(Request& r) {
    Respond(r, {{"allThreadsContinued", true}});
    Forward([this] { return RunFree(std::nullopt); });
  }

  void Next(Request& r) {
    const bool instruction = Granular(r);
    Respond(r);
    Forward([this, instruction] { return instruction ? NextInstruction() : StepLine(true); });
  }

  void StepIn(Request& r) {
    const bool instruction = Granular(r);
    Respond(r);
    Forward([this, instruction] { return instruction ? TraceOnce() : StepLine(false); });
  }

  void StepOut(Request& r) {
    Respond(r);
    Forward([this] {
      const std::vector<CallFrame> frames = Frames(2);
      // In the main program there is nothing to return to but the end.
      if (frames.front().outermost) return RunFree(std::nullopt);
      const Word slot = frames.front().returnSlot;
      return RunFree(ReturnTarget{ec_->Mem()[slot], slot});
    });
  }

  void Pause(Request& r) {
    if (!running_) {
      Respond(r);  // stopped already
      return;
    }
    if (inputWaiting_)
      throw Refusal{"an IN is waiting for a line: type it into the debug console (^Z alone: end of input)"};
    userPause_ = true;
    ec_->Pause();
    Respond(r);
  }

  template <class F>
  void Forward(F step) {
    if (terminatedSent_) return;
    userPause_ = false;
    const bool giveUp = reportedUndefinedAt_ && *reportedUndefinedAt_ == Pr() && IsUndefinedAt(Pr());
    reportedUndefinedAt_.reset();
    exception_.reset();
    if (Live() && giveUp) {
      // The program was shown where it cannot go on: going on ends it.
      ec_->EndProgram();
    }
    Stop stop{"ended", {}};
    if (Live()) {
      running_ = true;
      stop = step();
      running_ = false;
    }
    Finish(stop);
  }

  // What the client is told after a run request.
  void Finish(const Stop& stop) {
    if (quit_) return;
    if (!Live()) {
      if (overflowPending_ && !terminateRequested_) {
        // Stopped where the stack overflowed, for a look; going on ends the session.
        overflowPending_ = false;
        exception_ = Exception{"StackOverflow", Cp932ToUtf8(debugger::StackOverflowMessage())};
        SendStopped(Stop{"exception", {}});
        return;
      }
      SendEnd();
      return;
    }
    if (exception_) {
      if (exception_->id == "UndefinedInstruction") reportedUndefinedAt_ = Pr();
      SendStopped(Stop{"exception", {}});
      return;
    }
    SendStopped(stop);
  }

  void SendStopped(const Stop& stop) {
    ReportWithdrawals();
    json body{{"reason", stop.reason}, {"threadId", kThreadId}, {"allThreadsStopped", true}};
    if (!stop.hitIds.empty()) body["hitBreakpointIds"] = stop.hitIds;
    if (stop.reason == "exception" && exception_) {
      body["description"] = exception_->text;
      body["text"] = exception_->text;
    }
    Event("stopped", std::move(body));
  }

  void SendEnd() {
    if (terminatedSent_) return;
    terminatedSent_ = true;
    Event("exited", {{"exitCode", lastEnd_ == End::Normal ? kRunNormalEnd : kRunAbnormalEnd}});
    Event("terminated");
  }

  Stop TraceOnce() {
    const Word pr = Pr();
    const bool undefined = IsUndefinedAt(pr);
    ec_->Trace();
    if (quit_ || !Live()) return Stop{"ended", {}};
    if (undefined && Pr() == pr) exception_ = UndefinedException();
    return Stop{"step", {}};
  }

  Stop NextInstruction() {
    if (IsCallAt(Pr())) return RunFree(ReturnTarget{static_cast<Word>(Pr() + 2), static_cast<Word>(Sp() - 1)});
    return TraceOnce();
  }

  // Steps until a line begins (IsStepStop); `over` steps over routines.
  Stop StepLine(bool over) {
    for (int n = 1;; ++n) {
      Stop s = over ? NextInstruction() : TraceOnce();
      if (s.reason != "step" || exception_ || quit_ || !Live()) return s;
      if (IsStepStop(lines_, Pr()) || n >= kMaxLineSteps) return s;
      if (n % 64 == 0) {
        Pump();
        if (userPause_ || quit_) return Stop{"pause", {}};
      }
    }
  }

  // GO until a breakpoint whose hit count says stop, a pause, an exception,
  // the end, or (with a target) the return from the routine.
  Stop RunFree(std::optional<ReturnTarget> target) {
    if (target) {
      tempStop_ = target->address;
      SyncTable();
    }
    Stop result{"pause", {}};
    for (;;) {
      const bool ran = ec_->Go();
      if (!ran || quit_ || !Live()) break;
      if (!exception_ && ec_->LastStop() == tolvane::StopReason::UndefinedWord) exception_ = UndefinedException();
      if (exception_) {
        result.reason = "exception";
        break;
      }
      const Word pr = Pr();
      if (target && pr == target->address && Sp() > target->slot) {
        result.reason = "step";
        break;
      }
      std::vector<int> hit = CountHits(pr);
      if (!hit.empty()) {
        result = Stop{"breakpoint", std::move(hit)};
        break;
      }
      if (userPause_) break;
      // A breakpoint whose count has not come, or the return address reached
      // by a deeper call of the same routine: on.
      if (IsUserBreakpointAt(pr) || (target && pr == target->address)) continue;
      break;
    }
    if (target) {
      tempStop_.reset();
      SyncTable();
    }
    return result;
  }

  // --------------------------------------------------------- going back

  // Goes back to the latest recorded state before this one for which `wanted`
  // holds; false (at the oldest recorded state) when none does. Each Back Step
  // shows the whole machine anew, which costs a full disassembly; so this goes
  // back by windows that double and traces forward through each window to
  // look at every state, which is cheap.
  template <class F>
  bool GoBack(F wanted) {
    const std::size_t recorded = ec_->BackStepsAvailable();
    muted_ = true;
    std::size_t done = 0, window = 1;
    bool found = false;
    while (done < recorded && !quit_) {
      const std::size_t w = std::min(window, recorded - done);
      ec_->BackStep(w);  // the state `done + w` steps back
      std::optional<std::size_t> best;
      if (wanted()) best = done + w;
      for (std::size_t j = done + w - 1; j > done; --j) {
        ec_->Trace();
        if (wanted()) best = j;
      }
      // Here: `done + 1` steps back (or `done + w` when w is 1).
      if (best) {
        if (*best > done + 1) ec_->BackStep(*best - (done + 1));
        found = true;
        break;
      }
      if (w > 1) ec_->BackStep(w - 1);
      done += w;
      window *= 2;
      Pump();
      if (userPause_ || terminateRequested_) break;
    }
    muted_ = false;
    return found;
  }

  void Backward(Request& r, bool toBreakpoint) {
    if (terminatedSent_) throw Refusal{"the program has ended"};
    if (ec_->BackStepsAvailable() == 0) throw Refusal{"nothing to go back to: no executed instruction is recorded"};
    const bool instruction = Granular(r);
    Respond(r);
    userPause_ = false;
    exception_.reset();
    reportedUndefinedAt_.reset();
    overflowPending_ = false;
    lastEnd_ = End::None;
    const Word slot = FrameSlot();
    bool found;
    running_ = true;
    if (toBreakpoint) {
      found = GoBack([this] { return ec_->Breakpoints().IsEnabledAt(Pr()); });
    } else {
      // Back over a routine as `next` goes over it: to a state in this frame or an outer one.
      found = GoBack(
          [this, slot, instruction] { return FrameSlot() >= slot && (instruction || IsStepStop(lines_, Pr())); });
    }
    running_ = false;
    if (quit_) return;
    if (terminateRequested_ || !Live()) {
      SendEnd();
      return;
    }
    if (!found && !userPause_) Output("console", "went back to the oldest recorded instruction\n");
    if (toBreakpoint && found)
      SendStopped(Stop{"breakpoint", BreakpointIdsAt(Pr())});
    else
      SendStopped(Stop{userPause_ ? "pause" : "step", {}});
  }

  void StepBack(Request& r) { Backward(r, false); }
  void ReverseContinue(Request& r) { Backward(r, true); }

  // ------------------------------------------------------------- the end

  void Terminate(Request& r) {
    Respond(r);
    if (terminatedSent_) return;
    terminateRequested_ = true;
    if (launched_ && Live()) ec_->EndProgram();
    if (!launched_) lastEnd_ = End::Abnormal;
    if (!running_) SendEnd();  // a run in progress says so when it returns
  }

  void Disconnect(Request& r) {
    // A launched program goes with its adapter.
    if (launched_ && Live()) ec_->EndProgram();
    Respond(r);
    quit_ = true;
  }

  // ------------------------------------------------------------------ state

  Transport& transport_;
  std::unique_ptr<ExecutionControl> ec_;
  debugger::SourceLines lines_;
  FileNameMarks marks_;
  std::int64_t nextSeq_ = 1;
  mutable int nextBreakpointId_ = 1;

  bool initialized_ = false, launched_ = false, configured_ = false;
  bool linesStartAt1_ = true, invalidatedEvents_ = false;
  bool stopOnEntry_ = false, noDebug_ = false;
  std::string programName_;
  bool quit_ = false, gone_ = false;
  bool terminatedSent_ = false, terminateRequested_ = false;

  bool running_ = false;  // a run request is executing the program (this may be a nested call)
  bool userPause_ = false;
  std::optional<Exception> exception_;
  std::optional<Word> reportedUndefinedAt_;
  bool overflowPending_ = false;
  End lastEnd_ = End::None;

  std::deque<Bytes> launchInput_;
  bool inputWaiting_ = false, inputCancelled_ = false;
  std::optional<Bytes> typedLine_;

  bool muted_ = false;            // going back: the steps replayed show nothing
  std::deque<Bytes> outputs_;     // the program's recent output lines
  std::vector<Bytes> withdrawn_;  // lines taken back since the last stop, newest first

  std::map<std::string, std::vector<UserBreakpoint>> sourceBreakpoints_;
  std::vector<UserBreakpoint> instructionBreakpoints_;
  std::vector<UserBreakpoint> functionBreakpoints_;
  std::optional<Word> tempStop_;
};

Adapter::Adapter(Transport& transport) : session_(std::make_unique<Session>(transport)) {}
Adapter::~Adapter() = default;
int Adapter::Run() { return session_->Run(); }

}  // namespace tolvane::dap
