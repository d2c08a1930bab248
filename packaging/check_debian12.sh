#!/bin/sh
# Installs the Debian package in a clean Debian 12 root and runs
# `glimmora-cli --board usb` there with no board: it must report that none is
# attached. Run as root from the build directory after `cpack -G DEB`:
#   sh ../packaging/check_debian12.sh [ROOT]
# Needs debootstrap, which takes Debian from the archive this machine's apt
# installs from (scripts/debian_archive.sh); ROOT defaults to a new directory
# under /var/tmp and is left in place for a look around.
set -eu
deb=$(find . -maxdepth 1 -name 'glimmora_*_*.deb' | sort | head -n 1)
[ -n "$deb" ] || { echo "check_debian12: no glimmora_*.deb here (run cpack -G DEB first)" >&2; exit 1; }
root=${1:-$(mktemp -d /var/tmp/glimmora-debian12.XXXXXX)}
if [ ! -x "$root/bin/sh" ]; then
  archive=$(sh "$(dirname "$0")/../scripts/debian_archive.sh")
  debootstrap --variant=minbase bookworm "$root" "$archive"
fi
cp "$deb" "$root/tmp/"
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
chroot "$root" /bin/sh -c "export DEBIAN_FRONTEND=noninteractive; apt-get update -qq && apt-get install -y -qq /tmp/$(basename "$deb") >/dev/null"
out=$(printf 'click cbWritesettings\nprint txtLog\n' | chroot "$root" glimmora-cli --board usb)
printf '%s\n' "$out"
expected='msgbox "USB Device not connected!"
txtLog = "Please verify that the device is attached...\r\n\r\n"'
[ "$out" = "$expected" ] && echo "check_debian12: no board attached, as expected ($root)"
