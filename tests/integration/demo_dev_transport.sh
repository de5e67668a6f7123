# The maker's mode's transport in the real demo under a virtual display, keys sent by xdotool
# and the music recorded by SDL's disk driver: paused, two F12 frames a second apart are the
# same, the driver records silence and the song goes on from the very sample where it paused;
# the F12 frames after Right, Home, Page Down and frame steps are the capture tool's frames of
# those times, byte for byte; after a jump while playing the music is the song from the jump's
# sample, with no gap or repeat before it. Without --dev the keys do nothing.
source "$(dirname "$0")/common.bash"
command -v xdotool >/dev/null || fail "xdotool is not installed"
start_xvfb 320x180
dir=$(make_run_dir 1)
raw="$WORK/music.raw"
song="$WORK/song.wav"
BUFFER=$((4096 * 4))  # bytes the driver writes per callback

# The music frame nearest show time ms, as the program rounds it.
sample_at() { echo $((($1 * 44100 + 500) / 1000)); }
buffers() { echo $(($(stat -c %s "$raw") / BUFFER)); }
# Waits until the driver has written $1 more buffers.
wait_buffers() {
  local target=$(($(buffers) + $1))
  for _ in $(seq 1200); do [ "$(buffers)" -ge $target ] && return; sleep 0.1; done
  fail "the audio driver stopped writing"
}
silent() { cmp -s -i "$(($1 * BUFFER)):0" -n $BUFFER "$raw" /dev/zero; }
# song_at B FRAME N: the N buffers from buffer B are the song from FRAME on.
song_at() { cmp -s -i "$(($1 * BUFFER)):$((44 + $2 * 4))" -n $(($3 * BUFFER)) "$raw" "$song"; }
# The first buffer from $1 on that is (silent: $2 = 0) or is not (1) silence; -1 when none.
next_buffer() {
  local b n
  n=$(buffers)
  for ((b = $1; b < n; b++)); do
    silent "$b" && [ "$2" = 0 ] && { echo "$b"; return; }
    ! silent "$b" && [ "$2" = 1 ] && { echo "$b"; return; }
  done
  echo -1
}
# shoot_at NAME: an F12 frame, its show time as $NAME.
shoot_at() { screenshot && printf -v "$1" %s "$SHOT"; }

"$CAPTURE" --audio "$song" --from 0 --to 192 2>/dev/null || fail "off-line render failed"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$raw" SDL_DISKAUDIODELAY=93
start_demo "$dir" --dev --window 320x180 --from 20
wait_until_playing "$pid" "$raw" || fail "the demo did not start playing: $(cat "$dir/error_log.txt" "$WORK/stderr")"
screenshot  # the first frame is on screen: the show is under way
press F1    # the overlay is drawn over every frame from here: in no screenshot, leaking no state

# ---- pause ----
press space
shoot_at paused
mv "$dir/frame-$paused.png" "$WORK/paused-first.png"
sleep 1
screenshot
[ "$SHOT" = "$paused" ] || fail "paused at $paused ms, the clock moved on to $SHOT ms"
cmp -s "$WORK/paused-first.png" "$dir/frame-$paused.png" || fail "two paused frames a second apart differ"
echo "ok   pause: frame-$paused.png twice, a second apart, the same"
# The overlay is on the screen but not in the screenshot; hidden again, the screen is the screenshot.
grab "$WORK/with-overlay.png"
expect "overlay: pixels it changes on screen" "$(differing "$WORK/with-overlay.png" "$WORK/paused-first.png")" ">" 500
press F1
for _ in $(seq 120); do  # until a frame drawn after the overlay went is on screen
  grab "$WORK/without-overlay.png"
  [ "$(differing "$WORK/without-overlay.png" "$WORK/paused-first.png")" = 0 ] && break
  sleep 0.5
done
expect "overlay: pixels on screen once hidden" "$(differing "$WORK/without-overlay.png" "$WORK/paused-first.png")" "==" 0
press F1
wait_buffers 6
press space
wait_buffers 12

# ---- seek while paused: the pictures ----
press space
shoot_at stepped
press Right
shoot_at right
press Home
shoot_at home
press Next
shoot_at next
press period period comma
shoot_at frame
[ "$right $home $next $frame" = "$((stepped + 1000)) 0 34000 34016" ] ||
  fail "Right from $stepped ms, Home, Page Down and two frames on and one back went to $right, $home, $next and $frame ms"
# F12 never writes over a file or through a link that is in the way, and leaves nothing behind.
echo "not a picture" >"$WORK/victim" && ln -s "$WORK/victim" "$dir/frame-34033.png"
press period F12
await_stderr 0 "frame-34033.png already exists" "F12 over a link in the way"
[ -L "$dir/frame-34033.png" ] && [ "$(cat "$WORK/victim")" = "not a picture" ] || fail "F12 wrote through the link"
[ -z "$(ls "$dir" | grep -v -e '^frame-[0-9]*\.png$' -e '^shaders$' -e '^tracks$' -e '^error_log\.txt$')" ] ||
  fail "F12 left something behind: $(ls "$dir")"
rm "$dir/frame-34033.png"
press comma  # back to 34016 ms
echo "ok   F12: a link in the way is left alone, and said so"
times="$paused $right $home $next $frame"
(cd "$dir" && exec "$CAPTURE" --at "$(awk -v a="$times" 'BEGIN { n = split(a, t, " "); for (i = 1; i <= n; i++) printf "%s%.3f", (i > 1 ? "," : ""), t[i] / 1000 }')" \
  --size 320x180 --out "$WORK/capture" 2>"$WORK/capture.log") || fail "capture failed: $(cat "$WORK/capture.log")"
for ms in $times; do
  cmp -s "$dir/frame-$ms.png" "$WORK/capture/frame-$ms.png" && echo "ok   F12 at $ms ms is demo-capture --at $ms's frame" ||
    { echo "FAIL F12 at $ms ms differs from demo-capture --at in $(differing "$dir/frame-$ms.png" "$WORK/capture/frame-$ms.png") pixels"
      CHECK_FAILURES=$((CHECK_FAILURES + 1)); }
done

# ---- seek while playing: the music ----
wait_buffers 4
press space  # plays on from 34016 ms
wait_buffers 10
press Home
wait_buffers 10
press Escape
ends_cleanly "the maker's mode" "$dir"

# The recording: music from 20 s, the first pause's silence, the song from the paused sample,
# the second pause's silence (the seeks), the song from 34016 ms, then from 0 s.
first=$(next_buffer 0 1)
pause1=$(next_buffer "$first" 0)
resume1=$(next_buffer "$pause1" 1)
pause2=$(next_buffer "$resume1" 0)
resume2=$(next_buffer "$pause2" 1)
[ "$first" -ge 0 ] && [ $((pause1 > 0 && resume1 > 0 && pause2 > 0 && resume2 > 0)) = 1 ] ||
  fail "the recording is not music, silence, music, silence, music: $first $pause1 $resume1 $pause2 $resume2"
expect "pause: silent buffers" $((resume1 - pause1)) ">=" 6
song_at "$resume1" "$(sample_at "$paused")" $((pause2 - resume1)) ||
  fail "after the pause the music is not the song from $paused ms (sample $(sample_at "$paused")) on"
song_at "$resume2" "$(sample_at 34016)" 1 || fail "resuming at 34016 ms did not play the song from there"
# Home while playing: the buffers go on from 34016 ms until one starts at the song's first sample.
jump=-1
for b in $(seq "$resume2" $(($(buffers) - 8))); do song_at "$b" 0 8 && jump=$b && break; done
[ "$jump" -gt "$resume2" ] && song_at "$resume2" "$(sample_at 34016)" $((jump - resume2)) ||
  fail "after Home while playing, the song from 34016 ms (buffer $resume2) is not followed without a gap by the song from its first sample (buffer $jump)"
echo "ok   pause and seek: the song from the paused sample, then $((jump - resume2)) buffers from 34016 ms and the song from sample 0"

# ---- without --dev: the keys do nothing ----
rm -f "$raw"
pictures=$(ls "$dir" | grep -c '^frame-')
start_demo "$dir" --window 320x180 --from 110
wait_until_playing "$pid" "$raw" || fail "the plain demo did not start playing: $(cat "$WORK/stderr")"
start=$(next_buffer 0 1)
wait_buffers 4
press space F1 F12 Right Home Next period
wait_buffers 10
press Escape
ends_cleanly "the plain demo" "$dir"
[ "$(ls "$dir" | grep -c '^frame-')" = "$pictures" ] || fail "the plain demo saved a picture"
song_at "$start" "$(sample_at 110000)" $(($(buffers) - start)) ||
  fail "the plain demo's music is not the song from 110 s without a break: a key moved it"
echo "ok   without --dev: the keys neither save, pause nor move the music ($(($(buffers) - start)) buffers from 110 s)"
finish_checks
echo "demo --dev transport: ok"
