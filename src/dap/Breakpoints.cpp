// Source, instruction and function breakpoints, all in the debugger's one
// breakpoint table, with the hit counts the client asked for.
#include <set>

#include "common/Cp932.h"
#include "common/TextRules.h"
#include "dap/Server.h"
#include "dap/SourceSteps.h"
#include "machine/StdioRun.h"

namespace tolvane::dap {

json Server::BreakpointJson(const UserBreakpoint* b, bool verified, const std::string& message) const {
  json j{{"verified", verified}};
  if (b) {
    j["id"] = b->id;
    j["instructionReference"] = MemoryReference(b->address);
    if (verified) PlaceAt(b->address, j);
  } else {
    j["id"] = nextBreakpointId_++;
  }
  if (!message.empty()) j["message"] = message;
  return j;
}

// The hit count of a breakpoint that stays (same place, same condition) goes on.
void Server::KeepHits(UserBreakpoint& b, const std::vector<UserBreakpoint>& before) {
  for (const UserBreakpoint& o : before)
    if (o.address == b.address && o.hitText == b.hitText) b.hits = o.hits;
}

// Reads a breakpoint's hit condition; false (with the message) when it is bad.
bool Server::ReadHit(const json& want, UserBreakpoint& b, std::string& message) {
  b.hitText = Arg(want, "hitCondition", std::string());
  if (ParseHitCondition(b.hitText, b.hit)) return true;
  message = "not a hit count: " + b.hitText + " (N, >=N, ==N, >N, <N, <=N or %N)";
  return false;
}

void Server::SetBreakpoints(Request& r) {
  const json& source = Need(r.args, "source");
  if (!source.is_object()) throw Refusal{"'source' must be an object"};
  const std::string path = Arg(source, "path", std::string());
  std::vector<json> wanted;
  if (auto b = r.args.find("breakpoints"); b != r.args.end() && b->is_array()) {
    for (const json& s : *b) wanted.push_back(s);
  } else if (auto l = r.args.find("lines"); l != r.args.end() && l->is_array()) {
    for (const json& line : *l) wanted.push_back({{"line", line}});
  }
  const int index = launched_ && !path.empty() ? lines_.FindSource(path) : -1;
  std::string whyNot;
  if (!launched_) {
    whyNot = "no program has been launched yet";
  } else if (path.empty()) {
    whyNot = "the source has no path";
  } else if (lines_.Empty() && index < 0) {
    whyNot = Cp932ToUtf8(debugger::NoSourceLinesMessage());
  } else if (index < 0) {
    // The file name is the file system's bytes, the rest of the text CP932.
    whyNot = FileName(path) + Cp932ToUtf8(debugger::NotASourceMessage(std::string()));
  } else if (!lines_.Sources()[static_cast<std::size_t>(index)].dropped.empty()) {
    whyNot = MessageText(lines_.Sources()[static_cast<std::size_t>(index)].dropped);
  }

  const std::string key = path.empty() ? std::string() : debugger::SourceLines::Resolve(path);
  ReplaceBreakpoints(r, wanted, sourceBreakpoints_[key], [&](const json& want, std::string& message) {
    const std::int64_t asked = Need(want, "line").get<std::int64_t>();
    std::optional<Word> address;
    if (!whyNot.empty()) {
      message = whyNot;
    } else if (std::optional<LinePlace> place =
                   PlaceOnLine(lines_.Sources()[static_cast<std::size_t>(index)].runs, OwnLine(asked))) {
      address = place->address;  // its answer gives the line the breakpoint is really on
    } else {
      message = Cp932ToUtf8(debugger::NoInstructionOnLineMessage());
    }
    return address;
  });
}

std::vector<json> Server::List(const json& args) {
  const json& list = Need(args, "breakpoints");
  if (!list.is_array()) throw Refusal{"'breakpoints' must be a list"};
  return std::vector<json>(list.begin(), list.end());
}

void Server::SetInstructionBreakpoints(Request& r) {
  ReplaceBreakpoints(r, List(r.args), instructionBreakpoints_, [](const json& want, std::string& message) {
    const std::string ref = NeedString(want, "instructionReference");
    const std::int64_t offset = Arg(want, "offset", std::int64_t{0});
    std::optional<Word> address;
    Word base;
    if (!ParseMemoryReference(ref, base))
      message = "not an address: " + ref;
    else if (offset % 2 != 0)
      message = "an instruction begins at a word: the offset must be even";
    else
      address = static_cast<Word>(base + offset / 2);
    return address;
  });
}

// Function breakpoints are the program's labels.
void Server::SetFunctionBreakpoints(Request& r) {
  ReplaceBreakpoints(r, List(r.args), functionBreakpoints_, [this](const json& want, std::string& message) {
    const Bytes label = InputLineToCp932(NeedString(want, "name"));
    std::optional<Word> address;
    if (!launched_)
      message = "no program has been launched yet";
    else if (!ec_->Symbols().LabelExists(label))
      message = Cp932ToUtf8(
          debugger::Explain(IsLabelText(label) ? debugger::Refusal::NoSuchLabel : debugger::Refusal::NotALabel).text);
    else
      address = ec_->Symbols().AddressOfLabel(label);
    return address;
  });
}

// One list of breakpoints replaced by the client's: `place` gives each its
// address, or says why it has none. An unverified one keeps the line asked for.
template <class Place>
void Server::ReplaceBreakpoints(Request& r, const std::vector<json>& wanted, std::vector<UserBreakpoint>& list,
                                Place place) {
  std::vector<UserBreakpoint> placed;
  json answers = json::array();
  for (const json& want : wanted) {
    if (!want.is_object()) throw Refusal{"each breakpoint must be an object"};
    UserBreakpoint b;
    std::string message;
    const std::optional<Word> address = place(want, message);
    if (address && ReadHit(want, b, message)) {
      b.id = nextBreakpointId_++;
      b.address = *address;
      KeepHits(b, list);
      answers.push_back(BreakpointJson(&b, true, ""));
      placed.push_back(std::move(b));
      continue;
    }
    json j = BreakpointJson(nullptr, false, message);
    if (want.contains("line")) j["line"] = want["line"];
    answers.push_back(std::move(j));
  }
  list = std::move(placed);
  SyncTable();
  Respond(r, {{"breakpoints", std::move(answers)}});
}

template <class F>
void Server::ForEachUserBreakpoint(F f) {
  for (auto& [path, list] : sourceBreakpoints_)
    for (UserBreakpoint& b : list) f(b);
  for (UserBreakpoint& b : instructionBreakpoints_) f(b);
  for (UserBreakpoint& b : functionBreakpoints_) f(b);
}

// The one breakpoint table holds the addresses of all the client's
// breakpoints and, during a step, the return address it runs to.
void Server::SyncTable() {
  if (!launched_) return;
  std::set<Word> wanted;
  if (!noDebug_) ForEachUserBreakpoint([&](UserBreakpoint& b) { wanted.insert(b.address); });
  if (tempStop_) wanted.insert(*tempStop_);
  debugger::BreakpointTable& table = ec_->Breakpoints();
  for (int i = table.Count() - 1; i >= 0; --i) {
    const debugger::Breakpoint& row = table.Rows()[static_cast<std::size_t>(i)];
    if (!wanted.count(row.address) || !row.enabled) ec_->DeleteBreakpoint(i);
  }
  for (Word a : wanted)
    if (!table.IsEnabledAt(a)) table.AddRow(a, ec_->Symbols().LabelOfAddress(a));
}

bool Server::IsUserBreakpointAt(Word address) {
  bool found = false;
  if (!noDebug_) ForEachUserBreakpoint([&](UserBreakpoint& b) { found = found || b.address == address; });
  return found;
}

// Counts a hit of every breakpoint at the address; the ids of those whose
// hit count says stop.
std::vector<int> Server::CountHits(Word address) {
  std::vector<int> ids;
  if (noDebug_) return ids;
  ForEachUserBreakpoint([&](UserBreakpoint& b) {
    if (b.address != address) return;
    ++b.hits;
    if (b.hit.Met(b.hits)) ids.push_back(b.id);
  });
  return ids;
}

std::vector<int> Server::BreakpointIdsAt(Word address) {
  std::vector<int> ids;
  ForEachUserBreakpoint([&](UserBreakpoint& b) {
    if (b.address == address) ids.push_back(b.id);
  });
  return ids;
}

}  // namespace tolvane::dap
