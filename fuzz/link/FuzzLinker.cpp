// Arbitrary bytes split into up to three object files and linked: the linker
// must refuse or link them without touching memory outside its image, and a
// load module it writes must read back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "common/MessageBox.h"
#include "link/Linker.h"
#include "link/LoadModule.h"

namespace {

struct NullSink : tolvane::MessageSink {
  void AppendMessageLine(const std::string&) override {}
};
struct NullBox : tolvane::MessageBoxPort {
  tolvane::BoxAnswer ShowMessageBox(tolvane::BoxKind, const std::string&, tolvane::BoxButtons) override {
    return tolvane::BoxAnswer::Ok;
  }
};

const std::string& Folder() { return tolvane::fuzz::ScratchFolder(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // First two bytes: origin and stack size in 256-word steps; the rest is split
  // at the separator "|||" into object files.
  tolvane::BuildOptions options;
  options.origin = static_cast<tolvane::Word>(data[0] << 8);
  options.stackSize = static_cast<tolvane::Word>(data[1] << 8);
  options.symbolFile = data[1] & 1;
  std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
  std::vector<std::string> names;
  std::size_t from = 0;
  while (names.size() < 3) {
    std::size_t at = rest.find("|||", from);
    std::string part = rest.substr(from, at == std::string::npos ? std::string::npos : at - from);
    std::string name = Folder() + "/o" + std::to_string(names.size()) + ".obj";
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(part.data(), 1, part.size(), f);
    std::fclose(f);
    names.push_back(name);
    if (at == std::string::npos) break;
    from = at + 3;
  }
  std::string exe = Folder() + "/o0.exe";
  std::remove(exe.c_str());
  NullSink sink;
  if (tolvane::Link(names, options, sink)) {
    tolvane::LoadModule m;
    NullBox box;
    if (!tolvane::ReadLoadModule(exe, m, box)) std::abort();
    if (m.origin != options.origin || m.stackLimit != m.origin + m.image.size() || m.initialSp >= 0xF000) std::abort();
  }
  return 0;
}
