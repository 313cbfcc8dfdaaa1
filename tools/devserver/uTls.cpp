// A throwaway self-signed certificate for 127.0.0.1 and the HTTPS server around it.
#include "tools/devserver/uTls.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

struct TLiberaChave {
  void operator()(EVP_PKEY* P) const { EVP_PKEY_free(P); }
};
struct TLiberaCertificado {
  void operator()(X509* C) const { X509_free(C); }
};

bool AdicionarExtensao(X509* ACert, int ANid, const char* AValor) {
  X509V3_CTX Ctx;
  X509V3_set_ctx_nodb(&Ctx);
  X509V3_set_ctx(&Ctx, ACert, ACert, nullptr, nullptr, 0);
  X509_EXTENSION* Ext = X509V3_EXT_conf_nid(nullptr, &Ctx, ANid, AValor);
  if (!Ext) return false;
  const bool Ok = X509_add_ext(ACert, Ext, -1) == 1;
  X509_EXTENSION_free(Ext);
  return Ok;
}

}  // namespace

std::unique_ptr<httplib::SSLServer> CriarServidorTls(std::string& AErro) {
  // P-256: quick to make, and every TLS stack the agent meets accepts it.
  std::unique_ptr<EVP_PKEY, TLiberaChave> Chave(EVP_EC_gen("P-256"));
  std::unique_ptr<X509, TLiberaCertificado> Cert(X509_new());
  if (!Chave || !Cert) {
    AErro = "cannot make the TLS key";
    return nullptr;
  }
  unsigned char Serie[8] = {};
  RAND_bytes(Serie, sizeof(Serie));
  Serie[0] &= 0x7F;  // a positive serial number
  BIGNUM* Numero = BN_bin2bn(Serie, sizeof(Serie), nullptr);
  const bool SerieOk = Numero && BN_to_ASN1_INTEGER(Numero, X509_get_serialNumber(Cert.get()));
  BN_free(Numero);
  X509_NAME* Nome = X509_get_subject_name(Cert.get());
  // Names the address the server listens on, so that only the issuer is untrusted.
  const bool Ok =
      SerieOk && X509_set_version(Cert.get(), 2) == 1 &&
      X509_gmtime_adj(X509_getm_notBefore(Cert.get()), -3600) &&
      X509_gmtime_adj(X509_getm_notAfter(Cert.get()), 7L * 24 * 3600) &&
      X509_set_pubkey(Cert.get(), Chave.get()) == 1 &&
      X509_NAME_add_entry_by_txt(Nome, "CN", MBSTRING_ASC,
                                 reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                                 0) == 1 &&
      X509_set_issuer_name(Cert.get(), Nome) == 1 &&
      AdicionarExtensao(Cert.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
      AdicionarExtensao(Cert.get(), NID_basic_constraints, "critical,CA:FALSE") &&
      AdicionarExtensao(Cert.get(), NID_ext_key_usage, "serverAuth") &&
      X509_sign(Cert.get(), Chave.get(), EVP_sha256()) > 0;
  if (!Ok) {
    AErro = "cannot make the TLS certificate";
    return nullptr;
  }
  // The context takes its own references to both.
  auto S = std::make_unique<httplib::SSLServer>(Cert.get(), Chave.get());
  if (!S->is_valid()) {
    AErro = "cannot set up the TLS context";
    return nullptr;
  }
  return S;
}
