#pragma once
// Judging a class's programs against test cases: each submission is built
// once in memory (nothing is written beside the student's files) and run per
// case on a machine of its own, with a step limit and a wall-time limit. Text
// here is UTF-8 (the cases and the report); the machine sees CP932.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/LineMap.h"
#include "link/LoadModule.h"

namespace tolvane::grade {

enum class Compare { Exact, Trailing, Whitespace };

struct Case {
  std::string name;
  std::optional<std::string> input;  // the .in file; none: the first IN gets end of input
  std::string expected;              // the .out file
  std::uint64_t maxSteps = 10'000'000;
  double timeoutSeconds = 10;
  double points = 1;
  Compare compare = Compare::Exact;
  bool inputExhausted = false;  // an IN after the last input line is a verdict of its own
  // Who sees the case's result on a course platform (the gradescope format):
  // "visible", "hidden", "after_due_date" or "after_published".
  std::string visibility = "visible";
};

// The case files of one folder; larger files are refused.
constexpr std::size_t kMaxCaseFileBytes = std::size_t{16} * 1024 * 1024;

// Reads DIR's NAME.in/NAME.out pairs and DIR/cases.toml (per case settings,
// over `defaults`), sorted by name. False with `error` (UTF-8) on a folder
// without cases, an .in without .out, an oversized file or a bad cases.toml.
bool LoadCases(const std::string& dir, const Case& defaults, std::vector<Case>& cases, std::string& error);
// The cases.toml part alone, for tests: applies `text` to `cases`.
bool ApplyCaseSettings(const std::string& text, const Case& defaults, std::vector<Case>& cases, std::string& error);

// Where two outputs first differ under a comparison mode (1-based line of the
// expected text); nullopt when they agree. A missing line is given as "".
struct Difference {
  std::size_t lineNumber = 0;
  std::string expected;
  std::string got;
  bool expectedMissing = false;  // the program wrote more lines than expected
  bool gotMissing = false;       // the program wrote fewer
};
std::optional<Difference> FirstDifference(const std::string& expected, const std::string& got, Compare mode);

// A built program, or the build's first messages.
struct Built {
  bool ok = false;
  std::vector<std::string> messages;  // UTF-8, with file names
  LoadModule module;
  // Which source line made which word of the module (absolute addresses;
  // each source's path is its file name), for verdicts that name a line.
  LineMap lines;
};
// A .cas file, a folder of them (the main program: the first entry of the
// folder's .mak, else the only START label nobody references) or a .mak.
Built BuildSubmission(const std::string& path);

enum class Verdict { Pass, Wrong, BuildError, Abnormal, StepLimit, TimeLimit, InputExhausted, OutputLimit };
const char* VerdictName(Verdict v);
std::optional<Verdict> VerdictFromName(const std::string& name);

struct CaseResult {
  std::string name;
  Verdict verdict = Verdict::Pass;
  std::uint64_t steps = 0;
  double seconds = 0;
  std::optional<Difference> difference;  // wrong
  std::string detail;                    // abnormal: what and PR
  double points = 0;                     // earned
  double maxPoints = 0;                  // possible: the case's points
  std::string visibility = "visible";    // the case's
};

struct SubmissionResult {
  std::size_t index = 0;  // position among all submissions given (shards keep it for the merge)
  std::string name;
  bool built = false;
  std::vector<std::string> messages;
  std::vector<CaseResult> cases;
  std::size_t passed = 0;
  double points = 0;
  double maxPoints = 0;
};

// The output a program may write before it is stopped: the expected output's
// size with generous room, and never less than 1 MiB.
std::size_t OutputCap(const Case& c);

// Runs one case. With `lines` a verdict that stops the program (abnormal,
// step-limit, time-limit, input-exhausted) names the source line of PR and
// of each CALL still running, besides PR.
CaseResult RunCase(const LoadModule& module, const Case& c, const LineMap* lines = nullptr);
SubmissionResult JudgeSubmission(const std::string& path, const std::vector<Case>& cases);

struct GradeOptions {
  unsigned jobs = 1;
  unsigned shardIndex = 1;  // 1-based
  unsigned shardCount = 1;
};
// Judges the shard's submissions with `jobs` threads; the results come in the
// order given. `progress` (may be empty) is called after each submission, from
// one thread at a time, with the number done and the number to do.
std::vector<SubmissionResult> Grade(const std::vector<std::string>& submissions, const std::vector<Case>& cases,
                                    const GradeOptions& options,
                                    const std::function<void(std::size_t, std::size_t)>& progress = {});
// The same, each result handed to `deliver` in the order given (from one
// thread at a time) and then dropped, so that memory does not grow with the
// class: only results that finished ahead of an earlier one wait.
void Grade(const std::vector<std::string>& submissions, const std::vector<Case>& cases, const GradeOptions& options,
           const std::function<void(SubmissionResult&&)>& deliver,
           const std::function<void(std::size_t, std::size_t)>& progress = {});

}  // namespace tolvane::grade
