#!/bin/sh
# Installs the Debian 12 packages that building and testing need, only those
# that are missing. Run as root (or with sudo available).
set -eu

PACKAGES="build-essential cmake pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev \
libusb-1.0-0-dev fonts-dejavu-core umockdev libumockdev-dev xvfb xauth x11-utils imagemagick clang locales \
lintian appstream desktop-file-utils shared-mime-info libglib2.0-bin nlohmann-json3-dev \
g++-mingw-w64-x86-64-posix wine64 fonts-wine ninja-build dpkg-dev openbox xdotool shellcheck clang-format pybind11-dev python3-pytest python3-dev"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  # (one word a package)
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

# A locale with a decimal comma, so that the tests can show that numbers are read
# and written with a point whatever the user's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "setup: could not generate de_DE.UTF-8 (locale tests will skip)"
fi
