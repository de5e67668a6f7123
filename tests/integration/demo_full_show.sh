# The whole show in the real demo under a virtual display: it ends by itself, not before 192 s,
# with status 0 and an empty log, and the music SDL's disk driver recorded is the
# off-line render of the same length, byte for byte.
source "$(dirname "$0")/common.bash"
start_xvfb 192x108
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw" SDL_DISKAUDIODELAY=93
dir=$(make_run_dir 1)
started=$(date +%s)
start_demo "$dir"
wait_for_exit $pid 400
elapsed=$(( $(date +%s) - started ))
[ "$EXIT_STATUS" = 0 ] || fail "status $EXIT_STATUS after ${elapsed}s: $(cat "$dir/error_log.txt" "$WORK/stderr")"
expect_file_text "$dir/error_log.txt" ""
[ "$elapsed" -ge 191 ] || fail "the show ended after ${elapsed}s, before its 192 s"
# The driver paces its buffers slower than real time, so it records less than the show's 192 s.
"$CAPTURE" --audio "$WORK/offline.wav" 2>/dev/null || fail "off-line render failed"
music_matches "$WORK/music.raw" "$WORK/offline.wav" 4 100000
[ "$PLAYED" -ge $((60 * 44100 * 4)) ] || fail "only $PLAYED bytes of music were recorded"
echo "full show: ${elapsed}s, $((PLAYED / 176400)) s of music, ok"
