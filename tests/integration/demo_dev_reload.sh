# Live reload in the maker's mode, in the real demo under a virtual display, of scratch copies
# of the shader and track folders given with --shaders and --tracks. Each picture is held to
# the capture tool's of the same time from the same files: a saved change shows in the next
# frames (the time it took is printed); a syntax error or a broken track line is named with
# its line and keeps the last good picture; the fix, saved by rename, brings in the change
# meant; a file broken before its scene first starts, fixed and broken again, draws the last
# good program after jumps away and back (keys and the timeline bar); a change to a scene that
# is not current shows when it starts. K adds one key line at the paused frame's time, and
# Ctrl+Z gives the file back byte for byte.
source "$(dirname "$0")/common.bash"
command -v xdotool >/dev/null || fail "xdotool is not installed"
start_xvfb 320x180
dir=$(make_run_dir 1)
# edit: the folder the demo reads and watches; changed: its files after the colour changes;
# fixed: the change the broken save meant, as the fix saves it.
for copy in edit original changed fixed; do cp -r "$SOURCE_DIR/shaders" "$WORK/$copy"; done
edit="$WORK/edit" original="$WORK/original" changed="$WORK/changed" fixed="$WORK/fixed"
sed -i 's/const float kGain = 1.8;/const float kGain = 1.1;/' "$changed/screen2_f.glsl"
sed -i 's/const float kExposure = 1.6;/const float kExposure = 3.0;/' "$changed/curvefinal_f.glsl" "$fixed/curvefinal_f.glsl"
sed -i 's/const float kGain = 1.8;/const float kGain = 0.6;/' "$fixed/screen2_f.glsl"
# tracks: the track folder the demo reads and watches; scaled: the television's screen smaller.
cp -r "$SOURCE_DIR/tracks" "$WORK/tracks" && cp -r "$SOURCE_DIR/tracks" "$WORK/scaled"
tracks="$WORK/tracks" scaled="$WORK/scaled"
sed -i 's/^1000   1   0$/1000   0.8   0/' "$scaled/tv.txt"
[ "$( (diff -q "$original" "$changed"; diff -q "$original" "$fixed"; diff -q "$tracks" "$scaled") | wc -l)" = 5 ] ||
  fail "a constant or key the script edits was not found"

# Saves the frame as $1 and sets paused to its show time.
shot() { screenshot && paused=$SHOT && mv "$dir/frame-$paused.png" "$1"; }
# Presses key $1 and waits until the frame at the time it jumps to is drawn.
jump() {
  local before=$(grep -c "after the key" "$WORK/stderr")
  press "$1"
  await_stderr "$before" "after the key" "$1 drew no frame"
}
# Waits up to $2 seconds until the window shows a picture other than $1; prints the
# milliseconds it took.
wait_window() {
  local start=$(date +%s%N)
  for _ in $(seq $(($2 * 10))); do
    grab "$WORK/window.png"
    [ "$(differing "$WORK/window.png" "$1")" = 0 ] || break
    sleep 0.05
  done
  echo $((($(date +%s%N) - start) / 1000000))
}
# Holds picture $1 to the capture tool's frame at $paused ms from shader folder $2 and track
# folder $3 (the shipped tracks by default).
expect_capture() {
  local out="$WORK/capture-$(basename "$2")-$(basename "${3:-tracks}")"
  [ -e "$out/frame-$paused.png" ] || (cd "$dir" && exec "$CAPTURE" --shaders "$2" --tracks "${3:-$dir/tracks}" \
    --at "$(awk -v m="$paused" 'BEGIN { printf "%.3f", m / 1000 }')" --size 320x180 --out "$out" 2>"$WORK/capture.log") ||
    fail "capture failed: $(cat "$WORK/capture.log")"
  cmp -s "$1" "$out/frame-$paused.png"
}

start_demo "$dir" --dev --window 320x180 --from 40 --mute --shaders "$edit" --tracks "$tracks"
for _ in $(seq 1200); do  # until the first frame is drawn: a minute or more on a loaded machine
  kill -0 "$pid" 2>/dev/null || fail "the demo ended: $(cat "$WORK/stderr")"
  press F12
  sleep 0.5
  grep -q "saved frame-" "$WORK/stderr" && break
done
press space
sleep 0.5
shot "$WORK/before.png"
expect_capture "$WORK/before.png" "$original" || fail "the paused frame at $paused ms is not the capture tool's"

# ---- a saved track file shows; a broken one keeps the last good keys ----
cat "$scaled/tv.txt" >"$tracks/tv.txt"  # written in place
ms=$(wait_window "$WORK/before.png" 30)
shot "$WORK/scaled.png"
expect_capture "$WORK/scaled.png" "$original" "$scaled" ||
  fail "after the track file's save the frame is not the capture tool's from the same files"
echo "ok   a saved track file shows: the capture tool's picture from the same files, on screen ${ms} ms after the save"
echo "1200 garbage 0" >>"$tracks/tv.txt"
await_stderr 0 "/tv\.txt:[0-9]*: " "the broken track file was not named with its line"
sleep 1
shot "$WORK/garbled.png"
cmp -s "$WORK/garbled.png" "$WORK/scaled.png" || fail "with a broken track file the frame is not the last good one"

# ---- K adds one key line at the paused frame's time; Ctrl+Z takes it out again ----
cp "$scaled/tv.txt" "$tracks/.tv.txt.new" && mv "$tracks/.tv.txt.new" "$tracks/tv.txt"  # fixed by rename
await_stderr 1 "Track reload: read .*/tv\.txt" "the fixed track file was not read"
cp "$tracks/tv.txt" "$WORK/tv-before-k.txt"
cs=$(((((paused + 1) * 60 + 999) / 1000 - 1) * 1000 / 60 / 10 - 3400))  # the television's clock at the grid frame on screen
press k
await_stderr 0 "key added at" "K added no key"
added=$(diff "$WORK/tv-before-k.txt" "$tracks/tv.txt" | grep '^[<>]')
[ "$(echo "$added" | wc -l)" = 1 ] && [[ "$added" == "> $cs"[[:space:]]* ]] ||
  fail "K at $paused ms did not add exactly one key line at $cs: $added"
press ctrl+z
await_stderr 0 "the last edit undone" "Ctrl+Z undid nothing"
cmp -s "$WORK/tv-before-k.txt" "$tracks/tv.txt" || fail "after Ctrl+Z the file is not as it was before K"
echo "ok   K at $paused ms adds the one line '${added#> }', and Ctrl+Z takes it out again, byte for byte"
cat "$SOURCE_DIR/tracks/tv.txt" >"$tracks/tv.txt"
wait_window "$WORK/scaled.png" 30 >/dev/null
shot "$WORK/unscaled.png"
cmp -s "$WORK/unscaled.png" "$WORK/before.png" || fail "the shipped track file saved back did not give the first picture"

# ---- a saved change shows; a syntax error keeps the last good program; the fix by rename ----
cat "$changed/screen2_f.glsl" >"$edit/screen2_f.glsl"  # written in place
ms=$(wait_window "$WORK/before.png" 30)
shot "$WORK/changed.png"
expect_capture "$WORK/changed.png" "$changed" || fail "after the save the frame is not the changed folder's picture"
echo "ok   a saved change shows: the capture tool's picture from the changed folder, on screen ${ms} ms after the save"
sed 's/const float kGain = 0.6;/const float kGain = 0.6/' "$fixed/screen2_f.glsl" >"$edit/screen2_f.glsl"
await_stderr 0 "screen2_f\.glsl:[0-9]" "the syntax error was not reported with file and line"
sleep 1
shot "$WORK/broken.png"
cmp -s "$WORK/broken.png" "$WORK/changed.png" || fail "with the syntax error the frame is not the last good one"
cp "$fixed/screen2_f.glsl" "$edit/.screen2_f.glsl.new" && mv "$edit/.screen2_f.glsl.new" "$edit/screen2_f.glsl"
ms=$(wait_window "$WORK/changed.png" 30)
shot "$WORK/fixed.png"
expect_capture "$WORK/fixed.png" "$fixed" || fail "the fix saved by rename did not bring the change in"
echo "ok   the fix, saved by rename, brings the change in: the capture tool's picture, on screen ${ms} ms after the save"
cp "$original/screen2_f.glsl" "$edit/.screen2_f.glsl.new" && mv "$edit/.screen2_f.glsl.new" "$edit/screen2_f.glsl"
wait_window "$WORK/fixed.png" 30 >/dev/null
shot "$WORK/restored.png"
cmp -s "$WORK/restored.png" "$WORK/before.png" || fail "the original file saved back did not give the original picture"

# ---- a file broken before its scene first starts; the last good program across jumps ----
broken_cube() { sed 's/void main()/void main(/' "$original/cube_f.glsl" >"$edit/cube_f.glsl"; }
placed="$edit/cube_f\.glsl:[0-9]*:"
broken_cube
sleep 0.5  # no program reads it yet
jump Next
jump Next  # the cubes start from the broken file
grep -q "$placed" "$WORK/stderr" && ! grep -q "ShaderInfoLog" "$WORK/stderr" ||
  fail "the first build's error is not named $edit/cube_f.glsl:LINE: $(tail -n5 "$WORK/stderr")"
cp "$original/cube_f.glsl" "$edit/cube_f.glsl"
await_stderr 0 "rebuilt .*cube_f" "the fixed file was not rebuilt"
failed=$(grep -c "$placed" "$WORK/stderr")
broken_cube
await_stderr "$failed" "$placed" "the file broken again was not reported"
jump Prior
jump Next
shot "$WORK/cubes-pages.png"
expect_capture "$WORK/cubes-pages.png" "$original" || fail "after Page Up and Page Down the cubes are not the last good program's"
jump Left  # 109 s, back over the cubes' start
jump Right
shot "$WORK/cubes-steps.png"
cmp -s "$WORK/cubes-steps.png" "$WORK/cubes-pages.png" || fail "after Left and Right the cubes are not the last good program's"
press F1
xdotool mousemove 150 165 click 1  # the timeline bar in the Pacman scene
shot "$WORK/bar-pacman.png"
xdotool mousemove 190 165 click 1  # and in the cubes
shot "$WORK/cubes-bar.png"
press F1
expect_capture "$WORK/cubes-bar.png" "$original" || fail "after jumps on the timeline bar the cubes at $paused ms are not the last good program's"
echo "ok   with the file broken again the cubes draw the last good program after every jump away and back"

# ---- a scene that is not current ----
cat "$changed/curvefinal_f.glsl" >"$edit/curvefinal_f.glsl"
sleep 1
jump Next  # the curves start
shot "$WORK/curves.png"
expect_capture "$WORK/curves.png" "$changed" || fail "the curves' change made while the television played does not show when they start"
expect_capture "$WORK/curves.png" "$original" && fail "the curves' picture is the original one"
echo "ok   a change to a scene that is not current shows when it starts"
press Escape  # the log holds the errors above: only the status is checked
wait_for_exit "$pid" 60 && pid=""
[ "$EXIT_STATUS" = 0 ] || fail "status $EXIT_STATUS: $(tail -n5 "$WORK/stderr")"
echo "demo --dev reload: ok"
