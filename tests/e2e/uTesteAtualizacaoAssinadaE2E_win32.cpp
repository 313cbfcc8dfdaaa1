// A released agent that pins an update key, under Wine: offered its newer
// version with no signature, or signed with another key, it keeps running as it
// was; offered the same file signed with its own key (update.json as the
// release's publicar wrote it), it installs it. tests/instalador/atualizacao.sh
// makes both release folders and runs this.
#include <windows.h>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uCripto.h"
#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "tests/e2e/uAgentesE2E.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr const char* kToken = "tok-teste-1234567890";

std::string Ambiente(const char* ANome) {
  const char* v = std::getenv(ANome);
  return v ? v : "";
}

std::string Json(const std::string& ATexto) {
  std::string r = "\"";
  for (char c : ATexto) {
    if (c == '"' || c == '\\') r += '\\';
    r += c;
  }
  return r + "\"";
}

class AtualizacaoAssinadaE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without its release folders this run proves nothing: it fails.
    FAgente = Ambiente("VESK_ASSINADA_AGENTE");
    FNova = Ambiente("VESK_ASSINADA_NOVA");
    FOutra = Ambiente("VESK_ASSINADA_OUTRA");
    ASSERT_FALSE(FAgente.empty() || FNova.empty() || FOutra.empty())
        << "run through tests/instalador/atualizacao.sh, which makes the releases";
    ASSERT_FALSE(Servidor().empty()) << "no development server (run through tools/testenv.sh)";
    ASSERT_TRUE(InstalarTimeoutSubstituto()) << "timeout.exe stand-in";

    EncerrarAgentesEWatchdogs();
    FPasta = Arquivos().PastaTemporaria() + "vesk_e2e_assinada\\";
    Encerrar();
    ASSERT_TRUE(Arquivos().CriarPastas(FPasta));
    FOriginal = LerArquivo(FAgente + "\\Zelvan.exe");
    FNovo = LerArquivo(FNova + "\\Zelvan.exe");
    ASSERT_FALSE(FOriginal.empty() || FNovo.empty());
    ASSERT_TRUE(Arquivos().Gravar(FPasta + "Zelvan.exe", FOriginal));
    ASSERT_TRUE(Arquivos().Gravar(FPasta + "WatchdogAgente.exe",
                                  LerArquivo(FAgente + "\\WatchdogAgente.exe")));

    const std::string manifesto = LerArquivo(FNova + "\\update.json");
    rapidjson::Document d;
    d.Parse(manifesto.c_str(), manifesto.size());
    ASSERT_TRUE(d.IsObject()) << manifesto;
    FManifesto = manifesto;
    FVersao = LerTextoJson(&d, "versao", "");
    FArquivo = LerTextoJson(&d, "arquivo", "");
    FSha256 = LerTextoJson(&d, "sha256", "");
    ASSERT_EQ(FVersao, "1.0.116");
    ASSERT_FALSE(LerTextoJson(&d, "assinatura", "").empty()) << manifesto;

    ConfigurarServidor(kToken);
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  }
  void TearDown() override { Encerrar(); }

  // Ends the watchdog and agents of the test's folder, watchdog first.
  void Encerrar() {
    for (const char* p : {"WatchdogAgente.exe", "Zelvan.exe"})
      for (uint32_t id : Processos().ProcessosDoExecutavel(FPasta + p)) EncerrarProcesso(id);
  }

  // The manifest and the newer program on the server; the agent's earlier
  // attempt forgotten, so that it tries this version at once.
  void Publicar(const std::string& AManifesto) {
    Admin("admin/scenario", "{\"api_token\":\"" + std::string(kToken) + "\",\"update\":" +
                                AManifesto + ",\"respostas\":{" + Json(FArquivo) +
                                ":{\"content_type\":\"application/octet-stream\","
                                "\"body_base64\":\"" +
                                CodificarBase64(FNovo) + "\"}}}");
    Admin("admin/requests/clear", "{}");
    TConfigINI::ApagarChave("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO");
    TConfigINI::ApagarChave("AUTO_UPDATE", "ULTIMA_TENTATIVA_HORA");
    FInicioLog = LerArquivo(TLogger::ArquivoLogDoDia()).size();
  }
  std::string ManifestoCom(const std::string& AAssinatura) const {
    std::string m = "{\"versao\":" + Json(FVersao) + ",\"arquivo\":" + Json(FArquivo) +
                    ",\"sha256\":" + Json(FSha256);
    if (!AAssinatura.empty()) m += ",\"assinatura\":" + Json(AAssinatura);
    return m + "}";
  }
  bool HeartbeatCom(const std::string& AVersao) const {
    for (const TPedido& p : Pedidos())
      if (p.Caminho == "/demo/intranet/api/agent_heartbeat.php" &&
          ("&" + p.Consulta + "&").find("&versao=" + AVersao + "&") != std::string::npos)
        return true;
    return false;
  }
  bool Registrou(const std::string& AParte) const {
    for (const auto& l : MensagensDoLogDesde(FInicioLog))
      if (l.find(AParte) != std::string::npos) return true;
    return false;
  }
  void Despejar() const {
    for (const auto& l : MensagensDoLogDesde(FInicioLog)) std::printf("  log: %s\n", l.c_str());
  }

  std::string FAgente, FNova, FOutra, FPasta, FOriginal, FNovo;
  std::string FManifesto, FVersao, FArquivo, FSha256;
  size_t FInicioLog = 0;
};

}  // namespace

TEST_F(AtualizacaoAssinadaE2E, SoAAssinaturaDaChaveFixadaInstala) {
  const struct {
    const char* Caso;
    std::string Assinatura;
    const char* Motivo;
  } recusas[] = {
      {"sem assinatura", "", "campo assinatura ausente no update.json; arquivo descartado."},
      {"outra chave", FOutra, "assinatura do arquivo baixado invalida; arquivo descartado."},
  };
  for (const auto& r : recusas) {
    SCOPED_TRACE(r.Caso);
    Publicar(ManifestoCom(r.Assinatura));
    TProgramaDriver p = TDriver::Iniciar(FPasta + "Zelvan.exe");
    ASSERT_TRUE(p.Valido());
    const bool recusou = TDriver::AguardarAte(
        [&] { return Registrou("Auto update: " + std::string(r.Motivo)); }, 60000, 300);
    if (!recusou) Despejar();
    ASSERT_TRUE(recusou);
    // The same agent goes on with its pass.
    EXPECT_TRUE(TDriver::AguardarAte([&] { return HeartbeatCom("1.0.115"); }, 30000, 300));
    EXPECT_FALSE(p.AguardarFim(0));
    EXPECT_EQ(LerArquivo(FPasta + "Zelvan.exe"), FOriginal);
    EXPECT_FALSE(Registrou("Auto update: BAT criado em"));
    Encerrar();
    ASSERT_TRUE(p.AguardarFim(10000));
  }

  // update.json as the release wrote it.
  Publicar(FManifesto);
  TProgramaDriver p = TDriver::Iniciar(FPasta + "Zelvan.exe");
  ASSERT_TRUE(p.Valido());
  const bool chegou = TDriver::AguardarAte([&] { return HeartbeatCom("1.0.116"); }, 120000, 500);
  if (!chegou) Despejar();
  ASSERT_TRUE(chegou) << "the new version never reported itself";
  EXPECT_EQ(LerArquivo(FPasta + "Zelvan.exe"), FNovo);
  EXPECT_TRUE(Registrou("Auto update: fechando agente para aplicar atualizacao."));
}
