#!/usr/bin/env bash
# One scripted `tolvane-cli debug` session: writes the program's load module,
# feeds cases/CASE.in as standard input (debugger commands and the
# program's input lines) and compares standard output with cases/CASE.out.
# usage: debug_case.sh CLI CASES_DIR CASE       (UPDATE=1 rewrites CASE.out)
set -u
cli=$1; cases=$2; name=$3
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL [$name]: $*"; echo "--- stdout"; cat out.txt 2>/dev/null; echo "--- stderr"; cat err.txt 2>/dev/null; exit 1; }

# Load modules are written here word by word (hand-assembled), so that these
# sessions depend on the loader and the debugger only.
words() { for v in "$@"; do printf "\\x${v:0:2}\\x${v:2:2}"; done; }
cstr() { printf '%s\0' "$1"; }
hex4() { printf '%04X' "$1"; }
# module NAME ORIGIN STACK "WORDS" "DATA ADDRESSES" "LABEL:ADDR ...": NAME.exe and NAME.sym,
# starting at ORIGIN, the stack right after the image.
module() {
  local name=$1 origin=$2 stack=$3
  local -a image=($4) data=($5) syms=($6)
  local end=$(( 16#$origin + ${#image[@]} ))
  { cstr "$name.exe"; words "$origin" "$origin" "$(hex4 $(( end + 16#$stack )))" "$(hex4 $end)" \
      "$(hex4 ${#image[@]})" "${image[@]}" "$(hex4 ${#data[@]})" "${data[@]}"; } >"$name.exe"
  { cstr "$name.sym"; words "$(hex4 ${#syms[@]})"
    for p in "${syms[@]}"; do cstr "${p%%:*}"; words "${p##*:}"; done; } >"$name.sym"
}
build() {
  case $1 in
    # MAIN LAD GR1,0 / LAD GR2,3 / LOOP ADDA GR1,GR2 / SUBA GR2,=1 / JNZ LOOP / ST GR1,RES /
    # CALL SUB / RET / SUB CALL SUB2 / LAD GR3,7 / RET / SUB2 LAD GR4,9 / RET / ONE DC 1 / RES DS 1
    sum) module sum 0100 0010 \
      "1210 0000 1220 0003 2412 2120 0116 6200 0104 1110 0117 8000 010E 8100 8000 0113 1230 0007 8100 1240 0009 8100 0001 0000" \
      "0116 0117" "MAIN:0100 LOOP:0104 SUB:010E SUB2:0113 ONE:0116 RES:0117 =1:0116" ;;
    # MAIN LAD GR1,BUF / LAD GR2,LEN / SVC 1 / SVC 2 / RET / BUF DS 16 / LEN DS 1
    echo) module echo 0100 0010 \
      "1210 010A 1220 011A F000 0001 F000 0002 8100 0000 $(printf '0000 %.0s' {1..16}) 0000" \
      "$(printf '%04X ' $(seq 266 282))" "MAIN:0100 BUF:010A LEN:011A" ;;
    # MAIN LAD GR1,BUF / LAD GR2,LEN / SVC 1 / CALL UPPER / RET / BUF DS 4 / LEN DS 1 /
    # UPPER LD GR0,0,GR1 / RET: a routine right after a short input buffer
    upper) module upper 0100 0010 \
      "1210 0109 1220 010D F000 0001 8000 010E 8100 0000 0000 0000 0000 0000 1001 0000 8100" \
      "0109 010A 010B 010C 010D" "MAIN:0100 BUF:0109 LEN:010D UPPER:010E" ;;
    # DEEP CALL DEEP (8 stack words)
    deep) module deep 0100 0008 "8000 0100" "" "DEEP:0100" ;;
    # MAIN LAD GR1,#8100 / ST GR1,PATCH / PATCH NOP / JUMP MAIN
    patch) module patch 0100 0010 "1210 8100 1110 0104 0000 6400 0100" "" "MAIN:0100 PATCH:0104" ;;
  esac
}
assemble() {  # assemble NAME: NAME.exe and NAME.sym from cases/NAME.cas with `go`
  cp "$cases/$1.cas" .
  "$cli" go "$1.cas" </dev/null >/dev/null 2>build.txt
  [ -f "$1.exe" ] && [ -f "$1.sym" ] || { cat build.txt; fail "could not assemble $1"; }
}
two_files() {  # srcmain.exe from cases/srcmain.cas and cases/srcsub.cas, each assembled on its own
  cp "$cases/srcmain.cas" "$cases/srcsub.cas" .
  { "$cli" asm --no-listing srcmain.cas srcsub.cas && "$cli" link srcmain.cas srcsub.cas; } </dev/null >/dev/null 2>build.txt ||
    { cat build.txt; fail "could not build srcmain"; }
}
session() {  # session PROGRAM [OPTIONS...]: runs the debugger with CASE.in
  local prog=$1; shift
  "$cli" debug "$@" "$prog.exe" <"$cases/$name.in" >out.txt 2>err.txt
  status=$?
}
expect_status() { [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"; }
expect_transcript() {
  if [ "${UPDATE:-0}" = 1 ]; then cp out.txt "$cases/$name.out"; return; fi
  cmp -s out.txt "$cases/$name.out" || { diff "$cases/$name.out" out.txt | head -40; fail "transcript differs"; }
}
expect_err() { grep -qF -- "$1" err.txt || fail "standard error lacks '$1'"; }

case $name in
  breakpoints_and_step) build sum; session sum; expect_status 0; expect_transcript ;;
  echo_input) build echo; session echo; expect_status 0; expect_transcript ;;
  short_input) build upper; session upper; expect_status 0; expect_transcript ;;
  back) build echo; session echo; expect_status 0; expect_transcript ;;
  stack_overflow) build deep; session deep --no-regs; expect_status 0; expect_transcript ;;
  self_modifying) build patch; session patch; expect_status 0; expect_transcript ;;
  errors) build sum; session sum; expect_status 0; expect_transcript ;;
  # Without its line map, as a load module built by an older tool: the rows alone.
  assembled) assemble greet; rm greet.elm; session greet; expect_status 0; expect_transcript ;;
  source_lines) two_files; session srcmain; expect_status 0; expect_transcript ;;
  # A source changed after the build loses its lines; the other keeps them.
  source_changed) two_files; sed -i 's/ADDA  GR1,GR1/ADDA  GR1,GR2/' srcsub.cas; session srcmain; expect_status 0
    expect_transcript ;;
  animate) build sum; session sum; expect_status 0; expect_transcript ;;
  usage)
    "$cli" debug </dev/null >out.txt 2>err.txt; status=$?; expect_status 2
    "$cli" debug --bogus x.exe </dev/null >out.txt 2>err.txt; status=$?; expect_status 2; expect_err "--bogus"
    "$cli" debug a.exe b.exe </dev/null >out.txt 2>err.txt; status=$?; expect_status 2
    "$cli" debug missing.exe </dev/null >out.txt 2>err.txt; status=$?; expect_status 1
    grep -qF "missing.exe" out.txt || fail "no message about the missing load module"
    build sum; rm sum.sym
    "$cli" debug --no-sym sum.exe </dev/null >out.txt 2>err.txt; status=$?; expect_status 0
    grep -qF "LAD     GR1,#0000" out.txt || fail "no first row without symbols"
    ;;
  *) echo "unknown case $name"; exit 2 ;;
esac
exit 0
