#!/usr/bin/env bash
# One case of tolvane-cli's output files, in a scratch folder.
# usage: files_case.sh CLI EXAMPLES_DIR CASE
set -u
cli=$1; examples=$2; name=$3
work=$(mktemp -d); trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL [$name]: $*"; for f in err*.txt; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done; exit 1; }
same() { cmp -s "$1" "$2" || fail "$1 differs from $2"; }
# The stored name at the start of a binary file, up to its 0 byte.
stored() { head -c 300 "$1" | tr '\0' '\n' | head -n 1; }
# Only the expected names in the folder: no temporary file left behind.
only() {
  local want have
  want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
  have=$(ls -A | grep -v '^err.*\.txt$' | grep -v '^out.*\.txt$' | sort | tr '\n' ' ')
  [ "$have" = "$want" ] || fail "folder holds '$have', expected '$want'"
}

cp "$examples/hello.cas" .
cp hello.cas original.cas
mkdir outside
echo VICTIM > outside/victim

case $name in
  links_are_replaced)
    # Links in place of the outputs are replaced by the outputs; what they
    # pointed to stays as it was.
    ln -s outside/victim hello.obj
    ln -s outside/victim hello.lst
    ln -s "$work/outside/victim" hello.exe
    ln outside/victim hello.sym
    "$cli" asm hello.cas 2>err.txt || fail "asm failed"
    "$cli" link hello 2>err2.txt || fail "link failed"
    cmp -s outside/victim <(echo VICTIM) || fail "an output was written through a link"
    for f in hello.obj hello.lst hello.exe hello.sym; do
      [ -f "$f" ] && [ ! -L "$f" ] || fail "$f is not a file of its own"
    done
    # The path stored in each file is its own final path.
    [ "$(stored hello.obj)" = hello.obj ] || fail "stored name of hello.obj: $(stored hello.obj)"
    [ "$(stored hello.exe)" = hello.exe ] || fail "stored name of hello.exe: $(stored hello.exe)"
    [ "$(stored hello.sym)" = hello.sym ] || fail "stored name of hello.sym: $(stored hello.sym)"
    "$cli" run hello.exe >out.txt 2>err3.txt || fail "the linked program does not run"
    only hello.cas original.cas hello.obj hello.lst hello.exe hello.sym hello.olm hello.elm outside
    ;;
  output_same_as_input)
    # An output that is one of the inputs, by whatever name, is refused and
    # the input stays as it was.
    ln -s hello.cas hello.lst
    "$cli" asm hello.cas 2>err.txt; status=$?
    [ $status -eq 1 ] || fail "asm with hello.lst -> hello.cas exits $status"
    same hello.cas original.cas
    grep -qF " Error:  hello.lstは入力ファイルと同じファイルのため書き込めません。" err.txt || fail "no message naming hello.lst"
    [ ! -e hello.obj ] || fail "an object file was written"
    rm hello.lst
    ln hello.cas hello.obj
    "$cli" asm --no-listing hello.cas 2>err2.txt; status=$?
    [ $status -eq 1 ] || fail "asm with a hard link hello.obj exits $status"
    same hello.cas original.cas
    grep -qF " Error:  hello.objは入力ファイルと同じファイルのため書き込めません。" err2.txt || fail "no message naming hello.obj"
    rm hello.obj
    # The linker's outputs against its object files.
    "$cli" asm --no-listing hello.cas 2>err3.txt || fail "asm failed"
    cp hello.obj hello.obj.orig
    ln hello.obj hello.exe
    "$cli" link hello.obj 2>err4.txt; status=$?
    [ $status -eq 1 ] || fail "link with hello.exe = hello.obj exits $status"
    same hello.obj hello.obj.orig
    grep -qF " Error:  hello.exeは入力ファイルと同じファイルのため書き込めません。" err4.txt || fail "no message naming hello.exe"
    rm hello.exe
    ln -s hello.obj hello.sym
    "$cli" link hello.obj 2>err5.txt; status=$?
    [ $status -eq 1 ] || fail "link with hello.sym -> hello.obj exits $status"
    same hello.obj hello.obj.orig
    grep -qF " Error:  hello.symは入力ファイルと同じファイルのため書き込めません。" err5.txt || fail "no message naming hello.sym"
    rm hello.sym
    only hello.cas original.cas hello.obj hello.obj.orig hello.olm outside
    ;;
  parallel_go)
    # Twenty runs of one source in one folder, all at once: each reads whole
    # files, never another run's half-written one.
    for i in $(seq 1 20); do
      "$cli" go hello.cas >out$i.txt 2>err$i.txt &
    done
    wait
    for i in $(seq 1 20); do
      [ "$(cat out$i.txt)" = "Hello, World!" ] || fail "run $i printed '$(cat out$i.txt)'"
      grep -q "Program terminated normally" err$i.txt || fail "run $i did not end normally"
    done
    only hello.cas original.cas hello.obj hello.exe hello.sym hello.olm hello.elm outside
    ;;
  nodes_are_not_replaced)
    # A device, FIFO, socket or folder by an output's name is refused with a
    # message saying what it is, and stays. The nodes are made here, in the
    # scratch folder; nothing of the machine's /dev is touched.
    if [ "$(id -u)" = 0 ]; then
      mknod hello.obj c 1 3 || fail "mknod"
      kind=デバイス
    else
      mkfifo hello.obj
      kind=名前付きパイプ
    fi
    "$cli" asm hello.cas 2>err.txt; status=$?
    [ $status -eq 1 ] || fail "asm beside a node hello.obj exits $status"
    grep -qxF " Error:  hello.objは${kind}のため書き込めません。" err.txt || fail "no message naming hello.obj"
    [ -c hello.obj ] || [ -p hello.obj ] || fail "hello.obj was replaced"
    rm hello.obj hello.lst
    mkfifo hello.lst
    "$cli" asm hello.cas 2>err2.txt; status=$?
    [ $status -eq 1 ] || fail "asm beside a FIFO hello.lst exits $status"
    grep -qxF " Error:  hello.lstは名前付きパイプのため書き込めません。" err2.txt || fail "no message naming hello.lst"
    [ -p hello.lst ] || fail "hello.lst was replaced"
    rm hello.lst
    # A folder by an output's name is named as a folder, for the assembler's and the linker's outputs.
    mkdir hello.obj
    "$cli" asm hello.cas 2>err6.txt && fail "asm with a folder hello.obj succeeded"
    grep -qxF " Error:  hello.objはフォルダのため書き込めません。" err6.txt || fail "no message naming the folder hello.obj"
    rmdir hello.obj
    "$cli" asm hello.cas 2>/dev/null || fail "asm after the folder went"
    mkdir hello.exe
    "$cli" link hello 2>err7.txt && fail "link with a folder hello.exe succeeded"
    grep -qxF " Error:  hello.exeはフォルダのため書き込めません。" err7.txt || fail "no message naming the folder hello.exe"
    rmdir hello.exe
    rm -f hello.olm hello.elm  # the line maps go back to folders below
    # Empty folders by the line maps' names: a note, the folder stays, the
    # program is built all the same.
    mkdir hello.olm hello.elm
    "$cli" asm hello.cas 2>err3.txt || fail "asm with a folder hello.olm failed"
    grep -qxF " hello.olmはフォルダのため書き込めません。" err3.txt || fail "no note on hello.olm"
    "$cli" link hello 2>err4.txt || fail "link with a folder hello.elm failed"
    [ -d hello.olm ] && [ -d hello.elm ] || fail "a folder named like a line map was removed"
    "$cli" run hello.exe >out.txt 2>err5.txt || fail "the program does not run"
    only hello.cas original.cas hello.obj hello.lst hello.exe hello.sym hello.olm hello.elm outside
    ;;
  disk_full)
    # On a full disk the message says so; the old outputs stay whole.
    [ -n "${TOLVANE_SMALL_FS:-}" ] || { echo "skip [$name]: no small file system"; exit 0; }
    small=$TOLVANE_SMALL_FS
    cp hello.cas "$small/"
    "$cli" asm "$small/hello.cas" 2>err.txt || fail "asm on the small disk"
    cp "$small/hello.obj" hello.obj.orig
    head -c 1000000 /dev/zero >"$small/filler" 2>/dev/null
    # A source with a long listing, so that the listing no longer fits.
    { echo "BIG     START"; for i in $(seq 1 3000); do echo "        DC      'a long line of characters to fill the listing up'"; done; echo "        RET"; echo "        END"; } >"$small/hello.cas"
    "$cli" asm "$small/hello.cas" 2>err2.txt; status=$?
    [ $status -eq 1 ] || fail "asm on a full disk exits $status"
    grep -qF "がクローズできません。ディスクに空きがありません。" err2.txt || fail "the full disk is not named"
    cmp -s "$small/hello.obj" hello.obj.orig || fail "the old object file changed"
    ;;
  *) fail "unknown case" ;;
esac
echo "ok   $name"
