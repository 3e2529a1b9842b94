#!/usr/bin/env bash
# Builds the Debian package into a scratch folder and checks what a user
# installing it gets: the files a desktop, man and bash look for, no caches
# that belong to Debian's triggers, dependencies that name real packages,
# and a program that runs from the unpacked tree without a display.
# Usage: package_check.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
build=$1 scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch"
fail() { echo "package check: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$scratch"/rotundel_*_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no rotundel_VERSION_ARCH.deb was made"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
grep -qE '^\./usr/lib/.*rotundel/rotundel_media_heavy\.so$' <<<"$contents" ||
  fail "the package lacks the movie and mesh module"
for f in ./usr/bin/rotundel \
         ./usr/share/applications/rotundel.desktop \
         ./usr/share/metainfo/io.github.rotundel.rotundel.metainfo.xml \
         ./usr/share/man/man1/rotundel.1.gz \
         ./usr/share/bash-completion/completions/rotundel \
         ./usr/share/mime/packages/rotundel.xml \
         ./usr/share/rotundel/textures/earth256.bmp; do
  grep -qx "$f" <<<"$contents" || fail "the package lacks $f"
done
if grep -v '/mime/packages/' <<<"$contents" | grep -Eq 'mime\.cache$|mimeinfo\.cache$|/mime/.*\.xml$'; then
  fail "the package holds desktop or MIME caches that Debian's triggers own"
fi

# Every dependency that dpkg-shlibdeps found (and the plugins named by hand)
# is a package this machine knows, since it built and runs the program.
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6' <<<"$depends" || fail "Depends lacks the Qt libraries: $depends"
for p in $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | sort -u); do
  dpkg-query -W "$p" >/dev/null 2>&1 || fail "Depends names $p, which is not a Debian package here"
done

# Unpacked outside the build tree, where a program run from the build tree
# would also find the build's own media module.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
export DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM=
"$root/usr/bin/rotundel" --help | grep -q 'rotundel render' || fail "rotundel --help does not list render"
"$root/usr/bin/rotundel" new "$scratch/starter.one"
"$root/usr/bin/rotundel" render "$scratch/starter.one" -o "$scratch/starter.png" --width 160 --height 120
[ -s "$scratch/starter.png" ] || fail "rotundel render wrote nothing"
# Movies and meshes come from the module the program opens when it needs it.
"$root/usr/bin/rotundel" movie "$scratch/starter.one" -o "$scratch/starter.gif" --frames 2 --width 64 --height 48 ||
  fail "rotundel movie failed"
"$root/usr/bin/rotundel" export "$scratch/starter.one" -o "$scratch/starter.obj" ||
  fail "rotundel export to OBJ failed"
[ -s "$scratch/starter.gif" ] && [ -s "$scratch/starter.obj" ] || fail "no movie or mesh was written"
ldd "$root/usr/bin/rotundel" | grep -Eq 'libav|libassimp' && fail "the program links FFmpeg or Assimp itself"
bash -n "$root/usr/share/bash-completion/completions/rotundel" || fail "the bash completion does not parse"
man -l "$root/usr/share/man/man1/rotundel.1.gz" 2>&1 | grep -q 'EXIT STATUS' || fail "the manual page does not render"
# The Python module, when the build made one, lands where Debian's Python
# looks and works from there.
if ls "$build"/python/rotundel*.so >/dev/null 2>&1; then
  module=$(ls "$root"/usr/lib/python3/dist-packages/rotundel*.so 2>/dev/null | head -n1)
  [ -n "$module" ] || fail "the package lacks the Python module in /usr/lib/python3/dist-packages"
  PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c "
import rotundel, sys
a = rotundel.new()
a.save(sys.argv[1])
assert len(a.paths()[0].xyz) > 0
a.export(sys.argv[2])
" "$scratch/python.one" "$scratch/python.obj" || fail "import rotundel fails from the package"
  # Meshes come from the package's module, found from dist-packages.
  [ -s "$scratch/python.obj" ] || fail "the Python module wrote no mesh"
  cmp -s "$scratch/python.one" "$scratch/starter.one" || fail "the Python module's starter differs from rotundel new"
fi
echo "package check: $(basename "$deb") passed"
