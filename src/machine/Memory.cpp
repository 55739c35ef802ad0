#include "machine/Memory.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tolvane {

namespace {
// A zeroed entry is "not decoded": the cache starts empty.
machine_detail::Decoded* NewDecodeCache() {
  void* p = std::calloc(kMemoryWords, sizeof(machine_detail::Decoded));
  if (p == nullptr) throw std::bad_alloc();
  return static_cast<machine_detail::Decoded*>(p);
}
}  // namespace

void Memory::Free::operator()(machine_detail::Decoded* p) const { std::free(p); }

Memory::Memory() : decoded_(NewDecodeCache()) {}

Memory::Memory(const Memory& other) : words_(other.words_), decoded_(NewDecodeCache()) {}

Memory& Memory::operator=(const Memory& other) {
  if (this != &other) {
    words_ = other.words_;
    InvalidateAllDecodes();
  }
  return *this;
}

Memory::~Memory() = default;

void Memory::fill(Word value) {
  words_.fill(value);
  InvalidateAllDecodes();
}

void Memory::InvalidateAllDecodes() {
  if (decodesClean_) return;
  std::memset(static_cast<void*>(decoded_.get()), 0, kMemoryWords * sizeof(machine_detail::Decoded));
  decodesClean_ = true;
}

}  // namespace tolvane
