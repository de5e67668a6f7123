# The whole show in the real demo under a virtual display: it ends by itself, not before 192 s,
# with status 0 and an empty log, and the music SDL's disk driver recorded is the
# off-line render of the same length, byte for byte.
source "$(dirname "$0")/common.bash"
start_xvfb 192x108
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw" SDL_DISKAUDIODELAY=93

dir=$(make_run_dir 1)
started=$(date +%s)
(cd "$dir" && exec "$DEMO" >"$WORK/stdout" 2>"$WORK/stderr") &
wait_for_exit $! 400
elapsed=$(( $(date +%s) - started ))
[ "$EXIT_STATUS" = 0 ] || fail "status $EXIT_STATUS after ${elapsed}s: $(cat "$dir/error_log.txt" "$WORK/stderr")"
expect_file_text "$dir/error_log.txt" ""
[ "$elapsed" -ge 191 ] || fail "the show ended after ${elapsed}s, before its 192 s"

# The driver paces its buffers slower than real time, so it records less than the show's
# 192 s; before the song it writes a silent buffer each time it runs while the device is
# still paused: skip those, then all of it must match.
"$CAPTURE" --audio "$WORK/offline.wav" 2>/dev/null || fail "off-line render failed"
buffer=$((4096 * 4))
size=$(stat -c %s "$WORK/music.raw")
matched=""
for paused in 0 1 2 3 4; do
  skip=$((paused * buffer))
  [ $paused = 0 ] || cmp -s -n $skip "$WORK/music.raw" /dev/zero || break
  recorded=$((size - skip))
  cmp -s -i "$skip:44" -n "$recorded" "$WORK/music.raw" "$WORK/offline.wav" && matched=$paused && break
done
[ -n "$matched" ] || fail "the recorded music differs from the off-line render"
[ "$recorded" -ge $((60 * 44100 * 4)) ] || fail "only $recorded bytes of music were recorded"
nonzero=$(tail -c +$((skip + 1)) "$WORK/music.raw" | od -An -v -td2 -w2 -N 4000000 | awk '$1 != 0 { n++ } END { print n + 0 }')
[ "$nonzero" -gt 100000 ] || fail "the recorded music is nearly silent ($nonzero non-zero samples)"
echo "full show: ${elapsed}s, $((recorded / 176400)) s of music matching after $matched paused buffers, ok"
