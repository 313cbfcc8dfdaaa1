// Update checks on POSIX: OpenSSL for the signature, Windows-1252 for the ANSI
// code page, and no Authenticode.
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "platform/uCripto.h"
#include "platform/uTexto.h"

bool Utf8ParaAnsi(std::string_view AUtf8, std::string& AAnsi) {
  AAnsi = Utf8ParaCp1252(AUtf8);
  // A character without its place in the code page comes back as "?".
  return Utf8Valido(AUtf8) && Cp1252ParaUtf8(AAnsi) == AUtf8;
}

bool VerificarEcdsaP256(std::string_view AChaveSpki, std::string_view ADigest,
                        std::string_view AAssinaturaRs) {
  std::string ponto;
  if (ADigest.size() != 32 || AAssinaturaRs.size() != 64 || !PontoDaChaveP256(AChaveSpki, ponto))
    return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(AChaveSpki.data());
  EVP_PKEY* chave = d2i_PUBKEY(nullptr, &p, static_cast<long>(AChaveSpki.size()));
  if (!chave) return false;
  bool ok = false;
  ECDSA_SIG* sig = ECDSA_SIG_new();
  BIGNUM* r = BN_bin2bn(reinterpret_cast<const unsigned char*>(AAssinaturaRs.data()), 32, nullptr);
  BIGNUM* s =
      BN_bin2bn(reinterpret_cast<const unsigned char*>(AAssinaturaRs.data()) + 32, 32, nullptr);
  if (sig && r && s && ECDSA_SIG_set0(sig, r, s)) {
    r = s = nullptr;  // owned by sig now
    unsigned char* der = nullptr;
    const int n = i2d_ECDSA_SIG(sig, &der);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(chave, nullptr);
    if (n > 0 && ctx && EVP_PKEY_verify_init(ctx) == 1 &&
        EVP_PKEY_CTX_set_signature_md(ctx, EVP_sha256()) == 1)
      ok = EVP_PKEY_verify(ctx, der, static_cast<size_t>(n),
                           reinterpret_cast<const unsigned char*>(ADigest.data()),
                           ADigest.size()) == 1;
    EVP_PKEY_CTX_free(ctx);
    OPENSSL_free(der);
  }
  BN_free(r);
  BN_free(s);
  ECDSA_SIG_free(sig);
  EVP_PKEY_free(chave);
  return ok;
}

namespace {
class TAssinaturaPosix : public IAssinaturaArquivo {
 public:
  TAssinaturaArquivo Ler(const std::string&) override { return {}; }
};
}  // namespace

IAssinaturaArquivo& ImplementacaoPadrao(SeamTag<IAssinaturaArquivo>) {
  static TAssinaturaPosix a;
  return a;
}
