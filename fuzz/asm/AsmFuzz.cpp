// Assembles arbitrary bytes as a source file: analysis, operand rules,
// generation, resolution, the listing and (for clean sources) the object
// writer must neither crash nor read or write outside their buffers. Each
// line is also split into the pieces the editor colours, as bytes and as
// UTF-16 units: the pieces must lie in order inside the line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ScratchFolder.h"
#include "asm/AsmCore.h"
#include "asm/LineTokens.h"

namespace {

class NullSink : public tolvane::MessageSink {
 public:
  void AppendMessageLine(const std::string& line) override { total += line.size(); }
  std::size_t total = 0;
};

void CheckTokens(const std::vector<tolvane::LineToken>& tokens, std::size_t length) {
  std::int32_t end = 0;
  for (const tolvane::LineToken& t : tokens) {
    if (t.start < end || t.length <= 0 || static_cast<std::size_t>(t.start + t.length) > length) std::abort();
    end = t.start + t.length;
  }
}

void ScanLines(std::string_view text) {
  std::vector<tolvane::LineToken> tokens;
  std::u16string wide;
  while (!text.empty()) {
    const std::size_t cut = text.find('\n');
    const std::string_view line = text.substr(0, cut);
    tolvane::ScanLineTokens(line, tokens);
    CheckTokens(tokens, line.size());
    wide.assign(line.begin(), line.end());
    tolvane::ScanLineTokens(wide, tokens);
    CheckTokens(tokens, wide.size());
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  NullSink sink;
  auto assembler = std::make_unique<tolvane::Assembler>(sink);
  std::string listing;
  assembler->AssembleText(std::string_view(reinterpret_cast<const char*>(data), size), &listing);
  static const std::string object = tolvane::fuzz::ScratchFolder() + "/fuzz.obj";
  if (assembler->errorCount == 0) assembler->WriteObjectFile(object);
  ScanLines(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
