// Heartbeat with the server's "api/agent_heartbeat.php".
#include "net/uConvencoes.h"
#include "services/uAgentHeartbeat.h"

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uHttpCorpo.h"
#include "net/uHttpRetry.h"
#include "net/uJsonHelper.h"
#include "platform/uErros.h"
#include "platform/uTexto.h"

namespace {

// Accepted when the body, with A-Z lowered and spaces removed, holds "ok":true.
bool Aceito(const std::string& ACorpo) {
  std::string t;
  t.reserve(ACorpo.size());
  for (char c : MinusculasAscii(ACorpo))
    if (c != ' ') t += c;
  return Contem(t, "\"ok\":true");
}

}  // namespace

void TAgentHeartbeat::EnviarHeartbeat(const std::string& AVersao) noexcept {
  try {
    const TConfigAgente cfg = TConfigINI::Carregar();
    if (EmBranco(cfg.ApiToken)) {
      TLogger::Log("Heartbeat ignorado: token ausente.");
      return;
    }
    const std::string url = TConfigINI::NormalizarURL(cfg.URL, cfg.UsarSSL) +
                            "api/agent_heartbeat.php" + "?api_token=" + CodificarURL(cfg.ApiToken) +
                            "&computador=" + CodificarURL(ObterNomeComputador()) +
                            "&usuario=" + CodificarURL(ObterNomeUsuario()) +
                            "&versao=" + CodificarURL(AVersao);
    const std::string corpo = RemoverBomUtf8(THttpRetry::GetText(url, 3));
    if (!Aceito(corpo))
      TLogger::Log("Heartbeat retorno: " + PrimeirosCaracteres(OcultarToken(corpo), 500));
  } catch (const std::exception& E) {
    TLogger::Log("Heartbeat erro: " + OcultarToken(MensagemDoErro(E)));
  } catch (...) {
    TLogger::Log("Heartbeat erro: erro desconhecido");
  }
}
