# shellcheck shell=sh
# Sourced by the scripts that configure a build (test.sh, ci_tsan.sh, run.sh).
# build_options DIR: the CMake options of a build in DIR, one word each.
# - Each target's sources are compiled several to a unit (a unity build): most
#   of the compiler's time on a fresh build went into the same Qt and
#   GoogleTest headers, read once a unit now instead of once a file, which
#   halves it. GLIMMORA_UNITY=OFF compiles file by file, for quicker rebuilds
#   after an edit in a tree you work in.
# - Debug information is line tables only (GLIMMORA_LINE_TABLES): backtraces
#   and sanitizer reports keep their files and lines, and the build takes a
#   fifth less time. GLIMMORA_LINE_TABLES=OFF keeps the full information.
# - A new build folder is made with Ninja where it is installed; a folder made
#   before keeps the generator it was made with (CMake cannot change it).
build_options() {
  options="-DCMAKE_UNITY_BUILD=${GLIMMORA_UNITY:-ON} -DGLIMMORA_LINE_TABLES=${GLIMMORA_LINE_TABLES:-ON}"
  if [ ! -f "$1/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
    options="$options -G Ninja"
  fi
  echo "$options"
}
