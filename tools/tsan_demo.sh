#!/usr/bin/env bash
# Plays the real demo built with ThreadSanitizer under a virtual display, with SDL's disk
# audio driver standing in for a sound card, for SECONDS (default 40), then ends it with
# SIGTERM and prints what ThreadSanitizer reported. Run by hand: ./tools/tsan_demo.sh [SECONDS]
set -u
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build-tsan"
seconds="${1:-40}"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DDEMO_TESTS=OFF -DDEMO_BENCHMARKS=OFF >/dev/null || exit 1
cmake --build "$BUILD" -j"$(nproc)" --target demo || exit 1

work="$(mktemp -d)"
Xvfb -displayfd 3 -screen 0 320x180x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

cd "$ROOT" || exit 1
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" TSAN_OPTIONS="halt_on_error=0" \
  "$BUILD/demo" 2>"$work/tsan.txt" &
demo=$!
sleep "$seconds"
kill -s TERM $demo
wait $demo
status=$?
echo "demo status: $status; audio written: $(stat -c %s "$work/audio.raw" 2>/dev/null || echo 0) bytes"
echo "ThreadSanitizer reports: $(grep -c '^WARNING: ThreadSanitizer' "$work/tsan.txt")"
cat "$work/tsan.txt"
