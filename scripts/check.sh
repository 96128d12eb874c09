# Sourced by the scripts that run a list of checks. `check WHAT COMMAND...`
# runs the command with its output kept in "$check_scratch/output", says
# "ok" or "FAIL" with the end of that output, and counts the outcome in
# check_passed and check_failed. The caller sets check_scratch to a folder of
# its own before the first check.
# shellcheck shell=bash
check_passed=0 check_failed=0
check() {
  local what=$1
  shift
  if "$@" >"${check_scratch:?}/output" 2>&1; then
    check_passed=$((check_passed + 1))
    echo "  ok    $what"
  else
    check_failed=$((check_failed + 1))
    echo "  FAIL  $what"
    tail -40 "$check_scratch/output" | sed 's/^/        /'
  fi
}
