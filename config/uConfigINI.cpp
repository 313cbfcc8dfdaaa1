// The agent's configuration file: base folder, config.ini, its record and key access.
#include "config/uConfigINI.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <map>
#include <tuple>

#include "platform/uArquivos.h"
#include "platform/uErros.h"
#include "platform/uPerfil.h"
#include "platform/uRegistro.h"
#include "platform/uTexto.h"

namespace {

constexpr const char* kSecServidor = "SERVIDOR";
constexpr const char* kSecSeguranca = "SEGURANCA";
constexpr const char* kSecLog = "LOG";

// A line break written into a value would start a new entry (or section) when
// the file is read back: a server-supplied text could plant settings that way.
std::string SemQuebras(std::string ATexto) {
  for (char& c : ATexto)
    if (c == '\r' || c == '\n') c = ' ';
  return ATexto;
}

// The record's keys, in the order Carregar reads them.
enum TChaveRegistro {
  kURL,
  kToken,
  kHash,
  kSsl,
  kIntervalo,
  kIntervaloSeg,
  kDebug,
  kDetalhado,
  kN
};
struct TLugar {
  const char* Secao;
  const char* Chave;
};
constexpr TLugar kLugares[kN] = {
    {kSecServidor, "URL"},      {kSecServidor, "API_TOKEN"}, {kSecSeguranca, "SENHA_AGENTE_HASH"},
    {kSecServidor, "USAR_SSL"}, {kSecServidor, "INTERVALO"}, {kSecServidor, "INTERVALO_SEGUNDOS"},
    {kSecLog, "DEBUG"},         {kSecLog, "DETALHADO"}};

// What a missing key reads as; no value the agent writes is this. Printable
// and without blanks at its ends: a profile reader may trim the default
// (Wine's trims a control character away, which made a missing key read as
// empty, and an empty value was then never written).
const std::string kAusente = "<sem chave>";

const char* const kChavePolitica = "SOFTWARE\\Policies\\Vesk\\Agent";

std::optional<std::string> ValorDaPolitica(const char* ANome) {
  std::string v;
  if (!Registro().LerTextoMaquina(kChavePolitica, ANome, v) || EmBranco(v)) return std::nullopt;
  return Aparar(v);
}

// The record's keys as read: each value as the profile gave it, or kAusente;
// and the policy read with them.
struct TLeitura {
  std::string Arquivo;
  std::array<std::string, kN> Valores;
  TPoliticaAgente Politica;
};

int32_t Inteiro(const std::string& AValor, int32_t APadrao) {
  int32_t v = 0;
  return LerInteiro32(AValor, v) ? v : APadrao;
}

bool EhInteiro(const std::string& AValor) {
  int32_t v = 0;
  return LerInteiro32(AValor, v);
}

TLeitura Ler(const std::string& AArquivo) {
  TLeitura l;
  l.Arquivo = AArquivo;
  for (int i = 0; i < kN; ++i) {
    // DEBUG only stands in for a DETALHADO that gives no number, and nothing
    // saves it: with a readable DETALHADO it is not read (each read opens the
    // file on some systems).
    if (i == kDebug) continue;
    l.Valores[i] = TConfigINI::LerTexto(AArquivo, kLugares[i].Secao, kLugares[i].Chave, kAusente);
  }
  l.Politica = TConfigINI::Politica();
  l.Valores[kDebug] = EhInteiro(l.Valores[kDetalhado])
                          ? kAusente
                          : TConfigINI::LerTexto(AArquivo, kLugares[kDebug].Secao,
                                                 kLugares[kDebug].Chave, kAusente);
  return l;
}

std::string Texto(const std::string& AValor, const std::string& APadrao) {
  return AValor == kAusente ? APadrao : AValor;
}

TConfigAgente Registro(const TLeitura& L) {
  TConfigAgente c;
  c.URL = Texto(L.Valores[kURL], c.URL);
  c.ApiToken = Texto(L.Valores[kToken], "");
  c.SenhaAgenteHash = Texto(L.Valores[kHash], "");
  c.UsarSSL = Inteiro(L.Valores[kSsl], 1) != 0;
  c.IntervaloSegundos = Inteiro(L.Valores[kIntervaloSeg], Inteiro(L.Valores[kIntervalo], 10));
  c.LogDetalhado = Inteiro(L.Valores[kDetalhado], Inteiro(L.Valores[kDebug], 0) != 0) != 0;
  // A policy wins over the file, which every user of the computer may edit.
  if (L.Politica.ServidorURL) c.URL = *L.Politica.ServidorURL;
  if (L.Politica.ApiToken) c.ApiToken = *L.Politica.ApiToken;
  return c;
}

// The open passes of this thread. Only the UI thread runs passes and reads
// the file; the readings below are per thread, so another thread's reads
// never share them.
thread_local int GPassagens = 0;
// Bumped by each outermost pass that opens: its first read looks at the file again.
thread_local uint64_t GGeracao = 0;
// The base folder whose folders the outermost pass has made sure of.
thread_local std::string GPastasDaPassagem;

// Within a pass the file is looked at again at most this often: a step that
// waits for the user (the notice popup) keeps messages and other timers'
// reads going for as long as it takes.
constexpr auto kJanelaPassagem = std::chrono::milliseconds(1000);

// What the profile answered for one file, kept while the file is in the same
// state: the platform reopens (and often parses) the file on every read, and
// each step, request and log line reads the same few keys again.
struct TLeiturasArquivo {
  IPerfil* Fonte = nullptr;
  TEstadoPerfil Estado;
  uint64_t Geracao = 0;
  std::chrono::steady_clock::time_point Visto;
  // By section, key and default, exactly as asked: the answer is the
  // platform's own, default handling included.
  std::map<std::tuple<std::string, std::string, std::string>, std::string> Valores;
};
thread_local std::map<std::string, TLeiturasArquivo> GLeituras;
thread_local uint64_t GLeiturasPerfil = 0;

void EsquecerLeituras(const std::string& AArquivo) {
  GLeituras.erase(AArquivo);
}

// The readings of the file that still hold, or nothing when its state cannot
// be told (then every read goes to the platform).
TLeiturasArquivo* Leituras(const std::string& AArquivo) {
  IPerfil& fonte = Perfil();
  const auto agora = std::chrono::steady_clock::now();
  auto it = GLeituras.find(AArquivo);
  if (it != GLeituras.end()) {
    TLeiturasArquivo& l = it->second;
    if (GPassagens > 0 && l.Fonte == &fonte && l.Geracao == GGeracao &&
        agora - l.Visto < kJanelaPassagem)
      return &l;
  }
  TEstadoPerfil estado;
  if (!fonte.Estado(AArquivo, estado)) {
    if (it != GLeituras.end()) GLeituras.erase(it);
    return nullptr;
  }
  if (it == GLeituras.end()) {
    // A handful of files at most; a caller that walks many gets a fresh start.
    if (GLeituras.size() >= 8) GLeituras.clear();
    it = GLeituras.try_emplace(AArquivo).first;
  }
  TLeiturasArquivo& l = it->second;
  // A reading taken while the file was that fresh is not trusted past now.
  if (l.Fonte != &fonte || !(l.Estado == estado) || l.Estado.Recente) l.Valores.clear();
  l.Fonte = &fonte;
  l.Estado = estado;
  l.Geracao = GGeracao;
  l.Visto = agora;
  return &l;
}

// The policy as a pass read it, under the same window as the file.
struct TPoliticaLida {
  IRegistro* Fonte = nullptr;
  uint64_t Geracao = 0;
  std::chrono::steady_clock::time_point Visto;
  TPoliticaAgente Politica;
};
thread_local std::optional<TPoliticaLida> GPoliticaDaPassagem;

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
  // Once a pass: its reads and writes come within moments of each other.
  if (GPassagens > 0 && GPastasDaPassagem == base) return base;
  IArquivos& fs = Arquivos();
  bool feitas = fs.CriarPastas(base);
  for (const char* sub : {"cache", "logs", "update"})
    feitas = fs.CriarPastas(base + sub + kSep) && feitas;
  if (GPassagens > 0 && feitas) GPastasDaPassagem = base;
  return base;
}

std::string TConfigINI::PastaUsuario() {
  const std::string local = Arquivos().PastaDadosLocais();
  if (local.empty()) return {};
  return local + "Talmeq" + kSep + "VESKINTRANET" + kSep;
}

std::string TConfigINI::ArquivoConfig() {
  return PastaBase() + "config.ini";
}

TConfigAgente TConfigINI::Carregar() {
  return Registro(Ler(ArquivoConfig()));
}

void TConfigINI::Salvar(const TConfigAgente& Cfg) {
  const std::string arq = ArquivoConfig();
  // A key that already reads as the value it would get is left alone: each
  // write costs a rewrite of the file on some systems, and every polling pass
  // saves the record. A missing key always reads as kAusente, so it is
  // written. The comparison is with the reading before the first write
  // (which drops the kept readings).
  const TLeitura lida = Ler(arq);
  bool gravou = false;
  auto gravar = [&](TChaveRegistro AChave, const std::string& AValor) {
    if ((AChave == kURL && lida.Politica.ServidorURL) ||
        (AChave == kToken && lida.Politica.ApiToken))
      return;
    if (lida.Valores[AChave] == SemQuebras(AValor)) return;
    EscreverTexto(arq, kLugares[AChave].Secao, kLugares[AChave].Chave, AValor);
    gravou = true;
  };
  gravar(kURL, Cfg.URL);
  gravar(kToken, Cfg.ApiToken);
  gravar(kHash, Cfg.SenhaAgenteHash);
  gravar(kSsl, Cfg.UsarSSL ? "1" : "0");
  gravar(kIntervaloSeg, std::to_string(Cfg.IntervaloSegundos));
  gravar(kIntervalo, std::to_string(Cfg.IntervaloSegundos));
  gravar(kDetalhado, Cfg.LogDetalhado ? "1" : "0");
  if (gravou) Descarregar(arq);
}

TPoliticaAgente TConfigINI::Politica() {
  IRegistro& fonte = Registro();
  const auto agora = std::chrono::steady_clock::now();
  if (GPassagens > 0 && GPoliticaDaPassagem && GPoliticaDaPassagem->Fonte == &fonte &&
      GPoliticaDaPassagem->Geracao == GGeracao &&
      agora - GPoliticaDaPassagem->Visto < kJanelaPassagem)
    return GPoliticaDaPassagem->Politica;
  TPoliticaAgente p;
  p.ServidorURL = ValorDaPolitica("ServidorURL");
  p.ApiToken = ValorDaPolitica("ApiToken");
  p.ChatURL = ValorDaPolitica("ChatURL");
  if (GPassagens > 0)
    GPoliticaDaPassagem = TPoliticaLida{&fonte, GGeracao, agora, p};
  else
    GPoliticaDaPassagem.reset();
  return p;
}

TPassagemConfig::TPassagemConfig() {
  // A nested pass shares the outer one's look at the file.
  if (GPassagens++ == 0) ++GGeracao;
}

TPassagemConfig::~TPassagemConfig() {
  if (--GPassagens == 0) {
    GPastasDaPassagem.clear();
    GPoliticaDaPassagem.reset();
  }
}

uint64_t TConfigINI::LeiturasDoPerfil() {
  return GLeiturasPerfil;
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
  TLeiturasArquivo* l = Leituras(AArquivo);
  if (l) {
    const auto it = l->Valores.find({ASecao, AChave, APadrao});
    if (it != l->Valores.end()) return it->second;
  }
  ++GLeiturasPerfil;
  std::string v = Perfil().LerTexto(AArquivo, ASecao, AChave, APadrao);
  if (l) l->Valores.emplace(std::make_tuple(ASecao, AChave, APadrao), v);
  return v;
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
  // Dropped first: a write that fails half-way may still have changed the file.
  EsquecerLeituras(AArquivo);
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
  EsquecerLeituras(AArquivo);
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
