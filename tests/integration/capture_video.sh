# Capturing videos: the asked size, frame count and audio length, the same file on every run,
# names ffmpeg would misread, a clean failure without ffmpeg; and for publishing, BT.709
# colours, supersampling in linear light, the lossless master, chapters, and one capture spread
# over several (stand-in) machines. (PNG sequences and their music: capture_requests.sh.)
source "$(dirname "$0")/common.bash"
cd "$SOURCE_DIR" || fail "no source folder"
command -v ffprobe >/dev/null || fail "ffprobe (package ffmpeg) is not installed"
command -v parallel >/dev/null || fail "GNU parallel (package parallel) is not installed"

# streams FILE: a line per stream (an mp4's chapter track left out): codec, size and pixel format or rate and channels.
streams() {
  ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt,sample_rate,channels -of csv=p=0 "$1" |
    grep -v '^bin_data' | tr '\n' ' '
}
chapters() { ffprobe -v error -show_chapters -of csv=p=0 "$1" | cut -d, -f4,7 | tr '\n' ' '; }

# A short video: 1.5 s at 10 fps is 15 frames of 160x90 with 1.5 s of AAC stereo at 44100 Hz.
# (That an mp4 is the same file on every run: capture_jobs.sh.)
video="$WORK/clip.mp4"
"$CAPTURE" --out "$video" --size 160x90 --fps 10 --from 80 --to 81.5 2>"$WORK/err" ||
  fail "video capture failed: $(cat "$WORK/err")"
grep -q "captured 15 frames" "$WORK/err" && [ "$(streams "$video")" = "h264,160,90,yuv420p aac,44100,2 " ] ||
  fail "the video holds $(streams "$video"): $(cat "$WORK/err")"
[ "$(ffmpeg -v error -i "$video" -map 0:v -f framemd5 - | grep -vc '^#')" = 15 ] || fail "the video is not 15 frames"
durations=$(ffprobe -v error -show_entries stream=duration -of csv=p=0 "$video" | tr '\n' ' ')
awk -v d="$durations" 'BEGIN { split(d, t, " "); e = t[1] - t[2]; if (e < 0) e = -e
  exit !(e <= 0.1 && t[1] > 1.4 && t[1] < 1.6) }' || fail "video and audio last $durations s"

# Colours: a frame of the shader world in mp4 and mkv (twice: the same file), tagged BT.709,
# limited range; decoded as the tags say, its mean red is the PNG's within a level.
mean_red() { convert "$1" -format '%[fx:mean.r*255]' info:; }
"$CAPTURE" --at 5,85 --size 640x360 --out "$WORK/big" 2>"$WORK/err" || fail "stills failed: $(cat "$WORK/err")"
for video in 85.mp4 85.mkv again.mkv; do
  "$CAPTURE" --out "$WORK/$video" --size 640x360 --fps 10 --from 85 --to 85.1 2>"$WORK/err" ||
    fail "$video failed: $(cat "$WORK/err")"
  tags=$(ffprobe -v error -select_streams v:0 -show_entries stream=color_space,color_primaries,color_transfer,color_range \
    -of csv=p=0 "$WORK/$video")
  [ "$tags" = "tv,bt709,bt709,bt709" ] || fail "$video is tagged '$tags'"
  ffmpeg -v error -i "$WORK/$video" -frames:v 1 -vf scale=flags=accurate_rnd+full_chroma_int,format=rgb24 \
    "$WORK/decoded.png" -y || fail "cannot decode $video"
  red=$(awk -v a="$(mean_red "$WORK/decoded.png")" -v b="$(mean_red "$WORK/big/frame-85000.png")" 'BEGIN { print a - b }')
  expect "$video mean red against the PNG's" "${red#-}" "<=" 1
done
[ "$(streams "$WORK/85.mkv")" = "h264,640,360,yuv420p aac,44100,2 " ] || fail "the mkv holds $(streams "$WORK/85.mkv")"
cmp -s "$WORK/85.mkv" "$WORK/again.mkv" || fail "two identical mkv captures differ"
! ls "$WORK" | grep -q part || fail "temporary files left behind: $(ls "$WORK")"

# --supersample 2 at 320x180 is the 640x360 frame reduced in linear light, within a level.
"$CAPTURE" --at 5,85 --size 320x180 --supersample 2 --out "$WORK/small" 2>"$WORK/err" ||
  fail "supersampled stills failed: $(cat "$WORK/err")"
for t in 5000 85000; do
  convert "$WORK/big/frame-$t.png" -colorspace RGB -filter box -resize 50% -colorspace sRGB -depth 8 "$WORK/reduced.png"
  expect "supersampled frame-$t pixels over a level from the reduction" \
    "$(compare -metric AE -fuzz 0.5% "$WORK/small/frame-$t.png" "$WORK/reduced.png" null: 2>&1)" "==" 0
done

# The lossless master of the span across the television and the shader world: its frames are
# the PNG sequence's and its music --audio's, byte for byte, and both scenes are chapters.
span=(--size 160x90 --fps 12 --from 77 --to 79)
"$CAPTURE" --master --out "$WORK/master.mkv" --audio "$WORK/music.wav" "${span[@]}" 2>"$WORK/err" ||
  fail "master failed: $(cat "$WORK/err")"
"$CAPTURE" --frames "$WORK/seq" "${span[@]}" 2>"$WORK/err" || fail "sequence failed: $(cat "$WORK/err")"
frame_sums() { ffmpeg -v error "$@" -map 0:v -pix_fmt rgb24 -f framemd5 - | grep -v '^#' | cut -d, -f6; }
[ "$(frame_sums -i "$WORK/master.mkv")" = "$(frame_sums -framerate 12 -i "$WORK/seq/frame-%06d.png")" ] &&
  [ "$(frame_sums -i "$WORK/master.mkv" | wc -l)" = 24 ] || fail "the master's frames are not the 24 PNGs"
ffmpeg -v error -i "$WORK/master.mkv" -map 0:a -f s16le - | cmp -s - <(tail -c +45 "$WORK/music.wav") ||
  fail "the master's music is not --audio's"
[ "$(chapters "$WORK/master.mkv")" = "0.000000,tv 1.000000,pacman " ] ||
  fail "the master's chapters are $(chapters "$WORK/master.mkv")"
# A master of another span is not encoded.
! "$CAPTURE" --encode-master "$WORK/master.mkv" --out "$WORK/wrong.mp4" --size 160x90 --fps 12 --from 77 --to 80 \
  2>"$WORK/err" && grep -q "is not a master of this span: the video holds 24 of 36 frames" "$WORK/err" || fail "$(cat "$WORK/err")"

# Many machines: three stand-in hosts (folders reached through a stand-in ssh), the third losing
# its first stretch, which another renders again: the one-machine capture's frames and music.
# SHELL is unset as under cron, where parallel's jobs would otherwise not run at all.
cat >"$WORK/ssh" <<EOS
#!/bin/bash
while [ "\${1#-}" != "\$1" ]; do shift; done
host=\$1; shift; [ "\${1:-}" = -- ] && shift
mkdir -p "$WORK/hosts/\$host" && cd "$WORK/hosts/\$host" || exit 255
ln -sfn "$SOURCE_DIR/shaders" shaders && ln -sfn "$SOURCE_DIR/tracks" tracks
if [ "\$host" = flaky ] && [[ "\$*" = *GNU_Parallel_worker* ]] && mkdir ../flaky.failed 2>/dev/null; then exit 255; fi
exec bash -c "\$*"
EOS
chmod +x "$WORK/ssh"
"$CAPTURE" --out "$WORK/one.mp4" "${span[@]}" 2>"$WORK/err" || fail "one-machine capture failed: $(cat "$WORK/err")"
env -u SHELL tools/capture_on_hosts.sh --hosts hostA,hostB,flaky --ssh "$WORK/ssh" --out "$WORK/many.mp4" "${span[@]}" \
  --stretch 0.75 --jobs 2 --capture "$CAPTURE" --remote-capture "$CAPTURE" 2>"$WORK/err" ||
  fail "the capture on hosts failed: $(cat "$WORK/err")"
[ -d "$WORK/hosts/flaky.failed" ] && grep -q "24 frames in 3 stretches of up to 9 frames" "$WORK/err" ||
  fail "the failing host was never tried, or not the stretches asked: $(cat "$WORK/err")"
all_sums() { ffmpeg -v error -i "$1" -map 0:v -map 0:a -f framemd5 - | grep -v '^#'; }
[ "$(all_sums "$WORK/many.mp4")" = "$(all_sums "$WORK/one.mp4")" ] || fail "the hosts' video differs from one machine's"
[ "$(chapters "$WORK/many.mp4")" = "0.000000,tv 1.000000,pacman " ] || fail "the mp4's chapters: $(chapters "$WORK/many.mp4")"
[ -z "$(find "$WORK/hosts" -name '*.mkv')" ] && ! compgen -G "$WORK/.capture_on_hosts.*" >/dev/null ||
  fail "stretches or their folder were left behind"

# Names ffmpeg would misread (a protocol prefix, a colon, a leading '-'), with a colon in
# TMPDIR too: each video is written under exactly its own name, and nothing else is left.
mkdir -p "$WORK/names" "$WORK/t:mp" && ln -s "$SOURCE_DIR/shaders" "$SOURCE_DIR/tracks" "$WORK/names/" || fail "no folder"
cd "$WORK/names" || fail "no names folder"
for name in file:z.mkv a:b.mp4 -lead.mkv; do
  TMPDIR="$WORK/t:mp" "$CAPTURE" --out "$name" --size 64x36 --fps 10 --from 80 --to 80.5 2>"$WORK/err" ||
    fail "--out $name failed: $(cat "$WORK/err")"
  [ "$(streams "./$name")" = "h264,64,36,yuv420p aac,44100,2 " ] || fail "--out $name holds $(streams "./$name")"
done
[ "$(ls -A | LC_ALL=C sort | tr '\n' ' ')" = "-lead.mkv a:b.mp4 file:z.mkv shaders tracks " ] && [ -z "$(ls -A "$WORK/t:mp")" ] ||
  fail "the names folder holds $(ls -A | tr '\n' ' '), the TMPDIR $(ls -A "$WORK/t:mp")"

# No ffmpeg on PATH: a message naming the package, a failure, and no output file.
! PATH=/nonexistent "$CAPTURE" --out "$WORK/none.mp4" --size 64x36 --fps 5 --from 80 --to 81 2>"$WORK/err" &&
  grep -q "ffmpeg" "$WORK/err" && [ ! -e "$WORK/none.mp4" ] || fail "without ffmpeg: $(cat "$WORK/err"; ls "$WORK")"
finish_checks
echo "capture video: ok"
