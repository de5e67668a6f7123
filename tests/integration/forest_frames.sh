#!/bin/bash
# The forest scene through demo-capture: detailed, mid-toned pictures at 8 s and 25 s, black
# in the fade at 16.5 s, the small caption standing in the upper half of the picture before
# 16 s and the large one low in the picture after. Needs ImageMagick's convert.
# Usage: forest_frames.sh BUILD_DIR SOURCE_ROOT
set -euo pipefail
source "$(dirname "$0")/common.bash"
build=$BUILD_DIR
source=$SOURCE_DIR
out=$WORK

cd "$source"  # the shaders are read from ./shaders
"$build/demo-capture" --size 320x180 --fps 10 --at 8,12,16.5,25 --out "$out"

# measure FRAME_MS FX [convert options before the measurement]: one grey-level statistic.
measure() {
  local frame=$1 fx=$2
  shift 2
  convert "$out/frame-$frame.png" -colorspace Gray "$@" -format "%[fx:$fx]" info:
}
# Share of pixels brighter than 75 % grey (caption letters), in a region WxH+X+Y.
bright() { measure "$1" mean -crop "$2" +repage -threshold 75%; }

for frame in 8000 25000; do
  expect "$frame ms mean" "$(measure $frame mean)" ">" 0.08
  expect "$frame ms mean" "$(measure $frame mean)" "<" 0.45
  expect "$frame ms detail" "$(measure $frame standard_deviation)" ">" 0.05
  # Mean step to the darkest neighbour: textures and edges, not just a smooth gradient.
  expect "$frame ms fine detail" "$(measure $frame mean -morphology EdgeIn Diamond:1)" ">" 0.006
done
expect "8000 ms has no caption in view" "$(bright 8000 320x180+0+0)" "<" 0.005
expect "16500 ms black in the fade" "$(measure 16500 maxima)" "<" 0.02
expect "12000 ms small caption, upper half" "$(bright 12000 320x90+0+0)" ">" 0.01
expect "12000 ms small caption, not at the bottom" "$(bright 12000 320x40+0+140)" "<" 0.01
expect "25000 ms large caption, lower third" "$(bright 25000 320x60+0+120)" ">" 0.04
expect "25000 ms large caption, nothing above" "$(bright 25000 320x90+0+0)" "<" 0.005

finish_checks
