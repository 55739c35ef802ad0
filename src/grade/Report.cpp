#include "grade/Report.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>

namespace tolvane::grade {

// Keys in the order the report documents them, not sorted.
using json = nlohmann::ordered_json;

bool ParseFormat(const std::string& name, Format& out) {
  static const std::pair<const char*, Format> kFormats[] = {{"text", Format::Text},
                                                            {"json", Format::Json},
                                                            {"junit", Format::Junit},
                                                            {"csv", Format::Csv},
                                                            {"markdown", Format::Markdown},
                                                            {"html", Format::Html},
                                                            {"gradescope", Format::Gradescope},
                                                            {"classroom", Format::Classroom}};
  for (const auto& [n, f] : kFormats)
    if (name == n) return out = f, true;
  return false;
}

bool AllPassed(const std::vector<SubmissionResult>& results) {
  for (const SubmissionResult& s : results)
    if (s.passed != s.cases.size()) return false;
  return true;
}

namespace {

// One UTF-8 character at s[i]: its length (0 when the bytes are not one) and
// its code point.
std::size_t Decode(const std::string& s, std::size_t i, char32_t& cp) {
  const auto b = static_cast<unsigned char>(s[i]);
  const std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  return n;
}

// Characters a terminal acts on or that show as nothing: C1 controls, the
// no-break and zero-width spaces, the direction marks and overrides, the
// line separators and the byte-order mark.
bool Invisible(char32_t cp) {
  return (cp >= 0x80 && cp <= 0xA0) || cp == 0xAD || (cp >= 0x200B && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202F) ||
         (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF;
}

void Hex(std::string& out, const char* form, unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, form, v);
  out += buf;
}

std::string Escape(const std::string& s, bool line) {
  std::string out;
  std::size_t end = s.size();
  if (line)
    while (end > 0 && s[end - 1] == ' ') --end;  // trailing spaces are shown
  for (std::size_t i = 0; i < s.size();) {
    if (i >= end) {
      out += "\\x20";
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t n = Decode(s, i, cp);
    if (n == 0) {
      Hex(out, "\\x%02X", static_cast<unsigned char>(s[i]));
      ++i;
      continue;
    }
    if (line && cp == '\\')
      out += "\\\\";
    else if (line && cp == '\t')
      out += "\\t";
    else if (cp < 0x20 || cp == 0x7F)
      Hex(out, "\\x%02X", static_cast<unsigned>(cp));
    else if (Invisible(cp))
      Hex(out, "\\u%04X", static_cast<unsigned>(cp));
    else
      out.append(s, i, n);
    i += n;
  }
  return out;
}

}  // namespace

std::string Shown(const std::string& text) { return Escape(text, false); }
std::string ShownLine(const std::string& line) { return Escape(line, true); }

std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t n = Decode(text, i, cp);
    if (n == 0) {
      ++width;
      ++i;
      continue;
    }
    i += n;
    if ((cp >= 0x300 && cp <= 0x36F) || (cp >= 0x3099 && cp <= 0x309A)) continue;  // combining marks
    const bool wide =
        (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) || (cp >= 0x3041 && cp <= 0x33FF) ||
        (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
        (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
        (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
        (cp >= 0x20000 && cp <= 0x3FFFD);
    width += wide ? 2 : 1;
  }
  return width;
}

namespace {

// A figure as a plain decimal (never "1e-05", which a JUnit schema and many
// spreadsheets refuse): at most six decimals, trailing zeros dropped.
std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  std::string out = buf;
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  return out == "-0" ? "0" : out;
}

// What a failed case says in one line.
std::string Explain(const CaseResult& c) {
  if (c.difference) {
    const Difference& d = *c.difference;
    return "line " + std::to_string(d.lineNumber) + ": expected " +
           (d.expectedMissing ? std::string("no more output") : "\"" + ShownLine(d.expected) + "\"") + ", got " +
           (d.gotMissing ? std::string("no more output") : "\"" + ShownLine(d.got) + "\"");
  }
  return Shown(c.detail);
}

json SubmissionJson(const SubmissionResult& s) {
  {
    json cases = json::array();
    for (const CaseResult& c : s.cases) {
      json j = {{"name", c.name},           {"verdict", VerdictName(c.verdict)},
                {"steps", c.steps},         {"seconds", c.seconds},
                {"points", c.points},       {"max_points", c.maxPoints},
                {"expected_line", nullptr}, {"got_line", nullptr},
                {"line_number", nullptr}};
      if (c.difference) {
        if (!c.difference->expectedMissing) j["expected_line"] = c.difference->expected;
        if (!c.difference->gotMissing) j["got_line"] = c.difference->got;
        j["line_number"] = c.difference->lineNumber;
      }
      if (!c.detail.empty()) j["detail"] = c.detail;
      cases.push_back(std::move(j));
    }
    return {{"index", s.index},
            {"name", s.name},
            {"build", s.built ? "ok" : "error"},
            {"messages", s.messages},
            {"cases", std::move(cases)},
            {"passed", s.passed},
            {"total", s.cases.size()},
            {"points", s.points},
            {"max_points", s.maxPoints}};
  }
}

// The JSON report in one piece (a merge, or the tests).
std::string JsonReport(const std::vector<SubmissionResult>& results, const ReportInfo& info) {
  std::string out;
  ReportWriter writer(Format::Json, info, [&](const std::string& piece) { out += piece; });
  for (const SubmissionResult& s : results) writer.Add(s);
  writer.Finish();
  return out;
}

// Bytes that are not UTF-8 (a file name from another system) become U+FFFD,
// so that the XML stays well-formed.
std::string ValidUtf8(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    bool ok = n != 0 && i + n <= s.size();
    for (std::size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (ok) {
      out.append(s, i, n);
      i += n;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

std::string Xml(const std::string& raw) {
  const std::string s = ValidUtf8(raw);
  std::string out;
  for (char ch : s) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0 at all.
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\n' && ch != '\t')
          out += "?";
        else
          out.push_back(ch);
    }
  }
  return out;
}

// A CSV cell: a leading = + - @ would make a spreadsheet run the cell as a
// formula, so such a cell starts with ' instead.
std::string Csv(const std::string& raw) {
  std::string s = Shown(raw);
  if (!s.empty() && std::string("=+-@").find(s.front()) != std::string::npos) s.insert(0, 1, '\'');
  if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
  std::string out = "\"";
  for (char ch : s) {
    if (ch == '"') out.push_back('"');
    out.push_back(ch);
  }
  return out + "\"";
}

// A Markdown table cell: no HTML (< > & as entities), no column break, no emphasis.
std::string Markdown(const std::string& raw) {
  std::string out;
  for (char ch : Shown(raw)) {
    if (ch == '<')
      out += "&lt;";
    else if (ch == '>')
      out += "&gt;";
    else if (ch == '&')
      out += "&amp;";
    else if (ch == '|' || ch == '\\' || ch == '`' || ch == '*' || ch == '_' || ch == '[' || ch == ']')
      out += std::string("\\") + ch;
    else
      out.push_back(ch);
  }
  return out;
}

std::string Property(const char* name, double value, const char* indent) {
  return std::string(indent) + "<property name=\"" + name + "\" value=\"" + Number(value) + "\"/>\n";
}

const char kJunitHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n";
const char kJunitTail[] = "</testsuites>\n";

// One submission's <testsuite>.
std::string JunitSuite(const SubmissionResult& s) {
  std::string out;
  double seconds = 0;
  for (const CaseResult& c : s.cases) seconds += c.seconds;
  const std::size_t failed = s.built ? s.cases.size() - s.passed : 0;
  const std::size_t errors = s.built ? 0 : s.cases.size();
  out += "  <testsuite name=\"" + Xml(s.name) + "\" tests=\"" + std::to_string(s.cases.size()) + "\" failures=\"" +
         std::to_string(failed) + "\" errors=\"" + std::to_string(errors) + "\" time=\"" + Number(seconds) + "\">\n";
  out += "    <properties>\n" + Property("points", s.points, "      ") + Property("max_points", s.maxPoints, "      ") +
         "    </properties>\n";
  for (const CaseResult& c : s.cases) {
    out += "    <testcase name=\"" + Xml(c.name) + "\" classname=\"" + Xml(s.name) + "\" time=\"" + Number(c.seconds) +
           "\">\n";
    out += "      <properties>\n" + Property("points", c.points, "        ") +
           Property("max_points", c.maxPoints, "        ") + "      </properties>\n";
    if (c.verdict == Verdict::Pass) {
      // nothing more: a passed case
    } else if (c.verdict == Verdict::BuildError) {
      std::string text;
      for (const std::string& m : s.messages) text += Shown(m) + "\n";
      out += "      <error type=\"build-error\" message=\"the program did not build\">" + Xml(text) + "</error>\n";
    } else {
      out +=
          "      <failure type=\"" + std::string(VerdictName(c.verdict)) + "\" message=\"" + Xml(Explain(c)) + "\"/>\n";
    }
    out += "    </testcase>\n";
  }
  out += "  </testsuite>\n";
  return out;
}

const char kCsvHead[] = "name,passed,total,points,max_points,verdicts\n";

std::string CsvRow(const SubmissionResult& s) {
  std::string verdicts;
  for (const CaseResult& c : s.cases)
    verdicts += (verdicts.empty() ? "" : " ") + Shown(c.name) + "=" + VerdictName(c.verdict);
  return Csv(s.name) + "," + std::to_string(s.passed) + "," + std::to_string(s.cases.size()) + "," + Number(s.points) +
         "," + Number(s.maxPoints) + "," + Csv(verdicts) + "\n";
}

std::string MarkdownReport(const std::vector<SubmissionResult>& results) {
  std::string out = "| submission |";
  std::string rule = "|---|";
  if (!results.empty())
    for (const CaseResult& c : results.front().cases) {
      out += " " + Markdown(c.name) + " |";
      rule += "---|";
    }
  out += " passed | points |\n" + rule + "---:|---:|\n";
  for (const SubmissionResult& s : results) {
    out += "| " + Markdown(s.name) + " |";
    for (const CaseResult& c : s.cases) out += std::string(" ") + VerdictName(c.verdict) + " |";
    out += " " + std::to_string(s.passed) + "/" + std::to_string(s.cases.size()) + " | " + Number(s.points) + "/" +
           Number(s.maxPoints) + " |\n";
  }
  return out;
}

// A failed case's detail for a platform's page: the verdict and what it
// says (the first differing line, the source line), or the build's messages.
std::string PlatformOutput(const SubmissionResult& s, const CaseResult& c) {
  if (c.verdict == Verdict::Pass) return "";
  if (c.verdict == Verdict::BuildError) {
    std::string text = "build-error";
    for (const std::string& m : s.messages) text += "\n" + Shown(m);
    return text;
  }
  return std::string(VerdictName(c.verdict)) + ": " + Explain(c);
}

std::string Dump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n"; }

// A Gradescope autograder's results.json for one submission.
std::string GradescopeReport(const SubmissionResult& s) {
  json tests = json::array();
  double seconds = 0;
  for (std::size_t k = 0; k < s.cases.size(); ++k) {
    const CaseResult& c = s.cases[k];
    seconds += c.seconds;
    tests.push_back({{"name", c.name},
                     {"number", std::to_string(k + 1)},
                     {"score", c.points},
                     {"max_score", c.maxPoints},
                     {"status", c.verdict == Verdict::Pass ? "passed" : "failed"},
                     {"output", PlatformOutput(s, c)},
                     {"visibility", c.visibility}});
  }
  const std::string summary = std::to_string(s.passed) + " of " + std::to_string(s.cases.size()) + " cases passed" +
                              (s.built ? "" : "; the program did not build");
  return Dump({{"score", s.points},
               {"execution_time", std::stod(Number(seconds))},
               {"output", summary},
               {"tests", std::move(tests)}});
}

// GitHub Classroom's autograding result for one submission.
std::string ClassroomReport(const SubmissionResult& s) {
  json tests = json::array();
  for (const CaseResult& c : s.cases)
    tests.push_back({{"name", c.name},
                     {"status", c.verdict == Verdict::Pass         ? "pass"
                                : c.verdict == Verdict::BuildError ? "error"
                                                                   : "fail"},
                     {"message", PlatformOutput(s, c)},
                     {"score", c.points}});
  return Dump({{"version", 1},
               {"status", !s.built                     ? "error"
                          : s.passed == s.cases.size() ? "pass"
                                                       : "fail"},
               {"max_score", s.maxPoints},
               {"tests", std::move(tests)}});
}

// Text in a page: shown (no control characters), then < > & " as entities,
// as in XML.
std::string Html(const std::string& raw) { return Xml(Shown(raw)); }

// An expected or got line with the part from the first difference marked.
std::string MarkedLine(const std::string& line, const std::string& other, bool missing) {
  if (missing) return "<i>no more output</i>";
  const std::string a = ShownLine(line), b = ShownLine(other);
  std::size_t same = 0;
  while (same < a.size() && same < b.size() && a[same] == b[same]) ++same;
  // Never cut a UTF-8 character in two.
  while (same > 0 && same < a.size() && (static_cast<unsigned char>(a[same]) & 0xC0) == 0x80) --same;
  const std::string head = Html(a.substr(0, same)), tail = Html(a.substr(same));
  return head + (tail.empty() ? "" : "<span class=\"diff\">" + tail + "</span>");
}

// One page a teacher opens: the summary, a histogram of scores, the
// submissions x cases matrix in colour, and each failure in detail. Nothing
// outside the page is loaded.
std::string HtmlReport(const std::vector<SubmissionResult>& results) {
  std::size_t passed = 0, total = 0, full = 0;
  double points = 0, maxPoints = 0;
  std::size_t buckets[10] = {};
  for (const SubmissionResult& s : results) {
    passed += s.passed;
    total += s.cases.size();
    full += s.passed == s.cases.size() ? 1 : 0;
    points += s.points;
    maxPoints += s.maxPoints;
    const double share = s.maxPoints > 0 ? s.points / s.maxPoints : 0;
    ++buckets[std::min<std::size_t>(9, static_cast<std::size_t>(share * 10))];
  }
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Grading report</title>\n<style>\n"
      "body{font-family:sans-serif;margin:1em 2em}table{border-collapse:collapse}td,th{border:1px solid #999;"
      "padding:2px 6px}td.pass{background:#b7e1b0}td.wrong{background:#f4b6b0}td.build-error{background:#f6d58e}"
      "td.abnormal,td.step-limit,td.time-limit,td.input-exhausted,td.output-limit{background:#e3b5e8}"
      ".bar{background:#4a7bd0;height:1em}pre,code{font-family:monospace}.diff{background:#ffe45c}"
      "\n</style>\n</head>\n<body>\n<h1>Grading report</h1>\n";
  out += "<p id=\"summary\">" + std::to_string(full) + " of " + std::to_string(results.size()) +
         " submissions passed every case; " + std::to_string(passed) + " of " + std::to_string(total) +
         " cases passed; " + Number(points) + " of " + Number(maxPoints) + " points.</p>\n";
  out += "<h2>Scores</h2>\n<table id=\"histogram\">\n<tr><th>score</th><th>submissions</th><th></th></tr>\n";
  std::size_t most = 1;
  for (std::size_t n : buckets) most = std::max(most, n);
  for (int b = 0; b < 10; ++b)
    out += "<tr><td>" + std::to_string(b * 10) + (b == 9 ? "-100%" : "-" + std::to_string(b * 10 + 9) + "%") +
           "</td><td>" + std::to_string(buckets[b]) +
           "</td><td style=\"width:20em\"><div class=\"bar\" style=\"width:" + std::to_string(buckets[b] * 100 / most) +
           "%\"></div></td></tr>\n";
  out += "</table>\n<h2>Submissions and cases</h2>\n<table id=\"matrix\">\n<tr><th>submission</th>";
  if (!results.empty())
    for (const CaseResult& c : results.front().cases) out += "<th>" + Html(c.name) + "</th>";
  out += "<th>passed</th><th>points</th></tr>\n";
  for (const SubmissionResult& s : results) {
    out += "<tr><th>" + Html(s.name) + "</th>";
    for (const CaseResult& c : s.cases)
      out += std::string("<td class=\"") + VerdictName(c.verdict) + "\">" + VerdictName(c.verdict) + "</td>";
    out += "<td>" + std::to_string(s.passed) + "/" + std::to_string(s.cases.size()) + "</td><td>" + Number(s.points) +
           "/" + Number(s.maxPoints) + "</td></tr>\n";
  }
  out += "</table>\n<h2>Failures</h2>\n";
  for (const SubmissionResult& s : results) {
    if (s.passed == s.cases.size()) continue;
    out += "<h3>" + Html(s.name) + "</h3>\n";
    if (!s.built) {
      out += "<p>build-error</p>\n<pre class=\"messages\">";
      for (const std::string& m : s.messages) out += Html(m) + "\n";
      out += "</pre>\n";
      continue;
    }
    out +=
        "<table "
        "class=\"failures\">\n<tr><th>case</th><th>verdict</th><th>line</th><th>expected</th><th>got</th></tr>\n";
    for (const CaseResult& c : s.cases) {
      if (c.verdict == Verdict::Pass) continue;
      out += "<tr><td>" + Html(c.name) + "</td><td>" + VerdictName(c.verdict) + "</td>";
      if (c.difference) {
        const Difference& d = *c.difference;
        out += "<td>" + std::to_string(d.lineNumber) + "</td><td><code>" +
               MarkedLine(d.expected, d.got, d.expectedMissing) + "</code></td><td><code>" +
               MarkedLine(d.got, d.expected, d.gotMissing) + "</code></td></tr>\n";
      } else {
        out += "<td></td><td colspan=\"2\">" + Html(c.detail) + "</td></tr>\n";
      }
    }
    out += "</table>\n";
  }
  return out + "</body>\n</html>\n";
}

// The table's rows end at their last figure, without the padding.
void EndRow(std::string& out) {
  while (!out.empty() && out.back() == ' ') out.pop_back();
  out += "\n";
}

std::string TextReport(const std::vector<SubmissionResult>& results, TextStyle style) {
  auto paint = [&](const char* code, const std::string& s) {
    return style.colour ? std::string("\x1b[") + code + "m" + s + "\x1b[0m" : s;
  };
  std::string out;
  std::size_t width = 10;
  // Names are padded by the columns they take, so that Japanese names line up.
  for (const SubmissionResult& s : results) width = std::max(width, DisplayWidth(Shown(s.name)));
  std::size_t passed = 0, total = 0, full = 0;
  for (const SubmissionResult& s : results) {
    const bool ok = s.passed == s.cases.size();
    const std::string name = Shown(s.name);
    out += name + std::string(width - DisplayWidth(name) + 2, ' ') +
           paint(ok ? "32" : "31", std::to_string(s.passed) + "/" + std::to_string(s.cases.size())) + "  points " +
           Number(s.points) + "/" + Number(s.maxPoints) + "\n";
    if (!s.built)
      for (const std::string& m : s.messages) out += "    " + paint("33", "build-error") + "  " + Shown(m) + "\n";
    for (const CaseResult& c : s.cases) {
      if (c.verdict == Verdict::Pass || c.verdict == Verdict::BuildError) continue;
      out += "    " + Shown(c.name) + "  " + paint("31", VerdictName(c.verdict)) + "  " + Explain(c) + "\n";
    }
    passed += s.passed;
    total += s.cases.size();
    full += ok ? 1 : 0;
  }
  // The summary: how many submissions ended with each verdict per case.
  if (!results.empty()) {
    out += "\n" + std::string("case") + std::string(width - 2, ' ');
    const char* names[] = {"pass",       "wrong",      "build-error",     "abnormal",
                           "step-limit", "time-limit", "input-exhausted", "output-limit"};
    for (const char* n : names) out += std::string(n) + "  ";
    EndRow(out);
    for (std::size_t k = 0; k < results.front().cases.size(); ++k) {
      const std::string name = Shown(results.front().cases[k].name);
      out += name + std::string(width + 2 - std::min(width + 1, DisplayWidth(name)), ' ');
      for (const char* n : names) {
        std::size_t count = 0;
        for (const SubmissionResult& s : results)
          if (k < s.cases.size() && std::string(VerdictName(s.cases[k].verdict)) == n) ++count;
        const std::string cell = std::to_string(count);
        out += cell + std::string(std::string(n).size() + 2 - std::min(std::string(n).size() + 1, cell.size()), ' ');
      }
      EndRow(out);
    }
  }
  out += "\n" + std::to_string(full) + " of " + std::to_string(results.size()) + " submissions passed every case; " +
         std::to_string(passed) + " of " + std::to_string(total) + " cases passed\n";
  return out;
}

}  // namespace

std::string FormatReport(const std::vector<SubmissionResult>& results, Format format, TextStyle style,
                         const ReportInfo& info) {
  switch (format) {
    case Format::Json:
      // A name that is not UTF-8 is shown with replacement characters rather than refused.
      return JsonReport(results, info);
    case Format::Junit:
    case Format::Csv: {
      std::string out;
      ReportWriter writer(format, info, [&](const std::string& piece) { out += piece; });
      for (const SubmissionResult& s : results) writer.Add(s);
      writer.Finish();
      return out;
    }
    case Format::Markdown:
      return MarkdownReport(results);
    case Format::Html:
      return HtmlReport(results);
    case Format::Gradescope:
      return results.empty() ? std::string() : GradescopeReport(results.front());
    case Format::Classroom:
      return results.empty() ? std::string() : ClassroomReport(results.front());
    case Format::Text:
      break;
  }
  return TextReport(results, style);
}

// The same text as one dump of the whole report, written a submission at a
// time without holding the whole as JSON values.
ReportWriter::ReportWriter(Format format, const ReportInfo& info, std::function<void(const std::string&)> write)
    : format_(format), write_(std::move(write)) {
  if (format_ == Format::Junit) {
    write_(kJunitHead);
  } else if (format_ == Format::Csv) {
    write_(kCsvHead);
  } else {
    write_("{\n  \"cases_digest\": " + json(info.casesDigest).dump() + ",\n  \"shard\": {\n    \"index\": " +
           std::to_string(info.shardIndex) + ",\n    \"count\": " + std::to_string(info.shardCount) +
           "\n  },\n  \"submission_count\": " + std::to_string(info.submissionCount) + ",\n  \"submissions\": [");
  }
}

void ReportWriter::Add(const SubmissionResult& result) {
  if (format_ == Format::Junit) return write_(JunitSuite(result));
  if (format_ == Format::Csv) return write_(CsvRow(result));
  // A name that is not UTF-8 is shown with replacement characters rather than refused.
  const std::string one = SubmissionJson(result).dump(2, ' ', false, json::error_handler_t::replace);
  std::string out = count_++ ? ",\n    " : "\n    ";
  out.reserve(one.size() + one.size() / 8);
  for (char ch : one) {
    out.push_back(ch);
    if (ch == '\n') out += "    ";
  }
  passed_ += result.passed;
  total_ += result.cases.size();
  write_(out);
}

void ReportWriter::Finish() {
  if (format_ == Format::Junit) return write_(kJunitTail);
  if (format_ == Format::Csv) return;
  write_(std::string(count_ ? "\n  ]" : "]") + ",\n  \"passed\": " + std::to_string(passed_) +
         ",\n  \"total\": " + std::to_string(total_) + "\n}\n");
}

namespace {

// The fields of a report, each of the type it must have; a missing or
// mistyped one throws, and the caller names the report.
const json& Field(const json& object, const char* key) {
  if (!object.is_object()) throw std::runtime_error("an object was expected");
  const auto it = object.find(key);
  if (it == object.end()) throw std::runtime_error(std::string("no \"") + key + "\"");
  return *it;
}
std::string Text(const json& object, const char* key) {
  const json& v = Field(object, key);
  if (!v.is_string()) throw std::runtime_error(std::string("\"") + key + "\" is not a text");
  return v.get<std::string>();
}
std::uint64_t Count(const json& object, const char* key) {
  const json& v = Field(object, key);
  if (!v.is_number_unsigned()) throw std::runtime_error(std::string("\"") + key + "\" is not a whole number");
  return v.get<std::uint64_t>();
}
double Figure(const json& object, const char* key) {
  const json& v = Field(object, key);
  if (!v.is_number()) throw std::runtime_error(std::string("\"") + key + "\" is not a number");
  return v.get<double>();
}
// A line of a difference: null when the output had none.
std::optional<std::string> Line(const json& object, const char* key) {
  const json& v = Field(object, key);
  if (v.is_null()) return std::nullopt;
  if (!v.is_string()) throw std::runtime_error(std::string("\"") + key + "\" is not a text or null");
  return v.get<std::string>();
}

}  // namespace

bool ParseJsonReport(const std::string& text, ReportInfo& info, std::vector<SubmissionResult>& out,
                     std::string& error) {
  try {
    const json root = json::parse(text);
    info.casesDigest = Text(root, "cases_digest");
    const json& shard = Field(root, "shard");
    const std::uint64_t index = Count(shard, "index"), count = Count(shard, "count");
    if (index < 1 || index > count || count > 100000) throw std::runtime_error("\"shard\" is not I of N");
    info.shardIndex = static_cast<unsigned>(index);
    info.shardCount = static_cast<unsigned>(count);
    info.submissionCount = Count(root, "submission_count");
    const json& submissions = Field(root, "submissions");
    if (!submissions.is_array()) throw std::runtime_error("\"submissions\" is not a list");
    for (const json& s : submissions) {
      SubmissionResult r;
      r.index = Count(s, "index");
      r.name = Text(s, "name");
      r.built = Text(s, "build") == "ok";
      const json& messages = Field(s, "messages");
      if (!messages.is_array()) throw std::runtime_error("\"messages\" is not a list");
      for (const json& m : messages) {
        if (!m.is_string()) throw std::runtime_error("\"messages\" holds other than texts");
        r.messages.push_back(m.get<std::string>());
      }
      r.points = Figure(s, "points");
      r.maxPoints = Figure(s, "max_points");
      const json& cases = Field(s, "cases");
      if (!cases.is_array()) throw std::runtime_error("\"cases\" is not a list");
      for (const json& c : cases) {
        CaseResult cr;
        cr.name = Text(c, "name");
        const std::string verdict = Text(c, "verdict");
        auto v = VerdictFromName(verdict);
        if (!v) throw std::runtime_error("unknown verdict \"" + verdict + "\"");
        cr.verdict = *v;
        cr.steps = Count(c, "steps");
        cr.seconds = Figure(c, "seconds");
        cr.points = Figure(c, "points");
        cr.maxPoints = Figure(c, "max_points");
        if (c.contains("detail")) cr.detail = Text(c, "detail");
        const json& lineNumber = Field(c, "line_number");
        if (!lineNumber.is_null()) {
          Difference d;
          d.lineNumber = Count(c, "line_number");
          const std::optional<std::string> expected = Line(c, "expected_line"), got = Line(c, "got_line");
          d.expectedMissing = !expected;
          d.gotMissing = !got;
          d.expected = expected.value_or("");
          d.got = got.value_or("");
          cr.difference = d;
        }
        if (cr.verdict == Verdict::Pass) ++r.passed;
        r.cases.push_back(std::move(cr));
      }
      out.push_back(std::move(r));
    }
  } catch (const std::exception& e) {
    error = std::string("not a grading report: ") + e.what();
    return false;
  }
  return true;
}

bool MergeReports(std::vector<ShardReport> shards, ReportInfo& info, std::vector<SubmissionResult>& out,
                  std::string& error) {
  out.clear();
  if (shards.empty()) return error = "no report given", false;
  const ShardReport& first = shards.front();
  std::vector<const ShardReport*> byShard(first.info.shardCount, nullptr);
  for (const ShardReport& r : shards) {
    if (r.info.casesDigest != first.info.casesDigest)
      return error = r.name + ": judged against other cases than " + first.name, false;
    if (r.info.shardCount != first.info.shardCount || r.info.submissionCount != first.info.submissionCount)
      return error = r.name + ": a shard of another run than " + first.name + " (other shard count or class)", false;
    const ShardReport*& slot = byShard[r.info.shardIndex - 1];
    if (slot)
      return error = r.name + ": shard " + std::to_string(r.info.shardIndex) + "/" + std::to_string(r.info.shardCount) +
                     " is given twice (also " + slot->name + ")",
             false;
    slot = &r;
    // A shard holds every N-th submission from its I-th, each once.
    std::size_t expected = r.info.shardIndex - 1;
    for (const SubmissionResult& s : r.results) {
      if (s.index != expected || s.index >= r.info.submissionCount)
        return error = r.name + ": submission " + std::to_string(s.index) + " is not where shard " +
                       std::to_string(r.info.shardIndex) + "/" + std::to_string(r.info.shardCount) + " puts it",
               false;
      expected += r.info.shardCount;
    }
    if (expected < r.info.submissionCount) return error = r.name + ": submissions are missing from the shard", false;
  }
  std::string missing;
  for (std::size_t k = 0; k < byShard.size(); ++k)
    if (!byShard[k])
      missing += (missing.empty() ? "" : ", ") + std::to_string(k + 1) + "/" + std::to_string(byShard.size());
  if (!missing.empty()) return error = "shards missing: " + missing, false;
  info = first.info;
  info.shardIndex = info.shardCount = 1;
  out.resize(info.submissionCount);
  for (ShardReport& r : shards)
    for (SubmissionResult& s : r.results) out[s.index] = std::move(s);
  return true;
}

std::string CasesDigest(const std::vector<Case>& cases) {
  // FNV-1a over each field with its length in front, so that no two
  // different sets of cases run together into the same bytes.
  std::uint64_t h = 0xcbf29ce484222325ull;
  auto add = [&](const std::string& bytes) {
    const std::string length = std::to_string(bytes.size()) + ":";
    for (const std::string* part : {&length, &bytes})
      for (unsigned char ch : *part) h = (h ^ ch) * 0x100000001b3ull;
  };
  for (const Case& c : cases) {
    add(c.name);
    add(c.input ? "in:" + *c.input : std::string("no input"));
    add(c.expected);
    add(std::to_string(c.maxSteps));
    add(Number(c.timeoutSeconds));
    add(Number(c.points));
    add(std::to_string(static_cast<int>(c.compare)));
    add(c.inputExhausted ? "1" : "0");
  }
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

}  // namespace tolvane::grade
