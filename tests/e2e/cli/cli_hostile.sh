#!/usr/bin/env bash
# tolvane-cli against hostile and unlucky input: huge files, memory running
# out, endless lines, interrupts, closed and full outputs.
# usage: cli_hostile.sh CLI EXAMPLES_DIR CASE
set -u
cli=$1; examples=$2; name=$3
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL [$name]: $*"; for f in out*.txt err*.txt; do [ -f "$f" ] && { echo "--- $f"; head -c 2000 "$f"; echo; }; done; exit 1; }
has() { grep -qF -- "$2" "$1" || fail "$1 lacks '$2'"; }
# Some cases limit the address space, which a build with AddressSanitizer
# cannot start under: they are skipped there.
limited_memory_works() { (ulimit -v 200000; "$cli" --help >/dev/null 2>&1); }

case $name in
  huge_files)
    # A file larger than any object file, load module or symbol file can be is
    # refused before it is read (sparse: no disk is used).
    for f in big.obj big.exe big.sym; do truncate -s 3G $f; done
    "$cli" dump big.exe >out.txt 2>err.txt; [ $? -eq 1 ] || fail "dump exit status"
    has err.txt "big.exeは大きすぎるため読み込めません。"
    "$cli" run big.exe >out.txt 2>err2.txt; [ $? -eq 1 ] || fail "run exit status"
    has err2.txt "big.exeは大きすぎるため読み込めません。"
    echo quit | "$cli" debug --no-sym big.exe >out3.txt 2>&1; [ $? -eq 1 ] || fail "debug exit status"
    has out3.txt "big.exeは大きすぎるため読み込めません。"
    "$cli" link big.obj >out.txt 2>err4.txt; [ $? -eq 1 ] || fail "link exit status"
    has err4.txt " Error:  big.objは大きすぎるため読み込めません。"
    ;;
  out_of_memory)
    # Memory running out is a message and exit status 1 in every command, not
    # an abort.
    limited_memory_works || { echo "skipped: the program cannot start with limited memory"; exit 0; }
    cp "$examples/hello.cas" .
    "$cli" go hello.cas >/dev/null 2>&1 || fail "go hello.cas"
    # A valid object file of 40 MB: a program with many long labels.
    python3 - <<'PY'
import struct
name = b"big.obj"
out = bytearray(name + b"\0")
out += struct.pack(">H", 0)              # entries
out += struct.pack(">H", 0)              # externals
out += struct.pack(">H", 0)              # code
out += struct.pack(">H", 0)              # relocations
out += struct.pack(">H", 65535)          # labels
for i in range(65535):
    out += (b"L%06d" % i).ljust(255, b"X") + b"\0" + struct.pack(">H", 0)
out += struct.pack(">H", 0)              # data addresses
open("big.obj", "wb").write(out)
PY
    # 40 MB cannot be held in 30 MB: dump must say so.
    (ulimit -v 30000; "$cli" dump big.obj >out.txt 2>err.txt); status=$?
    [ $status -eq 1 ] || fail "dump exits $status under limited memory"
    has err.txt "tolvane-cli dump: メモリが確保できません。"
    # The others either manage or say that memory ran out; none aborts.
    for limit in 8000 30000; do
      for cmd in "link big.obj" "run hello.exe" "debug hello.exe" "go hello.cas"; do
        (ulimit -v $limit; "$cli" $cmd </dev/null >out.txt 2>err.txt); status=$?
        [ $status -le 1 ] || fail "$cmd exits $status with $limit KB"
        if [ $status -eq 1 ] && [ "$cmd" != "link big.obj" ]; then
          grep -q "メモリが確保できません" err.txt || fail "$cmd: no out-of-memory message"
        fi
      done
    done
    ;;
  endless_lines)
    # A line of 200 MB, to IN and to debug's command reader: memory stays
    # small, IN stores its first 256 bytes, the command is cut.
    [ -x /usr/bin/time ] || { echo "skipped: no /usr/bin/time to measure memory"; exit 0; }
    cp "$examples/echo.cas" "$examples/hello.cas" .
    "$cli" go echo.cas </dev/null >/dev/null 2>&1 || fail "go echo.cas"
    "$cli" go hello.cas </dev/null >/dev/null 2>&1 || fail "go hello.cas"
    big() { head -c 200000000 /dev/zero | tr '\0' "$1"; }
    { big A; printf '\n'; } | /usr/bin/time -f %M -o rss1.txt "$cli" run echo.exe >out1.txt 2>err1.txt
    [ "$(head -c 300 out1.txt)" = "$(printf 'A%.0s' $(seq 256))" ] || fail "IN did not store the first 256 bytes"
    [ "$(cat rss1.txt)" -lt 150000 ] || fail "run used $(cat rss1.txt) KB for one endless line"
    # The end-of-input byte deep inside the dropped part still ends the input.
    { big A; printf '\032B\n'; } | "$cli" run echo.exe >out2.txt 2>err2.txt
    [ "$(od -An -c out2.txt | tr -d " ")" = "\\n" ] || fail "a line with 1AH was echoed"
    { big x; printf '\nquit\n'; } | /usr/bin/time -f %M -o rss3.txt "$cli" debug hello.exe >out3.txt 2>err3.txt
    [ "$(cat rss3.txt)" -lt 150000 ] || fail "debug used $(cat rss3.txt) KB for one endless command"
    [ "$(wc -c <out3.txt)" -lt 20000 ] || fail "debug echoed the endless command"
    has out3.txt "unknown command"
    ;;
  *) fail "unknown case" ;;
esac
echo "ok   $name"
