# The whole show in the real demo under a virtual display: it ends by itself after about
# 192 s with status 0 and an empty log.
source "$(dirname "$0")/common.bash"
start_xvfb 192x108
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/music.raw" SDL_DISKAUDIODELAY=90

dir=$(make_run_dir 1)
started=$(date +%s)
(cd "$dir" && exec "$DEMO" >"$WORK/stdout" 2>"$WORK/stderr") &
wait_for_exit $! 400
elapsed=$(( $(date +%s) - started ))
[ "$EXIT_STATUS" = 0 ] || fail "status $EXIT_STATUS after ${elapsed}s: $(cat "$dir/error_log.txt" "$WORK/stderr")"
expect_file_text "$dir/error_log.txt" ""
[ "$elapsed" -ge 191 ] || fail "the show ended after ${elapsed}s, before its 192 s"
[ "$elapsed" -le 240 ] || fail "the show took ${elapsed}s to end"
echo "full show: ${elapsed}s, ok"
