#!/bin/bash
# Forced antialiasing: with a multisampled default framebuffer (--samples 4) every scene
# renders at a few times each, from its first frames to its last, without an OpenGL error or
# any message; the antialiasing shows where geometry is drawn straight into the back buffer
# (the cubes); and without --samples the pictures are the ones rendered before the option
# existed, byte for byte.
# Usage: capture_samples.sh BUILD_DIR SOURCE_ROOT
set -euo pipefail
source "$(dirname "$0")/common.bash"
reference="$SOURCE_DIR/tests/fixtures/single_sampled"
cd "$SOURCE_DIR"  # the shaders are read from ./shaders

every_scene=0.5,16.5,33.9,34.1,60,77.9,78.1,100,110.1,118,125.9,126.1,160,191.9
"$CAPTURE" --samples 4 --size 160x90 --at "$every_scene" --out "$WORK/every" 2>"$WORK/log" ||
  fail "--samples 4 failed: $(cat "$WORK/log")"
[ -s "$WORK/log" ] && fail "--samples 4 logged: $(cat "$WORK/log")"
count=$(ls "$WORK/every" | grep -c '^frame-.*\.png$')
expect "frames written with --samples 4" "$count" "==" 14

"$CAPTURE" --size 320x180 --at 5,50,85,115 --out "$WORK/single" 2>>"$WORK/log"
"$CAPTURE" --samples 4 --size 320x180 --at 115 --out "$WORK/multi" 2>>"$WORK/log"
[ -s "$WORK/log" ] && fail "the captures logged: $(cat "$WORK/log")"
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
for ms in 5000 50000 85000 115000; do
  expect "$ms ms without --samples as before" "$(differing "$reference/frame-$ms.png" "$WORK/single/frame-$ms.png")" "==" 0
done
expect "115000 ms antialiased cube edges differ" "$(differing "$WORK/single/frame-115000.png" "$WORK/multi/frame-115000.png")" ">" 500
finish_checks
