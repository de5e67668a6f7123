# The capture tool built with AddressSanitizer and UndefinedBehaviorSanitizer renders a small
# frame of every scene of the timeline headless; any finding fails the run.
# Arguments: the sanitizer build folder and the source root.
set -u
BUILD_DIR="$(cd "$1" && pwd)"
CAPTURE="$BUILD_DIR/demo-capture"
SOURCE_DIR="$(cd "$2" && pwd)"
WORK="$(mktemp -d)"
# LD_PRELOAD names a file in WORK below (the loader splits it at spaces and colons).
if [[ "$WORK" == *[[:space:]:]* ]]; then rmdir "$WORK" && WORK="$(mktemp -d -p /tmp)" || exit 1; fi
trap 'rm -rf "$WORK"' EXIT

export ASAN_OPTIONS="detect_leaks=1:exitcode=23"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=23"
# Mesa's driver stays mapped past eglTerminate (see keep_drivers_loaded.cpp); the sanitizer
# runtime must come first among preloaded libraries.
asan_runtime="$(ldd "$CAPTURE" | awk '/libasan/ {print $3}')"
[ -n "$asan_runtime" ] || { echo "FAIL: $CAPTURE is not built with AddressSanitizer" >&2; exit 1; }
# The build folder's path may hold spaces or colons: the library is preloaded through a link
# in WORK, and only into the capture tool.
ln -s "$BUILD_DIR/tests/libkeep_drivers_loaded.so" "$WORK/libkeep_drivers_loaded.so" || exit 1
preload="$asan_runtime $WORK/libkeep_drivers_loaded.so"

# One second into each scene of the tool's own table, and the last second of the show.
scenes="$("$CAPTURE" --list-scenes)" && [ -n "$scenes" ] || { echo "FAIL: demo-capture listed no scenes" >&2; exit 1; }
times=$(awk -F'\t' '{ printf "%s%.3f", (NR > 1 ? "," : ""), $2 + 1; end = $3 } END { printf ",%.3f", end - 1 }' <<<"$scenes")
cd "$SOURCE_DIR" || exit 1
LD_PRELOAD="$preload" "$CAPTURE" --size 160x90 --fps 10 --at "$times" --out "$WORK/frames" 2>"$WORK/stderr"
status=$?
cat "$WORK/stderr" >&2
if [ $status -ne 0 ]; then
  echo "FAIL: demo-capture ended with status $status" >&2
  exit 1
fi
if grep -q -E "ERROR: (Address|Leak)Sanitizer|runtime error:" "$WORK/stderr"; then
  echo "FAIL: a sanitizer reported a finding" >&2
  exit 1
fi
for ms in $(tr , '\n' <<<"$times" | awk '{ printf "%d ", $1 * 1000 + 0.5 }'); do
  [ -s "$WORK/frames/frame-$ms.png" ] || { echo "FAIL: no frame at $ms ms" >&2; exit 1; }
done
echo "sanitized capture of every scene: ok"
