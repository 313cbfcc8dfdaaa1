// The task service: task list, change detection by signature, and the actions.
#include "net/uConvencoes.h"
#include "tasks/uAgentTasks.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "log/uLogger.h"
#include "net/uHttpRetry.h"
#include "platform/uTexto.h"
#include "tasks/uPopupTarefas.h"

namespace {

// Lives for the process only: the first list found after each start opens the panel.
std::string GUltimaAssinatura;

// The address as logged: the token neither as written nor as it travels encoded.
std::string UrlMascarada(std::string AURL, const std::string& AToken) {
  AURL = SubstituirTudo(std::move(AURL), AToken, "***");
  const std::string codificado = CodificarURL(AToken);
  if (codificado != AToken) AURL = SubstituirTudo(std::move(AURL), codificado, "***");
  return AURL;
}

const char* EndpointDaAcao(const std::string& AAcao) {
  if (IgualSemCaixa(AAcao, "iniciar")) return "api/iniciar-tarefa.php";
  if (IgualSemCaixa(AAcao, "concluir")) return "api/concluir-tarefa.php";
  if (IgualSemCaixa(AAcao, "justificar")) return "api/justificar-tarefa.php";
  return nullptr;
}

// With more than kMaxTarefas tasks, the same object with only the first of
// them (the rest logged as left out), so that a runaway list cannot build an
// endless panel: true, and ACortada holds it as JSON text. False otherwise.
bool LimitarTarefas(const rapidjson::Value* AObj, std::string& ACortada) {
  const rapidjson::Value* tarefas = MembroJson(AObj, "tarefas");
  if (!tarefas || !tarefas->IsArray() || tarefas->Size() <= TAgentTasks::kMaxTarefas) return false;
  const rapidjson::SizeType total = tarefas->Size();
  TLogger::Log("Tarefas: " + std::to_string(total) + " na lista; lidas as primeiras " +
               std::to_string(TAgentTasks::kMaxTarefas) + ", " +
               std::to_string(total - TAgentTasks::kMaxTarefas) + " deixadas de fora.");
  rapidjson::Document copia;
  copia.CopyFrom(*AObj, copia.GetAllocator());
  rapidjson::Value* lista = const_cast<rapidjson::Value*>(MembroJson(&copia, "tarefas"));
  lista->Erase(lista->Begin() + TAgentTasks::kMaxTarefas, lista->End());
  rapidjson::StringBuffer sb;
  rapidjson::Writer<rapidjson::StringBuffer> w(sb);
  copia.Accept(w);
  ACortada.assign(sb.GetString(), sb.GetSize());
  return true;
}

}  // namespace

std::string TAgentTasks::MontarUrlTarefas(const TConfigAgente& ACfg) {
  return TConfigINI::NormalizarURL(ACfg.URL, ACfg.UsarSSL) + "api/agent_tasks.php" +
         "?api_token=" + CodificarURL(ACfg.ApiToken) +
         "&computador=" + CodificarURL(ObterNomeComputador()) +
         "&usuario=" + CodificarURL(ObterUsuarioTarefas()) + "&debug=1";
}

std::string TAgentTasks::MontarAssinaturaTarefas(const rapidjson::Value& ATarefas) {
  std::string r;
  if (!ATarefas.IsArray()) return r;
  for (const auto& t : ATarefas.GetArray()) {
    if (!t.IsObject()) continue;
    r += LerTextoJson(&t, "id", "") + ":" + LerTextoJson(&t, "status", "") + ";";
  }
  return r;
}

const std::string& TAgentTasks::UltimaAssinaturaTarefas() {
  return GUltimaAssinatura;
}

void TAgentTasks::ReiniciarAssinatura() {
  GUltimaAssinatura.clear();
}

std::string TAgentTasks::BuscarTarefasJson() {
  const TConfigAgente cfg = TConfigINI::Carregar();
  if (EmBranco(cfg.ApiToken)) {
    TLogger::Log("Tarefas ignoradas: token ausente.");
    return kRespostaTokenAusente;
  }
  const std::string url = MontarUrlTarefas(cfg);
  TLogger::Log("Buscando tarefas em: " + UrlMascarada(url, cfg.ApiToken));
  const std::string resposta = THttpRetry::GetText(url, 3);
  // The answer is masked before it is cut, so that no part of the token survives.
  if (EmBranco(resposta))
    TLogger::Log("API tarefas retornou vazio.");
  else
    TLogger::Log("Resposta API tarefas: " + PrimeirosCaracteres(OcultarToken(resposta), 1000));
  return resposta;
}

void TAgentTasks::VerificarTarefas() {
  const std::string resposta = BuscarTarefasJson();
  if (EmBranco(resposta)) return;
  const TRespostaJson json(resposta);
  if (json.Tipo() != TTipoResposta::ObjetoJson) {
    TLogger::Log("API tarefas retornou conteúdo inválido/HTML: " +
                 PrimeirosCaracteres(OcultarToken(json.Corpo()), 500));
    return;
  }
  const rapidjson::Value* obj = json.Objeto();
  if (!IgualSemCaixa(LerTextoJson(obj, "ok", "false"), "true")) {
    // Masked before it is cut; the log gets the head of a long answer only.
    TLogger::Log("API tarefas retornou erro: " +
                 CortarUtf16(OcultarToken(json.Corpo()), kMaxCorpoErroLog));
    return;
  }
  if (IgualSemCaixa(LerTextoJson(obj, "vinculado", "true"), "false")) {
    TLogger::Log("Tarefas: agente sem colaborador vinculado/aprovado.");
    return;
  }
  const rapidjson::Value* tarefas = MembroJson(obj, "tarefas");
  if (!tarefas || !tarefas->IsArray()) {
    TLogger::Log("Tarefas: retorno sem array tarefas.");
    return;
  }
  const rapidjson::SizeType total = tarefas->Size();
  TLogger::Log("API tarefas OK. Total pendente/em andamento: " + std::to_string(total));
  if (total == 0) {
    GUltimaAssinatura.clear();
    return;
  }
  std::string cortada;
  const bool cortou = LimitarTarefas(obj, cortada);
  std::string assinatura;
  if (!cortou) {
    assinatura = MontarAssinaturaTarefas(*tarefas);
  } else {
    const TRespostaJson json2(cortada);
    assinatura = MontarAssinaturaTarefas(*MembroJson(json2.Objeto(), "tarefas"));
  }
  if (assinatura == GUltimaAssinatura) return;
  // Stored first: a list the employee has seen once does not come back on every
  // pass, whatever the panel did.
  GUltimaAssinatura = std::move(assinatura);
  TFrmPopupTarefas::Exibir(cortou ? cortada : resposta);
}

void TAgentTasks::ExibirTarefasAgora() {
  const std::string resposta = BuscarTarefasJson();
  if (EmBranco(resposta)) return;
  const TRespostaJson json(resposta);
  std::string cortada;
  TFrmPopupTarefas::Exibir(LimitarTarefas(json.Objeto(), cortada) ? cortada : resposta);
}

std::string TAgentTasks::ExecutarAcao(const std::string& Acao, int32_t TarefaID,
                                      const std::string& Justificativa) {
  const TConfigAgente cfg = TConfigINI::Carregar();
  if (EmBranco(cfg.ApiToken)) return kRespostaTokenAusente;
  const char* endpoint = EndpointDaAcao(Acao);
  if (!endpoint) return kRespostaAcaoInvalida;
  std::vector<std::string> campos = {
      "api_token=" + cfg.ApiToken,
      "computador=" + ObterNomeComputador(),
      "usuario=" + ObterUsuarioTarefas(),
      "tarefa_id=" + std::to_string(TarefaID),
  };
  if (IgualSemCaixa(Acao, "justificar")) campos.push_back("justificativa=" + Justificativa);
  const std::string resposta =
      THttpRetry::PostForm(TConfigINI::NormalizarURL(cfg.URL, cfg.UsarSSL) + endpoint, campos, 3);
  TLogger::Log("Tarefa " + Acao + " ID " + std::to_string(TarefaID) + ": " +
               PrimeirosCaracteres(OcultarToken(resposta), 500));
  return resposta;
}
