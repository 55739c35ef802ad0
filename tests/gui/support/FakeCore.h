#pragma once
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/frmMain_f.h"

namespace tolvane::testing {

// A stand-in for the tools and execution control: records the calls, answers
// with preset results, and can pretend that a program is being debugged (the
// guard then asks its question through the dialog port, as the real one does).
class FakeCore : public forms::ShellCore {
 public:
  bool assembleResult = true;
  bool linkResult = true;
  bool debugging = false;
  QStringList assembled;  // source paths, in order
  std::vector<std::vector<std::string>> linked;
  QStringList ran;       // RunProgram targets
  QStringList debugged;  // StartDebugging targets
  int endProgramCalls = 0;
  std::function<void()> duringRun;  // runs inside RunProgram
  // What each assembly reports after its "Assemble[...]", as records about the
  // source being assembled (the file is filled in).
  struct Line {
    std::int32_t line;  // 0: no line number
    Severity severity;
    std::string text;
  };
  std::vector<Line> diagnostics;

  bool Assemble(const std::string& path, const BuildOptions&, MessageSink& sink) override;
  bool Link(const std::vector<std::string>& paths, const BuildOptions&, MessageSink& sink) override;
  bool RunProgram(const std::string& target, const BuildOptions&) override;
  bool StartDebugging(const std::string& target, const BuildOptions&) override;
  bool DebuggingActive() const override { return debugging; }
  bool DebuggingGuard() override;
  void EndProgram() override;
  std::string loadModulePath;  // what LoadModulePath answers
  std::string LoadModulePath() const override { return loadModulePath; }
};

}  // namespace tolvane::testing
