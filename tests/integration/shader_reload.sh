# Live shader reload and --shaders. shader_reload_check edits a scratch copy of the shader
# folder on a headless driver and checks programs, pictures, messages and the live object
# count after each save (see there). The capture tool's --shaders reads another folder: a
# copy gives the picture ./shaders gives, a copy with a changed colour another one, from a
# working folder without shaders/.
source "$(dirname "$0")/common.bash"
cp -r "$SOURCE_DIR/shaders" "$WORK/scratch"
"$BUILD_DIR/tests/shader_reload_check" "$WORK/scratch" >"$WORK/check.txt" 2>"$WORK/check.err"
status=$?
cat "$WORK/check.txt"
[ $status = 0 ] || fail "shader reload check: status $status; stderr: $(tail -n 20 "$WORK/check.err")"

cp -r "$SOURCE_DIR/shaders" "$WORK/copy"
cp -r "$SOURCE_DIR/shaders" "$WORK/tinted"
sed -i 's/\* tint;/* tint * vec4(0.0, 1.0, 1.0, 1.0);/' "$WORK/tinted/composite_f.glsl"
grep -q 'vec4(0.0, 1.0, 1.0, 1.0)' "$WORK/tinted/composite_f.glsl" || fail "the composite's colour line moved"
mkdir "$WORK/elsewhere"
capture() {  # capture NAME SHADERS: the forest at 20 s, from a folder without shaders/
  (cd "$WORK/elsewhere" && "$CAPTURE" --at 20 --size 96x54 --out "$WORK/$1" --shaders "$2" 2>"$WORK/$1.err") ||
    fail "capture with --shaders $2: $(cat "$WORK/$1.err")"
}
capture copy "$WORK/copy"
capture tinted "$WORK/tinted/"
(cd "$SOURCE_DIR" && "$CAPTURE" --at 20 --size 96x54 --out "$WORK/here" 2>/dev/null) || fail "capture from ./shaders"
cmp -s "$WORK/copy/frame-20000.png" "$WORK/here/frame-20000.png" || fail "a copy of the shaders gives another picture"
cmp -s "$WORK/tinted/frame-20000.png" "$WORK/here/frame-20000.png" && fail "the changed copy was not read"
# The folder must be there before any work: nothing is written.
(cd "$WORK/elsewhere" && "$CAPTURE" --at 20 --out "$WORK/none" --shaders "$WORK/missing" 2>"$WORK/missing.err")
[ $? = 2 ] || fail "a missing --shaders folder: not refused with status 2"
[ ! -e "$WORK/none" ] || fail "a missing --shaders folder: output made anyway"
[ "$(wc -l <"$WORK/missing.err")" = 2 ] || fail "a missing --shaders folder: $(cat "$WORK/missing.err")"
echo "shader reload: ok"
