// publicar: writes the update manifest for a built Zelvan.exe.
//   publicar --exe Zelvan.exe [--chave private.pem] [--arquivo NAME] --saida update.json
// versao comes from the file's version resource, sha256 from its bytes, and
// assinatura (Base64 ECDSA P-256 signature of the SHA-256 digest) only when a
// private key is given, and then only for a program that pins its public key
// (an "assinatura" that no agent checks would pass for a verified update).
// arquivo defaults to "downloads/" + the file's name.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/uCripto.h"
#include "platform/uDigest.h"
#include "services/uVersaoExe.h"

namespace {

int Uso() {
  std::cerr << "usage: publicar --exe Zelvan.exe [--chave private.pem] [--arquivo NAME] "
               "--saida update.json\n";
  return 2;
}

bool LerArquivo(const std::string& ACaminho, std::string& ABytes) {
  std::ifstream f(ACaminho, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  ABytes = s.str();
  return true;
}

std::string Json(const std::string& ATexto) {
  std::string s = "\"";
  for (char c : ATexto) {
    if (c == '"' || c == '\\') s += '\\';
    s += c;
  }
  return s + "\"";
}

// DER signature of the 32-byte digest with the PEM private key; empty on failure.
std::string Assinar(const std::string& AChavePem, const std::string& ADigest) {
  FILE* f = std::fopen(AChavePem.c_str(), "rb");
  if (!f) return {};
  EVP_PKEY* k = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  if (!k) return {};
  std::string sig;
  EVP_PKEY_CTX* c = EVP_PKEY_CTX_new(k, nullptr);
  size_t n = 0;
  if (c && EVP_PKEY_base_id(k) == EVP_PKEY_EC && EVP_PKEY_sign_init(c) == 1 &&
      EVP_PKEY_CTX_set_signature_md(c, EVP_sha256()) == 1 &&
      EVP_PKEY_sign(c, nullptr, &n, reinterpret_cast<const unsigned char*>(ADigest.data()),
                    ADigest.size()) == 1) {
    sig.resize(n);
    if (EVP_PKEY_sign(c, reinterpret_cast<unsigned char*>(sig.data()), &n,
                      reinterpret_cast<const unsigned char*>(ADigest.data()), ADigest.size()) == 1)
      sig.resize(n);
    else
      sig.clear();
  }
  EVP_PKEY_CTX_free(c);
  EVP_PKEY_free(k);
  return sig;
}

// Base64 of the DER public key of the PEM private key, the form the agent pins
// (VESK_CHAVE_ATUALIZACAO); empty on failure.
std::string ChavePublicaBase64(const std::string& AChavePem) {
  FILE* f = std::fopen(AChavePem.c_str(), "rb");
  if (!f) return {};
  EVP_PKEY* k = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  if (!k) return {};
  std::string der;
  const int n = i2d_PUBKEY(k, nullptr);
  if (n > 0) {
    der.resize(static_cast<size_t>(n));
    auto* p = reinterpret_cast<unsigned char*>(der.data());
    if (i2d_PUBKEY(k, &p) != n) der.clear();
  }
  EVP_PKEY_free(k);
  return der.empty() ? std::string() : CodificarBase64(der);
}

}  // namespace

int main(int argc, char** argv) {
  std::string exe, chave, arquivo, saida;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return Uso();
    if (a == "--exe")
      exe = argv[++i];
    else if (a == "--chave")
      chave = argv[++i];
    else if (a == "--arquivo")
      arquivo = argv[++i];
    else if (a == "--saida")
      saida = argv[++i];
    else
      return Uso();
  }
  if (exe.empty() || saida.empty()) return Uso();
  std::string bytes, versao;
  if (!LerArquivo(exe, bytes)) {
    std::cerr << "publicar: cannot read " << exe << "\n";
    return 1;
  }
  if (!LerVersaoExecutavel(bytes, versao)) {
    std::cerr << "publicar: " << exe << " carries no version resource\n";
    return 1;
  }
  // "1.0.116.0" is published as "1.0.116", the way the agent writes its own.
  if (versao.size() > 2 && versao.compare(versao.size() - 2, 2, ".0") == 0)
    versao.resize(versao.size() - 2);
  if (arquivo.empty()) {
    const size_t p = exe.find_last_of("/\\");
    arquivo = "downloads/" + (p == std::string::npos ? exe : exe.substr(p + 1));
  }
  const std::string hex = Sha256Hex(bytes);
  std::string json = "{\n  \"versao\": " + Json(versao) + ",\n  \"arquivo\": " + Json(arquivo) +
                     ",\n  \"sha256\": " + Json(hex);
  if (!chave.empty()) {
    // The agent carries its pinned key as this text among its bytes.
    const std::string publica = ChavePublicaBase64(chave);
    if (publica.empty()) {
      std::cerr << "publicar: cannot read " << chave << " (an EC P-256 private key in PEM)\n";
      return 1;
    }
    if (bytes.find(publica) == std::string::npos) {
      std::cerr << "publicar: " << exe << " does not pin the public key of " << chave
                << " (build it with VESK_CHAVE_ATUALIZACAO=" << publica
                << "; ./run release does): no assinatura written\n";
      return 1;
    }
    std::string digest;
    DecodificarHex(hex, digest);
    const std::string sig = Assinar(chave, digest);
    if (sig.empty()) {
      std::cerr << "publicar: cannot sign with " << chave << " (an EC P-256 private key in PEM)\n";
      return 1;
    }
    json += ",\n  \"assinatura\": " + Json(CodificarBase64(sig));
  }
  json += "\n}\n";
  std::ofstream o(saida, std::ios::binary | std::ios::trunc);
  o << json;
  if (!o) {
    std::cerr << "publicar: cannot write " << saida << "\n";
    return 1;
  }
  return 0;
}
