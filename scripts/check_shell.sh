#!/bin/sh
# Runs shellcheck on every shell script in the repository: the *.sh files, and
# any other tracked file whose first line starts a shell (.ci/run, the
# package's maintainer scripts). Without shellcheck (Debian's package of that
# name; scripts/setup.sh installs it) the check is skipped, and says so.
#   scripts/check_shell.sh [FILE...]    (default: every such file git tracks)
set -eu
if ! command -v shellcheck >/dev/null 2>&1; then
  echo "check_shell: shellcheck is not installed (apt-get install shellcheck): skipped"
  exit 77
fi
if [ "$#" -eq 0 ]; then
  cd "$(dirname "$0")/.."
  if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "check_shell: not a git checkout, nothing to list the files by: skipped"
    exit 77
  fi
  list=$(git ls-files | while IFS= read -r f; do
    [ -f "$f" ] || continue
    case "$f" in
      *.sh) printf '%s\n' "$f" ;;
      *) if head -n 1 "$f" | grep -Eq '^#!(/usr)?/bin/(env )?(ba|da)?sh( |$)'; then printf '%s\n' "$f"; fi ;;
    esac
  done)
  # Tracked names carry no spaces or newlines (git ls-files would quote them).
  # shellcheck disable=SC2086
  set -- $list
fi
shellcheck "$@"
echo "check_shell: $# scripts, shellcheck $(shellcheck --version | sed -n 's/^version: //p') finds nothing"
