// Configuration sync with the server's "api/agent_config.php".
#include "net/uConvencoes.h"
#include "services/uAgentConfigSync.h"

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uHttpRetry.h"
#include "net/uJsonHelper.h"
#include "platform/uTexto.h"

namespace {

// Characters of a refused answer quoted in the log: the head of a long one.
constexpr size_t kMaxCorpoErroLog = 2000;

// The password hash, "" when absent or null: a null must not be stored as
// the text "null", which no typed password would ever match.
std::string HashRecebido(const rapidjson::Value* AObj) {
  for (auto it = AObj->MemberBegin(); it != AObj->MemberEnd(); ++it) {
    const rapidjson::Value& nome = it->name;
    if (std::string_view(nome.GetString(), nome.GetStringLength()) != "senha_agente_hash") continue;
    return it->value.IsNull() ? std::string() : TextoDoValorJson(it->value);
  }
  return {};
}

}  // namespace

void TAgentConfigSync::Sincronizar() {
  TConfigAgente cfg = TConfigINI::Carregar();
  if (EmBranco(cfg.ApiToken)) return;
  const std::string url = TConfigINI::NormalizarURL(cfg.URL, cfg.UsarSSL) +
                          "api/agent_config.php?api_token=" + CodificarURL(cfg.ApiToken);
  const TRespostaJson resposta(THttpRetry::GetText(url, 3));
  if (resposta.Tipo() == TTipoResposta::Vazia) return;
  // The body is masked before it is cut, so no part of the token survives.
  if (resposta.Tipo() == TTipoResposta::ConteudoInvalido) {
    TLogger::Log("agent_config retornou conteúdo inválido: " +
                 PrimeirosCaracteres(OcultarToken(resposta.Corpo()), 500));
    return;
  }
  const rapidjson::Value* obj = resposta.Objeto();
  if (!IgualSemCaixa(LerTextoJson(obj, "ok", "false"), "true")) {
    TLogger::Log("agent_config retornou erro: " +
                 CortarUtf16(OcultarToken(resposta.Corpo()), kMaxCorpoErroLog));
    return;
  }
  const std::string hash = HashRecebido(obj);
  if (EmBranco(hash)) return;
  // Rewritten on every accepted answer, changed or not.
  cfg.SenhaAgenteHash = hash;
  TConfigINI::Salvar(cfg);
  TLogger::Log("Senha do agente sincronizada.");
}
