// The agent's configuration file: base folder, config.ini, its record and key access.
#include "config/uConfigINI.h"

#include <cstdlib>

#include "platform/uArquivos.h"
#include "platform/uErros.h"
#include "platform/uPerfil.h"
#include "platform/uTexto.h"

namespace {

const char* const kSecServidor = "SERVIDOR";
const char* const kSecSeguranca = "SEGURANCA";
const char* const kSecLog = "LOG";

// A line break written into a value would start a new entry (or section) when
// the file is read back: a server-supplied text could plant settings that way.
std::string SemQuebras(std::string ATexto) {
  for (char& c : ATexto)
    if (c == '\r' || c == '\n') c = ' ';
  return ATexto;
}

}  // namespace

std::string TConfigINI::PastaBaseSemCriar() {
#ifdef _WIN32
  return VESK_PASTA_BASE_WINDOWS;
#else
  // Natively the drive C folder becomes one under the home folder, or wherever
  // VESK_PASTA_BASE points (the tests use this).
  if (const char* v = std::getenv("VESK_PASTA_BASE"); v && *v) return IncluirSeparador(v);
  const char* home = std::getenv("HOME");
  return IncluirSeparador(home && *home ? home : "/tmp") + ".vesk/Talmeq/VESKINTRANET/";
#endif
}

std::string TConfigINI::PastaBase() {
  const std::string base = PastaBaseSemCriar();
  IArquivos& fs = Arquivos();
  fs.CriarPastas(base);
  for (const char* sub : {"cache", "logs", "update"}) fs.CriarPastas(base + sub + kSep);
  return base;
}

std::string TConfigINI::ArquivoConfig() {
  return PastaBase() + "config.ini";
}

TConfigAgente TConfigINI::Carregar() {
  TConfigAgente c;
  const std::string arq = ArquivoConfig();
  c.URL = LerTexto(arq, kSecServidor, "URL", c.URL);
  c.ApiToken = LerTexto(arq, kSecServidor, "API_TOKEN", "");
  c.SenhaAgenteHash = LerTexto(arq, kSecSeguranca, "SENHA_AGENTE_HASH", "");
  c.UsarSSL = LerBooleano(arq, kSecServidor, "USAR_SSL", true);
  const int32_t intervalo = LerInteiro(arq, kSecServidor, "INTERVALO", 10);
  c.IntervaloSegundos = LerInteiro(arq, kSecServidor, "INTERVALO_SEGUNDOS", intervalo);
  const bool debug = LerBooleano(arq, kSecLog, "DEBUG", false);
  c.LogDetalhado = LerBooleano(arq, kSecLog, "DETALHADO", debug);
  return c;
}

void TConfigINI::Salvar(const TConfigAgente& Cfg) {
  const std::string arq = ArquivoConfig();
  // A key that already reads as the value it would get is left alone: each
  // write costs a rewrite of the file on some systems, and every polling pass
  // saves the record. A missing key always reads as the marker, so it is
  // written.
  const std::string ausente("\x01", 1);
  bool gravou = false;
  auto gravar = [&](const char* ASecao, const char* AChave, const std::string& AValor) {
    if (LerTexto(arq, ASecao, AChave, ausente) == SemQuebras(AValor)) return;
    EscreverTexto(arq, ASecao, AChave, AValor);
    gravou = true;
  };
  gravar(kSecServidor, "URL", Cfg.URL);
  gravar(kSecServidor, "API_TOKEN", Cfg.ApiToken);
  gravar(kSecSeguranca, "SENHA_AGENTE_HASH", Cfg.SenhaAgenteHash);
  gravar(kSecServidor, "USAR_SSL", Cfg.UsarSSL ? "1" : "0");
  gravar(kSecServidor, "INTERVALO_SEGUNDOS", std::to_string(Cfg.IntervaloSegundos));
  gravar(kSecServidor, "INTERVALO", std::to_string(Cfg.IntervaloSegundos));
  gravar(kSecLog, "DETALHADO", Cfg.LogDetalhado ? "1" : "0");
  if (gravou) Descarregar(arq);
}

std::string TConfigINI::NormalizarURL(const std::string& AURL, bool AUsarSSL) {
  std::string s = Aparar(AURL);
  if (s.empty()) return s;
  if (!IniciaComSemCaixa(s, "http://") && !IniciaComSemCaixa(s, "https://"))
    s = (AUsarSSL ? "https://" : "http://") + s;
  if (s.back() != '/') s += '/';
  return s;
}

// --- key access on an explicit file --------------------------------------------

std::string TConfigINI::LerTexto(const std::string& AArquivo, const std::string& ASecao,
                                 const std::string& AChave, const std::string& APadrao) {
  return Perfil().LerTexto(AArquivo, ASecao, AChave, APadrao);
}

int32_t TConfigINI::LerInteiro(const std::string& AArquivo, const std::string& ASecao,
                               const std::string& AChave, int32_t APadrao) {
  const std::string s = LerTexto(AArquivo, ASecao, AChave, "");
  int32_t v = 0;
  return LerInteiro32(s, v) ? v : APadrao;
}

bool TConfigINI::LerBooleano(const std::string& AArquivo, const std::string& ASecao,
                             const std::string& AChave, bool APadrao) {
  return LerInteiro(AArquivo, ASecao, AChave, APadrao ? 1 : 0) != 0;
}

void TConfigINI::EscreverTexto(const std::string& AArquivo, const std::string& ASecao,
                               const std::string& AChave, const std::string& AValor) {
  if (!Perfil().EscreverTexto(AArquivo, SemQuebras(ASecao), SemQuebras(AChave), SemQuebras(AValor)))
    throw EIniErro("Unable to write to " + AArquivo);
}

void TConfigINI::EscreverInteiro(const std::string& AArquivo, const std::string& ASecao,
                                 const std::string& AChave, int32_t AValor) {
  EscreverTexto(AArquivo, ASecao, AChave, std::to_string(AValor));
}

void TConfigINI::EscreverBooleano(const std::string& AArquivo, const std::string& ASecao,
                                  const std::string& AChave, bool AValor) {
  EscreverTexto(AArquivo, ASecao, AChave, AValor ? "1" : "0");
}

bool TConfigINI::ChaveExiste(const std::string& AArquivo, const std::string& ASecao,
                             const std::string& AChave) {
  for (const std::string& k : Chaves(AArquivo, ASecao))
    if (IgualSemCaixa(Aparar(k), Aparar(AChave))) return true;
  return false;
}

void TConfigINI::ApagarChave(const std::string& AArquivo, const std::string& ASecao,
                             const std::string& AChave) {
  if (!Perfil().ApagarChave(AArquivo, SemQuebras(ASecao), SemQuebras(AChave)))
    throw EIniErro("Unable to write to " + AArquivo);
}

std::vector<std::string> TConfigINI::Chaves(const std::string& AArquivo,
                                            const std::string& ASecao) {
  return Perfil().Chaves(AArquivo, ASecao);
}

void TConfigINI::Descarregar(const std::string& AArquivo) {
  Perfil().Descarregar(AArquivo);
}

// --- key access on config.ini ------------------------------------------------------

std::string TConfigINI::LerTexto(const std::string& ASecao, const std::string& AChave,
                                 const std::string& APadrao) {
  return LerTexto(ArquivoConfig(), ASecao, AChave, APadrao);
}

int32_t TConfigINI::LerInteiro(const std::string& ASecao, const std::string& AChave,
                               int32_t APadrao) {
  return LerInteiro(ArquivoConfig(), ASecao, AChave, APadrao);
}

bool TConfigINI::LerBooleano(const std::string& ASecao, const std::string& AChave, bool APadrao) {
  return LerBooleano(ArquivoConfig(), ASecao, AChave, APadrao);
}

void TConfigINI::EscreverTexto(const std::string& ASecao, const std::string& AChave,
                               const std::string& AValor) {
  EscreverTexto(ArquivoConfig(), ASecao, AChave, AValor);
}

void TConfigINI::EscreverInteiro(const std::string& ASecao, const std::string& AChave,
                                 int32_t AValor) {
  EscreverInteiro(ArquivoConfig(), ASecao, AChave, AValor);
}

void TConfigINI::EscreverBooleano(const std::string& ASecao, const std::string& AChave,
                                  bool AValor) {
  EscreverBooleano(ArquivoConfig(), ASecao, AChave, AValor);
}

bool TConfigINI::ChaveExiste(const std::string& ASecao, const std::string& AChave) {
  return ChaveExiste(ArquivoConfig(), ASecao, AChave);
}

void TConfigINI::ApagarChave(const std::string& ASecao, const std::string& AChave) {
  ApagarChave(ArquivoConfig(), ASecao, AChave);
}

std::vector<std::string> TConfigINI::Chaves(const std::string& ASecao) {
  return Chaves(ArquivoConfig(), ASecao);
}

void TConfigINI::Descarregar() {
  Descarregar(ArquivoConfig());
}
