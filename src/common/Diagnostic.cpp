#include "common/Diagnostic.h"

#include <array>
#include <cstdio>

namespace tolvane {

namespace {

struct CodeRow {
  DiagCode code;
  const char* id;
  DiagShape shape;
  DiagField field;
};

using S = DiagShape;
using F = DiagField;
using C = DiagCode;

// In the order of DiagCode; the static_assert below keeps the two in step.
constexpr CodeRow kCodes[] = {
    {C::None, "", S::Plain, F::Line},
    {C::AssembleStart, "A000", S::Progress, F::Line},
    {C::AssembleTotal, "A001", S::Total, F::Line},
    {C::AssembleTooManyErrors, "A002", S::Total, F::Line},
    {C::LinkStart, "L000", S::Progress, F::Line},
    {C::LinkTotal, "L001", S::Total, F::Line},
    {C::BlankLine, "A010", S::SourceLine, F::Line},
    {C::LabelNotLetterFirst, "A011", S::SourceLine, F::Label},
    {C::LabelBadCharacter, "A012", S::SourceLine, F::Label},
    {C::LabelTooLong, "A013", S::SourceLine, F::Label},
    {C::MnemonicUnknown, "A014", S::SourceLine, F::Mnemonic},
    {C::Operand1BadCharacter, "A015", S::SourceLine, F::Operand1},
    {C::Operand2BadCharacter, "A016", S::SourceLine, F::Operand2},
    {C::HashOnly, "A017", S::SourceLine, F::Operands},
    {C::OperandLabelTooLong, "A018", S::SourceLine, F::Operands},
    {C::QuoteNotClosed, "A019", S::SourceLine, F::Operands},
    {C::LiteralStringEmpty, "A020", S::SourceLine, F::Operands},
    {C::ExtraCharacters, "A021", S::SourceLine, F::Operands},
    {C::OperandInvalid, "A022", S::SourceLine, F::Operands},
    {C::Operand3Invalid, "A023", S::SourceLine, F::Operand3},
    {C::OperandLabelBadCharacter, "A024", S::SourceLine, F::Operands},
    {C::QuoteMissing, "A025", S::SourceLine, F::Operands},
    {C::InstructionMissing, "A030", S::SourceLine, F::Label},
    {C::ReservedLabel, "A031", S::SourceLine, F::Label},
    {C::StartNotFirst, "A032", S::SourceLine, F::Mnemonic},
    {C::InstructionUnknown, "A033", S::SourceLine, F::Mnemonic},
    {C::Operand1NotRegister, "A034", S::SourceLine, F::Operand1},
    {C::Operand3NotIndexRegister, "A035", S::SourceLine, F::Operand3},
    {C::Operand2Wrong, "A036", S::SourceLine, F::Operand2},
    {C::Operand2NotIndexRegister, "A037", S::SourceLine, F::Operand2},
    {C::Operand1Wrong, "A038", S::SourceLine, F::Operand1},
    {C::NoOperand3Allowed, "A039", S::SourceLine, F::Operand3},
    {C::StartEndMismatch, "A040", S::SourceLine, F::Mnemonic},
    {C::StartWithoutLabel, "A041", S::SourceLine, F::Mnemonic},
    {C::StartOperandNotLetter, "A042", S::SourceLine, F::Operand1},
    {C::StartOperandNotLabel, "A043", S::SourceLine, F::Operands},
    {C::EndWithoutStart, "A044", S::SourceLine, F::Mnemonic},
    {C::EndWithFields, "A045", S::SourceLine, F::Line},
    {C::InOutLabelsOnly, "A046", S::SourceLine, F::Operands},
    {C::MacroWithOperands, "A047", S::SourceLine, F::Operands},
    {C::DsOver65535, "A048", S::SourceLine, F::Operand1},
    {C::DsNegative, "A049", S::SourceLine, F::Operand1},
    {C::NoOperand2Allowed, "A050", S::SourceLine, F::Operand2},
    {C::DcStringEmpty, "A051", S::SourceLine, F::Operands},
    {C::RegisterOnly, "A052", S::SourceLine, F::Operand1},
    {C::NoOperandsAllowed, "A053", S::SourceLine, F::Operands},
    {C::ProgramTooLarge, "A060", S::SourceLine, F::Line},
    {C::LabelDuplicated, "A061", S::SourceLine, F::Label},
    {C::EndMissing, "A062", S::SourceLine, F::Line},
    {C::StartDuplicated, "A063", S::SourceLine, F::Line},
    {C::StartLabelDuplicated, "A064", S::SourceLine, F::Label},
    {C::StartEntryUnknown, "A065", S::SourceLine, F::Operand1},
    {C::ExternalNotStartLabel, "A066", S::SourceLine, F::Line},
    {C::LoneCarriageReturn, "A070", S::SourceLine, F::Line},
    {C::NulCharacter, "A071", S::SourceLine, F::Line},
    {C::CharacterNotCp932, "A072", S::SourceLine, F::Line},
    {C::SourceCannotOpen, "A080", S::Plain, F::Line},
    {C::SourceReadFailed, "A081", S::Plain, F::Line},
    {C::SourceCannotClose, "A082", S::Plain, F::Line},
    {C::OutputIsInput, "A083", S::Plain, F::Line},
    {C::OutputCannotOpen, "A084", S::Plain, F::Line},
    {C::OutputCannotClose, "A085", S::Plain, F::Line},
    {C::TableTooLarge, "A086", S::Plain, F::Line},
    {C::OutOfMemory, "A087", S::Plain, F::Line},
    {C::LineMapNotWritten, "A088", S::Plain, F::Line},
    {C::NoObjectFiles, "L010", S::Plain, F::Line},
    {C::OriginOutOfRange, "L011", S::Plain, F::Line},
    {C::StackTooLarge, "L012", S::Plain, F::Line},
    {C::NoStartLabel, "L013", S::Plain, F::Line},
    {C::NoStackRoom, "L014", S::Plain, F::Line},
    {C::ProgramTooLargeToLoad, "L015", S::Plain, F::Line},
    {C::EntryDuplicated, "L016", S::Plain, F::Line},
    {C::ExternalUnresolved, "L017", S::Plain, F::Line},
    {C::ObjectUnreadable, "L018", S::Plain, F::Line},
    {C::LineMapUnreadable, "L019", S::Plain, F::Line},
};

constexpr bool InOrder() {
  for (std::size_t i = 0; i < std::size(kCodes); ++i)
    if (static_cast<std::size_t>(kCodes[i].code) != i) return false;
  return static_cast<std::size_t>(DiagCode::LineMapUnreadable) + 1 == std::size(kCodes);
}
static_assert(InOrder(), "kCodes must list every DiagCode in order");

const CodeRow& Row(DiagCode code) {
  const auto i = static_cast<std::size_t>(code);
  return i < std::size(kCodes) ? kCodes[i] : kCodes[0];
}

}  // namespace

const char* CodeId(DiagCode code) { return Row(code).id; }
DiagShape ShapeOf(DiagCode code) { return Row(code).shape; }
DiagField FieldOf(DiagCode code) { return Row(code).field; }

std::string MessageLine(const Diagnostic& d) {
  if (d.code == DiagCode::None) return d.message;  // a line of no tool, as given
  switch (ShapeOf(d.code)) {
    case DiagShape::Progress:
      return (d.code == DiagCode::LinkStart ? "LINK[" : "Assemble[") + d.subject + "]";
    case DiagShape::Total: {
      if (d.code == DiagCode::AssembleTooManyErrors) return "      Too Many Errors";
      // "%4d": the count right-aligned in four columns.
      std::string count = d.subject;
      if (count.size() < 4) count.insert(0, 4 - count.size(), ' ');
      return count + " Errors";
    }
    case DiagShape::SourceLine: {
      char head[40];
      const char* kind = d.severity == Severity::Warning ? "Warning" : "Error";
      if (d.line > 0)
        std::snprintf(head, sizeof head, " (%3d) : %s  ", static_cast<int>(d.line), kind);
      else
        std::snprintf(head, sizeof head, " (   ) : %s  ", kind);
      return head + d.message;
    }
    case DiagShape::Plain:
      break;
  }
  return (d.severity == Severity::Error ? " Error:  " : " ") + d.message;
}

}  // namespace tolvane
