// Arbitrary bytes as a line map (after two bytes giving the object's base in
// the join): the reader must refuse them or give runs that lie in memory and
// in order, the same from a file as from memory, and a map that reads back as
// written. Joined into a module's map, an accepted object map must never make
// a module map that does not read back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ScratchFolder.h"
#include "link/LineMap.h"

namespace {

struct NullSink : tolvane::MessageSink {
  void AppendMessageLine(const std::string&) override {}
};

void Put(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void CheckRuns(const tolvane::LineMap& map) {
  for (const tolvane::LineMapSource& s : map.sources) {
    std::uint64_t end = 0;
    for (const tolvane::LineRun& r : s.runs) {
      if (r.count == 0 || r.line < 1 || r.address < end) std::abort();
      end = std::uint64_t{r.address} + r.count;
      if (end > tolvane::kMemoryWords) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > (1u << 20)) return 0;
  const std::uint32_t base = (static_cast<std::uint32_t>(data[0]) << 8) | data[1];
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string& dir = tolvane::fuzz::ScratchFolder();
  const std::string object = dir + "/o.obj", objectMap = dir + "/o.olm", module = dir + "/m.exe";

  tolvane::LineMap map;
  const bool parsed = tolvane::ParseLineMap(text, map);
  Put(objectMap, text);
  tolvane::LineMap fromFile;
  const tolvane::LineMapRead read = tolvane::ReadLineMapFile(objectMap, fromFile);
  if ((read == tolvane::LineMapRead::Ok) != parsed) std::abort();
  if (!parsed) {
    if (!(map == tolvane::LineMap{})) std::abort();
    return 0;
  }
  if (!(fromFile == map)) std::abort();
  CheckRuns(map);
  tolvane::LineMap back;
  if (!tolvane::ParseLineMap(tolvane::FormatLineMap(map), back) || !(back == map)) std::abort();

  // The join: the map made to belong to an object, placed at `base`.
  Put(object, "object");
  Put(module, "module");
  if (!tolvane::FingerprintFile(object, map.target)) std::abort();
  if (!tolvane::WriteLineMap(objectMap, map)) std::abort();
  NullSink sink;
  std::remove((dir + "/m.elm").c_str());
  tolvane::WriteModuleLineMap(module, {object}, {base}, sink);
  tolvane::LineMap joined;
  const tolvane::LineMapRead moduleRead = tolvane::ReadLineMapFile(dir + "/m.elm", joined);
  if (moduleRead != tolvane::LineMapRead::Ok && moduleRead != tolvane::LineMapRead::Missing) std::abort();
  if (moduleRead == tolvane::LineMapRead::Ok) CheckRuns(joined);
  return 0;
}
