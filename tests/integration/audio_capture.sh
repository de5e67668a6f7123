#!/usr/bin/env bash
# demo-capture --audio: a short capture is a WAV of the right length, the same on every run,
# and an unwritable path fails without leaving a file.
# Usage: audio_capture.sh BUILD_DIR SOURCE_ROOT
set -u
build="$1"
capture="$build/demo-capture"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "audio_capture: $*" >&2
  exit 1
}

[ -x "$capture" ] || fail "no demo-capture in $build"

seconds=2.5
frames=110250  # round(2.5 * 44100)
"$capture" --audio "$work/a.wav" --to "$seconds" || fail "capture exited with status $?"
[ -f "$work/a.wav" ] || fail "no file written"
size=$(stat -c %s "$work/a.wav")
[ "$size" -eq $((44 + frames * 4)) ] || fail "size $size, expected $((44 + frames * 4))"

# The header's fields are checked byte for byte by the WAV writer's unit test; here the
# tags and the data size that the length gives.
field() { od -An -t u4 -j "$1" -N 4 "$work/a.wav" | tr -d ' '; }
[ "$(head -c 4 "$work/a.wav")$(tail -c +9 "$work/a.wav" | head -c 4)" = RIFFWAVE ] || fail "no RIFF/WAVE tags"
[ "$(field 40)" -eq $((frames * 4)) ] || fail "data size $(field 40)"

# The opening notes sound within the first seconds.
nonzero=$(tail -c +45 "$work/a.wav" | od -An -v -t d2 | tr -s ' ' '\n' | grep -cv '^0*$')
[ "$nonzero" -gt $((frames / 2)) ] || fail "only $nonzero non-zero samples"

"$capture" --audio "$work/b.wav" --to "$seconds" || fail "second capture exited with status $?"
cmp -s "$work/a.wav" "$work/b.wav" || fail "two captures differ"

# A longer capture starts with the same frames.
"$capture" --audio "$work/c.wav" --to 3 || fail "3 s capture exited with status $?"
cmp -s <(tail -c +45 "$work/a.wav") <(tail -c +45 "$work/c.wav" | head -c $((frames * 4))) ||
  fail "the 3 s capture does not start with the 2.5 s one"

bad="$work/missing/folder/x.wav"
if "$capture" --audio "$bad" --to 1 2>"$work/err.txt"; then fail "unwritable path succeeded"; fi
[ -s "$work/err.txt" ] || fail "no message for an unwritable path"
[ ! -e "$bad" ] && [ ! -e "$bad.part" ] || fail "a file was left at $bad"

echo "audio_capture: ok ($size bytes)"
