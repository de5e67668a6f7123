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

# same_pixels FPS MS: the capture at FPS of MS ms has the reference's pixels.
same_pixels() {
  local differing
  differing=$(compare -metric AE "$reference/frame-$2.png" "$WORK/$1/frame-$2.png" null: 2>&1) || true
  [ "$differing" = 0 ] && echo "ok   $1 fps $2 ms" && return
  echo "FAIL $1 fps $2 ms: $differing pixels differ from the frame rendered frame by frame at 60 fps"
  CHECK_FAILURES=$((CHECK_FAILURES + 1))
}
for ms in 126000 126517 130000 134000 147000; do same_pixels 60 $ms; done
for fps in 30 144; do
  for ms in 130000 134000 147000; do same_pixels $fps $ms; done
done
finish_checks
