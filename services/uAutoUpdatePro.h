// Self-update: the server's manifest, the download and its checks (in the
// employee's own folder), the verified copy beside the executable, and the
// batch script that renames it over the executable once the agent has quit.
#pragma once

#include <cstdint>
#include <string>

#include "platform/uDataHora.h"
#include "uBuildConfig.h"

class TAutoUpdatePro {
 public:
  // Every outcome is logged; an error is caught and logged. When the update is
  // handed to its script, returns after asking the application to quit.
  static void VerificarAtualizacao(const std::string& AVersaoAtual) noexcept;

  // -1 when the local version is lower, 1 when higher, 0 when the first four
  // parts are equal.
  static int CompararVersoes(const std::string& ALocal, const std::string& AServidor);
  // Part AIndice (from 0) of a dotted version: its ASCII digits as a number; 0
  // when it has none, exceeds 32 bits or does not exist.
  static int32_t ParteVersao(const std::string& AVersao, int AIndice);
  // The URL with "t=" + the local time as yyyymmddhhnnsszzz ("?" or "&" before it).
  static std::string AdicionarAntiCache(const std::string& AURL);
  // An absolute http(s) address as given; anything else joined to the base URL.
  static std::string ResolverUrlArquivo(const std::string& ABaseURL, const std::string& AArquivo);
  // Exists, holds at least 1024 bytes and begins with "MZ".
  static bool ArquivoExeValido(const std::string& ACaminho);
  // Size in bytes, 0 when there is no such file.
  static int64_t TamanhoArquivo(const std::string& ACaminho);
  // The script's text in the ANSI code page, CR LF, without byte order mark.
  // ANovo is the verified copy beside AExe, which the script renames over it.
  // False, with the reason in AErro, when a path cannot be written there.
  static bool MontarBatAtualizacao(const std::string& AExe, const std::string& ANovo, uint32_t APid,
                                   const std::string& ABackup, std::string& ABytes,
                                   std::string& AErro);
  // Writes the script; false with AErro when a path has no place in the ANSI
  // code page. Raises when the file cannot be written.
  static bool CriarBatAtualizacao(const std::string& AScript, const std::string& AExe,
                                  const std::string& ANovo, uint32_t APid,
                                  const std::string& ABackup, std::string& AErro);

  // True when the file's Base64 signature (ECDSA P-256 over its SHA-256) verifies
  // with the Base64 DER public key. AErro says why not.
  static bool AssinaturaValida(const std::string& AChaveBase64, const std::string& ADigestHex,
                               const std::string& AAssinaturaBase64, std::string& AErro);
  // The last attempted update (config.ini [AUTO_UPDATE]): true while AVersao
  // was attempted less than an hour before AAgora.
  static bool TentativaRecente(const std::string& AVersao, TDateTime AAgora);
  static void RegistrarTentativa(const std::string& AVersao, TDateTime AAgora);

  // The pinned update-signing key (Base64 DER); empty turns the check off.
  // Defined in the module alone, so that the key lives in one object file.
  static std::string ChavePublica;
  static constexpr double kEsperaNovaTentativaDias = 1.0 / 24.0;
};
