# --from in the real demo under a virtual display: --from 110 shows the cubes scene, and the
# music SDL's disk driver writes first is the off-line render of the song from 110 s,
# sample for sample. (The scene clock after a seek: show_test and loop_restart.) Needs ImageMagick.
source "$(dirname "$0")/common.bash"
start_xvfb 320x180
dir=$(make_run_dir 1)

# share FILE CONDITION: the share of pixels for which an ImageMagick fx condition holds.
share() { convert "$1" -fx "$2 ? 1 : 0" -format "%[fx:mean]" info:; }

# Plays --from 110 until the window shows a picture (up to a minute and more with the software
# renderer), kept as $WORK/shown.png, and the driver has written 48 buffers (about 4.5 s): the
# check below skips up to 40 silent ones, which a loaded machine may take a while to write.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw" SDL_DISKAUDIODELAY=93
(cd "$dir" && exec "$DEMO" --window 320x180 --from 110 >"$WORK/stdout" 2>"$WORK/stderr") &
pid=$!
seen=0
for _ in $(seq 360); do
  kill -0 "$pid" 2>/dev/null || break
  if [ $seen = 0 ] && import -window root -crop 320x180+0+0 +repage "$WORK/shown.png" 2>/dev/null &&
    awk -v v="$(share "$WORK/shown.png" "lightness>0.1")" 'BEGIN { exit !(v > 0.5) }'; then
    seen=1
  fi
  [ $seen = 1 ] && [ "$(stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0)" -ge $((48 * 4096 * 4)) ] && break
  sleep 0.5
done
kill -TERM "$pid" 2>/dev/null
wait_for_exit "$pid" 10
[ "$EXIT_STATUS" = 0 ] || fail "--from 110: status $EXIT_STATUS: $(cat "$dir/error_log.txt" "$WORK/stderr")"
expect_file_text "$dir/error_log.txt" ""
[ $seen = 1 ] || fail "--from 110: the window never showed a picture"
expect "--from 110: the cubes' brown wall" "$(share "$WORK/shown.png" "r>b+0.05")" ">" 0.3

# The driver writes a silent buffer each time it runs while the device is still paused;
# after those, the music must be the song from 110 s exactly.
"$CAPTURE" --audio "$WORK/offline.wav" --from 110 --to 140 2>/dev/null || fail "off-line render failed"
buffer=$((4096 * 4))
size=$(stat -c %s "$WORK/music.raw")
matched=""
for paused in $(seq 0 40); do
  skip=$((paused * buffer))
  [ $skip -lt "$size" ] || break
  [ $paused = 0 ] || cmp -s -n $skip "$WORK/music.raw" /dev/zero || break
  played=$((size - skip))
  cmp -s -i "$skip:44" -n "$played" "$WORK/music.raw" "$WORK/offline.wav" && matched=$paused && break
done
[ -n "$matched" ] || fail "--from 110: the music written is not the song from 110 s"
[ "$played" -ge $((44100 * 4)) ] || fail "--from 110: only $played bytes of music were written"
nonzero=$(tail -c +$((skip + 1)) "$WORK/music.raw" | od -An -v -td2 -w2 | awk '$1 != 0 { n++ } END { print n + 0 }')
[ "$nonzero" -gt 10000 ] || fail "--from 110: the music written is nearly silent"
echo "ok   --from 110: $((played / 4)) frames of music, the song from 110 s after $matched silent buffers"

finish_checks
echo "demo --from: ok"
