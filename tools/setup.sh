# Shared by ./run and ./test: installs the Debian packages the project needs when any is
# missing (through sudo when not root), then configures and builds into build/.
# Sourced, not run: it sets ROOT and BUILD for the caller.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"

# Packages to build, run and test. Either SDL 1.2 development package will do.
PACKAGES=(cmake g++ make pkg-config libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libpng-dev
          libgtest-dev googletest libbenchmark-dev ffmpeg xvfb xauth xdotool imagemagick)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ! dpkg-query -W -f='${Status}' libsdl1.2-dev 2>/dev/null | grep -q "install ok installed" &&
     ! dpkg-query -W -f='${Status}' libsdl1.2-compat-dev 2>/dev/null | grep -q "install ok installed"; then
    missing+=(libsdl1.2-dev)
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq || return 1
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}

configure_and_build() {
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null || return 1
  cmake --build "$BUILD" -j"$(nproc)" || return 1
}
