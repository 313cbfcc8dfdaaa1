// Digests on POSIX: OpenSSL libcrypto (EVP).
#include <openssl/evp.h>

#include "platform/uDigest.h"

namespace {

std::string Hex(const unsigned char* ABytes, unsigned int AN) {
  static const char kDigitos[] = "0123456789abcdef";
  std::string s;
  s.reserve(AN * 2);
  for (unsigned int i = 0; i < AN; ++i) {
    s += kDigitos[ABytes[i] >> 4];
    s += kDigitos[ABytes[i] & 15];
  }
  return s;
}

std::string Resumo(const EVP_MD* AAlgoritmo, std::string_view ABytes) {
  unsigned char saida[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  if (!EVP_Digest(ABytes.data(), ABytes.size(), saida, &n, AAlgoritmo, nullptr)) return {};
  return Hex(saida, n);
}

}  // namespace

std::string Sha256Hex(std::string_view ABytes) {
  return Resumo(EVP_sha256(), ABytes);
}
std::string Md5Hex(std::string_view ABytes) {
  return Resumo(EVP_md5(), ABytes);
}
