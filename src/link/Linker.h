#pragma once
// The linker: joins object files into one load module (.exe) and, when the
// options ask for it, a symbol file (.sym).
#include <string>
#include <vector>

#include "common/BuildOptions.h"
#include "common/MessageSink.h"
#include "link/LineMap.h"
#include "link/LoadModule.h"
#include "link/ObjectFile.h"

namespace tolvane {

// Links `objectNames` in order. Each name's extension is replaced by ".obj"
// (so source names work too); the outputs are named after the first one with
// ".exe" and ".sym". Uses options.origin, options.stackSize and
// options.symbolFile. Progress ("LINK[...]", "   0 Errors") and every error
// line go to `sink`; an external label nobody defines is reported with the
// source file and line of the reference when the object's line map (.olm)
// belongs to it. Returns true when the .exe (and the .sym, if wanted) was
// written. Any number of inputs, paths of any length.
bool Link(const std::vector<std::string>& objectNames, BuildOptions options, MessageSink& sink);

// The same link over objects already in memory, with the same checks and
// messages ("LINK[name]"); nothing is read or written, no symbol file. True
// when `module` holds the result.
bool LinkObjects(std::vector<ObjectFile> objects, const std::string& name, BuildOptions options, MessageSink& sink,
                 LoadModule& module);
// The same with each object's line map (`lines[i]` for objects[i]; relative
// addresses, as the assembler records them), so that an error about a
// reference (an external label nobody defines) carries the source file and
// line of the reference in its record. The message text is the same.
bool LinkObjects(std::vector<ObjectFile> objects, const std::vector<LineMapSource>& lines, const std::string& name,
                 BuildOptions options, MessageSink& sink, LoadModule& module);

}  // namespace tolvane
