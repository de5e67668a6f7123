# tools/gpu_check.sh --quick: a stretch of every scene with --stats, --pass-stats and --gl-debug,
# the per-scene and per-pass tables, no driver message, and (llvmpipe on both sides here) the
# same first frames as the software renderer's. Bad arguments are refused before any work.
set -euo pipefail
source "$(dirname "$0")/common.bash"
script="$SOURCE_DIR/tools/gpu_check.sh"

expect "a bad size refused before any work" "$(bash "$script" --build "$BUILD_DIR" --size 0x360 &>/dev/null; echo $?)" "==" 2

bash "$script" --quick --build "$BUILD_DIR" --keep "$WORK/kept" >"$WORK/out" 2>"$WORK/err" ||
  fail "gpu_check --quick failed: $(cat "$WORK/out" "$WORK/err")"
cat "$WORK/out"
scenes=$("$CAPTURE" --list-scenes | cut -f1)
expect "scenes listed" "$(wc -w <<<"$scenes")" ">" 0
for scene in $scenes; do
  expect "$scene row with 6 frames" "$(awk -v s="$scene" '$1 == s && NF >= 9 { print $2 }' "$WORK/out" | head -n1)" "==" 6
  expect "$scene same as the software renderer" "$(awk -v s="$scene" '$1 == s && NF == 3 { print $3 }' "$WORK/out")" "==" 0
  expect "$scene passes in the per-pass table" "$(grep -cE "^  $scene [a-zA-Z]+Pass +6 .*%" "$WORK/out")" ">" 0
  [ -f "$WORK/kept/$scene.csv" ] && [ -f "$WORK/kept/$scene-passes.csv" ] || fail "no $scene.csv or $scene-passes.csv kept"
done
expect "driver messages" "$(sed -n 's/^driver messages (--gl-debug): //p' "$WORK/out")" "==" 0
finish_checks
