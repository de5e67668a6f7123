# A frame at show time T is the same picture however it is reached: rendering every frame up
# to it, skipping straight to it, capturing other frames before it or asking for the times
# in another order. The scenes' pictures themselves are checked by reference_frames.sh.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"  # the shaders are read from ./shaders

# same A B WHAT: the two files hold the same bytes.
same() {
  cmp -s "$1" "$2" && echo "ok   $3" && return
  echo "FAIL $3: $1 and $2 differ"
  CHECK_FAILURES=$((CHECK_FAILURES + 1))
}

# The television from the forest's last frame on, every frame (state the forest leaves
# included), against stills that skip to each time. Frame k of the span is at 33.8 + k / 5 s.
"$CAPTURE" --size 160x90 --fps 5 --from 33.8 --to 70.2 --frames "$WORK/every" 2>/dev/null || fail "span capture failed"
"$CAPTURE" --size 160x90 --fps 5 --at 34,34.2,42,49,63,70 --out "$WORK/skip" || fail "stills failed"
for ms in 34000 34200 42000 49000 63000 70000; do
  same "$WORK/every/frame-$(printf "%06d" $(((ms - 33800) / 200))).png" "$WORK/skip/frame-$ms.png" \
    "$ms ms through every frame and skipping"
done

# The shader world and the cubes: every frame from the scene's start against skipping, and
# the same stills asked for in the other order.
"$CAPTURE" --size 160x90 --fps 2 --at "$(LC_ALL=C seq -s, 78 0.5 80),$(LC_ALL=C seq -s, 110 0.5 118)" \
  --out "$WORK/dense" || fail "dense capture failed"
"$CAPTURE" --size 160x90 --fps 2 --at 118,80 --out "$WORK/reversed" || fail "reversed capture failed"
same "$WORK/dense/frame-80000.png" "$WORK/reversed/frame-80000.png" "80 s through every frame and skipping"
same "$WORK/dense/frame-118000.png" "$WORK/reversed/frame-118000.png" "118 s through every frame and skipping"

# The curves build each frame on the one before: capturing an earlier frame on the way
# leaves the later one as it is.
"$CAPTURE" --size 160x90 --fps 30 --at 127,130 --out "$WORK/curves" || fail "curves capture failed"
"$CAPTURE" --size 160x90 --fps 30 --at 130 --out "$WORK/curves-alone" || fail "curves capture failed"
same "$WORK/curves/frame-130000.png" "$WORK/curves-alone/frame-130000.png" "130 s with and without 127 s captured"

finish_checks
echo "frames however reached: ok"
