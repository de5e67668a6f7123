# Capturing spans of the show: a short video with the asked size, frame count and audio
# length; a PNG sequence with the music slice that equals the whole render's; clean failures.
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"
command -v ffprobe >/dev/null || fail "ffprobe (package ffmpeg) is not installed"

probe() {  # prints one stream field: probe FILE STREAM FIELD
  ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of default=noprint_wrappers=1:nokey=1 "$1" | head -n1
}

# A short video: 1.5 s at 10 fps is 15 frames of 160x90 with 1.5 s of AAC stereo at 44100 Hz.
video="$WORK/clip.mp4"
"$CAPTURE" --out "$video" --size 160x90 --fps 10 --from 80 --to 81.5 2>"$WORK/err" ||
  fail "video capture failed: $(cat "$WORK/err")"
grep -q "captured 15 frames" "$WORK/err" || fail "no summary: $(cat "$WORK/err")"
[ "$(probe "$video" v:0 width)x$(probe "$video" v:0 height)" = "160x90" ] || fail "wrong video size"
[ "$(probe "$video" v:0 codec_name)" = h264 ] || fail "video is not H.264"
[ "$(probe "$video" v:0 pix_fmt)" = yuv420p ] || fail "video is not yuv420p"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$video")
[ "$frames" = 15 ] || fail "video has $frames frames, expected 15"
[ "$(probe "$video" a:0 codec_name)" = aac ] || fail "audio is not AAC"
[ "$(probe "$video" a:0 sample_rate)" = 44100 ] || fail "audio is not 44100 Hz"
[ "$(probe "$video" a:0 channels)" = 2 ] || fail "audio is not stereo"
vdur=$(probe "$video" v:0 duration)
adur=$(probe "$video" a:0 duration)
awk -v v="$vdur" -v a="$adur" 'BEGIN { d = v - a; if (d < 0) d = -d; exit !(d <= 0.1 && v > 1.4 && v < 1.6) }' ||
  fail "video lasts $vdur s and audio $adur s"
ls "$WORK" | grep -q part && fail "temporary files left behind: $(ls "$WORK")"

# Matroska works as well.
"$CAPTURE" --out "$WORK/clip.mkv" --size 96x54 --fps 5 --from 100 --to 101 2>"$WORK/err" ||
  fail "mkv capture failed: $(cat "$WORK/err")"
[ "$(probe "$WORK/clip.mkv" v:0 codec_name)" = h264 ] || fail "mkv holds no H.264 video"
# The same capture twice is the same file to the byte, mkv as well as mp4.
"$CAPTURE" --out "$WORK/again.mkv" --size 96x54 --fps 5 --from 100 --to 101 2>"$WORK/err" ||
  fail "second mkv capture failed: $(cat "$WORK/err")"
cmp -s "$WORK/clip.mkv" "$WORK/again.mkv" || fail "two identical mkv captures differ"
"$CAPTURE" --out "$WORK/again.mp4" --size 160x90 --fps 10 --from 80 --to 81.5 2>"$WORK/err" ||
  fail "second mp4 capture failed: $(cat "$WORK/err")"
cmp -s "$video" "$WORK/again.mp4" || fail "two identical mp4 captures differ"

# Names ffmpeg would read as something else (a protocol prefix, a colon, a leading '-'), with
# the encoder's music in a TMPDIR whose name has a colon: each video is written under exactly
# its own name, and nothing else is left.
mkdir -p "$WORK/names" "$WORK/t:mp"
ln -s "$SOURCE_DIR/shaders" "$WORK/names/shaders"
cd "$WORK/names" || fail "no names folder"
for name in file:z.mkv a:b.mp4 -lead.mkv; do
  TMPDIR="$WORK/t:mp" "$CAPTURE" --out "$name" --size 64x36 --fps 10 --from 80 --to 80.5 2>"$WORK/err" ||
    fail "--out $name failed: $(cat "$WORK/err")"
  [ "$(probe "./$name" v:0 codec_name)" = h264 ] || fail "--out $name holds no H.264 video"
done
cd "$SOURCE_DIR" || fail "no source folder"
[ "$(ls -A "$WORK/names" | LC_ALL=C sort | tr '\n' ' ')" = "-lead.mkv a:b.mp4 file:z.mkv shaders " ] ||
  fail "the names folder holds $(ls -A "$WORK/names" | tr '\n' ' ')"
[ -z "$(ls -A "$WORK/t:mp")" ] || fail "the encoder's music was left in TMPDIR"

# One frame is one frame.
"$CAPTURE" --out "$WORK/one.mp4" --size 64x36 --fps 10 --from 80 --to 80.1 2>"$WORK/err" ||
  fail "one-frame capture failed: $(cat "$WORK/err")"
grep -q "^captured 1 frame (" "$WORK/err" || fail "no one-frame summary: $(cat "$WORK/err")"

# A PNG sequence with the music of the span.
"$CAPTURE" --frames "$WORK/seq" --size 96x54 --fps 10 --from 80 --to 81.5 2>"$WORK/err" ||
  fail "frames capture failed: $(cat "$WORK/err")"
[ "$(ls "$WORK/seq" | grep -c '^frame-0000[01][0-9]\.png$')" = 15 ] || fail "expected 15 frames: $(ls "$WORK/seq")"
[ -e "$WORK/seq/frame-000015.png" ] && fail "one frame too many"
[ -s "$WORK/seq/music.wav" ] || fail "no music.wav"
# Frame k shows show time from + k / fps: frame 5 of the sequence is the still at 80.5 s.
"$CAPTURE" --size 96x54 --fps 10 --at 80.5 --out "$WORK/still" 2>/dev/null || fail "still capture failed"
cmp -s "$WORK/seq/frame-000005.png" "$WORK/still/frame-80500.png" || fail "frame 5 is not the picture at 80.5 s"

# The span's music is the slice [80 * 44100, 81.5 * 44100) of the whole render, to the byte.
"$CAPTURE" --audio "$WORK/whole.wav" --to 81.5 2>/dev/null || fail "audio capture failed"
first=$((80 * 44100))
count=$((81 * 44100 + 22050 - first))
tail -c +$((44 + first * 4 + 1)) "$WORK/whole.wav" > "$WORK/slice.raw"
tail -c +45 "$WORK/seq/music.wav" > "$WORK/span.raw"
[ "$(stat -c %s "$WORK/span.raw")" = $((count * 4)) ] || fail "span music holds $(stat -c %s "$WORK/span.raw") bytes"
cmp -s "$WORK/slice.raw" "$WORK/span.raw" || fail "span music differs from the whole render's slice"

# No ffmpeg on PATH: a message naming the package, a failure, and no output file.
PATH=/nonexistent "$CAPTURE" --out "$WORK/none.mp4" --size 64x36 --fps 5 --from 80 --to 81 2>"$WORK/err" &&
  fail "capture without ffmpeg succeeded"
grep -q "ffmpeg" "$WORK/err" || fail "the message does not name ffmpeg: $(cat "$WORK/err")"
[ -e "$WORK/none.mp4" ] && fail "an output file was left without ffmpeg"

# An output it cannot write: non-zero status, nothing that looks complete.
"$CAPTURE" --out "$WORK/missing/dir/x.mp4" --size 64x36 --fps 5 --from 80 --to 81 2>"$WORK/err" &&
  fail "writing into a missing folder succeeded"
[ -s "$WORK/err" ] || fail "no message for an unwritable output"
[ -e "$WORK/missing/dir/x.mp4" ] && fail "an unwritable output appeared"
echo "capture video: ok"
