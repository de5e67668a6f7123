# A capture that fails or is cut short never looks like success and leaves nothing behind:
# stand-in ffmpeg programs that fail, truncate or stop reading; a full disk; SIGINT and SIGTERM
# in the middle of a video and of a sequence; a fatal OpenGL error from a broken shader.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"
FFMPEG="$(command -v ffmpeg)" || fail "ffmpeg (package ffmpeg) is not installed"
command -v perl >/dev/null || fail "perl is needed to start the tool with SIGCHLD ignored"
export TMPDIR="$WORK/tmp"  # where the encoder's music goes; must end up empty
mkdir -p "$TMPDIR" "$WORK/out"

# Writes stand-in $3 (default ffmpeg) in bin-$1 with body $2; each records its pid first.
stand_in() {
  local tool=${3:-ffmpeg}
  mkdir -p "$WORK/bin-$1"
  printf '#!/bin/bash\necho $$ > "%s"\n%s\n' "$WORK/$tool.pid" "$2" > "$WORK/bin-$1/$tool"
  chmod +x "$WORK/bin-$1/$tool"
}
# The output is the last argument, a file: URL.
stand_in fail 'cat > /dev/null; out="${@: -1}"; head -c 5000 /dev/zero > "${out#file:}"; echo "stand-in: cannot encode: $*" >&2; exit 1'
stand_in truncate "\"$FFMPEG\" \"\$@\" || exit; out=\"\${@: -1}\"; out=\"\${out#file:}\"; truncate -s \$((\$(stat -c %s \"\$out\") / 2)) \"\$out\" || exit; exit 0"
stand_in quit 'exit 1'
stand_in stall 'exec sleep 300'
# Real ffmpeg after 2 s, or at the frames' own rate (long enough to interrupt) noting its ignored
# signals or its descriptors; an ffprobe that never answers, and one that answers slowly.
stand_in late "echo > \"$WORK/late-started\"; sleep 2; exec \"$FFMPEG\" \"\$@\""
stand_in sigign "grep SigIgn /proc/\$\$/status > \"$WORK/ffmpeg-sigign\"; exec \"$FFMPEG\" -re \"\$@\""
stand_in slow "ls -l /proc/\$\$/fd > \"$WORK/fds\"; exec \"$FFMPEG\" -re \"\$@\""
stand_in probe-stall 'exec sleep 300' ffprobe
stand_in probe-slow "sleep 3; exec \"$(command -v ffprobe)\" \"\$@\"" ffprobe

# Nothing is left of output $1 (what: $2): no music.wav beside it (a finished sequence's), no
# temporary beside it or in TMPDIR, no encoder running.
expect_clean() {
  [ -e "$1" ] || [ -e "$(dirname "$1")/music.wav" ] && fail "$2: $1 or a music.wav beside it was left behind"
  ls "$(dirname "$1")" 2>/dev/null | grep -q '\.part' && fail "$2: temporary files left: $(ls "$(dirname "$1")")"
  [ -z "$(ls "$TMPDIR")" ] || fail "$2: temporary files left in TMPDIR: $(ls "$TMPDIR")"
  [ -s "$WORK/ffmpeg.pid" ] && kill -0 "$(cat "$WORK/ffmpeg.pid")" 2>/dev/null && fail "$2: the encoder is still running"
  rm -f "$WORK/ffmpeg.pid"
}
# Waits up to 120 s for file $1 to hold something; false if it never does.
wait_for_file() {
  for _ in $(seq 1200); do [ -s "$1" ] && return 0; sleep 0.1; done
  return 1
}
# failing WHAT PATTERN OUTPUT COMMAND...: COMMAND ends with status 1, says PATTERN (an extended
# regular expression) on stderr, kept in $WORK/err, and leaves nothing of OUTPUT (if given).
failing() {
  local what=$1 pattern=$2 output=$3
  shift 3
  "$@" 2>"$WORK/err"
  local status=$?
  [ $status = 1 ] && grep -Eq "$pattern" "$WORK/err" || fail "$what gave status $status: $(cat "$WORK/err")"
  [ -z "$output" ] || expect_clean "$output" "$what"
}

# An encoder that fails, started with SIGCHLD ignored as a shell or service may hand down.
failing "a failing encoder" "ffmpeg failed with status 1" "$WORK/out/a.mp4" env PATH="$WORK/bin-fail:$PATH" \
  perl -e '$SIG{CHLD} = "IGNORE"; exec @ARGV' "$CAPTURE" --out "$WORK/out/a.mp4" --size 64x36 --fps 10 --from 110 \
  --to 111 --stats "$WORK/out/a.csv"
# ffmpeg's own message is passed on; none names a temporary or says "wrote"; no statistics.
grep -q "stand-in: cannot encode" "$WORK/err" && ! grep -Eq '\.part|demo-capture-music|wrote' "$WORK/err" &&
  [ ! -e "$WORK/out/a.csv" ] || fail "a failing encoder: $(cat "$WORK/err"; ls "$WORK/out")"
# An encoder that exits 0 over a truncated file: the read-back check catches it.
failing "a truncated video" "frames|cannot be read back|lasts" "$WORK/out/b.mkv" env PATH="$WORK/bin-truncate:$PATH" \
  "$CAPTURE" --out "$WORK/out/b.mkv" --size 64x36 --fps 10 --from 110 --to 112
# An encoder that stops reading is killed after the timeout; ffprobe obeys it too (the outer
# limits only catch a capture that waits for ever).
failing "a stalled encoder" "no frame data for 2 s" "$WORK/out/c.mp4" env PATH="$WORK/bin-stall:$PATH" timeout 300 \
  "$CAPTURE" --out "$WORK/out/c.mp4" --size 64x36 --fps 30 --from 110 --to 115 --encoder-timeout 2
failing "a stalled ffprobe" "ffprobe made no progress .* for 2 s" "$WORK/out/p.mkv" env \
  PATH="$WORK/bin-probe-stall:$PATH" timeout 120 "$CAPTURE" --out "$WORK/out/p.mkv" --size 64x36 --fps 10 --from 110 \
  --to 111 --encoder-timeout 2
kill -0 "$(cat "$WORK/ffprobe.pid")" 2>/dev/null && fail "the stalled ffprobe is still running"
# An encoder that quits before taking a frame: the frame that did not arrive is not counted.
failing "an encoder that quit" "^captured 0 frames" "$WORK/out/q.mkv" env PATH="$WORK/bin-quit:$PATH" \
  "$CAPTURE" --out "$WORK/out/q.mkv" --size 320x180 --fps 10 --from 110 --to 111
# A full disk: the real ffmpeg's error while writing is a failure, not "wrote".
ln -s /dev/full "$WORK/out/full.mkv"
failing "a full disk" "No space left on device" "" \
  "$CAPTURE" --out "$WORK/out/full.mkv" --size 64x36 --fps 10 --from 110 --to 111
[ -L "$WORK/out/full.mkv" ] && rm "$WORK/out/full.mkv" || fail "the link to /dev/full was replaced"
expect_clean "$WORK/out/full.mkv" "full disk"

# interrupt SIGNAL STATUS PROGRESS ARGS...: signals the tool alone once PROGRESS holds
# something; expects STATUS and word of it. A script's background job starts with SIGINT
# ignored, which the tool keeps: the signals get their default action, as in a terminal.
interrupt() {
  local sig=$1 expected=$2 progress=$3
  shift 3
  rm -f "$progress"
  PATH="$WORK/bin-slow:$WORK/bin-probe-slow:$PATH" perl -e '$SIG{$_} = "DEFAULT" for qw(INT TERM HUP); exec @ARGV' \
    "$CAPTURE" "$@" 2>"$WORK/err" &
  local pid=$!
  wait_for_file "$progress" || fail "SIG$sig: the capture made no progress: $(cat "$WORK/err")"
  kill -"$sig" "$pid"
  wait_for_exit "$pid" 60
  [ "$EXIT_STATUS" = "$expected" ] && grep -q "interrupted by SIG$sig" "$WORK/err" ||
    fail "SIG$sig gave status $EXIT_STATUS: $(cat "$WORK/err")"
}
exec 9>"$WORK/inherited"  # a descriptor the tool inherits and must not pass on
interrupt INT 130 "$WORK/fds" --out "$WORK/out/v.mp4" --size 64x36 --fps 30 --from 110 --to 140
expect_clean "$WORK/out/v.mp4" "SIGINT during a video"
# The encoder got only its own three descriptors (the script stays open in bash as 255).
extra=$(grep -- '->' "$WORK/fds" | grep -Ev ' (0|1|2|255) -> ')
[ -z "$extra" ] || fail "descriptors leaked to the encoder: $extra"
seq="$WORK/seq"
interrupt TERM 143 "$seq/frame-000002.png" --frames "$seq" --size 320x180 --fps 10 --from 80 --to 110 --stats "$seq/stats.csv"
expect_clean "$seq/stats.csv" "SIGTERM during a sequence"
[ -e "$seq/frame-000002.png" ] || fail "SIGTERM: the finished frames were removed"
# While ffprobe reads the finished video, the interrupt stops it too.
interrupt TERM 143 "$WORK/ffprobe.pid" --out "$WORK/out/p.mkv" --size 64x36 --fps 10 --from 110 --to 111
grep -q "interrupted by SIGTERM: stopped ffprobe and removed" "$WORK/err" || fail "no ffprobe: $(cat "$WORK/err")"
expect_clean "$WORK/out/p.mkv" "SIGTERM during ffprobe"

# Started with SIGINT and SIGHUP ignored (nohup, a background job of a script), the tool and
# its encoder keep them ignored: they change nothing, and the capture finishes.
PATH="$WORK/bin-sigign:$PATH" perl -e '$SIG{INT} = $SIG{HUP} = "IGNORE"; $SIG{TERM} = "DEFAULT"; exec @ARGV' \
  "$CAPTURE" --out "$WORK/out/nohup.mkv" --size 64x36 --fps 10 --from 110 --to 113 2>"$WORK/err" &
pid=$!
wait_for_file "$WORK/ffmpeg-sigign" || fail "the encoder did not start: $(cat "$WORK/err")"
sleep 0.5 && kill -INT "$pid" && kill -HUP "$pid"
wait_for_exit "$pid" 60
[ "$EXIT_STATUS" = 0 ] && [ -s "$WORK/out/nohup.mkv" ] ||
  fail "SIGINT and SIGHUP ignored on entry stopped the capture ($EXIT_STATUS): $(cat "$WORK/err")"
mask=$(awk '{ print $2 }' "$WORK/ffmpeg-sigign")
(( (0x$mask & 3) == 3 )) || fail "the encoder got SIGHUP and SIGINT back (ignored mask $mask)"
rm -f "$WORK/out/nohup.mkv"
expect_clean "$WORK/out/nohup.mkv" "ignored signals"

# The encoder timeout leaves out time the capture spends stopped (SIGSTOP, or Ctrl-Z and fg)
# waiting for the encoder: stopped 6 s with a 4 s limit, it finishes.
PATH="$WORK/bin-late:$PATH" "$CAPTURE" --out "$WORK/out/late.mkv" --size 320x180 --fps 10 --from 110 --to 111 \
  --encoder-timeout 4 2>"$WORK/err" &
pid=$!
wait_for_file "$WORK/late-started" || fail "the late encoder did not start: $(cat "$WORK/err")"
sleep 0.7 && kill -STOP "$pid" && sleep 6 && kill -CONT "$pid"
wait_for_exit "$pid" 60
[ "$EXIT_STATUS" = 0 ] || fail "a capture stopped for 6 s blamed its encoder ($EXIT_STATUS): $(cat "$WORK/err")"

# A fatal OpenGL error in a later scene (a broken shader file): status 1, the error line, the
# encoder stopped and nothing left, the statistics and a sequence's music.wav included.
dir=$(make_run_dir gl)
echo "this is not GLSL" > "$dir/shaders/pacman_f.glsl"
failing "an OpenGL error" "ended at the error above" "$WORK/out/gl.mkv" env -C "$dir" PATH="$WORK/bin-slow:$PATH" \
  "$CAPTURE" --out "$WORK/out/gl.mkv" --size 64x36 --fps 10 --from 77.5 --to 78.5
grep -q "OpenGL Error Code" "$WORK/err" || fail "no OpenGL error line: $(cat "$WORK/err")"
failing "an OpenGL error in a sequence" "OpenGL Error Code" "$WORK/gl-seq/stats.csv" env -C "$dir" \
  "$CAPTURE" --frames "$WORK/gl-seq" --size 64x36 --fps 10 --from 77.5 --to 78.5 --stats "$WORK/gl-seq/stats.csv"
# A FIFO (which would hang the capture) or a folder in place of a shader: named at once.
for kind in fifo folder; do
  dir=$(make_run_dir "shader-$kind") && rm "$dir/shaders/pacman_f.glsl" || fail "no run folder"
  if [ $kind = fifo ]; then mkfifo "$dir/shaders/pacman_f.glsl"; else mkdir "$dir/shaders/pacman_f.glsl"; fi
  failing "a $kind in place of a shader" "^Cannot open shader file shaders/pacman_f\.glsl\.$" \
    "$WORK/out/sh-$kind/music.wav" env -C "$dir" timeout 60 "$CAPTURE" --frames "$WORK/out/sh-$kind" --size 64x36 \
    --fps 10 --from 77.5 --to 78.5
done

# Names planted where a temporary might go are left alone, whether the capture fails or not: a
# link at OUT.part is not followed, and a user's own OUT.part is neither written nor removed.
mkdir -p "$WORK/plant" && echo precious > "$WORK/victim" && echo mine > "$WORK/plant/w.mkv.part" &&
  ln -s "$WORK/victim" "$WORK/plant/v.mkv.part" || fail "cannot plant the names"
PATH="$WORK/bin-fail:$PATH" "$CAPTURE" --out "$WORK/plant/v.mkv" --size 64x36 --fps 10 --from 110 --to 111 \
  2>"$WORK/err" && fail "a failing encoder succeeded"
"$CAPTURE" --out "$WORK/plant/w.mkv" --size 64x36 --fps 10 --from 110 --to 111 2>"$WORK/err" ||
  fail "a capture beside a planted OUT.part failed: $(cat "$WORK/err")"
[ "$(cat "$WORK/victim")" = precious ] && [ -L "$WORK/plant/v.mkv.part" ] && [ "$(cat "$WORK/plant/w.mkv.part")" = mine ] &&
  [ "$(ls "$WORK/plant" | tr '\n' ' ')" = "v.mkv.part w.mkv w.mkv.part " ] ||
  fail "a planted link or a user's own OUT.part was followed, written or removed: $(ls -l "$WORK/plant")"
rm -f "$WORK/ffmpeg.pid"

# Past a file-size limit (ulimit -f, 1024-byte blocks) music.wav fails like any write.
failing "a sequence over a size limit" "File too large" "$WORK/out/limit/stats.csv" bash -c 'ulimit -f 64; exec "$@"' \
  - "$CAPTURE" --frames "$WORK/out/limit" --size 64x36 --fps 10 --from 110 --to 111 --stats "$WORK/out/limit/stats.csv"
# Statistics that cannot be written fail the capture before anything is committed.
for request in "--out $WORK/out/s.mkv --from 110 --to 111" "--frames $WORK/out/s-seq --from 110 --to 111" \
  "--at 110.5 --out $WORK/out/s-stills"; do
  failing "'$request' with --stats /dev/full" "No space left on device" "" \
    "$CAPTURE" $request --size 64x36 --fps 10 --stats /dev/full --audio "$WORK/out/s.wav"
  for f in s.mkv s-seq/music.wav s-stills/frame-110500.png s.wav; do
    [ -e "$WORK/out/$f" ] && fail "'$request' with failed statistics committed $f"; done
  ls -R "$WORK/out" | grep -q '\.part' && fail "'$request': temporary files left: $(ls -R "$WORK/out")"
  rm -rf "$WORK/out/s-seq" "$WORK/out/s-stills"
done
echo "capture failures: ok"
