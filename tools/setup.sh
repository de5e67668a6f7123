# Shared by ./run and ./test: installs the Debian packages a task needs when any is missing
# (through sudo when not root), then configures and builds. ./run asks only for what playing
# needs; ./test adds the test frameworks, the display tools and a sanitizer build.
# Sourced, not run: it sets ROOT, BUILD and SANITIZER_BUILD for the caller.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"
SANITIZER_BUILD="$ROOT/build-asan"

# To build and play: the compiler, OpenGL and EGL (software rendering included), PNG, SDL 1.2
# and Dear ImGui (the maker's mode's overlay; it brings stb with it).
RUN_PACKAGES=(cmake g++ make pkg-config libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libpng-dev libimgui-dev)
# To encode the preview video that ./run renders where there is no display.
PREVIEW_PACKAGES=(ffmpeg)
# To test: the frameworks, a virtual display with key presses, picture comparison, video,
# sdl12-compat (SDL 1.2 over SDL 2), on which the demo's runs are repeated, and what cpack
# needs for the Debian package (dpkg-shlibdeps, file), and GNU parallel with rsync, which spread
# a capture over machines (tools/capture_on_hosts.sh).
TEST_PACKAGES=(libgtest-dev googletest libbenchmark-dev xvfb xauth xdotool imagemagick ffmpeg libsdl1.2-compat dpkg-dev file
  parallel rsync)

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Installs whichever of the named packages are missing, and SDL 1.2's development files
# (either package will do).
install_missing() {
  local missing=()
  for p in "$@"; do
    is_installed "$p" || missing+=("$p")
  done
  is_installed libsdl1.2-dev || is_installed libsdl1.2-compat-dev || missing+=(libsdl1.2-dev)
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq || return 1
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}

# Configures build/ (keeping a build type the developer chose; Release otherwise) and builds
# the given targets, or everything when none are named. A first configure by ./run leaves
# the tests and benchmarks out; ./test turns them on.
configure_and_build() {
  local options=()
  if [ "${WANT_TESTS:-0}" = 1 ]; then
    options+=(-DDEMO_TESTS=ON -DDEMO_BENCHMARKS=ON "-DDEMO_SANITIZER_TREE=$SANITIZER_BUILD")
  elif [ ! -f "$BUILD/CMakeCache.txt" ]; then
    options+=(-DDEMO_TESTS=OFF -DDEMO_BENCHMARKS=OFF)
  fi
  cmake -S "$ROOT" -B "$BUILD" "${options[@]}" >/dev/null || return 1
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$BUILD" -j"$(nproc)" "${targets[@]}" || return 1
}

# Builds the unit tests and the capture tool under AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/.
build_sanitized() {
  cmake -S "$ROOT" -B "$SANITIZER_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEMO_SANITIZE=ON \
    -DDEMO_TESTS=ON -DDEMO_BENCHMARKS=OFF >/dev/null || return 1
  cmake --build "$SANITIZER_BUILD" -j"$(nproc)" --target unit_tests demo-capture keep_drivers_loaded || return 1
}
