# Escape (a real key press), SIGTERM and SIGINT each end the playing demo with status 0 and an
# empty log.
source "$(dirname "$0")/common.bash"
start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw"
command -v xdotool >/dev/null || fail "xdotool is not installed"
dir=$(make_run_dir 1)
for how in Escape TERM INT; do
  rm -f "$SDL_DISKAUDIOFILE"
  start_demo "$dir"
  wait_until_playing "$pid" "$SDL_DISKAUDIOFILE" || fail "the demo did not start playing: $(cat "$dir/error_log.txt" "$WORK/stderr")"
  [ $how = Escape ] && press Escape
  ends_cleanly "after $how" "$dir" "${how#Escape}"  # within a minute: the show ends in the next frame
done
echo "quit: ok"
