#include <toml++/toml.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "common/BinaryIo.h"
#include "grade/Grade.h"

namespace tolvane::grade {

namespace fs = std::filesystem;

namespace {

bool ParseCompare(const std::string& s, Compare& out) {
  if (s == "exact")
    out = Compare::Exact;
  else if (s == "trailing")
    out = Compare::Trailing;
  else if (s == "whitespace")
    out = Compare::Whitespace;
  else
    return false;
  return true;
}

// One table's settings over `c`; unknown keys are refused, so a misspelt
// limit does not pass unnoticed.
bool ApplyTable(const toml::table& t, const std::string& where, Case& c, std::string& error) {
  for (const auto& [key, value] : t) {
    const std::string k(key.str());
    auto bad = [&](const char* what) {
      error = "cases.toml: " + where;
      error += "." + k + " ";
      error += what;
      return false;
    };
    if (k == "max_steps") {
      auto v = value.value<std::int64_t>();
      if (!v || *v <= 0) return bad("must be a positive whole number");
      c.maxSteps = static_cast<std::uint64_t>(*v);
    } else if (k == "timeout") {
      auto v = value.value<double>();
      if (!v || !(*v > 0) || *v > 86400) return bad("must be a positive number of seconds");
      c.timeoutSeconds = *v;
    } else if (k == "points") {
      auto v = value.value<double>();
      if (!v || !(*v >= 0) || *v > 1e9) return bad("must be a number of at least 0");
      c.points = *v;
    } else if (k == "compare") {
      auto v = value.value<std::string>();
      if (!v || !ParseCompare(*v, c.compare)) return bad("must be \"exact\", \"trailing\" or \"whitespace\"");
    } else if (k == "input_exhausted") {
      auto v = value.value<bool>();
      if (!v) return bad("must be true or false");
      c.inputExhausted = *v;
    } else if (k == "visibility") {
      auto v = value.value<std::string>();
      if (!v || (*v != "visible" && *v != "hidden" && *v != "after_due_date" && *v != "after_published"))
        return bad("must be \"visible\", \"hidden\", \"after_due_date\" or \"after_published\"");
      c.visibility = *v;
    } else {
      return bad("is not a setting (max_steps, timeout, points, compare, input_exhausted, visibility)");
    }
  }
  return true;
}

}  // namespace

bool ApplyCaseSettings(const std::string& text, const Case& defaults, std::vector<Case>& cases, std::string& error) {
  toml::table root;
  try {
    root = toml::parse(text);
  } catch (const toml::parse_error& e) {
    error = "cases.toml:" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
    return false;
  }
  Case base = defaults;
  for (const auto& [key, value] : root) {
    const std::string k(key.str());
    if (k == "defaults") {
      if (!value.is_table()) return error = "cases.toml: [defaults] must be a table", false;
    } else if (k != "case") {
      error = "cases.toml: unknown table or key '" + k + "' (use [defaults] and [case.NAME])";
      return false;
    }
  }
  if (const toml::table* d = root["defaults"].as_table())
    if (!ApplyTable(*d, "defaults", base, error)) return false;
  for (Case& c : cases) {
    const std::string name = c.name;
    const std::optional<std::string> input = c.input;
    const std::string expected = std::move(c.expected);
    c = base;
    c.name = name;
    c.input = input;
    c.expected = expected;
  }
  if (root.contains("case")) {
    const toml::table* all = root["case"].as_table();
    if (!all) return error = "cases.toml: 'case' must be a table of [case.NAME] tables", false;
    for (const auto& [key, value] : *all) {
      const std::string name(key.str());
      auto it = std::find_if(cases.begin(), cases.end(), [&](const Case& c) { return c.name == name; });
      if (it == cases.end())
        return error = ("cases.toml: [case." + name += "] names no case (no ") += name + ".out)", false;
      if (!value.is_table()) return error = "cases.toml: case." + name + " must be a table", false;
      if (!ApplyTable(*value.as_table(), "case." + name, *it, error)) return false;
    }
  }
  return true;
}

bool LoadCases(const std::string& dir, const Case& defaults, std::vector<Case>& cases, std::string& error) {
  cases.clear();
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return error = dir + ": not a folder of cases", false;
  std::map<std::string, std::pair<bool, bool>> names;  // name -> has .in, has .out
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path p = it->path();
    const std::string ext = p.extension().string();
    if (ext != ".in" && ext != ".out") continue;
    auto& has = names[p.stem().string()];
    (ext == ".in" ? has.first : has.second) = true;
  }
  if (ec) return error = dir + ": " + ec.message(), false;
  auto read = [&](const std::string& file, std::string& out) {
    switch (ReadWholeFile(file, out, kMaxCaseFileBytes)) {
      case FileReadResult::Ok:
        // Editors on some systems start a UTF-8 file with a byte-order mark;
        // it marks the encoding and is no part of the input or the output.
        if (out.compare(0, 3, "\xEF\xBB\xBF") == 0) out.erase(0, 3);
        return true;
      case FileReadResult::TooLarge:
        error = file + ": larger than " + std::to_string(kMaxCaseFileBytes >> 20) + " MiB, too large for a case";
        return false;
      default:
        error = file + ": cannot be read";
        return false;
    }
  };
  for (const auto& [name, has] : names) {
    const std::string base = (fs::path(dir) / name).string();
    if (!has.second) return error = (base + ".in: the case has no ") += name + ".out", false;
    Case c = defaults;
    c.name = name;
    if (!read(base + ".out", c.expected)) return false;
    if (has.first) {
      std::string in;
      if (!read(base + ".in", in)) return false;
      c.input = std::move(in);
    }
    cases.push_back(std::move(c));
  }
  if (cases.empty()) return error = dir + ": no cases (NAME.out files)", false;
  const std::string toml = (fs::path(dir) / "cases.toml").string();
  if (fs::exists(toml, ec)) {
    std::string text;
    if (!read(toml, text)) return false;
    return ApplyCaseSettings(text, defaults, cases, error);
  }
  return true;
}

// Lines of a text: CR LF counts as LF, and a final line end makes no extra line.
static std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t e = text.find('\n', i);
    if (e == std::string::npos) e = text.size();
    std::string line = text.substr(i, e - i);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    i = e + 1;
  }
  return lines;
}

static std::string Normal(const std::string& line, Compare mode) {
  if (mode == Compare::Exact) return line;
  if (mode == Compare::Trailing) return line.substr(0, line.find_last_not_of(" \t") + 1);
  std::string out;
  for (char ch : line)
    if (ch != ' ' && ch != '\t' && ch != '\r' && ch != '\f' && ch != '\v') out.push_back(ch);
  return out;
}

std::optional<Difference> FirstDifference(const std::string& expected, const std::string& got, Compare mode) {
  std::vector<std::string> e = Lines(expected), g = Lines(got);
  // Trailing blank lines count only in the exact mode; the whitespace mode
  // ignores blank lines everywhere.
  auto keep = [mode](std::vector<std::string>& v) {
    if (mode == Compare::Whitespace) {
      std::vector<std::string> kept;
      for (std::string& s : v)
        if (!Normal(s, mode).empty()) kept.push_back(std::move(s));
      v = std::move(kept);
    } else if (mode == Compare::Trailing) {
      while (!v.empty() && Normal(v.back(), mode).empty()) v.pop_back();
    }
  };
  keep(e);
  keep(g);
  const std::size_t n = std::max(e.size(), g.size());
  for (std::size_t i = 0; i < n; ++i) {
    Difference d;
    d.lineNumber = i + 1;
    d.expectedMissing = i >= e.size();
    d.gotMissing = i >= g.size();
    if (!d.expectedMissing) d.expected = e[i];
    if (!d.gotMissing) d.got = g[i];
    if (d.expectedMissing || d.gotMissing || Normal(e[i], mode) != Normal(g[i], mode)) return d;
  }
  return std::nullopt;
}

}  // namespace tolvane::grade
