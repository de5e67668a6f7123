# The demo's options: every bad option or value is refused with status 2 and one line before
# anything opens (no log, no window); --help and --gl-info answer and exit; --window WxH
# opens a window of that size with an empty caption; --mute opens no audio device.
source "$(dirname "$0")/common.bash"
command -v xdotool >/dev/null || fail "xdotool is not installed"
dir=$(make_run_dir 1)

# Refusals, with no display at all: anything that tried to open a window would fail otherwise.
refused=(
  "--bogus" "window" "--window 640" "--window 640x" "--window 0x360" "--window 3x360" "--window +640x360"
  "--window 640x360x2" "--window 0x280x200" "--window 99999x360" "--from" "--from 192" "--from -1" "--from +5"
  "--from 1e2" "--from 0x10" "--from nan" "--from 5.5.5" "--from 12,5" "--mute --mute" "--loop --loop"
  "--from 1 --from 2" "--window --window" "--gl-info --mute" "--gl-info --loop" "--gl-info --from 3" "--mute extra"
)
for words in "${refused[@]}"; do
  # shellcheck disable=SC2086
  (cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY "$DEMO" $words >"$WORK/stdout" 2>"$WORK/stderr")
  status=$?
  [ "$status" = 2 ] || fail "'$words': status $status, expected 2"
  [ "$(wc -l <"$WORK/stderr")" = 1 ] || fail "'$words': expected one line on stderr, got: $(cat "$WORK/stderr")"
  grep -q '^demo: ' "$WORK/stderr" || fail "'$words': the message does not say which program: $(cat "$WORK/stderr")"
  [ -s "$WORK/stdout" ] && fail "'$words': wrote to stdout: $(cat "$WORK/stdout")"
  [ -e "$dir/error_log.txt" ] && fail "'$words': opened the log before refusing"
done
echo "ok   ${#refused[@]} bad command lines refused with status 2 and one line"

(cd "$dir" && env -u DISPLAY "$DEMO" --help >"$WORK/stdout" 2>"$WORK/stderr") || fail "--help: status $?"
for option in --window --from --loop --mute --gl-info --help; do
  grep -q -- "$option" "$WORK/stdout" || fail "--help does not mention $option"
done
[ -e "$dir/error_log.txt" ] && fail "--help opened the log"
echo "ok   --help"

start_xvfb 1024x768
export SDL_AUDIODRIVER=dummy

(cd "$dir" && "$DEMO" --gl-info >"$WORK/stdout" 2>"$WORK/stderr") || fail "--gl-info: status $?: $(cat "$WORK/stderr")"
for field in renderer version profile; do
  grep -Eq "^$field: .+" "$WORK/stdout" || fail "--gl-info does not print the $field: $(cat "$WORK/stdout")"
done
grep -q '^profile: compatibility$' "$WORK/stdout" || fail "not a compatibility profile: $(cat "$WORK/stdout")"
[ -e "$dir/error_log.txt" ] && fail "--gl-info opened the log"
echo "ok   --gl-info: $(grep '^renderer' "$WORK/stdout"), $(grep '^version' "$WORK/stdout")"

# Starts the demo in $dir with the given options; its pid goes to DEMO_PID.
start_demo() {
  (cd "$dir" && exec "$DEMO" "$@" >"$WORK/stdout" 2>"$WORK/stderr") &
  DEMO_PID=$!
}
# The id of the demo's visible window, waiting up to 10 s for it.
demo_window() {
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --pid "$DEMO_PID" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
# Ends the running demo (SIGTERM: with no window manager a window smaller than the screen
# need not have the keyboard) and checks the status and the empty log.
end_demo() {
  kill -TERM "$DEMO_PID"
  wait_for_exit "$DEMO_PID" 10
  [ "$EXIT_STATUS" = 0 ] || fail "$1: status $EXIT_STATUS after SIGTERM: $(cat "$dir/error_log.txt" "$WORK/stderr")"
  expect_file_text "$dir/error_log.txt" ""
}

# --window 640x360 on a 1024x768 screen: a window of exactly that size, not the screen's.
start_demo --window 640x360
window=$(demo_window) || fail "--window: no window appeared: $(cat "$dir/error_log.txt" "$WORK/stderr")"
sleep 1
geometry=$(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[ "$geometry" = 640x360 ] || fail "--window 640x360 opened a ${geometry} window"
name=$(xdotool getwindowname "$window")
[ -z "$name" ] || fail "the window's caption is '$name', expected none"
end_demo "--window 640x360"
echo "ok   --window 640x360 opens a 640x360 window with no caption"

start_demo --window
window=$(demo_window) || fail "--window: no window appeared"
sleep 1
geometry=$(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[ "$geometry" = 1280x720 ] || fail "--window opened a ${geometry} window"
end_demo "--window"
echo "ok   --window alone opens 1280x720, larger than the 1024x768 screen"

# --mute: SDL's disk driver would create its file on opening a device; with --mute there is
# none. A driver that cannot open at all makes the unmuted demo fail, and the muted one play.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw" SDL_DISKAUDIODELAY=93
start_demo --window 192x108 --mute
demo_window >/dev/null || fail "--mute: no window appeared: $(cat "$dir/error_log.txt" "$WORK/stderr")"
sleep 2
kill -0 "$DEMO_PID" 2>/dev/null || fail "--mute: the demo ended early: $(cat "$dir/error_log.txt" "$WORK/stderr")"
end_demo "--mute"
[ -e "$WORK/music.raw" ] && fail "--mute opened the audio device (the disk driver wrote $WORK/music.raw)"
start_demo --window 192x108
demo_window >/dev/null || fail "no window appeared without --mute"
sleep 2
end_demo "without --mute"
[ -s "$WORK/music.raw" ] || fail "without --mute the disk driver wrote nothing: the check above proves nothing"
echo "ok   --mute opens no audio device"

export SDL_AUDIODRIVER=no-such-driver
(cd "$dir" && timeout 20 "$DEMO" --window 192x108 >"$WORK/stdout" 2>"$WORK/stderr")
status=$?
[ "$status" != 0 ] && [ "$status" != 124 ] || fail "without --mute and without a usable audio driver: status $status"
start_demo --window 192x108 --mute
demo_window >/dev/null || fail "--mute with no audio driver: no window: $(cat "$dir/error_log.txt" "$WORK/stderr")"
sleep 2
end_demo "--mute with no audio driver"
echo "ok   --mute plays where no audio driver works"
echo "demo options: ok"
