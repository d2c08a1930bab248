#!/bin/sh
# The tree's checks against trees that break them, and the Debian archive
# found in sets of apt sources: each case in a folder of its own, removed at
# the end.
#   tests/checks/self_test.sh SOURCE_DIR
set -eu
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# expect STATUS OUTPUT-PATTERN COMMAND...: the command ends with STATUS and
# its output (both streams) holds a line matching the pattern.
expect() {
  want=$1 pattern=$2
  shift 2
  status=0
  "$@" >"$work/out" 2>&1 || status=$?
  if [ "$status" -ne "$want" ] || ! grep -Eq -- "$pattern" "$work/out"; then
    fail "$* ended with $status (wanted $want), output:"
    sed 's/^/  | /' "$work/out"
  fi
}

# archive_of NAME: the Debian archive found in the apt sources written to
# $work/NAME (called through expect).
# shellcheck disable=SC2317
archive_of() {
  mkdir -p "$work/$1/parts" "$work/$1/lists/partial"
  touch "$work/$1/sources.list"
  sh "$src/scripts/debian_archive.sh" -o Dir::Etc::SourceList="$work/$1/sources.list" \
    -o Dir::Etc::SourceParts="$work/$1/parts" -o Dir::State::Lists="$work/$1/lists"
}

# Addresses: a host of our own fails, with the file and line named; the pages
# a user is sent to and XML namespaces pass.
scheme=http  # (kept apart, so that this file holds no address itself)
printf 'Install the driver with Zadig (%s://zadig.akeo.ie/).\n' "$scheme" >"$work/readme.txt"
printf '<mime-info xmlns="%s://www.freedesktop.org/standards/shared-mime-info">\n' "$scheme" >"$work/mime.xml"
printf 'ok\n<url>%ss://glimmora.example/screens.png</url>\n' "$scheme" >"$work/metainfo.xml"
expect 0 '2 addresses, all of them allowed' sh "$src/scripts/check_urls.sh" "$work/readme.txt" "$work/mime.xml"
expect 1 "metainfo.xml:2:${scheme}s://glimmora.example/screens.png" \
  sh "$src/scripts/check_urls.sh" "$work/readme.txt" "$work/metainfo.xml"

# Shell scripts: a fault shellcheck knows fails the check.
if command -v shellcheck >/dev/null 2>&1; then
  cat >"$work/good.sh" <<'EOF'
#!/bin/sh
set -eu
echo "$1"
EOF
  cat >"$work/bad.sh" <<'EOF'
#!/bin/sh
for f in $(ls *.txt); do rm $f; done
EOF
  expect 0 '1 scripts' sh "$src/scripts/check_shell.sh" "$work/good.sh"
  expect 1 'SC2045' sh "$src/scripts/check_shell.sh" "$work/good.sh" "$work/bad.sh"
else
  echo "self_test: no shellcheck, its cases are left out"
fi

# C++ formatting: a file laid out otherwise fails, with the lines to change;
# the same file formatted passes, and so does a hand-laid table between the
# off and on markers.
printf 'int  twice(int x){return 2*x;}\n' >"$work/loose.cpp"
printf 'int twice(int x) { return 2 * x; }\n' >"$work/tidy.cpp"
cat >"$work/table.h" <<'EOF'
#pragma once
// clang-format off
constexpr int kTable[] = {
    1,  2,
    30, 40,
};
// clang-format on
EOF
status=0
sh "$src/scripts/check_format.sh" "$work/tidy.cpp" >/dev/null 2>&1 || status=$?
if [ "$status" -ne 77 ]; then
  expect 0 '2 files, all formatted' sh "$src/scripts/check_format.sh" "$work/tidy.cpp" "$work/table.h"
  expect 1 '^\+int twice\(int x\) \{ return 2 \* x; \}$' \
    sh "$src/scripts/check_format.sh" "$work/tidy.cpp" "$work/loose.cpp"
  cp "$work/loose.cpp" "$work/loose2.cpp"
  expect 1 '2 of 3 files are not formatted' \
    sh "$src/scripts/check_format.sh" "$work/loose.cpp" "$work/tidy.cpp" "$work/loose2.cpp"
  expect 1 'clang-format could not check them all' \
    sh "$src/scripts/check_format.sh" "$work/tidy.cpp" "$work/missing.cpp"
else
  echo "self_test: no clang-format 14, its cases are left out"
fi

# The Debian archive: the first `deb` source of the machine's own release,
# from deb822 entries or sources.list lines; -security and -updates, deb-src
# entries and other releases are passed over.
release=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release | tr -d '"')
if [ -n "$release" ] && command -v apt-get >/dev/null 2>&1; then
  mkdir -p "$work/list"
  printf 'deb file:/srv/security %s-security main\n# deb file:/srv/old %s main\ndeb [arch=amd64] file:/srv/mirror/debian/ %s main contrib\n' \
    "$release" "$release" "$release" >"$work/list/sources.list"
  expect 0 '^file:/srv/mirror/debian$' archive_of list

  mkdir -p "$work/deb822/parts"
  printf 'Types: deb-src\nURIs: file:/srv/sources-only\nSuites: %s\nComponents: main\n\nTypes: deb\nURIs: file:/srv/proxy/debian file:/srv/second\nSuites: %s-updates %s\nComponents: main\n' \
    "$release" "$release" "$release" >"$work/deb822/parts/debian.sources"
  expect 0 '^file:/srv/proxy/debian$' archive_of deb822

  mkdir -p "$work/by-role/parts"
  printf 'Types: deb\nURIs: file:/srv/other\nSuites: nodistro\nComponents: main\n\nTypes: deb\nURIs: file:/srv/stable\nSuites: stable\nComponents: main\n' \
    >"$work/by-role/parts/debian.sources"
  expect 0 '^file:/srv/stable$' archive_of by-role

  mkdir -p "$work/none/parts"
  printf 'Types: deb\nURIs: file:/srv/other\nSuites: nodistro\nComponents: main\n' >"$work/none/parts/other.sources"
  expect 1 "name no Debian archive for $release" archive_of none
else
  echo "self_test: not a Debian system, the archive's cases are left out"
fi

[ "$failed" -eq 0 ] && echo "self_test: all cases passed"
exit "$failed"
