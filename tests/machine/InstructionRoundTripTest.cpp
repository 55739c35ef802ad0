// Every machine instruction of the instruction table, round trip: assembled
// from source text, executed on the machine, and disassembled back. The
// assembler, the machine and the disassembler each derive their view from the
// table; this checks that what each of them does with a row agrees with the
// others (operation code, which fields carry which operand, and the length).
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "MachineTestSupport.h"
#include "asm/AsmCore.h"
#include "common/InstructionSet.h"
#include "debugger/Disassembler.h"
#include "debugger/SymbolIndex.h"
#include "machine/Cpu.h"

namespace tolvane::test {
namespace {

class NullSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// The operands written for each form, and the fields they give: r = GR1,
// x (or r2) = GR2 or GR3, adr = 0001H. With GR2 = 2 the effective address is 3.
struct FormSample {
  OperandForm form;
  const char* operands;
  int r, x;
};
const FormSample kSamples[] = {
    {OperandForm::RegAdr, "GR1,#0001,GR2", 1, 2},
    {OperandForm::RegReg, "GR1,GR3", 1, 3},
    {OperandForm::Adr, "#0001,GR2", 0, 2},
    {OperandForm::Reg, "GR1", 1, 0},
    {OperandForm::None, "", 0, 0},
};

constexpr Word kAt = 0x0100;  // where the instruction is placed
constexpr Word kEa = 0x0003;  // its effective address
constexpr Word kSp = 0x0300;

// What the instruction must do to the machine below, from this state:
// GR1 = 0005H, GR2 = 0002H, GR3 = 0070H, FR as given, word 0030H at the
// effective address, 4444H on top of the stack (SP = 0300H).
enum class Check { GR1, FR, PR, Pushed };  // Pushed: the word written (by ST: at the effective address)
struct Effect {
  const char* name;
  Word fr;  // FR before (makes a conditional jump taken)
  Check check;
  Word value;
};
const Effect kEffects[] = {
    {"LD", 0, Check::GR1, 0x0030},       {"ST", 0, Check::Pushed, 0x0005},  // GR1 stored at the effective address
    {"LAD", 0, Check::GR1, kEa},         {"ADDA", 0, Check::GR1, 0x0035},     {"SUBA", 0, Check::GR1, 0xFFD5},
    {"ADDL", 0, Check::GR1, 0x0035},     {"SUBL", 0, Check::GR1, 0xFFD5},     {"AND", 0, Check::GR1, 0x0000},
    {"OR", 0, Check::GR1, 0x0035},       {"XOR", 0, Check::GR1, 0x0035},      {"CPA", 0, Check::FR, kFlagSF},
    {"CPL", 0, Check::FR, kFlagSF},      {"SLA", 0, Check::GR1, 0x0028},      {"SRA", 0, Check::GR1, 0x0000},
    {"SLL", 0, Check::GR1, 0x0028},      {"SRL", 0, Check::GR1, 0x0000},      {"LD_reg", 0, Check::GR1, 0x0070},
    {"ADDA_reg", 0, Check::GR1, 0x0075}, {"SUBA_reg", 0, Check::GR1, 0xFF95}, {"ADDL_reg", 0, Check::GR1, 0x0075},
    {"SUBL_reg", 0, Check::GR1, 0xFF95}, {"AND_reg", 0, Check::GR1, 0x0000},  {"OR_reg", 0, Check::GR1, 0x0075},
    {"XOR_reg", 0, Check::GR1, 0x0075},  {"CPA_reg", 0, Check::FR, kFlagSF},  {"CPL_reg", 0, Check::FR, kFlagSF},
    {"JMI", kFlagSF, Check::PR, kEa},    {"JNZ", 0, Check::PR, kEa},          {"JZE", kFlagZF, Check::PR, kEa},
    {"JUMP", 0, Check::PR, kEa},         {"JPL", 0, Check::PR, kEa},          {"JOV", kFlagOF, Check::PR, kEa},
    {"PUSH", 0, Check::Pushed, kEa},     {"POP", 0, Check::GR1, 0x4444},      {"CALL", 0, Check::Pushed, kAt + 2},
    {"RET", 0, Check::PR, 0x4444},       {"SVC", 0, Check::PR, kAt + 2},  // number 3: nothing but the advance
    {"NOP", 0, Check::PR, kAt + 1},
};

const Effect* EffectOf(std::string_view name) {
  for (const Effect& e : kEffects)
    if (name == e.name) return &e;
  return nullptr;
}

TEST(InstructionRoundTrip, AssembleExecuteDisassembleAgreeOnEveryRow) {
  std::set<std::uint8_t> codes;
  for (const InstructionDef& row : kInstructionSet) {
    if (!IsMachineForm(row.form)) continue;
    SCOPED_TRACE(std::string(row.name));
    EXPECT_TRUE(codes.insert(row.code).second) << "operation code used twice";
    const FormSample* sample = nullptr;
    for (const FormSample& s : kSamples)
      if (s.form == row.form) sample = &s;
    ASSERT_NE(sample, nullptr);

    // Assemble. The register forms are written with their mnemonic and two registers.
    const std::string line = " " + std::string(row.mnemonic) + (*sample->operands ? " " : "") + sample->operands;
    NullSink sink;
    auto as = std::make_unique<Assembler>(sink);
    as->AssembleText("PROG START\n" + line + "\n END\n", nullptr);
    ASSERT_EQ(as->errorCount, 0) << line;
    ASSERT_EQ(as->locationCounter, row.words) << line;
    const Word first = as->codeImage[0];
    EXPECT_EQ(first, EncodeFirstWord(row.code, sample->r, sample->x)) << line;
    if (row.words == 2) {
      EXPECT_EQ(as->codeImage[1], 0x0001) << line;
    }

    // Execute.
    const Effect* effect = EffectOf(row.name);
    ASSERT_NE(effect, nullptr) << "no expected effect for this row";
    auto mem = NewMemory();
    for (int i = 0; i < row.words; ++i) (*mem)[static_cast<Word>(kAt + i)] = as->codeImage[i];
    (*mem)[kEa] = 0x0030;
    (*mem)[kSp] = 0x4444;
    CCpu cpu;
    cpu.SetPR(kAt);
    cpu.SetSP(kSp);
    cpu.SetFR(effect->fr);
    cpu.SetRegister(1, 0x0005);
    cpu.SetRegister(2, 0x0002);
    cpu.SetRegister(3, 0x0070);
    ScriptConsole console;
    EXPECT_EQ(InstructionWords(first), row.words);
    EXPECT_EQ(cpu.Execute(*mem, console), ExecStatus::Continue);
    switch (effect->check) {
      case Check::GR1:
        EXPECT_EQ(cpu.GetRegister(1), effect->value);
        break;
      case Check::FR:
        EXPECT_EQ(cpu.GetFR(), effect->value);
        break;
      case Check::PR:
        EXPECT_EQ(cpu.GetPR(), effect->value);
        break;
      case Check::Pushed:
        if (row.name == "ST") {
          EXPECT_EQ((*mem)[kEa], effect->value);
        } else {
          EXPECT_EQ(cpu.GetSP(), kSp - 1);
          EXPECT_EQ((*mem)[kSp - 1], effect->value);
        }
        break;
    }
    if (effect->check != Check::PR && row.name != "CALL") {
      EXPECT_EQ(cpu.GetPR(), kAt + row.words);
    }

    // Disassemble: the mnemonic and the operands as written.
    debugger::SymbolIndex symbols;
    debugger::Disassembler dis;
    dis.Attach(mem->data(), &symbols);
    EXPECT_EQ(dis.DecodeAt(kAt), row.words);
    EXPECT_EQ(dis.Scratch().mnemonic, row.mnemonic);
    EXPECT_EQ(dis.Scratch().operand, sample->operands);
  }
  // Every row was tried, and every effect belongs to a row.
  EXPECT_EQ(codes.size(), std::size(kEffects));
}

}  // namespace
}  // namespace tolvane::test
