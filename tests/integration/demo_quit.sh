# Escape (a real key press), SIGTERM and SIGINT each end the running demo at once with
# status 0 and an empty log.
source "$(dirname "$0")/common.bash"
start_xvfb
export SDL_AUDIODRIVER=dummy
command -v xdotool >/dev/null || fail "xdotool is not installed"

start_demo() {  # starts the demo in folder $1; its pid goes to DEMO_PID
  (cd "$1" && exec "$DEMO" >"$WORK/stdout" 2>"$WORK/stderr") &
  DEMO_PID=$!
}

# Waits until the window is mapped and has drawn a few frames.
wait_for_window() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 2
}

dir=$(make_run_dir 1)
start_demo "$dir"
pid=$DEMO_PID
wait_for_window
kill -0 "$pid" 2>/dev/null || fail "the demo ended before Escape: $(cat "$dir/error_log.txt" "$WORK/stderr")"
xdotool key Escape
wait_for_exit "$pid" 5
status=$EXIT_STATUS
[ "$status" = 0 ] || fail "after Escape: status $status"
expect_file_text "$dir/error_log.txt" ""

for signal in TERM INT; do
  start_demo "$dir"
pid=$DEMO_PID
  wait_for_window
  kill -0 "$pid" 2>/dev/null || fail "the demo ended before SIG$signal: $(cat "$dir/error_log.txt" "$WORK/stderr")"
  kill -s $signal "$pid"
  wait_for_exit "$pid" 5
status=$EXIT_STATUS
  [ "$status" = 0 ] || fail "after SIG$signal: status $status"
  expect_file_text "$dir/error_log.txt" ""
done
echo "quit: ok"
