#include "machine/Loader.h"

#include "common/ChangeExtension.h"
#include "common/Cp932.h"

namespace tolvane {

Bytes StackTooSmallText() { return Cp932Text(u8"実行のために必要なスタック領域が足りません。"); }

namespace {
void FillPattern(Memory& memory, unsigned from, unsigned to, std::initializer_list<Word> pattern) {
  std::size_t k = 0;
  for (unsigned a = from; a <= to; ++a) {
    memory[a] = pattern.begin()[k];
    if (++k == pattern.size()) k = 0;
  }
}
}  // namespace

void FillSystemAreas(Memory& memory) {
  memory[0x0000] = 0x0000;
  memory[0x0001] = 0xF800;  // input area
  memory[0x0002] = 0xF864;  // output area
  for (unsigned a = 0x0003; a <= 0x0009; ++a) memory[a] = 0x0000;
  FillPattern(memory, 0x000A, 0x00FF, {0x004F, 0x0053});          // "OS"
  FillPattern(memory, 0xF000, 0xF7FF, {0x004F, 0x0053});          // "OS"
  FillPattern(memory, 0xF800, 0xF863, {0x0049, 0x004E});          // "IN"
  FillPattern(memory, 0xF864, 0xF8C7, {0x0030, 0x0055, 0x0054});  // "0UT": a zero digit, then U, T
  FillPattern(memory, 0xF8C8, 0xFFFF, {0x004F, 0x0053});          // "OS"
}

bool PlaceModule(const LoadModule& module, CCpu& cpu, Memory& memory) {
  // The reader refuses an image that would run past FFFFH; the bound is kept anyway.
  for (std::size_t i = 0; i < module.image.size() && module.origin + i < kMemoryWords; ++i)
    memory[module.origin + i] = module.image[i];
  FillSystemAreas(memory);
  return cpu.Initialize(memory, module.start, module.initialSp, module.stackLimit);
}

bool LoadProgram(const std::string& fileName, bool symbolic, CCpu& cpu, Memory& memory, LoadedProgram& program,
                 MessageBoxPort& boxes, EndProgramPort* endProgram) {
  program.Clear();
  memory.fill(0);
  for (int i = 0; i < 8; ++i) cpu.SetRegister(i, 0);
  cpu.SetFR(0);
  cpu.SetPR(0);
  program.symbols = symbolic;

  program.exePath = ChangeExtension(fileName, ".exe");
  if (program.symbols) {
    program.symPath = ChangeExtension(program.exePath, ".sym");
    if (!ReadSymbolFile(program.symPath, program.symbolTable, boxes)) {
      program.symbolTable.clear();
      return false;
    }
  }

  LoadModule module;
  if (!ReadLoadModule(program.exePath, module, boxes)) {
    program.symbolTable.clear();
    return false;
  }
  program.header = {module.origin, module.start, module.initialSp, module.stackLimit};
  program.dataAddresses = module.dataAddresses;
  if (!PlaceModule(module, cpu, memory)) {
    boxes.ShowMessageBox(BoxKind::Error, StackTooSmallText());
    return false;
  }
  if (endProgram) endProgram->EnableEndProgram();
  return true;
}

}  // namespace tolvane
