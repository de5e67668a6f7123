# --loop: the show starts over after its end. loop_restart compares the pictures of rounds
# (see there). The real demo with --from 190 --loop plays the song from 190 s, then from its
# very first sample again, and goes on playing (that the show ends without --loop:
# demo_full_show.sh).
source "$(dirname "$0")/common.bash"
(cd "$SOURCE_DIR" && "$BUILD_DIR/tests/loop_restart" 160 90) || fail "looped or part-way rounds differ from a round from 0"
start_xvfb 192x108
dir=$(make_run_dir 1)
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw" SDL_DISKAUDIODELAY=93
start_demo "$dir" --window 192x108 --from 190 --loop
"$CAPTURE" --audio "$WORK/from0.wav" --from 0 --to 2 2>/dev/null || fail "off-line render failed"
"$CAPTURE" --audio "$WORK/from190.wav" --from 190 --to 192 2>/dev/null || fail "off-line render failed"
second=$((44100 * 4))  # bytes of one second of music
# at OFFSET WAV: true when the recording holds the first second of WAV's samples at byte OFFSET.
at() { cmp -s -n $second -i "$1:44" "$WORK/music.raw" "$2"; }
first="" restart=""
for _ in $(seq 240); do
  kill -0 $pid 2>/dev/null || break
  recorded=$(stat -c %s "$WORK/music.raw" 2>/dev/null || echo 0)
  for ((offset = 0; offset + second <= recorded; offset += 4096 * 4)); do  # the restart falls between buffers
    [ -z "$first" ] && at $offset "$WORK/from190.wav" && first=$offset
    [ -n "$first" ] && [ $offset -gt "$first" ] && at $offset "$WORK/from0.wav" && restart=$offset && break
  done
  [ -n "$restart" ] && break
  sleep 0.5
done
[ -n "$first" ] || fail "--from 190 --loop: the song from 190 s was never written: $(cat "$dir/error_log.txt" "$WORK/stderr")"
[ -n "$restart" ] || fail "--loop: the song did not start again from its first sample: $(cat "$dir/error_log.txt" "$WORK/stderr")"
echo "ok   --loop: the song from 190 s at byte $first, from 0 s again at byte $restart"
sleep 2
kill -0 $pid 2>/dev/null || fail "--loop: the demo ended after the second round began"
ends_cleanly "--loop" "$dir" TERM
echo "demo --loop: ok"
