#include "asm/Assembler.h"

namespace tolvane {

int Assemble(const std::string&, BuildOptions, MessageSink&) { return 0; }

}  // namespace tolvane
