#!/bin/sh
# Renders docs/window.png from the real window, offscreen.
# Usage: tools/make_window_png.sh [build folder]   (default: build-app)
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-app}
cmake --build "$build" --target velmora_grab_window
QT_QPA_PLATFORM=offscreen "$build/src/app/velmora_grab_window" "$root/docs/window.png"
