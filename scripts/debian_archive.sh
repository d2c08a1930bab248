#!/bin/sh
# Prints the address of the Debian archive this machine's apt installs from, as
# apt itself reads its sources (the URIs: of the deb822 entries in
# sources.list.d/*.sources, the `deb` lines of sources.list): the first `deb`
# source of the machine's own release, not its -updates or -security. What
# this project fetches from Debian (source packages, a root for debootstrap)
# so goes through the machine's own mirror or proxy.
#   scripts/debian_archive.sh [-o APT-OPTION=VALUE]...
# The options go to apt, for another set of sources (the tests use them).
set -eu
release=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release | tr -d '"')
# (the $(...) are apt's field names, not the shell's)
# shellcheck disable=SC2016
targets=$(apt-get "$@" indextargets --no-release-info --format '$(TARGET_OF) $(RELEASE) $(REPO_URI)')
# The machine's release by its name first; where the sources name it by its
# role instead (stable, testing...), that.
archive=$(printf '%s\n' "$targets" | awk -v release="$release" '
  $1 != "deb" { next }
  $2 == release && exact == "" { exact = $3 }
  $2 ~ /^(oldstable|stable|testing|unstable|sid)$/ && role == "" { role = $3 }
  END { if (exact != "") print exact; else if (role != "") print role }')
if [ -z "$archive" ]; then
  echo "debian_archive: apt's sources name no Debian archive for ${release:-this release}" >&2
  exit 1
fi
# Without its closing slash, as a mirror's address is usually written.
printf '%s\n' "${archive%/}"
