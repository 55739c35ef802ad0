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
