#!/usr/bin/env bash
# Usage: grade_e2e.sh TOLVANE_CLI FIXTURE_DIR
# Judges a small class (class/) against three cases (cases/) in every report
# format and compares with the expected reports (expected/); times are set to 0
# first, as they differ from run to run. Then shards and their merge, and the
# inputs a teacher gets wrong.
set -u
cli=$1 fixtures=$2
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fails=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; fails=$((fails+1)); fi
}
same() {  # same NAME EXPECTED GOT
  if diff -u "$2" "$3" >"$tmp/diff"; then echo "ok   $1"; else echo "FAIL $1"; cat "$tmp/diff"; fails=$((fails+1)); fi
}
untimed() { sed -E 's/"seconds": [0-9.e+-]+/"seconds": 0/; s/time="[0-9.e+-]+"/time="0"/g' "$@"; }

cp -r "$fixtures/class" "$fixtures/cases" "$tmp/"
cd "$tmp"
subs=(class/correct.cas class/wrong.cas class/loop.cas class/broken.cas class/undefined.cas
      "class/endless printer.cas" class/multi)
(cd class && find . | sort) >before

for f in text json junit csv markdown; do
  "$cli" test --cases cases --jobs 2 --format $f "${subs[@]}" >"report.$f" 2>err; rc=$?
  check "$f: some case failed, exit 1" test $rc -eq 1
  check "$f: nothing on standard error" test ! -s err
  untimed "report.$f" >"report.$f.0"
  same "$f report" "$fixtures/expected/report.$f" "report.$f.0"
done
check "the JUnit report is well-formed XML" xmllint --noout report.junit
# Its times as measured (not set to 0), against the schema CI servers use.
check "the JUnit report passes the schema" xmllint --noout --schema "$fixtures/junit.xsd" report.junit
"$cli" test --cases cases --format csv -o out.csv "${subs[@]}" >stdout; rc=$?
check "-o: exit 1, nothing on standard output" test $rc -eq 1 -a ! -s stdout
same "-o writes the report" report.csv out.csv
# What stands where the report should go is named before any program is judged.
mkdir folder.csv && mkfifo fifo.csv
for target in folder fifo; do
  timeout 20 "$cli" test --cases cases --format csv -o $target.csv "${subs[@]}" >stdout 2>err; rc=$?
  check "-o onto a $target: exit 2, nothing on standard output" test $rc -eq 2 -a ! -s stdout
  check "-o onto a $target: named as what is in the way" grep -qi "$target.csv: a $target is in the way" err
done
check "-o onto a folder or FIFO: both still there" test -d folder.csv -a -p fifo.csv
"$cli" test --cases cases class/correct.cas class/multi >/dev/null; rc=$?
check "every case passed: exit 0" test $rc -eq 0
(cd class && find . | sort) >after
same "nothing written beside the submissions" before after

# Shards judge every N-th submission; their merge is the whole report.
for i in 1 2 3; do
  "$cli" test --cases cases --shard $i/3 --format json -o shard$i.json "${subs[@]}"
done
check "shard 2/3 holds submissions 2 and 5" test "$(grep -c '"build"' shard2.json)" -eq 2
"$cli" test --merge --format json shard3.json shard1.json shard2.json >merged.json; rc=$?
check "merge: exit 1 as the whole" test $rc -eq 1
untimed merged.json >merged.json.0
same "merged shards equal the whole report" "$fixtures/expected/report.json" merged.json.0
"$cli" test --merge --format csv shard1.json shard2.json shard3.json >merged.csv
same "merge into another format" report.csv merged.csv

# A .mak naming its sources in CP932 Japanese and in other letter case builds
# under test as under go: both go through the same build plan.
mkdir jp && cp class/multi/main.cas "jp/$(printf '\343\201\202').cas" && cp class/multi/sub.cas jp/sub.cas
printf '\202\240.cas\r\nSUB.CAS\r\n' >jp/p.mak
cp -r jp jp-go
printf 'hello\n' | "$cli" go jp-go/p.mak >go.out 2>go.err; rc=$?
check "go builds the CP932 project" test $rc -eq 0 -a "$(cat go.out)" = hello
"$cli" test --cases cases jp >jp.txt 2>&1; rc=$?
check "test builds the CP932 project as go does" test $rc -eq 0
"$cli" test --cases cases jp/p.mak >jp.txt 2>&1; rc=$?
check "test builds the CP932 project named directly" test $rc -eq 0

# A folder, or a .mak that is a link to the hidden cases: refused, never echoed.
mkdir peek && cp class/correct.cas peek/main.cas && ln -s "$PWD/cases/one.out" peek/p.mak
"$cli" test --cases cases peek >peek.txt 2>&1; rc=$?
check "a .mak linked to a case: exit 1" test $rc -eq 1
check "a .mak linked to a case: named as refused" grep -q "p.mak: a link that leaves" peek.txt
check "a .mak linked to a case: nothing of it shown" test "$(grep -c hello peek.txt)" -eq 0

"$cli" test --cases cases --format html -o report.html "${subs[@]}"; rc=$?
check "html: exit 1 as the verdicts" test $rc -eq 1
check "html: a page the HTML parser reads without a complaint" test -z "$(xmllint --html --noout report.html 2>&1)"
check "html: every submission in the matrix" test "$(grep -c '<tr><th>class/' report.html)" -eq ${#subs[@]}
# As a teacher opens it: a browser builds the whole matrix, and nothing in it is a script.
timeout 60 chromium --headless --no-sandbox --disable-gpu --user-data-dir="$tmp/chromium" \
    --dump-dom "file://$tmp/report.html" >dom.html 2>/dev/null
check "html: the browser builds the matrix" test "$(grep -c '<tr><th>class/' dom.html)" -eq ${#subs[@]}
check "html: no script element in the page as built" test "$(grep -ci '<script' dom.html)" -eq 0

# The course platforms' result files, for one submission.
mkdir vis && cp cases/* vis/ && printf '[case.one]\nvisibility = "hidden"\n' >>vis/cases.toml
"$cli" test --cases vis --format gradescope -o gs.json class/wrong.cas; rc=$?
check "gradescope: exit 1 as the verdicts" test $rc -eq 1
check "gradescope: results.json as the platform reads it" python3 - gs.json <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))
assert r["score"] == 2 and "execution_time" in r and "output" in r
t = {x["name"]: x for x in r["tests"]}
assert [x["number"] for x in r["tests"]] == ["1", "2", "3"]
assert t["one"]["visibility"] == "hidden" and t["empty"]["visibility"] == "visible"
assert t["two"]["status"] == "failed" and t["two"]["score"] == 0 and t["two"]["max_score"] == 2
assert "second line" in t["two"]["output"] and t["one"]["status"] == "passed"
PY
"$cli" test --cases cases --format classroom -o cr.json class/broken.cas
check "classroom: the autograding result" python3 - cr.json <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))
assert r["version"] == 1 and r["status"] == "error" and r["max_score"] == 4
assert all(t["status"] == "error" and t["score"] == 0 and "broken.cas:3" in t["message"] for t in r["tests"])
PY

# A merge takes every shard once, all judged against the same cases.
refused() {  # refused NAME PATTERN REPORT...: exit 2 with a message matching PATTERN
  local name=$1 pattern=$2; shift 2
  "$cli" test --merge "$@" >/dev/null 2>err; rc=$?
  check "merge refuses $name: exit 2" test $rc -eq 2
  check "merge refuses $name: says why" grep -q "$pattern" err
}
refused "a shard given twice" "given twice" shard1.json shard2.json shard3.json shard2.json
refused "a missing shard" "shards missing: 2/3" shard1.json shard3.json
printf 'changed\n' >>cases/two.out
"$cli" test --cases cases --shard 2/3 --format json -o other2.json "${subs[@]}"
cp "$fixtures/cases/two.out" cases/two.out
refused "shards of other cases" "other cases" shard1.json other2.json shard3.json
# The case of a difference without its expected line (once read past the end of a buffer).
sed '/"expected_line": null,/d; s/"line_number": null/"line_number": 3/' shard1.json >nofield.json
refused "a report with a field missing" "not a grading report" nofield.json shard2.json shard3.json
printf '{"submissions": []}\n' >old.json
refused "a report without its cases digest" "cases_digest" old.json

# Inputs a teacher gets wrong: a message or a verdict, never a crash.
usage() {  # usage NAME ARGS...: exit 2 with a message
  local name=$1; shift
  "$cli" test "$@" >/dev/null 2>err; rc=$?
  check "$name: exit 2" test $rc -eq 2
  check "$name: a message" grep -q "tolvane-cli test:" err
}
usage "no --cases" class/correct.cas
usage "no submission" --cases cases
usage "cases folder missing" --cases nowhere class/correct.cas
mkdir nocase && printf 'x\n' >nocase/a.in
usage "a case without .out" --cases nocase class/correct.cas
mkdir huge && truncate -s 100M huge/big.out
usage "a case file of 100 MB" --cases huge class/correct.cas
mkdir badtoml && printf '\n' >badtoml/a.out && printf '[case.a]\nmax_step = 3\n' >badtoml/cases.toml
usage "a misspelt setting in cases.toml" --cases badtoml class/correct.cas
check "the setting is named" grep -q "max_step" err
usage "bad --shard" --cases cases --shard 4/3 class/correct.cas
usage "bad --format" --cases cases --format xml class/correct.cas
usage "merge of something else" --merge class/correct.cas
usage "gradescope for two submissions" --cases cases --format gradescope class/correct.cas class/wrong.cas

mkdir empty-folder
name=$(printf 'bad\377name.cas')
cp class/correct.cas "$name"
"$cli" test --cases cases --format json nowhere.cas empty-folder cases/one.in "$name" >odd.json 2>err; rc=$?
check "odd submissions: exit 1" test $rc -eq 1
check "odd submissions: no crash message" test ! -s err
check "missing file is a build error" grep -q '"no such file or folder\|nowhere.cas: no such file or folder' odd.json
check "folder without .cas is named" grep -q "a folder without .cas files" odd.json
check "other file is refused" grep -q "not a .cas file, a folder or a .mak" odd.json
check "a name that is not UTF-8 still passes" test "$(grep -c '"verdict": "pass"' odd.json)" -eq 3
"$cli" test --cases cases --format junit "$name" >odd.xml
check "JUnit stays well-formed with a name that is not UTF-8" xmllint --noout odd.xml

echo "$fails failed"
test $fails -eq 0
