# A span rendered in several processes (--jobs) gives the same files as one process does, and
# a capture whose workers fail, or that is interrupted or killed, leaves neither output nor
# process behind. (Refusals: the option unit tests and capture_requests.sh.)
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"  # the shaders are read from ./shaders
command -v perl >/dev/null || fail "perl is needed to start the tool with default signal actions"
export TMPDIR="$WORK/tmp"  # where the encoder's music goes; must end up empty
mkdir -p "$TMPDIR" "$WORK/out"

# The forest's last frames into the television's first (the scene switch at 33.8 s), as a
# sequence and as a video: the same files, byte for byte, whatever the process count; more
# processes than frames start no spare ones and change nothing either.
span=(--size 160x90 --fps 10 --from 33.6 --to 34.4)
for run in "--frames one" "--frames three --jobs 3" "--out one.mp4" "--out three.mp4 --jobs 3"; do
  set -- $run
  "$CAPTURE" "${span[@]}" "$1" "$WORK/$2" "${@:3}" 2>"$WORK/err" || fail "'$run': $(cat "$WORK/err")"
done
[ "$(ls "$WORK/one" | wc -l)" = 9 ] && diff -r "$WORK/one" "$WORK/three" >/dev/null ||
  fail "one process wrote $(ls "$WORK/one"), and three not the same"
"$CAPTURE" --size 160x90 --fps 10 --from 33.7 --to 33.9 --frames "$WORK/few" --jobs 16 2>"$WORK/err" &&
  cmp -s "$WORK/few/frame-000001.png" "$WORK/one/frame-000002.png" || fail "--jobs 16 over 2 frames: $(cat "$WORK/err")"
[ "$(ffmpeg -v error -i "$WORK/one.mp4" -map 0:v -f framemd5 - | grep -vc '^#')" = 8 ] &&
  cmp -s "$WORK/one.mp4" "$WORK/three.mp4" || fail "the video is not 8 frames, or three processes' differs"

# Starts a capture in the background with default signal actions (a script's background job
# has SIGINT ignored), until it has $1 workers and has written $2; sets CAPTURE_PID and WORKERS.
start_capture() {
  local want=$1 progress=$2
  shift 2
  perl -e '$SIG{$_} = "DEFAULT" for qw(INT TERM HUP); exec @ARGV' "$CAPTURE" "$@" 2>"$WORK/err" &
  CAPTURE_PID=$!
  for _ in $(seq 1200); do
    kill -0 "$CAPTURE_PID" 2>/dev/null || fail "the capture ended early: $(cat "$WORK/err")"
    WORKERS=$(pgrep -P "$CAPTURE_PID" -x demo-capture | xargs)
    [ "$(wc -w <<<"$WORKERS")" = "$want" ] && { [ -z "$progress" ] || [ -s "$progress" ]; } && return
    sleep 0.1
  done
  fail "the capture did not start $want workers and make progress: $(cat "$WORK/err")"
}
# stop_and_check WHAT PID SIGNAL STATUS PATTERN LEFT: after SIGNAL to PID (the capture or a
# worker) the capture ends with STATUS, says PATTERN and not "wrote", and leaves neither LEFT
# (the video, or a sequence's music.wav) nor a worker or temporary.
stop_and_check() {
  kill -"$3" "$2"
  wait_for_exit "$CAPTURE_PID" 120
  [ "$EXIT_STATUS" = "$4" ] && grep -Eq "$5" "$WORK/err" && ! grep -q "^wrote" "$WORK/err" ||
    fail "$1: status $EXIT_STATUS: $(cat "$WORK/err")"
  [ -e "$6" ] && fail "$1: $6 was left behind"
  expect_no_workers "$1"
}
# Checks after a capture ended that none of its workers runs and no temporary is left ($1: what).
expect_no_workers() {
  for pid in $WORKERS; do timeout 10 tail -s 0.1 --pid="$pid" -f /dev/null || fail "$1: worker $pid still runs"; done
  [ -z "$(ls "$TMPDIR")" ] || fail "$1: temporary files left in TMPDIR: $(ls "$TMPDIR")"
  ! ls "$WORK/out" | grep -q '\.part' || fail "$1: temporary files left: $(ls "$WORK/out")"
}
long=(--size 320x180 --fps 10 --from 110 --to 140)  # the cubes, long enough to stop midway

# A worker killed mid-capture, or ended by SIGTERM, fails the capture with one clear line; the
# others are stopped. The sequence's frames so far stay, as after any failure.
start_capture 2 "" "${long[@]}" --out "$WORK/out/killed.mp4" --jobs 3
stop_and_check "a killed worker" "${WORKERS%% *}" KILL 1 "^demo-capture: render worker [12] stopped: signal 9 " \
  "$WORK/out/killed.mp4"
start_capture 1 "$WORK/out/term/frame-000002.png" "${long[@]}" --frames "$WORK/out/term" --jobs 2
stop_and_check "a worker ended by SIGTERM" "$WORKERS" TERM 1 "^demo-capture: render worker 1 stopped: signal 15 " \
  "$WORK/out/term/music.wav"

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
echo "capture jobs: ok"
