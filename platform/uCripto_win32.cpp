// Update checks on Windows: the ANSI code page, CNG for the signature and
// WinVerifyTrust with the signer's certificate for Authenticode.
#include <windows.h>
#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <vector>

#include "platform/uCripto.h"
#include "platform/uWin32Texto.h"

bool Utf8ParaAnsi(std::string_view AUtf8, std::string& AAnsi) {
  AAnsi.clear();
  if (AUtf8.empty()) return true;
  const std::wstring w = ParaWide(AUtf8);
  if (DeWide(w) != AUtf8) return false;  // not well-formed UTF-8
  const UINT cp = GetACP();
  if (cp == CP_UTF8) {
    AAnsi.assign(AUtf8);
    return true;
  }
  BOOL trocado = FALSE;
  const int n = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()),
                                    nullptr, 0, nullptr, &trocado);
  if (n <= 0 || trocado) return false;
  AAnsi.resize(static_cast<size_t>(n));
  WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), AAnsi.data(),
                      n, nullptr, &trocado);
  return !trocado;
}

bool VerificarEcdsaP256(std::string_view AChaveSpki, std::string_view ADigest,
                        std::string_view AAssinaturaRs) {
  std::string ponto;
  if (ADigest.size() != 32 || AAssinaturaRs.size() != 64 || !PontoDaChaveP256(AChaveSpki, ponto))
    return false;
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&alg, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
    return false;
  std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
  auto* cab = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
  cab->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
  cab->cbKey = 32;
  std::memcpy(blob.data() + sizeof(BCRYPT_ECCKEY_BLOB), ponto.data() + 1, 64);
  BCRYPT_KEY_HANDLE chave = nullptr;
  bool ok = false;
  if (BCRYPT_SUCCESS(BCryptImportKeyPair(alg, nullptr, BCRYPT_ECCPUBLIC_BLOB, &chave, blob.data(),
                                         static_cast<ULONG>(blob.size()), 0))) {
    std::string dig(ADigest), sig(AAssinaturaRs);
    ok = BCryptVerifySignature(chave, nullptr, reinterpret_cast<PUCHAR>(dig.data()), 32,
                               reinterpret_cast<PUCHAR>(sig.data()), 64, 0) == 0;
    BCryptDestroyKey(chave);
  }
  BCryptCloseAlgorithmProvider(alg, 0);
  return ok;
}

namespace {

// SHA-1 thumbprint (and subject, in AAssunto) of the certificate that signed
// the embedded signature.
std::string ImpressaoDoAssinante(const std::wstring& ACaminho, bool& APresente,
                                 std::string& AAssunto) {
  APresente = false;
  AAssunto.clear();
  HCERTSTORE loja = nullptr;
  HCRYPTMSG msg = nullptr;
  DWORD cod = 0, tipo = 0, formato = 0;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, ACaminho.c_str(),
                        CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY,
                        0, &cod, &tipo, &formato, &loja, &msg, nullptr))
    return {};
  APresente = true;
  std::string impressao;
  DWORD n = 0;
  if (CryptMsgGetParam(msg, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &n) && n > 0) {
    std::vector<BYTE> buf(n);
    if (CryptMsgGetParam(msg, CMSG_SIGNER_INFO_PARAM, 0, buf.data(), &n)) {
      const auto* si = reinterpret_cast<const CMSG_SIGNER_INFO*>(buf.data());
      CERT_INFO ci{};
      ci.Issuer = si->Issuer;
      ci.SerialNumber = si->SerialNumber;
      PCCERT_CONTEXT cert = CertFindCertificateInStore(
          loja, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_CERT, &ci, nullptr);
      if (cert) {
        BYTE hash[20];
        DWORD nh = sizeof(hash);
        if (CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &nh)) {
          static const char kDig[] = "0123456789abcdef";
          for (DWORD i = 0; i < nh; ++i)
            impressao += kDig[hash[i] >> 4], impressao += kDig[hash[i] & 15];
        }
        // A renewed certificate keeps its subject: the same signer.
        DWORD tipo = CERT_X500_NAME_STR;
        const DWORD nn = CertGetNameStringW(cert, CERT_NAME_RDN_TYPE, 0, &tipo, nullptr, 0);
        if (nn > 1) {
          std::wstring nome(nn, L'\0');
          CertGetNameStringW(cert, CERT_NAME_RDN_TYPE, 0, &tipo, nome.data(), nn);
          nome.resize(nn - 1);
          AAssunto = DeWide(nome);
        }
        CertFreeCertificateContext(cert);
      }
    }
  }
  CryptMsgClose(msg);
  CertCloseStore(loja, 0);
  return impressao;
}

class TAssinaturaWin32 : public IAssinaturaArquivo {
 public:
  TAssinaturaArquivo Ler(const std::string& ACaminho) override {
    TAssinaturaArquivo a;
    const std::wstring w = ParaWide(ACaminho);
    a.Impressao = ImpressaoDoAssinante(w, a.Presente, a.Assunto);
    if (!a.Presente) return a;
    WINTRUST_FILE_INFO fi{};
    fi.cbStruct = sizeof(fi);
    fi.pcwszFilePath = w.c_str();
    WINTRUST_DATA wd{};
    wd.cbStruct = sizeof(wd);
    wd.dwUIChoice = WTD_UI_NONE;
    wd.fdwRevocationChecks = WTD_REVOKE_NONE;
    wd.dwUnionChoice = WTD_CHOICE_FILE;
    wd.pFile = &fi;
    wd.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID acao = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    a.Resultado = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &acao, &wd);
    wd.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &acao, &wd);
    return a;
  }
};

}  // namespace

IAssinaturaArquivo& ImplementacaoPadrao(SeamTag<IAssinaturaArquivo>) {
  static TAssinaturaWin32 a;
  return a;
}
