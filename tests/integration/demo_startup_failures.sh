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

# 4.5 plays: its music starts, and it ends cleanly at SIGTERM.
(cd "$dir" && MESA_GL_VERSION_OVERRIDE=4.5COMPAT SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw" \
  exec "$DEMO" >"$WORK/stdout" 2>"$WORK/stderr") &
pid=$!
wait_until_playing "$pid" "$WORK/music.raw" || fail "OpenGL 4.5 did not play: $(cat "$dir/error_log.txt" "$WORK/stderr")"
kill -s TERM "$pid"
wait_for_exit "$pid" 60
[ "$EXIT_STATUS" = 0 ] || fail "OpenGL 4.5: status $EXIT_STATUS"
expect_file_text "$dir/error_log.txt" ""

status=$(run_demo "$dir" MESA_GL_VERSION_OVERRIDE=2.1)
[ "$status" = 255 ] || fail "OpenGL 2.1: status $status"
expect_file_text "$dir/error_log.txt" "OpenGL init failed.\n"

status=$(run_demo "$dir" SDL_AUDIODRIVER=no-such-driver)
[ "$status" = 255 ] || fail "missing audio driver: status $status"
expect_file_text "$dir/error_log.txt" "SDL_OpenAudio failed.\ninitAudio failed.\n"

# No display at all: SDL cannot open a video mode (or cannot start video).
status=$(run_demo "$dir" -u DISPLAY TERM=dumb </dev/null)
[ "$status" = 255 ] || fail "no display: status $status"
log=$(cat "$dir/error_log.txt")
[ "$log" = "SDL_SetVideoMode failed." ] || [ "$log" = "SDL_Init failed." ] ||
  fail "no display: log '$log'"

# A missing shader file: named, then the stage heading with its path, then the first
# OpenGL error, which ends the show with status 1.
dir=$(make_run_dir 2)
rm "$dir/shaders/forrest_f.glsl"
status=$(run_demo "$dir")
[ "$status" = 1 ] || fail "missing shader file: status $status"
log=$(cat "$dir/error_log.txt")
case "$log" in
  "Cannot open shader file shaders/forrest_f.glsl.

Fragment ShaderInfoLog: (shaders/forrest_f.glsl)
"*) ;;
  *) fail "missing shader file: the log does not open with the file's name and the stage heading: '$log'" ;;
esac
echo "$log" | tail -n1 | grep -Eq '\*\*\* Line [0-9]{5}: OpenGL Error Code 0x[0-9a-f]{8} \*\*\*$' ||
  fail "missing shader file: the log does not end with the OpenGL error line: '$log'"
dir=$(make_run_dir 1)

# A log that cannot be created does not stop the show from failing cleanly.
chmod 0555 "$dir"
rm -f "$dir/error_log.txt"
if [ "$(id -u)" != 0 ]; then
  status=$(run_demo "$dir" MESA_GL_VERSION_OVERRIDE=3.3COMPAT)
  [ "$status" = 255 ] || fail "unwritable log: status $status"
  [ ! -e "$dir/error_log.txt" ] || fail "unwritable log: a log appeared"
fi
chmod 0755 "$dir"
echo "start-up failures: ok"
