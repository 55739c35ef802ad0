#pragma once
// The program loader: clears the machine, reads a load module (and, for symbolic
// debugging, its symbol file), fills the fixed system areas of memory and sets
// PR, SP and the stack limit with the end-of-program address on the stack.
//
// Memory map after a load:
//   0000H 0000H, 0001H F800H (input area), 0002H F864H (output area),
//   0003H-0009H 0000H, 000AH-00FFH "OS" (004FH, 0053H) repeated,
//   the image at origin ... origin+N-1, F000H at initial SP - 1, 0000H elsewhere,
//   F000H-F7FFH "OS" repeated, F800H-F863H "IN" repeated (input area),
//   F864H-F8C7H "0UT" (0030H, 0055H, 0054H) repeated (output area),
//   F8C8H-FFFFH "OS" repeated.
#include <string>
#include <vector>

#include "common/MessageBox.h"
#include "common/Word.h"
#include "link/LoadModule.h"
#include "machine/Cpu.h"

namespace tolvane {

// The header values kept after a load, used to restart a finished program.
struct LoadModuleHeader {
  Word origin = 0;
  Word start = 0;
  Word initialSp = 0;
  Word stackLimit = 0;
};

// What a load leaves behind besides memory and registers.
struct LoadedProgram {
  LoadModuleHeader header;
  Bytes exePath;                    // the load module path that was read
  Bytes symPath;                    // the symbol file path, when symbols were requested
  bool symbols = false;             // the symbol table was requested (and loaded, on success)
  SymbolTable symbolTable;          // empty unless symbols
  std::vector<Word> dataAddresses;  // absolute addresses of the program's data words

  void Clear() { *this = LoadedProgram{}; }
};

// Enables the End Program command (menu item and toolbar button) after a load.
class EndProgramPort {
 public:
  virtual ~EndProgramPort() = default;
  virtual void EnableEndProgram() = 0;
};

// "実行のために必要なスタック領域が足りません。" (CP932).
Bytes StackTooSmallText();

// Fills 0000H-00FFH and F000H-FFFFH with the system-area contents.
void FillSystemAreas(Memory& memory);

// Puts a load module already in memory into a cleared machine: the image, the
// system areas, PR, SP and the stack limit. False when the stack cannot hold
// the end-of-program address (StackTooSmallText).
bool PlaceModule(const LoadModule& module, CCpu& cpu, Memory& memory);

// Loads `fileName` (any extension: ".exe" replaces it, ".sym" for the symbol
// file when `symbolic`). Failures show one "エラー" box and return false; memory
// and registers are then cleared or partly loaded. The caller clears its own
// end-requested flag when it calls this. `endProgram` may be null.
bool LoadProgram(const std::string& fileName, bool symbolic, CCpu& cpu, Memory& memory, LoadedProgram& program,
                 MessageBoxPort& boxes, EndProgramPort* endProgram = nullptr);

}  // namespace tolvane
