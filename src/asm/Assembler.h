#pragma once
#include <string>

#include "common/BuildOptions.h"
#include "common/MessageSink.h"

namespace tolvane {

// Assembles one CASL II source file (path as CP932/native bytes) into the
// object file next to it (".obj") and, when `options.listing` is set, the
// listing (".lst"). Every progress and diagnostic line goes to `sink`.
// Returns 1 when the object file was written, 0 otherwise.
int Assemble(const std::string& sourcePath, BuildOptions options, MessageSink& sink);

}  // namespace tolvane
