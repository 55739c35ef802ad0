#include "machine/Memory.h"

#include <algorithm>
#include <cstring>

namespace tolvane {

// A zeroed entry is "not decoded": the cache starts empty.
Memory::Memory() : decoded_(new machine_detail::Decoded[kMemoryWords]()) {}

Memory::Memory(const Memory& other) : words_(other.words_), decoded_(new machine_detail::Decoded[kMemoryWords]()) {}

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

void Memory::InvalidateAllDecodes() { std::fill_n(decoded_.get(), kMemoryWords, machine_detail::Decoded{}); }

}  // namespace tolvane
