#!/usr/bin/env bash
# Builds what ships to a company from the Windows programs of a build folder.
#   tools/release/montar.sh msi DIR_PROGRAMAS SAIDA.msi [VERSAO]
#       only the Windows Installer package, unsigned (the Wine tests install it)
#   tools/release/montar.sh release DIR_PROGRAMAS DIR_SAIDA [PUBLICAR]
#       the release folder: stripped and signed programs with their symbols
#       beside them (*.exe.debug), signed VeskAgent.msi, update.json (made by
#       the publicar program, when given), the administrative template in
#       PolicyDefinitions/ and SHA256SUMS
# Signing (release): VESK_ASSINATURA_CERT (PEM certificate, its chain may follow)
# and VESK_ASSINATURA_CHAVE (PEM private key), VESK_ASSINATURA_SENHA_ARQUIVO (a
# file holding the key's passphrase, when it has one), VESK_ASSINATURA_CARIMBO
# (an RFC 3161 time-stamp server, so that signatures outlive the certificate).
# Update manifest: VESK_UPDATE_CHAVE (the update-signing private key, PEM EC
# P-256; Zelvan.exe must pin its public key, which ./run release builds in) and
# VESK_UPDATE_ARQUIVO (the "arquivo" the manifest names), both optional.
# The release folder is built beside DIR_SAIDA and moved there only when
# complete: a failure leaves DIR_SAIDA as it was.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)

# The cross toolchain's objcopy: the programs are PE files.
OBJCOPY=${VESK_OBJCOPY:-x86_64-w64-mingw32-objcopy}

falha() {
  echo "release: $*" >&2
  exit 1
}

precisa() {
  command -v "$1" >/dev/null || falha "$1 is not installed (./run setup installs it)"
}

# The version of the project, which the programs' version resources carry too.
versao_projeto() {
  sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt" | head -1
}

# montar_msi DIR_PROGRAMAS SAIDA VERSAO: wixl builds the package from the .wxs;
# msibuild then adds what wixl has no element for (see the README).
montar_msi() {
  local progs=$1 saida=$2 versao=$3 f
  precisa wixl
  precisa msibuild
  local palco
  palco=$(mktemp -d "${TMPDIR:-/tmp}/vesk-msi.XXXXXX") || falha "no temporary folder"
  # wixl finds the payload by plain names in its working folder.
  for f in "$progs/Zelvan.exe" "$progs/WatchdogAgente.exe" "$repo/res/logo_agente.png" \
    "$repo/res/chat_balao.ico" "$repo/res/Zelvan.ico"; do
    [ -f "$f" ] || {
      rm -rf "$palco"
      falha "missing file: $f"
    }
    cp "$f" "$palco/" || {
      rm -rf "$palco"
      falha "cannot copy $f"
    }
  done
  local sql=(
    # The base folder and the two settings survive an uninstall and an upgrade
    # (Permanent, 16, beside 64-bit, 256); each setting is written only when
    # its property is given.
    "UPDATE \`Component\` SET \`Attributes\` = 272 WHERE \`Component\` = 'CompPastaBase'"
    "UPDATE \`Component\` SET \`Attributes\` = 272, \`Condition\` = 'SERVIDOR_URL' WHERE \`Component\` = 'CompIniURL'"
    "UPDATE \`Component\` SET \`Attributes\` = 272, \`Condition\` = 'API_TOKEN' WHERE \`Component\` = 'CompIniToken'"
    "UPDATE \`Component\` SET \`Attributes\` = 272, \`Condition\` = 'CHAT_URL' WHERE \`Component\` = 'CompIniChat'"
    # The same settings as policy (HKLM\SOFTWARE\Policies\Vesk\Agent), which
    # wins over config.ini: each only when given, kept like the file's (and a
    # registry key path, 4).
    "UPDATE \`Component\` SET \`Attributes\` = 276, \`Condition\` = 'SERVIDOR_URL' WHERE \`Component\` = 'CompPoliticaURL'"
    "UPDATE \`Component\` SET \`Attributes\` = 276, \`Condition\` = 'API_TOKEN' WHERE \`Component\` = 'CompPoliticaToken'"
    "UPDATE \`Component\` SET \`Attributes\` = 276, \`Condition\` = 'CHAT_URL' WHERE \`Component\` = 'CompPoliticaChat'"
    "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveIniValues', 3100)"
    "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteIniValues', 5100)"
    # A rebuilt package of the same version replaces the installed one too
    # (VersionMaxInclusive, 512), instead of installing beside it.
    "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
    "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{6B1E3F2A-7C4D-4E8B-9A51-2D0C8F3B7E16}', '$versao', 513, 'WIX_UPGRADE_DETECTED')"
    # Given on the command line of a managed install, the settings reach the
    # elevated part of the installation.
    "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;SERVIDOR_URL;API_TOKEN;CHAT_URL' WHERE \`Property\` = 'SecureCustomProperties'"
  )
  local args=() q
  for q in "${sql[@]}"; do args+=(-q "$q"); done
  if ! (cd "$palco" && wixl -a x64 -D Versao="$versao" -o pacote.msi "$here/VeskAgent.wxs" \
    >wixl.log 2>&1); then
    cat "$palco/wixl.log" >&2
    rm -rf "$palco"
    falha "wixl could not build the package"
  fi
  if ! msibuild "$palco/pacote.msi" -i "$here/tabelas/IniFile.idt" \
    -i "$here/tabelas/MsiLockPermissionsEx.idt" "${args[@]}" >"$palco/msibuild.log" 2>&1; then
    cat "$palco/msibuild.log" >&2
    rm -rf "$palco"
    falha "msibuild could not complete the package"
  fi
  mv "$palco/pacote.msi" "$saida" || {
    rm -rf "$palco"
    falha "cannot write $saida"
  }
  rm -rf "$palco"
}

# Checks the signing inputs; sets ASSINAR=1 when there is something to sign with.
ASSINAR=0
verificar_assinatura() {
  local cert=${VESK_ASSINATURA_CERT:-} chave=${VESK_ASSINATURA_CHAVE:-}
  local senha=${VESK_ASSINATURA_SENHA_ARQUIVO:-}
  if [ -z "$cert" ] && [ -z "$chave" ]; then
    return 0
  fi
  [ -n "$cert" ] || falha "VESK_ASSINATURA_CHAVE is set but VESK_ASSINATURA_CERT is not"
  [ -n "$chave" ] || falha "VESK_ASSINATURA_CERT is set but VESK_ASSINATURA_CHAVE is not"
  precisa openssl
  precisa osslsigncode
  [ -f "$cert" ] || falha "signing certificate not found: $cert"
  [ -f "$chave" ] || falha "signing key not found: $chave"
  [ -z "$senha" ] || [ -f "$senha" ] || falha "passphrase file not found: $senha"
  openssl x509 -in "$cert" -noout 2>/dev/null ||
    falha "not a PEM certificate: $cert"
  openssl x509 -in "$cert" -noout -checkend 0 >/dev/null 2>&1 ||
    falha "the signing certificate has expired ($(openssl x509 -in "$cert" -noout -enddate)): $cert"
  local inicio
  inicio=$(openssl x509 -in "$cert" -noout -startdate | sed 's/^notBefore=//')
  if [ "$(date -d "$inicio" +%s 2>/dev/null || echo 0)" -gt "$(date +%s)" ]; then
    falha "the signing certificate is not valid before $inicio: $cert"
  fi
  local passin=()
  [ -n "$senha" ] && passin=(-passin "file:$senha")
  local pub_cert pub_chave
  pub_cert=$(openssl x509 -in "$cert" -noout -pubkey 2>/dev/null)
  pub_chave=$(openssl pkey -in "$chave" "${passin[@]}" -pubout 2>/dev/null) ||
    falha "cannot read the signing key (a PEM private key; VESK_ASSINATURA_SENHA_ARQUIVO for its passphrase): $chave"
  [ "$pub_cert" = "$pub_chave" ] ||
    falha "the signing key does not belong to the certificate: $chave, $cert"
  ASSINAR=1
}

# assinar FILE: Authenticode signature with SHA-256, in place.
assinar() {
  local f=$1
  local opts=(-certs "$VESK_ASSINATURA_CERT" -key "$VESK_ASSINATURA_CHAVE" -h sha256
    -n "Vesk Intranet Agent")
  [ -n "${VESK_ASSINATURA_SENHA_ARQUIVO:-}" ] && opts+=(-readpass "$VESK_ASSINATURA_SENHA_ARQUIVO")
  [ -n "${VESK_ASSINATURA_CARIMBO:-}" ] && opts+=(-ts "$VESK_ASSINATURA_CARIMBO")
  if ! osslsigncode sign "${opts[@]}" -in "$f" -out "$f.assinado" >"$f.log" 2>&1; then
    cat "$f.log" >&2
    falha "osslsigncode could not sign $(basename "$f")"
  fi
  mv "$f.assinado" "$f" && rm -f "$f.log"
}

# separar_simbolos FILE: the debugging information moves to FILE.debug beside
# it, and FILE keeps only a link to that file (name and CRC), so that a crash
# address from a shipped program can still be read with addr2line or gdb.
separar_simbolos() {
  local f=$1 nome
  nome=$(basename "$f")
  precisa "$OBJCOPY"
  "$OBJCOPY" --only-keep-debug "$f" "$f.debug" || falha "objcopy could not copy the symbols of $nome"
  # --add-gnu-debuglink runs in the file's folder: the link holds the bare name.
  (cd "$(dirname "$f")" && "$OBJCOPY" --strip-all --add-gnu-debuglink="$nome.debug" "$nome") ||
    falha "objcopy could not strip $nome"
}

cmd_release() {
  local progs=$1 saida=$2 publicar=${3:-}
  local versao f
  versao=$(versao_projeto)
  [ -n "$versao" ] || falha "no project version in CMakeLists.txt"
  for f in "$progs/Zelvan.exe" "$progs/WatchdogAgente.exe"; do
    [ -f "$f" ] || falha "missing file: $f (./run build makes it)"
  done
  [ -z "$publicar" ] || [ -x "$publicar" ] || falha "missing program: $publicar"
  [ -z "${VESK_UPDATE_CHAVE:-}" ] || [ -f "$VESK_UPDATE_CHAVE" ] ||
    falha "update-signing key not found: $VESK_UPDATE_CHAVE"
  verificar_assinatura

  local pai
  pai=$(dirname "$saida")
  mkdir -p "$pai" || falha "cannot create $pai"
  # Beside the destination, so that the final move is a rename.
  tmp=$(mktemp -d "$pai/.release.XXXXXX") || falha "cannot create a folder in $pai"
  trap 'rm -rf "$tmp"' EXIT

  cp "$progs/Zelvan.exe" "$progs/WatchdogAgente.exe" "$tmp/" || falha "cannot copy the programs"
  # Stripped before signing: the signature covers the program as shipped.
  separar_simbolos "$tmp/Zelvan.exe"
  separar_simbolos "$tmp/WatchdogAgente.exe"
  if [ $ASSINAR = 1 ]; then
    assinar "$tmp/Zelvan.exe"
    assinar "$tmp/WatchdogAgente.exe"
  fi
  # The package carries the signed programs.
  montar_msi "$tmp" "$tmp/VeskAgent.msi" "$versao"
  [ $ASSINAR = 1 ] && assinar "$tmp/VeskAgent.msi"
  if [ $ASSINAR = 1 ]; then
    echo "release: Zelvan.exe, WatchdogAgente.exe and VeskAgent.msi signed with $VESK_ASSINATURA_CERT"
  else
    echo "release: UNSIGNED (VESK_ASSINATURA_CERT and VESK_ASSINATURA_CHAVE are not set)"
  fi

  # The manifest's hash and signature cover the signed program; publicar signs
  # only for a program that pins the key (./run release builds it so).
  if [ -z "${VESK_UPDATE_CHAVE:-}" ]; then
    echo "release: update.json UNSIGNED and updates not signature-checked (VESK_UPDATE_CHAVE is not set)"
  fi
  if [ -n "$publicar" ]; then
    local args=(--exe "$tmp/Zelvan.exe")
    [ -n "${VESK_UPDATE_CHAVE:-}" ] && args+=(--chave "$VESK_UPDATE_CHAVE")
    [ -n "${VESK_UPDATE_ARQUIVO:-}" ] && args+=(--arquivo "$VESK_UPDATE_ARQUIVO")
    args+=(--saida "$tmp/update.json")
    "$publicar" "${args[@]}" || falha "publicar could not write update.json"
    [ -s "$tmp/update.json" ] || falha "publicar wrote no update.json"
  else
    echo "release: no update.json written (no publicar program: build/native has no target publicar)"
  fi

  # The administrative template (ADMX with its pt-BR and en-US ADML), laid
  # out as %SystemRoot%\PolicyDefinitions expects it.
  mkdir -p "$tmp/PolicyDefinitions/pt-BR" "$tmp/PolicyDefinitions/en-US" &&
    cp "$here/politicas/VeskAgent.admx" "$tmp/PolicyDefinitions/" &&
    cp "$here/politicas/pt-BR/VeskAgent.adml" "$tmp/PolicyDefinitions/pt-BR/" &&
    cp "$here/politicas/en-US/VeskAgent.adml" "$tmp/PolicyDefinitions/en-US/" ||
    falha "cannot copy the administrative template"

  local nomes=()
  while IFS= read -r f; do nomes+=("${f#./}"); done < <(cd "$tmp" && find . -type f | sort)
  (cd "$tmp" && sha256sum "${nomes[@]}" >SHA256SUMS) || falha "cannot write SHA256SUMS"

  rm -rf "$saida.anterior"
  if [ -e "$saida" ]; then
    mv "$saida" "$saida.anterior" || falha "cannot move the earlier $saida aside"
  fi
  if ! mv "$tmp" "$saida"; then
    [ -e "$saida.anterior" ] && mv "$saida.anterior" "$saida"
    falha "cannot move the release into $saida"
  fi
  trap - EXIT
  rm -rf "$saida.anterior"
  echo "release: version $versao in $saida"
  (cd "$saida" && ls -l)
}

case "${1:-}" in
  msi)
    [ $# -ge 3 ] || falha "usage: $0 msi DIR_PROGRAMAS SAIDA.msi [VERSAO]"
    montar_msi "$2" "$3" "${4:-$(versao_projeto)}"
    ;;
  release)
    [ $# -ge 3 ] || falha "usage: $0 release DIR_PROGRAMAS DIR_SAIDA [PUBLICAR]"
    cmd_release "$2" "$3" "${4:-}"
    ;;
  *)
    sed -n '2,8s/^# \?//p' "$0"
    exit 2
    ;;
esac
