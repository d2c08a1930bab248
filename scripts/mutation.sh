#!/bin/sh
# The project's own mutation check: each patch in tests/mutants/ is a small
# slip a developer could make, and the suite should fail on every one.
#   scripts/mutation.sh [PATCH...]    (default: every tests/mutants/*.patch)
#
# The committed tree (HEAD) is copied into a temporary folder and built there
# once; each patch is applied to the copy, the build brought up to date (-j2),
# and the tests named on the patch's "# tests: REGEX" line run first, then,
# if none of them failed, the whole suite. The patch is then taken back out,
# so the next build is incremental. The tree it is started from is not
# touched. A patch marked "# equivalent: WHY" is run but left out of the
# score; one that does not apply or does not compile is reported and left
# out too, and makes the script end with status 1.
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
if ! git -C "$src" rev-parse --verify -q HEAD >/dev/null; then
  echo "mutation: $src is not a git checkout" >&2
  exit 2
fi
if [ "$#" -eq 0 ]; then
  set -- "$src"/tests/mutants/*.patch
  [ -e "$1" ] || { echo "mutation: no patches in tests/mutants" >&2; exit 2; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/glimmora-mutation.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

tree=$work/tree
build=$tree/build
mkdir -p "$tree"
git -C "$src" archive HEAD | tar -x -C "$tree"
# The copy is laid out as a checkout with its build folder inside, so a
# shared compiler cache finds the objects of an ordinary build (warnings are
# errors there too: a mutant the compiler warns about does not count).
export CCACHE_BASEDIR="$work" CCACHE_NOHASHDIR=1

log=$work/log
echo "mutation: configuring and building the unchanged tree in $tree"
if ! cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGLIMMORA_WERROR=ON -DGLIMMORA_BENCH=OFF >"$log" 2>&1 ||
  ! cmake --build "$build" -j2 >"$log" 2>&1; then
  tail -n 30 "$log"
  echo "mutation: the unchanged tree does not build" >&2
  exit 2
fi

# first_failed OUTPUT: the name of the first test ctest listed as failed.
first_failed() {
  sed -n '/The following tests FAILED:/,$s/^[[:space:]]*[0-9][0-9]* - \([^ ]*\) .*/\1/p' "$1" | head -n 1
}

# run_tests [with-checks] ARGS...: runs ctest, prints the first failed test's
# name, if any. The checks of the tree itself (format, shellcheck, patches
# applying) are left out: a mutant is killed by what the program does, not by
# its layout. A mutant of those checks names them (with-checks).
run_tests() {
  out=$work/ctest.out
  if [ "${1:-}" = with-checks ]; then
    shift
  else
    set -- -LE '^checks$' "$@"
  fi
  ctest --test-dir "$build" --timeout 300 "$@" >"$out" 2>&1 || true
  first_failed "$out"
}

killed=0
counted=0
broken=0
for patch in "$@"; do
  patch=$(cd "$(dirname "$patch")" && pwd)/$(basename "$patch")
  name=$(basename "$patch" .patch)
  tests=$(sed -n 's/^# tests: //p' "$patch" | head -n 1)
  equivalent=$(sed -n 's/^# equivalent: //p' "$patch" | head -n 1)
  start=$(date +%s)
  if ! (cd "$tree" && git apply "$patch") >"$log" 2>&1; then
    echo "$name: DOES NOT APPLY"
    sed 's/^/  /' "$log"
    broken=$((broken + 1))
    continue
  fi
  if ! cmake --build "$build" -j2 >"$log" 2>&1; then
    echo "$name: DOES NOT COMPILE"
    grep -m 5 'error' "$log" | sed 's/^/  /' || true
    broken=$((broken + 1))
    (cd "$tree" && git apply -R "$patch")
    continue
  fi
  by=
  if [ -n "$tests" ]; then
    # Only a "# tests:" line that starts with the checks runs them.
    case "$tests" in
      '^checks\.'*) by=$(run_tests with-checks -R "$tests" -j2) ;;
      *) by=$(run_tests -R "$tests" -j2) ;;
    esac
  fi
  ran=
  if [ -z "$by" ]; then
    by=$(run_tests -j2)
    # How many tests the whole suite ran: a survivor is only one if it did.
    ran=$(sed -n 's/.* tests failed out of \([0-9][0-9]*\)$/\1/p' "$work/ctest.out")
  fi
  (cd "$tree" && git apply -R "$patch")
  secs=$(($(date +%s) - start))
  if [ -n "$by" ]; then
    result="KILLED by $by"
  elif [ -z "$ran" ]; then
    echo "$name: THE SUITE DID NOT RUN"
    tail -n 5 "$work/ctest.out" | sed 's/^/  /'
    broken=$((broken + 1))
    continue
  else
    result="SURVIVED ($ran tests passed)"
  fi
  if [ -n "$equivalent" ]; then
    echo "$name: $result (equivalent, not scored: $equivalent) [${secs} s]"
    continue
  fi
  echo "$name: $result [${secs} s]"
  counted=$((counted + 1))
  if [ -n "$by" ]; then
    killed=$((killed + 1))
  fi
done

percent=0
if [ "$counted" -gt 0 ]; then
  percent=$((killed * 100 / counted))
fi
if [ "$broken" -gt 0 ]; then
  echo "mutation: $broken patches do not apply, do not compile or could not be tested, left out"
fi
echo "mutation: $killed of $counted killed ($percent %)"
[ "$broken" -eq 0 ]
