#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "common/AtomicFile.h"
#include "common/BinaryIo.h"
#include "grade/Grade.h"
#include "grade/Report.h"

namespace tolvane::cli {

const char* const kTestHelp =
    "  test --cases DIR [--max-steps N] [--timeout S] [--jobs N] [--shard I/N] [--format F] [-o FILE] SUBMISSION...\n"
    "                   judge programs against the cases NAME.in/NAME.out in DIR (and\n"
    "                   DIR/cases.toml). A SUBMISSION is a .cas file, a folder of them or a\n"
    "                   .mak; each is built in memory and run once per case (--max-steps,\n"
    "                   default 10000000; --timeout seconds, default 10). --jobs: parallel\n"
    "                   submissions (default: the cores); --shard I/N: every N-th from the\n"
    "                   I-th. --format text|json|junit|csv|markdown, or for one submission\n"
    "                   gradescope|classroom (a platform's result file); -o FILE writes it there.\n"
    "  test --merge [--format F] [-o FILE] REPORT.json...\n"
    "                   join the JSON reports of shards into one. Every shard once, all\n"
    "                   judged against the same cases; otherwise a message and exit 2.\n"
    "                   Exit status: 0 every case passed, 1 some case failed.\n";

namespace {

int TestUsage(const std::string& why) {
  std::fprintf(stderr,
               "tolvane-cli test: %s\nusage: tolvane-cli test --cases DIR [options] SUBMISSION...\n"
               "       tolvane-cli test --merge [--format F] [-o FILE] REPORT.json...\n",
               why.c_str());
  return 2;
}

// A run that cannot go on (a report that cannot be merged): the message alone.
int TestFailure(const std::string& why) {
  std::fprintf(stderr, "tolvane-cli test: %s\n", why.c_str());
  return 2;
}

// Why the report file could not be written: what stands in its place, or the
// system's word for the failure that AtomicFile recorded (errno itself is
// stale by the time a class has been judged).
std::string OutputFailure(const std::string& path, const AtomicFile& file) {
  switch (file.Refused()) {
    case PathKind::Folder:
      return path + ": a folder is in the way; the report is not written";
    case PathKind::Device:
      return path + ": a device is in the way; the report is not written";
    case PathKind::Fifo:
      return path + ": a FIFO is in the way; the report is not written";
    case PathKind::Socket:
      return path + ": a socket is in the way; the report is not written";
    default:
      return path + ": cannot be written: " + std::strerror(file.Error() ? file.Error() : EIO);
  }
}

bool ParseCount(const std::string& s, unsigned long long& out) {
  if (s.empty() || s.size() > 18 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::stoull(s);
  return out > 0;
}

}  // namespace

int CmdTest(const Args& args) {
  grade::Case defaults;
  grade::GradeOptions options;
  options.jobs = std::max(1u, std::thread::hardware_concurrency());
  grade::Format format = grade::Format::Text;
  std::string casesDir, outPath;
  bool merge = false;
  std::vector<std::string> operands;
  std::string error;
  auto option = [&](std::size_t& i, std::string& why) {
    std::string name = args[i], value;
    const std::size_t eq = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && eq != std::string::npos;
    if (inlineValue) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (name == "--merge") return merge = true;
    auto takeValue = [&] {
      if (inlineValue) return true;
      if (i + 1 >= args.size()) return why = name + " needs a value", false;
      value = args[++i];
      return true;
    };
    unsigned long long n = 0;
    if (name == "--cases") return takeValue() && (casesDir = value, true);
    if (name == "-o") return takeValue() && (outPath = value, true);
    if (name == "--format") {
      if (!takeValue()) return false;
      if (!grade::ParseFormat(value, format))
        return why = "--format is text, json, junit, csv, markdown, html, gradescope or classroom", false;
      return true;
    }
    if (name == "--max-steps") {
      if (!takeValue()) return false;
      if (!ParseCount(value, n)) return why = "--max-steps needs a positive whole number", false;
      defaults.maxSteps = n;
      return true;
    }
    if (name == "--jobs") {
      if (!takeValue()) return false;
      if (!ParseCount(value, n) || n > 1024) return why = "--jobs needs a whole number from 1 to 1024", false;
      options.jobs = static_cast<unsigned>(n);
      return true;
    }
    if (name == "--timeout") {
      if (!takeValue()) return false;
      char* end = nullptr;
      errno = 0;
      const double s = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || errno != 0 || !(s > 0) || s > 86400)
        return why = "--timeout needs a number of seconds above 0", false;
      defaults.timeoutSeconds = s;
      return true;
    }
    if (name == "--shard") {
      if (!takeValue()) return false;
      const std::size_t slash = value.find('/');
      unsigned long long a = 0, b = 0;
      if (slash == std::string::npos || !ParseCount(value.substr(0, slash), a) ||
          !ParseCount(value.substr(slash + 1), b) || a > b || b > 100000)
        return why = "--shard needs I/N with 1 <= I <= N", false;
      options.shardIndex = static_cast<unsigned>(a);
      options.shardCount = static_cast<unsigned>(b);
      return true;
    }
    why = "unknown option " + args[i];
    return false;
  };
  if (!SplitArguments(args, operands, option, error)) return TestUsage(error);

  // The report's place is checked before any work: a folder or FIFO in the
  // way is named at once, not after the whole class has been judged.
  AtomicFile out;
  if (!outPath.empty() && !out.Open(outPath)) return TestFailure(OutputFailure(outPath, out));

  std::vector<grade::SubmissionResult> results;
  grade::ReportInfo info;
  if (merge) {
    if (!casesDir.empty()) return TestUsage("--merge joins reports; it takes no --cases");
    if (operands.empty()) return TestUsage("no report given");
    std::vector<grade::ShardReport> shards;
    for (const std::string& report : operands) {
      grade::ShardReport shard;
      shard.name = report;
      std::string text;
      if (ReadWholeFile(report, text, kMaxBinaryFileBytes) != FileReadResult::Ok)
        return TestFailure(report + ": cannot be read");
      if (!grade::ParseJsonReport(text, shard.info, shard.results, error)) return TestFailure(report + ": " += error);
      shards.push_back(std::move(shard));
    }
    if (!grade::MergeReports(std::move(shards), info, results, error)) return TestFailure(error);
  } else {
    if (casesDir.empty()) return TestUsage("no --cases DIR given");
    if (operands.empty()) return TestUsage("no submission given");
    std::vector<grade::Case> cases;
    if (!grade::LoadCases(casesDir, defaults, cases, error)) return TestUsage(error);
    info.casesDigest = grade::CasesDigest(cases);
    info.shardIndex = options.shardIndex;
    info.shardCount = options.shardCount;
    info.submissionCount = operands.size();
    // The bar only where somebody watches: a terminal on standard error.
    const bool bar = format == grade::Format::Text && isatty(STDERR_FILENO);
    auto progress = [bar](std::size_t done, std::size_t all) {
      if (!bar) return;
      const std::size_t width = 30, filled = all ? done * width / all : width;
      std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                   std::string(width - filled, ' ').c_str(), done, all);
      if (done == all) std::fputs("\r\x1b[K", stderr);
      std::fflush(stderr);
    };
    if (grade::StreamedFormat(format)) {
      // Written as the results come, so that memory does not grow with the class.
      bool ok = true;
      auto write = [&](const std::string& piece) {
        if (!ok) return;
        ok = outPath.empty() ? std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size() : out.Write(piece);
      };
      grade::ReportWriter writer(format, info, write);
      bool allPassed = true;
      grade::Grade(
          operands, cases, options,
          [&](grade::SubmissionResult&& r) {
            allPassed = allPassed && r.passed == r.cases.size();
            writer.Add(r);
          },
          progress);
      writer.Finish();
      if (outPath.empty() && !ok) return TestFailure("standard output: cannot be written");
      if (!outPath.empty() && (!ok || !out.Commit())) return TestFailure(OutputFailure(outPath, out));
      return allPassed ? 0 : 1;
    }
    results = grade::Grade(operands, cases, options, progress);
  }

  // A platform's result is about one submission (one student's run).
  if (grade::OneSubmissionFormat(format) && results.size() != 1)
    return TestUsage("--format gradescope and classroom report one submission; " + std::to_string(results.size()) +
                     " were judged");
  grade::TextStyle style;
  style.colour = outPath.empty() && isatty(STDOUT_FILENO);
  const std::string report = grade::FormatReport(results, format, style, info);
  if (outPath.empty()) {
    std::fwrite(report.data(), 1, report.size(), stdout);
  } else {
    if (!out.Write(report) || !out.Commit()) return TestFailure(OutputFailure(outPath, out));
  }
  return grade::AllPassed(results) ? 0 : 1;
}

}  // namespace tolvane::cli
