# The real demo's start-up failures: each writes its exact line to error_log.txt and ends
# with status -1 (255).
source "$(dirname "$0")/common.bash"
start_xvfb
export SDL_AUDIODRIVER=dummy
# refused STATUS LOG ENV...: the demo in $dir, with ENV and $options, ends with STATUS and
# the log is exactly LOG (one of LOG's '|'-parted texts; '*': any).
refused() {
  local want=$1 logs=$2 status log
  shift 2
  status=$(cd "$dir" && env "$@" timeout 300 "$DEMO" ${options:-} >"$WORK/stdout" 2>"$WORK/stderr"; echo $?)
  log=$(cat "$dir/error_log.txt" 2>/dev/null; echo x)
  [ "$status" = "$want" ] && { [ "$logs" = '*' ] || [[ "|$logs|" == *"|${log%x}|"* ]]; } ||
    fail "$*: status $status, log '${log%x}', stderr '$(cat "$WORK/stderr")'"
}
dir=$(make_run_dir 1)
refused 255 $'OpenGL 4.0 is not supported.\n' MESA_GL_VERSION_OVERRIDE=3.3COMPAT
# A 4.1 driver without texture storage would be called through a stub: refused by name.
refused 255 $'OpenGL function glTexStorage2D is not available.\n' MESA_GL_VERSION_OVERRIDE=4.1COMPAT MESA_EXTENSION_OVERRIDE=-GL_ARB_texture_storage
refused 255 $'OpenGL init failed.\n' MESA_GL_VERSION_OVERRIDE=2.1
# The classic library opens its audio driver in SDL_OpenAudio; sdl12-compat's SDL 2 opens it
# in SDL_Init already. Each start-up failure line goes to stderr as well as to the log.
refused 255 $'SDL_OpenAudio failed.\ninitAudio failed.\n|SDL_Init failed.\n' SDL_AUDIODRIVER=no-such-driver
grep -qx "initAudio failed." "$WORK/stderr" || grep -qx "SDL_Init failed." "$WORK/stderr" ||
  fail "missing audio driver: stderr holds '$(cat "$WORK/stderr")'"

# No display at all (as over ssh): one line that names the capture tool, before SDL starts
# (whose text-mode drivers would take the terminal over), and nothing else; the log of an
# earlier run is left alone. --gl-info needs a window too; an empty DISPLAY names none either.
dir=$(make_run_dir 2)
echo "earlier run" >"$dir/error_log.txt"
for options in "" "--window 64x36 --mute" "--gl-info" "DISPLAY="; do
  display="-u DISPLAY"
  [ "$options" = DISPLAY= ] && display=DISPLAY= options=""
  # shellcheck disable=SC2086
  status=$(cd "$dir" && env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER $display timeout 60 "$DEMO" $options \
    </dev/null >"$WORK/stdout" 2>"$WORK/stderr"; echo $?)
  [ "$status" = 255 ] && [ ! -s "$WORK/stdout" ] &&
    [ "$(cat "$WORK/stderr")" = "demo: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set); demo-capture renders the show without one (see demo-capture --help)" ] ||
    fail "no display ($display $options): status $status, stderr '$(cat "$WORK/stderr")', stdout '$(cat "$WORK/stdout")'"
  expect_file_text "$dir/error_log.txt" "earlier run\n"
done

# A video driver the user chose is theirs to try: SDL cannot open a video mode (or start
# video). SDL 2 under sdl12-compat may fall back to its off-screen driver instead, where the
# show plays unseen: then it must still run after a few seconds and end cleanly at SIGTERM.
dir=$(make_run_dir 3)
(cd "$dir" && exec env -u DISPLAY SDL_VIDEODRIVER=x11 TERM=dumb "$DEMO" </dev/null >"$WORK/stdout" 2>"$WORK/stderr") &
pid=$!
sleep 4
if [ "${DEMO_SDL:-}" = compat ] && kill -0 "$pid" 2>/dev/null; then
  ends_cleanly "a chosen driver, off-screen" "$dir" TERM
else
  wait_for_exit "$pid" 300
  log=$(cat "$dir/error_log.txt")
  [ "$EXIT_STATUS" = 255 ] && { [ "$log" = "SDL_SetVideoMode failed." ] || [ "$log" = "SDL_Init failed." ]; } ||
    fail "a chosen driver without a display: status $EXIT_STATUS, log '$log'"
fi

# A missing shader file: named first (gl_test holds the log's whole layout), and the first
# OpenGL error, logged last, ends the show with status 1.
rm "$dir/shaders/forrest_f.glsl"
refused 1 '*'
log=$(cat "$dir/error_log.txt")
head -n1 <<<"$log" | grep -qx "Cannot open shader file shaders/forrest_f.glsl." &&
  tail -n1 <<<"$log" | grep -Eq '\*\*\* Line [0-9]{5}: OpenGL Error Code 0x[0-9a-f]{8} \*\*\*$' ||
  fail "missing shader file: the log is '$log'"

# A track file that does not read fails both programs before any frame, whichever scene
# needs it first (the forest's from 100 s too): the same one line, naming the file's line.
for case in "forest.txt|track tint\n0 0 0 0 0 0 0 0\n|tracks/forest.txt:2: a key of tint is a time and 6 numbers (3 of the value, 3 of the tangent); this line has 7 after its time" \
  "tv.txt|# tv\ntrack fade\n0 1\0 0\n|tracks/tv.txt:3: not text: a NUL byte" \
  "pacman.txt||tracks/pacman.txt: cannot be opened: No such file or directory"; do
  IFS='|' read -r file bytes message <<<"$case"
  bad=$(make_run_dir "4$file") && rm "$bad/tracks/$file"
  [ -n "$bytes" ] && printf "$bytes" >"$bad/tracks/$file"
  dir=$bad options="--window 64x36 --from 100 --mute" refused 255 "$message"$'\n'
  (cd "$bad" && timeout 60 "$CAPTURE" --size 64x36 --at 100 --out "$WORK/bad-frames" 2>"$WORK/stderr")
  status=$?
  [ "$status" = 1 ] && [ "$(cat "$WORK/stderr")" = "$message" ] && [ ! -e "$WORK/bad-frames" ] ||
    fail "a bad $file: the capture tool's status $status, its stderr '$(cat "$WORK/stderr")'"
done

# A folder in the log's place: the show still fails cleanly, and says why on stderr.
rm "$dir/error_log.txt" && mkdir "$dir/error_log.txt"
refused 255 "" MESA_GL_VERSION_OVERRIDE=3.3COMPAT
grep -qx "OpenGL 4.0 is not supported." "$WORK/stderr" || fail "a folder in the log's place: no word on stderr: '$(cat "$WORK/stderr")'"
echo "start-up failures: ok"
