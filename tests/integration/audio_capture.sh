#!/usr/bin/env bash
# demo-capture --audio: a short capture is a well-formed 16-bit stereo 44100 Hz WAV of the
# right length, the same on every run, and an unwritable path fails without leaving a file.
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

# Header fields, little-endian: "RIFF" size "WAVE" "fmt " 16, PCM 1, 2 channels, 44100 Hz,
# 176400 bytes/s, block 4, 16 bits, "data" size.
field() { od -An -t u"$2" -j "$1" -N "$2" "$work/a.wav" | tr -d ' '; }
text() { dd if="$work/a.wav" bs=1 skip="$1" count=4 2>/dev/null; }
[ "$(text 0)" = RIFF ] || fail "no RIFF tag"
[ "$(text 8)" = WAVE ] || fail "no WAVE tag"
[ "$(text 12)" = "fmt " ] || fail "no fmt chunk"
[ "$(text 36)" = data ] || fail "no data chunk"
[ "$(field 4 4)" -eq $((size - 8)) ] || fail "RIFF size $(field 4 4)"
[ "$(field 16 4)" -eq 16 ] || fail "fmt size $(field 16 4)"
[ "$(field 20 2)" -eq 1 ] || fail "format $(field 20 2), expected PCM"
[ "$(field 22 2)" -eq 2 ] || fail "channels $(field 22 2)"
[ "$(field 24 4)" -eq 44100 ] || fail "rate $(field 24 4)"
[ "$(field 28 4)" -eq 176400 ] || fail "byte rate $(field 28 4)"
[ "$(field 32 2)" -eq 4 ] || fail "block align $(field 32 2)"
[ "$(field 34 2)" -eq 16 ] || fail "bits $(field 34 2)"
[ "$(field 40 4)" -eq $((frames * 4)) ] || fail "data size $(field 40 4)"

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
