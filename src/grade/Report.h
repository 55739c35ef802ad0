#pragma once
// The grading report in its formats, and the merge of shard reports.
#include <string>
#include <vector>

#include "grade/Grade.h"

namespace tolvane::grade {

enum class Format { Text, Json, Junit, Csv, Markdown };
bool ParseFormat(const std::string& name, Format& out);

struct TextStyle {
  bool colour = false;
};

std::string FormatReport(const std::vector<SubmissionResult>& results, Format format, TextStyle style = {});

// Reads a JSON report back (the merge); false with `error` when it is not one.
bool ParseJsonReport(const std::string& text, std::vector<SubmissionResult>& out, std::string& error);

// True when every case of every submission passed.
bool AllPassed(const std::vector<SubmissionResult>& results);

}  // namespace tolvane::grade
