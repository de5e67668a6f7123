#!/bin/bash
# The curves simulation runs in fixed steps of 1/60 s, so a frame depends only on its show
# time. The references were rendered at 60 fps through every frame before the steps existed:
# at 60 fps the capture now skips to each time and must give the same bytes, and at 30 and
# 144 fps the frames at the same times (all step ticks) must too.
# Usage: curves_steps.sh BUILD_DIR SOURCE_ROOT
set -euo pipefail
source "$(dirname "$0")/common.bash"
reference="$SOURCE_DIR/tests/fixtures/curves_60fps"
times=126,126.517,130,134,147

cd "$SOURCE_DIR"  # the shaders are read from ./shaders
"$CAPTURE" --size 192x108 --fps 60 --at "$times" --out "$WORK/60" 2>"$WORK/log"
"$CAPTURE" --size 192x108 --fps 30 --at 130,134,147 --out "$WORK/30" 2>>"$WORK/log"
"$CAPTURE" --size 192x108 --fps 144 --at 130,134,147 --out "$WORK/144" 2>>"$WORK/log"
[ -s "$WORK/log" ] && fail "the captures logged: $(cat "$WORK/log")"

# differing A B: the number of pixels that differ.
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
for ms in 126000 126517 130000 134000 147000; do
  expect "60 fps $ms ms as rendered frame by frame" "$(differing "$reference/frame-$ms.png" "$WORK/60/frame-$ms.png")" "==" 0
done
for fps in 30 144; do
  for ms in 130000 134000 147000; do
    expect "$fps fps $ms ms as at 60 fps" "$(differing "$reference/frame-$ms.png" "$WORK/$fps/frame-$ms.png")" "==" 0
  done
done
finish_checks
