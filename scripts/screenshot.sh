#!/usr/bin/env bash
# Makes docs/screenshot.png: starts the IDE under a virtual display (Xvfb) with
# an example program opened, builds it, debugs it to a breakpoint and traces
# two instructions, then saves a picture of the screen: the debug window with
# the breakpoint mark, the current row, the changed values marked, the memory
# dump and the watches.
#   scripts/screenshot.sh [FILE.cas [STEPS]]   (default: examples/decimal.cas)
# STEPS are menu commands separated by spaces; "break:LABEL" sets a
# breakpoint. BUILD_DIR selects the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -x "$build/tolvane" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target tolvane
fi
source_file=${1:-examples/decimal.cas}
steps=${2:-"mnuBuild mnuDebugWindow mnuDebugStart break:PUTDIG mnuGo mnuTrace mnuTrace"}
# Work on a copy, so that the .obj, .lst, .exe and .sym stay out of the tree.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source_file" "$work/"
# The default options, in a settings folder of the picture's own (no first-start notice).
mkdir -p "$work/config/ORVELL"
printf '[Option]\nAutoIndent=1\nBackColor=4278190085\nDOSYM=0\nFontColor=4278190088\nFontName=ＭＳ ゴシック\nFontSize=12\nL=0\nORG=0100\nRun=0\nST=0800\nSYM=0\nUnAsmDataToMachine=0\n' \
  >"$work/config/ORVELL/Tolvane.conf"
out="$PWD/docs/screenshot.png"
mkdir -p docs
XDG_CONFIG_HOME="$work/config" TOLVANE_SCREENSHOT="$out" TOLVANE_SCREENSHOT_STEPS="$steps" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/tolvane" "$work/$(basename "$source_file")"
echo "$out"
