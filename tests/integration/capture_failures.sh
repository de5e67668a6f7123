# A capture that fails or is cut short never looks like success and leaves nothing behind:
# stand-in ffmpeg programs that fail, truncate or stop reading; a full disk; SIGINT and SIGTERM
# in the middle of a video and of a sequence; a fatal OpenGL error from a broken shader.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"
FFMPEG="$(command -v ffmpeg)" || fail "ffmpeg (package ffmpeg) is not installed"
command -v perl >/dev/null || fail "perl is needed to start the tool with SIGCHLD ignored"
export TMPDIR="$WORK/tmp"  # where the encoder's music goes; must end up empty
mkdir -p "$TMPDIR"

# Writes stand-in ffmpeg $1 with body $2; every stand-in records its pid first.
stand_in() {
  mkdir -p "$WORK/bin-$1"
  printf '#!/bin/bash\necho $$ > "%s"\n%s\n' "$WORK/ffmpeg.pid" "$2" > "$WORK/bin-$1/ffmpeg"
  chmod +x "$WORK/bin-$1/ffmpeg"
}
stand_in fail 'cat > /dev/null; out="${@: -1}"; head -c 5000 /dev/zero > "$out"; echo "stand-in: cannot encode: $*" >&2; exit 1'
stand_in truncate "\"$FFMPEG\" \"\$@\" || exit; out=\"\${@: -1}\"; truncate -s \$((\$(stat -c %s \"\$out\") / 2)) \"\$out\"; exit 0"
stand_in stall 'exec sleep 300'
# Real ffmpeg, reading its frames at their own rate so that a capture lasts long enough to
# be interrupted; it also lists the descriptors it was given.
stand_in slow "ls -l /proc/\$\$/fd > \"$WORK/fds\"; exec \"$FFMPEG\" -re \"\$@\""

# Checks that nothing is left: no output $1, no temporary beside it or in TMPDIR, and no
# encoder still running.
expect_clean() {
  [ -e "$1" ] && fail "$2: $1 was left behind"
  ls "$(dirname "$1")" | grep -q '\.part' && fail "$2: temporary files left: $(ls "$(dirname "$1")")"
  [ -z "$(ls "$TMPDIR")" ] || fail "$2: temporary files left in TMPDIR: $(ls "$TMPDIR")"
  if [ -s "$WORK/ffmpeg.pid" ] && kill -0 "$(cat "$WORK/ffmpeg.pid")" 2>/dev/null; then
    fail "$2: the encoder is still running"
  fi
  rm -f "$WORK/ffmpeg.pid"
}

# An encoder that fails, started with SIGCHLD ignored as a shell or service may hand down.
mkdir -p "$WORK/out"
PATH="$WORK/bin-fail:$PATH" perl -e '$SIG{CHLD} = "IGNORE"; exec @ARGV' \
  "$CAPTURE" --out "$WORK/out/a.mp4" --size 64x36 --fps 10 --from 110 --to 111 2>"$WORK/err"
status=$?
[ $status = 1 ] || fail "a failing encoder gave status $status: $(cat "$WORK/err")"
grep -q "ffmpeg failed with status 1" "$WORK/err" || fail "no word of the failed encoder: $(cat "$WORK/err")"
grep -q "stand-in: cannot encode" "$WORK/err" || fail "ffmpeg's own message was not passed on: $(cat "$WORK/err")"
grep -Eq '\.part|demo-capture-music' "$WORK/err" && fail "a message names a temporary file: $(cat "$WORK/err")"
grep -q "wrote" "$WORK/err" && fail "a failed capture says it wrote the file"
expect_clean "$WORK/out/a.mp4" "failing encoder"

# An encoder that exits 0 over a truncated file: the read-back check catches it.
PATH="$WORK/bin-truncate:$PATH" "$CAPTURE" --out "$WORK/out/b.mkv" --size 64x36 --fps 10 --from 110 --to 112 \
  2>"$WORK/err"
status=$?
[ $status = 1 ] || fail "a truncated video gave status $status: $(cat "$WORK/err")"
grep -Eq "frames|cannot be read back|lasts" "$WORK/err" || fail "no word of the truncated video: $(cat "$WORK/err")"
expect_clean "$WORK/out/b.mkv" "truncated video"

# An encoder that stops reading is given up after the timeout and killed (the outer limit
# only catches a capture that waits for ever).
PATH="$WORK/bin-stall:$PATH" timeout 300 "$CAPTURE" --out "$WORK/out/c.mp4" --size 64x36 --fps 30 --from 110 \
  --to 115 --encoder-timeout 2 2>"$WORK/err"
status=$?
[ $status = 1 ] || fail "a stalled encoder gave status $status: $(cat "$WORK/err")"
grep -q "no frame data for 2 s" "$WORK/err" || fail "no word of the stalled encoder: $(cat "$WORK/err")"
expect_clean "$WORK/out/c.mp4" "stalled encoder"

# A full disk: the real ffmpeg's error while writing is a failure, not "wrote".
ln -s /dev/full "$WORK/out/full.mkv"
"$CAPTURE" --out "$WORK/out/full.mkv" --size 64x36 --fps 10 --from 110 --to 111 2>"$WORK/err"
status=$?
[ $status = 1 ] || fail "a full disk gave status $status: $(cat "$WORK/err")"
grep -q "No space left on device" "$WORK/err" || fail "no word of the full disk: $(cat "$WORK/err")"
[ -L "$WORK/out/full.mkv" ] || fail "the link to /dev/full was replaced"
rm "$WORK/out/full.mkv"
expect_clean "$WORK/out/full.mkv" "full disk"

# Interrupts: $1 signal, $2 expected status, then the capture's arguments. Waits for the
# first sign of progress ($3, a file with something in it), then signals the tool alone.
interrupt() {
  local sig=$1 expected=$2 progress=$3
  shift 3
  rm -f "$progress"
  PATH="$WORK/bin-slow:$PATH" "$CAPTURE" "$@" 2>"$WORK/err" &
  local pid=$!
  for _ in $(seq 1200); do
    [ -s "$progress" ] && break
    sleep 0.1
  done
  [ -s "$progress" ] || fail "SIG$sig: the capture made no progress: $(cat "$WORK/err")"
  kill -"$sig" "$pid"
  wait_for_exit "$pid" 60
  [ "$EXIT_STATUS" = "$expected" ] || fail "SIG$sig gave status $EXIT_STATUS: $(cat "$WORK/err")"
  grep -q "interrupted by SIG$sig" "$WORK/err" || fail "SIG$sig: no word of the interrupt: $(cat "$WORK/err")"
}
exec 9>"$WORK/inherited"  # a descriptor the tool inherits and must not pass on
for case in "INT 130" "TERM 143"; do
  set -- $case
  rm -f "$WORK/fds"
  interrupt "$1" "$2" "$WORK/fds" --out "$WORK/out/v.mp4" --size 64x36 --fps 30 --from 110 --to 140
  expect_clean "$WORK/out/v.mp4" "SIG$1 during a video"
  # The encoder got only its own three descriptors (the script stays open in bash as 255).
  [ -s "$WORK/fds" ] || fail "the encoder listed no descriptors"
  extra=$(grep -- '->' "$WORK/fds" | grep -Ev ' (0|1|2|255) -> ')
  [ -z "$extra" ] || fail "descriptors leaked to the encoder: $extra"

  seq="$WORK/seq-$1"
  interrupt "$1" "$2" "$seq/frame-000002.png" --frames "$seq" --size 320x180 --fps 10 --from 80 --to 110 \
    --stats "$seq/stats.csv"
  [ -e "$seq/stats.csv" ] && fail "SIG$1: an unfinished capture left its statistics"
  ls "$seq" | grep -q '\.part' && fail "SIG$1: temporary files left in the sequence: $(ls "$seq")"
  [ -e "$seq/music.wav" ] && fail "SIG$1: an unfinished sequence has its music.wav"
  [ -e "$seq/frame-000002.png" ] || fail "SIG$1: the finished frames were removed"
done

# A fatal OpenGL error in a later scene (a broken shader file): status 1, the error line,
# then the encoder stopped and nothing left.
dir=$(make_run_dir gl)
echo "this is not GLSL" > "$dir/shaders/pacman_f.glsl"
(cd "$dir" && PATH="$WORK/bin-slow:$PATH" "$CAPTURE" --out "$WORK/out/gl.mkv" --size 64x36 --fps 10 --from 77.5 \
  --to 78.5 2>"$WORK/err")
status=$?
[ $status = 1 ] || fail "an OpenGL error gave status $status: $(cat "$WORK/err")"
grep -q "OpenGL Error Code" "$WORK/err" || fail "no OpenGL error line: $(cat "$WORK/err")"
grep -q "ended at the error above" "$WORK/err" || fail "no word of the abandoned capture: $(cat "$WORK/err")"
expect_clean "$WORK/out/gl.mkv" "OpenGL error"
(cd "$dir" && "$CAPTURE" --frames "$WORK/gl-seq" --size 64x36 --fps 10 --from 77.5 --to 78.5 \
  --stats "$WORK/gl-seq/stats.csv" 2>"$WORK/err")
status=$?
[ -e "$WORK/gl-seq/stats.csv" ] && fail "a capture cut short by an OpenGL error left its statistics"
[ $status = 1 ] || fail "an OpenGL error in a sequence gave status $status: $(cat "$WORK/err")"
[ -e "$WORK/gl-seq/music.wav" ] && fail "a sequence cut short by an OpenGL error has its music.wav"
ls "$WORK/gl-seq" | grep -q '\.part' && fail "temporary files left after an OpenGL error: $(ls "$WORK/gl-seq")"
echo "capture failures: ok"
