// The employee link check of every notice pass.
#include "net/uConvencoes.h"
#include "notices/uVinculoColaborador.h"

#include "config/uVersao.h"
#include "log/uLogger.h"
#include "net/uHttpRetry.h"
#include "net/uJsonHelper.h"
#include "notices/uEstadoMensagens.h"
#include "notices/uPopupMensagem.h"
#include "platform/uErros.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"

namespace {

constexpr double kIntervaloAvisos = 5 * kUmMinuto;

// "true" in any case, else "1"; other truthy words do not count here.
bool Sim(const rapidjson::Value* AObj, const char* ANome) {
  return IgualSemCaixa(LerTextoJson(AObj, ANome, "false"), "true") ||
         LerTextoJson(AObj, ANome, "0") == "1";
}

// Whether a warning was confirmed less than five minutes ago. A time more than
// a day ahead was written under a wrong clock: it counts as never, or the
// check would stay silent until the clock caught up with it.
bool AvisoRecente() {
  TDateTime ultimo = 0;
  if (!LerDataHoraEstado(TConfigINI::LerTexto(kSecaoVinculo, "ULTIMO_AVISO", ""), ultimo))
    return false;
  if (ultimo <= 0) return false;
  const TDateTime agora = Agora();
  if (ultimo - agora > 1.0) return false;
  return agora - ultimo < kIntervaloAvisos;
}

}  // namespace

void VerificarVinculoColaborador(const TConfigAgente& ACfg) {
  if (EmBranco(ACfg.ApiToken)) return;
  if (AvisoRecente()) return;
  try {
    const std::string base = TConfigINI::NormalizarURL(ACfg.URL, ACfg.UsarSSL);
    const std::string computador = ObterNomeComputadorMaiusculo();
    const std::string usuario = ObterNomeUsuario();
    const std::string url =
        base + "api/colaborador-vinculo.php" + "?api_token=" + CodificarURL(ACfg.ApiToken) +
        "&computador=" + CodificarURL(computador) + "&usuario=" + CodificarURL(usuario) +
        "&versao=" + CodificarURL(VersaoAgente());
    const TRespostaJson json(THttpRetry::GetText(url, 3));
    if (json.Tipo() != TTipoResposta::ObjetoJson) return;
    const rapidjson::Value* obj = json.Objeto();
    if (!Sim(obj, "ok")) return;
    const bool vinculado = Sim(obj, "vinculado");
    const bool cpfPendente = Sim(obj, "cpf_pendente");
    const std::string nome = LerTextoJson(obj, "colaborador_nome", "");
    if (vinculado && !cpfPendente) return;
    std::string cadastro = LerTextoJson(obj, "cadastro_url", "");
    if (EmBranco(cadastro)) cadastro = base + "cadastro-colaborador.php";

    std::string titulo, mensagem;
    if (!vinculado) {
      mensagem = "Este computador ainda nao esta vinculado a um colaborador.\r\n\r\nComputador: " +
                 computador + "\r\n" + "Usuario Windows: " + usuario + "\r\n" + "\r\n" +
                 "Para continuar usando corretamente o Vesk Intranet, faca o "
                 "cadastro/vinculacao do colaborador nesta maquina." +
                 "\r\n" + "\r\n" + cadastro;
      TLogger::Log("Vinculo de colaborador pendente. Exibindo aviso de cadastro.");
      titulo = "Cadastro/vinculacao pendente";
    } else {
      mensagem =
          "Seu cadastro esta vinculado a este computador, mas o CPF ainda nao foi "
          "informado.\r\n\r\nColaborador: " +
          nome + "\r\n" + "Computador: " + computador + "\r\n" + "\r\n" +
          "Informe o CPF para regularizar o cadastro e permitir a geracao correta do termo de "
          "responsabilidade." +
          "\r\n" + "\r\n" + cadastro;
      TLogger::Log("CPF pendente no cadastro do colaborador. Exibindo aviso.");
      titulo = "CPF pendente no cadastro";
    }
    // A warning closed by the end of the session was not confirmed: it comes
    // back at the next log-on.
    if (!TFrmPopupMensagem::Exibir("Vesk Intranet", titulo, mensagem, "", "", "")) return;
    const std::string arquivo = TConfigINI::ArquivoConfig();
    TConfigINI::EscreverTexto(arquivo, kSecaoVinculo, "ULTIMO_AVISO", TextoDataHoraEstado(Agora()));
    TConfigINI::Descarregar(arquivo);
  } catch (const std::exception& E) {
    TLogger::Log("Falha ao verificar vinculo do colaborador: " + OcultarToken(MensagemDoErro(E)));
  }
}
