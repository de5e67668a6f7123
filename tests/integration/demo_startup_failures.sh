# The real demo's start-up failures: each writes its exact line to error_log.txt and ends
# with status -1 (255).
source "$(dirname "$0")/common.bash"
start_xvfb
export SDL_AUDIODRIVER=dummy

run_demo() {  # runs the demo in folder $1 with the rest as environment; prints the status
  local dir=$1
  shift
  (cd "$dir" && env "$@" timeout 300 "$DEMO" >"$WORK/stdout" 2>"$WORK/stderr"; echo $?)
}

dir=$(make_run_dir 1)
status=$(run_demo "$dir" MESA_GL_VERSION_OVERRIDE=3.3COMPAT)
[ "$status" = 255 ] || fail "OpenGL 3.3: status $status"
expect_file_text "$dir/error_log.txt" "OpenGL 4.0 is not supported.\n" || cat "$WORK/stderr"

# A 4.1 driver without texture storage would be called through a stub: refused by name.
status=$(run_demo "$dir" MESA_GL_VERSION_OVERRIDE=4.1COMPAT MESA_EXTENSION_OVERRIDE=-GL_ARB_texture_storage)
[ "$status" = 255 ] || fail "OpenGL 4.1 without texture storage: status $status"
expect_file_text "$dir/error_log.txt" "OpenGL function glTexStorage2D is not available.\n"

status=$(run_demo "$dir" MESA_GL_VERSION_OVERRIDE=2.1)
[ "$status" = 255 ] || fail "OpenGL 2.1: status $status"
expect_file_text "$dir/error_log.txt" "OpenGL init failed.\n"

# The classic library opens its audio driver in SDL_OpenAudio; sdl12-compat's SDL 2 opens it
# in SDL_Init already.
status=$(run_demo "$dir" SDL_AUDIODRIVER=no-such-driver)
[ "$status" = 255 ] || fail "missing audio driver: status $status"
log=$(cat "$dir/error_log.txt"; echo x)
[ "$log" = "$(printf 'SDL_OpenAudio failed.\ninitAudio failed.\nx')" ] || [ "$log" = "$(printf 'SDL_Init failed.\nx')" ] ||
  fail "missing audio driver: log '$(cat "$dir/error_log.txt")'"
# Each start-up failure line goes to stderr as well as to the log.
grep -qx "initAudio failed." "$WORK/stderr" || grep -qx "SDL_Init failed." "$WORK/stderr" ||
  fail "missing audio driver: stderr holds '$(cat "$WORK/stderr")'"

# No display at all (as over ssh): one line that names the capture tool, before SDL starts
# (whose text-mode drivers would take the terminal over), and nothing else; the log of an
# earlier run is left alone. --gl-info needs a window too.
dir=$(make_run_dir 1)
echo "earlier run" >"$dir/error_log.txt"
for options in "" "--window 64x36 --mute" "--gl-info"; do
  status=$(cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 60 "$DEMO" $options \
    </dev/null >"$WORK/stdout" 2>"$WORK/stderr"; echo $?)
  [ "$status" = 255 ] || fail "no display ($options): status $status"
  [ "$(cat "$WORK/stderr")" = "demo: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set); demo-capture renders the show without one (see demo-capture --help)" ] ||
    fail "no display ($options): stderr '$(cat "$WORK/stderr")'"
  [ ! -s "$WORK/stdout" ] || fail "no display ($options): stdout '$(cat "$WORK/stdout")'"
  expect_file_text "$dir/error_log.txt" "earlier run\n"
done
# An empty DISPLAY names no display either.
lines=$(cd "$dir" && env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY= timeout 60 "$DEMO" 2>&1 >/dev/null | grep -c "demo-capture")
[ "$lines" = 1 ] || fail "an empty DISPLAY: not refused with the one line"

# A video driver the user chose is theirs to try: SDL cannot open a video mode (or cannot
# start video). SDL 2 under sdl12-compat may fall back to its off-screen driver instead,
# where the show plays unseen: then it must still be running after a few seconds and end
# cleanly at SIGTERM.
(cd "$dir" && exec env -u DISPLAY SDL_VIDEODRIVER=x11 TERM=dumb "$DEMO" </dev/null >"$WORK/stdout" 2>"$WORK/stderr") &
pid=$!
sleep 4
if [ "${DEMO_SDL:-}" = compat ] && kill -0 "$pid" 2>/dev/null; then
  kill -s TERM "$pid"
  wait_for_exit "$pid" 10
  [ "$EXIT_STATUS" = 0 ] || fail "a chosen driver, off-screen: status $EXIT_STATUS"
  expect_file_text "$dir/error_log.txt" ""
else
  wait_for_exit "$pid" 300
  [ "$EXIT_STATUS" = 255 ] || fail "a chosen driver without a display: status $EXIT_STATUS"
  log=$(cat "$dir/error_log.txt")
  [ "$log" = "SDL_SetVideoMode failed." ] || [ "$log" = "SDL_Init failed." ] || fail "a chosen driver without a display: log '$log'"
fi

# A missing shader file: named first (gl_test holds the log's whole layout), and the first
# OpenGL error, logged last, ends the show with status 1.
dir=$(make_run_dir 2)
rm "$dir/shaders/forrest_f.glsl"
status=$(run_demo "$dir")
[ "$status" = 1 ] || fail "missing shader file: status $status"
log=$(cat "$dir/error_log.txt")
head -n1 <<<"$log" | grep -qx "Cannot open shader file shaders/forrest_f.glsl." &&
  tail -n1 <<<"$log" | grep -Eq '\*\*\* Line [0-9]{5}: OpenGL Error Code 0x[0-9a-f]{8} \*\*\*$' ||
  fail "missing shader file: the log is '$log'"

# A track file that does not read fails both programs before any frame, whichever scene
# needs it first (the forest's from 100 s too): the same one line, naming the file's line.
bad=$(make_run_dir 3)
cp -r "$bad/tracks" "$WORK/good-tracks"
for case in "forest.txt|track tint\n0 0 0 0 0 0 0 0\n|tracks/forest.txt:2: a key of tint is a time and 6 numbers (3 of the value, 3 of the tangent); this line has 7 after its time" \
  "tv.txt|# tv\ntrack fade\n0 1\0 0\n|tracks/tv.txt:3: not text: a NUL byte" \
  "pacman.txt||tracks/pacman.txt: cannot be opened: No such file or directory"; do
  IFS='|' read -r file bytes message <<<"$case"
  rm -rf "$bad/tracks" && cp -r "$WORK/good-tracks" "$bad/tracks" && rm "$bad/tracks/$file"
  [ -n "$bytes" ] && printf "$bytes" >"$bad/tracks/$file"
  status=$(cd "$bad" && timeout 300 "$DEMO" --window 64x36 --from 100 --mute >"$WORK/stdout" 2>"$WORK/stderr"; echo $?)
  [ "$status" = 255 ] || fail "a bad $file: the demo's status is $status"
  expect_file_text "$bad/error_log.txt" "$message\n"
  (cd "$bad" && timeout 60 "$CAPTURE" --size 64x36 --at 100 --out "$WORK/bad-frames" 2>"$WORK/stderr")
  status=$?
  [ "$status" = 1 ] && [ "$(cat "$WORK/stderr")" = "$message" ] && [ ! -e "$WORK/bad-frames" ] ||
    fail "a bad $file: the capture tool's status $status, its stderr '$(cat "$WORK/stderr")'"
done

# A folder in the log's place: the show still fails cleanly, and says why on stderr.
rm "$dir/error_log.txt" && mkdir "$dir/error_log.txt"
status=$(run_demo "$dir" MESA_GL_VERSION_OVERRIDE=3.3COMPAT)
[ "$status" = 255 ] || fail "a folder in the log's place: status $status"
grep -qx "OpenGL 4.0 is not supported." "$WORK/stderr" ||
  fail "a folder in the log's place: no word on stderr: '$(cat "$WORK/stderr")'"
echo "start-up failures: ok"
