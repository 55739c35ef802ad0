#pragma once
#include <cstdint>
#include <string>

namespace tolvane {

// One COMET II machine word. Stored unsigned; arithmetic instructions read it
// as two's complement, address arithmetic wraps modulo 65536.
using Word = std::uint16_t;

// Text in the core is CP932 bytes, never wide strings.
using Bytes = std::string;

constexpr std::size_t kMemoryWords = 65536;

}  // namespace tolvane
