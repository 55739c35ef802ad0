#pragma once
// The adapter's session: one client, one program. The class is declared here
// and its requests are defined by area; Adapter.cpp holds the dispatch table,
// which is the index of the requests and of the files that serve them:
//   Launch.cpp       initialize, launch, terminate, disconnect
//   Breakpoints.cpp  the three kinds of breakpoints and their hit counts
//   Stepping.cpp     configurationDone, the run and step requests, going back
//   Variables.cpp    threads, the stack, scopes, variables, evaluate
//   Memory.cpp       readMemory, writeMemory, disassemble
//   Ports.cpp        the debugger's ports: message boxes and the console
#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "build/Builder.h"
#include "common/BuildOptions.h"
#include "common/FileNameMarks.h"
#include "common/InstructionSet.h"
#include "common/MessageSink.h"
#include "common/TextRules.h"
#include "dap/Adapter.h"
#include "dap/CallChain.h"
#include "dap/Values.h"
#include "debugger/ExecutionControl.h"
#include "debugger/SourceLines.h"
#include "machine/Svc.h"

namespace tolvane::dap {

using json = nlohmann::json;
using debugger::ExecutionControl;

inline constexpr int kThreadId = 1;
// Variable references: the three scopes, a register's notations, and blocks
// of memory words (the words of a label, or those from an evaluated address).
inline constexpr int kRegistersRef = 1, kWatchesRef = 2, kLabelsRef = 3;
inline constexpr int kRegisterNotationsRef = 10;  // + the register's CCpu index
inline constexpr int kWordsRef = 0x1000000;       // + count << 16 + address
inline constexpr int kMaxWordsShown = 256;
inline constexpr int kEvaluatedWords = 16;
// A step by lines gives up after this many instructions (a line that loops on
// itself through a routine, say) and stops where it is.
inline constexpr int kMaxLineSteps = 100000;
inline constexpr std::size_t kOutputsKept = 8192;
inline constexpr std::size_t kWithdrawalsShown = 20;
inline constexpr std::int64_t kMemoryBytes = std::int64_t{2} * kMemoryWords;

// A request refused for what it asked; the text is the error response's message.
struct Refusal {
  std::string message;
};

inline bool EndsWithFolded(const std::string& s, const char* suffix) {
  const std::size_t n = std::char_traits<char>::length(suffix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
  return true;
}

inline std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

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

inline const json& Need(const json& args, const char* name) {
  auto it = args.find(name);
  if (it == args.end() || it->is_null()) throw Refusal{std::string("'") + name + "' is missing"};
  return *it;
}

inline std::string NeedString(const json& args, const char* name) {
  const json& v = Need(args, name);
  if (!v.is_string()) throw Refusal{std::string("'") + name + "' must be a string"};
  return v.get<std::string>();
}

class Server : private debugger::DebuggerUiPort, private ConsolePort {
 public:
  explicit Server(Transport& transport)
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
  using Handler = void (Server::*)(Request&);
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

  // ---------------------------------------------------------------- messages

  void Handle(const Transport::Incoming& in);
  void Dispatch(Request& r);
  void Send(json message);
  void Respond(Request& r, json body = nullptr);
  void Refuse(Request& r, const std::string& message);
  void Event(const char* name, json body = nullptr);
  void Output(const char* category, const std::string& utf8, json extra = json::object());

  void Log(const std::string& text) { Output("console", "tolvane-cli dap: " + text + "\n"); }

  std::string MessageText(const std::string& cp932) const;
  void ClientGone();
  void Pump();

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

  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override;

  // The window system's turn: what the client sent.
  void ProcessEvents() override { Pump(); }
  void OnStopped(const debugger::Stopped& stop) override;
  bool ConsoleInputPending() override { return inputWaiting_; }
  void ConsoleCancelInput() override { inputCancelled_ = true; }

  Bytes ConsoleReadLine() override;
  void ConsoleWrite(const Bytes& text) override;
  void ConsoleMessage(const Bytes& text) override;
  void ConsoleWithdrawOutput() override;
  void ReportWithdrawals();

  // ----------------------------------------------------------- lines, sources

  std::int32_t ClientLine(std::int32_t line) const { return linesStartAt1_ ? line : line - 1; }
  std::int32_t OwnLine(std::int64_t line) const {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(linesStartAt1_ ? line : line + 1, 0, 0x7FFFFFFF));
  }

  static json SourceJson(const std::string& path);
  void PlaceAt(Word address, json& j) const;

  // ----------------------------------------------------------------- requests

  void Initialize(Request& r);

  void Attach(Request&) { throw Refusal{"attach is not supported: launch the program instead"}; }

  class BuildSink : public MessageSink {
   public:
    explicit BuildSink(Server& s) : s_(s) {}
    void AppendMessageLine(const std::string& line) override {
      s_.BuildLine({DiagCode::None, {}, {}, 0, -1, 0, {}, line});
    }
    void AppendDiagnostic(const Diagnostic& d) override { s_.BuildLine(d); }

   private:
    Server& s_;
  };
  void BuildLine(const Diagnostic& d);
  void ShowNotice(const build::Notice& notice);
  static Word HexOption(const json& args, const char* name, Word fallback);
  void Launch(Request& r);
  build::BuildResult Build(const std::vector<std::string>& programs, bool project, const BuildOptions& options);
  void ConfigurationDone(Request& r);

  // ---------------------------------------------------------- breakpoints

  json BreakpointJson(const UserBreakpoint* b, bool verified, const std::string& message) const;
  static void KeepHits(UserBreakpoint& b, const std::vector<UserBreakpoint>& before);
  static bool ReadHit(const json& want, UserBreakpoint& b, std::string& message);
  void SetBreakpoints(Request& r);
  static std::vector<json> List(const json& args);
  void SetInstructionBreakpoints(Request& r);
  void SetFunctionBreakpoints(Request& r);
  template <class Place>
  void ReplaceBreakpoints(Request& r, const std::vector<json>& wanted, std::vector<UserBreakpoint>& list, Place place);

  void SetExceptionBreakpoints(Request& r) { Respond(r, {{"breakpoints", json::array()}}); }

  template <class F>
  void ForEachUserBreakpoint(F f);
  void SyncTable();
  bool IsUserBreakpointAt(Word address);
  std::vector<int> CountHits(Word address);
  std::vector<int> BreakpointIdsAt(Word address);

  // ------------------------------------------------------------- the state

  void Threads(Request& r);
  void StackTrace(Request& r);
  void Scopes(Request& r);

  static int WordsRef(Word address, int count) { return kWordsRef + (count << 16) + address; }

  int LabelSpan(Word address) const;
  json WordVariable(const std::string& name, Word address, int children) const;
  json RegisterVariable(int index) const;
  static constexpr const char* kFlagNames[] = {"OF", "SF", "ZF"};
  static constexpr Word kFlagBits[] = {kFlagOF, kFlagSF, kFlagZF};
  json Children(int ref);
  void Variables(Request& r);
  // A refused change: the box's text (`typed` for those that begin with it).
  static void Refuse(debugger::Refusal why, const std::string& typed);
  void ChangeRegister(int index, Word value, const std::string& typed);
  void ChangeWord(Word address, const std::string& value);
  int RegisterIndex(const std::string& name) const;
  void SetRegisterValue(int index, const std::string& value);
  void SetVariable(Request& r);
  void Invalidated();
  static Bytes ConsoleLine(const std::string& typed);
  void Evaluate(Request& r);
  // ------------------------------------------------- memory and disassembly

  std::int64_t FirstByte(const json& args) const;
  void ReadMemory(Request& r);
  void WriteMemory(Request& r);
  void Disassemble(Request& r);
  void ExceptionInfo(Request& r);
  Exception UndefinedException() const;

  // --------------------------------------------------------- going forward

  bool Granular(const Request& r) const {
    return Arg(r.args, "granularity", std::string("statement")) == "instruction";
  }

  void Continue(Request& r);
  void Next(Request& r);
  void StepIn(Request& r);
  void StepOut(Request& r);
  void Pause(Request& r);
  template <class F>
  void Forward(F step);
  void Finish(const Stop& stop);
  void SendStopped(const Stop& stop);
  void SendEnd();
  Stop TraceOnce();
  Stop NextInstruction();
  Stop StepLine(bool over);
  Stop RunFree(std::optional<ReturnTarget> target);

  // --------------------------------------------------------- going back

  template <class F>
  bool GoBack(F wanted);
  void Backward(Request& r, bool toBreakpoint);

  void StepBack(Request& r) { Backward(r, false); }
  void ReverseContinue(Request& r) { Backward(r, true); }

  // ------------------------------------------------------------- the end

  void Terminate(Request& r);
  void Disconnect(Request& r);

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
  // Why the program last stopped, from execution control's record: since the
  // current run request began, or (EndedByUser) as a client's terminate leaves it.
  StopReason lastStop_ = StopReason::EndedByUser;
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

}  // namespace tolvane::dap
