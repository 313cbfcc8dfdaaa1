#!/usr/bin/env bash
# Runs one test program in its environment: starts the development server named by
# VESK_DEVSERVER_BIN on a free loopback port and exports its address as
# VESK_DEVSERVER, its HTTPS listener as VESK_DEVSERVER_TLS (a server that does not
# start fails the run);
# a Windows program (.exe) runs under Wine in a throwaway prefix of its own.
#   tools/testenv.sh PROGRAM [ARGS...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
prog=$1; shift

work=$(mktemp -d /tmp/vesk-testenv.XXXXXX)
srv_pid=""
cleanup() {
  [ -n "$srv_pid" ] && kill "$srv_pid" 2>/dev/null && wait "$srv_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A configured server must run: without it every HTTP test would fail for the
# wrong reason, or prove nothing.
if [ -n "${VESK_DEVSERVER_BIN:-}" ]; then
  if [ ! -x "$VESK_DEVSERVER_BIN" ]; then
    echo "testenv: development server $VESK_DEVSERVER_BIN is not built" >&2
    exit 1
  fi
  "$VESK_DEVSERVER_BIN" --port 0 --port-file "$work/port" --tls-port-file "$work/tls-port" \
      --scenario "$here/devserver/scenarios/test.json" >"$work/devserver.log" 2>&1 &
  srv_pid=$!
  # Up to 30 s: a sanitized build on a busy machine can be slow to start. The TLS
  # port is written after the plain one.
  for _ in $(seq 1 600); do
    [ -s "$work/tls-port" ] && break
    kill -0 "$srv_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ ! -s "$work/port" ] || [ ! -s "$work/tls-port" ]; then
    echo "testenv: development server did not start" >&2
    cat "$work/devserver.log" >&2
    exit 1
  fi
  export VESK_DEVSERVER="http://127.0.0.1:$(cat "$work/port")/"
  export VESK_DEVSERVER_TLS="https://127.0.0.1:$(cat "$work/tls-port")/"
fi

# A test program writes its report only when it ends normally: a crash that
# still exits 0 (Wine can end a program that overflowed its stack that way)
# must not pass for success.
report=""
case "$(basename "$prog")" in
  test_* | wtest_*)
    report="$work/report.xml"
    case "$prog" in
      *.exe) set -- "--gtest_output=xml:Z:$(printf '%s' "$report" | tr / '\\')" "$@" ;;
      *) set -- "--gtest_output=xml:$report" "$@" ;;
    esac
    ;;
esac

case "$prog" in
  *.exe) exec_cmd=("$here/wine/run-wine.sh" "$prog" "$@") ;;
  *) exec_cmd=("$prog" "$@") ;;
esac
"${exec_cmd[@]}"
rc=$?
if [ $rc -eq 0 ] && [ -n "$report" ] && [ ! -s "$report" ]; then
  echo "testenv: $(basename "$prog") ended without its test report: it crashed or quit early" >&2
  rc=1
fi
# A filter that selects nothing (a suite renamed) would pass without testing.
if [ $rc -eq 0 ] && [ -n "$report" ] && grep -q '<testsuites tests="0"' "$report"; then
  echo "testenv: $(basename "$prog") ran no test" >&2
  rc=1
fi
exit $rc
