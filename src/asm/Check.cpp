// Operand rules of every instruction and the START/END shape of the file.
#include <cstring>

#include "asm/AsmCore.h"
#include "asm/Instructions.h"
#include "common/Cp932.h"

namespace tolvane {

namespace {

bool BeginsWithLetter(const char* t) { return IsLetter(t[0]); }
bool AddressLike(const char* t) {
  char c = t[0];
  return IsLetter(c) || IsDigit(c) || c == '-' || c == '=' || c == '#';
}

}  // namespace

void Assembler::CheckLine(const SAsmLine& line) {
  const std::int32_t n = line.lineNumber;
  auto report = [&](DiagCode code, const char8_t* msg) {
    ReportLineError(n, code, Cp932Text(msg), line.Pos(FieldOf(code)));
  };
  // A register name where a label must be: the field it stands in is marked.
  auto reserved = [&](DiagField field) {
    ReportLineError(n, DiagCode::ReservedLabel, Cp932Text(u8"予約語(GR0～GR7)はラベルに使用できません。"),
                    line.Pos(field));
  };

  if (line.label[0] && !line.mnemonic[0]) return report(DiagCode::InstructionMissing, u8"命令部が存在しません。");
  if (IsGeneralRegister(line.label)) return reserved(DiagField::Label);
  if (!line.mnemonic[0]) return;
  ++instructionCount;
  if (instructionCount == 1 && std::strcmp(line.mnemonic, "START") != 0)
    return report(DiagCode::StartNotFirst, u8"START命令から始まっていません。");

  const InstructionDef* ins = FindInstruction(line.mnemonic);
  if (!ins) return report(DiagCode::InstructionUnknown, u8"命令部にCASLIIにない命令があります。");
  const char* op1 = line.operand1;
  const char* op2 = line.operand2;
  const char* op3 = line.operand3;
  switch (ins->form) {
    case OperandForm::RegAdr:
      if (!IsGeneralRegister(op1))
        return report(DiagCode::Operand1NotRegister, u8"第１オペランドは汎用レジスタ名でなければなりません。");
      if (op3[0] && !IsIndexRegister(op3))
        return report(DiagCode::Operand3NotIndexRegister, u8"第３オペランドは指標レジスタ名でなければなりません。");
      if (!AddressLike(op2)) return report(DiagCode::Operand2Wrong, u8"第２オペランドが正しくありません。");
      if (IsGeneralRegister(op2)) return reserved(DiagField::Operand2);
      return;
    case OperandForm::Adr:
      if (op2[0] && !IsIndexRegister(op2))
        return report(DiagCode::Operand2NotIndexRegister, u8"第２オペランドは指標レジスタ名でなければなりません。");
      if (!AddressLike(op1)) return report(DiagCode::Operand1Wrong, u8"第１オペランドが正しくありません。");
      if (IsGeneralRegister(op1)) return reserved(DiagField::Operand1);
      if (op3[0]) return report(DiagCode::NoOperand3Allowed, u8"この命令には第３オペランドはありません。");
      return;
    case OperandForm::RegReg:
      return;
    case OperandForm::Start:
      if (startEndBalance == 1) return report(DiagCode::StartEndMismatch, u8"START - END が対応していません。");
      startEndBalance = 1;
      if (!line.label[0]) return report(DiagCode::StartWithoutLabel, u8"START命令にはラベルを書かなければなりません。");
      if (op1[0] && !BeginsWithLetter(op1))
        return report(DiagCode::StartOperandNotLetter, u8"オペランド部のラベルが英大文字で始まっていません。");
      if (IsGeneralRegister(op1)) return reserved(DiagField::Operand1);
      if (op2[0] || op3[0])
        return report(DiagCode::StartOperandNotLabel, u8"オペランド部には実行開始番地を表すラベルしか書けません。");
      return;
    case OperandForm::End:
      if (startEndBalance == 0) return report(DiagCode::EndWithoutStart, u8"START - END が対になっていません。");
      startEndBalance = 0;
      if (line.label[0] || op1[0])
        return report(DiagCode::EndWithFields, u8"END命令にラベルまたはオペランドがあってはなりません。");
      return;
    case OperandForm::InOut:
      if (!BeginsWithLetter(op1) || !BeginsWithLetter(op2))
        return report(DiagCode::InOutLabelsOnly, u8"オペランドにはラベルしか書けません。");
      if (op3[0]) return report(DiagCode::NoOperand3Allowed, u8"この命令には第３オペランドはありません。");
      if (IsGeneralRegister(op1)) return reserved(DiagField::Operand1);
      if (IsGeneralRegister(op2)) return reserved(DiagField::Operand2);
      return;
    case OperandForm::RPushPop:
      if (op1[0]) return report(DiagCode::MacroWithOperands, u8"このマクロ命令にはオペランドがあってはなりません。");
      return;
    case OperandForm::Ds:
      if (DecimalMagnitude(op1) > 65535) return report(DiagCode::DsOver65535, u8"オペランドが65535を超えています。");
      if (op1[0] == '-') return report(DiagCode::DsNegative, u8"領域の語数は負であってはなりません。");
      if (op2[0]) return report(DiagCode::NoOperand2Allowed, u8"この命令には第２オペランドはありません。");
      return;
    case OperandForm::Dc:
      for (int k = 0; k < line.dcCount; ++k)
        if (std::strcmp(line.dcOperands[k], "''") == 0)
          return ReportLineError(n, DiagCode::DcStringEmpty, Cp932Text(u8"文字定数の文字数は0であってはなりません。"),
                                 line.dcFields[k]);
      return;
    case OperandForm::Reg:
      if (!IsGeneralRegister(op1))
        return report(DiagCode::RegisterOnly, u8"オペランドには汎用レジスタしか書けません。");
      if (op2[0]) return report(DiagCode::NoOperand2Allowed, u8"この命令には第２オペランドはありません。");
      return;
    case OperandForm::None:
      if (op1[0]) return report(DiagCode::NoOperandsAllowed, u8"この命令にはオペランドはありません。");
      return;
  }
}

}  // namespace tolvane
