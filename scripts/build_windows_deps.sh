#!/bin/sh
# Builds the two libraries the Windows programs link statically, from Debian's
# own source packages (checksums checked by apt against the signed archive):
#   - Qt 6 (Core, Gui, Widgets; the windows platform plugin; the windowsvista
#     style), only the parts the window links, for the window;
#   - libusb-1.0, for real boards.
# They are installed into a cache outside the checkout,
#   ${GLIMMORA_WIN_DEPS:-$HOME/.cache/glimmora/win-deps}/{qt,libusb}
# with a stamp naming the source versions and this script's hash: a later run
# with the same stamp does nothing, a change to this script builds again.
# The host's own Qt (the same version) gives the code generators (moc, rcc, uic).
# Prints the cache folder on its last line.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
# The cross compiler, Wine, and Ninja for Qt's build.
sh scripts/setup.sh windows

deps="${GLIMMORA_WIN_DEPS:-$HOME/.cache/glimmora/win-deps}"
host=x86_64-w64-mingw32
# The recipe (this script and the toolchain file Qt is built with) by its
# hash, which leaves out comments and blank lines: rewording one rebuilds nothing.
script_hash=$(cat "$root/scripts/build_windows_deps.sh" "$root/cmake/toolchains/mingw-w64.cmake" |
  grep -v '^[[:space:]]*#' | grep -v '^[[:space:]]*$' | sha256sum | cut -c1-16)
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/[+-].*//')

now() { date +%s; }
stage_start=$(now)
stage() {
  t=$(now)
  echo "build_windows_deps: $1 ($((t - stage_start)) s)"
  stage_start=$t
}

# A private apt configuration that knows the source packages of the Debian
# archive the machine installs from (its own mirror or proxy, as its apt
# sources say), so the machine's own sources and lists stay untouched. apt
# checks them against the archive keys the machine trusts.
work="${GLIMMORA_WIN_DEPS_WORK:-$deps.work}"
apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
codename=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release | tr -d '"')
archive=$(sh "$root/scripts/debian_archive.sh")
echo "deb-src $archive $codename main" >"$apt_dir/sources.list"
apt_options() {
  echo "-o Dir::Etc::SourceList=$apt_dir/sources.list -o Dir::Etc::SourceParts=$apt_dir/parts -o Dir::State::Lists=$apt_dir/lists -o Dir::Cache=$apt_dir/cache"
}
apt_private() {
  apt-get -q -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts="$apt_dir/parts" \
    -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" \
    -o APT::Sandbox::User=root "$@"
}
apt_private update >/dev/null
source_version() {
  # shellcheck disable=SC2046
  apt-cache $(apt_options) showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2; exit}'
}
qt_version=$(source_version qt6-base)
usb_version=$(source_version libusb-1.0)
if [ -z "$qt_version" ] || [ -z "$usb_version" ]; then
  echo "build_windows_deps: no source packages found"
  exit 1
fi
stamp="qt6-base $qt_version; libusb-1.0 $usb_version; script $script_hash"
if [ -f "$deps/stamp" ] && [ "$(cat "$deps/stamp")" = "$stamp" ]; then
  echo "build_windows_deps: reusing $deps ($stamp)"
  echo "$deps"
  exit 0
fi
case "$qt_version" in
  "$host_qt"*) ;;
  *) echo "build_windows_deps: Qt source $qt_version differs from the host's Qt $host_qt (its tools must match)"; exit 1 ;;
esac
stage "sources found: $stamp"

rm -rf "$work/src" "$deps"
mkdir -p "$work/src" "$deps"
(cd "$work/src" && apt_private source qt6-base libusb-1.0 >/dev/null)
qt_src=$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
usb_src=$(find "$work/src" -maxdepth 1 -type d -name 'libusb-1.0-*' | head -n1)
stage "sources fetched and checked"

# libusb: a static library with its Windows backends (WinUSB through its own
# loader, so no import library is needed at link time).
usb_build="$work/build-libusb"
rm -rf "$usb_build" && mkdir -p "$usb_build"
(cd "$usb_build" && "$usb_src/configure" --host=$host --prefix="$deps/libusb" \
   --enable-static --disable-shared --disable-examples-build --disable-tests-build \
   CC=$host-gcc-posix && make -j2 && make install) >"$work/libusb-build.log" 2>&1 || { tail -n 40 "$work/libusb-build.log"; exit 1; }
stage "libusb built"

# Qt: static, only what the window uses, with the programs' own toolchain
# file (which also names the build machine's Qt for the code generators; the
# cache is empty yet, so nothing of an earlier build is found). The archive's
# repack lacks wintab (tablet events), sqlite and iaccessible2; zlib, pcre2,
# libpng and harfbuzz are bundled. OpenGL goes entirely
# (INPUT_opengl=no also drops dynamicgl, which the windows plugin cannot build
# without OpenGL); with direct2d off, directwrite3 must go too, or the plugin
# links to a font database QtGui did not build.
# The rest of the list leaves out what neither program links, a sixth of
# Qt's files to compile: Qt Test (the Windows tests drive the programs
# through scripts), the image format plugins (the icon is a PNG, which QtGui
# reads itself), FreeType (Windows draws text with its own font engines), and
# the widgets, dialogs and document features the window has no use for.
qt_build="$work/build-qt"
rm -rf "$qt_build"
cmake -S "$qt_src" -B "$qt_build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64.cmake" -DGLIMMORA_WIN_DEPS="$deps" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/qt" \
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
  -DBUILD_SHARED_LIBS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF \
  -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF \
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_icu=OFF -DFEATURE_jpeg=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_accessibility_atspi_bridge=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_testlib=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_freetype=OFF \
  -DFEATURE_graphicsview=OFF -DFEATURE_mdiarea=OFF -DFEATURE_calendarwidget=OFF -DFEATURE_datetimeedit=OFF \
  -DFEATURE_wizard=OFF -DFEATURE_fontdialog=OFF -DFEATURE_fontcombobox=OFF -DFEATURE_colordialog=OFF \
  -DFEATURE_columnview=OFF -DFEATURE_splashscreen=OFF -DFEATURE_lcdnumber=OFF -DFEATURE_dial=OFF \
  -DFEATURE_keysequenceedit=OFF -DFEATURE_commandlinkbutton=OFF -DFEATURE_toolbox=OFF \
  -DFEATURE_errormessage=OFF -DFEATURE_systemtrayicon=OFF \
  -DFEATURE_undocommand=OFF -DFEATURE_undostack=OFF -DFEATURE_undogroup=OFF -DFEATURE_undoview=OFF \
  -DFEATURE_pdf=OFF -DFEATURE_textodfwriter=OFF -DFEATURE_movie=OFF \
  -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF \
  >"$work/qt-configure.log" 2>&1 || { tail -n 60 "$work/qt-configure.log"; exit 1; }
stage "Qt configured"
cmake --build "$qt_build" --parallel 2 >"$work/qt-build.log" 2>&1 || { tail -n 60 "$work/qt-build.log"; exit 1; }
stage "Qt built"
cmake --install "$qt_build" >/dev/null
stage "Qt installed"

# The source packages' licence texts, for the Windows package's notices.
mkdir -p "$deps/licenses"
cp "$qt_src/debian/copyright" "$deps/licenses/qt6-base.copyright"
for f in "$qt_src"/LICENSE.* "$qt_src"/LICENSES/*; do
  if [ -f "$f" ]; then cp "$f" "$deps/licenses/qt6-base.$(basename "$f")"; fi
done
cp "$usb_src/debian/copyright" "$deps/licenses/libusb.copyright"
cp "$usb_src/COPYING" "$deps/licenses/libusb.COPYING"
printf '%s\n' "$stamp" >"$deps/stamp"
echo "$deps"
