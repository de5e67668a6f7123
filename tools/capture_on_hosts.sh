#!/usr/bin/env bash
# Spreads one capture over several machines with GNU parallel: the span is cut at frame
# boundaries into stretches, each host renders its stretches as lossless masters (demo-capture
# --master, with --jobs), parallel brings them back (retrying a failed one on another host),
# ffmpeg joins them without re-encoding and demo-capture encodes the joined master once, with
# the whole song and the chapters, to the video a one-machine capture of the span would make.
# The hosts need ssh, rsync and demo-capture with its shaders and tracks (installed, or a build
# run from the folder holding shaders/ and tracks/; see --remote-capture).
# Usage: tools/capture_on_hosts.sh --hosts LOGINS --out FILE [options]
#   --hosts LOGINS   comma-separated ssh logins as GNU parallel takes them ([N/][user@]host;
#                    N: stretches at once there, default 1; ':' is this machine)
#   --out FILE       the video (.mp4 or .mkv); its folder holds the stretches meanwhile
#   --stretch S      seconds of show per job (default 10), rounded to whole frames
#   --size WxH, --fps N, --from S, --to S, --supersample N, --jobs N, --crf N,
#   --encoder-preset P   as demo-capture takes them (--jobs: processes on each host)
#   --remote-capture PATH  demo-capture on the hosts (default: demo-capture on their PATH)
#   --capture PATH   demo-capture here (default: build/demo-capture of this checkout)
#   --ssh COMMAND    how to reach a host (default: ssh)
#   --retries N      tries of each stretch, on different hosts where it can (default 3)
set -u
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
hosts="" out="" stretch=10 size=1920x1080 fps=60 from=0 to=192 retries=3 ssh=ssh
remote_capture=demo-capture capture="$ROOT/build/demo-capture"
render=() encode=()  # the options that shape the frames, and those of the final encode

usage() { sed -n '9,20p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
refuse() { echo "capture_on_hosts: $*" >&2; exit 2; }
decimal='^(0|[1-9][0-9]*)(\.[0-9]+)?$'
whole='^[1-9][0-9]*$'
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --hosts) hosts=$2 ;;
    --out) out=$2 ;;
    --stretch) [[ $2 =~ $decimal ]] || refuse "--stretch takes seconds, not '$2'"; stretch=$2 ;;
    --size) [[ $2 =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || refuse "--size takes WxH, not '$2'"; size=$2 ;;
    --fps) [[ $2 =~ $whole ]] || refuse "--fps takes a whole number, not '$2'"; fps=$2 ;;
    --from) [[ $2 =~ $decimal ]] || refuse "--from takes seconds, not '$2'"; from=$2 ;;
    --to) [[ $2 =~ $decimal ]] || refuse "--to takes seconds, not '$2'"; to=$2 ;;
    --supersample | --jobs) render+=("$1" "$2") ;;
    --crf | --encoder-preset) encode+=("$1" "$2") ;;
    --remote-capture) remote_capture=$2 ;;
    --capture) capture=$2 ;;
    --ssh) ssh=$2 ;;
    --retries) [[ $2 =~ $whole ]] || refuse "--retries takes a whole number, not '$2'"; retries=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[ -n "$hosts" ] || refuse "--hosts names no host"
# parallel's worker runs each job with $SHELL from its environment; where that is not exported
# (cron, some CI runners: bash then sets it for itself only) every job "succeeds" without
# running. So it is exported, and a missing or unusable one becomes bash.
[ -n "${SHELL:-}" ] && [ -x "$SHELL" ] || SHELL="$(command -v bash)"
export SHELL
# One stretch at a time on a host given without N/: parallel would otherwise ask it its CPUs.
hosts=$(tr ',' '\n' <<<"$hosts" | sed -E '/^[0-9]+\//! s|^|1/|' | paste -sd, -)
[[ $out =~ \.(mp4|mkv|MP4|MKV)$ ]] || refuse "--out must name a .mp4 or .mkv video, not '$out'"
command -v parallel >/dev/null || { echo "capture_on_hosts: GNU parallel is not installed (apt-get install parallel)" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "capture_on_hosts: ffmpeg is not installed (apt-get install ffmpeg)" >&2; exit 1; }
[ -x "$capture" ] || { echo "capture_on_hosts: no demo-capture at $capture (give --capture)" >&2; exit 1; }
folder=$(dirname -- "$out")
[ -d "$folder" ] && [ -w "$folder" ] || { echo "capture_on_hosts: cannot write into $folder" >&2; exit 1; }
[ -d "$out" ] && { echo "capture_on_hosts: $out is a folder" >&2; exit 1; }

# The span in whole milliseconds, as the capture tool rounds it, and its frames.
ms() { awk -v s="$1" 'BEGIN { printf "%d", s * 1000 + 0.5 }'; }
from_ms=$(ms "$from") to_ms=$(ms "$to")
[ "$to_ms" -gt "$from_ms" ] || refuse "the span from $from s to $to s is empty"
frames=$(( ((to_ms - from_ms) * fps + 999) / 1000 ))
# A stretch starts on a whole millisecond only after a multiple of fps / gcd(fps, 1000) frames;
# there its frames fall on the very ticks of the whole span's.
a=$fps b=1000
while [ "$b" -ne 0 ]; do t=$((a % b)); a=$b; b=$t; done
step=$((fps / a))
per=$(awk -v s="$stretch" -v f="$fps" -v k="$step" 'BEGIN { n = int(s * f / k + 0.5); printf "%d", (n < 1 ? 1 : n) * k }')
seconds() { printf "%d.%03d" $(($1 / 1000)) $(($1 % 1000)); }

# The stretches come back into a scratch folder beside the video, removed at the end.
work=$(mktemp -d "$folder/.capture_on_hosts.XXXXXX") || exit 1
trap 'rm -rf -- "$work"' EXIT
: >"$work/stretches"
for ((first = 0, i = 0; first < frames; first += per, i++)); do
  start=$((from_ms + first * 1000 / fps))
  end=$((first + per < frames ? from_ms + (first + per) * 1000 / fps : to_ms))
  printf 'stretch-%04d.mkv %s %s\n' "$i" "$(seconds "$start")" "$(seconds "$end")" >>"$work/stretches"
done
echo "capture_on_hosts: $frames frames in $i stretches of up to $per frames over $hosts" >&2

# Each stretch on some host, in its login folder; rsync brings it back and removes it there.
cd "$work" || exit 1
if ! parallel --will-cite -q --colsep ' ' --sshlogin "$hosts" --ssh "$ssh" --retries "$retries" --halt now,fail=1 \
  --return '{1}' --cleanup --joblog jobs.log \
  "$remote_capture" --master --out '{1}' --from '{2}' --to '{3}' --size "$size" --fps "$fps" "${render[@]}" \
  :::: stretches; then
  echo "capture_on_hosts: a stretch failed on every try; the jobs that ended:" >&2
  cat jobs.log >&2
  exit 1
fi
while read -r name _; do
  [ -f "$name" ] || { echo "capture_on_hosts: $name did not come back" >&2; exit 1; }
  echo "file '$name'"
done <stretches >joined.txt
ffmpeg -hide_banner -nostdin -loglevel error -xerror -f concat -i joined.txt -map 0 -c copy joined.mkv ||
  { echo "capture_on_hosts: ffmpeg could not join the stretches" >&2; exit 1; }
cd - >/dev/null || exit 1
# The capture tool checks that the joined master holds the span's frames, encodes it with the
# whole song and writes and checks the video.
"$capture" --out "$out" --size "$size" --fps "$fps" --from "$(seconds "$from_ms")" --to "$(seconds "$to_ms")" \
  "${encode[@]}" --encode-master "$work/joined.mkv"
