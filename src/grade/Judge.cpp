#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "asm/AsmCore.h"
#include "asm/Assembler.h"
#include "build/BuildPlan.h"
#include "build/Builder.h"
#include "build/ProjectFile.h"
#include "common/BinaryIo.h"
#include "common/Cp932.h"
#include "grade/Grade.h"
#include "link/Linker.h"
#include "machine/CallChain.h"
#include "machine/Cpu.h"
#include "machine/Loader.h"
#include "machine/StdioRun.h"
#include "machine/Svc.h"

namespace tolvane::grade {

namespace fs = std::filesystem;

namespace {

// A student's source larger than this is not a program anyone wrote by hand.
constexpr std::size_t kMaxSourceBytes = std::size_t{4} * 1024 * 1024;
constexpr std::size_t kShownMessages = 10;

// The build's lines, kept as "FILE: line" for the errors only: the progress
// lines ("Assemble[...]", "0 Errors") say nothing a teacher needs.
class MessageCollector : public MessageSink {
 public:
  void AppendMessageLine(const std::string&) override {}  // the tools send records
  void AppendDiagnostic(const Diagnostic& d) override {
    if (d.severity != Severity::Error) {
      // "Assemble[...]" and "LINK[...]" name the file of the errors after them.
      if (!d.file.empty()) file_ = d.file;
      return;
    }
    if (lines.size() >= kShownMessages) return;
    // An error about a line becomes "FILE:3: text"; one without a line (the
    // linker's) keeps its text after the file.
    std::string where = d.file.empty() ? file_ : d.file;
    if (d.line > 0) where += ":" + std::to_string(d.line);
    lines.push_back(where + ": " + Cp932ToUtf8(d.message));
  }
  void ClearMessages() override {}
  std::vector<std::string> lines;

 private:
  std::string file_;
};

Built Fail(std::string message) {
  Built b;
  b.messages.push_back(std::move(message));
  return b;
}

bool IsSource(const fs::path& p) { return build::IsSourceName(p.filename().string()); }

bool IsProject(const fs::path& p) { return build::IsProjectName(p.filename().string()); }

// Why a file of a submission whose folder is `root` (canonical) may not be
// read; nullopt when it may. Only regular files are read, and a link only when
// it leads to one inside the folder: a link to a classmate's program or to the
// hidden cases would otherwise be judged or echoed as the student's own. The
// refusal names the file and never shows anything of it.
std::optional<std::string> Refusal(const fs::path& file, const fs::path& root) {
  std::error_code ec;
  const std::string shown = file.filename().string();
  const fs::file_status own = fs::symlink_status(file, ec);
  if (ec) return shown + ": cannot be read";
  auto kind = [&](fs::file_type type) -> std::optional<std::string> {
    switch (type) {
      case fs::file_type::regular:
        return std::nullopt;
      case fs::file_type::fifo:
        return shown + ": a FIFO, not a regular file; refused";
      case fs::file_type::block:
      case fs::file_type::character:
        return shown + ": a device, not a regular file; refused";
      case fs::file_type::socket:
        return shown + ": a socket, not a regular file; refused";
      case fs::file_type::directory:
        return shown + ": a folder, not a regular file; refused";
      default:
        return shown + ": not a regular file; refused";
    }
  };
  if (own.type() != fs::file_type::symlink) return kind(own.type());
  const fs::path target = fs::canonical(file, ec);
  if (ec) return shown + ": a link that leads nowhere; refused";
  const auto [r, t] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
  if (r != root.end()) return shown + ": a link that leaves the submission's folder; refused";
  return kind(fs::status(target, ec).type());
}

}  // namespace

Built BuildSubmission(const std::string& path) {
  std::error_code ec;
  const fs::path p(path);
  build::BuildPlan plan;
  std::optional<build::Notice> refused;
  fs::path root;  // the submission's folder (canonical) when it is one, or a .mak's
  if (fs::is_directory(p, ec)) {
    root = fs::canonical(p, ec);
    if (ec) return Fail(path + ": cannot be read");
    // Every file the plan may read is looked at before the plan reads the project file.
    for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path& f = it->path();
      if (!IsSource(f) && !IsProject(f)) continue;
      if (fs::symlink_status(f, ec).type() == fs::file_type::directory) continue;
      if (auto why = Refusal(f, root)) return Fail(*why);
    }
    if (ec) return Fail(path + ": cannot be read");
    refused = build::PlanFolder(path, BuildOptions{}, plan);
  } else if (!fs::is_regular_file(p, ec)) {
    return Fail(path + (fs::exists(p, ec) ? ": not a regular file or a folder" : ": no such file or folder"));
  } else if (IsSource(p)) {
    // The teacher named this file: it may be a link.
    plan.files.push_back(path);
  } else {
    if (!IsProject(p)) return Fail(path + ": not a .cas file, a folder or a .mak");
    root = fs::canonical(fs::absolute(p, ec).parent_path(), ec);
    if (ec) return Fail(path + ": cannot be read");
    if (auto why = Refusal(p, root)) return Fail(*why);
    refused = build::PlanProject(path, BuildOptions{}, plan);
  }
  if (refused) return Fail(Cp932ToUtf8(refused->text));
  if (!root.empty())
    for (const std::string& f : plan.files) {
      if (!fs::exists(fs::symlink_status(f, ec))) continue;  // reported as unreadable below
      if (auto why = Refusal(f, root)) return Fail(*why);
    }
  const std::vector<std::string>& files = plan.files;

  MessageCollector sink;
  std::vector<ObjectFile> objects(files.size());
  std::vector<LineMapSource> lines(files.size());  // each object's, relative addresses
  bool failed = false;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string shown = fs::path(files[i]).filename().string();
    lines[i].path = shown;
    if (!IsSource(files[i])) {
      // A ready object file in a project is read, never rewritten.
      if (!ReadObjectFile(files[i], objects[i], sink)) failed = true;
      continue;
    }
    std::string source;
    switch (ReadWholeFile(files[i], source, kMaxSourceBytes)) {
      case FileReadResult::Ok:
        break;
      case FileReadResult::TooLarge:
        return Fail(shown + ": larger than 4 MiB, not a source");
      default:
        return Fail(shown + ": cannot be read");
    }
    // The assembler itself rather than AssembleToObject: its line runs say
    // which line made which word, for the link's messages and the verdicts.
    try {
      auto assembler = std::make_unique<Assembler>(sink);
      if (!assembler->AssembleInMemory(shown, source, objects[i])) failed = true;
      lines[i].runs = std::move(assembler->lineRuns);
    } catch (const std::bad_alloc&) {
      return Fail(shown + ": out of memory");
    }
  }
  if (!failed && plan.chooseMain) {
    std::string why;
    const int main = build::ChooseMainProgram(objects, why);
    if (main < 0) return Fail(path + ": " + why);
    std::rotate(objects.begin(), objects.begin() + main, objects.begin() + main + 1);
    std::rotate(lines.begin(), lines.begin() + main, lines.begin() + main + 1);
  }
  Built built;
  if (!failed) {
    const BuildOptions options;
    // The linker places the objects one after another from the origin.
    std::uint32_t base = options.origin;
    for (std::size_t i = 0; i < objects.size(); ++i) {
      LineMapSource placed{lines[i].path, {}, {}};
      for (LineRun run : lines[i].runs) {
        run.address = static_cast<Word>(run.address + base);
        placed.runs.push_back(run);
      }
      if (!placed.runs.empty()) built.lines.sources.push_back(std::move(placed));
      base += static_cast<std::uint32_t>(objects[i].code.size());
    }
    built.ok = LinkObjects(std::move(objects), lines, fs::path(files.front()).filename().string(), options, sink,
                           built.module);
  }
  built.messages = std::move(sink.lines);
  if (!built.ok && built.messages.empty()) built.messages.push_back(path + ": the build failed");
  return built;
}

const char* VerdictName(Verdict v) {
  switch (v) {
    case Verdict::Pass:
      return "pass";
    case Verdict::Wrong:
      return "wrong";
    case Verdict::BuildError:
      return "build-error";
    case Verdict::Abnormal:
      return "abnormal";
    case Verdict::StepLimit:
      return "step-limit";
    case Verdict::TimeLimit:
      return "time-limit";
    case Verdict::InputExhausted:
      return "input-exhausted";
    case Verdict::OutputLimit:
      return "output-limit";
  }
  return "?";
}

std::optional<Verdict> VerdictFromName(const std::string& name) {
  for (Verdict v : {Verdict::Pass, Verdict::Wrong, Verdict::BuildError, Verdict::Abnormal, Verdict::StepLimit,
                    Verdict::TimeLimit, Verdict::InputExhausted, Verdict::OutputLimit})
    if (name == VerdictName(v)) return v;
  return std::nullopt;
}

std::size_t OutputCap(const Case& c) { return std::max<std::size_t>(std::size_t{1} << 20, 4 * c.expected.size()); }

namespace {

// The case's input and the program's output in memory. Running out of input,
// writing past the cap and the clock stop the run through Turn().
class CaseConsole : public ConsolePort, public RunTurnPort {
 public:
  CaseConsole(const Case& c, std::chrono::steady_clock::time_point deadline)
      : case_(c), cap_(OutputCap(c)), deadline_(deadline) {}
  Bytes ConsoleReadLine() override {
    const std::string& in = case_.input ? *case_.input : std::string();
    if (pos_ >= in.size()) {
      exhausted = case_.inputExhausted;
      return "\x1A";
    }
    std::size_t e = in.find('\n', pos_);
    if (e == std::string::npos) e = in.size();
    std::string line = in.substr(pos_, std::min(e - pos_, kInputLineKeep));
    pos_ = e + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return InputLineToCp932(line);
  }
  void ConsoleWrite(const Bytes& text) override {
    if (overflow) return;
    output += Cp932ToUtf8(text);
    output.push_back('\n');
    if (output.size() > cap_) overflow = true;
  }
  void ConsoleMessage(const Bytes&) override {}
  bool Turn() override {
    if (exhausted || overflow) return false;
    if (std::chrono::steady_clock::now() >= deadline_) timedOut = true;
    return !timedOut;
  }

  std::string output;
  bool exhausted = false, overflow = false, timedOut = false;

 private:
  const Case& case_;
  std::size_t cap_;
  std::chrono::steady_clock::time_point deadline_;
  std::size_t pos_ = 0;
};

// One machine per thread, reused for every case it runs.
struct Machine {
  CCpu cpu;
  Memory memory;
};

}  // namespace

namespace {

// The source line of `address`, as "FILE:LINE"; empty without one.
std::string LineOf(const LineMap& lines, Word address, bool* code = nullptr) {
  for (const LineMapSource& source : lines.sources) {
    auto it = std::upper_bound(source.runs.begin(), source.runs.end(), address,
                               [](Word a, const LineRun& r) { return a < r.address; });
    if (it == source.runs.begin()) continue;
    --it;
    if (address - it->address < it->count) {
      if (code) *code = it->code;
      return source.path + ":" + std::to_string(it->line);
    }
  }
  return {};
}

// " at FILE:LINE, called from FILE:LINE, ..." for where the program stopped:
// PR's line, then the CALL of each routine still running (innermost first),
// read from the stack as the debugger reads it.
std::string Where(const LineMap& lines, const LoadModule& module, const CCpu& cpu, const Memory& memory) {
  const std::string here = LineOf(lines, cpu.GetPR());
  if (here.empty()) return {};
  std::string out = " at " + here;
  const StackLayout layout{module.start, module.initialSp, module.stackLimit};
  auto isCode = [&](Word a) {
    bool code = false;
    return !LineOf(lines, a, &code).empty() && code;
  };
  const std::vector<CallFrame> frames = ReadCallChain(memory.data(), cpu.GetPR(), cpu.GetSP(), layout, isCode, 16);
  for (std::size_t k = 1; k < frames.size(); ++k) {
    const std::string call = LineOf(lines, frames[k].pc);
    if (!call.empty()) out += ", called from " + call;
  }
  return out;
}

}  // namespace

CaseResult RunCase(const LoadModule& module, const Case& c, const LineMap* lines) {
  thread_local std::unique_ptr<Machine> machine;
  if (!machine) machine = std::make_unique<Machine>();
  CaseResult r;
  r.name = c.name;
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                    std::chrono::duration<double>(c.timeoutSeconds));
  machine->memory.fill(0);
  machine->cpu = CCpu{};
  CaseConsole console(c, deadline);
  if (!PlaceModule(module, machine->cpu, machine->memory)) {
    r.verdict = Verdict::Abnormal;
    r.detail = Cp932ToUtf8(StackTooSmallText());
    return r;
  }
  const RunResult run = RunToEnd(machine->cpu, machine->memory, console, c.maxSteps, &console, 1u << 14);
  r.steps = run.steps;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char prText[32];
  std::snprintf(prText, sizeof prText, "PR=%04XH", machine->cpu.GetPR());
  const std::string pr =
      prText + (lines && run.stop != StopReason::ProgramEnd ? Where(*lines, module, machine->cpu, machine->memory)
                                                            : std::string());
  switch (run.stop) {
    case StopReason::ProgramEnd:
      if (auto d = FirstDifference(c.expected, console.output, c.compare)) {
        r.verdict = Verdict::Wrong;
        r.difference = std::move(d);
      } else {
        r.verdict = Verdict::Pass;
        r.points = c.points;
      }
      break;
    case StopReason::StackOverflow:
      r.verdict = Verdict::Abnormal;
      r.detail = "stack overflow, " + pr;
      break;
    case StopReason::UndefinedWord:
      r.verdict = Verdict::Abnormal;
      r.detail = "undefined instruction, " + pr;
      break;
    case StopReason::StepLimit:
      r.verdict = Verdict::StepLimit;
      r.detail = std::to_string(c.maxSteps) + " steps, " + pr;
      break;
    default:  // the turn callback stopped the run (EndedByUser); a plain run has no other stops
      r.verdict = console.overflow    ? Verdict::OutputLimit
                  : console.exhausted ? Verdict::InputExhausted
                                      : Verdict::TimeLimit;
      if (console.overflow) r.detail = "more than " + std::to_string(OutputCap(c)) + " bytes of output";
      if (console.exhausted) r.detail = "IN after the last input line, " + pr;
      if (r.verdict == Verdict::TimeLimit) r.detail = std::to_string(c.timeoutSeconds) + " s, " + pr;
      break;
  }
  return r;
}

SubmissionResult JudgeSubmission(const std::string& path, const std::vector<Case>& cases) {
  SubmissionResult s;
  s.name = path;
  Built built = BuildSubmission(path);
  s.built = built.ok;
  s.messages = std::move(built.messages);
  for (const Case& c : cases) {
    s.maxPoints += c.points;
    CaseResult r;
    if (built.ok) {
      r = RunCase(built.module, c, &built.lines);
    } else {
      r.name = c.name;
      r.verdict = Verdict::BuildError;
    }
    r.maxPoints = c.points;
    r.visibility = c.visibility;
    if (r.verdict == Verdict::Pass) ++s.passed;
    s.points += r.points;
    s.cases.push_back(std::move(r));
  }
  return s;
}

void Grade(const std::vector<std::string>& submissions, const std::vector<Case>& cases, const GradeOptions& options,
           const std::function<void(SubmissionResult&&)>& deliver,
           const std::function<void(std::size_t, std::size_t)>& progress) {
  std::vector<std::size_t> mine;
  const unsigned count = std::max(1u, options.shardCount);
  for (std::size_t i = options.shardIndex - 1; i < submissions.size(); i += count) mine.push_back(i);
  std::atomic<std::size_t> next{0};
  std::mutex lock;
  std::size_t done = 0, delivered = 0;
  std::map<std::size_t, SubmissionResult> waiting;  // finished ahead of an earlier one
  auto work = [&] {
    for (std::size_t k; (k = next++) < mine.size();) {
      SubmissionResult r = JudgeSubmission(submissions[mine[k]], cases);
      r.index = mine[k];
      std::lock_guard<std::mutex> guard(lock);
      waiting.emplace(k, std::move(r));
      for (auto it = waiting.begin(); it != waiting.end() && it->first == delivered; it = waiting.erase(it)) {
        deliver(std::move(it->second));
        ++delivered;
      }
      ++done;
      if (progress) progress(done, mine.size());
    }
  };
  const unsigned jobs = std::max(1u, std::min<unsigned>(options.jobs, static_cast<unsigned>(mine.size())));
  std::vector<std::thread> threads;
  for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
}

std::vector<SubmissionResult> Grade(const std::vector<std::string>& submissions, const std::vector<Case>& cases,
                                    const GradeOptions& options,
                                    const std::function<void(std::size_t, std::size_t)>& progress) {
  std::vector<SubmissionResult> results;
  Grade(
      submissions, cases, options, [&](SubmissionResult&& r) { results.push_back(std::move(r)); }, progress);
  return results;
}

}  // namespace tolvane::grade
