# A frame at show time T is the same picture however it is reached: through every frame up to
# it, skipping to it, after other frames, with the times in another order, or at another rate
# (the curves' fixed 1/60 s steps: their fixtures were rendered frame by frame at 60 fps).
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"  # the shaders are read from ./shaders

# same A B WHAT: the two pictures have the same pixels.
same() {
  { cmp -s "$1" "$2" || [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; } && echo "ok   $3" && return
  echo "FAIL $3: $1 and $2 differ"
  CHECK_FAILURES=$((CHECK_FAILURES + 1))
}

# The television from the forest's last frame on, every frame, against stills skipping to
# each time. Frame k of the span is at 33.8 + k / 5 s.
"$CAPTURE" --size 160x90 --fps 5 --from 33.8 --to 70.2 --frames "$WORK/every" 2>/dev/null || fail "span capture failed"
"$CAPTURE" --size 160x90 --fps 5 --at 34,34.2,42,49,63,70 --out "$WORK/skip" || fail "stills failed"
for ms in 34000 34200 42000 49000 63000 70000; do
  same "$WORK/every/frame-$(printf "%06d" $(((ms - 33800) / 200))).png" "$WORK/skip/frame-$ms.png" \
    "$ms ms through every frame and skipping"
done

# The shader world and the cubes: every still from the scene's start, and two in reverse.
"$CAPTURE" --size 160x90 --fps 2 --at "$(LC_ALL=C seq -s, 78 0.5 80),$(LC_ALL=C seq -s, 110 0.5 118)" \
  --out "$WORK/dense" || fail "dense capture failed"
"$CAPTURE" --size 160x90 --fps 2 --at 118,80 --out "$WORK/reversed" || fail "reversed capture failed"
for ms in 80000 118000; do same "$WORK/dense/frame-$ms.png" "$WORK/reversed/frame-$ms.png" "$ms ms in either order"; done

# The curves, which build each frame on the one before: at 30 fps with an earlier frame
# captured on the way, and at 144 fps skipping straight to each time.
for run in "60 126,126.517,130,134,147" "30 127,130,134,147" "144 130,134,147"; do
  "$CAPTURE" --size 192x108 --fps "${run% *}" --at "${run#* }" --out "$WORK/${run% *}"; done 2>"$WORK/log"
[ -s "$WORK/log" ] && fail "the curves' captures logged: $(cat "$WORK/log")"
for frame in 60/126000 60/126517 {60,30,144}/{130000,134000,147000}; do
  same "$SOURCE_DIR/tests/fixtures/curves_60fps/frame-${frame#*/}.png" "$WORK/${frame%/*}/frame-${frame#*/}.png" \
    "curves at ${frame%/*} fps, ${frame#*/} ms, against the frame rendered frame by frame at 60 fps"
done
finish_checks
echo "frames however reached: ok"
