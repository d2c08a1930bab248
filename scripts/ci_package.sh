#!/bin/sh
# CI: builds the Debian package and runs Debian's package checker, the
# AppStream validator and the desktop file validator on what it installs. Any
# error or warning fails; pedantic and informational notes are only shown.
# Reuses BUILD_DIR (default build/) when the test run configured it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh package
BUILD_DIR="${BUILD_DIR:-build}"
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMMORA_WERROR=ON >/dev/null
fi
cmake --build "$BUILD_DIR" -j2 >/dev/null
rm -f "$BUILD_DIR"/glimmora_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD_DIR"/glimmora_*.deb)
echo "=== $deb"

failed=0
echo "=== lintian"
report=$(lintian --pedantic --info --display-experimental "$deb" 2>&1 | grep -v 'running with root privileges') || true
[ -n "$report" ] && printf '%s\n' "$report"
if printf '%s\n' "$report" | grep -q '^[EW]: '; then failed=1; fi

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
echo "=== appstreamcli validate"
appstreamcli validate --no-net --pedantic "$tree"/usr/share/metainfo/*.metainfo.xml || failed=1
echo "=== desktop-file-validate"
desktop-file-validate "$tree"/usr/share/applications/*.desktop || failed=1

# The configuration file's type: the package's definition must compile, and a
# saved configuration must be recognised by its first line.
echo "=== shared-mime-info"
mkdir -p "$tree/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$tree"/usr/share/mime/packages/*.xml "$tree/mime/packages/"
# (it notes on standard error that the directory is not a system one)
update-mime-database "$tree/mime" 2>/dev/null || failed=1
printf '//Glimmora Config File\r\n0\r\n' >"$tree/setup.txt"
type=$(XDG_DATA_DIRS="$tree" XDG_DATA_HOME="$tree/none" gio info -a standard::content-type "$tree/setup.txt" 2>/dev/null |
  sed -n 's/.*content-type: //p')
echo "setup.txt: $type"
[ "$type" = "application/x-glimmora-config" ] || failed=1

# The Python module, from the package's own tree: it imports in Debian's
# python3, and pytest finds its plugin through the package's entry point.
echo "=== python3: import glimmora, the example suite"
site="$tree/usr/lib/python3/dist-packages"
if [ -d "$site/glimmora" ]; then
  PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 XDG_STATE_HOME="$tree/state" /usr/bin/python3 -c 'import glimmora' || failed=1
  (cd "$tree" && PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 XDG_STATE_HOME="$tree/state" \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider usr/share/doc/glimmora/examples) || failed=1
fi

[ "$failed" -eq 0 ] && echo "=== package checks passed"
exit "$failed"
