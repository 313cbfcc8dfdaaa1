// The delivery acknowledgement of a notice and the judging of its reply.
#include "net/uConvencoes.h"
#include "notices/uAckMensagem.h"

#include "config/uVersao.h"
#include "log/uLogger.h"
#include "net/uHttpRetry.h"
#include "net/uJsonHelper.h"
#include "platform/ui/uEspera.h"
#include "platform/uErros.h"
#include "platform/uTexto.h"

bool RespostaOk(const std::string& AResposta) {
  const TRespostaJson json(AResposta);
  if (json.Tipo() == TTipoResposta::ObjetoJson) {
    const rapidjson::Value* obj = json.Objeto();
    return LerBooleanoJson(obj, "ok", false) || LerBooleanoJson(obj, "success", false);
  }
  const std::string minusculas = MinusculasAscii(AResposta);
  return Contem(minusculas, "\"ok\":true") || Contem(minusculas, "\"success\":true");
}

bool EnviarAck(const TConfigAgente& ACfg, const std::string& ASourceTable, int32_t AId,
               const std::string& AMotivo) {
  try {
    if (AId <= 0 || EmBranco(ACfg.ApiToken)) return false;
    const std::string url =
        TConfigINI::NormalizarURL(ACfg.URL, ACfg.UsarSSL) + "api/agent_message_ack.php";
    const std::string id = std::to_string(AId);
    const std::string tabela = MinusculasAscii(Aparar(ASourceTable));
    const std::string computador = ObterNomeComputadorMaiusculo();
    const std::string usuario = ObterNomeUsuario();
    bool ok = false;

    std::vector<std::string> campos = {
        "api_token=" + ACfg.ApiToken,
        "mensagem_id=" + id,
        "aviso_id=" + id,
        "computador=" + computador,
        "usuario=" + usuario,
        "source_table=" + tabela,
        std::string("versao=") + VersaoAgente(),
    };
    if (!EmBranco(AMotivo)) campos.push_back("motivo=" + AMotivo);
    try {
      const std::string resposta = THttpRetry::PostForm(url, campos, 3);
      TLogger::Log("ACK POST mensagem ID " + id + " [" + tabela +
                   "]: " + PrimeirosCaracteres(OcultarToken(resposta), 300));
      ok = RespostaOk(resposta);
    } catch (const ui::EEsperaAbandonada&) {
      throw;
    } catch (const std::exception& E) {
      TLogger::Log("Falha ACK POST mensagem ID " + id + ": " + OcultarToken(MensagemDoErro(E)));
    }
    if (ok) return true;

    const std::string urlGet =
        url + "?api_token=" + CodificarURL(ACfg.ApiToken) + "&mensagem_id=" + id +
        "&aviso_id=" + id + "&computador=" + CodificarURL(computador) +
        "&usuario=" + CodificarURL(usuario) + "&source_table=" + CodificarURL(tabela) +
        "&versao=" + CodificarURL(VersaoAgente()) + "&motivo=" + CodificarURL(AMotivo);
    try {
      const std::string resposta = THttpRetry::GetText(urlGet, 3);
      TLogger::Log("ACK GET mensagem ID " + id + " [" + tabela +
                   "]: " + PrimeirosCaracteres(OcultarToken(resposta), 300));
      ok = RespostaOk(resposta);
    } catch (const ui::EEsperaAbandonada&) {
      throw;
    } catch (const std::exception& E) {
      TLogger::Log("Falha ACK GET mensagem ID " + id + ": " + OcultarToken(MensagemDoErro(E)));
    }
    return ok;
  } catch (const ui::EEsperaAbandonada&) {
    // The program is ending with the acknowledgement unsent: nothing after it
    // may record the notice as acknowledged; the next start sends it again.
    throw;
  } catch (...) {
    // Never raises otherwise: a failed acknowledgement is sent again when the notice comes back.
    return false;
  }
}
