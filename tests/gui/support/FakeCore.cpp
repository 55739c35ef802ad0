#include "support/FakeCore.h"

#include <QFile>

#include "forms/DialogPort.h"
#include "forms/Utf8.h"
#include "support/Records.h"

namespace tolvane::testing {

namespace {
QString Path(const std::string& bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}
}  // namespace

bool FakeCore::Assemble(const std::string& path, const BuildOptions&, MessageSink& sink) {
  assembled << Path(path);
  sink.AppendDiagnostic(RecordOf(path, 0, Severity::Info, "Assemble[" + path + "]"));
  for (const Line& d : diagnostics) sink.AppendDiagnostic(RecordOf(path, d.line, d.severity, d.text));
  return assembleResult;
}

bool FakeCore::Link(const std::vector<std::string>& paths, const BuildOptions&, MessageSink& sink) {
  linked.push_back(paths);
  const std::string module = paths.empty() ? std::string() : paths.front();
  sink.AppendDiagnostic(RecordOf(module, 0, Severity::Info, "LINK[" + module + "]"));
  return linkResult;
}

bool FakeCore::RunProgram(const std::string& target, const BuildOptions&) {
  ran << Path(target);
  if (duringRun) duringRun();
  return true;
}

bool FakeCore::StartDebugging(const std::string& target, const BuildOptions&) {
  debugged << Path(target);
  debugging = true;
  return true;
}

bool FakeCore::DebuggingGuard() {
  if (!debugging) return false;
  const BoxAnswer answer = forms::Dialogs().Ask(
      BoxKind::Confirm, forms::UiText(u8"デバッグ中です。デバッグを終了しますか？"), BoxButtons::YesNo);
  if (answer == BoxAnswer::Yes) {
    EndProgram();
    return false;
  }
  return true;
}

void FakeCore::EndProgram() {
  ++endProgramCalls;
  debugging = false;
}

}  // namespace tolvane::testing
