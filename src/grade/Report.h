#pragma once
// The grading report in its formats, and the merge of shard reports.
#include <functional>
#include <string>
#include <vector>

#include "grade/Grade.h"

namespace tolvane::grade {

enum class Format { Text, Json, Junit, Csv, Markdown, Html, Gradescope, Classroom };
// The formats of one submission's result for a course platform.
inline bool OneSubmissionFormat(Format f) { return f == Format::Gradescope || f == Format::Classroom; }
bool ParseFormat(const std::string& name, Format& out);

struct TextStyle {
  bool colour = false;
};

// What a report says about its run as a whole, so that shards can be joined
// safely: which cases judged it, which shard it is and of how many
// submissions in all.
struct ReportInfo {
  std::string casesDigest;
  unsigned shardIndex = 1;  // 1-based
  unsigned shardCount = 1;
  std::size_t submissionCount = 0;  // every shard's together
  bool operator==(const ReportInfo&) const = default;
};

// A digest of everything in the cases that decides a verdict (names, input,
// expected output, limits, points, comparison), as hex digits.
std::string CasesDigest(const std::vector<Case>& cases);

std::string FormatReport(const std::vector<SubmissionResult>& results, Format format, TextStyle style = {},
                         const ReportInfo& info = {});

// The formats that can be written as the results come.
inline bool StreamedFormat(Format f) { return f == Format::Json || f == Format::Junit || f == Format::Csv; }

// A streamed format's report written as the results come (in order), so that
// its memory does not grow with the class; the text is FormatReport's.
class ReportWriter {
 public:
  ReportWriter(Format format, const ReportInfo& info, std::function<void(const std::string&)> write);
  void Add(const SubmissionResult& result);
  void Finish();

 private:
  Format format_;
  std::function<void(const std::string&)> write_;
  std::size_t count_ = 0, passed_ = 0, total_ = 0;
};

// Reads a JSON report back (the merge); false with `error` when it is not one
// (a missing or mistyped field included).
bool ParseJsonReport(const std::string& text, ReportInfo& info, std::vector<SubmissionResult>& out, std::string& error);

// One shard's report as read, with the name it was given by.
struct ShardReport {
  std::string name;
  ReportInfo info;
  std::vector<SubmissionResult> results;
};
// Joins shard reports into the whole, in the submissions' order. False with
// `error` (naming the report) when a shard is given twice, a shard is missing,
// the shards were judged against different cases or of different classes, or
// a submission is not where its shard puts it.
bool MergeReports(std::vector<ShardReport> shards, ReportInfo& info, std::vector<SubmissionResult>& out,
                  std::string& error);

// Text for a reader (a terminal, a spreadsheet, a page): control characters
// as \xNN and invisible ones (no-break space, zero-width space, direction
// overrides, the byte-order mark) as \uXXXX, so that what a program wrote can
// neither act on the teacher's terminal nor hide. Bytes that are not UTF-8 are
// shown as \xNN too.
std::string Shown(const std::string& text);
// An expected or got line: as Shown, and also a TAB as \t, a backslash doubled
// and each trailing space as \x20, so that lines that look alike show why they
// differ.
std::string ShownLine(const std::string& line);
// The columns a text takes on a terminal: East Asian wide characters two.
std::size_t DisplayWidth(const std::string& text);

// True when every case of every submission passed.
bool AllPassed(const std::vector<SubmissionResult>& results);

}  // namespace tolvane::grade
