# shellcheck shell=sh
# Sourced by scripts/test.sh and scripts/ci_tsan.sh: runs the steps of a run as
# named stages, prints each one's time as it ends and all of them at the end,
# as .ci/run does for its own. Besides the wall clock, each stage says the CPU
# time its programs took (user + system): on a machine shared with other work,
# that is what tells whether a change made the build cheaper.
# A run started by another (test.sh starting ci_tsan.sh) adds its stages to
# the starter's list, named by STAGE_TIMES; the starter prints the list.

# minutes SECONDS: "M min SS s".
minutes() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }

# The CPU seconds of the programs this shell has waited for so far, into
# children_cpu_s. (Not called in a $(...): a subshell has waited for none.)
children_cpu() {
  times >"$stage_dir/times"
  children_cpu_s=$(children_cpu_of "$stage_dir/times")
}
children_cpu_of() {
  # Second line: the children's user and system time, such as "1m2.50s 0m3.10s".
  sed -n 2p "$1" | awk '{
    t = 0
    for (i = 1; i <= 2; i++) { split($i, p, "m"); sub("s", "", p[2]); t += p[1] * 60 + p[2] }
    printf "%d\n", t + 0.5 }'
}

stage_dir=$(mktemp -d)
stage_owner=0
if [ -z "${STAGE_TIMES:-}" ]; then
  STAGE_TIMES="$stage_dir/list"
  : >"$STAGE_TIMES"
  stage_owner=1
  export STAGE_TIMES
  stage_run_started=$(date +%s)
fi
# (the caller may set its own EXIT trap after this one; it calls stage_cleanup)
stage_cleanup() { rm -rf "$stage_dir"; }
trap stage_cleanup EXIT

# stage NAME COMMAND...: runs one stage and says how long it took; a stage
# that fails ends the run, with the times so far.
stage() {
  stage_name=$1
  shift
  echo "=== $stage_name ==="
  stage_started=$(date +%s)
  children_cpu
  stage_cpu=$children_cpu_s
  stage_status=0
  "$@" || stage_status=$?
  stage_took=$(($(date +%s) - stage_started))
  children_cpu
  stage_line=$(printf '%-36s %s (CPU %d s)' "$stage_name" "$(minutes "$stage_took")" \
    $((children_cpu_s - stage_cpu)))
  [ "$stage_status" -eq 0 ] || stage_line="$stage_line (failed)"
  echo "$stage_line" >>"$STAGE_TIMES"
  echo "=== $stage_line"
  if [ "$stage_status" -ne 0 ]; then
    stage_owner=1
    stage_summary
    exit "$stage_status"
  fi
}

# The times of every stage, once, by the run that started the list.
stage_summary() {
  [ "$stage_owner" -eq 1 ] || return 0
  echo "=== stage times"
  cat "$STAGE_TIMES"
  [ -n "${stage_run_started:-}" ] &&
    printf '%-36s %s\n' "all" "$(minutes $(($(date +%s) - stage_run_started)))"
  stage_owner=0
  return 0
}
