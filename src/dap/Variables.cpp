// What the client looks at: the thread, the CALL chain, the scopes and their
// variables, edits of registers and words, and evaluate.
#include "common/Cp932.h"
#include "common/TextRules.h"
#include "dap/Server.h"
#include "debugger/Formats.h"
#include "machine/RegisterDump.h"
#include "machine/StdioRun.h"

namespace tolvane::dap {

void Server::Threads(Request& r) {
  json thread{{"id", kThreadId}, {"name", programName_.empty() ? std::string("COMET II") : programName_}};
  Respond(r, {{"threads", json::array({thread})}});
}

void Server::StackTrace(Request& r) {
  const std::vector<CallFrame> frames = Frames();
  const std::int64_t start = std::max<std::int64_t>(0, Arg(r.args, "startFrame", std::int64_t{0}));
  std::int64_t levels = Arg(r.args, "levels", std::int64_t{0});
  if (levels <= 0) levels = static_cast<std::int64_t>(frames.size());
  json list = json::array();
  for (std::int64_t i = start; i < static_cast<std::int64_t>(frames.size()) && i < start + levels; ++i) {
    const CallFrame& f = frames[static_cast<std::size_t>(i)];
    json j{{"id", i + 1},
           {"name", Cp932ToUtf8(FrameName(f, ec_->Symbols()))},
           {"line", 0},
           {"column", 0},
           {"instructionPointerReference", MemoryReference(f.pc)}};
    PlaceAt(f.pc, j);
    if (j.contains("source")) j["column"] = linesStartAt1_ ? 1 : 0;
    list.push_back(std::move(j));
  }
  Respond(r, {{"stackFrames", std::move(list)}, {"totalFrames", frames.size()}});
}

void Server::Scopes(Request& r) {
  auto scope = [](const char* name, int ref, const char* hint) {
    json j{{"name", name}, {"variablesReference", ref}, {"expensive", false}};
    if (hint) j["presentationHint"] = hint;
    return j;
  };
  Respond(r, {{"scopes", json::array({scope("Registers", kRegistersRef, "registers"),
                                      scope("Watches", kWatchesRef, nullptr), scope("Labels", kLabelsRef, nullptr)})}});
}

// The words of a label: up to the next address that has a name.
int Server::LabelSpan(Word address) const {
  int next = kMemoryWords;
  for (const SymbolRecord& s : ec_->Symbols().Records())
    if (s.address > address && s.address < next) next = s.address;
  return std::min(next - address, kMaxWordsShown);
}

json Server::WordVariable(const std::string& name, Word address, int children) const {
  json j{{"name", name},
         {"value", WordValueText(ec_->Mem()[address])},
         {"variablesReference", children > 1 ? WordsRef(address, children) : 0},
         {"evaluateName", name},
         {"memoryReference", MemoryReference(address)}};
  return j;
}

json Server::RegisterVariable(int index) const {
  const Word v = ec_->Cpu().Registers()[static_cast<std::size_t>(index)];
  json j{{"name", RegisterName(index)},
         {"value", index == CCpu::kFR ? Cp932ToUtf8(FlagText(v)) : RegisterValueText(v)},
         {"variablesReference", kRegisterNotationsRef + index},
         {"evaluateName", RegisterName(index)}};
  if (index != CCpu::kFR) j["memoryReference"] = MemoryReference(v);
  return j;
}

json Server::Children(int ref) {
  json list = json::array();
  const CCpu& cpu = ec_->Cpu();
  if (ref == kRegistersRef) {
    for (int i = 0; i < 8; ++i) list.push_back(RegisterVariable(i));
    for (int i : {int{CCpu::kPR}, int{CCpu::kSP}, int{CCpu::kFR}}) list.push_back(RegisterVariable(i));
  } else if (ref == kWatchesRef) {
    ec_->RefreshWatches();
    for (const debugger::Watch& w : ec_->Watches().Rows())
      list.push_back(WordVariable(w.label.empty() ? w.AddressText() : Cp932ToUtf8(w.label), w.address, 0));
  } else if (ref == kLabelsRef) {
    for (const SymbolRecord& s : ec_->Symbols().Records()) {
      if (s.name.empty() || s.name[0] == '=') continue;
      list.push_back(WordVariable(Cp932ToUtf8(s.name), s.address, LabelSpan(s.address)));
    }
  } else if (ref >= kRegisterNotationsRef && ref <= kRegisterNotationsRef + CCpu::kSP) {
    const int index = ref - kRegisterNotationsRef;
    const Word v = cpu.Registers()[static_cast<std::size_t>(index)];
    if (index == CCpu::kFR) {
      for (int b = 0; b < 3; ++b)
        list.push_back({{"name", kFlagNames[b]}, {"value", v & kFlagBits[b] ? "1" : "0"}, {"variablesReference", 0}});
    } else {
      for (Notation n : kRegisterNotations)
        list.push_back({{"name", NotationName(n)}, {"value", NotationText(n, v)}, {"variablesReference", 0}});
    }
  } else if (ref >= kWordsRef) {
    const int count = (ref - kWordsRef) >> 16;
    if (count > kMaxWordsShown) throw Refusal{"no such variables: " + std::to_string(ref)};
    const Word first = static_cast<Word>((ref - kWordsRef) & 0xFFFF);
    for (int k = 0; k < count; ++k) {
      const Word a = static_cast<Word>(first + k);
      list.push_back(WordVariable(Hex4(a), a, 0));
    }
  } else {
    throw Refusal{"no such variables: " + std::to_string(ref)};
  }
  return list;
}

void Server::Variables(Request& r) {
  const std::int64_t ref = Need(r.args, "variablesReference").get<std::int64_t>();
  if (ref <= 0 || ref > 0x7FFFFFFF) throw Refusal{"no such variables: " + std::to_string(ref)};
  json all = Children(static_cast<int>(ref));
  const std::int64_t start = std::max<std::int64_t>(0, Arg(r.args, "start", std::int64_t{0}));
  const std::int64_t count = Arg(r.args, "count", std::int64_t{0});
  json page = json::array();
  for (std::int64_t i = start; i < static_cast<std::int64_t>(all.size()) && (count <= 0 || i < start + count); ++i)
    page.push_back(std::move(all[static_cast<std::size_t>(i)]));
  Respond(r, {{"variables", std::move(page)}});
}

void Server::Refuse(debugger::Refusal why, const std::string& typed) {
  if (why != debugger::Refusal::None) throw Refusal{Cp932ToUtf8(debugger::Explain(why, InputLineToCp932(typed)).text)};
}

void Server::ChangeRegister(int index, Word value, const std::string& typed) {
  Refuse(ec_->SetRegister(static_cast<Register>(index), value), typed);
}

void Server::ChangeWord(Word address, const std::string& value) {
  const debugger::Entry e = debugger::ReadValueEntry(value);
  Refuse(e.refusal, value);
  Refuse(ec_->SetMemory(address, e.address), value);
}

int Server::RegisterIndex(const std::string& name) const {
  for (int i = 0; i <= CCpu::kSP; ++i)
    if (name == RegisterName(i)) return i;
  throw Refusal{"no register " + name};
}

void Server::SetRegisterValue(int index, const std::string& value) {
  if (index == CCpu::kFR) {
    // Three flag digits OF SF ZF as the register dialog takes them, or FR's value.
    std::string bits = value;
    bits.erase(std::remove(bits.begin(), bits.end(), ' '), bits.end());
    debugger::Entry e = debugger::ReadFlagsEntry(bits);
    if (bits.size() != 3) e = debugger::ReadValueEntry(value);
    Refuse(e.refusal, bits.size() != 3 ? value : bits);
    ChangeRegister(index, e.address, value);
    return;
  }
  const debugger::Entry e = debugger::ReadValueEntry(value);
  Refuse(e.refusal, value);
  ChangeRegister(index, e.address, value);
}

void Server::SetVariable(Request& r) {
  const std::int64_t ref = Need(r.args, "variablesReference").get<std::int64_t>();
  const std::string name = NeedString(r.args, "name");
  const std::string value = NeedString(r.args, "value");
  json answer;
  if (ref == kRegistersRef) {
    const int index = RegisterIndex(name);
    SetRegisterValue(index, value);
    answer = RegisterVariable(index);
  } else if (ref >= kRegisterNotationsRef && ref <= kRegisterNotationsRef + CCpu::kSP) {
    const int index = static_cast<int>(ref) - kRegisterNotationsRef;
    Word w = ec_->Cpu().Registers()[static_cast<std::size_t>(index)];
    if (index == CCpu::kFR) {
      int b = 0;
      while (b < 3 && name != kFlagNames[b]) ++b;
      if (b == 3) throw Refusal{"no flag " + name};
      if (value != "0" && value != "1") throw Refusal{"a flag is 0 or 1"};
      w = static_cast<Word>(value == "1" ? (w | kFlagBits[b]) : (w & ~kFlagBits[b]));
      ChangeRegister(index, w, debugger::FlagBitsText(w));
      answer = {{"value", value}};
    } else {
      std::optional<Notation> notation;
      for (Notation n : kRegisterNotations)
        if (name == NotationName(n)) notation = n;
      if (!notation) throw Refusal{"no notation " + name};
      if (!ParseNotation(*notation, value, w)) Refuse(debugger::Refusal::InvalidValue, value);
      ChangeRegister(index, w, value);
      answer = {{"value", NotationText(*notation, w)}};
    }
  } else if (ref == kWatchesRef || ref == kLabelsRef || ref >= kWordsRef) {
    std::string error;
    const std::optional<Target> target = ParseTarget(name, ec_->Symbols(), error);
    if (!target || target->kind != Target::Kind::Address) throw Refusal{"no such variable: " + name};
    ChangeWord(target->address, value);
    answer = {{"value", WordValueText(ec_->Mem()[target->address])}};
  } else {
    throw Refusal{"no such variables: " + std::to_string(ref)};
  }
  Respond(r, answer);
  Invalidated();
}

void Server::Invalidated() {
  if (invalidatedEvents_) Event("invalidated", {{"areas", json::array({"variables"})}});
}

// A line typed into the debug console while an IN waits for one; "^Z"
// alone is the end of input, as Ctrl+Z in the IDE's console.
Bytes Server::ConsoleLine(const std::string& typed) {
  std::string t = typed;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  if (t == "^Z") return Bytes(1, '\x1A');
  return InputLineToCp932(t);
}

void Server::Evaluate(Request& r) {
  const std::string expression = NeedString(r.args, "expression");
  const std::string context = Arg(r.args, "context", std::string());
  if (inputWaiting_ && (context.empty() || context == "repl")) {
    typedLine_ = ConsoleLine(expression);
    Respond(r, {{"result", ""}, {"variablesReference", 0}});
    return;
  }
  if (!launched_) throw Refusal{"no program has been launched"};
  std::string error;
  const std::optional<Target> t = ParseTarget(expression, ec_->Symbols(), error);
  if (!t) throw Refusal{error};
  // A word under the mouse is a register or a label, never a number read as an address.
  if (context == "hover" && t->kind == Target::Kind::Address && t->label.empty())
    throw Refusal{"not a register or a label: " + expression};
  if (t->kind == Target::Kind::Register) {
    const json v = RegisterVariable(t->reg);
    json body{{"result", v["value"]}, {"variablesReference", v["variablesReference"]}};
    if (v.contains("memoryReference")) body["memoryReference"] = v["memoryReference"];
    Respond(r, body);
    return;
  }
  const int span = t->label.empty() ? kEvaluatedWords : LabelSpan(t->address);
  Respond(r, {{"result", WordValueText(ec_->Mem()[t->address])},
              {"variablesReference", span > 1 ? WordsRef(t->address, span) : 0},
              {"memoryReference", MemoryReference(t->address)}});
}

}  // namespace tolvane::dap
