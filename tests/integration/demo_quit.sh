# Escape (a real key press), SIGTERM and SIGINT each end the playing demo with status 0 and an
# empty log.
source "$(dirname "$0")/common.bash"
start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw"
command -v xdotool >/dev/null || fail "xdotool is not installed"
dir=$(make_run_dir 1)

for how in Escape TERM INT; do
  rm -f "$SDL_DISKAUDIOFILE"
  (cd "$dir" && exec "$DEMO" >"$WORK/stdout" 2>"$WORK/stderr") &
  pid=$!
  wait_until_playing "$pid" "$SDL_DISKAUDIOFILE" ||
    fail "the demo did not start playing: $(cat "$dir/error_log.txt" "$WORK/stderr")"
  if [ $how = Escape ]; then xdotool key Escape; else kill -s $how "$pid"; fi
  wait_for_exit "$pid" 60  # a hang detector: the show ends in the next frame
  [ "$EXIT_STATUS" = 0 ] || fail "after $how: status $EXIT_STATUS"
  expect_file_text "$dir/error_log.txt" ""
done
echo "quit: ok"
