// tolvane-cli debug: a line-oriented debugger over the same execution control as
// the IDE's debug window. Commands come from standard input, one per line; the
// program's IN reads its lines from standard input too, and everything the
// windows would show (console lines, message boxes, status line, panes) is
// printed on standard output.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "common/BinaryIo.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "common/MessageBox.h"
#include "common/TextRules.h"
#include "debugger/ExecutionControl.h"
#include "debugger/Formats.h"
#include "debugger/Jumps.h"
#include "debugger/Refusal.h"
#include "debugger/SourceLines.h"
#include "link/LoadModule.h"
#include "machine/StdioRun.h"

namespace tolvane::cli {

const char* const kDebugHelp =
    "  debug [--no-sym] [--no-regs] [--data-as-code] PROG.exe\n"
    "                   debug a load module from the terminal: commands on standard input\n"
    "                   (type 'help'), the program's IN lines from standard input as well;\n"
    "                   OUT lines, console and message-box texts and the panes on standard\n"
    "                   output. --no-sym: do not load PROG.sym; --no-regs: no register dump\n"
    "                   when the program ends; --data-as-code: disassemble data as\n"
    "                   instructions. Ctrl+C pauses a running go, animate, trace or step.\n"
    "                   Exit status: 0, 1 load failed, 2 usage, 5 standard output could\n"
    "                   not be written (the debugger stops then).\n";

namespace {

using namespace tolvane::debugger;

const char* const kCommandHelp =
    "Commands (ADDR: 1-4 hexadecimal digits; LABEL: a label of the program):\n"
    "  break ADDR|LABEL     add an enabled breakpoint\n"
    "  break FILE.cas:LINE  add one on the line's first instruction (also for delete,\n"
    "                       enable and disable)\n"
    "  delete ADDR|LABEL    remove the breakpoint\n"
    "  enable ADDR|LABEL    enable the breakpoint\n"
    "  disable ADDR|LABEL   disable the breakpoint\n"
    "  breaks               list the breakpoints (address, label, 1 enabled / 0 disabled)\n"
    "  go                   run until a breakpoint, the end, or Ctrl+C (an IN shows\n"
    "                       its row before it waits)\n"
    "  animate              run one instruction every 80 ms, showing each row\n"
    "  trace [N]            execute one instruction (N times)\n"
    "  step [N]             as trace, a CALL runs the whole routine\n"
    "  back [N]             undo the last executed instruction (N of them); an undone\n"
    "                       IN reads the same line again, an undone OUT is noted\n"
    "  regs                 the register dump and each register in four notations\n"
    "  mem ADDR|LABEL [N]   the memory dump rows covering N words (default 64)\n"
    "  dis [ADDR|LABEL] [N] N disassembly rows (default 16) from there (default PR)\n"
    "  watch ADDR|LABEL     add a watch\n"
    "  watches              show the watches\n"
    "  set REG|ADDR VALUE   change GR0-GR7, PR, SP, FR (000 ... 110) or a memory word;\n"
    "                       VALUE: 1-4 hexadecimal digits, #hhhh, +N or -N in decimal,\n"
    "                       or 'c'\n"
    "  start                load the program again and start debugging\n"
    "  end                  end the program\n"
    "  quit                 leave the debugger\n"
    "  help                 this text\n";

constexpr std::size_t kCommandLineKeep = 4096;

// Ctrl+C pauses a running go, animate or step; at the prompt it ends the
// debugger as usual.
volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t running = 0;
void OnInterrupt(int sig) {
  if (running) {
    interrupted = 1;
    return;
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void Print(const std::string& cp932) { PrintCp932(stdout, cp932); }
void PrintLine(const std::string& cp932) {
  Print(cp932);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// One disassembly row as the terminal shows it: the breakpoint mark ('*'
// enabled, 'o' disabled), '>' on the row of PR while debugging, and the text.
void PrintDisassemblyRow(const ExecutionControl& ec, int row) {
  SUnAsmTbl r = ec.Disassembly().Row(row);
  const BreakpointTable& t = ec.Breakpoints();
  char mark = t.FindEnabledBreakpoint(r.address) >= 0 ? '*' : t.FindDisabledBreakpoint(r.address) >= 0 ? 'o' : ' ';
  bool current = ec.DebuggingActive() && ec.FindRowOfAddress(ec.Cpu().GetPR()) == row;
  std::string line;
  line += mark;
  line += current ? '>' : ' ';
  line += ' ';
  line += r.text;
  PrintLine(line);
}

// The source lines of the program being debugged.
struct SourceShow {
  SourceLines lines;

  // "FILE:LINE: text" of the line that produced PR, when the program has lines.
  void ShowLineOfPr(const ExecutionControl& ec) {
    SourceLocation at = lines.Locate(ec.Cpu().GetPR());
    if (!at.Found()) return;
    const std::string& path = lines.Sources()[static_cast<std::size_t>(at.source)].path;
    PrintLine(path + ":" + std::to_string(at.line) + ": " + std::string(lines.LineText(at.source, at.line)));
  }
};

void ShowRowOfPr(const ExecutionControl& ec, SourceShow* source) {
  const int row = ec.FindRowOfAddress(ec.Cpu().GetPR());
  if (row >= 0) PrintDisassemblyRow(ec, row);
  if (source) source->ShowLineOfPr(ec);
}

// The console: IN lines from standard input, OUT and the debugger's console
// lines on standard output. The register dump's CR LF becomes a line feed.
class TerminalConsole : public ConsolePort {
 public:
  const ExecutionControl* ec = nullptr;
  SourceShow* source = nullptr;

  // GO shows the panes before an IN waits for its line, so that the user sees
  // where the program asks; the terminal shows the row of PR.
  Bytes ConsoleReadLine() override {
    if (ec && ec->IsGoRunning()) ShowRowOfPr(*ec, source);
    return stdio_.ConsoleReadLine();
  }
  void ConsoleWrite(const Bytes& text) override {
    ConsoleMessage(text);
    outputs_.push_back(text);
    if (outputs_.size() > kWithdrawable) outputs_.pop_front();
  }
  void ConsoleMessage(const Bytes& text) override {
    std::string t = text;
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.erase(p, 1);
    stdio_.ConsoleWrite(t);
    messages_.push_back(t.substr(0, t.find('\n')));
    if (messages_.size() > kWithdrawable) messages_.pop_front();
  }
  // Back over the end: the line that told how it ended (or the register dump)
  // no longer stands.
  void ConsoleWithdrawMessage() override {
    if (messages_.empty()) return;
    PrintLine("withdrawn: " + messages_.back());
    messages_.pop_back();
  }
  // A terminal cannot take back what it printed: it says which line no longer stands.
  void ConsoleWithdrawOutput() override {
    if (outputs_.empty()) {
      PrintLine("withdrawn: an earlier output line");
      return;
    }
    PrintLine("withdrawn: " + outputs_.back());
    outputs_.pop_back();
  }

 private:
  static constexpr std::size_t kWithdrawable = 8192;
  StdioConsole stdio_{stdin, stdout};
  std::deque<Bytes> outputs_;   // the program's recent output lines, for the withdrawal notes
  std::deque<Bytes> messages_;  // the first lines of the run's own recent messages, the same way
};

class TerminalUi : public DebuggerUiPort {
 public:
  ExecutionControl* ec = nullptr;
  SourceShow* source = nullptr;

  BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override {
    std::string t = text;
    std::replace(t.begin(), t.end(), '\n', ' ');
    std::printf("%s: ", BoxCaption(kind));
    PrintLine(t);
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Yes;
  }
  void ProcessEvents() override {
    // Ctrl+C, or standard output gone: the run pauses.
    if ((interrupted || std::ferror(stdout)) && ec) {
      interrupted = 0;
      ec->Pause();
    }
  }
  void WaitMilliseconds(int ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    ProcessEvents();
  }
  // Animate refreshes the panes after every instruction it executes, the
  // start row too when the final RET has reinitialised the machine: the
  // terminal shows the row the pane selects, as it is selected.
  void OnPanesChanged(const debugger::PanesChanged& change) override {
    if (!ec || !ec->IsAnimateRunning() || change.focus.kind != debugger::Focus::Kind::Next) return;
    PrintDisassemblyRow(*ec, change.focus.row);
    if (source) source->ShowLineOfPr(*ec);
  }
};

// "ADDR|LABEL": a label of the program when there is one by that name, else a
// hexadecimal address; any other text is judged as a label when it begins with
// a letter and as an address otherwise, for the message it deserves.
AddBy Classify(const std::string& text, const SymbolIndex& symbols) {
  if (symbols.LabelExists(text)) return AddBy::Label;
  if (ParseAddress(text)) return AddBy::Address;
  char c = text.empty() ? '0' : text[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? AddBy::Label : AddBy::Address;
}

class TerminalDebugger {
 public:
  TerminalDebugger(TerminalUi& ui, ExecutionControl& ec, SourceShow& source, std::string program, BuildOptions options)
      : ui_(ui), ec_(ec), source_(source), program_(std::move(program)), options_(options) {}

  bool Start() {
    // The loader reads the symbol file first; a load module that is not there
    // at all is what to name.
    const std::string exe = ChangeExtension(program_, ".exe");
    std::error_code error;
    if (!std::filesystem::exists(exe, error)) {
      LoadModule module;
      ReadLoadModule(exe, module, ui_);
      return false;
    }
    if (!ec_.StartDebugging(program_, options_)) return false;
    for (const std::string& m : source_.lines.Load(ec_.Program().exePath)) PrintLine(m);
    ShowStop();
    return true;
  }

  // Returns false for quit.
  bool Execute(const std::string& line) {
    std::istringstream in(line);
    std::string cmd;
    if (!(in >> cmd)) return true;
    std::vector<std::string> a;
    for (std::string w; in >> w;) a.push_back(w);
    // Arguments are typed text: convert them to the program's CP932.
    for (std::string& w : a) w = InputLineToCp932(w);

    if (cmd == "quit" || cmd == "q" || cmd == "exit") return false;
    if (cmd == "help" || cmd == "?") {
      std::fputs(kCommandHelp, stdout);
    } else if (cmd == "break" || cmd == "b") {
      // Only the new row: reprinting the whole table made many breaks quadratic.
      if (Need(a, 1)) {
        Word address;
        switch (LineAddress(a[0], address)) {
          case LineArg::NotALine: {
            const Entry e = ReadEntry(Classify(a[0], ec_.Symbols()), a[0], ec_.Symbols());
            if (!Refused(e.refusal) && !Refused(ec_.AddBreakpoint(e.address, e.label))) PrintBreakAt(e.address);
            break;
          }
          case LineArg::Found:
            if (!Refused(ec_.AddBreakpoint(address))) PrintBreakAt(address);
            break;
          case LineArg::Refused:
            break;
        }
      }
    } else if (cmd == "delete" || cmd == "enable" || cmd == "disable") {
      if (Need(a, 1)) ChangeBreak(cmd, a[0]);
    } else if (cmd == "breaks") {
      PrintBreaks();
    } else if (cmd == "go" || cmd == "g" || cmd == "animate") {
      if (!Debugging()) return true;
      const bool animate = cmd == "animate";
      const bool ok = animate ? ec_.GoAnimate() : ec_.Go();
      if (!ok) std::puts("refused: a run is in progress");
      // Animate has shown every row it went through, the one it stopped at too.
      ShowStop(!(ok && animate));
    } else if (cmd == "trace" || cmd == "t" || cmd == "step" || cmd == "s") {
      if (!Debugging()) return true;
      long n = a.empty() ? 1 : std::strtol(a[0].c_str(), nullptr, 10);
      // Ctrl+C ends a long trace or step as it pauses a go; so does standard
      // output that can no longer be written.
      for (long i = 0; i < std::max(1L, n) && ec_.DebuggingActive() && !interrupted && !std::ferror(stdout); ++i) {
        if (cmd[0] == 't')
          ec_.Trace();
        else
          ec_.Step();
      }
      ShowStop();
    } else if (cmd == "back") {
      long n = a.empty() ? 1 : std::strtol(a[0].c_str(), nullptr, 10);
      if (ec_.BackStepsAvailable() == 0) {
        std::puts("nothing to go back to: no executed instruction is recorded");
        return true;
      }
      const std::size_t want = static_cast<std::size_t>(std::max(1L, n));
      const std::size_t done = ec_.BackStep(want);
      if (done < want) std::printf("went back %zu instructions: no more are recorded\n", done);
      ShowStop();
    } else if (cmd == "regs" || cmd == "r") {
      PrintRegisters();
    } else if (cmd == "mem" || cmd == "m") {
      Word from;
      if (Need(a, 1) && MemoryLocation(a[0], from)) PrintMemory(from, a.size() > 1 ? Count(a[1], 64) : 64);
    } else if (cmd == "dis" || cmd == "d") {
      PrintDisassembly(a.empty() ? Hex4(ec_.Cpu().GetPR()) : a[0], a.size() > 1 ? Count(a[1], 16) : 16);
    } else if (cmd == "watch" || cmd == "w") {
      // Only the new row: reprinting the whole list made many watches quadratic.
      int added = -1;
      if (Need(a, 1))
        Report(ec_.Watches().AddDirect(Classify(a[0], ec_.Symbols()), a[0], ec_.Symbols(), ec_.Mem().data(), &added),
               [&] { PrintWatches(added); });
    } else if (cmd == "watches") {
      ec_.RefreshWatches();
      PrintWatches();
    } else if (cmd == "set") {
      if (Need(a, 2) && Debugging()) Set(a[0], a[1]);
    } else if (cmd == "start") {
      if (!ec_.DebuggingGuard()) Start();
    } else if (cmd == "end") {
      if (Debugging()) ec_.EndProgram();
    } else {
      std::printf("unknown command '%s' (type help)\n", cmd.c_str());
    }
    std::fflush(stdout);
    return true;
  }

 private:
  bool Need(const std::vector<std::string>& a, std::size_t n) {
    if (a.size() >= n) return true;
    std::puts("missing argument (type help)");
    return false;
  }
  bool Debugging() {
    if (ec_.DebuggingActive()) return true;
    std::puts("no program is being debugged (type start)");
    return false;
  }
  // ADDR|LABEL in the memory dump: a label of the program stands for its
  // address, anything else goes by the memory dump's jump rule.
  bool MemoryLocation(const std::string& text, Word& address) {
    if (ec_.Symbols().LabelExists(text)) {
      address = ec_.Symbols().AddressOfLabel(text);
      return true;
    }
    const Entry e = ReadJumpEntry(JumpKind::MemoryAddress, text, ec_.Symbols());
    if (Refused(e.refusal, text)) return false;
    address = e.address;
    return true;
  }
  static int Count(const std::string& text, int fallback) {
    long n = std::strtol(text.c_str(), nullptr, 10);
    return n > 0 ? static_cast<int>(std::min(n, 65536L)) : fallback;
  }
  template <class F>
  void Report(const DialogResult& r, F onAccept) {
    if (r.accepted)
      onAccept();
    else
      ui_.ShowMessageBox(r.kind, r.message, BoxButtons::Ok);
  }
  // Shows the box of a refusal (`typed` for the texts that begin with it);
  // true when there was one.
  bool Refused(Refusal why, std::string_view typed = {}) {
    if (why == Refusal::None) return false;
    const RefusalBox box = Explain(why, typed);
    ui_.ShowMessageBox(box.kind, box.text, BoxButtons::Ok);
    return true;
  }

  // "FILE:LINE" (a file of the program and a decimal line number): the
  // address of the line's first instruction. Refused after saying why.
  enum class LineArg { NotALine, Found, Refused };
  LineArg LineAddress(const std::string& text, Word& address) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() ||
        text.find_first_not_of("0123456789", colon + 1) != std::string::npos)
      return LineArg::NotALine;
    const long line = std::strtol(text.c_str() + colon + 1, nullptr, 10);
    const LineTarget target = source_.lines.ResolveLine(text.substr(0, colon),
                                                        line > 0x7FFFFFFFL ? 0 : static_cast<std::int32_t>(line), true);
    if (!target.Found()) {
      PrintLine(target.refusal);
      return LineArg::Refused;
    }
    address = target.address;
    return LineArg::Found;
  }

  void ChangeBreak(const std::string& cmd, const std::string& text) {
    Word address;
    LineArg byLine = LineAddress(text, address);
    if (byLine == LineArg::Refused) return;
    if (byLine == LineArg::NotALine) {
      const Entry e = ReadEntry(Classify(text, ec_.Symbols()), text, ec_.Symbols());
      if (Refused(e.refusal)) return;
      address = e.address;
    }
    const BreakpointTable& t = ec_.Breakpoints();
    int on = t.FindEnabledBreakpoint(address), off = t.FindDisabledBreakpoint(address);
    int index = on >= 0 ? on : off;
    if (index < 0) {
      PrintLine("no breakpoint at " + Hex4(address));
      return;
    }
    if (cmd == "delete") {
      ec_.DeleteBreakpoint(index);
      PrintLine("deleted breakpoint at " + Hex4(address));
      return;
    }
    if ((cmd == "enable") == (off >= 0)) ec_.SwitchBreakpoint(index);
    PrintBreakAt(address);
  }

  // REG|ADDR VALUE: the value by the rule of the register and memory
  // dialogs, FR's by the flag digits.
  void Set(const std::string& target, const std::string& value) {
    if (const std::optional<Register> reg = ParseRegisterName(target)) {
      const Entry e = *reg == Register::FR ? ReadFlagsEntry(value) : ReadValueEntry(value);
      if (Refused(e.refusal, value) || Refused(ec_.SetRegister(*reg, e.address), value)) return;
      PrintRegisters();
    } else if (const std::optional<Word> address = ParseAddress(target)) {
      const Entry e = ReadValueEntry(value);
      if (Refused(e.refusal, value) || Refused(ec_.SetMemory(*address, e.address), value)) return;
      PrintMemory(*address, 1);
    } else {
      // A register name the machine does not have (GR8) is a wrong name for
      // the register dialog; anything else is neither register nor address.
      const bool registerShaped =
          target.size() == 3 && (target[0] == 'G' || target[0] == 'g') && (target[1] == 'R' || target[1] == 'r');
      Refused(registerShaped ? Refusal::InvalidValue : Refusal::InvalidName, target);
    }
  }

  // After a command that ran the program: where it stopped (unless the
  // command showed it) and the status line.
  void ShowStop(bool showRow = true) {
    if (showRow && ec_.DebuggingActive()) {
      int row = ec_.FindRowOfAddress(ec_.Cpu().GetPR());
      if (row >= 0) PrintRow(row);
      source_.ShowLineOfPr(ec_);
    }
    if (!ec_.StatusText().empty()) PrintLine(ec_.StatusText());
  }

  void PrintRow(int row) { PrintDisassemblyRow(ec_, row); }

  // From where the disassembly pane's jumps land: a label of the program by
  // the label rule, anything else by the address rule.
  void PrintDisassembly(const std::string& text, int count) {
    const JumpKind kind =
        Classify(text, ec_.Symbols()) == AddBy::Label ? JumpKind::DisassemblyLabel : JumpKind::DisassemblyAddress;
    const Entry e = ReadJumpEntry(kind, text, ec_.Symbols());
    if (Refused(e.refusal, text)) return;
    const int row = kind == JumpKind::DisassemblyLabel ? RowForLabelJump(ec_.Disassembly(), e.address)
                                                       : RowForAddressJump(ec_.Disassembly(), e.address);
    if (row < 0) {
      Refused(Refusal::CannotJump, text);
      return;
    }
    for (int i = 0; i < count && row + i < ec_.Disassembly().RowCount(); ++i) PrintRow(row + i);
  }

  void PrintBreaksHeader() { PrintLine(Cp932Text(u8"アドレス ラベル    有効／無効")); }
  void PrintBreakRow(const Breakpoint& b) {
    std::string label = b.label;
    if (label.size() < 9) label.resize(9, ' ');
    PrintLine(b.AddressText() + "     " + label + " " + b.StateText());
  }
  void PrintBreaks() {
    PrintBreaksHeader();
    for (const Breakpoint& b : ec_.Breakpoints().Rows()) PrintBreakRow(b);
  }
  void PrintBreakAt(Word address) {
    const BreakpointTable& t = ec_.Breakpoints();
    const int on = t.FindEnabledBreakpoint(address);
    const int index = on >= 0 ? on : t.FindDisabledBreakpoint(address);
    if (index < 0) return;
    PrintBreaksHeader();
    PrintBreakRow(t.Rows()[static_cast<std::size_t>(index)]);
  }

  // The header and every row, or the row at `only`.
  void PrintWatches(int only = -1) {
    PrintLine(Cp932Text(u8"アドレス ラベル    16進数 論理値 算術値 文字"));
    const std::vector<Watch>& rows = ec_.Watches().Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (only >= 0 && i != static_cast<std::size_t>(only)) continue;
      const Watch& w = rows[i];
      char buf[80];
      std::string label = w.label;
      if (label.size() < 9) label.resize(9, ' ');
      std::snprintf(buf, sizeof buf, "     %-4s   %6s %6s %s", w.HexText().c_str(), w.LogicalText().c_str(),
                    w.ArithmeticText().c_str(), w.CharacterText().c_str());
      PrintLine(w.AddressText() + "     " + label + buf);
    }
  }

  void PrintRegisters() {
    const CCpu& c = ec_.Cpu();
    std::array<Word, 8> gr;
    for (int i = 0; i < 8; ++i) gr[static_cast<std::size_t>(i)] = c.GetRegister(i);
    std::string dump = RegisterDumpText(gr, c.GetPR(), c.GetSP(), c.GetFR());
    dump.erase(dump.find('\r'), 1);
    PrintLine(dump);
    PrintLine(Cp932Text(u8"     16進数 2進数                論理値 算術値"));
    for (int i = 0; i < 8; ++i) {
      Word v = gr[static_cast<std::size_t>(i)];
      PrintLine("GR" + std::to_string(i) + "  " + Hex4(v) + "  " + RegisterBinaryText(v) + "  " +
                RegisterLogicalText(v) + " " + RegisterArithmeticText(v));
    }
    PrintLine("PR   " + Hex4(c.GetPR()));
    PrintLine("SP   " + Hex4(c.GetSP()));
    PrintLine("FR   " + FlagText(c.GetFR()));
  }

  void PrintMemory(Word from, int words) {
    int first = from / 8;
    int last = (static_cast<int>(from) + words - 1) / 8;
    for (int r = first; r <= last; ++r) PrintLine(MemoryDumpLine(ec_.Mem().data(), r % kMemoryDumpRows));
  }

  TerminalUi& ui_;
  ExecutionControl& ec_;
  SourceShow& source_;
  std::string program_;
  BuildOptions options_;
};

int DebugUsage(const std::string& why) {
  std::fprintf(stderr,
               "tolvane-cli debug: %s\nusage: tolvane-cli debug [--no-sym] [--no-regs] [--data-as-code] PROG.exe\n",
               why.c_str());
  return 2;
}

}  // namespace

int CmdDebug(const Args& args) {
  BuildOptions options;
  bool registers = true, dataAsCode = false;
  std::vector<std::string> programs;
  std::string error;
  auto option = [&](std::size_t& i, std::string& why) {
    const std::string& a = args[i];
    if (a == "--no-sym")
      options.symbolicDebug = 0;
    else if (a == "--sym")
      options.symbolicDebug = 1;
    else if (a == "--no-regs")
      registers = false;
    else if (a == "--data-as-code")
      dataAsCode = true;
    else
      return why = "unknown option " + a, false;
    return true;
  };
  if (!SplitArguments(args, programs, option, error)) return DebugUsage(error);
  if (programs.size() > 1) return DebugUsage("only one load module can be debugged");
  const std::string program = programs.empty() ? std::string() : programs.front();
  if (program.empty()) return DebugUsage("no load module given");

  TerminalUi ui;
  TerminalConsole console;
  ExecutionControl ec(ui, console);
  ui.ec = &ec;
  console.ec = &ec;
  ec.SetShowRegistersAfterRun(registers);
  ec.SetUnAsmDataAsCode(dataAsCode);
  SourceShow source;
  ui.source = &source;
  console.source = &source;
  TerminalDebugger session(ui, ec, source, program, options);
  if (!session.Start()) return 1;

  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);

  const bool prompt = isatty(0);
  for (;;) {
    if (prompt) {
      std::fputs("(debug) ", stdout);
      std::fflush(stdout);
    }
    // No command is longer than this; an endless line costs no memory.
    std::string line;
    if (!ReadBoundedLine(stdin, kCommandLineKeep, line)) break;
    interrupted = 0;
    running = 1;
    bool more = session.Execute(line);
    running = 0;
    // Nobody reads the answers any more: stop (main reports it).
    if (!more || std::ferror(stdout)) break;
  }
  return 0;
}

}  // namespace tolvane::cli
