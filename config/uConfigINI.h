// The agent's configuration file: base folder, config.ini, its record and key access.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uBuildConfig.h"

// The settings of [SERVIDOR], [SEGURANCA] and [LOG], copied by value.
struct TConfigAgente {
  std::string URL = VESK_URL_SERVIDOR_PADRAO;
  std::string ApiToken;
  std::string SenhaAgenteHash;
  bool UsarSSL = true;
  int32_t IntervaloSegundos = 10;
  bool LogDetalhado = false;
};

// Settings the IT department gives as policy: REG_SZ values ServidorURL,
// ApiToken and ChatURL of HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Vesk\Agent,
// which users cannot write. A missing or blank value is no policy.
struct TPoliticaAgente {
  std::optional<std::string> ServidorURL, ApiToken, ChatURL;
};

// Reads answer as the file is now (TPassagemConfig says what is kept). Writes
// raise EIniErro("Unable to write to <path>") when the platform refuses them; reads never fail and
// give the default instead.
class TConfigINI {
 public:
  // The base folder with its trailing separator; creates it and its "cache",
  // "logs" and "update" folders when missing (silently ignoring failures).
  static std::string PastaBase();
  // The base folder's path without creating anything (for the log writer).
  static std::string PastaBaseSemCriar();
  // The agent's folder in the employee's own local application data
  // ("Talmeq\VESKINTRANET\" under it), which other users of the computer
  // cannot write; not created here. "" when the platform names no such folder.
  static std::string PastaUsuario();
  // PastaBase + "config.ini".
  static std::string ArquivoConfig();

  // URL and ApiToken come from the policy when it gives them.
  static TConfigAgente Carregar();
  // Leaves alone the keys that the policy gives: config.ini keeps no copy.
  static void Salvar(const TConfigAgente& Cfg);
  // The policy as the registry holds it now.
  static TPoliticaAgente Politica();
  // The server's base URL for requests: trimmed, with a scheme, ending in "/".
  static std::string NormalizarURL(const std::string& AURL, bool AUsarSSL);

  // Key access on ArquivoConfig for the sections other services own.
  static std::string LerTexto(const std::string& ASecao, const std::string& AChave,
                              const std::string& APadrao);
  // Decimal, or hexadecimal after "0x"; anything else that is not a 32-bit
  // integer gives the default.
  static int32_t LerInteiro(const std::string& ASecao, const std::string& AChave, int32_t APadrao);
  // Read as an integer: non-zero is true; not an integer gives the default.
  static bool LerBooleano(const std::string& ASecao, const std::string& AChave, bool APadrao);
  static void EscreverTexto(const std::string& ASecao, const std::string& AChave,
                            const std::string& AValor);
  static void EscreverInteiro(const std::string& ASecao, const std::string& AChave, int32_t AValor);
  // Written as "1" or "0".
  static void EscreverBooleano(const std::string& ASecao, const std::string& AChave, bool AValor);
  // True when the section holds the key, whatever its value (even empty).
  static bool ChaveExiste(const std::string& ASecao, const std::string& AChave);
  // Removes the key from the section; raises as a write does when refused.
  static void ApagarChave(const std::string& ASecao, const std::string& AChave);
  // Key names of the section in file order.
  static std::vector<std::string> Chaves(const std::string& ASecao);
  // Flushes the file; never raises.
  static void Descarregar();

  // The same on an explicit file (AArquivo is a full path); these create no
  // folder.
  static std::string LerTexto(const std::string& AArquivo, const std::string& ASecao,
                              const std::string& AChave, const std::string& APadrao);
  static int32_t LerInteiro(const std::string& AArquivo, const std::string& ASecao,
                            const std::string& AChave, int32_t APadrao);
  static bool LerBooleano(const std::string& AArquivo, const std::string& ASecao,
                          const std::string& AChave, bool APadrao);
  static void EscreverTexto(const std::string& AArquivo, const std::string& ASecao,
                            const std::string& AChave, const std::string& AValor);
  static void EscreverInteiro(const std::string& AArquivo, const std::string& ASecao,
                              const std::string& AChave, int32_t AValor);
  static void EscreverBooleano(const std::string& AArquivo, const std::string& ASecao,
                               const std::string& AChave, bool AValor);
  static bool ChaveExiste(const std::string& AArquivo, const std::string& ASecao,
                          const std::string& AChave);
  static void ApagarChave(const std::string& AArquivo, const std::string& ASecao,
                          const std::string& AChave);
  static std::vector<std::string> Chaves(const std::string& AArquivo, const std::string& ASecao);
  static void Descarregar(const std::string& AArquivo);

  // Readings that went to the platform on this thread so far (the rest were
  // answered from what was kept), for measuring.
  static uint64_t LeiturasDoPerfil();
};

// Readings are kept per file while the file stays in the same state (size,
// last write, identity), checked before each read; a write through
// TConfigINI drops them, so the agent sees its own writes at once. While a
// pass is open on the thread (one step of the polling pass, a chat poll) the
// state is checked at the first read and then at most once a second: a
// change made by another program is seen by the next pass, and within a
// second inside a long one. Passes may nest and share the outermost one's look.
class TPassagemConfig {
 public:
  TPassagemConfig();
  ~TPassagemConfig();
  TPassagemConfig(const TPassagemConfig&) = delete;
  TPassagemConfig& operator=(const TPassagemConfig&) = delete;
};
