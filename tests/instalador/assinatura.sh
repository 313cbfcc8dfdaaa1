#!/usr/bin/env bash
# The release folder made with a throwaway self-signed certificate: every signed
# file verifies against that certificate, one altered byte fails verification,
# the manifest's hash is the signed program's (when publicar is built), and bad
# signing input stops the release with a clear message and no release folder.
#   tests/instalador/assinatura.sh DIR_PROGRAMAS [PUBLICAR]
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
progs=$1
publicar=${2:-}
montar=$repo/tools/release/montar.sh

work=$(mktemp -d /tmp/vesk-assinatura.XXXXXX)
trap 'rm -rf "$work"' EXIT
falhas=0
falhou() {
  echo "FAILED: $*" >&2
  falhas=$((falhas + 1))
}

for p in openssl osslsigncode sha256sum; do
  command -v $p >/dev/null || {
    echo "FAILED: $p is not installed (./run setup installs it)" >&2
    exit 1
  }
done

# The throwaway certificate, a second key that does not belong to it, and an
# expired certificate.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/chave.pem" -out "$work/cert.pem" \
  -days 2 -subj "/CN=Vesk Teste" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 ||
  { echo "FAILED: openssl could not make the test certificate" >&2; exit 1; }
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/outra.pem" 2>/dev/null
openssl req -new -key "$work/chave.pem" -subj "/CN=Vesk Vencido" -out "$work/vencido.csr" 2>/dev/null
openssl x509 -req -in "$work/vencido.csr" -signkey "$work/chave.pem" -days -1 \
  -out "$work/vencido.pem" >/dev/null 2>&1

# release DIR [ENV...]: montar.sh release with the test's programs; its output in DIR.log.
release() {
  local dir=$1
  shift
  env "$@" "$montar" release "$progs" "$dir" ${publicar_usado:-} >"$dir.log" 2>&1
}
mkdir -p "$work/out"
publicar_usado=""
[ -x "$publicar" ] && publicar_usado=$publicar

# --- a signed release -------------------------------------------------------------
saida=$work/out/release
if ! release "$saida" VESK_ASSINATURA_CERT="$work/cert.pem" VESK_ASSINATURA_CHAVE="$work/chave.pem"; then
  cat "$saida.log" >&2
  falhou "the signed release was not made"
else
  for f in Zelvan.exe WatchdogAgente.exe VeskAgent.msi; do
    if ! osslsigncode verify -in "$saida/$f" -CAfile "$work/cert.pem" >"$work/verify.log" 2>&1; then
      cat "$work/verify.log" >&2
      falhou "$f does not verify against the signing certificate"
    fi
    # One byte changed in the middle of the signed content.
    cp "$saida/$f" "$work/alterado"
    tam=$(stat -c %s "$work/alterado")
    meio=$((tam / 2))
    orig=$(od -An -tu1 -j $meio -N1 "$work/alterado" | tr -d ' ')
    printf "$(printf '\\%03o' $(((orig + 1) % 256)))" |
      dd of="$work/alterado" bs=1 seek=$meio conv=notrunc status=none
    if osslsigncode verify -in "$work/alterado" -CAfile "$work/cert.pem" >/dev/null 2>&1; then
      falhou "$f with byte $meio altered still verifies"
    fi
  done
  grep -q 'signed with' "$saida.log" || falhou "the signed release does not say it is signed"
  (cd "$saida" && sha256sum -c --quiet SHA256SUMS) || falhou "SHA256SUMS does not match the files"
  for f in Zelvan.exe WatchdogAgente.exe VeskAgent.msi PolicyDefinitions/VeskAgent.admx \
    PolicyDefinitions/pt-BR/VeskAgent.adml PolicyDefinitions/en-US/VeskAgent.adml; do
    grep -q " $f\$" "$saida/SHA256SUMS" || falhou "SHA256SUMS does not list $f"
  done
  if [ -n "$publicar_usado" ]; then
    [ -s "$saida/update.json" ] || falhou "no update.json although publicar is built"
    hash=$(sha256sum "$saida/Zelvan.exe" | cut -d' ' -f1)
    manifesto=$(tr -d ' \r\n' <"$saida/update.json" | sed -n 's/.*"sha256":"\([0-9A-Fa-f]*\)".*/\1/p' |
      tr 'A-F' 'a-f')
    [ "$manifesto" = "$hash" ] ||
      falhou "update.json's sha256 ($manifesto) is not the signed Zelvan.exe's ($hash)"
    grep -q ' update.json$' "$saida/SHA256SUMS" || falhou "SHA256SUMS does not list update.json"
  else
    echo "release_assinatura: publicar is not built ($publicar): no manifest to check"
    grep -q 'no update.json written' "$saida.log" || falhou "the release does not say it has no update.json"
    [ ! -e "$saida/update.json" ] || falhou "an update.json without publicar"
  fi
fi

# --- unsigned ------------------------------------------------------------------------
sem=$work/out/sem
if release "$sem" VESK_ASSINATURA_CERT= VESK_ASSINATURA_CHAVE= VESK_UPDATE_CHAVE=; then
  [ "$(grep -c 'UNSIGNED (VESK_ASSINATURA' "$sem.log")" = 1 ] ||
    falhou "an unsigned release does not say so in one line"
  [ "$(grep -c 'update.json UNSIGNED' "$sem.log")" = 1 ] ||
    falhou "a release without an update key does not say so in one line"
  if [ -n "$publicar_usado" ] && grep -q '"assinatura"' "$sem/update.json"; then
    falhou "an update.json signed without an update key"
  fi
  if osslsigncode verify -in "$sem/Zelvan.exe" -CAfile "$work/cert.pem" >/dev/null 2>&1; then
    falhou "the unsigned release's Zelvan.exe verifies"
  fi
else
  cat "$sem.log" >&2
  falhou "the unsigned release was not made"
fi

# --- bad input: a clear message, no release folder, an earlier one untouched ------------
ruim() {
  local nome=$1 esperado=$2
  shift 2
  local dir=$work/out/$nome
  if release "$dir" "$@"; then
    falhou "$nome: the release was made"
  fi
  grep -q "$esperado" "$dir.log" || {
    cat "$dir.log" >&2
    falhou "$nome: the message does not say \"$esperado\""
  }
  [ ! -e "$dir" ] || falhou "$nome: a release folder was left"
  ls -a "$work/out" | grep -q '^\.release\.' && falhou "$nome: a half-written folder was left"
  # An earlier, complete release in the destination stays as it was.
  cp -a "$sem" "$dir.antes" && mv "$dir.antes" "$dir"
  release "$dir" "$@"
  diff -r "$sem" "$dir" >/dev/null || falhou "$nome: the earlier release was changed"
  rm -rf "$dir"
}
ruim outra_chave "does not belong to the certificate" \
  VESK_ASSINATURA_CERT="$work/cert.pem" VESK_ASSINATURA_CHAVE="$work/outra.pem"
ruim vencido "has expired" \
  VESK_ASSINATURA_CERT="$work/vencido.pem" VESK_ASSINATURA_CHAVE="$work/chave.pem"
ruim sem_cert "signing certificate not found" \
  VESK_ASSINATURA_CERT="$work/nao_existe.pem" VESK_ASSINATURA_CHAVE="$work/chave.pem"
ruim so_chave "VESK_ASSINATURA_CERT is not" \
  VESK_ASSINATURA_CERT= VESK_ASSINATURA_CHAVE="$work/chave.pem"
ruim chave_update "update-signing key not found" VESK_UPDATE_CHAVE="$work/nao_existe.pem"
# --- the update key: signed only for a program that pins it ----------------------------
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/update.pem" 2>/dev/null ||
  falhou "openssl could not make the test update key"
if [ -n "$publicar_usado" ]; then
  # The build's programs pin no key (or another one): no assinatura for them.
  ruim chave_nao_fixada "does not pin the public key" VESK_UPDATE_CHAVE="$work/update.pem"
  # A program that carries the key's public half as the agent pins it.
  mkdir -p "$work/fixada"
  cp "$progs/WatchdogAgente.exe" "$work/fixada/"
  # In a section of its own: the release strips the programs, and bytes merely
  # appended to the file would not survive it.
  openssl pkey -in "$work/update.pem" -pubout -outform DER 2>/dev/null | base64 -w0 \
    >"$work/chave_publica.txt"
  x86_64-w64-mingw32-objcopy --add-section .vkey="$work/chave_publica.txt" \
    --set-section-flags .vkey=contents,readonly,data "$progs/Zelvan.exe" "$work/fixada/Zelvan.exe" ||
    falhou "objcopy could not add the key to the test program"
  fixada=$work/out/fixada
  if env VESK_UPDATE_CHAVE="$work/update.pem" "$montar" release "$work/fixada" "$fixada" \
    "$publicar_usado" >"$fixada.log" 2>&1; then
    grep -q 'update.json UNSIGNED' "$fixada.log" && falhou "a release with an update key says UNSIGNED"
    m=$(tr -d ' \r\n' <"$fixada/update.json")
    sha=$(printf '%s' "$m" | sed -n 's/.*"sha256":"\([0-9A-Fa-f]*\)".*/\1/p')
    printf '%s' "$m" | sed -n 's/.*"assinatura":"\([A-Za-z0-9+\/=]*\)".*/\1/p' | base64 -d \
      >"$work/assinatura.der" 2>/dev/null
    printf '%s' "$sha" | xxd -r -p >"$work/resumo.bin"
    openssl pkey -in "$work/update.pem" -pubout -out "$work/update.pub" 2>/dev/null
    openssl pkeyutl -verify -pubin -inkey "$work/update.pub" -in "$work/resumo.bin" \
      -sigfile "$work/assinatura.der" >/dev/null 2>&1 ||
      falhou "update.json's assinatura does not verify with the update key"
  else
    cat "$fixada.log" >&2
    falhou "the release of a program that pins the update key was not made"
  fi
fi

# A program missing from the build folder.
mkdir -p "$work/so_um"
cp "$progs/Zelvan.exe" "$work/so_um/"
if "$montar" release "$work/so_um" "$work/out/faltando" >"$work/faltando.log" 2>&1; then
  falhou "a release without WatchdogAgente.exe was made"
fi
grep -q 'missing file: .*WatchdogAgente.exe' "$work/faltando.log" ||
  falhou "a missing program is not named"
[ ! -e "$work/out/faltando" ] || falhou "a release folder was left without WatchdogAgente.exe"

if [ $falhas -gt 0 ]; then
  echo "release_assinatura: $falhas failure(s)" >&2
  exit 1
fi
echo "release_assinatura: passed"
