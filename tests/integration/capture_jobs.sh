# A span rendered in several processes (--jobs) gives the same files as one process does, and
# a capture whose workers fail, or that is interrupted or killed, leaves neither output nor
# process behind.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"  # the shaders are read from ./shaders
command -v perl >/dev/null || fail "perl is needed to start the tool with default signal actions"
export TMPDIR="$WORK/tmp"  # where the encoder's music goes; must end up empty
mkdir -p "$TMPDIR" "$WORK/out"

# The forest's last frames into the television's first (the scene switch at 33.8 s), as a
# sequence: every picture and the music byte for byte, whatever the process count.
span=(--size 160x90 --fps 10 --from 33.6 --to 34.4)
"$CAPTURE" "${span[@]}" --frames "$WORK/one" 2>"$WORK/err" || fail "one process: $(cat "$WORK/err")"
"$CAPTURE" "${span[@]}" --frames "$WORK/three" --jobs 3 2>"$WORK/err" || fail "--jobs 3: $(cat "$WORK/err")"
[ "$(ls "$WORK/one" | wc -l)" = 9 ] || fail "one process wrote $(ls "$WORK/one")"
diff <(ls "$WORK/one") <(ls "$WORK/three") >/dev/null || fail "the file names differ: $(ls "$WORK/three")"
for f in "$WORK/one"/*; do
  cmp -s "$f" "$WORK/three/$(basename "$f")" || fail "$(basename "$f") differs between one process and three"
done
echo "ok   sequence: 8 frames and music.wav the same from three processes"
# More processes than frames: the spare ones are not started, and the files are the same.
"$CAPTURE" --size 160x90 --fps 10 --from 33.7 --to 33.9 --frames "$WORK/few" --jobs 16 2>"$WORK/err" ||
  fail "--jobs 16 over 2 frames: $(cat "$WORK/err")"
cmp -s "$WORK/few/frame-000001.png" "$WORK/one/frame-000002.png" || fail "--jobs 16 over 2 frames: 33.8 s differs"

# A video: the same number of frames, each the same once decoded.
"$CAPTURE" "${span[@]}" --out "$WORK/one.mp4" 2>"$WORK/err" || fail "one process, video: $(cat "$WORK/err")"
"$CAPTURE" "${span[@]}" --out "$WORK/three.mp4" --jobs 3 2>"$WORK/err" || fail "--jobs 3, video: $(cat "$WORK/err")"
ffmpeg -v error -i "$WORK/one.mp4" -map 0:v -f framemd5 - | grep -v '^#' >"$WORK/one.md5"
ffmpeg -v error -i "$WORK/three.mp4" -map 0:v -f framemd5 - | grep -v '^#' >"$WORK/three.md5"
[ "$(wc -l <"$WORK/one.md5")" = 8 ] || fail "the video of one process has $(wc -l <"$WORK/one.md5") frames, not 8"
cmp -s "$WORK/one.md5" "$WORK/three.md5" || fail "the decoded frames differ: $(diff "$WORK/one.md5" "$WORK/three.md5")"
# The encoder got the same frames in the same order with the same music: the same file.
cmp -s "$WORK/one.mp4" "$WORK/three.mp4" || fail "the videos differ beyond their decoded frames"
echo "ok   video: 8 frames the same once decoded, and the same file, from three processes"

# Refused at once with status 2, one line, and nothing made (the option unit tests hold the
# full list).
for args in "--jobs 17" "--jobs 2 --jobs 2" "--at 5 --out $WORK/refused --jobs 2" "--audio $WORK/refused.wav --jobs 2" \
  "--stats $WORK/refused.csv --jobs 2"; do
  out=(--frames "$WORK/refused")
  [[ $args == *--at* || $args == *--audio* ]] && out=()
  # shellcheck disable=SC2086  # the words of each case are separate arguments
  "$CAPTURE" $args "${out[@]}" >"$WORK/out.txt" 2>"$WORK/err"
  status=$?
  [ $status = 2 ] || fail "'$args' gave status $status: $(cat "$WORK/err")"
  [ "$(grep -c . "$WORK/err")" = 2 ] && grep -q "^Try 'demo-capture --help'" "$WORK/err" ||
    fail "'$args' did not say why in one line: $(cat "$WORK/err")"
  [ -s "$WORK/out.txt" ] && fail "'$args' wrote to standard output"
  ls "$WORK" | grep -q refused && fail "'$args' made $(ls "$WORK" | grep refused)"
done
echo "ok   refusals"

# Starts a capture in the background with default signal actions (a background job of a
# script has SIGINT ignored, which the tool would keep) and waits until it has $1 worker
# processes of its own and has written $2 (if given); sets CAPTURE_PID and WORKERS.
start_capture() {
  local want=$1 progress=$2
  shift 2
  perl -e '$SIG{$_} = "DEFAULT" for qw(INT TERM HUP); exec @ARGV' "$CAPTURE" "$@" 2>"$WORK/err" &
  CAPTURE_PID=$!
  WORKERS=""
  for _ in $(seq 1200); do
    kill -0 "$CAPTURE_PID" 2>/dev/null || fail "the capture ended early: $(cat "$WORK/err")"
    WORKERS=$(pgrep -P "$CAPTURE_PID" -x demo-capture | xargs)
    [ "$(wc -w <<<"$WORKERS")" = "$want" ] && { [ -z "$progress" ] || [ -s "$progress" ]; } && return
    sleep 0.1
  done
  fail "the capture did not start $want workers and make progress: $(cat "$WORK/err")"
}
# Checks after a capture ended that none of its workers runs and no temporary is left ($1: what).
expect_no_workers() {
  for pid in $WORKERS; do
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || continue 2
      sleep 0.1
    done
    fail "$1: worker $pid is still running"
  done
  [ -z "$(ls "$TMPDIR")" ] || fail "$1: temporary files left in TMPDIR: $(ls "$TMPDIR")"
  ls "$WORK/out" | grep -q '\.part' && fail "$1: temporary files left: $(ls "$WORK/out")"
  true
}
# stop_and_check WHAT PID SIGNAL STATUS PATTERN LEFT: sends SIGNAL to PID (the capture or one
# of its workers); the capture must end with STATUS, say PATTERN (an extended regular
# expression) on stderr, not claim to have written anything, and leave neither LEFT (the video,
# or a sequence's music.wav, which only a finished capture has) nor a worker or temporary.
stop_and_check() {
  local what=$1 pid=$2 sig=$3 status=$4 pattern=$5 left=$6
  kill -"$sig" "$pid"
  wait_for_exit "$CAPTURE_PID" 120
  [ "$EXIT_STATUS" = "$status" ] || fail "$what: status $EXIT_STATUS: $(cat "$WORK/err")"
  grep -Eq "$pattern" "$WORK/err" || fail "$what: no word of it: $(cat "$WORK/err")"
  grep -q "^wrote" "$WORK/err" && fail "$what: the capture says it wrote its output"
  [ -e "$left" ] && fail "$what: $left was left behind"
  expect_no_workers "$what"
}
# The capture of the cubes at a size and rate that keep it busy for a while.
long=(--size 320x180 --fps 10 --from 110 --to 140)

# A worker killed mid-capture, or ended by SIGTERM, fails the capture with one clear line; the
# others are stopped. The sequence's frames so far stay, as after any failure.
start_capture 2 "" "${long[@]}" --out "$WORK/out/killed.mp4" --jobs 3
stop_and_check "a killed worker" "${WORKERS%% *}" KILL 1 "^demo-capture: render worker [12] stopped: signal 9 " \
  "$WORK/out/killed.mp4"
start_capture 1 "$WORK/out/term/frame-000002.png" "${long[@]}" --frames "$WORK/out/term" --jobs 2
stop_and_check "a worker ended by SIGTERM" "$WORKERS" TERM 1 "^demo-capture: render worker 1 stopped: signal 15 " \
  "$WORK/out/term/music.wav"
echo "ok   failed workers"

# Interrupts to the capture: it stops its workers and removes its temporaries, as without them.
start_capture 2 "" "${long[@]}" --out "$WORK/out/int.mkv" --jobs 3
stop_and_check "SIGINT" "$CAPTURE_PID" INT 130 "interrupted by SIGINT" "$WORK/out/int.mkv"
grep -q "render worker" "$WORK/err" && fail "SIGINT was taken for a failed worker: $(cat "$WORK/err")"
start_capture 1 "$WORK/out/seq/frame-000001.png" "${long[@]}" --frames "$WORK/out/seq" --jobs 2
stop_and_check "SIGTERM" "$CAPTURE_PID" TERM 143 "interrupted by SIGTERM" "$WORK/out/seq/music.wav"
# Killed outright, the capture cannot stop its workers itself: they end as their parent does.
start_capture 2 "$WORK/out/gone/frame-000001.png" "${long[@]}" --frames "$WORK/out/gone" --jobs 3
kill -KILL "$CAPTURE_PID"
wait_for_exit "$CAPTURE_PID" 60 2>/dev/null  # no word from the shell of the job it killed
expect_no_workers "the capture killed"
echo "ok   interrupts"
