#!/usr/bin/env bash
# Checks the show on a machine with a real GPU: renders a short stretch of every scene at
# 1920x1080 and 60 fps through EGL with --stats, --pass-stats and --gl-debug, prints the
# per-scene table of CPU and GPU milliseconds per frame, the per-pass table (GPU time and share,
# vertices, primitives, fragment shader runs) and whatever the driver reported, then renders the first
# frame of each stretch again with the software renderer (Mesa's llvmpipe through EGL, on the
# same machine) and reports how far the two pictures differ (ImageMagick's RMSE).
# It runs wherever the capture tool does, slowly with the software renderer alone; there both
# pictures come from the same renderer and must not differ at all.
# Usage: tools/gpu_check.sh [--seconds S] [--size WxH] [--quick] [--build DIR] [--keep DIR]
#   --seconds S  length of each scene's stretch (default 2; at most 10)
#   --size WxH   picture size (default 1920x1080)
#   --quick      a short try: 0.1 s of each scene at 640x360
#   --build DIR  the build folder holding demo-capture (default build/)
#   --keep DIR   keep the frames, CSV files and logs in DIR (a new or empty folder)
set -u
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds=2
size=1920x1080
build="$ROOT/build"
keep=""

usage() { sed -n '10,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) [ $# -ge 2 ] || usage; seconds=$2; shift 2 ;;
    --size) [ $# -ge 2 ] || usage; size=$2; shift 2 ;;
    --quick) seconds=0.1; size=640x360; shift ;;
    --build) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
    --keep) [ $# -ge 2 ] || usage; keep=$2; shift 2 ;;
    *) usage ;;
  esac
done
[[ "$seconds" =~ ^[0-9]+(\.[0-9]+)?$ ]] && awk -v s="$seconds" 'BEGIN { exit !(s > 0 && s <= 10) }' ||
  { echo "gpu_check: --seconds must be a number above 0 and at most 10, not '$seconds'" >&2; exit 2; }
[[ "$size" =~ ^[1-9][0-9]{0,4}x[1-9][0-9]{0,4}$ ]] || { echo "gpu_check: --size must be WxH, not '$size'" >&2; exit 2; }
capture="$(cd "$build" 2>/dev/null && pwd)/demo-capture"
[ -x "$capture" ] || { echo "gpu_check: no demo-capture in $build: build it first" >&2; exit 1; }

if [ -n "$keep" ]; then
  mkdir -p "$keep" || exit 1
  [ -z "$(ls -A "$keep")" ] || { echo "gpu_check: $keep is not empty" >&2; exit 1; }
  work="$(cd "$keep" && pwd)"
else
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi
cd "$ROOT" || exit 1  # the scenes read ./shaders

# The scenes as the capture tool lists them (name, start, end); each stretch starts 4 s into
# its scene, where it shows what it is about, and its first frame is that time's still.
scenes=()
starts=()
stills=()
while IFS=$'\t' read -r name start _; do
  scenes+=("$name")
  starts+=("$(awk -v s="$start" 'BEGIN { printf "%.3f", s + 4 }')")
  stills+=("$(awk -v s="$start" 'BEGIN { printf "%d", (s + 4) * 1000 + 0.5 }')")
done < <("$capture" --list-scenes)
[ ${#scenes[@]} -gt 0 ] || { echo "gpu_check: $capture lists no scenes" >&2; exit 1; }

renderer=""
if command -v nvidia-smi >/dev/null 2>&1; then
  renderer="$(nvidia-smi --query-gpu=name,driver_version --format=csv,noheader 2>/dev/null | head -n1)"
elif command -v eglinfo >/dev/null 2>&1; then
  renderer="$(eglinfo 2>/dev/null | grep -m1 'OpenGL core profile renderer' | sed 's/.*: //')"
fi
echo "GPU check: $seconds s of each scene at $size, 60 fps; device: ${renderer:-not named (no nvidia-smi or eglinfo here)}"

header=""
rows=()
pass_header=""
pass_rows=()
messages=0
failed=0
for i in "${!scenes[@]}"; do
  name=${scenes[$i]}
  from=${starts[$i]}
  to=$(awk -v f="$from" -v s="$seconds" 'BEGIN { printf "%.3f", f + s }')
  started=$(date +%s)
  if ! "$capture" --gl-debug --stats "$work/$name.csv" --pass-stats "$work/$name-passes.csv" --size "$size" --fps 60 --frames "$work/$name" \
      --from "$from" --to "$to" 2>"$work/$name.log"; then
    echo "gpu_check: the $name capture failed:" >&2
    cat "$work/$name.log" >&2
    failed=1
    continue
  fi
  echo "  $name: $(( $(date +%s) - started )) s"
  [ -n "$header" ] || header=$(grep -m1 '^frame statistics' "$work/$name.log")
  rows+=("$(grep -m1 "^  $name " "$work/$name.log")")
  [ -n "$pass_header" ] || pass_header=$(grep -m1 '^pass statistics' "$work/$name.log")
  pass_rows+=("$(grep -E "^  $name [a-zA-Z]" "$work/$name.log")")
  count=$(grep -c 'GL debug (' "$work/$name.log")
  messages=$((messages + count))
  [ "$count" -eq 0 ] || grep 'GL debug (' "$work/$name.log" | sed "s/^/  $name: /"
done
echo
echo "$header"
printf '%s\n' "${rows[@]}"
echo
echo "$pass_header"
printf '%s\n' "${pass_rows[@]}"
echo "driver messages (--gl-debug): $messages"

# The same first frames with the software renderer: Mesa's EGL vendor forced, llvmpipe.
echo
times=$(IFS=,; echo "${starts[*]}")
mesa_vendor=""
for f in /usr/share/glvnd/egl_vendor.d/*mesa*.json; do [ -e "$f" ] && mesa_vendor=$f; done
if ! env LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe ${mesa_vendor:+__EGL_VENDOR_LIBRARY_FILENAMES=$mesa_vendor} \
    "$capture" --size "$size" --fps 60 --at "$times" --out "$work/software" 2>"$work/software.log"; then
  echo "gpu_check: the software renderer's capture failed:" >&2
  cat "$work/software.log" >&2
  exit 1
fi
if ! command -v compare >/dev/null 2>&1; then
  echo "no ImageMagick here: compare $work/<scene>/frame-000000.png with $work/software/ elsewhere (--keep)"
  exit $failed
fi
echo "first frame of each stretch against the software renderer (RMSE, 0 to 1; differing pixels):"
for i in "${!scenes[@]}"; do
  name=${scenes[$i]}
  gpu="$work/$name/frame-000000.png"
  soft="$work/software/frame-${stills[$i]}.png"
  if [ ! -f "$gpu" ] || [ ! -f "$soft" ]; then
    echo "  $name: no picture to compare"
    failed=1
    continue
  fi
  rmse=$(compare -metric RMSE "$gpu" "$soft" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
  differing=$(compare -metric AE "$gpu" "$soft" null: 2>&1)
  printf '  %-8s %s  %s\n' "$name" "$rmse" "$differing"
done
exit $failed
