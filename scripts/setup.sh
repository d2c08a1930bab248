#!/bin/sh
# Installs the Debian 12 packages that a task needs, only those that are
# missing. Run as root (or with sudo available).
#   scripts/setup.sh [SET...]   (default: test)
# Each script asks for the sets it uses, so that the README's test command
# installs what the tests need and nothing of the later CI stages:
#   build        building the programs and starting the window (scripts/run.sh)
#   test         build, and what the tests use: the emulated USB bus for the
#                libusb tests, the de_DE locale, the tree checks' shellcheck
#                and clang-format, ccache for the second run (scripts/test.sh)
#   python       building the Python module (part of test and package)
#   bench        the benchmarks (-DGLIMMORA_BENCH=ON)
#   package      the Debian package and its checkers (scripts/ci_package.sh)
#   windows      the cross build and its tests under Wine (scripts/ci_windows.sh)
#   screen       an X server of a script's own, its window manager, screenshots
#                (scripts/xvfb_session.sh)
#   fuzz         clang for the fuzz targets (docs/fuzzing.md)
set -eu

packages_of() {
  case "$1" in
    build) echo "build-essential cmake pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
libusb-1.0-0-dev nlohmann-json3-dev fonts-dejavu-core ninja-build" ;;
    test) echo "$(packages_of build) $(packages_of python) umockdev libumockdev-dev locales shellcheck clang-format git \
ccache python3-pytest" ;;
    python) echo "pybind11-dev python3-dev" ;;
    bench) echo "libbenchmark-dev" ;;
    package) echo "$(packages_of build) $(packages_of python) dpkg-dev lintian appstream desktop-file-utils shared-mime-info libglib2.0-bin" ;;
    windows) echo "$(packages_of build) $(packages_of screen) g++-mingw-w64-x86-64-posix wine64 fonts-wine dpkg-dev" ;;
    screen) echo "xvfb xauth x11-utils imagemagick openbox xdotool" ;;
    fuzz) echo "clang" ;;
    *)
      echo "setup: no package set \"$1\" (build, test, python, bench, package, windows, screen, fuzz)" >&2
      return 1
      ;;
  esac
}

[ "$#" -gt 0 ] || set -- test
wanted=""
for set in "$@"; do
  wanted="$wanted $(packages_of "$set")"
done

missing=""
for p in $wanted; do
  case " $missing " in *" $p "*) continue ;; esac
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  $SUDO apt-get update -qq
  # (one word a package)
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

# A locale with a decimal comma, so that the tests can show that numbers are read
# and written with a point whatever the user's locale.
case " $* " in
  *" test "*)
    if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf8$'; then
      $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "setup: could not generate de_DE.UTF-8 (locale tests will skip)"
    fi
    ;;
esac
