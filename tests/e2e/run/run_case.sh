#!/usr/bin/env bash
# One end-to-end case of `tolvane-cli go` / `run`: builds fixtures from cases/ in a
# scratch folder, feeds the given standard input and compares standard output
# byte for byte, the exit status and key lines of standard error.
# usage: run_case.sh CLI CASES_DIR CASE
set -u
cli=$1; cases=$2; name=$3
examples=$(cd "$cases/../../../../examples" && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL [$name]: $*"; echo "--- stdout"; cat out.txt 2>/dev/null; echo "--- stderr"; cat err.txt 2>/dev/null; exit 1; }

# go FIXTURE... [-- ARGS]: copies the fixtures, runs go with stdin from $stdin.
stdin=/dev/null
go() {
  local files=() args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do cp "$cases/$1" .; files+=("$1"); shift; done
  [ $# -gt 0 ] && shift && args=("$@")
  "$cli" go "${args[@]}" "${files[@]}" <"$stdin" >out.txt 2>err.txt
  status=$?
}
expect_status() { [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"; }
expect_out() { cmp -s out.txt "$cases/$1" || fail "standard output differs from $1"; }
expect_empty_out() { [ ! -s out.txt ] || fail "standard output is not empty"; }
expect_err() { grep -qF -- "$1" err.txt || fail "standard error lacks '$1'"; }

case $name in
  hello)
    go hello.cas; expect_status 0
    printf 'Hello, world!\n' > want.txt; cmp -s out.txt want.txt || fail "stdout"
    expect_err "Program terminated normally"
    ;;
  echo_cp932)
    stdin=$cases/echo.in; go echo.cas; expect_status 0; expect_out echo.out ;;
  ctrl_z_ends_input)
    # a line holding 1AH anywhere is the end of input, like Ctrl+Z in the console
    stdin=$cases/ctrlz.in; go echo.cas; expect_status 0; expect_out ctrlz.out ;;
  two_files_external_call)
    go twomain.cas twosub.cas; expect_status 0; expect_out two.out
    [ -f twomain.exe ] && [ -f twomain.sym ] && [ -f twosub.obj ] || fail "outputs not named after the first file"
    [ ! -f twomain.lst ] || fail "a listing was written without --listing"
    ;;
  objects_as_they_are)
    # the second entry is linked from its .obj, built by the first go
    go twomain.cas twosub.cas; expect_status 0
    rm twosub.cas twomain.exe
    "$cli" go twomain.cas twosub.obj <"$stdin" >out.txt 2>err.txt; status=$?
    expect_status 0; expect_out two.out ;;
  listing_on_request)
    go hello.cas -- --listing; expect_status 0
    [ -f hello.lst ] || fail "no listing with --listing" ;;
  recursion)
    go recur.cas; expect_status 0; expect_out recur.out ;;
  stack_overflow)
    go deep.cas; expect_status 3; expect_out deep.out
    expect_err "スタックオーバーフロー"; expect_err "Program terminated abnormally" ;;
  undefined_instruction)
    go bad.cas; expect_status 3; expect_out bad.out
    expect_err "Undefined instruction FF00"; expect_err "Program terminated abnormally" ;;
  max_steps)
    go spin.cas -- --max-steps 1000; expect_status 4; expect_empty_out
    expect_err "Stopped after 1000 instructions"; expect_err "GR0=" ;;
  register_dump)
    go hello.cas -- --regs; expect_status 0
    tail -n 3 err.txt > tail.txt
    [ "$(sed -n 1p tail.txt)" = "Program terminated normally" ] || fail "termination line"
    sed -n 2p tail.txt | grep -Eq '^GR0=[0-9A-F]{4}( GR[1-7]=[0-9A-F]{4}){7}$' || fail "register line 1"
    sed -n 3p tail.txt | grep -Eq '^>PR=0100 SP=[0-9A-F]{4} FR=\(OF=[01] SF=[01] ZF=[01]\) (plus|zero|minus)( overflow)?$' \
      || fail "register line 2"
    ;;
  run_exe)
    go hello.cas; rm -f out.txt
    "$cli" run hello.exe >out.txt 2>err.txt; status=$?
    expect_status 0; printf 'Hello, world!\n' > want.txt; cmp -s out.txt want.txt || fail "stdout"
    "$cli" run --sym hello.exe >out.txt 2>err.txt; status=$?; expect_status 0
    "$cli" run --sym hello.xyz >out.txt 2>err.txt; status=$?; expect_status 0  # any extension names the .exe
    rm hello.sym
    "$cli" run --sym hello.exe >out.txt 2>err.txt; status=$?; expect_status 1; expect_err "hello.sym"
    ;;
  run_failures)
    "$cli" run missing.exe >out.txt 2>err.txt; status=$?; expect_status 1; expect_err "missing.exe"
    "$cli" run >out.txt 2>err.txt; status=$?; expect_status 2
    "$cli" run --max-steps 0 x.exe >out.txt 2>err.txt; status=$?; expect_status 2
    "$cli" run --bogus x.exe >out.txt 2>err.txt; status=$?; expect_status 2
    "$cli" go >out.txt 2>err.txt; status=$?; expect_status 2
    "$cli" go nothere.cas >out.txt 2>err.txt; status=$?; expect_status 1; expect_err "nothere.cas"
    printf 'X START\n LD GR9,0\n END\n' > broken.cas
    "$cli" go broken.cas >out.txt 2>err.txt; status=$?; expect_status 1
    expect_err "アセンブル中にエラーが発生しました。"; [ ! -f broken.exe ] || fail "linked after a failed assembly"
    cp "$cases/twomain.cas" .   # PRINTN is nowhere: the link fails
    "$cli" go twomain.cas >out.txt 2>err.txt; status=$?; expect_status 1
    expect_err "リンク中にエラーが発生しました。"; [ ! -s out.txt ] || fail "ran after a failed link"
    ;;
  examples)
    # the shipped examples, built and run as a user would
    cp "$examples"/*.cas .
    "$cli" go hello.cas </dev/null >out.txt 2>err.txt; status=$?; expect_status 0
    printf 'Hello, World!\n' > want.txt; cmp -s out.txt want.txt || fail "hello"
    printf 'こんにちは、ＣＡＳＬ abc\n' > in.txt
    "$cli" go echo.cas <in.txt >out.txt 2>err.txt; status=$?; expect_status 0
    cmp -s out.txt in.txt || fail "echo"
    "$cli" go echo.cas </dev/null >out.txt 2>err.txt; status=$?; expect_status 0
    printf '\n' > want.txt; cmp -s out.txt want.txt || fail "echo at end of input: OUT of length FFFFH is an empty line"
    "$cli" go decimal.cas </dev/null >out.txt 2>err.txt; status=$?; expect_status 0
    printf '1234\n0\n-32768\n' > want.txt; cmp -s out.txt want.txt || fail "decimal"
    ;;
  *) echo "unknown case $name"; exit 2 ;;
esac
exit 0
