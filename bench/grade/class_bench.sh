#!/usr/bin/env bash
# Usage: class_bench.sh TOLVANE_CLI [SUBMISSIONS] [CASES]
# A whole class through the command line: SUBMISSIONS (default 3000) echo
# programs, every third wrong, against CASES (default 8) cases, on two jobs,
# in every report format. Prints the wall time and the peak memory of each.
set -u
cli=$(realpath "$1") count=${2:-3000} ncases=${3:-8}
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/class" "$tmp/cases"
for ((i = 0; i < count; i++)); do
  { printf 'ECHO    START\nLOOP    IN      BUF,LEN\n        LD      GR1,LEN\n        JMI     FIN\n'
    printf '        OUT     BUF,LEN\n'
    ((i % 3 == 2)) || printf '        JUMP    LOOP\n'
    printf 'FIN     RET\nBUF     DS      256\nLEN     DS      1\n        END\n'; } >"$tmp/class/s$i.cas"
done
for ((k = 0; k < ncases; k++)); do
  for ((l = 0; l <= k; l++)); do echo "line $l of case $k"; done >"$tmp/cases/c$k.in"
  cp "$tmp/cases/c$k.in" "$tmp/cases/c$k.out"
done
cd "$tmp"
for f in text json junit csv markdown html; do
  /usr/bin/time -f "%e %M" -o t "$cli" test --cases cases --jobs 2 --format "$f" -o "r.$f" class/*.cas
  read -r secs kib < <(tail -n 1 t)
  printf '%-9s %s submissions x %s cases: %6.2f s, peak %6.1f MB\n' "$f" "$count" "$ncases" "$secs" "$(echo "$kib / 1024" | bc -l)"
done
