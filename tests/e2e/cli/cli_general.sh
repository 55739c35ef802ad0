#!/usr/bin/env bash
# Usage: cli_general.sh TOLVANE_CLI EXAMPLES_DIR
set -u
cli=$1 examples=$2
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fails=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; fails=$((fails+1)); fi
}

"$cli" --help >"$tmp/help" 2>&1; rc=$?
check "help exits 0" test $rc -eq 0
for c in asm link build run go debug dump; do
  check "help names $c" grep -q "^  $c" "$tmp/help"
done
"$cli" >/dev/null 2>&1; check "no command is a usage error" test $? -eq 2
"$cli" frobnicate >/dev/null 2>"$tmp/err"; rc=$?
check "unknown command is a usage error" test $rc -eq 2
check "unknown command is named" grep -q frobnicate "$tmp/err"

# File names with Japanese characters stay readable in the message lines: they are
# file-system bytes, not CP932 text.
mkdir -p "$tmp/日本語"
cp "$examples/hello.cas" "$tmp/日本語/こんにちは.cas"
(cd "$tmp" && "$cli" go 日本語/こんにちは.cas >out 2>err); rc=$?
check "go on a Japanese file name" test $rc -eq 0
check "Assemble line names the file" grep -qxF "Assemble[日本語/こんにちは.cas]" "$tmp/err"
check "LINK line names the load module" grep -qxF "LINK[日本語/こんにちは.exe]" "$tmp/err"
(cd "$tmp" && "$cli" link 日本語/ない.obj >/dev/null 2>err2); rc=$?
check "missing object fails" test $rc -eq 1
check "error line keeps path and message" grep -qxF " Error:  日本語/ない.objがオープンできません。" "$tmp/err2"

[ $fails -eq 0 ]
