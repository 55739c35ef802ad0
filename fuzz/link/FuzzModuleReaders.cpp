// Arbitrary bytes as a load module and as a symbol file.
#include <cstdint>
#include <cstdlib>

#include "link/LoadModule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tolvane::LoadModule m;
  if (tolvane::ParseLoadModule(data, size, m) == tolvane::ModuleReadError::None) {
    // The loader copies the image to memory[origin + i]: it must fit.
    if (m.origin + m.image.size() > tolvane::kMemoryWords) std::abort();
    if (m.fileName.find(".exe") == std::string::npos) std::abort();
  } else if (!(m == tolvane::LoadModule{})) {
    std::abort();
  }
  tolvane::SymbolTable s;
  if (tolvane::ParseSymbolFile(data, size, s) == tolvane::ModuleReadError::None) {
    for (const auto& r : s)
      if (r.name.size() > tolvane::kMaxNameBytes) std::abort();
  } else if (!s.empty()) {
    std::abort();
  }
  return 0;
}
