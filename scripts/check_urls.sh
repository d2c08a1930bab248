#!/bin/sh
# Fails on any web address in the repository's files but the few that belong
# there: the third-party pages a user is sent to, and the names of formats
# (XML namespaces, the Debian copyright format's). Any other address names a host
# that may not be there tomorrow, or one of a single machine's.
#   scripts/check_urls.sh [FILE...]    (default: every file git tracks)
set -eu
# One address a line, without its scheme: either ends where the address does.
allowed='zadig.akeo.ie/
www.debian.org/doc/packaging-manuals/copyright-format/1.0/'

pattern='(xmlns(:[[:alnum:]]+)?=")?https?://[^][:space:]"<>()'"'"'`]+'
if [ "$#" -gt 0 ]; then
  found=$(grep -sHInoE "$pattern" "$@" || true)
elif git -C "$(dirname "$0")/.." rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  cd "$(dirname "$0")/.."
  # (-s: a link the tests keep dangling on purpose is no error)
  found=$(git ls-files -z | xargs -0 grep -sHInoE "$pattern" || true)
else
  echo "check_urls: not a git checkout, nothing to list the files by: skipped"
  exit 77
fi
bad=$(printf '%s\n' "$found" | while IFS= read -r hit; do
  [ -n "$hit" ] || continue
  address=${hit#*:*:}
  case "$address" in xmlns*) continue ;; esac  # an XML namespace: a name, never fetched
  address=${address#*://}
  if ! printf '%s\n' "$allowed" | grep -Fqx -- "$address"; then printf '%s\n' "$hit"; fi
done)
if [ -n "$bad" ]; then
  echo "check_urls: web addresses that do not belong in the repository:"
  printf '%s\n' "$bad" | sed 's/^/  /'
  exit 1
fi
echo "check_urls: $(printf '%s' "$found" | grep -c . || true) addresses, all of them allowed"
