// Fuzz target of the version reader of Windows executables: any bytes give
// false or four numbers of 16 bits, and an image with a version resource reads
// back as its version.
#include <cstdint>
#include <string>

#include "fuzz/uFuzzApoio.h"
#include "services/uVersaoExe.h"
#include "tests/support/uPeTeste.h"

namespace {

// "a.b.c.d" with each part a number of 0 to 65535 without leading zeros.
bool QuatroPartes(const std::string& AVersao) {
  int partes = 0;
  size_t i = 0;
  while (i <= AVersao.size()) {
    size_t j = i;
    uint32_t n = 0;
    while (j < AVersao.size() && AVersao[j] >= '0' && AVersao[j] <= '9' && j - i < 6)
      n = n * 10 + static_cast<uint32_t>(AVersao[j++] - '0');
    if (j == i || n > 65535 || (AVersao[i] == '0' && j - i > 1)) return false;
    ++partes;
    if (j == AVersao.size()) break;
    if (AVersao[j] != '.') return false;
    i = j + 1;
  }
  return partes == 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string bytes(reinterpret_cast<const char*>(AData), ASize);
  std::string versao = "lixo";
  if (LerVersaoExecutavel(bytes, versao))
    VERIFICAR(QuatroPartes(versao));
  else
    VERIFICAR(versao.empty());

  // Round trip through an image made with the input's first bytes as its version.
  uint16_t v[4] = {};
  for (size_t i = 0; i < 8 && i < ASize; ++i)
    v[i / 2] = static_cast<uint16_t>(v[i / 2] | (AData[i] << (i % 2 ? 8 : 0)));
  const std::string exe = pe_teste::Executavel(v[0], v[1], v[2], v[3], 1024);
  VERIFICAR(LerVersaoExecutavel(exe, versao));
  VERIFICAR(versao == std::to_string(v[0]) + "." + std::to_string(v[1]) + "." +
                          std::to_string(v[2]) + "." + std::to_string(v[3]));
  // Cut anywhere before its version it reads as no version, never past the end.
  const std::string cortado = exe.substr(0, 0x200 + 0x58 + 40 + 15 - ASize % 64);
  VERIFICAR(!LerVersaoExecutavel(cortado, versao) && versao.empty());
  return 0;
}
