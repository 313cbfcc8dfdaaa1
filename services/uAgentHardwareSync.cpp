// Inventory upload to "api/agent_hardware.php", remembered in [HARDWARE].
#include "net/uConvencoes.h"
#include "services/uAgentHardwareSync.h"

#include <cstdio>

#include "config/uConfigINI.h"
#include "config/uVersao.h"
#include "log/uLogger.h"
#include "net/uHttpRetry.h"
#include "net/uJsonHelper.h"
#include "platform/uErros.h"
#include "platform/uLocalidade.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"

namespace {

const char* const kSecao = "HARDWARE";

}  // namespace

std::string TAgentHardwareSync::FormatarDecimal(double AValor, const std::string& ASeparador) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", AValor);
  // As the regional format writes it, then back to a point.
  std::string t = SubstituirTudo(buf, ".", ASeparador);
  return SubstituirTudo(std::move(t), ",", ".");
}

std::string TAgentHardwareSync::FormatarDecimal(double AValor) {
  return FormatarDecimal(AValor, SeparadorDecimal());
}

bool TAgentHardwareSync::EnvioDevido(const std::string& AUltimoEnvio, const std::string& AVersao,
                                     TDateTime AAgora) {
  TDateTime ultimo = 0;
  if (!LerDataHoraRegional(AUltimoEnvio, ultimo)) ultimo = 0;
  // A time far ahead was written under a wrong clock since corrected; waiting
  // for it would stop the inventory for as long as the error was large.
  if (ultimo - AAgora > kFuturoAceitoDias) ultimo = 0;
  return !(ultimo > 0 && AAgora - ultimo < kPeriodoDias && AVersao == VersaoAgente());
}

std::vector<std::string> TAgentHardwareSync::MontarFormulario(const std::string& AApiToken,
                                                              const TAgentHardwareInfo& I) {
  return {
      "api_token=" + AApiToken,
      "computador=" + I.Computador,
      "usuario=" + I.Usuario,
      "processador=" + I.Processador,
      "processador_nucleos=" + std::to_string(I.ProcessadorNucleos),
      "memoria_ram_gb=" + FormatarDecimal(I.MemoriaRamGB),
      "disco_total_gb=" + FormatarDecimal(I.DiscoTotalGB),
      "disco_livre_gb=" + FormatarDecimal(I.DiscoLivreGB),
      "disco_sistema=" + I.DiscoSistema,
      "windows_versao=" + I.WindowsVersao,
      "arquitetura=" + I.Arquitetura,
      "marca_equipamento=" + I.MarcaEquipamento,
      "modelo_equipamento=" + I.ModeloEquipamento,
      "fabricante=" + I.MarcaEquipamento,
      "marca_notebook=" + I.MarcaEquipamento,
      "modelo_notebook=" + I.ModeloEquipamento,
      "modelo=" + I.ModeloEquipamento,
      std::string("versao_agente=") + VersaoAgente(),
  };
}

void TAgentHardwareSync::SincronizarInventario() {
  const TConfigAgente cfg = TConfigINI::Carregar();
  if (EmBranco(cfg.ApiToken)) return;
  if (!EnvioDevido(TConfigINI::LerTexto(kSecao, "ULTIMO_ENVIO", ""),
                   TConfigINI::LerTexto(kSecao, "VERSAO_ULTIMO_ENVIO", ""), Agora()))
    return;
  const TAgentHardwareInfo info = TAgentHardwareInfoHelper::Coletar();
  try {
    const std::vector<std::string> form = MontarFormulario(cfg.ApiToken, info);
    TLogger::Log("Inventario hardware coletado antes do envio: computador=" + info.Computador +
                 " usuario=" + info.Usuario + " marca=" + info.MarcaEquipamento +
                 " modelo=" + info.ModeloEquipamento);
    const std::string url =
        TConfigINI::NormalizarURL(cfg.URL, cfg.UsarSSL) + "api/agent_hardware.php";
    const std::string retorno = THttpRetry::PostForm(url, form, 3);
    TLogger::Log("Inventario hardware enviado. Marca=" + info.MarcaEquipamento +
                 " Modelo=" + info.ModeloEquipamento +
                 " Retorno=" + PrimeirosCaracteres(OcultarToken(retorno), 300));
    // Any answer counts as delivered and starts a new period.
    TConfigINI::EscreverTexto(kSecao, "ULTIMO_ENVIO", FormatarDataHoraRegional(Agora()));
    TConfigINI::EscreverTexto(kSecao, "VERSAO_ULTIMO_ENVIO", VersaoAgente());
    TConfigINI::EscreverTexto(kSecao, "ULTIMA_MARCA", info.MarcaEquipamento);
    TConfigINI::EscreverTexto(kSecao, "ULTIMO_MODELO", info.ModeloEquipamento);
    TConfigINI::Descarregar();
  } catch (const std::exception& E) {
    TLogger::Log("Falha ao enviar inventario hardware: " + OcultarToken(MensagemDoErro(E)));
  } catch (...) {
    TLogger::Log("Falha ao enviar inventario hardware: erro desconhecido");
  }
}
