#pragma once
#include <string>
#include <string_view>

#include "common/BuildOptions.h"
#include "common/MessageSink.h"
#include "link/ObjectFile.h"

namespace tolvane {

// Assembles one CASL II source file (path as CP932/native bytes) into the
// object file next to it (".obj") and, when `options.listing` is set, the
// listing (".lst"). Every progress and diagnostic line goes to `sink`.
// Returns 1 when the object file was written, 0 otherwise.
int Assemble(const std::string& sourcePath, BuildOptions options, MessageSink& sink);

// The same for a file's bytes already in memory (`name` only names it in the messages; CP932 or UTF-8 by the usual
// rule): no listing and no file is written; the object's tables land in `out`. True when it assembled without errors.
bool AssembleToObject(const std::string& name, std::string_view source, MessageSink& sink, ObjectFile& out);

}  // namespace tolvane
