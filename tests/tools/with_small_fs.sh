#!/usr/bin/env bash
# Usage: with_small_fs.sh COMMAND [ARGS...]
# Runs COMMAND with TOLVANE_SMALL_FS naming an empty 256 KB file system of its
# own (a tmpfs in a private mount namespace, gone when COMMAND ends), so that a
# test can fill a disk up without touching any other. Where no such file system
# can be mounted (no root, no user namespaces) COMMAND runs without the variable
# and the tests that need it skip.
set -u
mountpoint=$(mktemp -d)
trap 'rmdir "$mountpoint" 2>/dev/null' EXIT
inner='mount -t tmpfs -o size=256k tmpfs "$0" 2>/dev/null && export TOLVANE_SMALL_FS="$0"; exec "$@"'
for how in "unshare --mount" "unshare --map-root-user --mount"; do
  if $how true 2>/dev/null; then
    $how bash -c "$inner" "$mountpoint" "$@"
    exit $?
  fi
done
"$@"
