// Digests on Windows: CNG (BCrypt) hash providers.
#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "platform/uDigest.h"

namespace {

std::string Hex(const std::vector<UCHAR>& ABytes) {
  static const char kDigitos[] = "0123456789abcdef";
  std::string s;
  s.reserve(ABytes.size() * 2);
  for (UCHAR b : ABytes) {
    s += kDigitos[b >> 4];
    s += kDigitos[b & 15];
  }
  return s;
}

// Empty text when CNG refuses (never seen on a working system).
std::string Resumo(LPCWSTR AAlgoritmo, std::string_view ABytes) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&alg, AAlgoritmo, nullptr, 0))) return {};
  std::string resultado;
  DWORD tamanho = 0, lidos = 0;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (BCRYPT_SUCCESS(BCryptGetProperty(alg, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&tamanho),
                                       sizeof(tamanho), &lidos, 0)) &&
      BCRYPT_SUCCESS(BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0))) {
    bool ok = true;
    // BCryptHashData takes a ULONG count: feed large inputs in pieces.
    size_t pos = 0;
    while (ok && pos < ABytes.size()) {
      const ULONG n = static_cast<ULONG>(std::min<size_t>(ABytes.size() - pos, 1u << 30));
      ok = BCRYPT_SUCCESS(BCryptHashData(
          hash, reinterpret_cast<PUCHAR>(const_cast<char*>(ABytes.data() + pos)), n, 0));
      pos += n;
    }
    std::vector<UCHAR> saida(tamanho);
    if (ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, saida.data(), tamanho, 0)))
      resultado = Hex(saida);
    BCryptDestroyHash(hash);
  }
  BCryptCloseAlgorithmProvider(alg, 0);
  return resultado;
}

}  // namespace

std::string Sha256Hex(std::string_view ABytes) {
  return Resumo(BCRYPT_SHA256_ALGORITHM, ABytes);
}
std::string Md5Hex(std::string_view ABytes) {
  return Resumo(BCRYPT_MD5_ALGORITHM, ABytes);
}
