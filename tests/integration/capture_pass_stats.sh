# Frame and per-pass statistics with the software renderer: a span's rows and summary across a
# scene switch; stills of every scene, each naming every pass its render() runs, once, in order.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"

# A PNG sequence across the forest-to-television switch at 34 s: 6 frames at 10 fps.
stats="$WORK/span.csv"
"$CAPTURE" --frames "$WORK/seq" --size 160x90 --fps 10 --from 33.9 --to 34.5 --stats "$stats" 2>"$WORK/err" ||
  fail "capture with --stats failed: $(cat "$WORK/err")"
[ "$(head -n1 "$stats")" = "frame,show_ms,scene,scene_ms,cpu_ms,gpu_ms,counters" ] || fail "header: $(head -n1 "$stats")"
[ "$(tail -n +2 "$stats" | cut -d, -f1-4 | tr '\n' ' ')" = \
  "0,33900,forest,33900 1,34000,tv,0 2,34100,tv,100 3,34200,tv,200 4,34300,tv,300 5,34400,tv,400 " ] ||
  fail "the rows are not the span's six frames: $(cat "$stats")"
# gpu_ms is empty where the driver gave no time or one longer than the frame's wall time (a
# context's first frame, a loaded machine), but llvmpipe times some.
awk -F, -v number='^[0-9]+(\\.[0-9]+)?$' 'NR > 1 { timed += $6 != ""
  if ($5 !~ number || ($6 != "" && $6 !~ number)) bad = 1
  if ($3 == "tv" && $7 !~ /^cube_copies=[0-9]+ square_draws=[0-9]+$/) bad = 1 } END { exit bad || !timed }' "$stats" ||
  fail "the rows' times or counters: $(cat "$stats")"
for line in "forest +1" "tv +5" "all +6"; do
  grep -Eq "^  $line " "$WORK/err" || fail "no '$line' line in the summary: $(cat "$WORK/err")"; done

# Two stills 2 s into each scene, and the passes each render() measures, read from the source
# (MEASURED_PASS(name(...))): a bare call there of a ...Pass() function is a pass unmeasured.
listing=$("$CAPTURE" --list-scenes) && [ -n "$listing" ] || fail "no scene listing"
scenes=$(cut -f1 <<<"$listing")
times=$(awk -F'\t' '{ printf "%s%.3f,%.3f", (NR > 1 ? "," : ""), $2 + 2, $2 + 2.1 }' <<<"$listing")
declare -A expected
for scene in $scenes; do
  body=$(sed -n "/::render() {/,/^}/p" "src/scenes/$scene/${scene}_scene.cpp")
  ! grep -E '^ +[a-z][A-Za-z]*Pass\(.*\);' <<<"$body" || fail "$scene: a pass in render() is not measured"
  expected[$scene]=$(grep -o 'MEASURED_PASS([A-Za-z]*' <<<"$body" | cut -c15- | awk '!seen[$0]++' | tr '\n' ' ')
done
# The source reading itself, on the scene with the most kinds of step.
[ "${expected[cubes]}" = "prepareInstances setUpCubeDrawing shadowPass lightPass tearDownCubeDrawing " ] ||
  fail "the cubes' passes read from the source: '${expected[cubes]}'"

"$CAPTURE" --at "$times" --out "$WORK/stills" --size 160x90 --fps 10 \
  --stats "$WORK/frames.csv" --pass-stats "$WORK/passes.csv" 2>"$WORK/err" ||
  fail "capture with --pass-stats failed: $(cat "$WORK/err")"
[ "$(head -n1 "$WORK/passes.csv")" = "frame,show_ms,scene,pass,gpu_ms,vertices,primitives,fragments" ] || fail "header"
# A row for each still, in the order asked, with the time into its own scene.
[ "$(tail -n +2 "$WORK/frames.csv" | cut -d, -f2-4)" = "$(awk -F'\t' '{ s = $2 * 1000
  printf "%d,%s,2000\n%d,%s,2100\n", s + 2000, $1, s + 2100, $1 }' <<<"$listing")" ] ||
  fail "the stills' rows: $(cat "$WORK/frames.csv")"

# Each frame's passes in the order they ran, as its render() runs them; every figure there
# (llvmpipe has timestamps and pipeline statistics); no work from steps that draw nothing; the
# times, each rounded to a microsecond, add up to no more than the frame's own.
wanted=$(for scene in $scenes; do printf '%s=%s;' "$scene" "${expected[$scene]}"; done)
awk -F, -v wanted="$wanted" -v frames=$((2 * $(wc -w <<<"$scenes"))) '
  BEGIN { n = split(wanted, w, ";"); for (i = 1; i < n; i++) { split(w[i], kv, "="); want[kv[1]] = kv[2] } }
  FNR == 1 { next }
  NR == FNR { gpu[$1] = $6; next }
  { names[$1] = names[$1] $4 " "; scene[$1] = $3; sum[$1] += $5; count[$1]++
    for (i = 5; i <= 8; i++) if ($i !~ /^[0-9]+(\.[0-9]+)?$/) bad = bad "\n" $0 ": not a figure"
    if ($4 ~ /^(advanceSimulation|placeStrokes|prepareInstances|setUpCubeDrawing|tearDownCubeDrawing)$/) {
      if (($6 $7 $8) != "000") bad = bad "\n" $0 ": draws nothing, yet counts work"
    } else if ($8 <= 0) bad = bad "\n" $0 ": drew nothing" }
  END { for (f in names) { k++
      if (names[f] != want[scene[f]]) bad = bad "\nframe " f ": passes " names[f] "; its render() runs " want[scene[f]]
      if (gpu[f] != "" && sum[f] > gpu[f] + 0.0005 * (count[f] + 1)) bad = bad "\nframe " f ": passes took " sum[f] " ms" }
    if (k != frames) bad = bad "\n" k " frames of passes, not " frames
    if (bad != "") { print bad; exit 1 } }' "$WORK/frames.csv" "$WORK/passes.csv" || fail "the per-pass rows, above"

# The summary: a line per scene and pass with its share of the scene's time.
for scene in $scenes; do for pass in ${expected[$scene]}; do
  grep -Eq "^  $scene $pass +2 .*%" "$WORK/err" || fail "no summary line for $scene $pass: $(cat "$WORK/err")"; done; done
grep -q "^  pacman worldPass .* 100.0%" "$WORK/err" || fail "the Pacman scene's one pass is not all of its time"
! ls "$WORK" | grep -q '\.part' || fail "temporary files left behind: $(ls "$WORK")"
echo "capture stats: ok"
