# Frame and per-pass statistics of captures with the software renderer. A span across a scene
# switch: a CSV row per frame with its ticks, scene and times, and the summary on stderr.
# Stills of every scene: a row each, and each frame naming every pass its scene's render() runs,
# once, in order, with times that add up to no more than the frame's own GPU time and steps
# that draw nothing reported as zero work. (Refusals: the option unit tests; failed captures
# leave no statistics: capture_failures.sh.)
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"

is_number() { [[ "$1" =~ ^[0-9]+(\.[0-9]+)?$ ]]; }

# A PNG sequence across the forest-to-television switch at 34 s: 6 frames at 10 fps.
stats="$WORK/span.csv"
"$CAPTURE" --frames "$WORK/seq" --size 160x90 --fps 10 --from 33.9 --to 34.5 --stats "$stats" 2>"$WORK/err" ||
  fail "capture with --stats failed: $(cat "$WORK/err")"
[ "$(ls "$WORK/seq" | grep -c '^frame-.*\.png$')" = 6 ] || fail "expected 6 frames beside the statistics"
[ "$(head -n1 "$stats")" = "frame,show_ms,scene,scene_ms,cpu_ms,gpu_ms,counters" ] || fail "header: $(head -n1 "$stats")"
[ "$(tail -n +2 "$stats" | cut -d, -f1-4 | tr '\n' ' ')" = \
  "0,33900,forest,33900 1,34000,tv,0 2,34100,tv,100 3,34200,tv,200 4,34300,tv,300 5,34400,tv,400 " ] ||
  fail "the rows are not the span's six frames: $(cat "$stats")"
timed=0
while IFS=, read -r frame show scene scene_ms cpu gpu counters; do
  is_number "$cpu" || fail "row $frame: cpu_ms '$cpu' is not a number"
  # Empty where the driver gave no time or one longer than the frame's wall time (the first
  # frame of a context, or a loaded machine); llvmpipe offers timer queries, so some have one.
  [ -z "$gpu" ] || is_number "$gpu" || fail "row $frame: gpu_ms '$gpu' is neither empty nor a number"
  [ -n "$gpu" ] && timed=$((timed + 1))
  [ "$scene" != tv ] || [[ "$counters" =~ ^cube_copies=[0-9]+\ square_draws=[0-9]+$ ]] ||
    fail "row $frame: counters '$counters'"
done < <(tail -n +2 "$stats")
[ "$timed" -gt 0 ] || fail "no frame has a GPU time: $(cat "$stats")"
# The summary: a line per scene with its frame count, then all frames.
for line in "forest +1" "tv +5" "all +6"; do
  grep -Eq "^  $line " "$WORK/err" || fail "no '$line' line in the summary: $(cat "$WORK/err")"
done

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
# The scenes as the tool lists them, and two stills 2 s into each, far apart.
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
# A row for each still, in the order asked, with the time into its own scene.
[ "$(tail -n +2 "$WORK/frames.csv" | cut -d, -f2-4)" = "$(awk -F'\t' '{ s = $2 * 1000
  printf "%d,%s,2000\n%d,%s,2100\n", s + 2000, $1, s + 2100, $1 }' <<<"$listing")" ] ||
  fail "the stills' rows: $(cat "$WORK/frames.csv")"

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
! ls "$WORK" | grep -q '\.part' || fail "temporary files left behind: $(ls "$WORK")"
echo "capture stats: ok"
