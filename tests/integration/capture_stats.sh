# Frame statistics of captures: one CSV row per captured frame with the right ticks, scenes and
# numeric times across a scene switch, and the summary on stderr. (Failed and refused captures
# leave no statistics: capture_failures.sh and capture_requests.sh.)
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"

is_number() { [[ "$1" =~ ^[0-9]+(\.[0-9]+)?$ ]]; }

# A PNG sequence across the forest-to-television switch at 34 s: 6 frames at 10 fps.
stats="$WORK/span.csv"
"$CAPTURE" --frames "$WORK/seq" --size 160x90 --fps 10 --from 33.9 --to 34.5 --stats "$stats" 2>"$WORK/err" ||
  fail "capture with --stats failed: $(cat "$WORK/err")"
[ "$(head -n1 "$stats")" = "frame,show_ms,scene,scene_ms,cpu_ms,gpu_ms,counters" ] ||
  fail "wrong header: $(head -n1 "$stats")"
[ "$(wc -l <"$stats")" = 7 ] || fail "expected a header and 6 rows: $(cat "$stats")"
[ "$(ls "$WORK/seq" | grep -c '^frame-.*\.png$')" = 6 ] || fail "expected 6 frames beside the statistics"
expected=("0,33900,forest,33900" "1,34000,tv,0" "2,34100,tv,100" "3,34200,tv,200" "4,34300,tv,300" "5,34400,tv,400")
row=0
timed=0
while IFS=, read -r frame show scene scene_ms cpu gpu counters; do
  [ "$frame,$show,$scene,$scene_ms" = "${expected[$row]}" ] ||
    fail "row $row is '$frame,$show,$scene,$scene_ms', expected '${expected[$row]}'"
  is_number "$cpu" || fail "row $row: cpu_ms '$cpu' is not a number"
  # Empty where the driver gave no time or one longer than the frame's wall time (the first
  # frame of a context, or a loaded machine); llvmpipe offers timer queries, so some have one.
  [ -z "$gpu" ] || is_number "$gpu" || fail "row $row: gpu_ms '$gpu' is neither empty nor a number"
  [ -n "$gpu" ] && timed=$((timed + 1))
  [ "$scene" != tv ] || [[ "$counters" =~ ^cube_copies=[0-9]+\ square_draws=[0-9]+$ ]] ||
    fail "row $row: counters '$counters'"
  row=$((row + 1))
done < <(tail -n +2 "$stats")
[ "$timed" -gt 0 ] || fail "no frame has a GPU time: $(cat "$stats")"
ls "$WORK" | grep -q '\.part' && fail "temporary files left behind: $(ls "$WORK")"

# The summary on stderr: a line per scene with its frame count, then all frames.
grep -Eq '^  forest +1 ' "$WORK/err" || fail "no forest line in the summary: $(cat "$WORK/err")"
grep -Eq '^  tv +5 ' "$WORK/err" || fail "no tv line in the summary: $(cat "$WORK/err")"
grep -Eq '^  all +6 ' "$WORK/err" || fail "no line for all frames in the summary: $(cat "$WORK/err")"

# Stills: a row for each asked time, in order, however far apart.
"$CAPTURE" --at 5,85 --out "$WORK/stills" --size 96x54 --fps 60 --stats "$WORK/stills.csv" 2>"$WORK/err" ||
  fail "stills with --stats failed: $(cat "$WORK/err")"
[ "$(tail -n +2 "$WORK/stills.csv" | cut -d, -f2,3,4 | tr '\n' ' ')" = "5000,forest,5000 85000,pacman,7000 " ] ||
  fail "wrong rows for stills: $(cat "$WORK/stills.csv")"

echo "capture stats: ok"
