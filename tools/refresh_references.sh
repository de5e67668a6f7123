#!/usr/bin/env bash
# Renders the reference pictures of tests/references again with the current build, for a
# deliberate change of the picture (see the README). Builds demo-capture first, replaces
# every reference, and lists the pictures that changed; commit them with a message saying
# what changed in them and why.
set -u
source "$(dirname "$0")/setup.sh"
source "$ROOT/tests/references/render.bash"
configure_and_build demo-capture || { echo "refresh_references: the build failed" >&2; exit 1; }

fresh="$(mktemp -d)"
trap 'rm -rf "$fresh"' EXIT
render_references "$BUILD/demo-capture" "$ROOT" "$fresh" || { echo "refresh_references: rendering failed" >&2; exit 1; }
# Only whole sets are taken: the old pictures go only after every new one was rendered.
for old in "$ROOT"/tests/references/*x*/frame-*.png; do
  [ -f "$old" ] && rm -- "$old"
done
for set in "$fresh"/*; do
  mkdir -p "$ROOT/tests/references/${set##*/}" && cp -- "$set"/frame-*.png "$ROOT/tests/references/${set##*/}/" ||
    { echo "refresh_references: cannot write tests/references" >&2; exit 1; }
done
rmdir "$ROOT"/tests/references/*x*/ 2>/dev/null  # sets no longer rendered
git -C "$ROOT" status --short -- tests/references
