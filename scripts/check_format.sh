#!/bin/sh
# Holds the C++ sources to the style in .clang-format: fails, showing what
# clang-format would change in each file, or with --fix makes the change.
# The tree is formatted with clang-format 14 (Debian 12's, which
# scripts/setup.sh installs); another version lays some lines out its own
# way, so without version 14 the check is skipped, and says so.
#   scripts/check_format.sh [--fix] [FILE...]
#   (default: every *.cpp and *.h file git tracks)
set -eu
fix=no
if [ "${1:-}" = "--fix" ]; then
  fix=yes
  shift
fi
tool=""
for candidate in clang-format-14 clang-format; do
  if command -v "$candidate" >/dev/null 2>&1 &&
     "$candidate" --version | grep -Eq 'version 14\.'; then
    tool=$candidate
    break
  fi
done
if [ -z "$tool" ]; then
  echo "check_format: clang-format 14 is not installed (apt-get install clang-format on Debian 12): skipped"
  exit 77
fi
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$#" -eq 0 ]; then
  cd "$root"
  if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "check_format: not a git checkout, nothing to list the files by: skipped"
    exit 77
  fi
  # Tracked names carry no spaces or newlines (git ls-files would quote them).
  # shellcheck disable=SC2046
  set -- $(git ls-files '*.cpp' '*.h')
fi
style="file:$root/.clang-format"
if [ "$fix" = yes ]; then
  "$tool" --style="$style" -i "$@"
  echo "check_format: $# files formatted"
  exit 0
fi
# One clang-format for all the files names those it would change (one a file
# spent most of the check's time starting clang-format); each of those is then
# shown as a diff. One it could not read at all fails the check, with what
# clang-format said of it.
status=0
report=$("$tool" --style="$style" --dry-run "$@" 2>&1) || status=$?
if [ "$status" -ne 0 ]; then
  printf '%s\n' "$report"
  echo "check_format: clang-format could not check them all"
  exit 1
fi
flagged=$(printf '%s\n' "$report" |
  sed -n 's/^\(.*\):[0-9][0-9]*:[0-9][0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
unformatted=0
for file in $flagged; do
  "$tool" --style="$style" "$file" | diff -u --label "$file" --label "$file (formatted)" "$file" - || true
  unformatted=$((unformatted + 1))
done
if [ "$unformatted" -gt 0 ]; then
  echo "check_format: $unformatted of $# files are not formatted as .clang-format says (scripts/check_format.sh --fix formats them)"
  exit 1
fi
echo "check_format: $# files, all formatted as .clang-format says"
