# Live shader reload and --shaders. shader_reload_check edits a scratch copy of the shader
# folder on a headless driver and checks programs, pictures, messages and the live object
# count after each save (see there). The capture tool's --shaders reads another folder: a
# copy gives the picture ./shaders gives, a copy with a changed colour another one, from a
# working folder without shaders/; --tracks likewise, with a changed camera key.
source "$(dirname "$0")/common.bash"
cp -r "$SOURCE_DIR/shaders" "$WORK/scratch"
(cd "$SOURCE_DIR" && "$BUILD_DIR/tests/shader_reload_check" "$WORK/scratch") >"$WORK/check.txt" 2>"$WORK/check.err"
status=$?
cat "$WORK/check.txt"
[ $status = 0 ] || fail "shader reload check: status $status; stderr: $(tail -n 20 "$WORK/check.err")"

cp -r "$SOURCE_DIR/shaders" "$WORK/copy" && cp -r "$SOURCE_DIR/shaders" "$WORK/tinted" && cp -r "$SOURCE_DIR/tracks" "$WORK/turned"
sed -i 's/\* tint;/* tint * vec4(0.0, 1.0, 1.0, 1.0);/' "$WORK/tinted/composite_f.glsl"
sed -i 's/^1600   2.5132741   0/1600   1.5   0/' "$WORK/turned/forest.txt"
cmp -s "$WORK/tinted/composite_f.glsl" "$SOURCE_DIR/shaders/composite_f.glsl" && fail "the composite's colour line moved"
cmp -s "$WORK/turned/forest.txt" "$SOURCE_DIR/tracks/forest.txt" && fail "the forest's yaw key moved"
mkdir "$WORK/elsewhere"
# capture NAME SHADERS [TRACKS]: the forest at 20 s, from a folder without shaders/ or tracks/
capture() {
  (cd "$WORK/elsewhere" && "$CAPTURE" --at 20 --size 96x54 --out "$WORK/$1" --shaders "$2" \
    --tracks "${3:-$SOURCE_DIR/tracks}" 2>"$WORK/$1.err") || fail "capture with --shaders $2 ${3:-}: $(cat "$WORK/$1.err")"
}
capture copy "$WORK/copy"
capture tinted "$WORK/tinted/"
capture turned "$WORK/copy" "$WORK/turned/"
(cd "$SOURCE_DIR" && "$CAPTURE" --at 20 --size 96x54 --out "$WORK/here" 2>/dev/null) || fail "capture from ./shaders"
cmp -s "$WORK/copy/frame-20000.png" "$WORK/here/frame-20000.png" || fail "a copy of the shaders gives another picture"
cmp -s "$WORK/tinted/frame-20000.png" "$WORK/here/frame-20000.png" && fail "the changed copy was not read"
cmp -s "$WORK/turned/frame-20000.png" "$WORK/here/frame-20000.png" && fail "the changed tracks were not read"
# The folder must be there before any work: nothing is written.
for option in --shaders --tracks; do
  (cd "$WORK/elsewhere" && "$CAPTURE" --at 20 --out "$WORK/none" $option "$WORK/missing" 2>"$WORK/missing.err")
  [ $? = 2 ] && [ ! -e "$WORK/none" ] && [ "$(head -n1 "$WORK/missing.err")" = "demo-capture: $option $WORK/missing: No such file or directory" ] ||
    fail "a missing $option folder: $(cat "$WORK/missing.err")"
done
echo "shader reload: ok"
