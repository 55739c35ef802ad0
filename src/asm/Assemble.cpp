// The assembly driver: reads the source, runs every line through analysis,
// operand rules and generation, resolves the labels, writes the listing and
// the object file, and reports through the message sink.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "asm/AsmCore.h"
#include "asm/Assembler.h"
#include "asm/Instructions.h"
#include "common/AtomicFile.h"
#include "common/BinaryIo.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "common/SourceEncoding.h"

namespace tolvane {

void Assembler::Report(Diagnostic d) {
  d.file = sourcePath;
  sink_.AppendDiagnostic(d);
}

void Assembler::ReportLineError(std::int32_t lineNumber, DiagCode code, const std::string& text, FieldPos at) {
  if (suppressLineErrors) return;
  if (++errorCount > kShownErrors) return;
  Report({code, Severity::Error, {}, lineNumber, at.column, at.length, {}, text});
  errorList.push_back({lineNumber, text});
}

void Assembler::ReportLineWarning(std::int32_t lineNumber, DiagCode code, const std::string& text) {
  // A file with CR alone for every line end would otherwise give one per line.
  if (++warningCount > kShownErrors) return;
  Report({code, Severity::Warning, {}, lineNumber, -1, 0, {}, text});
}

void Assembler::ReportError(DiagCode code, const std::string& text, const std::string& subject) {
  if (++errorCount > kShownErrors) return;
  Report({code, Severity::Error, {}, 0, -1, 0, subject, text});
  errorList.push_back({-1, text});
}

void Assembler::ReportErrorParts(DiagCode code, const std::string& a, const std::string& b, const std::string& c) {
  ReportError(code, a + b + c, b);
}

void Assembler::ReportFileError(DiagCode code, const std::string& path, const std::string& text) {
  Report({code, Severity::Error, {}, 0, -1, 0, path, path + text});
}

void Assembler::ReportSystemError(DiagCode code, const std::string& text) {
  Report({code, Severity::Error, {}, 0, -1, 0, {}, text});
}

// The total sums up the lines above it; it is no diagnostic of its own.
void Assembler::ReportErrorTotal() {
  if (errorCount <= kShownErrors)
    Report({DiagCode::AssembleTotal, Severity::Info, {}, 0, -1, 0, std::to_string(errorCount), {}});
  else
    Report({DiagCode::AssembleTooManyErrors, Severity::Info, {}, 0, -1, 0, {}, {}});
}

void Assembler::ReportStart(const std::string& path) {
  sourcePath = path;
  Report({DiagCode::AssembleStart, Severity::Info, {}, 0, -1, 0, path, {}});
}

void Assembler::AssembleText(std::string_view source, std::string* listing) {
  LineReader reader(source);
  std::string_view text;
  std::int32_t n = 0;
  const std::string crText =
      Cp932Text(u8"行の途中にCR(復帰)だけの改行があります。そこから行末まではアセンブルされません。");
  const std::string nulText = Cp932Text(u8"行の途中にNUL文字があります。そこから行末まではアセンブルされません。");
  recordListing = listing != nullptr;
  while (reader.Next(text)) {
    line_.lineNumber = ++n;
    if (reader.CutBy() != LineReader::Cut::None)
      reader.CutBy() == LineReader::Cut::LoneCr ? ReportLineWarning(n, DiagCode::LoneCarriageReturn, crText)
                                                : ReportLineWarning(n, DiagCode::NulCharacter, nulText);
    if (!unheldCharacters.empty()) CheckUnheldCharacters(source, text, n);
    AnalyseLine(line_, text);
    if (line_.mnemonic[0]) std::memcpy(lastMnemonic, line_.mnemonic, sizeof lastMnemonic);
    CheckLine(line_);
    const std::int32_t before = locationCounter;
    if (recordListing) listedStatements.push_back({.line = n, .text = text, .firstRow = listingRows.size()});
    GenerateLine(line_);
    const InstructionDef* ins = FindInstruction(line_.mnemonic);
    RecordRun(before, line_.lineNumber, ins && ins->form != OperandForm::Dc && ins->form != OperandForm::Ds);
  }
  lineCount = n;
  CheckStartEnd();
  ResolveFile();
  if (listing) BuildListing(*listing);
}

void Assembler::AssembleFileBytes(std::string_view bytes, std::string* listing) {
  DecodedText decoded = DecodeToCp932(bytes);
  unheldCharacters = std::move(decoded.unheld);
  AssembleText(decoded.cp932, listing);
}

// A character CP932 cannot hold changes nothing in a comment but the listing's
// copy of it (which shows a '?'); anywhere else it would change what the line
// means, so the line is refused.
void Assembler::CheckUnheldCharacters(std::string_view source, std::string_view text, std::int32_t lineNumber) {
  const auto from = static_cast<std::size_t>(text.data() - source.data());
  auto it = std::lower_bound(unheldCharacters.begin(), unheldCharacters.end(), from);
  if (it == unheldCharacters.end() || *it >= from + text.size()) return;
  std::size_t comment = text.size();
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
    } else if (c == '\'') {
      quoted = !quoted;
    } else if (c == ';' && !quoted) {
      comment = i;
      break;
    }
  }
  for (; it != unheldCharacters.end() && *it < from + text.size(); ++it) {
    if (*it - from < comment) {
      ReportLineError(lineNumber, DiagCode::CharacterNotCp932, UnheldCharacterText());
      return;
    }
  }
}

int Assembler::Assemble(const std::string& path, BuildOptions options) {
  ReportStart(path);
  const std::string objectPath = ChangeExtension(path, ".obj");
  const std::string listingPath = ChangeExtension(path, ".lst");
  const bool wantListing = options.listing != 0;
  try {
    std::string source;
    switch (ReadWholeFile(path, source)) {
      case FileReadResult::Ok:
        break;
      case FileReadResult::CannotOpen:
      case FileReadResult::TooLarge:  // (no limit is asked for)
        ReportFileError(DiagCode::SourceCannotOpen, path, Cp932Text(u8"がオープンできません。"));
        return 0;
      case FileReadResult::ReadError:
        ReportFileError(DiagCode::SourceReadFailed, path, Cp932Text(u8" の読み込み中にエラーが発生しました。"));
        return 0;
      case FileReadResult::CannotClose:
        ReportFileError(DiagCode::SourceCannotClose, path, Cp932Text(u8"がクローズできません。"));
        return 0;
    }
    symbolTable.reserve(1024);
    referenceTable.reserve(1024);

    std::string listing;
    AssembleFileBytes(source, wantListing ? &listing : nullptr);

    if (wantListing) {
      // A listing name that is the source itself (a source named *.lst, or a
      // link to it) would replace the source by its own listing.
      if (SameFile(listingPath, path)) {
        ReportFileError(DiagCode::OutputIsInput, listingPath, OutputIsAnInputText());
        return 0;
      }
      AtomicFile file;
      if (!file.Open(listingPath)) {
        ReportFileError(DiagCode::OutputCannotOpen, listingPath,
                        OutputFailureText(file, Cp932Text(u8" がオープンできません。")));
        return 0;
      }
      if (!file.Write(listing) || !file.Commit()) {
        ReportFileError(DiagCode::OutputCannotClose, listingPath,
                        OutputFailureText(file, Cp932Text(u8" がクローズできません。")));
        return 0;
      }
    }
    ReportErrorTotal();
    if (errorCount != 0) return 0;
    if (SameFile(objectPath, path)) {  // never overwrite the source with its object
      ReportFileError(DiagCode::OutputIsInput, objectPath, OutputIsAnInputText());
      return 0;
    }
    if (!WriteObjectFile(objectPath)) return 0;
    WriteObjectLineMap(objectPath, source);
    return 1;
  } catch (const std::bad_alloc&) {
    ReportSystemError(DiagCode::OutOfMemory, Cp932Text(u8"メモリが確保できません。(near heap領域)"));
    return 0;
  }
}

void Assembler::RecordRun(std::int32_t from, std::int32_t line, bool code) {
  if (!lineRuns.empty())
    from = std::max(from, lineRuns.back().address + static_cast<std::int32_t>(lineRuns.back().count));
  // A DS of 65535 words still fits one run's count.
  if (from >= locationCounter || line < 1) return;
  lineRuns.push_back({static_cast<Word>(from), static_cast<Word>(locationCounter - from), line, code});
}

std::int32_t Assembler::LineOfAddress(Word address) const {
  auto it = std::upper_bound(lineRuns.begin(), lineRuns.end(), address,
                             [](Word a, const LineRun& r) { return a < r.address; });
  if (it == lineRuns.begin()) return 0;
  --it;
  return address < it->address + it->count ? it->line : 0;
}

bool Assembler::AssembleInMemory(const std::string& name, std::string_view source, ObjectFile& out) {
  ReportStart(name);
  try {
    // The bytes are a file's as a student saved it: CP932 or UTF-8, by the same rule as a file on disk.
    AssembleFileBytes(source, nullptr);
    ReportErrorTotal();
    return errorCount == 0 && MakeObject(ChangeExtension(name, ".obj"), out);
  } catch (const std::bad_alloc&) {
    ReportSystemError(DiagCode::OutOfMemory, Cp932Text(u8"メモリが確保できません。(near heap領域)"));
    return false;
  }
}

// The map is a help for debugging: when it cannot be written the object file
// is still good, and no stale map is left to describe it.
void Assembler::WriteObjectLineMap(const std::string& objectPath, std::string_view source) {
  LineMap map;
  const std::string mapPath = ObjectLineMapPath(objectPath);
  if (!FingerprintFile(objectPath, map.target)) return RemoveLineMap(mapPath);
  map.sources.push_back({sourcePath, FingerprintOf(source), lineRuns});
  std::string why;
  if (!WriteLineMap(mapPath, map, &why))
    Report({DiagCode::LineMapNotWritten, Severity::Warning, {}, 0, -1, 0, mapPath, mapPath + why});
}

int Assemble(const std::string& sourcePath, BuildOptions options, MessageSink& sink) {
  std::unique_ptr<Assembler> assembler;
  try {
    assembler = std::make_unique<Assembler>(sink);
  } catch (const std::bad_alloc&) {
    sink.AppendDiagnostic({DiagCode::AssembleStart, Severity::Info, sourcePath, 0, -1, 0, sourcePath, {}});
    sink.AppendDiagnostic({DiagCode::OutOfMemory,
                           Severity::Error,
                           sourcePath,
                           0,
                           -1,
                           0,
                           {},
                           Cp932Text(u8"メモリが確保できません。(near heap領域)")});
    return 0;
  }
  return assembler->Assemble(sourcePath, options);
}

bool AssembleToObject(const std::string& name, std::string_view source, MessageSink& sink, ObjectFile& out) {
  try {
    auto assembler = std::make_unique<Assembler>(sink);
    return assembler->AssembleInMemory(name, source, out);
  } catch (const std::bad_alloc&) {
    sink.AppendDiagnostic({DiagCode::OutOfMemory,
                           Severity::Error,
                           name,
                           0,
                           -1,
                           0,
                           {},
                           Cp932Text(u8"メモリが確保できません。(near heap領域)")});
    return false;
  }
}

}  // namespace tolvane
