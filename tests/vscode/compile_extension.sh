#!/usr/bin/env bash
# compile_extension.sh SOURCE WORK: builds the extension in SOURCE from a copy
# in WORK, so that the source folder gets no node_modules. The packages are
# installed again only when package-lock.json has changed since the last run.
set -euo pipefail
src=$1
work=$2
if ! command -v npm >/dev/null 2>&1 || ! command -v node >/dev/null 2>&1; then
  echo "SKIPPED: npm and node are not installed, so the editor extension is not built"
  exit 77
fi
mkdir -p "$work"
rm -rf "$work/src" "$work/syntaxes" "$work/test" "$work/out"
cp -R "$src/src" "$src/syntaxes" "$src/test" "$work/"
cp "$src/package.json" "$src/package-lock.json" "$src/tsconfig.json" "$src/language-configuration.json" \
  "$src/.vscodeignore" "$src/README.md" "$work/"
cd "$work"
if ! cmp -s package-lock.json node_modules/.tolvane-lock; then
  npm ci --no-audit --no-fund
  cp package-lock.json node_modules/.tolvane-lock
fi
npm run compile
npm test
npx vsce package --allow-missing-repository -o "$work/tolvane-casl2.vsix"
