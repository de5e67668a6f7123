# Every scene's pictures against the committed references (tests/references, rendered as
# render.bash says): a frame fails when more of its pixels than the limit differ by more than
# the fuzz; the rendered frames and a difference picture of each failure stay under
# BUILD_DIR/reference_frames. tools/refresh_references.sh takes in a deliberate change.
source "$(dirname "$0")/common.bash"
source "$SOURCE_DIR/tests/references/render.bash"
command -v compare >/dev/null || fail "ImageMagick's compare (package imagemagick) is not installed"
REFERENCES="$SOURCE_DIR/tests/references" OUT="$BUILD_DIR/reference_frames" FUZZ=1% LIMIT=250
rm -rf "$OUT" && mkdir -p "$OUT/differences" || fail "cannot make $OUT"
# The shaders compile without a message and no OpenGL error is logged.
render_references "$CAPTURE" "$SOURCE_DIR" "$OUT/rendered" 2>"$WORK/log" && [ ! -s "$WORK/log" ] ||
  fail "the capture failed or logged: $(cat "$WORK/log")"

# Every reference and every frame of the list: a frame without a reference means the
# references were not refreshed after a change of the list.
checked=0
for name in $( (cd "$REFERENCES" && ls -- */frame-*.png; cd "$OUT/rendered" && ls -- */frame-*.png) | sort -u); do
  reference="$REFERENCES/$name" rendered="$OUT/rendered/$name" difference="$OUT/differences/${name//\//-}"
  if [ ! -f "$reference" ]; then
    echo "FAIL $name has no reference (tools/refresh_references.sh renders it)"
  else
    differing=$(compare -fuzz "$FUZZ" -metric AE "$reference" "$rendered" "$difference" 2>&1)
    awk -v d="$differing" -v l="$LIMIT" 'BEGIN { exit !(d ~ /^[0-9.e+]+$/ && d + 0 <= l) }' &&
      rm -f "$difference" && checked=$((checked + 1)) && continue
    echo "FAIL $name: $differing pixels differ by more than $FUZZ (limit $LIMIT); see $rendered and $difference"
  fi
  CHECK_FAILURES=$((CHECK_FAILURES + 1))
done
finish_checks
echo "reference frames: $checked frames within $LIMIT pixels differing by more than $FUZZ"
