#!/bin/sh
# End-to-end checks of `tolvane-cli link` and `tolvane-cli dump` on hand-made
# object files. Usage: link_e2e.sh CLI FIXTURES EXPECTED WORKDIR CASE
set -u
cli=$1 fixtures=$2 expected=$3 work=$4 case=$5
rm -rf "$work" && mkdir -p "$work" && cp "$fixtures"/*.obj "$fixtures"/../sources/*.cas "$work"/ && cd "$work" || exit 1
failures=0
fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }

# run EXPECTED_STATUS ARGS...: runs the tool, keeping stdout and stderr.
run() {
  want=$1; shift
  "$cli" "$@" >out.txt 2>err.txt
  got=$?
  [ "$got" -eq "$want" ] || { fail "'$*' exited $got, expected $want"; cat err.txt; }
}
same_text() {  # FILE EXPECTED_TEXT
  printf '%s\n' "$2" >want.txt
  cmp -s "$1" want.txt || { fail "$1 differs:"; diff want.txt "$1"; }
}
same_file() { cmp -s "$1" "$2" || { fail "$1 differs from $2:"; diff "$2" "$1"; }; }
hex_of() { od -An -v -tx1 "$1" | tr -d ' \n'; }
same_hex() {
  [ "$(hex_of "$1")" = "$(cat "$2")" ] || fail "bytes of $1: $(hex_of "$1")"
}

case $case in
linked)
  # Source names work: the extension becomes .obj.
  run 0 link --origin 200 --stack 0100 main.cas sub
  same_text err.txt "LINK[main.exe]
   0 Errors"
  [ -s out.txt ] && fail "link wrote to standard output"
  same_hex main.exe "$expected/main.exe.hex"
  same_hex main.sym "$expected/main.sym.hex"
  for f in main.exe main.sym main.obj; do
    run 0 dump $f
    same_file out.txt "$expected/$f.txt"
  done
  ;;
no-sym)
  run 0 link --no-sym main.obj sub.obj
  [ -f main.exe ] || fail "no main.exe"
  [ -f main.sym ] && fail "main.sym written with --no-sym"
  run 0 dump main.exe
  grep -q '^  origin       0100$' out.txt || fail "default origin"
  grep -q '^  initial SP   0909$' out.txt || fail "default stack"
  ;;
errors)
  run 1 link main
  same_text err.txt "LINK[main.exe]
 Error:  外部参照ラベルSUBが参照できません。"
  [ -f main.exe ] && fail "main.exe written after an error"
  # Assembled here, the object has its line map: the reference's line is named.
  "$cli" asm --no-listing main.cas 2>/dev/null || fail "main.cas does not assemble"
  run 1 link main
  same_text err.txt "LINK[main.exe]
 Error:  外部参照ラベルSUBが参照できません。
    at main.cas:2"
  rm -f main.obj main.olm && cp "$fixtures"/main.obj .
  run 1 link main notobj sub
  same_text err.txt "LINK[main.exe]
 Error:  notobj.objはCASLのオブジェクトファイルではありません。"
  run 1 link main missing
  same_text err.txt "LINK[main.exe]
 Error:  missing.objがオープンできません。"
  run 1 link --origin 00ff main sub
  same_text err.txt "LINK[main.exe]
 Error:  プログラムの配置開始番地は100H～EFFFHの範囲でなければなりません。"
  run 1 link --stack=EF00 main sub
  same_text err.txt "LINK[main.exe]
 Error:  スタックのサイズが大きすぎます。"
  ;;
usage)
  run 2 link
  run 2 link --origin
  run 2 link --origin 12345 main
  run 2 link --stack xyz main
  run 2 link --bogus main
  run 2 dump
  run 2 dump main.obj sub.obj
  ;;
bad-dump)
  printf 'garbage without any terminator' >garbage.bin
  run 1 dump garbage.bin
  same_text err.txt "tolvane-cli dump: garbage.binはCASLのオブジェクトファイル、実行可能ファイル、シンボルファイルのいずれでもありません。"
  head -c 20 main.obj >cut.obj
  run 1 dump cut.obj
  same_text err.txt "tolvane-cli dump: cut.objは壊れています。(ファイルが途中で終わっています)"
  run 1 dump nothing-here.exe
  same_text err.txt "tolvane-cli dump: nothing-here.exeがオープンできません。"
  # The stored name decides the kind, not the file's own extension.
  run 0 dump notobj.obj
  head -n 1 out.txt | grep -q '^Load module notobj.obj$' || fail "notobj.obj not read as a load module"
  ;;
sources)
  # Real sources through the assembler: an external CALL between two files,
  # a literal, and two programs of one file calling each other.
  rm -f main.obj sub.obj
  run 0 asm --no-listing main.cas sub.cas two.cas
  run 0 link main.cas sub.cas
  same_text err.txt "LINK[main.exe]
   0 Errors"
  run 0 dump main.exe
  same_file out.txt "$expected/src-main.exe.txt"
  run 0 dump main.sym
  same_file out.txt "$expected/src-main.sym.txt"
  run 0 run main.exe
  run 0 link --origin 200 --no-sym two
  run 0 dump two.exe
  same_file out.txt "$expected/src-two.exe.txt"
  run 0 run two.exe
  # The same entry offered twice, and an external nobody offers.
  run 1 link main sub sub
  same_text err.txt "LINK[main.exe]
 Error:  外部参照のSTART命令のラベル(SUB)が重複している。"
  ;;
*)
  fail "unknown case"
  ;;
esac
[ "$failures" -eq 0 ]
