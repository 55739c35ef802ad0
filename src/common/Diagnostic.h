#pragma once
// The assembler's and linker's diagnostics as records. Each distinct message
// has a code; readers (the message window, the language server, the debug
// adapter, the grader, quick fixes) switch on it and never take the message
// line apart. MessageLine() is the one place that writes the line itself.
#include <cstdint>
#include <string>

namespace tolvane {

enum class Severity : std::uint8_t { Info, Warning, Error };

// One per distinct message. The short id (CodeId) is what leaves the program
// (the language server's `code`), so a code keeps its id once given.
enum class DiagCode : std::uint8_t {
  None,  // a line that is no diagnostic of the tools: its message is the whole line
  // Progress and totals.
  AssembleStart,
  AssembleTotal,
  AssembleTooManyErrors,
  LinkStart,
  LinkTotal,
  // A line's fields as the assembler reads them.
  BlankLine,
  LabelNotLetterFirst,
  LabelBadCharacter,
  LabelTooLong,
  MnemonicUnknown,
  Operand1BadCharacter,
  Operand2BadCharacter,
  HashOnly,
  OperandLabelTooLong,
  QuoteNotClosed,
  LiteralStringEmpty,
  ExtraCharacters,
  OperandInvalid,
  Operand3Invalid,
  OperandLabelBadCharacter,
  QuoteMissing,
  // The operand rules of each instruction.
  InstructionMissing,
  ReservedLabel,
  StartNotFirst,
  InstructionUnknown,
  Operand1NotRegister,
  Operand3NotIndexRegister,
  Operand2Wrong,
  Operand2NotIndexRegister,
  Operand1Wrong,
  NoOperand3Allowed,
  StartEndMismatch,
  StartWithoutLabel,
  StartOperandNotLetter,
  StartOperandNotLabel,
  EndWithoutStart,
  EndWithFields,
  InOutLabelsOnly,
  MacroWithOperands,
  DsOver65535,
  DsNegative,
  NoOperand2Allowed,
  DcStringEmpty,
  RegisterOnly,
  NoOperandsAllowed,
  // The program as a whole.
  ProgramTooLarge,
  LabelDuplicated,
  EndMissing,
  StartDuplicated,
  StartLabelDuplicated,
  StartEntryUnknown,
  ExternalNotStartLabel,
  // The source's characters and the files of an assembly.
  LoneCarriageReturn,
  NulCharacter,
  CharacterNotCp932,
  SourceCannotOpen,
  SourceReadFailed,
  SourceCannotClose,
  OutputIsInput,
  OutputCannotOpen,
  OutputCannotClose,
  TableTooLarge,
  OutOfMemory,
  LineMapNotWritten,
  // The linker.
  NoObjectFiles,
  OriginOutOfRange,
  StackTooLarge,
  NoStartLabel,
  NoStackRoom,
  ProgramTooLargeToLoad,
  EntryDuplicated,
  ExternalUnresolved,
  ObjectUnreadable,
  LineMapUnreadable,
};

// How the message line of a code is written.
enum class DiagShape : std::uint8_t {
  Progress,    // "Assemble[SUBJECT]", "LINK[SUBJECT]"
  Total,       // "%4d Errors" with the count as the subject, or "      Too Many Errors"
  SourceLine,  // " (%3d) : Error  MESSAGE" (" (   ) " for the source as a whole), or " : Warning  "
  Plain,       // " Error:  MESSAGE" for an error, " MESSAGE" for a warning
};

// Which field of its line a diagnostic is about, so that an editor can mark
// that field rather than the whole line.
enum class DiagField : std::uint8_t { Line, Label, Mnemonic, Operand1, Operand2, Operand3, Operands };

struct Diagnostic {
  DiagCode code = DiagCode::None;
  Severity severity = Severity::Info;
  // The source the line is about, as the tool was given it (file-system bytes):
  // for "Assemble[...]" and every line of that assembly its source, for
  // "LINK[...]" and the total the load module; empty when the line points into
  // no source (most of the linker's errors; an unresolved reference names its own).
  std::string file;
  std::int32_t line = 0;     // 1-based line in `file` as the assembler numbers it; 0 when none
  std::int32_t column = -1;  // 0-based byte column of the offending field in that line, -1 when none
  std::int32_t length = 0;   // its bytes
  std::string subject;       // what the message names: a label, a file, the count of a total
  std::string message;       // the message's own text, subject included (CP932, no line break)
};

const char* CodeId(DiagCode code);  // "A012", stable
DiagShape ShapeOf(DiagCode code);
DiagField FieldOf(DiagCode code);  // the field a code is usually about
// The message line exactly as shown (CP932 bytes, no line break).
std::string MessageLine(const Diagnostic& diagnostic);

}  // namespace tolvane
