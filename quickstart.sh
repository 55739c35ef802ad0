#!/usr/bin/env bash
# Tolvane's two entry points on a fresh Debian 12 machine:
#   ./quickstart.sh run [FILE.cas]   install what is missing, build, start the IDE
#   ./quickstart.sh test             install what is missing, build, run every test
# Both are idempotent.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(g++ clang cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libclang-rt-14-dev qt6-base-dev qt6-svg-dev xvfb xauth fonts-ipafont-gothic time
          libtomlplusplus-dev nlohmann-json3-dev libxml2-utils neovim chromium clang-format)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  local strict=()
  [ -n "${WERROR:-}" ] && strict=(-DTOLVANE_WERROR=ON)
  cmake -S . -B "$dir" -G Ninja "${strict[@]}" "$@" >/dev/null
  cmake --build "$dir"
}

# The libFuzzer targets, built with clang, each run for a few seconds on its
# seeds: a quick look for crashes in the readers, the assembler and the machine.
fuzz_briefly() {
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTOLVANE_FUZZ=ON -DTOLVANE_GUI=OFF \
    -DTOLVANE_TESTS=OFF -DTOLVANE_BENCH=OFF -DTOLVANE_WERROR=ON -DTOLVANE_FUZZ_SECONDS=5 >/dev/null
  cmake --build build-fuzz --target fuzzers
  ctest --test-dir build-fuzz --output-on-failure -j2 -L fuzz
}

case "${1:-run}" in
  run)
    install_missing
    build build
    shift || true
    if [ -x build/tolvane ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
      exec build/tolvane "$@"
    fi
    if [ -x build/tolvane ]; then
      echo "No display: the IDE needs one. Try 'xvfb-run build/tolvane', or the terminal tool:" >&2
    fi
    example=${1:-examples/hello.cas}
    echo "build/tolvane-cli go $example" >&2
    exec build/tolvane-cli go "$example"
    ;;
  test)
    install_missing
    export QT_QPA_PLATFORM=offscreen
    WERROR=1  # the CI build: a compiler warning fails it
    fuzz_briefly
    build build
    ctest --test-dir build --output-on-failure -j2
    # The core and the windows' Qt Test programs once more under
    # AddressSanitizer and UndefinedBehaviorSanitizer.
    build build-asan -DTOLVANE_SANITIZE=ON -DTOLVANE_GUI=ON -DTOLVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
    ctest --test-dir build-asan --output-on-failure -j2 -L 'core|gui'
    ;;
  *)
    echo "usage: $0 run [FILE.cas] | test" >&2
    exit 2
    ;;
esac
