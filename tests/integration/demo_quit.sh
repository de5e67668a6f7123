# Escape (a real key press), SIGTERM and SIGINT each end the playing demo with status 0 and an
# empty log.
source "$(dirname "$0")/common.bash"
start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw"
command -v xdotool >/dev/null || fail "xdotool is not installed"

start_demo() {  # starts the demo in folder $1 and waits until it plays; its pid goes to DEMO_PID
  rm -f "$SDL_DISKAUDIOFILE"
  (cd "$1" && exec "$DEMO" >"$WORK/stdout" 2>"$WORK/stderr") &
  DEMO_PID=$!
  wait_until_playing "$DEMO_PID" "$SDL_DISKAUDIOFILE" ||
    fail "the demo did not start playing: $(cat "$1/error_log.txt" "$WORK/stderr")"
}

dir=$(make_run_dir 1)
start_demo "$dir"
pid=$DEMO_PID
xdotool key Escape
wait_for_exit "$pid" 60  # a hang detector: the show ends in the next frame
status=$EXIT_STATUS
[ "$status" = 0 ] || fail "after Escape: status $status"
expect_file_text "$dir/error_log.txt" ""

for signal in TERM INT; do
  start_demo "$dir"
  pid=$DEMO_PID
  kill -s $signal "$pid"
  wait_for_exit "$pid" 60
  status=$EXIT_STATUS
  [ "$status" = 0 ] || fail "after SIG$signal: status $status"
  expect_file_text "$dir/error_log.txt" ""
done
echo "quit: ok"
