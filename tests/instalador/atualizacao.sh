#!/usr/bin/env bash
# A release that pins an update key, end to end: the agent built with a
# throwaway key and its newer version are each made into a release folder (as
# ./run release does: stripped, update.json signed by publicar), then, under
# Wine against the development server, the released agent refuses the newer
# version with no signature and signed with another key, and installs it signed
# with its own key.
#   tests/instalador/atualizacao.sh DIR_PROGRAMAS PUBLICAR CHAVE.pem WTEST_E2E.exe
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
progs=$1
publicar=$2
chave=$3
wtest=$4
montar=$repo/tools/release/montar.sh

falhou() {
  echo "FAILED: $*" >&2
  exit 1
}
for f in "$progs/ZelvanChave.exe" "$progs/ZelvanNovoChave.exe" "$progs/WatchdogAgente.exe" \
  "$chave" "$wtest"; do
  [ -f "$f" ] || falhou "$f is not built (the build makes it where openssl is installed)"
done
[ -x "$publicar" ] || falhou "$publicar is not built (build/native makes it)"
for p in openssl xxd base64; do
  command -v $p >/dev/null || falhou "$p is not installed (./run setup installs it)"
done

work=$(mktemp -d /tmp/vesk-atualizacao.XXXXXX)
trap 'rm -rf "$work"' EXIT

# release NOME PROGRAMA: the release folder $work/NOME of PROGRAMA as Zelvan.exe.
release() {
  local nome=$1 programa=$2
  mkdir -p "$work/$nome.progs"
  cp "$progs/$programa" "$work/$nome.progs/Zelvan.exe" &&
    cp "$progs/WatchdogAgente.exe" "$work/$nome.progs/" || falhou "cannot copy the programs"
  if ! env VESK_ASSINATURA_CERT= VESK_ASSINATURA_CHAVE= VESK_UPDATE_CHAVE="$chave" \
    VESK_UPDATE_ARQUIVO=downloads/Zelvan.exe \
    "$montar" release "$work/$nome.progs" "$work/$nome" "$publicar" >"$work/$nome.log" 2>&1; then
    cat "$work/$nome.log" >&2
    falhou "the release of $programa was not made"
  fi
  # publicar signs only a program that still carries the key after stripping.
  grep -q '"assinatura"' "$work/$nome/update.json" || falhou "$nome/update.json is not signed"
}
release agente ZelvanChave.exe
release nova ZelvanNovoChave.exe

# The newer program's digest signed with another P-256 key: a well-formed
# signature that the pinned key must refuse.
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/outra.pem" 2>/dev/null ||
  falhou "openssl could not make the other key"
sha256sum "$work/nova/Zelvan.exe" | cut -d' ' -f1 | xxd -r -p >"$work/resumo.bin"
openssl pkeyutl -sign -inkey "$work/outra.pem" -in "$work/resumo.bin" 2>/dev/null | base64 -w0 \
  >"$work/outra.b64"
[ -s "$work/outra.b64" ] || falhou "openssl could not sign with the other key"

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
VESK_ASSINADA_AGENTE=$(winpath "$work/agente") VESK_ASSINADA_NOVA=$(winpath "$work/nova") \
  VESK_ASSINADA_OUTRA=$(cat "$work/outra.b64") \
  "$repo/tools/testenv.sh" "$wtest" --gtest_filter='AtualizacaoAssinadaE2E.*' 2>&1 |
  tee "$work/wine.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || falhou "the released agent did not keep to its pinned key (output above)"
# A filter that matches nothing passes too: the run must have held the test.
grep -q '^\[  PASSED  \] [1-9][0-9]* test' "$work/wine.log" ||
  falhou "the Wine run held no signed-release test"
echo "release_atualizacao: passed"
