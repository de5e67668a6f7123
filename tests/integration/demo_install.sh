# Installing: `cmake --install` into a temporary prefix puts both programs in bin/ and every
# shader and track file in share/demo; from a folder without shaders/ or tracks/ the installed
# capture tool renders the build tree's frame, and the installed demo plays with an empty log
# in the working folder. `cpack -G DEB` makes a package of the same files that depends on the
# libraries the programs need. Needs ImageMagick.
source "$(dirname "$0")/common.bash"
prefix="$WORK/prefix"
cmake --install "$BUILD_DIR" --prefix "$prefix" >"$WORK/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$WORK/install.log")"
[ -x "$prefix/bin/demo" ] && [ -x "$prefix/bin/demo-capture" ] || fail "the programs are not in $prefix/bin: $(ls "$prefix/bin")"
for data in shaders tracks; do
  diff -r "$SOURCE_DIR/$data" "$prefix/share/demo/$data" >"$WORK/diff" || fail "the installed $data differ: $(cat "$WORK/diff")"
done
echo "ok   installed: bin/demo, bin/demo-capture, $(ls "$prefix/share/demo/shaders" | wc -l) shaders and $(ls "$prefix/share/demo/tracks" | wc -l) track files"

# From another folder, found through the program's own location.
elsewhere="$WORK/elsewhere" && mkdir -p "$elsewhere"
(cd "$elsewhere" && "$prefix/bin/demo-capture" --size 160x90 --at 5 --out frames 2>"$WORK/stderr") ||
  fail "the installed capture tool failed away from shaders/: $(cat "$WORK/stderr")"
(cd "$SOURCE_DIR" && "$CAPTURE" --size 160x90 --at 5 --out "$WORK/intree" 2>/dev/null) || fail "in-tree capture failed"
[ "$(convert "$elsewhere/frames/frame-5000.png" rgb:- | md5sum)" = "$(convert "$WORK/intree/frame-5000.png" rgb:- | md5sum)" ] ||
  fail "the installed capture tool's frame differs from the build tree's"
lit=$(convert "$elsewhere/frames/frame-5000.png" -fx "lightness>0.1 ? 1 : 0" -format "%[fx:mean]" info:)
expect "the installed capture's frame is a picture" "$lit" ">" 0.5
# Moved away from its prefix, the program has no shaders and says so.
cp "$prefix/bin/demo-capture" "$WORK/lonely-capture"
(cd "$elsewhere" && "$WORK/lonely-capture" --size 160x90 --at 5 --out frames2 2>"$WORK/stderr") &&
  fail "a capture tool with no shaders anywhere succeeded"
grep -q "no shaders/ folder" "$WORK/stderr" || fail "no shaders anywhere: unclear message: $(cat "$WORK/stderr")"
echo "ok   the installed capture tool renders the build tree's frame from another folder"

start_xvfb 192x108
SDL_AUDIODRIVER=dummy DEMO="$prefix/bin/demo" start_demo "$elsewhere" --window 192x108 --from 30 --mute
sleep 6
[ -e "$elsewhere/error_log.txt" ] || fail "the installed demo wrote no log in its working folder"
ends_cleanly "the installed demo" "$elsewhere" TERM  # every shader found and compiled
echo "ok   the installed demo plays from another folder, its log there"

# The Debian package.
command -v dpkg-shlibdeps >/dev/null && command -v dpkg-deb >/dev/null || fail "dpkg-dev is needed to make the package"
(cd "$WORK" && cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$WORK/package" >"$WORK/cpack.log" 2>&1) ||
  fail "cpack failed: $(cat "$WORK/cpack.log")"
deb=$(ls "$WORK"/package/*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "cpack made no .deb: $(cat "$WORK/cpack.log")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libsdl1.2 libegl1 libpng16-16 libgl1 libc6; do
  grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
done
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/demo ./usr/bin/demo-capture ./usr/share/demo/shaders/cube_v.glsl ./usr/share/demo/tracks/forest.txt; do
  grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
echo "ok   $(basename "$deb"): Depends: $depends"
finish_checks
echo "demo install: ok"
