# Capturing videos: the asked size, frame count and audio length, the same file on every run,
# names ffmpeg would misread, and a clean failure without ffmpeg. (PNG sequences and their
# music are checked by capture_requests.sh.)
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"
command -v ffprobe >/dev/null || fail "ffprobe (package ffmpeg) is not installed"

# streams FILE: a line per stream: codec, then size and pixel format or rate and channels (an
# mp4's chapter track left out: capture_publishing.sh checks the chapters).
streams() {
  ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt,sample_rate,channels -of csv=p=0 "$1" |
    grep -v '^bin_data' | tr '\n' ' '
}

# A short video: 1.5 s at 10 fps is 15 frames of 160x90 with 1.5 s of AAC stereo at 44100 Hz.
video="$WORK/clip.mp4"
"$CAPTURE" --out "$video" --size 160x90 --fps 10 --from 80 --to 81.5 2>"$WORK/err" ||
  fail "video capture failed: $(cat "$WORK/err")"
grep -q "captured 15 frames" "$WORK/err" || fail "no summary: $(cat "$WORK/err")"
[ "$(streams "$video")" = "h264,160,90,yuv420p aac,44100,2 " ] || fail "the video holds $(streams "$video")"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$video")
[ "$frames" = 15 ] || fail "video has $frames frames, expected 15"
durations=$(ffprobe -v error -show_entries stream=duration -of csv=p=0 "$video" | tr '\n' ' ')
awk -v d="$durations" 'BEGIN { split(d, t, " "); e = t[1] - t[2]; if (e < 0) e = -e
  exit !(e <= 0.1 && t[1] > 1.4 && t[1] < 1.6) }' || fail "video and audio last $durations s"
ls "$WORK" | grep -q part && fail "temporary files left behind: $(ls "$WORK")"

# The same capture twice is the same file to the byte, mkv as well as mp4.
"$CAPTURE" --out "$WORK/again.mp4" --size 160x90 --fps 10 --from 80 --to 81.5 2>"$WORK/err" ||
  fail "second mp4 capture failed: $(cat "$WORK/err")"
cmp -s "$video" "$WORK/again.mp4" || fail "two identical mp4 captures differ"
for name in clip again; do
  "$CAPTURE" --out "$WORK/$name.mkv" --size 96x54 --fps 5 --from 100 --to 101 2>"$WORK/err" ||
    fail "mkv capture failed: $(cat "$WORK/err")"
done
[ "$(streams "$WORK/clip.mkv")" = "h264,96,54,yuv420p aac,44100,2 " ] || fail "the mkv holds $(streams "$WORK/clip.mkv")"
cmp -s "$WORK/clip.mkv" "$WORK/again.mkv" || fail "two identical mkv captures differ"

# Names ffmpeg would read as something else (a protocol prefix, a colon, a leading '-'), with
# the encoder's music in a TMPDIR whose name has a colon: each video is written under exactly
# its own name, and nothing else is left.
mkdir -p "$WORK/names" "$WORK/t:mp"
ln -s "$SOURCE_DIR/shaders" "$WORK/names/shaders"
ln -s "$SOURCE_DIR/tracks" "$WORK/names/tracks"
cd "$WORK/names" || fail "no names folder"
for name in file:z.mkv a:b.mp4 -lead.mkv; do
  TMPDIR="$WORK/t:mp" "$CAPTURE" --out "$name" --size 64x36 --fps 10 --from 80 --to 80.5 2>"$WORK/err" ||
    fail "--out $name failed: $(cat "$WORK/err")"
  [ "$(streams "./$name")" = "h264,64,36,yuv420p aac,44100,2 " ] || fail "--out $name holds $(streams "./$name")"
done
cd "$SOURCE_DIR" || fail "no source folder"
[ "$(ls -A "$WORK/names" | LC_ALL=C sort | tr '\n' ' ')" = "-lead.mkv a:b.mp4 file:z.mkv shaders tracks " ] ||
  fail "the names folder holds $(ls -A "$WORK/names" | tr '\n' ' ')"
[ -z "$(ls -A "$WORK/t:mp")" ] || fail "the encoder's music was left in TMPDIR"

# No ffmpeg on PATH: a message naming the package, a failure, and no output file.
PATH=/nonexistent "$CAPTURE" --out "$WORK/none.mp4" --size 64x36 --fps 5 --from 80 --to 81 2>"$WORK/err" &&
  fail "capture without ffmpeg succeeded"
grep -q "ffmpeg" "$WORK/err" || fail "the message does not name ffmpeg: $(cat "$WORK/err")"
[ -e "$WORK/none.mp4" ] && fail "an output file was left without ffmpeg"
echo "capture video: ok"
