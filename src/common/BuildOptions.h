#pragma once
#include <cstdint>

#include "common/Word.h"

namespace tolvane {

// The build settings the main window owns and passes by value.
struct BuildOptions {
  std::uint8_t listing = 1;        // write and show a listing
  std::uint8_t symbolFile = 1;     // the linker writes a .sym
  std::uint8_t symbolicDebug = 1;  // run and debug load the .sym
  Word origin = 0x0100;            // load address
  Word stackSize = 0x0800;         // stack words
};

}  // namespace tolvane
