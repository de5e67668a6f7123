# Per-pass statistics of a capture with the software renderer: two frames of every scene, each
# frame naming every pass its scene's render() runs, once, in order; times that add up to no
# more than the frame's own GPU time; steps that draw nothing reported as zero work; the
# summary on stderr; and the option refused where there are no frames to measure.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"

is_number() { [[ "$1" =~ ^[0-9]+(\.[0-9]+)?$ ]]; }

# The passes each scene's render() measures, read from the source: MEASURED_PASS(name(...)).
# A bare call of a member function ending in Pass there would be a pass left unmeasured.
render_passes() {
  local body
  body=$(sed -n "/::render() {/,/^}/p" "$1")
  [ -n "$body" ] || fail "no render() in $1"
  if grep -Eq '^ +[a-z][A-Za-z]*Pass\(.*\);' <<<"$body"; then
    fail "$1: a pass in render() is not measured: $(grep -E '^ +[a-z][A-Za-z]*Pass\(' <<<"$body")"
  fi
  grep -o 'MEASURED_PASS([A-Za-z]*' <<<"$body" | sed 's/MEASURED_PASS(//' | awk '!seen[$0]++' | tr '\n' ' '
}
# The scenes as the tool lists them, and two frames 2 s into each.
listing=$("$CAPTURE" --list-scenes) && [ -n "$listing" ] || fail "no scene listing"
scenes=$(cut -f1 <<<"$listing")
times=$(awk -F'\t' '{ printf "%s%.3f,%.3f", (NR > 1 ? "," : ""), $2 + 2, $2 + 2.1 }' <<<"$listing")
declare -A expected
for scene in $scenes; do
  expected[$scene]=$(render_passes "src/scenes/$scene/${scene}_scene.cpp")
done
[ "${expected[cubes]}" = "prepareInstances setUpCubeDrawing shadowPass lightPass tearDownCubeDrawing " ] ||
  fail "the cubes' passes read from the source: '${expected[cubes]}'"

"$CAPTURE" --at "$times" --out "$WORK/stills" --size 160x90 --fps 10 \
  --stats "$WORK/frames.csv" --pass-stats "$WORK/passes.csv" 2>"$WORK/err" ||
  fail "capture with --pass-stats failed: $(cat "$WORK/err")"
[ "$(head -n1 "$WORK/passes.csv")" = "frame,show_ms,scene,pass,gpu_ms,vertices,primitives,fragments" ] ||
  fail "wrong header: $(head -n1 "$WORK/passes.csv")"

# Each frame's passes in the order they ran, the sum of their times, and the frame's own time.
declare -A names sums frame_gpu scene_of
while IFS=, read -r frame show scene pass gpu vertices primitives fragments; do
  names[$frame]+="$pass "
  scene_of[$frame]=$scene
  # llvmpipe offers timestamps and pipeline statistics: every figure is there.
  for value in "$gpu" "$vertices" "$primitives" "$fragments"; do
    is_number "$value" || fail "frame $frame $pass: '$value' is not a figure"
  done
  sums[$frame]=$(awk -v a="${sums[$frame]:-0}" -v b="$gpu" 'BEGIN { printf "%.3f", a + b }')
  case "$pass" in
    advanceSimulation | placeStrokes | prepareInstances | setUpCubeDrawing | tearDownCubeDrawing)
      [ "$vertices,$primitives,$fragments" = "0,0,0" ] || fail "frame $frame: $pass draws nothing, yet '$vertices,$primitives,$fragments'" ;;
    *)
      [ "$fragments" -gt 0 ] || fail "frame $frame: $pass drew nothing" ;;
  esac
done < <(tail -n +2 "$WORK/passes.csv")
while IFS=, read -r frame show scene scene_ms cpu gpu counters; do frame_gpu[$frame]=$gpu; done < <(tail -n +2 "$WORK/frames.csv")

[ "${#names[@]}" = $((2 * $(wc -w <<<"$scenes"))) ] || fail "expected two frames of passes a scene, got ${#names[@]}: $(cat "$WORK/passes.csv")"
for frame in "${!names[@]}"; do
  scene=${scene_of[$frame]}
  [ "${names[$frame]}" = "${expected[$scene]}" ] ||
    fail "frame $frame ($scene) has passes '${names[$frame]}', its render() runs '${expected[$scene]}'"
  # Each figure is rounded to a microsecond: the sum may pass the frame by that much a pass.
  gpu=${frame_gpu[$frame]}
  [ -z "$gpu" ] || awk -v s="${sums[$frame]}" -v g="$gpu" -v n="$(wc -w <<<"${names[$frame]}")" \
    'BEGIN { exit !(s <= g + 0.0005 * (n + 1)) }' || fail "frame $frame: passes took ${sums[$frame]} ms, the frame $gpu ms"
done

# The summary: a line per scene and pass with its share of the scene's time.
for scene in $scenes; do
  for pass in ${expected[$scene]}; do
    grep -Eq "^  $scene $pass +2 .*%" "$WORK/err" || fail "no summary line for $scene $pass: $(cat "$WORK/err")"
  done
done
grep -q "^  pacman worldPass .* 100.0%" "$WORK/err" || fail "the Pacman scene's one pass is not all of its time"

# Refused before any work, with nothing written: the music alone, or the option given twice.
for request in "--audio $WORK/m.wav --pass-stats $WORK/p.csv" \
  "--frames $WORK/seq --pass-stats $WORK/p.csv --pass-stats $WORK/q.csv"; do
  status=0
  # shellcheck disable=SC2086
  "$CAPTURE" $request 2>"$WORK/err" || status=$?
  [ "$status" = 2 ] || fail "'$request' ended with status $status, not 2: $(cat "$WORK/err")"
  grep -q -- "--pass-stats" "$WORK/err" || fail "'$request': the refusal does not name --pass-stats: $(cat "$WORK/err")"
  [ ! -e "$WORK/m.wav" ] && [ ! -e "$WORK/p.csv" ] && [ ! -e "$WORK/seq" ] || fail "'$request' wrote: $(ls "$WORK")"
done
ls "$WORK" | grep -q '\.part' && fail "temporary files left behind: $(ls "$WORK")"

echo "capture pass stats: ok"
