#!/bin/bash
# --gl-debug: a debug context whose messages reach the tool (it checks that with a message of
# its own at start-up, or refuses); over frames of every scene, from each one's first frames
# to its last, the driver reports nothing: no error, no performance warning, nothing at all.
# Usage: capture_gl_debug.sh BUILD_DIR SOURCE_ROOT
set -euo pipefail
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR"  # the shaders are read from ./shaders

every_scene=0.5,16.5,33.9,34.1,60,77.9,78.1,100,110.1,118,125.9,126.1,160,191.9
status=0
"$CAPTURE" --gl-debug --size 160x90 --at "$every_scene" --out "$WORK/frames" 2>"$WORK/log" || status=$?
expect "--gl-debug status" "$status" "==" 0
expect "frames written" "$(ls "$WORK/frames" | grep -c '^frame-.*\.png$')" "==" 14
expect "error messages" "$(grep -c 'GL debug (error' "$WORK/log" || true)" "==" 0
expect "performance messages" "$(grep -c 'GL debug (performance' "$WORK/log" || true)" "==" 0
if [ -s "$WORK/log" ]; then
  echo "FAIL the driver reported:"
  cat "$WORK/log"
  CHECK_FAILURES=$((CHECK_FAILURES + 1))
fi

# The same across a scene switch with a multisampled default framebuffer, through the span path.
status=0
"$CAPTURE" --gl-debug --samples 4 --size 160x90 --frames "$WORK/span" --from 33.95 --to 34.05 2>"$WORK/log2" || status=$?
expect "--gl-debug --samples 4 span status" "$status" "==" 0
# A span capture reports its progress on stderr; the driver must add nothing to it.
expect "driver messages in the span" "$(grep -c 'GL debug' "$WORK/log2" || true)" "==" 0
finish_checks
