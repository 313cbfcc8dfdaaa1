#!/usr/bin/env bash
# A test run that never reached its development server must fail: checks
# tools/testenv.sh and the HTTP fixture with one HTTP test of the given program.
#   tests/support/testenv_check.sh TEST_PROGRAM GTEST_FILTER
set -u
testenv=$(cd "$(dirname "$0")/../../tools" && pwd)/testenv.sh
prog=$1
filtro="--gtest_filter=$2"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
falhas=0

# espera DESCRIPTION TEXT COMMAND...: the command must fail and print TEXT.
espera() {
  local what=$1 text=$2 rc
  shift 2
  "$@" >"$out" 2>&1
  rc=$?
  if [ $rc -eq 0 ]; then
    echo "FAIL: $what: the run passed"
    cat "$out"
    falhas=$((falhas + 1))
  elif ! grep -qF -- "$text" "$out"; then
    echo "FAIL: $what: ended with $rc but without \"$text\""
    cat "$out"
    falhas=$((falhas + 1))
  else
    echo "ok: $what"
  fi
}

espera "a server that ends at once" "development server did not start" \
  env VESK_DEVSERVER_BIN=/bin/false "$testenv" "$prog" "$filtro"
espera "a server that is not built" "is not built" \
  env VESK_DEVSERVER_BIN=/nonexistent/devserver "$testenv" "$prog" "$filtro"
espera "an HTTP fixture without a server" "VESK_DEVSERVER not set" \
  env -u VESK_DEVSERVER -u VESK_DEVSERVER_BIN "$testenv" "$prog" "$filtro"
exit $((falhas > 0))
