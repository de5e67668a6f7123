#!/bin/bash
# The curves scene through demo-capture at 320x180 and 30 fps: glowing curves at 130 s,
# 160 s and 191 s, the gold word "THANKS" in the middle of the picture at 142.8 s, when the
# camera passes it (at every rate: the simulation runs in fixed steps), no greeting left at
# 191 s, 160 s the same picture when captured alone, and nothing logged. Needs ImageMagick's convert and compare.
# Usage: curves_frames.sh BUILD_DIR SOURCE_ROOT
set -euo pipefail
source "$(dirname "$0")/common.bash"
build=$BUILD_DIR
source=$SOURCE_DIR
out=$WORK
mkdir "$out/alone"

cd "$source"  # the shaders are read from ./shaders
"$build/demo-capture" --size 320x180 --fps 30 --at 130,142.8,160,191 --out "$out" 2>"$out/log"
"$build/demo-capture" --size 320x180 --fps 30 --at 160 --out "$out/alone" 2>>"$out/log"

# The compiler and OpenGL messages come to stderr: all five programs build cleanly.
if [ -s "$out/log" ]; then
  echo "FAIL the capture logged:"
  cat "$out/log"
  CHECK_FAILURES=$((CHECK_FAILURES + 1))
fi
# share FRAME_MS FX [crop]: the share of pixels (of the crop WxH+X+Y) for which FX holds.
share() {
  local frame=$1 fx=$2
  local crop=${3:-320x180+0+0}
  convert "$out/frame-$frame.png" -crop "$crop" +repage -fx "$fx" -format "%[fx:mean]" info:
}
# Curve colours keep blue at the top (magenta, cyan and white); the greetings are gold.
curve='(b > 0.3) && (b >= r - 0.05)'
gold='(r - b) > 0.25'

for frame in 130000 160000 191000; do
  expect "$frame ms curves" "$(share $frame "$curve")" ">" 0.05
  expect "$frame ms dark ground" "$(share $frame 'intensity < 0.12')" ">" 0.3
done
expect "142800 ms THANKS in the middle" "$(share 142800 "$gold" 30x12+145+72)" ">" 0.02
expect "142800 ms no gold in the corners" "$(share 142800 "$gold" 60x40+0+140)" "<" 0.001
expect "191000 ms no greeting left" "$(share 191000 "$gold")" "<" 0.0005
differing=$(compare -metric AE "$out/frame-160000.png" "$out/alone/frame-160000.png" null: 2>&1 || true)
expect "160000 ms the same alone" "$differing" "==" 0

finish_checks
