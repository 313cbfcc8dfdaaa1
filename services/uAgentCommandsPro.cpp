// Remote commands of "api/agent_commands.php".
#include "net/uConvencoes.h"
#include "services/uAgentCommandsPro.h"

#include <rapidjson/document.h>

#include <cmath>
#include <vector>

#include "config/uConfigINI.h"
#include "config/uVersao.h"
#include "log/uLogger.h"
#include "net/uHttpCorpo.h"
#include "net/uHttpRetry.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uErros.h"
#include "platform/uLocalidade.h"
#include "platform/uRelogio.h"
#include "platform/uShell.h"
#include "platform/uTexto.h"
#include "services/uCacheCleaner.h"
#include "services/uPedidoSaida.h"

namespace {

const char* const kSecaoGuarda = "COMANDOS_REMOTOS";
const char* const kChaveId = "REINICIAR_ID";
const char* const kChaveHora = "REINICIAR_HORA";
// The latest restarts by command, ";" between their moments.
const char* const kChaveHistorico = "REINICIAR_HISTORICO";
const TFormatoRegional kFormatoCarimbo{"yyyy-MM-dd", "HH:mm:ss", "AM", "PM"};

std::string Endpoint(const TConfigAgente& ACfg) {
  return TConfigINI::NormalizarURL(ACfg.URL, ACfg.UsarSSL) + "api/agent_commands.php";
}

// What the restart command reports to the server when it did not restart.
const char* const kRetornoRecusadoGuarda =
    "Reinicio recusado: mesmo comando executado ha menos de 10 minutos";
const char* const kRetornoRecusadoLimite =
    "Reinicio recusado: limite de 3 reinicios por hora atingido";
static_assert(TAgentCommandsPro::kMaxReiniciosPorHora == 3, "the texts name the limit");
const char* const kRetornoFalhaRegistro =
    "Falha ao reiniciar agente: comando nao registrado no config.ini";
const char* const kRetornoFalhaInicio = "Falha ao reiniciar agente: nova instancia nao iniciada";
// Only a caller that gives the service no update check meets it; the agent always does.
const char* const kRetornoUpdateIndisponivel =
    "Update recusado: verificacao de atualizacao indisponivel";

// The moments of the latest restarts by command, oldest first, as stored.
std::vector<TDateTime> ReiniciosGuardados() {
  std::vector<TDateTime> r;
  const std::string t = TConfigINI::LerTexto(kSecaoGuarda, kChaveHistorico, "");
  size_t inicio = 0;
  while (inicio <= t.size()) {
    size_t fim = t.find(';', inicio);
    if (fim == std::string::npos) fim = t.size();
    TDateTime quando = 0;
    if (LerDataHoraRegional(kFormatoCarimbo, Aparar(t.substr(inicio, fim - inicio)), quando))
      r.push_back(quando);
    inicio = fim + 1;
  }
  return r;
}

// Remembers the restart before the new copy starts, so that the copy, seeing
// the same command still queued, does not restart again, and so that the hour's
// count survives the restarts it counts.
void LembrarReinicio(int32_t AId, TDateTime AAgora) {
  std::vector<TDateTime> h = ReiniciosGuardados();
  h.push_back(AAgora);
  if (h.size() > TAgentCommandsPro::kMaxReiniciosPorHora)
    h.erase(h.begin(), h.end() - static_cast<long>(TAgentCommandsPro::kMaxReiniciosPorHora));
  std::string historico;
  for (TDateTime t : h)
    historico += (historico.empty() ? "" : ";") + FormatarDataHora("yyyy-mm-dd hh:nn:ss", t);
  TConfigINI::EscreverTexto(kSecaoGuarda, kChaveId, std::to_string(AId));
  TConfigINI::EscreverTexto(kSecaoGuarda, kChaveHora,
                            FormatarDataHora("yyyy-mm-dd hh:nn:ss", AAgora));
  TConfigINI::EscreverTexto(kSecaoGuarda, kChaveHistorico, historico);
  TConfigINI::Descarregar();
}

// Reports first, as every command does: a report that fails leaves the
// command queued and the agent as it was. Whatever then stops the restart is
// reported again, so that the server's last word for the id is the truth.
void Reiniciar(const std::string& AToken, int32_t AId) {
  const TDateTime agora = Agora();
  const std::string id = std::to_string(AId);
  if (TAgentCommandsPro::ReinicioRecente(AId, agora)) {
    TAgentCommandsPro::EnviarRetornoComando(AToken, AId, kRetornoRecusadoGuarda);
    TLogger::Log("Aviso: comando reiniciar id=" + id +
                 " ja executado ha menos de 10 minutos; agente nao reiniciado.");
    return;
  }
  if (TAgentCommandsPro::ReiniciosNaUltimaHora(agora) >= TAgentCommandsPro::kMaxReiniciosPorHora) {
    TAgentCommandsPro::EnviarRetornoComando(AToken, AId, kRetornoRecusadoLimite);
    TLogger::Log("Aviso: comando reiniciar id=" + id +
                 " recusado: limite de 3 reinicios por hora atingido; agente nao reiniciado.");
    return;
  }
  TAgentCommandsPro::EnviarRetornoComando(AToken, AId, "Reiniciando agente");
  TLogger::Log("Comando executado: reiniciar");
  try {
    LembrarReinicio(AId, agora);
  } catch (const std::exception& E) {
    // Without the memory a lost report would restart every new copy again.
    TLogger::Log("Falha ao reiniciar agente: comando nao registrado em config.ini: " +
                 MensagemDoErro(E));
    TAgentCommandsPro::EnviarRetornoComando(AToken, AId, kRetornoFalhaRegistro);
    return;
  }
  TChamadaShell c;
  c.Verbo = "open";
  c.Arquivo = Arquivos().CaminhoExecutavel();
  c.Mostrar = kSwShowNormal;
  const intptr_t r = Shell().Executar(c);
  if (r <= 32) {
    // The running agent stays: quitting now would leave the computer without one.
    TLogger::Log("Falha ao reiniciar agente: nova instancia nao iniciada (ShellExecute=" +
                 std::to_string(static_cast<long long>(r)) + "); agente continua em execucao.");
    TAgentCommandsPro::EnviarRetornoComando(AToken, AId, kRetornoFalhaInicio);
    return;
  }
  TPedidoSaida::Solicitar("reiniciar");
}

void Executar(const std::string& AToken, int32_t AId, const std::string& AComando,
              const TAgentCommandsPro::TVerificacaoAtualizacao& AVerificarAtualizacao) {
  if (AComando == "limpar_cache") {
    TCacheCleaner::LimparTudoCache();
    TAgentCommandsPro::EnviarRetornoComando(AToken, AId, "Cache limpo");
    TLogger::Log("Comando executado: limpar_cache");
  } else if (AComando == "forcar_update") {
    if (!AVerificarAtualizacao) {
      TAgentCommandsPro::EnviarRetornoComando(AToken, AId, kRetornoUpdateIndisponivel);
      TLogger::Log("Comando forcar_update recusado: verificacao de atualizacao indisponivel.");
      return;
    }
    TAgentCommandsPro::EnviarRetornoComando(AToken, AId, "Update iniciado");
    TLogger::Log("Comando executado: forcar_update");
    AVerificarAtualizacao(VersaoAgente());
  } else if (AComando == "reiniciar") {
    Reiniciar(AToken, AId);
  } else {
    TAgentCommandsPro::EnviarRetornoComando(AToken, AId, "Comando desconhecido: " + AComando);
    TLogger::Log("Comando desconhecido: " + AComando);
  }
}

}  // namespace

std::string TAgentCommandsPro::MontarTokenAgente() {
  return ObterNomeComputador() + "_" + ObterNomeUsuario();
}

void TAgentCommandsPro::EnviarRetornoComando(const std::string& AToken, int32_t AId,
                                             const std::string& ARetorno) {
  THttpRetry::PostForm(
      Endpoint(TConfigINI::Carregar()),
      {"acao=retorno", "token=" + AToken, "id=" + std::to_string(AId), "retorno=" + ARetorno}, 3);
}

bool TAgentCommandsPro::ReinicioRecente(int32_t AId, TDateTime AAgora) {
  int32_t id = 0;
  if (!LerInteiroDecimal32(TConfigINI::LerTexto(kSecaoGuarda, kChaveId, ""), id) || id != AId)
    return false;
  TDateTime quando = 0;
  if (!LerDataHoraRegional(kFormatoCarimbo, TConfigINI::LerTexto(kSecaoGuarda, kChaveHora, ""),
                           quando))
    return false;
  // Either way: a clock set back must not free the command early either.
  return std::fabs(AAgora - quando) < kGuardaReiniciarDias;
}

size_t TAgentCommandsPro::ReiniciosNaUltimaHora(TDateTime AAgora) {
  size_t n = 0;
  // Either way, as the guard: a clock set back does not free the count early.
  for (TDateTime t : ReiniciosGuardados())
    if (std::fabs(AAgora - t) < kJanelaReiniciosDias) ++n;
  return n;
}

void TAgentCommandsPro::VerificarComandos(
    const TVerificacaoAtualizacao& AVerificarAtualizacao) noexcept {
  try {
    const TConfigAgente cfg = TConfigINI::Carregar();
    const std::string token = MontarTokenAgente();
    const std::string endpoint = Endpoint(cfg);
    TLogger::Log("Consultando comandos remotos...");
    // Encoded, so that blanks, "&", "#", "+" or "%" in the names reach the
    // server as the same token it queued the commands for.
    const std::string corpo =
        RemoverBomUtf8(THttpRetry::GetText(endpoint + "?token=" + CodificarURL(token), 3));
    rapidjson::Document doc;
    if (!AnalisarJson(doc, corpo)) return;
    if (!doc.IsObject()) throw EVesk("resposta de comandos nao e um objeto JSON");
    const rapidjson::Value* comandos = MembroJson(&doc, "comandos");
    if (!comandos) return;
    if (!comandos->IsArray()) throw EVesk("\"comandos\" nao e uma lista");
    const auto lista = comandos->GetArray();
    if (lista.Size() > kMaxComandosPorCiclo)
      TLogger::Log("Aviso: " + std::to_string(lista.Size()) + " comandos remotos na fila; " +
                   std::to_string(kMaxComandosPorCiclo) +
                   " executados neste ciclo, os demais no proximo.");
    size_t executados = 0;
    for (const rapidjson::Value& e : lista) {
      if (executados++ >= kMaxComandosPorCiclo) break;
      // The commands after a restart or update are left for the new copy.
      if (TPedidoSaida::Pular("comandos remotos")) break;
      if (!e.IsObject()) throw EVesk("comando remoto nao e um objeto JSON");
      const int32_t id = ObterJsonInteiro(&e, "id", 0);
      const std::string comando = ObterJsonTexto(&e, "comando", "");
      Executar(token, id, comando, AVerificarAtualizacao);
    }
  } catch (const std::exception& E) {
    TLogger::Log("Erro comandos remotos: " + OcultarToken(MensagemDoErro(E)));
  } catch (...) {
    TLogger::Log("Erro comandos remotos: erro desconhecido");
  }
}
