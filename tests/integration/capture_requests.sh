# Odd requests to the capture tool: refusals before any work, a missing shaders/ folder,
# outputs that are not regular files, the frame on screen at a time, spans off the frame grid,
# and sequence folders used before.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"

# Refused requests (the option unit tests hold the list and the reasons): status 2 at once,
# the reason and a pointer to --help on stderr, nothing on stdout and nothing written. Each
# would render the whole show at full size if it got that far, which the time limit catches.
mkdir -p "$WORK/empty"
for args in "--out odd.mkv --size 1920x1081 --audio a.wav" "--frames seq --jobs 2 --stats s.csv" \
  "--frames seq --pass-stats p.csv --pass-stats q.csv" "--audio - --frames seq --stats -"; do
  # shellcheck disable=SC2086  # the words of each case are separate arguments
  env -C "$WORK/empty" timeout 120 "$CAPTURE" $args >"$WORK/out" 2>"$WORK/err"
  status=$?
  [ $status = 2 ] && [ "$(grep -c . "$WORK/err")" = 2 ] && grep -q "^Try 'demo-capture --help'" "$WORK/err" ||
    fail "'$args' gave status $status, not a reason in one line: $(cat "$WORK/err")"
  [ -z "$(ls -A "$WORK/empty")" ] && [ ! -s "$WORK/out" ] || fail "'$args' wrote $(ls -A "$WORK/empty") $(cat "$WORK/out")"
done

# The scene table the scripts read: name, start and end, back to back from 0 s to the end of
# the show; a listing that cannot be written all is a failure.
"$CAPTURE" --list-scenes >"$WORK/scenes" || fail "--list-scenes failed"
awk -F'\t' 'NF != 3 || $1 !~ /^[a-z]+$/ || $2 != (NR == 1 ? "0.000" : end) || $3 + 0 <= $2 + 0 { bad = 1 }
  { end = $3 } END { exit bad || end != "192.000" }' "$WORK/scenes" || fail "the scene listing: $(cat "$WORK/scenes")"
"$CAPTURE" --list-scenes >/dev/full 2>/dev/null && fail "--list-scenes succeeded into a full disk"

# A render size larger than the OpenGL driver renders (no driver renders 32768 pixels a side):
# status 2 at once, before the full-size surface is allocated, the limit named, nothing made.
timeout 20 "$CAPTURE" --frames "$WORK/huge" --size 8192x4096 --supersample 4 2>"$WORK/err"
status=$?
[ $status = 2 ] && grep -q "renders 32768x16384, which is larger than this OpenGL driver renders (GL_MAX_" "$WORK/err" &&
  [ ! -e "$WORK/huge" ] || fail "a size beyond the driver's limits: status $status, $(cat "$WORK/err"; ls "$WORK")"

# Outputs that cannot be written (a folder named as the video, a dangling link, a missing
# folder, a folder below a file, a read-only folder) are refused before any rendering (status
# 1, no "captured" line), and nothing else of the request is written first.
mkdir -p "$WORK/pre/v.mp4" && touch "$WORK/pre/file" && ln -s "$WORK/pre/nowhere.mkv" "$WORK/pre/dangling.mkv" &&
  ln -s "$WORK/pre/nowhere.wav" "$WORK/pre/dangling.wav" || fail "cannot set up the outputs in the way"
for args in "--out $WORK/pre/v.mp4 --audio $WORK/pre/a.wav" "--out $WORK/pre/dangling.mkv --audio $WORK/pre/a.wav" \
  "--audio $WORK/pre/dangling.wav --frames $WORK/pre/seq" "--frames $WORK/pre/seq --stats $WORK/pre/no/s.csv" \
  "--out $WORK/pre/no/v.mp4" "--frames $WORK/pre/file/seq"; do
  timeout 20 "$CAPTURE" $args 2>"$WORK/err"
  status=$?
  [ $status = 1 ] && grep -Eq "folder|symbolic link|/no/.*: No such file|Not a directory" "$WORK/err" &&
    ! grep -q "captured" "$WORK/err" || fail "'$args' gave status $status: $(cat "$WORK/err")"
  [ "$(ls "$WORK/pre" | tr '\n' ' ')" = "dangling.mkv dangling.wav file v.mp4 " ] ||
    fail "'$args' left $(ls "$WORK/pre" | tr '\n' ' ')"
done
[ -L "$WORK/pre/dangling.mkv" ] && [ -L "$WORK/pre/dangling.wav" ] || fail "a dangling link was replaced"
# The read-only folder as an unprivileged user where this is root (which writes anyway), with a
# copy of the tool, shaders and tracks open to everyone (the checkout may be private).
mkdir -p "$WORK/ro/seq" "$WORK/ro/tool"
cp "$CAPTURE" "$WORK/ro/tool/demo-capture" && cp -r "$SOURCE_DIR/shaders" "$SOURCE_DIR/tracks" "$WORK/ro/tool/" ||
  fail "cannot copy the tool, the shaders and the tracks"
chmod -R a+rX "$WORK/ro" && chmod 0555 "$WORK/ro/seq" && chmod 0755 "$WORK" || fail "cannot open the folders"
as_user=()
[ "$(id -u)" = 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
"${as_user[@]}" test -x "$WORK/ro/tool/demo-capture" ||
  fail "the unprivileged user cannot reach $WORK (is TMPDIR inside a private folder?)"
"${as_user[@]}" env -C "$WORK/ro/tool" timeout 20 ./demo-capture --frames "$WORK/ro/seq" --size 64x36 --fps 10 \
  --from 110 --to 111 2>"$WORK/err"
status=$?
[ $status = 1 ] && grep -q "Permission denied" "$WORK/err" && ! grep -q "captured" "$WORK/err" ||
  fail "a read-only sequence folder gave status $status: $(cat "$WORK/err")"
chmod 0700 "$WORK"

# --stats - writes the statistics to standard output and makes no file named "-".
mkdir -p "$WORK/dash" && ln -s "$SOURCE_DIR/shaders" "$SOURCE_DIR/tracks" "$WORK/dash/" || fail "no folder"
env -C "$WORK/dash" "$CAPTURE" --frames seq --size 64x36 --fps 10 --from 110 --to 110.3 --stats - >"$WORK/stats-out" \
  2>"$WORK/err" || fail "--stats - failed: $(cat "$WORK/err")"
[ "$(head -n1 "$WORK/stats-out" | cut -c1-6)$(wc -l <"$WORK/stats-out")" = "frame,4" ] &&
  [ "$(ls "$WORK/dash" | tr '\n' ' ')" = "seq shaders tracks " ] ||
  fail "--stats - wrote $(cat "$WORK/stats-out") to standard output and made $(ls "$WORK/dash" | tr '\n' ' ')"

# No shaders/ here: one line saying so, before anything is made. The music alone needs none.
mkdir -p "$WORK/bare" && env -C "$WORK/bare" "$CAPTURE" --frames seq --size 64x36 --from 110 --to 111 2>"$WORK/err"
status=$?
[ $status = 1 ] && [ "$(wc -l < "$WORK/err")" = 1 ] && grep -q "shaders/" "$WORK/err" && [ ! -e "$WORK/bare/seq" ] ||
  fail "without shaders/: status $status, not one line naming shaders/, or a folder made: $(cat "$WORK/err")"
(cd "$WORK/bare" && "$CAPTURE" --audio m.wav --to 0.5) || fail "the music alone needs shaders/"

# The music: 1.5 s is 66150 frames after the 44-byte header, and the opening notes sound; to
# standard output, piped, it is the file's byte for byte (and the same on every run).
"$CAPTURE" --audio "$WORK/m.wav" --to 1.5 || fail "audio capture failed"
[ "$(stat -c %s "$WORK/m.wav")" = $((44 + 66150 * 4)) ] || fail "1.5 s of music is $(stat -c %s "$WORK/m.wav") bytes"
nonzero=$(tail -c +45 "$WORK/m.wav" | od -An -v -t d2 | tr -s ' ' '\n' | grep -cv '^0*$')
[ "$nonzero" -gt 66150 ] || fail "only $nonzero of 132300 samples are not silent"
"$CAPTURE" --audio - --to 1.5 | cat > "$WORK/piped.wav"
[ "${PIPESTATUS[0]}" = 0 ] && cmp -s "$WORK/m.wav" "$WORK/piped.wav" || fail "--audio - failed or differs from the file"
# A FIFO and a symlink to /dev/null are written in place and stay what they are.
mkfifo "$WORK/fifo.wav" && { cat "$WORK/fifo.wav" > "$WORK/from-fifo.wav" & }
"$CAPTURE" --audio "$WORK/fifo.wav" --to 1.5 || fail "writing into a FIFO failed"
wait $!
[ -p "$WORK/fifo.wav" ] && cmp -s "$WORK/m.wav" "$WORK/from-fifo.wav" || fail "the FIFO was replaced or its reader got other bytes"
ln -s /dev/null "$WORK/null.mp4"
"$CAPTURE" --out "$WORK/null.mp4" --size 64x36 --fps 10 --from 110 --to 111 2>"$WORK/err" ||
  fail "a video into a link to /dev/null failed: $(cat "$WORK/err")"
[ "$(readlink "$WORK/null.mp4")" = /dev/null ] || fail "null.mp4 is no longer a link to /dev/null"
ls "$WORK" | grep -q '\.part' && fail "temporary files left: $(ls "$WORK")"

# The frame on screen at a time is the last frame whose tick is not after it: at 60 fps, 33.99 s
# is the frame of tick 33983 (not the next scene's first), 80.01 s that of 80.000, not 80.016.
"$CAPTURE" --size 64x36 --fps 60 --at 33.99,33.983,80.01,80,80.016,191.99 --out "$WORK/at" 2>"$WORK/err" ||
  fail "stills at 33.99 and 191.99 failed: $(cat "$WORK/err")"
cmp -s "$WORK/at/frame-33990.png" "$WORK/at/frame-33983.png" && cmp -s "$WORK/at/frame-80010.png" "$WORK/at/frame-80000.png" &&
  ! cmp -s "$WORK/at/frame-80010.png" "$WORK/at/frame-80016.png" && [ -s "$WORK/at/frame-191990.png" ] ||
  fail "33.99 s is not the frame of tick 33983, or 80.01 s not the one of 80.000, or no frame at 191.99 s"

# A span off the frame grid across a scene switch (77.95 s at 10 fps): frame k is the still at
# from + k / fps, and the music starts at 77.95 s exactly.
"$CAPTURE" --frames "$WORK/seq" --size 64x36 --fps 10 --from 77.95 --to 78.25 2>"$WORK/err" ||
  fail "off-grid span failed: $(cat "$WORK/err")"
"$CAPTURE" --at 78.05,78.15 --size 64x36 --fps 20 --out "$WORK/grid" 2>/dev/null || fail "stills failed"
cmp -s "$WORK/seq/frame-000001.png" "$WORK/grid/frame-78050.png" && cmp -s "$WORK/seq/frame-000002.png" \
  "$WORK/grid/frame-78150.png" && ! cmp -s "$WORK/seq/frame-000001.png" "$WORK/seq/frame-000002.png" ||
  fail "frames 1 and 2 are not the two different pictures at 78.05 and 78.15 s"
"$CAPTURE" --audio "$WORK/whole.wav" --to 78.25 || fail "audio capture failed"
first=3437595  # 77.95 s * 44100
cmp -s <(tail -c +$((44 + first * 4 + 1)) "$WORK/whole.wav") <(tail -c +45 "$WORK/seq/music.wav") ||
  fail "the span's music does not start at 77.95 s"

# A folder used before: the earlier capture's frames and music go, nothing else does.
touch "$WORK/seq/frame-000099.png" "$WORK/seq/frame-80000.png" "$WORK/seq/notes.txt"
"$CAPTURE" --frames "$WORK/seq" --size 64x36 --fps 10 --from 110 --to 110.2 2>"$WORK/err" ||
  fail "second capture into the folder failed: $(cat "$WORK/err")"
[ "$(ls "$WORK/seq" | tr '\n' ' ')" = "frame-000000.png frame-000001.png music.wav notes.txt " ] ||
  fail "the folder holds $(ls "$WORK/seq" | tr '\n' ' ')"
[ "$(stat -c %s "$WORK/seq/music.wav")" = $((44 + 8820 * 4)) ] || fail "music.wav is not the new span's"
echo "capture requests: ok"
