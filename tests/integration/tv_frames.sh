#!/bin/bash
# The television scene through demo-capture: the fade-in, the wire cube at 49 s, snow with an
# empty line drawing at 62 s, the tunnel round the middle of the picture at 70 s, nearly black
# at 77.95 s; and frames reached by skipping ahead equal to the same frames rendered one after
# another from the forest's last frame on (state inherited from the forest included).
# Needs ImageMagick's convert and compare.
# Usage: tv_frames.sh BUILD_DIR SOURCE_ROOT
set -euo pipefail
source "$(dirname "$0")/common.bash"
build=$BUILD_DIR
source=$SOURCE_DIR
out=$WORK

cd "$source"  # the shaders are read from ./shaders
"$build/demo-capture" --size 320x180 --fps 20 --at 34.5,40,49,62,70,77.95 --out "$out/stills"

# measure FILE FX [convert options before the measurement]: one grey-level statistic.
measure() {
  local file=$1 fx=$2
  shift 2
  convert "$file" -colorspace Gray "$@" -format "%[fx:$fx]" info:
}
still() { echo "$out/stills/frame-$1.png"; }
# Share of pixels that stay bright once the snow is blurred away (the strokes), in a region WxH+X+Y.
strokes() { measure "$(still "$1")" mean -blur 0x2 -crop "$2" +repage -threshold 60%; }

expect "34500 ms darker than 40000 ms (fade-in)" "$(measure "$(still 34500)" mean)" "<" \
  "$(awk -v m="$(measure "$(still 40000)" mean)" 'BEGIN { print m * 0.2 }')"
expect "40000 ms snow, not flat" "$(measure "$(still 40000)" standard_deviation)" ">" 0.1
expect "40000 ms no strokes yet" "$(strokes 40000 320x180+0+0)" "<" 0.002
expect "49000 ms cube strokes" "$(strokes 49000 320x180+0+0)" ">" 0.05
expect "49000 ms a wire frame, not a fill" "$(strokes 49000 320x180+0+0)" "<" 0.5
expect "62000 ms snow" "$(measure "$(still 62000)" standard_deviation)" ">" 0.1
expect "62000 ms snow mid-toned" "$(measure "$(still 62000)" mean)" ">" 0.15
expect "62000 ms empty line drawing" "$(strokes 62000 320x180+0+0)" "<" 0.002
for quarter in 160x90+0+0 160x90+160+0 160x90+0+90 160x90+160+90; do
  expect "70000 ms tunnel strokes in $quarter" "$(strokes 70000 $quarter)" ">" 0.2
done
expect "77950 ms nearly black" "$(measure "$(still 77950)" maxima)" "<" 0.02

# Every frame from 33.8 s (the forest's frame, then the television from its first frame)
# against the capture that skips straight to each time. Frame k of the span is at 33.8 + k / 5 s.
"$build/demo-capture" --size 320x180 --fps 5 --from 33.8 --to 70.2 --frames "$out/every" 2>/dev/null
"$build/demo-capture" --size 320x180 --fps 5 --at 34,34.2,42,49,63,70 --out "$out/skip"
for ms in 34000 34200 42000 49000 63000 70000; do
  span=$(printf "%06d" $(((ms - 33800) / 200)))
  differing=$(compare -metric AE "$out/every/frame-$span.png" "$out/skip/frame-$ms.png" null: 2>&1 || true)
  expect "$ms ms skipped equals every frame (differing pixels)" "$differing" "==" 0
done

finish_checks
