# The capture tool built with AddressSanitizer and UndefinedBehaviorSanitizer renders a small
# frame of every scene of the timeline headless, and refuses broken track files; any finding
# fails the run. Arguments: the sanitizer build folder and the source root.
set -u
BUILD_DIR="$(cd "$1" && pwd)" SOURCE_DIR="$(cd "$2" && pwd)"
CAPTURE="$BUILD_DIR/demo-capture"
WORK="$(mktemp -d)"
# LD_PRELOAD names a file in WORK below (the loader splits it at spaces and colons).
if [[ "$WORK" == *[[:space:]:]* ]]; then rmdir "$WORK" && WORK="$(mktemp -d -p /tmp)" || exit 1; fi
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export ASAN_OPTIONS="detect_leaks=1:exitcode=23"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=23"
# Mesa's driver stays mapped past eglTerminate (see keep_drivers_loaded.cpp); the sanitizer
# runtime must come first among preloaded libraries. The build folder's path may hold spaces
# or colons: the library is preloaded through a link in WORK, and only into the capture tool.
asan_runtime="$(ldd "$CAPTURE" | awk '/libasan/ {print $3}')"
[ -n "$asan_runtime" ] || fail "$CAPTURE is not built with AddressSanitizer"
ln -s "$BUILD_DIR/tests/libkeep_drivers_loaded.so" "$WORK/libkeep_drivers_loaded.so" || exit 1
# sanitized ARGS...: runs the tool so, its stderr in $WORK/stderr, its status in $status.
sanitized() {
  LD_PRELOAD="$asan_runtime $WORK/libkeep_drivers_loaded.so" "$CAPTURE" "$@" 2>"$WORK/stderr"
  status=$?
  ! grep -q -E "ERROR: (Address|Leak)Sanitizer|runtime error:" "$WORK/stderr" ||
    fail "a sanitizer reported a finding: $(cat "$WORK/stderr")"
}

# One second into each scene of the tool's own table, and the last second of the show.
scenes="$("$CAPTURE" --list-scenes)" && [ -n "$scenes" ] || fail "demo-capture listed no scenes"
times=$(awk -F'\t' '{ printf "%s%.3f", (NR > 1 ? "," : ""), $2 + 1; end = $3 } END { printf ",%.3f", end - 1 }' <<<"$scenes")
cd "$SOURCE_DIR" || exit 1
sanitized --size 160x90 --fps 10 --at "$times" --out "$WORK/frames"
[ $status = 0 ] || fail "demo-capture ended with status $status: $(cat "$WORK/stderr")"
for ms in $(tr , '\n' <<<"$times" | awk '{ printf "%d ", $1 * 1000 + 0.5 }'); do
  [ -s "$WORK/frames/frame-$ms.png" ] || fail "no frame at $ms ms"; done
# Broken track files (a program's bytes, a file cut in a key): refused with their line.
cp -r "$SOURCE_DIR/tracks" "$WORK/tracks" && head -c 4096 "$CAPTURE" >"$WORK/tracks/tv.txt" &&
  printf 'track camPos\n0 24.8 0' >"$WORK/tracks/pacman.txt" || exit 1
for broken in tv pacman; do
  sanitized --at 1 --out "$WORK/broken" --tracks "$WORK/tracks"
  grep -Eqx "$WORK/tracks/$broken\.txt:[0-9]+: .+" "$WORK/stderr" && [ $status = 1 ] ||
    fail "a broken $broken.txt: status $status, stderr: $(cat "$WORK/stderr")"
  cp "$SOURCE_DIR/tracks/$broken.txt" "$WORK/tracks/"
done
echo "sanitized capture of every scene: ok"
