// Update checks that need the operating system: text in the ANSI code page,
// ECDSA P-256 signatures (CNG on Windows, OpenSSL libcrypto on POSIX) and the
// Authenticode signature of a file (WinVerifyTrust; POSIX has none and answers
// "unsigned", tests put recorded answers in its place).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/uSeam.h"

// The UTF-8 text in the system's ANSI code page (Windows-1252 on POSIX). False
// when a character has no exact equivalent there (no best-fit guesses).
bool Utf8ParaAnsi(std::string_view AUtf8, std::string& AAnsi);

// True when ASignature (r || s, 64 bytes) is a valid ECDSA P-256 signature of the
// 32-byte ADigest by the key given as DER SubjectPublicKeyInfo.
bool VerificarEcdsaP256(std::string_view AChaveSpki, std::string_view ADigest,
                        std::string_view AAssinaturaRs);

// Portable helpers of the signature formats.
// The 65-byte uncompressed point (0x04 || X || Y) of a P-256 SubjectPublicKeyInfo.
bool PontoDaChaveP256(std::string_view AChaveSpki, std::string& APonto);
// A signature as OpenSSL writes it (DER SEQUENCE of two INTEGERs) or already as
// 64 raw bytes, made r || s.
bool AssinaturaParaRs(std::string_view AAssinatura, std::string& ARs);
// Base64 (RFC 4648, with or without padding; blanks and line breaks ignored).
bool DecodificarBase64(std::string_view ATexto, std::string& ABytes);
std::string CodificarBase64(std::string_view ABytes);
// Lowercase or uppercase hexadecimal to bytes; false on an odd length or a non-digit.
bool DecodificarHex(std::string_view ATexto, std::string& ABytes);

// What the system says of a file's Authenticode signature.
struct TAssinaturaArquivo {
  bool Presente = false;  // the file carries an embedded signature
  int32_t Resultado = 0;  // WinVerifyTrust's answer (0: trusted)
  std::string Impressao;  // SHA-1 thumbprint of the signer's certificate, lowercase hex
  std::string Assunto;    // that certificate's subject (X.500 text), "" when unread
};

inline constexpr int32_t kConfiancaRaizNaoConfiavel =
    static_cast<int32_t>(0x800B0109);  // CERT_E_UNTRUSTEDROOT

class IAssinaturaArquivo {
 public:
  virtual ~IAssinaturaArquivo() = default;
  virtual TAssinaturaArquivo Ler(const std::string& ACaminho) = 0;
};

IAssinaturaArquivo& ImplementacaoPadrao(SeamTag<IAssinaturaArquivo>);
inline IAssinaturaArquivo& AssinaturaArquivo() {
  return Seam<IAssinaturaArquivo>::Atual();
}
