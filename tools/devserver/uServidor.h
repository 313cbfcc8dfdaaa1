// Shared state of the development intranet server: scenario, request record, faults.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <httplib.h>
#include <rapidjson/document.h>

using TPares = std::vector<std::pair<std::string, std::string>>;

// One request as the server saw it, with query and form already decoded.
struct TPedido {
  std::string Metodo, Caminho, Query, Corpo, Hora;
  TPares Params;  // decoded query pairs, in order
  TPares Form;    // decoded form body pairs, in order (urlencoded bodies only)
  TPares Cabecalhos;
  std::string Host;
  int PortaRemota = -1;
  std::string EnderecoRemoto;

  // Form value first (POST), then query value; the first of equal names counts.
  std::string Valor(const std::string& ANome, const std::string& APadrao = "") const;
  bool Tem(const std::string& ANome) const;
};

struct TResposta {
  int Status = 200;
  std::string Tipo = "application/json; charset=utf-8";
  std::string Corpo;
  std::string Local;  // Location of a redirect
};

struct TFalha {
  std::string Endpoint;  // relative to its base, or "*"
  std::string Tipo;      // html500, delay, drop, redirect, gzip, empty, big, ... (README)
  int AtrasoMs = 35000;  // delay; the pause between pieces of slow_headers and trickle
  int Quantidade = 3;    // redirects in the chain
  int Vezes = -1;        // remaining uses; -1 until changed
  std::string Metodo;    // only requests of this method ("POST"); "" for all
};

class TServidor {
 public:
  std::string Base = "/demo/intranet/";
  std::string ChatBase = "/chat/";
  std::string ArquivoCenario;
  std::string PastaMidia;
  int Porta = 0;

  // The scenario as a working document: answers read it, actions change it.
  std::mutex TravaCenario;
  rapidjson::Document Cenario;

  bool CarregarCenario(std::string& AErro);  // from ArquivoCenario
  bool SubstituirCenario(const std::string& ATexto, std::string& AErro);
  std::string CenarioTexto();

  void Registrar(const TPedido& APedido);
  std::string RegistrosJson();
  std::vector<TPedido> UltimosPedidos(size_t AMax);
  void LimparRegistros();

  void DefinirFalha(const TFalha& AFalha);
  // The fault that applies to this endpoint now; its remaining uses drop by one.
  // A fault limited to one method leaves the other methods' requests alone.
  std::optional<TFalha> ConsumirFalha(const std::string& AEndpoint,
                                      const std::string& AMetodo = "");
  std::vector<TFalha> Falhas();
  void LimparFalhas();

  // Sleeps, but wakes early when the server stops.
  void Dormir(int AMilissegundos);
  void Parar();
  bool Parando() const { return FParando; }

 private:
  std::mutex FTravaRegistro;
  std::vector<TPedido> FRegistros;
  std::mutex FTravaFalhas;
  std::map<std::string, TFalha> FFalhas;
  std::mutex FTravaSono;
  std::condition_variable FSono;
  std::atomic<bool> FParando{false};
};

// --- helpers shared by the route files ---
std::string DecodificarUrl(std::string_view ATexto, bool AMaisEspaco = true);
TPares LerPares(std::string_view ATexto);
std::string HoraRegistro();           // yyyy-mm-dd hh:nn:ss.zzz, local
std::string DataHoje(int ADias = 0);  // yyyy-mm-dd, local, ADias from today
std::string JsonTexto(const rapidjson::Value& AValor);
std::string EscaparHtml(std::string_view ATexto);
// A query value: letters, digits and - . _ ~ kept, every other byte as %XX.
std::string CodificarConsulta(std::string_view ATexto);
std::string EscaparJson(std::string_view ATexto);
TPedido MontarPedido(const httplib::Request& ARequisicao);
// The Accept-Encoding the client sent (taken off the request before routing).
std::string AceitaCodificacaoOriginal();
void MontarServidor(httplib::Server& S, TServidor& AServ);

// Route tables: a handler answers one endpoint, relative to its base.
using TManipulador = void (*)(TServidor&, const TPedido&, TResposta&);
const std::map<std::string, TManipulador>& RotasAgente();
const std::map<std::string, TManipulador>& RotasChat();
// Files below "media/" and "downloads/" of the agent base.
bool ServirArquivo(TServidor& AServ, const std::string& ARelativo, TResposta& AResp);
bool GerarMidia(const std::string& APasta, std::string& AErro);

void RegistrarRotasAdmin(httplib::Server& S, TServidor& AServ);
// POST /admin/tasks: one of the ready-made task lists into the working scenario.
bool AplicarCenarioTarefas(TServidor& AServ, const std::string& ACorpo, std::string& AErro);
// POST /admin/notices: ready-made notices, link status and acknowledgement answers.
bool AplicarCenarioAvisos(TServidor& AServ, const std::string& ACorpo, std::string& AErro);
// POST /admin/commands: one of the ready-made command queues.
bool AplicarCenarioComandos(TServidor& AServ, const std::string& ACorpo, std::string& AErro);
void RegistrarRotasPrincipais(httplib::Server& S, TServidor& AServ);
int ExecutarAutoTeste(const std::string& ACenario);
