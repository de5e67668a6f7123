# Runs an end-to-end script as if the checkout lived somewhere awkward: the build folder and the
# source root are reached through links in a private (0700) folder whose path holds spaces and
# other characters a shell or the loader might split at. A script that assumes where the
# checkout is (an unprivileged user reaching it, a path kept whole) fails here.
# Usage: from_odd_path.sh SCRIPT BUILD_DIR SOURCE_ROOT, SCRIPT relative to SOURCE_ROOT.
set -u
script=$1
build="$(cd "$2" && pwd)" || exit 1
source_root="$(cd "$3" && pwd)" || exit 1
private="$(mktemp -d)" || exit 1
trap 'rm -rf "$private"' EXIT
chmod 0700 "$private"
odd="$private/dir with space:colon & 'quotes' [x]"
mkdir "$odd" && ln -s "$build" "$odd/build" && ln -s "$source_root" "$odd/source" || exit 1
bash "$odd/source/$script" "$odd/build" "$odd/source"
