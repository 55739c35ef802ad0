// The session's beginning and end: initialize, launch (the build as
// `tolvane-cli go` does it, then the load), terminate and disconnect.
#include <unistd.h>

#include "build/Project.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "common/TextRules.h"
#include "dap/Server.h"
#include "machine/StdioRun.h"

namespace tolvane::dap {

void Server::Initialize(Request& r) {
  if (initialized_) throw Refusal{"initialize was already sent"};
  initialized_ = true;
  linesStartAt1_ = Arg(r.args, "linesStartAt1", true);
  invalidatedEvents_ = Arg(r.args, "supportsInvalidatedEvent", false);
  Respond(r, {
                 {"supportsConfigurationDoneRequest", true},
                 {"supportsFunctionBreakpoints", true},
                 {"supportsConditionalBreakpoints", false},
                 {"supportsHitConditionalBreakpoints", true},
                 {"supportsEvaluateForHovers", true},
                 {"supportsStepBack", true},
                 {"supportsSetVariable", true},
                 {"supportsSteppingGranularity", true},
                 {"supportsInstructionBreakpoints", true},
                 {"supportsReadMemoryRequest", true},
                 {"supportsWriteMemoryRequest", true},
                 {"supportsDisassembleRequest", true},
                 {"supportsTerminateRequest", true},
                 {"supportTerminateDebuggee", true},
                 {"supportsExceptionInfoRequest", true},
                 {"exceptionBreakpointFilters", json::array()},
             });
}

// A message line of the build, with the source and line it is about. A
// total above zero counts as an error too.
void Server::BuildLine(const Diagnostic& d) {
  const bool error = d.severity == Severity::Error || d.code == DiagCode::AssembleTooManyErrors ||
                     (ShapeOf(d.code) == DiagShape::Total && d.subject != "0");
  json extra = json::object();
  if (!d.file.empty() && error) {
    extra["source"] = SourceJson(d.file);
    if (d.line > 0) extra["line"] = ClientLine(d.line);
  }
  Output(error ? "stderr" : "console", MessageText(MessageLine(d)) + "\n", std::move(extra));
}

void Server::ShowNotice(const build::Notice& notice) {
  const BoxKind kind = notice.kind == build::NoticeKind::Warning       ? BoxKind::Warning
                       : notice.kind == build::NoticeKind::Information ? BoxKind::Information
                                                                       : BoxKind::Error;
  if (notice.kind == build::NoticeKind::Failure)
    Output("stderr", MessageText(notice.text) + "\n");
  else
    ShowMessageBox(kind, notice.text, BoxButtons::Ok);
}

Word Server::HexOption(const json& args, const char* name, Word fallback) {
  const std::string text = Arg(args, name, std::string());
  if (text.empty()) return fallback;
  const std::optional<Word> w = ParseHexWord(text);
  if (!w) throw Refusal{std::string("'") + name + "' must be 1-4 hexadecimal digits"};
  return *w;
}

void Server::Launch(Request& r) {
  if (launched_) throw Refusal{"a program has already been launched"};
  std::vector<std::string> programs;
  const json& program = Need(r.args, "program");
  if (program.is_string()) {
    programs.push_back(program);
  } else if (program.is_array()) {
    for (const json& p : program) {
      if (!p.is_string()) throw Refusal{"'program' must be a file name or a list of file names"};
      programs.push_back(p);
    }
  } else {
    throw Refusal{"'program' must be a file name or a list of file names"};
  }
  if (programs.empty()) throw Refusal{"'program' names no file"};
  for (const std::string& p : programs)
    if (p.empty()) throw Refusal{"'program' holds an empty file name"};
  const std::string cwd = Arg(r.args, "cwd", std::string());
  const bool stopOnEntry = Arg(r.args, "stopOnEntry", false);
  noDebug_ = Arg(r.args, "noDebug", false);
  const bool registers = Arg(r.args, "registersAtEnd", true);
  const bool dataAsCode = Arg(r.args, "dataAsCode", false);
  const bool listing = Arg(r.args, "listing", false);
  BuildOptions options;
  options.listing = listing ? 1 : 0;
  options.origin = HexOption(r.args, "origin", options.origin);
  options.stackSize = HexOption(r.args, "stack", options.stackSize);
  std::deque<Bytes> input;
  if (auto in = r.args.find("input"); in != r.args.end() && !in->is_null()) {
    std::vector<std::string> lines;
    if (in->is_string()) {
      std::string text = *in;
      // One line per line of the text; a final line end ends the last line.
      for (std::size_t at = 0; at < text.size();) {
        std::size_t nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(at, nl - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        at = nl + 1;
      }
    } else if (in->is_array()) {
      for (const json& l : *in) {
        if (!l.is_string()) throw Refusal{"'input' must be a text or a list of lines"};
        lines.push_back(l);
      }
    } else {
      throw Refusal{"'input' must be a text or a list of lines"};
    }
    for (const std::string& l : lines) input.push_back(InputLineToCp932(l));
  }
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) throw Refusal{"cannot change to the folder " + cwd};

  bool exe = false, project = false;
  for (const std::string& p : programs) {
    exe = exe || EndsWithFolded(p, ".exe");
    project = project || EndsWithFolded(p, ".mak");
    marks_.Add(p);
  }
  if ((exe || project) && programs.size() > 1)
    throw Refusal{std::string(exe ? "a load module" : "a project file") + " is debugged on its own"};

  std::string module;
  if (exe) {
    module = programs.front();
    std::error_code error;
    // Symbols when there are any: a load module linked without them still runs.
    const bool haveSymbols = std::filesystem::exists(ChangeExtension(module, ".sym"), error);
    options.symbolicDebug = Arg(r.args, "symbols", haveSymbols) ? 1 : 0;
  } else {
    options.symbolicDebug = Arg(r.args, "symbols", true) ? 1 : 0;
    const build::BuildResult built = Build(programs, project, options);
    if (!built.Succeeded()) {
      throw Refusal{built.notice ? "the build failed: " + MessageText(built.notice->text)
                                 : std::string("the build failed")};
    }
    module = ChangeExtension(built.target, ".exe");
  }
  marks_.Add(module);

  ec_->SetShowRegistersAfterRun(registers);
  ec_->SetUnAsmDataAsCode(dataAsCode);
  if (noDebug_) ec_->SetRecording(false);  // nothing will go back: no need to record
  if (!ec_->StartDebugging(module, options)) throw Refusal{"the program could not be loaded: " + module};
  launched_ = true;
  stopOnEntry_ = stopOnEntry;
  launchInput_ = std::move(input);
  programName_ = FileName(module);
  for (const std::string& m : lines_.Load(ec_->Program().exePath)) Output("console", MessageText(m) + "\n");
  Respond(r);
  Event("initialized");
}

build::BuildResult Server::Build(const std::vector<std::string>& programs, bool project, const BuildOptions& options) {
  BuildSink sink(*this);
  build::CoreTools tools;
  build::BuildResult result;
  if (project) {
    // The entries' names are marked before the build talks about them.
    const std::filesystem::path folder = std::filesystem::path(programs.front()).parent_path();
    result = build::Builder(tools, sink)
                 .BuildProjectFile(programs.front(), options, [&](const std::vector<std::string>& entries) {
                   for (const std::string& e : entries) marks_.Add((folder / e).string());
                 });
  } else {
    result = build::Builder(tools, sink).BuildFiles(programs, options);
  }
  if (result.notice) ShowNotice(*result.notice);
  return result;
}

void Server::Terminate(Request& r) {
  Respond(r);
  if (terminatedSent_) return;
  terminateRequested_ = true;
  if (launched_ && Live()) ec_->EndProgram();
  if (!running_) SendEnd();  // a run in progress says so when it returns
}

void Server::Disconnect(Request& r) {
  // A launched program goes with its adapter.
  if (launched_ && Live()) ec_->EndProgram();
  Respond(r);
  quit_ = true;
}

}  // namespace tolvane::dap
