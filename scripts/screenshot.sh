#!/usr/bin/env bash
# Makes docs/screenshot.png: starts the IDE under a virtual display (Xvfb) with
# an example program opened, assembles, links and runs it (F9), and saves a
# picture of the screen.
#   scripts/screenshot.sh [FILE.cas]     (default: examples/hello.cas)
# BUILD_DIR selects the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -x "$build/tolvane" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target tolvane
fi
source_file=${1:-examples/hello.cas}
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
XDG_CONFIG_HOME="$work/config" TOLVANE_SCREENSHOT="$out" xvfb-run -a -s "-screen 0 1024x720x24" \
  "$build/tolvane" "$work/$(basename "$source_file")"
echo "$out"
