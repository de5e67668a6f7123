# Helpers for the end-to-end scripts: each script gets the build folder and the source root,
# runs the real programs, and exits non-zero with a reason on the first failed check.
BUILD_DIR="$(cd "$1" && pwd)"
SOURCE_DIR="$(cd "$2" && pwd)"
DEMO="$BUILD_DIR/demo"
CAPTURE="$BUILD_DIR/demo-capture"
WORK="$(mktemp -d)"
XVFB_PID=""

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cleanup() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

# DEMO_SDL=compat runs the demo on sdl12-compat (SDL 1.2 over SDL 2, the SDL 1.2 of current
# distributions), found first by the loader; nothing else is set: it must play as installed.
if [ "${DEMO_SDL:-}" = compat ]; then
  compat_library=$(dpkg -L libsdl1.2-compat 2>/dev/null | grep '/libSDL-1\.2\.so\.0$' | head -n1)
  [ -n "$compat_library" ] || fail "libsdl1.2-compat is not installed"
  export LD_LIBRARY_PATH="$(dirname "$compat_library")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  unset SDL12COMPAT_OPENGL_SCALING
  ldd "$DEMO" | grep -q "libSDL-1\.2\.so\.0 => $(dirname "$compat_library")/" ||
    fail "the demo does not load $compat_library"
fi

# expect's checks go on after a failed one, so one run reports them all; finish_checks ends
# the script with a failure when any failed.
CHECK_FAILURES=0
# expect NAME VALUE OP LIMIT: records a failure unless VALUE OP LIMIT holds.
expect() {
  if awk -v v="$2" -v l="$4" "BEGIN { exit !(v $3 l) }"; then
    echo "ok   $1: $2 $3 $4"
  else
    echo "FAIL $1: $2 is not $3 $4"
    CHECK_FAILURES=$((CHECK_FAILURES + 1))
  fi
}
finish_checks() {
  [ "$CHECK_FAILURES" -eq 0 ] || fail "$CHECK_FAILURES check(s) failed"
}

# Starts a virtual X display of the given size (default 320x180) and exports DISPLAY.
start_xvfb() {
  local fdfile="$WORK/xvfb.display"
  Xvfb -displayfd 3 -screen 0 "${1:-320x180}x24" -nolisten tcp -noreset 3>"$fdfile" 2>"$WORK/xvfb.log" &
  XVFB_PID=$!
  for _ in $(seq 600); do [ -s "$fdfile" ] && break; sleep 0.1; done
  [ -s "$fdfile" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
  export DISPLAY=":$(head -n1 "$fdfile")"
}

# A folder to run the demo in: the shaders and track files it reads, and room for its log.
make_run_dir() {
  mkdir -p "$WORK/run$1" && cp -r "$SOURCE_DIR/shaders" "$SOURCE_DIR/tracks" "$WORK/run$1/"
  echo "$WORK/run$1"
}

# Waits until the demo $1, started with SDL_AUDIODRIVER=disk writing into file $2, plays music:
# it is then past its start-up and in the show. Fails if it ends or is silent for 120 s.
wait_until_playing() {
  for _ in $(seq 1200); do
    kill -0 "$1" 2>/dev/null || return 1
    [ "$(tr -d '\0' <"$2" 2>/dev/null | head -c 1 | wc -c)" = 1 ] && return 0
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds for child process $1 to end; sets EXIT_STATUS to its status, or
# to "timeout" after killing it.
wait_for_exit() {
  local pid=$1 limit=$2
  for _ in $(seq $((limit * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      EXIT_STATUS=$?
      return
    fi
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  EXIT_STATUS=timeout
}

# Checks that file $1 holds exactly the text $2 (escapes such as \n are expanded).
expect_file_text() {
  [ "$(cat "$1" 2>/dev/null; echo x)" = "$(printf "$2"; echo x)" ] || fail "$1 holds '$(cat "$1" 2>/dev/null)', expected '$(printf "$2")'"
}

# start_demo DIR OPTIONS...: starts the demo in DIR as $pid, its output in $WORK/stdout and
# stderr; a failed check leaves no demo running.
pid=""
start_demo() {
  (cd "$1" && shift && exec "$DEMO" "$@" >"$WORK/stdout" 2>"$WORK/stderr") &
  pid=$!
  trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; cleanup' EXIT
}
# ends_cleanly WHAT DIR [SIGNAL]: the demo $pid, sent SIGNAL if given, ends within 60 s with
# status 0 and an empty log in DIR.
ends_cleanly() {
  [ -n "${3:-}" ] && kill -s "$3" "$pid"
  wait_for_exit "$pid" 60
  [ "$EXIT_STATUS" = 0 ] || fail "$1: status $EXIT_STATUS: $(cat "$2/error_log.txt" "$WORK/stderr")"
  pid=""
  expect_file_text "$2/error_log.txt" ""
}

# music_matches RAW WAV SKIPS LOUD: after at most SKIPS silent buffers (the disk driver writes
# one each time it runs while the device is still paused), RAW is WAV's samples, as many as RAW
# holds; sets PLAYED to those bytes. Fails otherwise, or with LOUD or fewer non-zero samples.
music_matches() {
  local buffer=$((4096 * 4)) size skip paused
  size=$(stat -c %s "$1")
  for paused in $(seq 0 "$3"); do
    skip=$((paused * buffer))
    [ $skip -lt "$size" ] || break
    [ $paused = 0 ] || cmp -s -n $skip "$1" /dev/zero || break
    PLAYED=$((size - skip))
    if cmp -s -i "$skip:44" -n "$PLAYED" "$1" "$2"; then
      [ "$(tail -c +$((skip + 1)) "$1" | od -An -v -td2 -w2 -N 4000000 | awk '$1 != 0 { n++ } END { print n + 0 }')" -gt "$4" ] ||
        fail "the music written is nearly silent"
      echo "ok   $((PLAYED / 4)) frames of music match $(basename "$2") after $paused silent buffers"
      return
    fi
  done
  fail "the music written is not $(basename "$2")"
}

# The maker's mode, driven by xdotool.
press() { xdotool key "$@"; }
grab() { import -window root -crop 320x180+0+0 +repage "$1"; }
differing() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
# await_stderr N PATTERN WHY: waits up to 2 minutes until stderr has more than N lines matching.
await_stderr() {
  for _ in $(seq 1200); do
    [ "$(grep -c -- "$2" "$WORK/stderr")" -gt "$1" ] && return
    kill -0 "$pid" 2>/dev/null || fail "the demo ended: $(tail -n5 "$WORK/stderr")"
    sleep 0.1
  done
  fail "$3: $(tail -n3 "$WORK/stderr")"
}
# screenshot: F12, and waits until the demo saved the frame; sets SHOT to its show time (a
# variable, not output: a failure inside $(...) would end only the subshell).
screenshot() {
  local before
  before=$(grep -c "saved frame-" "$WORK/stderr")
  press F12
  await_stderr "$before" "saved frame-" "F12 wrote no picture"
  SHOT=$(grep -o "saved frame-[0-9]*" "$WORK/stderr" | tail -n1 | sed 's/saved frame-//')
}
