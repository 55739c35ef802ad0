// Arbitrary bytes as an object file: the reader must refuse or accept them
// without reading outside the data, and whatever it accepts must keep the
// promises the linker relies on.
#include <cstdint>
#include <cstdlib>

#include "link/ObjectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tolvane::ObjectFile o;
  if (tolvane::ParseObjectFile(data, size, o) != tolvane::ObjectReadError::None) {
    if (!(o == tolvane::ObjectFile{})) std::abort();
    return 0;
  }
  if (o.fileName.find(".obj") == std::string::npos) std::abort();
  for (tolvane::Word a : o.relocations)
    if (a >= o.code.size()) std::abort();
  for (const auto& x : o.externals)
    if (x.address >= o.code.size() || x.name.size() > tolvane::kMaxNameBytes) std::abort();
  for (const auto& l : o.labels)
    if (l.name.size() > tolvane::kMaxNameBytes) std::abort();
  return 0;
}
