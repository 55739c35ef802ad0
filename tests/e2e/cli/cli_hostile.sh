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
# spin.exe: prints a line again and again, for ever.
build_spin() {
  cat >spin.cas <<'CAS'
SPIN    START
LOOP    OUT     MSG,LEN
        JUMP    LOOP
MSG     DC      'Hello, World!'
LEN     DC      13
        END
CAS
  "$cli" asm spin.cas 2>/dev/null && "$cli" link spin 2>/dev/null || fail "build spin"
}
# In a background job (whose pid it keeps): runs a command with SIGINT
# delivered as under a terminal or a grader (a script's background jobs start
# with it ignored).
with_sigint() {
  exec python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.execv(sys.argv[1], sys.argv[1:])' "$@"
}

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
  buffered_output)
    # 200,000 OUT lines to a file: at most one write call per 4 KB, and the
    # same bytes as before.
    cat >many.cas <<'CAS'
MANY    START
        LAD     GR4,0
OUTER   LAD     GR3,0
LOOP    OUT     MSG,LEN
        LAD     GR3,1,GR3
        CPL     GR3,N
        JMI     LOOP
        LAD     GR4,1,GR4
        CPA     GR4,M
        JMI     OUTER
        RET
MSG     DC      'Hello, World!'
LEN     DC      13
N       DC      50000
M       DC      4
        END
CAS
    "$cli" go many.cas >out.txt 2>err.txt || fail "go many.cas"
    [ "$(wc -l <out.txt)" -eq 200000 ] && [ "$(sort -u out.txt)" = "Hello, World!" ] || fail "the lines differ"
    if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
      # (A build with AddressSanitizer cannot look for leaks under strace.)
      ASAN_OPTIONS=detect_leaks=0 strace -c -e trace=write -o calls.txt "$cli" run many.exe >out2.txt 2>err2.txt ||
        fail "run many.exe"
      cmp -s out.txt out2.txt || fail "run and go wrote different bytes"
      calls=$(awk '$NF == "write" { print $4 }' calls.txt)
      echo "write calls for $(wc -c <out2.txt) bytes: $calls"
      [ "$calls" -le $(( $(wc -c <out2.txt) / 4096 + 2 )) ] || fail "$calls write calls"
    else
      echo "(strace unavailable: write calls not counted)"
    fi
    # Standard output and standard error into one file keep their order.
    cp "$examples/hello.cas" .
    "$cli" go hello.cas >both.txt 2>&1 || fail "go hello.cas"
    printf 'Assemble[hello.cas]\n   0 Errors\nLINK[hello.exe]\n   0 Errors\nHello, World!\nProgram terminated normally\n' >want.txt
    cmp -s both.txt want.txt || fail "order of standard output and error: $(cat both.txt)"
    # A prompt is out before the program waits for its line: the answer is
    # only written once the prompt has been seen.
    cat >ask.cas <<'CAS'
ASK     START
        OUT     Q,QLEN
        IN      BUF,LEN
        OUT     BUF,LEN
        RET
Q       DC      'NAME?'
QLEN    DC      5
BUF     DS      256
LEN     DS      1
        END
CAS
    "$cli" go ask.cas </dev/null >/dev/null 2>&1 || fail "go ask.cas"
    mkfifo answer
    "$cli" run ask.exe <answer >asked.txt 2>err3.txt &
    pid=$!
    exec 3>answer
    for _ in $(seq 100); do grep -q 'NAME?' asked.txt && break; sleep 0.1; done
    grep -q 'NAME?' asked.txt || { kill $pid; fail "the prompt did not come before IN"; }
    echo TARO >&3
    exec 3>&-
    wait $pid || fail "run ask.exe"
    [ "$(cat asked.txt)" = "$(printf 'NAME?\nTARO')" ] || fail "asked: $(cat asked.txt)"
    # A time limit's SIGTERM or SIGINT still gets every line printed so far,
    # whole lines only.
    build_spin
    for sig in TERM INT; do
      with_sigint "$cli" run spin.exe >spun.txt 2>/dev/null &
      pid=$!
      # Once the first piece is out the run is under way (a signal before that
      # ends it with nothing to write).
      for _ in $(seq 100); do [ -s spun.txt ] && break; sleep 0.1; done
      sleep 0.2
      kill -$sig $pid
      wait $pid
      lines=$(wc -l <spun.txt)
      [ "$lines" -gt 0 ] || fail "SIG$sig: no lines"
      [ "$(sort -u spun.txt)" = "Hello, World!" ] || fail "SIG$sig: broken lines"
      [ "$(tail -c 1 spun.txt | od -An -c | tr -d ' ')" = '\n' ] || fail "SIG$sig: the last line is cut"
    done
    ;;
  signal_slow_reader)
    # A signal while the run writes into a pipe that is read slowly: the line
    # being written is finished, so the reader gets whole lines only; a reader
    # that has stopped altogether holds the end back only a few seconds.
    cat >wide.cas <<'CAS'
WIDE    START
LOOP    OUT     MSG,LEN
        JUMP    LOOP
MSG     DC      'The quick brown fox jumps over the lazy dog, again and again.'
LEN     DC      61
        END
CAS
    "$cli" asm wide.cas 2>/dev/null && "$cli" link wide 2>/dev/null || fail "build wide"
    want='The quick brown fox jumps over the lazy dog, again and again.'
    for sig in TERM INT; do
      rm -f pipe spun.txt; mkfifo pipe
      # About 20 KB a second, in pieces that end anywhere in a line.
      python3 -c '
import sys, time
with open("pipe", "rb", buffering=0) as p, open("spun.txt", "wb") as out:
    while True:
        b = p.read(97)
        if not b: break
        out.write(b); out.flush(); time.sleep(0.005)' &
      reader=$!
      with_sigint "$cli" run wide.exe >pipe 2>/dev/null &
      pid=$!
      for _ in $(seq 100); do [ -s spun.txt ] && break; sleep 0.1; done
      sleep 0.5
      kill -$sig $pid
      wait $pid
      wait $reader
      [ "$(wc -l <spun.txt)" -gt 0 ] || fail "SIG$sig: no lines"
      [ "$(sort -u spun.txt)" = "$want" ] || fail "SIG$sig: broken lines: $(sort -u spun.txt | grep -vxF "$want" | head -3)"
      [ "$(tail -c 1 spun.txt | od -An -c | tr -d ' ')" = '\n' ] || fail "SIG$sig: the last line is cut"
    done
    # The reader opens the pipe and never reads: the run must still end soon.
    rm -f pipe; mkfifo pipe
    python3 -c 'import time; p = open("pipe", "rb"); time.sleep(30)' &
    reader=$!
    with_sigint "$cli" run wide.exe >pipe 2>/dev/null &
    pid=$!
    sleep 1
    start=$(date +%s)
    kill -TERM $pid
    for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $pid 2>/dev/null; then kill -9 $pid; kill $reader; fail "a stopped reader held the run after SIGTERM"; fi
    kill $reader 2>/dev/null; wait $reader 2>/dev/null
    [ $(( $(date +%s) - start )) -le 6 ] || fail "the run took too long to end"
    ;;
  interrupted_build)
    # SIGTERM or SIGINT while a build writes its outputs: no hidden temporary
    # file is left behind. Forty sources with long listings keep the build
    # writing for about a second; the signal goes as soon as a temporary file
    # is seen.
    python3 - <<'PY'
for k in range(40):
    lines = ['S%d      START' % k]
    lines += ["        DC      'The quick brown fox jumps over the lazy dog'"] * 1300
    lines += ['        RET', '        END']
    open('s%d.cas' % k, 'w').write('\n'.join(lines) + '\n')
open('big.mak', 'w').write(''.join('s%d.cas\r\n' % k for k in range(40)))
PY
    python3 - "$cli" >result.txt <<'PY' || fail "$(cat result.txt)"
import os, signal, subprocess, sys, time
hidden = lambda: [n for n in os.listdir('.') if n.startswith('.')]
for sig in (signal.SIGTERM, signal.SIGINT):
    p = subprocess.Popen([sys.argv[1], 'build', 'big.mak'], stderr=subprocess.DEVNULL,
                         preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    seen = False
    while p.poll() is None and not seen:
        if hidden():
            seen = True
            p.send_signal(sig)
        time.sleep(0.0002)
    p.wait()
    if not seen:
        print('no temporary file was ever seen (%s)' % sig.name); sys.exit(1)
    if p.returncode != -sig:
        print('%s: exit status %d' % (sig.name, p.returncode)); sys.exit(1)
    if hidden():
        print('%s left %s' % (sig.name, hidden())); sys.exit(1)
PY
    ;;
  output_errors)
    # Standard output that cannot be written is an error of its own, exit
    # status 5 with a message, in every command; a reader that has gone stops
    # the run at once.
    cp "$examples/hello.cas" .
    "$cli" go hello.cas >/dev/null 2>&1 || fail "go hello.cas"
    build_spin
    check() {  # check WHAT STATUS
      [ "$2" -eq 5 ] || fail "$1 exits $2"
      grep -q "^tolvane-cli: standard output: " err.txt || fail "$1: no message"
    }
    "$cli" run hello.exe >/dev/full 2>err.txt; check "run > /dev/full" $?
    "$cli" run spin.exe >/dev/full 2>err.txt; check "endless run > /dev/full" $?
    "$cli" go hello.cas >/dev/full 2>err.txt; check "go > /dev/full" $?
    "$cli" dump hello.exe >/dev/full 2>err.txt; check "dump > /dev/full" $?
    echo regs | "$cli" debug hello.exe >/dev/full 2>err.txt; check "debug > /dev/full" $?
    "$cli" --help >/dev/full 2>err.txt; check "--help > /dev/full" $?
    "$cli" run hello.exe >&- 2>err.txt; check "run with standard output closed" $?
    "$cli" dump hello.exe >&- 2>err.txt; check "dump with standard output closed" $?
    # Closed standard output is never taken by an output file.
    "$cli" asm hello.cas >&- 2>err.txt || fail "asm with standard output closed"
    [ "$(head -c 9 hello.obj | tr '\0' '\n' | head -n 1)" = hello.obj ] || fail "hello.obj was written to"
    # SIGPIPE ignored, the reader gone: the endless run stops.
    (trap '' PIPE; timeout 20 "$cli" run spin.exe 2>err.txt | head -n 1 >/dev/null; exit ${PIPESTATUS[0]}); status=$?
    check "endless run into a closed pipe" $status
    grep -qF "Broken pipe" err.txt || fail "no broken pipe message"
    (trap '' PIPE; echo 'go' | timeout 20 "$cli" debug spin.exe 2>err.txt | head -n 1 >/dev/null; exit ${PIPESTATUS[1]}); status=$?
    check "debug go into a closed pipe" $status
    ;;
  help_and_end_of_options)
    # Every command takes --help (and -h) anywhere before "--", and "--" ends
    # the options, so a file may begin with '-'.
    for c in asm link build run go debug dump; do
      for h in --help -h; do
        "$cli" $c $h >out.txt 2>err.txt; status=$?
        [ $status -eq 0 ] || fail "$c $h exits $status"
        head -n 1 out.txt | grep -q "^usage: tolvane-cli $c " || fail "$c $h: $(head -n 1 out.txt)"
        grep -q "^  $c " out.txt || fail "$c $h lacks the command's paragraph"
      done
      "$cli" $c some.file --help >out.txt 2>&1 || fail "$c FILE --help"
      # After "--", --help is a file name like any other.
      "$cli" $c -- --help </dev/null >out.txt 2>&1
      ! grep -q "^usage: tolvane-cli $c" out.txt || fail "$c -- --help showed the help"
    done
    cp "$examples/hello.cas" ./-x.cas
    "$cli" asm -- -x.cas 2>err.txt || fail "asm -- -x.cas"
    "$cli" link -- -x 2>err.txt || fail "link -- -x"
    "$cli" run -- -x.exe >out.txt 2>err.txt || fail "run -- -x.exe"
    [ "$(cat out.txt)" = "Hello, World!" ] || fail "run -- -x.exe printed $(cat out.txt)"
    "$cli" go -- -x.cas >out.txt 2>err.txt || fail "go -- -x.cas"
    "$cli" dump -- -x.exe >out.txt 2>err.txt || fail "dump -- -x.exe"
    echo quit | "$cli" debug --no-regs -- -x.exe >out.txt 2>err.txt || fail "debug -- -x.exe"
    "$cli" debug -x.exe </dev/null >out.txt 2>err.txt; [ $? -eq 2 ] || fail "debug -x.exe is no option error"
    ;;
  trace_interrupt)
    # Ctrl+C ends a long trace or step, as it pauses a go; the debugger then
    # reads its next command.
    cat >loop.cas <<'CAS'
SPIN    START
LOOP    LAD     GR1,1,GR1
        JUMP    LOOP
        END
CAS
    "$cli" asm loop.cas 2>/dev/null && "$cli" link loop 2>/dev/null || fail "build loop"
    for cmd in "trace 99999999999" "step 99999999999" go; do
      mkfifo commands
      with_sigint "$cli" debug --no-regs loop.exe <commands >out.txt 2>err.txt &
      pid=$!
      exec 3>commands
      # The debugger is ready once it has shown where the program starts.
      for _ in $(seq 100); do [ -s out.txt ] && break; sleep 0.1; done
      echo "$cmd" >&3
      sleep 1
      kill -INT $pid
      echo "dis LOOP 1" >&3
      echo quit >&3
      exec 3>&-
      for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
      if kill -0 $pid 2>/dev/null; then kill -9 $pid; fail "'$cmd' ignored Ctrl+C"; fi
      wait $pid || fail "'$cmd': the debugger did not go on after Ctrl+C"
      has out.txt "LOOP     LAD     GR1,#0001,GR1"
      rm commands
    done
    ;;
  many_breaks)
    # A breakpoint on every address: each add prints its own row, not the
    # whole table again.
    cp "$examples/hello.cas" .
    "$cli" go hello.cas >/dev/null 2>&1 || fail "go hello.cas"
    python3 -c "print('\n'.join('break %X' % a for a in range(65536)) + '\nquit')" >breaks.in
    timeout 100 "$cli" debug --no-sym hello.exe <breaks.in >out.txt 2>err.txt || fail "65536 breaks"
    [ "$(grep -c '有効／無効' out.txt)" -eq 65536 ] || fail "not one header per break"
    [ "$(wc -l <out.txt)" -lt 140000 ] || fail "the table was printed again"
    ;;
  *) fail "unknown case" ;;
esac
echo "ok   $name"
