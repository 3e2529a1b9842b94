#!/usr/bin/env bash
# The layer check passes on the tree as it is and fails, naming the file, on
# a copy with one upward include planted (the model including the document).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/layers" "$root/src"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/src" "$work/src"
echo '#include "document.h"' >>"$work/src/model/sphere.cpp"
if out=$("$root/scripts/layers" "$work/src"); then
  echo "an upward include was not found"
  exit 1
fi
echo "$out" | grep -q 'src/model/sphere.cpp:.*document.h from src/document/' || {
  echo "the planted include was not named: $out"
  exit 1
}
