// Assembles arbitrary bytes as a source file: analysis, operand rules,
// generation, resolution, the listing and (for clean sources) the object
// writer must neither crash nor read or write outside their buffers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "asm/AsmCore.h"

namespace {

class NullSink : public tolvane::MessageSink {
 public:
  void AppendMessageLine(const std::string& line) override { total += line.size(); }
  std::size_t total = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  NullSink sink;
  auto assembler = std::make_unique<tolvane::Assembler>(sink);
  std::string listing;
  assembler->AssembleText(std::string_view(reinterpret_cast<const char*>(data), size), &listing);
  if (assembler->errorCount == 0) assembler->WriteObjectFile("/dev/null");
  return 0;
}
