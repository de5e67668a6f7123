# --gl-debug and --samples: over frames of every scene, single-sampled and multisampled, stills
# and a span across a scene switch, the debug context's driver reports nothing. Without
# --samples the pictures are the ones rendered before the option existed, byte for byte; with
# it the cubes, drawn straight into the back buffer, are antialiased.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"  # the shaders are read from ./shaders
reference="$SOURCE_DIR/tests/fixtures/single_sampled"

every_scene=0.5,16.5,33.9,34.1,60,77.9,78.1,100,110.1,118,125.9,126.1,160,191.9
for samples in 0 4; do
  "$CAPTURE" --gl-debug --samples $samples --size 160x90 --at "$every_scene" --out "$WORK/every-$samples" \
    2>"$WORK/log" && [ ! -s "$WORK/log" ] && [ "$(ls "$WORK/every-$samples" | grep -c '^frame-.*\.png$')" = 14 ] ||
    fail "--gl-debug --samples $samples failed, the driver reported or not 14 frames: $(cat "$WORK/log")"
done
# A span capture reports its progress on stderr; the driver must add nothing to it.
"$CAPTURE" --gl-debug --samples 4 --size 160x90 --frames "$WORK/span" --from 33.95 --to 34.05 2>"$WORK/log" &&
  ! grep -q 'GL debug' "$WORK/log" || fail "--gl-debug --samples 4 span failed or the driver reported: $(cat "$WORK/log")"

"$CAPTURE" --size 320x180 --at 5,50,85,115 --out "$WORK/single" 2>"$WORK/log"
"$CAPTURE" --samples 4 --size 320x180 --at 115 --out "$WORK/multi" 2>>"$WORK/log"
[ -s "$WORK/log" ] && fail "the captures logged: $(cat "$WORK/log")"
differing() { compare -metric AE "$1" "$2" null: 2>&1; }
for ms in 5000 50000 85000 115000; do
  d=$(differing "$reference/frame-$ms.png" "$WORK/single/frame-$ms.png")
  [ "$d" = 0 ] || fail "$ms ms without --samples differs from before in $d pixels"; done
d=$(differing "$WORK/single/frame-115000.png" "$WORK/multi/frame-115000.png")
awk -v d="$d" 'BEGIN { exit !(d ~ /^[0-9.e+]+$/ && d + 0 > 500) }' || fail "antialiasing changed $d pixels of the cubes"
echo "capture gl debug: ok"
