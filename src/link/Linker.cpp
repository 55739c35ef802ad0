#include "link/Linker.h"

namespace tolvane {

bool Link(const std::vector<std::string>&, BuildOptions, MessageSink&) { return false; }

}  // namespace tolvane
