#!/usr/bin/env bash
# The whole idle agent against a bare program, both under Wine against the
# development server: Zelvan.exe with a pass every 5 s and its chat bubble
# polling every 3 s, and build/win's programa_nu.exe, which loads the same
# Windows parts and makes the same requests with their bodies read. They run
# in alternating rounds (the machine is shared, so drift hits both alike);
# each round starts the program afresh, lets it warm up, then measures the
# wine process of the program alone: CPU as user + system time from
# /proc/<pid>/stat, private memory as RssAnon from /proc/<pid>/status. The
# figures are the ratios of the totals. Then a soak: the agent alone, its
# resident memory (VmRSS) sampled every 10 s after the warm-up, reported as
# growth per hour (least squares over the samples) and from first to last.
# It reports; it judges nothing.
#   bench/agente_ocioso.sh DEVSERVER BUILD_WIN_DIR
# Environment: VESK_OCIOSO_RODADAS (rounds, default 3), VESK_OCIOSO_SEGUNDOS
# (measured seconds of each program in a round, default 60),
# VESK_OCIOSO_AQUECIMENTO (warm-up seconds, default 25), VESK_SOAK_SEGUNDOS
# (the soak's measured seconds, default 300; 1800 for half an hour, 0 for none).
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
srv_bin=${1:?devserver}
win=${2:?build/win}
rodadas=${VESK_OCIOSO_RODADAS:-3}
segundos=${VESK_OCIOSO_SEGUNDOS:-60}
aquecimento=${VESK_OCIOSO_AQUECIMENTO:-25}
soak=${VESK_SOAK_SEGUNDOS:-300}
hz=$(getconf CLK_TCK)

for f in "$srv_bin" "$win/Zelvan.exe" "$win/programa_nu.exe"; do
  [ -e "$f" ] || { echo "agente_ocioso: $f is not built" >&2; exit 1; }
done

work=$(mktemp -d /tmp/vesk-ocioso.XXXXXX)
srv_pid="" run_pid=""
cleanup() {
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null
  [ -n "$srv_pid" ] && kill "$srv_pid" 2>/dev/null && wait "$srv_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Both programs run stripped, as the release ships them: Wine copies a PE image
# whose sections are not page-aligned in the file into private memory whole,
# debugging sections included, which would count megabytes the shipped agent
# never has. Whatever else the build folder holds beside them goes along.
objcopy=${VESK_OBJCOPY:-x86_64-w64-mingw32-objcopy}
command -v "$objcopy" >/dev/null || { echo "agente_ocioso: $objcopy is not installed" >&2; exit 1; }
mkdir "$work/programas"
for f in "$win"/*; do
  [ -f "$f" ] || continue
  case $f in
    *.exe) ;;
    *.ico | *.png | *.bmp | *.ini | *.dll) cp "$f" "$work/programas/" ;;
  esac
done
for p in Zelvan programa_nu; do
  "$objcopy" --strip-all "$win/$p.exe" "$work/programas/$p.exe" ||
    { echo "agente_ocioso: $p.exe could not be stripped" >&2; exit 1; }
done
win=$work/programas

"$srv_bin" --port 0 --port-file "$work/port" --scenario "$repo/tools/devserver/scenarios/test.json" \
  >"$work/devserver.log" 2>&1 &
srv_pid=$!
for _ in $(seq 1 600); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || { echo "agente_ocioso: the development server did not start" >&2; exit 1; }
porta=$(cat "$work/port")
token=$(sed -n 's/^ *"api_token": *"\([^"]*\)".*/\1/p' "$repo/tools/devserver/scenarios/test.json" | head -1)
printf '[SERVIDOR]\r\nURL=http://127.0.0.1:%s/demo/intranet/\r\nAPI_TOKEN=%s\r\nINTERVALO_SEGUNDOS=5\r\n[CHAT]\r\nURL=http://127.0.0.1:%s/chat/\r\n' \
  "$porta" "$token" "$porta" >"$work/config.ini"
export VESK_CONFIG_INI=$work/config.ini
export VESK_WINE_TIMEOUT=$((aquecimento + segundos + soak + 300))

# iniciar PROGRAM [ARGS]: starts it under Wine; WINE_PID is the program's own
# process (run-wine.sh -> timeout -> wine).
iniciar() {
  "$repo/tools/wine/run-wine.sh" "$@" >"$work/prog.log" 2>&1 &
  run_pid=$!
  WINE_PID=""
  local t
  for _ in $(seq 1 600); do
    t=$(ps -o pid=,comm= --ppid "$run_pid" 2>/dev/null | awk '$2 == "timeout" { print $1; exit }')
    [ -n "$t" ] && WINE_PID=$(ps -o pid= --ppid "$t" 2>/dev/null | head -1 | tr -d ' ')
    [ -n "$WINE_PID" ] && return 0
    sleep 0.05
  done
  echo "agente_ocioso: $1 did not start" >&2
  return 1
}
parar() {
  kill "$run_pid" 2>/dev/null
  wait "$run_pid" 2>/dev/null
  run_pid=""
}
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
kib() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }

# rodada NAME PROGRAM [ARGS]: one measured run; leaves "ticks rss_anon_kib" in $work/res.
rodada() {
  iniciar "${@:2}" || return 1
  sleep "$aquecimento"
  kill -0 "$WINE_PID" 2>/dev/null || { echo "agente_ocioso: $1 ended early" >&2; cat "$work/prog.log" >&2; return 1; }
  local c0 c1 anon soma=0 n=0 i
  c0=$(cpu_ticks "$WINE_PID")
  for ((i = 0; i < segundos; i += 5)); do
    sleep 5
    anon=$(kib "$WINE_PID" RssAnon) || return 1
    soma=$((soma + anon))
    n=$((n + 1))
  done
  c1=$(cpu_ticks "$WINE_PID")
  parar
  echo "$((c1 - c0)) $((soma / n))" >"$work/res"
}

echo "agente_ocioso: $rodadas rounds of $segundos s each after $aquecimento s of warm-up, server on port $porta"
cpu_nu=0 cpu_ag=0 mem_nu=0 mem_ag=0
for ((r = 1; r <= rodadas; r++)); do
  rodada "bare program" "$win/programa_nu.exe" "$porta" || exit 1
  read -r c m <"$work/res"
  cpu_nu=$((cpu_nu + c)) mem_nu=$((mem_nu + m))
  rodada "Zelvan.exe" "$win/Zelvan.exe" || exit 1
  read -r c2 m2 <"$work/res"
  cpu_ag=$((cpu_ag + c2)) mem_ag=$((mem_ag + m2))
  awk -v r="$r" -v c="$c" -v m="$m" -v c2="$c2" -v m2="$m2" -v hz="$hz" -v s="$segundos" 'BEGIN {
    printf "  round %d: bare %.0f ms CPU, RssAnon %d KiB; agent %.0f ms CPU, RssAnon %d KiB\n",
      r, c * 1000 / hz, m, c2 * 1000 / hz, m2 }'
done
awk -v cn="$cpu_nu" -v ca="$cpu_ag" -v mn="$mem_nu" -v ma="$mem_ag" -v hz="$hz" -v s="$segundos" -v r="$rodadas" 'BEGIN {
  t = s * r
  printf "idle CPU: agent %.3f%% of a core (%.1f ms a 5-s pass), bare %.3f%% (%.1f ms); ratio %.2f\n",
    ca * 100 / hz / t, ca * 1000 / hz / (t / 5), cn * 100 / hz / t, cn * 1000 / hz / (t / 5),
    (cn > 0 ? ca / cn : 0)
  printf "private memory (RssAnon, mean of rounds): agent %d KiB, bare %d KiB; ratio %.2f\n",
    ma / r, mn / r, (mn > 0 ? ma / mn : 0) }'

if [ "$soak" -gt 0 ]; then
  echo "agente_ocioso: soak of $soak s after $aquecimento s of warm-up"
  iniciar "$win/Zelvan.exe" || exit 1
  sleep "$aquecimento"
  : >"$work/soak"
  for ((i = 0; i <= soak; i += 10)); do
    kill -0 "$WINE_PID" 2>/dev/null || { echo "agente_ocioso: the agent ended during the soak" >&2; exit 1; }
    echo "$i $(kib "$WINE_PID" VmRSS) $(kib "$WINE_PID" RssAnon)" >>"$work/soak"
    [ "$i" -lt "$soak" ] && sleep 10
  done
  parar
  awk '{ n++; x[n] = $1; y[n] = $2; a[n] = $3; sx += $1; sy += $2; sa += $3 }
    END {
      mx = sx / n; my = sy / n; ma = sa / n
      for (i = 1; i <= n; i++) { dxx += (x[i] - mx)^2; dxy += (x[i] - mx) * (y[i] - my); dxa += (x[i] - mx) * (a[i] - ma) }
      k = dxx > 0 ? dxy / dxx : 0; ka = dxx > 0 ? dxa / dxx : 0
      printf "soak: VmRSS %d -> %d KiB over %d s (%+d KiB); trend %+.0f KiB an hour, %+.0f KiB per 30 min; RssAnon %d -> %d KiB, trend %+.0f KiB an hour\n",
        y[1], y[n], x[n], y[n] - y[1], k * 3600, k * 1800, a[1], a[n], ka * 3600 }' "$work/soak"
fi
