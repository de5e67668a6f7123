#!/bin/bash
# The cubes scene through demo-capture: at 110.5 s the wall (and the first ring cubes) but
# no shape yet; at 118 s thousands of grey cubes with both lit and shadowed faces, none
# blown out to white, also in a portrait window; at 125.9 s the band has left the shape.
# A frame reached by skipping equals the one reached through every frame, and drawing from
# buffer objects gives the same bytes as drawing from client memory. Needs ImageMagick.
# Usage: cubes_frames.sh BUILD_DIR SOURCE_ROOT
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"  # the shaders are read from ./shaders

out="$WORK/frames"
"$CAPTURE" --size 320x180 --fps 10 --at 110.5,118,125.9 --out "$out" || fail "capture failed"
"$CAPTURE" --size 180x320 --fps 10 --at 118 --out "$WORK/portrait" || fail "portrait capture failed"

# share FILE CONDITION: the share of pixels for which an ImageMagick fx condition holds.
share() { convert "$1" -fx "$2 ? 1 : 0" -format "%[fx:mean]" info:; }
# The shape's cubes are the only grey ones: the wall is brown and the ring blue.
grey="saturation<0.12&&lightness>0.04"
lit="saturation<0.12&&lightness>0.4"
shadowed="saturation<0.12&&lightness>0.04&&lightness<0.22"

expect "110.5 s no shape" "$(share "$out/frame-110500.png" "$grey")" "<" 0.01
expect "110.5 s the wall behind" "$(share "$out/frame-110500.png" "r>b+0.05")" ">" 0.6
expect "110.5 s the first ring cubes" "$(share "$out/frame-110500.png" "b>r+0.05")" ">" 0.01
expect "118 s the shape's cubes" "$(share "$out/frame-118000.png" "$grey")" ">" 0.15
expect "118 s lit faces" "$(share "$out/frame-118000.png" "$lit")" ">" 0.05
expect "118 s shadowed faces" "$(share "$out/frame-118000.png" "$shadowed")" ">" 0.03
expect "118 s the ring" "$(share "$out/frame-118000.png" "b>r+0.05")" ">" 0.1
expect "118 s nothing blown out" "$(share "$out/frame-118000.png" "lightness>0.97")" "<" 0.001
expect "118 s portrait, the shape's cubes" "$(share "$WORK/portrait/frame-118000.png" "$grey")" ">" 0.05
expect "125.9 s the band has left" "$(share "$out/frame-125900.png" "$grey")" "<" 0.01
expect "125.9 s the ring has gone" "$(share "$out/frame-125900.png" "b>r+0.05")" "<" 0.001
# The wall's brown is 0.4 : 0.3 : 0.2 in every part of the picture: the 64 roundings to
# 8 bits cancel out instead of drifting each channel its own way.
for x in 0 80 160 240; do
  ratios=$(convert "$out/frame-125900.png" -crop 80x180+$x+0 +repage -format "%[fx:mean.g/mean.r] %[fx:mean.b/mean.r]" info:)
  expect "125.9 s wall green/red at x $x" "$(awk '{ d = $1 - 0.75; printf "%.6f", d < 0 ? -d : d }' <<<"$ratios")" "<" 0.02
  expect "125.9 s wall blue/red at x $x" "$(awk '{ d = $2 - 0.5; printf "%.6f", d < 0 ? -d : d }' <<<"$ratios")" "<" 0.02
done

# Every frame from the scene's start (2 per second) against a capture that skips to 118 s.
dense=$(LC_ALL=C seq -s, 110 0.5 118)
"$CAPTURE" --size 160x90 --fps 2 --at "$dense" --out "$WORK/dense" || fail "dense capture failed"
"$CAPTURE" --size 160x90 --fps 2 --at 118 --out "$WORK/skip" || fail "skipping capture failed"
cmp -s "$WORK/dense/frame-118000.png" "$WORK/skip/frame-118000.png" ||
  fail "118 s differs between every frame and skipping ahead"
echo "ok   118 s the same through every frame and skipping"

"$BUILD_DIR/tests/cubes_client_arrays" 160 90 || fail "buffer objects and client memory draw different pictures"

finish_checks
echo "cubes frames: ok"
