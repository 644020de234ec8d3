#!/bin/sh
# Builds the Debian package from a build directory, checks its file list,
# unpacks it into a scratch root and runs the command line from there.
# Exit 77 (skipped) when cpack or dpkg are missing.
#   sh scripts/package_test.sh build
set -e
BUILD=${1:-build}
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v $tool >/dev/null 2>&1 || { echo "package_test: $tool is missing, skipped"; exit 77; }
done
BUILD=$(cd "$BUILD" && pwd)
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
cd "$BUILD"
cpack -G DEB -B "$SCRATCH/pkg" >"$SCRATCH/cpack.log" 2>&1 || { cat "$SCRATCH/cpack.log"; exit 1; }
DEB=$(ls "$SCRATCH"/pkg/quillbox_*.deb)
dpkg-deb -c "$DEB" | awk '{print $6}' | sed 's|^\./|/|' >"$SCRATCH/files"
fail=0
for f in /usr/bin/quillbox-cli /usr/lib/libqbfil.so /usr/share/man/man1/quillbox-cli.1 \
         /usr/share/icons/hicolor/scalable/apps/quillbox.svg /usr/lib/systemd/user/quillbox-scheduler.service \
         /usr/lib/systemd/user/quillbox-scheduler.timer; do
  grep -qx "$f" "$SCRATCH/files" || { echo "package_test: $f is not in the package"; fail=1; }
done
if [ -x "$BUILD/quillbox" ]; then
  for f in /usr/bin/quillbox /usr/share/applications/quillbox.desktop \
           /usr/share/icons/hicolor/48x48/apps/quillbox.png /usr/share/icons/hicolor/256x256/apps/quillbox.png; do
    grep -qx "$f" "$SCRATCH/files" || { echo "package_test: $f is not in the package"; fail=1; }
  done
fi
# The dependencies name the libraries the programs need.
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
echo "package_test: Depends: $DEPENDS"
for lib in libsqlite3 libicu libpst; do
  echo "$DEPENDS" | grep -q "$lib" || { echo "package_test: Depends lacks $lib"; fail=1; }
done
# Unpacked anywhere, the programs find their library through their RPATH.
dpkg -x "$DEB" "$SCRATCH/root"
out=$(env -u LD_LIBRARY_PATH "$SCRATCH/root/usr/bin/quillbox-cli" --version)
echo "package_test: $out"
case "$out" in
  "quillbox-cli "*) ;;
  *) echo "package_test: unexpected --version output"; fail=1 ;;
esac
exit $fail
