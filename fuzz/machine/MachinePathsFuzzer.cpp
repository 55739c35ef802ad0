// Differential fuzzer: the debugger's step (hooks on) and the plain-run loop must
// leave the same registers, memory and console output for any memory contents.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "machine/Cpu.h"
#include "machine/Svc.h"

namespace {

using namespace tolvane;

class Console : public ConsolePort {
 public:
  explicit Console(std::vector<Bytes> lines) : lines_(std::move(lines)) {}
  Bytes ConsoleReadLine() override {
    if (next_ >= lines_.size()) return "\x1A";
    return lines_[next_++];
  }
  void ConsoleWrite(const Bytes& text) override { out.push_back(text); }
  std::vector<Bytes> out;

 private:
  std::vector<Bytes> lines_;
  std::size_t next_ = 0;
};

class Hooks : public MachineHooks {
 public:
  void UnAsmStoreAt(Word) override {}
  void UnAsmRefreshAt(Word) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 24) return 0;
  CCpu start;
  for (int i = 0; i < CCpu::kCount; ++i) start.Registers()[i] = static_cast<Word>(data[2 * i] << 8 | data[2 * i + 1]);
  data += 24;
  size -= 24;
  // The rest is program words placed at PR, plus two short input lines.
  auto a = std::make_unique<Memory>();
  a->fill(0);
  std::size_t words = size / 2;
  for (std::size_t i = 0; i < words && i < 4096; ++i)
    (*a)[static_cast<Word>(start.GetPR() + i)] = static_cast<Word>(data[2 * i] << 8 | data[2 * i + 1]);
  std::vector<Bytes> lines = {Bytes(reinterpret_cast<const char*>(data), size < 8 ? size : 8), "AB\x82\xA0"};
  auto b = std::make_unique<Memory>(*a);

  constexpr std::uint64_t kSteps = 5000;
  CCpu x = start, y = start;
  Console cx(lines), cy(lines);
  Hooks hooks;
  hooks.unAsmTracking = true;
  for (std::uint64_t n = 0; n < kSteps; ++n) {
    const Word first = (*a)[x.GetPR()];
    if (x.Execute(*a, cx, &hooks) != ExecStatus::Continue || InstructionWords(first) == 0) break;
  }
  RunToEnd(y, *b, cy, kSteps);
  if (x.Registers() != y.Registers() || *a != *b || cx.out != cy.out) std::abort();
  return 0;
}
