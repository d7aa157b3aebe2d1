#!/usr/bin/env bash
# Line coverage of src/ by the whole suite: a Debug build with --coverage in
# its own directory, every test run, then gcovr's summary.
#   tools/coverage.sh [BUILD_DIR] [GCOVR OPTIONS...]   (default build-coverage)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-coverage}
shift || true
. "$root/scripts/packages.sh"
# shellcheck disable=SC2086
velmora_install $VELMORA_BUILD_PACKAGES $VELMORA_RUN_PACKAGES $VELMORA_TEST_PACKAGES gcovr
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build"
find "$build" -name '*.gcda' -delete
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
(cd "$build" && ctest --timeout 600 --output-on-failure)
gcovr -r "$root" --object-directory "$build" --filter "$root/src/" --print-summary "$@"
