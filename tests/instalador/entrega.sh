#!/usr/bin/env bash
# What the release folder ships: programs without debugging information, each
# linked to its symbols beside it (a crash address read back through the
# stripped program names the function and its source line), Zelvan.exe within
# its size budget, the package carrying those same programs, and the package's
# base folder on C:\ where the agent looks for it.
#   tests/instalador/entrega.sh DIR_PROGRAMAS
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
progs=$1
montar=$repo/tools/release/montar.sh
objdump=x86_64-w64-mingw32-objdump
objcopy=x86_64-w64-mingw32-objcopy
nm=x86_64-w64-mingw32-nm
addr2line=x86_64-w64-mingw32-addr2line
# The budget of the shipped agent: 1.6 MB, read as 1,600,000 bytes.
limite=1600000

falhas=0
falhou() {
  echo "FAILED: $*" >&2
  falhas=$((falhas + 1))
}
for p in $objdump $objcopy $nm $addr2line msiinfo; do
  command -v $p >/dev/null || {
    echo "FAILED: $p is not installed (./run setup installs it)" >&2
    exit 1
  }
done

work=$(mktemp -d /tmp/vesk-entrega.XXXXXX)
trap 'rm -rf "$work"' EXIT
saida=$work/release
if ! env VESK_ASSINATURA_CERT= VESK_ASSINATURA_CHAVE= "$montar" release "$progs" "$saida" \
  >"$work/release.log" 2>&1; then
  cat "$work/release.log" >&2
  echo "FAILED: the release was not made" >&2
  exit 1
fi

for exe in Zelvan.exe WatchdogAgente.exe; do
  f=$saida/$exe
  secoes=$($objdump -h "$f" | awk '$1 ~ /^[0-9]+$/ {print $2}')
  if grep -q '^\.debug' <<<"$secoes"; then
    falhou "$exe still has debugging sections: $(grep '^\.debug' <<<"$secoes" | tr '\n' ' ')"
  fi
  grep -qx '\.gnu_debuglink' <<<"$secoes" || falhou "$exe has no link to its symbols"
  [ -s "$f.debug" ] || falhou "no $exe.debug beside $exe"
  # The link names the file beside the program, not a path of the build machine.
  link=""
  if $objcopy --dump-section .gnu_debuglink="$work/link" "$f" "$work/copia" 2>/dev/null; then
    link=$(tr '\0' '\n' <"$work/link" | head -1)
  fi
  [ "$link" = "$exe.debug" ] || falhou "$exe links to \"$link\" instead of $exe.debug"
  grep -q " $exe.debug\$" "$saida/SHA256SUMS" || falhou "SHA256SUMS does not list $exe.debug"
done

tamanho=$(stat -c %s "$saida/Zelvan.exe")
echo "release_entrega: Zelvan.exe $tamanho bytes (limit $limite), symbols" \
  "$(stat -c %s "$saida/Zelvan.exe.debug") bytes"
[ "$tamanho" -le $limite ] || falhou "Zelvan.exe has $tamanho bytes, more than $limite"

# A function of the agent, by its address, read back through the stripped program:
# the reader follows the link (and checks its CRC) to the symbols.
simbolo=$($nm "$saida/Zelvan.exe.debug" | awk '$2 == "T" && $3 ~ /VerificarAtualizacao/ {print $1; exit}')
if [ -z "$simbolo" ]; then
  falhou "Zelvan.exe.debug has no symbol for TAutoUpdatePro::VerificarAtualizacao"
else
  lido=$($addr2line -f -C -e "$saida/Zelvan.exe" "0x$simbolo" 2>&1)
  grep -q 'TAutoUpdatePro::VerificarAtualizacao' <<<"$lido" ||
    falhou "addr2line does not name the function at 0x$simbolo through Zelvan.exe: $lido"
  grep -q 'uAutoUpdatePro\.cpp:[0-9]' <<<"$lido" ||
    falhou "addr2line does not give the source line at 0x$simbolo through Zelvan.exe: $lido"
  # Without the symbols beside it the program alone tells nothing.
  mkdir -p "$work/so_exe"
  cp "$saida/Zelvan.exe" "$work/so_exe/"
  if $addr2line -f -e "$work/so_exe/Zelvan.exe" "0x$simbolo" 2>&1 | grep -q VerificarAtualizacao; then
    falhou "the stripped Zelvan.exe names functions by itself: the check proves nothing"
  fi
fi

# The package installs those programs, not the ones with debugging information.
msiinfo export "$saida/VeskAgent.msi" File >"$work/File.idt" 2>&1 || falhou "msiinfo cannot read the package"
for exe in Zelvan.exe WatchdogAgente.exe; do
  no_pacote=$(awk -F'\t' -v n="$exe" '$3 == n {print $4}' "$work/File.idt")
  [ "$no_pacote" = "$(stat -c %s "$saida/$exe")" ] ||
    falhou "the package's $exe has ${no_pacote:-no} bytes, the release's $(stat -c %s "$saida/$exe")"
done
grep -q '\.debug' "$work/File.idt" && falhou "the package installs a symbols file"

# The base folder: C:\ whichever volume Windows is on, as the agent has it.
msiinfo export "$saida/VeskAgent.msi" Property >"$work/Property.idt" 2>&1
base=$(awk -F'\t' '$1 == "PASTABASE" {print $2}' "$work/Property.idt" | tr -d '\r')
[ "$base" = 'C:\Talmeq\VESKINTRANET\' ] ||
  falhou "the package's base folder is \"${base:-WindowsVolume\\Talmeq\\VESKINTRANET}\", not C:\\Talmeq\\VESKINTRANET\\"

if [ $falhas -gt 0 ]; then
  echo "release_entrega: $falhas failure(s)" >&2
  exit 1
fi
echo "release_entrega: passed"
