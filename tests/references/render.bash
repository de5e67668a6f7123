# The reference pictures: which frames, at which sizes, and how they are rendered. Sourced by
# tests/integration/reference_frames.sh and tools/refresh_references.sh, so that both render
# the same frames in the same way.

# One rate for every frame (the curves simulate in 1/60 s steps).
REFERENCE_FPS=60
# Each set is a picture size and its show times in seconds. Landscape: every scene at each
# phase, and the frames either side of each scene switch (33.99 s is the frame of tick 33983).
# Portrait: one frame per scene, where aspect faults show.
REFERENCE_SETS=(
  "256x144 0,3,5,8,12,16.5,20,25,28.5,31,33.99"
  "256x144 34,35,38,45,49,56,60,64.5,69.5,74.5,76.8,77.5,77.99"
  "256x144 78,79,85,90,95.5,100,105,109.99"
  "256x144 110,110.5,112,114,116,118,120,122,124,125.9,125.99"
  "256x144 126,128,136,140,148,155,160,170,181,191.99"
  "144x256 12,49,85,118,140"
)

# The references are the pictures of Mesa's software renderer (llvmpipe), whatever the GPU.
use_software_renderer() {
  export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
  local mesa_vendor=/usr/share/glvnd/egl_vendor.d/50_mesa.json
  if [ -f "$mesa_vendor" ]; then export __EGL_VENDOR_LIBRARY_FILENAMES="$mesa_vendor"; fi
}

# render_references CAPTURE SOURCE_DIR OUT: renders every set into OUT/<size>/frame-<ms>.png,
# the two sizes side by side. Prints the tool's messages and fails if any capture fails.
render_references() {
  local capture=$1 source=$2 out=$3 set size status=0
  local -A joined=()
  for set in "${REFERENCE_SETS[@]}"; do size=${set%% *}; joined[$size]="${joined[$size]:+${joined[$size]},}${set#* }"; done
  use_software_renderer
  mkdir -p "$out" || return 1
  for size in "${!joined[@]}"; do
    (cd "$source" && "$capture" --size "$size" --fps "$REFERENCE_FPS" --at "${joined[$size]}" --out "$out/$size") &
  done
  for size in "${!joined[@]}"; do wait -n || status=1; done
  return $status
}
