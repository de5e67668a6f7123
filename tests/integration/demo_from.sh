# --from in the real demo under a virtual display: --from 110 shows the cubes scene, and the
# music SDL's disk driver writes first is the off-line render of the song from 110 s,
# sample for sample. (The scene clock after a seek: show_test and loop_restart.) Needs ImageMagick.
source "$(dirname "$0")/common.bash"
start_xvfb 320x180
dir=$(make_run_dir 1)
# share FILE CONDITION: the share of pixels for which an ImageMagick fx condition holds.
share() { convert "$1" -fx "$2 ? 1 : 0" -format "%[fx:mean]" info:; }

# Plays until the window shows a picture (a minute and more with the software renderer), kept
# as shown.png, and the driver has written 48 buffers (about 4.5 s): up to 40 may be silent.
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw" SDL_DISKAUDIODELAY=93
start_demo "$dir" --window 320x180 --from 110
seen=0
for _ in $(seq 360); do
  kill -0 "$pid" 2>/dev/null || break
  [ $seen = 0 ] && grab "$WORK/shown.png" 2>/dev/null &&
    awk -v v="$(share "$WORK/shown.png" "lightness>0.1")" 'BEGIN { exit !(v > 0.5) }' && seen=1
  [ $seen = 1 ] && [ "$(stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0)" -ge $((48 * 4096 * 4)) ] && break
  sleep 0.5
done
ends_cleanly "--from 110" "$dir" TERM
[ $seen = 1 ] || fail "--from 110: the window never showed a picture"
expect "--from 110: the cubes' brown wall" "$(share "$WORK/shown.png" "r>b+0.05")" ">" 0.3
"$CAPTURE" --audio "$WORK/offline.wav" --from 110 --to 140 2>/dev/null || fail "off-line render failed"
music_matches "$WORK/music.raw" "$WORK/offline.wav" 40 10000
[ "$PLAYED" -ge $((44100 * 4)) ] || fail "--from 110: only $PLAYED bytes of music were written"
finish_checks
echo "demo --from: ok"
