#!/usr/bin/env bash
# Usage: build_e2e.sh TOLVANE_CLI RUN_CASES_DIR
# A two-file project (twomain.cas calls PRINTN in twosub.cas) built and run
# through its project file, as the IDE's Build and Run would.
set -u
cli=$1 cases=$2
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fails=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; fails=$((fails+1)); fi
}
fresh() {  # fresh DIR: the two sources in an empty folder
  rm -rf "$tmp/$1"; mkdir -p "$tmp/$1"
  cp "$cases/twomain.cas" "$cases/twosub.cas" "$tmp/$1/"
}
mak() { printf "$2" | iconv -f UTF-8 -t CP932 > "$tmp/$1"; }  # mak FILE TEXT: written as CP932

# build: every source assembled with its listing, all linked, named after the main routine.
fresh p; mak p/p.mak 'twomain.cas\r\ntwosub.cas\r\n'
(cd "$tmp" && "$cli" build p/p.mak >out 2>err); rc=$?
check "build exits 0" test $rc -eq 0
check "build writes nothing on standard output" test ! -s "$tmp/out"
for f in twomain.obj twosub.obj twomain.lst twosub.lst twomain.exe twomain.sym; do
  check "build wrote $f" test -f "$tmp/p/$f"
done
check "no load module named after the second entry" test ! -f "$tmp/p/twosub.exe"
check "Assemble line of the main routine" grep -qxF "Assemble[p/twomain.cas]" "$tmp/err"
check "sources assembled in file order" \
  test "$(grep -o 'Assemble\[[^]]*\]' "$tmp/err" | tr '\n' ' ')" = "Assemble[p/twomain.cas] Assemble[p/twosub.cas] "
check "LINK line names the load module" grep -qxF "LINK[p/twomain.exe]" "$tmp/err"

# go on the project runs its main routine.
rm "$tmp"/p/*.lst
(cd "$tmp" && "$cli" go p/p.mak </dev/null >out 2>err); rc=$?
check "go project exits 0" test $rc -eq 0
check "go project output" cmp -s "$tmp/out" "$cases/two.out"
check "go project writes no listing" test ! -f "$tmp/p/twomain.lst"
(cd "$tmp/p" && "$cli" go p.mak </dev/null >../out2 2>../err2); rc=$?
check "go from the project's own folder" test $rc -eq 0
check "go from the project's own folder output" cmp -s "$tmp/out2" "$cases/two.out"

# The first entry names the program: with the library first, the load module is named after it.
fresh q; mak q/q.mak 'twosub.cas\r\ntwomain.cas\r\n'
(cd "$tmp" && "$cli" build --no-listing q/q.mak >/dev/null 2>err); rc=$?
check "reordered project builds" test $rc -eq 0
check "load module named after the first entry" test -f "$tmp/q/twosub.exe"
check "--no-listing writes no listing" test ! -f "$tmp/q/twomain.lst"

# An object entry is linked, not assembled.
fresh o; (cd "$tmp/o" && "$cli" asm --no-listing twosub.cas 2>/dev/null); rm "$tmp/o/twosub.cas"
mak o/o.mak 'twomain.cas\r\ntwosub.obj\r\n'
(cd "$tmp" && "$cli" go o/o.mak </dev/null >out 2>err); rc=$?
check "object entry linked as it is" test $rc -eq 0
check "object entry program output" cmp -s "$tmp/out" "$cases/two.out"
check "object entry not assembled" test "$(grep -c 'Assemble\[' "$tmp/err")" -eq 1

# A project written where names ignore case, with byte-order-marked UTF-8 and LF.
fresh w; printf '\xEF\xBB\xBFTWOMAIN.CAS\nTwoSub.Cas\n' > "$tmp/w/w.mak"
(cd "$tmp" && "$cli" go w/w.mak </dev/null >out 2>err); rc=$?
check "other letter case finds the files" test $rc -eq 0
check "other letter case output" cmp -s "$tmp/out" "$cases/two.out"
check "other letter case: named after the file on disk" test -f "$tmp/w/twomain.exe"

# Japanese names: CP932 in the project file, UTF-8 on disk.
rm -rf "$tmp/j"; mkdir -p "$tmp/j"
cp "$cases/twomain.cas" "$tmp/j/メイン.cas"; cp "$cases/twosub.cas" "$tmp/j/副.cas"
mak j/j.mak 'メイン.cas\r\n副.cas\r\n'
(cd "$tmp" && "$cli" go j/j.mak </dev/null >out 2>err); rc=$?
check "Japanese entries build and run" test $rc -eq 0
check "Japanese entries output" cmp -s "$tmp/out" "$cases/two.out"
check "Japanese load module" test -f "$tmp/j/メイン.exe"
check "Japanese Assemble line readable" grep -qxF "Assemble[j/メイン.cas]" "$tmp/err"

# Refusals: nothing is assembled, exit status 1, the reason on standard error.
fresh r; mak r/r.mak 'twomain.cas\r\ngone.cas\r\n'
(cd "$tmp" && "$cli" build r/r.mak >/dev/null 2>err); rc=$?
check "missing entry refused" test $rc -eq 1
check "missing entry named" grep -qxF "エラー: gone.casが存在しません。" "$tmp/err"
check "missing entry: nothing assembled" test ! -f "$tmp/r/twomain.obj"
mak r/r.mak 'twomain.cas\r\n../twosub.cas\r\n'
cp "$cases/twosub.cas" "$tmp/"
(cd "$tmp" && "$cli" build r/r.mak >/dev/null 2>err); rc=$?
check "entry outside the folder refused" test $rc -eq 1
check "entry outside the folder named" grep -qF "../twosub.casはプロジェクトファイルと同じディレクトリのファイル名ではありません。" "$tmp/err"
check "entry outside the folder: nothing written" test ! -f "$tmp/twosub.obj" -a ! -f "$tmp/r/twomain.obj"
mak r/r.mak 'twomain.cas\r\n\r\ntwosub.cas\r\n'
(cd "$tmp" && "$cli" build r/r.mak >/dev/null 2>err); rc=$?
check "empty line refused" test $rc -eq 1
check "empty line named" grep -qF "r/r.makの2行目が空です。" "$tmp/err"
(cd "$tmp" && "$cli" build r/none.mak >/dev/null 2>err); rc=$?
check "missing project file" test $rc -eq 1
check "missing project file named" grep -qF "r/none.mak: " "$tmp/err"

# Tool failures: a source with an error stops before the link; the others are still assembled.
fresh e; printf 'X START\n LD GR9,0\n END\n' > "$tmp/e/bad.cas"
mak e/e.mak 'bad.cas\r\ntwomain.cas\r\ntwosub.cas\r\n'
(cd "$tmp" && "$cli" go e/e.mak </dev/null >out 2>err); rc=$?
check "assembly error fails" test $rc -eq 1
check "assembly error box" grep -qxF "エラー: アセンブル中にエラーが発生しました。" "$tmp/err"
check "the other sources still assembled" test -f "$tmp/e/twosub.obj"
check "no link after the error" test ! -f "$tmp/e/bad.exe"
check "nothing run" test ! -s "$tmp/out"
fresh l; mak l/l.mak 'twomain.cas\r\n'
(cd "$tmp" && "$cli" build l/l.mak >/dev/null 2>err); rc=$?
check "link error fails" test $rc -eq 1
check "link error box" grep -qxF "エラー: リンク中にエラーが発生しました。" "$tmp/err"

# Usage.
"$cli" build >/dev/null 2>&1; check "build without a file is a usage error" test $? -eq 2
"$cli" build a.mak b.mak >/dev/null 2>&1; check "build of two projects is a usage error" test $? -eq 2
"$cli" build --bogus a.mak >/dev/null 2>&1; check "unknown build option is a usage error" test $? -eq 2
"$cli" build --help >"$tmp/help" 2>&1; rc=$?
check "build --help exits 0" test $rc -eq 0
check "build --help names the command" grep -q "^  build" "$tmp/help"
"$cli" go p/p.mak x.cas >/dev/null 2>&1; check "go of a project with other files is a usage error" test $? -eq 2

[ $fails -eq 0 ]
