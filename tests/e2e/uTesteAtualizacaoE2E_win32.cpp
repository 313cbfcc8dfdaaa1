// The self-update end to end under Wine with the real programs: a copy of
// Zelvan.exe (1.0.115) in a folder of its own finds the published newer build
// of the agent (ZelvanNovo.exe, 1.0.116), downloads and checks it, writes its
// script and quits; the script replaces the executable and the new version
// reports itself in the heartbeat. A tampered file is refused and the agent
// stays. A published file that fails at once (1.0.117) is rolled back by the
// watchdog to the backup the script made.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "config/uRepasseAtualizacao.h"
#include "log/uLogger.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uCripto.h"
#include "platform/uDigest.h"
#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "tests/e2e/uAgentesE2E.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr const char* kToken = "tok-teste-1234567890";

class AtualizacaoE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* p :
         {"Zelvan.exe", "WatchdogAgente.exe", "ZelvanNovo.exe", "FalhaImediata.exe"})
      ASSERT_TRUE(Arquivos().ArquivoExiste(PastaDoExecutavel() + p)) << p << " is not built";
    ASSERT_FALSE(Servidor().empty()) << "no development server (run through tools/testenv.sh)";
    ASSERT_TRUE(InstalarTimeoutSubstituto()) << "timeout.exe stand-in";
    EncerrarAgentesEWatchdogs();
    FPasta = Arquivos().PastaTemporaria() + "vesk_e2e_update\\";
    Encerrar();
    for (const auto& a : Arquivos().Listar(FPasta + "backup\\", "*"))
      Arquivos().Apagar(FPasta + "backup\\" + a.Nome);
    for (const auto& a : Arquivos().Listar(FPasta, "*")) Arquivos().Apagar(FPasta + a.Nome);
    ASSERT_TRUE(Arquivos().CriarPastas(FPasta));
    FOriginal = LerArquivo(PastaDoExecutavel() + "Zelvan.exe");
    ASSERT_TRUE(Arquivos().Gravar(FPasta + "Zelvan.exe", FOriginal));
    ASSERT_TRUE(Arquivos().Gravar(FPasta + "WatchdogAgente.exe",
                                  LerArquivo(PastaDoExecutavel() + "WatchdogAgente.exe")));
    ConfigurarServidor(kToken);
    TConfigINI::EscreverTexto("SERVIDOR", "INTERVALO_SEGUNDOS", "5");
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    FInicioLog = LerArquivo(TLogger::ArquivoLogDoDia()).size();
  }
  void TearDown() override { Encerrar(); }

  // Ends the watchdog and agents of the test's folder, watchdog first.
  void Encerrar() {
    for (const char* p : {"WatchdogAgente.exe", "Zelvan.exe"})
      for (uint32_t id : Processos().ProcessosDoExecutavel(FPasta + p)) EncerrarProcesso(id);
  }
  void Publicar(const std::string& AManifesto, const std::string& ANome,
                const std::string& AArquivo) {
    Admin("admin/scenario",
          "{\"api_token\":\"" + std::string(kToken) + "\",\"update\":" + AManifesto +
              ",\"respostas\":{\"downloads/" + ANome +
              "\":{\"content_type\":\"application/octet-stream\",\"body_base64\":\"" +
              CodificarBase64(AArquivo) + "\"}}}");
    Admin("admin/requests/clear", "{}");
  }
  // "METHOD path" of every request recorded, and the heartbeat versions.
  std::vector<std::string> Pedidos(std::vector<std::string>* AVersoes = nullptr) const {
    rapidjson::Document d;
    const std::string t = Admin("admin/requests");
    d.Parse(t.c_str(), t.size());
    std::vector<std::string> r;
    if (!d.IsArray()) return r;
    for (const auto& x : d.GetArray()) {
      const std::string caminho = LerTextoJson(&x, "path", "");
      r.push_back(LerTextoJson(&x, "method", "") + " " + caminho);
      // The heartbeat is a GET: its version travels in the query.
      if (AVersoes && caminho == "/demo/intranet/api/agent_heartbeat.php") {
        const std::string q = "&" + LerTextoJson(&x, "query", "") + "&";
        const size_t p = q.find("&versao=");
        if (p != std::string::npos)
          AVersoes->push_back(q.substr(p + 8, q.find('&', p + 1) - p - 8));
      }
    }
    return r;
  }
  bool HeartbeatCom(const std::string& AVersao) const {
    std::vector<std::string> v;
    Pedidos(&v);
    for (const auto& x : v)
      if (x == AVersao) return true;
    return false;
  }
  std::vector<std::string> Linhas() const { return MensagensDoLogDesde(FInicioLog); }
  bool Registrou(const std::string& AParte) const {
    for (const auto& l : Linhas())
      if (l.find(AParte) != std::string::npos) return true;
    return false;
  }
  void Despejar() const {
    for (const auto& l : Linhas()) std::printf("  log: %s\n", l.c_str());
  }

  std::string FPasta, FOriginal;
  size_t FInicioLog = 0;
};

}  // namespace

TEST_F(AtualizacaoE2E, VersaoNovaBaixadaInstaladaEReportadaNoHeartbeat) {
  const std::string novo = LerArquivo(PastaDoExecutavel() + "ZelvanNovo.exe");
  Publicar("{\"versao\":\"1.0.116\",\"arquivo\":\"downloads/ZelvanNovo.exe\",\"sha256\":\"" +
               Sha256Hex(novo) + "\"}",
           "ZelvanNovo.exe", novo);
  TProgramaDriver p = TDriver::Iniciar(FPasta + "Zelvan.exe");
  ASSERT_TRUE(p.Valido());
  const bool chegou = TDriver::AguardarAte([&] { return HeartbeatCom("1.0.116"); }, 120000, 500);
  if (!chegou) Despejar();
  ASSERT_TRUE(chegou) << "the new version never reported itself";
  EXPECT_TRUE(p.AguardarFim(1000)) << "the old agent quit";
  EXPECT_EQ(LerArquivo(FPasta + "Zelvan.exe"), novo);
  // Downloaded into the employee's own folder; the checked copy was renamed.
  EXPECT_EQ(LerArquivo(TConfigINI::PastaUsuario() + "update\\Zelvan_new.exe"), novo);
  EXPECT_FALSE(Arquivos().ArquivoExiste(TConfigINI::PastaBase() + "update\\Zelvan_new.exe"));
  EXPECT_FALSE(Arquivos().ArquivoExiste(FPasta + "Zelvan.exe.novo"));
  const auto backups = Arquivos().Listar(FPasta + "backup\\", "Zelvan_backup_*.exe");
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(LerArquivo(FPasta + "backup\\" + backups[0].Nome), FOriginal);
  EXPECT_TRUE(Registrou("Auto update: fechando agente para aplicar atualizacao."));
  EXPECT_TRUE(Registrou("Auto update: nenhuma atualizacao necessaria. Versoes iguais."))
      << "the new version finds nothing newer";
  // The record of one full update, for whoever reads the test's output.
  for (const auto& r : Pedidos()) std::printf("  pedido: %s\n", r.c_str());
  EXPECT_FALSE(Registrou("Watchdog: agente reiniciado apos falha"));
}

TEST_F(AtualizacaoE2E, ArquivoAdulteradoRecusadoEAgenteContinua) {
  const std::string novo = LerArquivo(PastaDoExecutavel() + "ZelvanNovo.exe");
  std::string adulterado = novo;
  adulterado[adulterado.size() / 2] ^= 0x55;
  Publicar("{\"versao\":\"1.0.116\",\"arquivo\":\"downloads/ZelvanNovo.exe\",\"sha256\":\"" +
               Sha256Hex(novo) + "\"}",
           "ZelvanNovo.exe", adulterado);
  TProgramaDriver p = TDriver::Iniciar(FPasta + "Zelvan.exe");
  ASSERT_TRUE(p.Valido());
  ASSERT_TRUE(TDriver::AguardarAte(
      [&] { return Registrou("nao confere com o update.json; arquivo descartado."); }, 60000, 300));
  // Still the same agent, still passing.
  Admin("admin/requests/clear", "{}");
  EXPECT_TRUE(TDriver::AguardarAte([&] { return HeartbeatCom("1.0.115"); }, 30000, 300));
  EXPECT_FALSE(p.AguardarFim(0));
  EXPECT_EQ(LerArquivo(FPasta + "Zelvan.exe"), FOriginal);
  EXPECT_FALSE(Registrou("Auto update: BAT criado em"));
}

TEST_F(AtualizacaoE2E, VersaoQueFalhaLogoERevertidaPeloWatchdog) {
  const std::string falha = LerArquivo(PastaDoExecutavel() + "FalhaImediata.exe");
  Publicar("{\"versao\":\"1.0.117\",\"arquivo\":\"downloads/FalhaImediata.exe\"}",
           "FalhaImediata.exe", falha);
  TProgramaDriver p =
      TDriver::Iniciar(FPasta + "Zelvan.exe", {}, {{"VESK_WATCHDOG_ESPERA_MS", "1000"}});
  ASSERT_TRUE(p.Valido());
  const bool revertido = TDriver::AguardarAte(
      [&] { return Registrou("Watchdog: agente restaurado iniciado"); }, 150000, 500);
  if (!revertido) Despejar();
  ASSERT_TRUE(revertido);
  EXPECT_TRUE(Registrou(
      "Watchdog: erro: versao 1.0.117 terminou com falha 3 vezes logo apos a atualizacao; "
      "backup restaurado: Zelvan_backup_"));
  EXPECT_EQ(LerArquivo(FPasta + "Zelvan.exe"), FOriginal);
  EXPECT_EQ(TRegistroRepasse::Revertida(FPasta + "Zelvan.exe"), "1.0.117");
  // The restored agent runs, reports 1.0.115 and does not install 1.0.117 again.
  Admin("admin/requests/clear", "{}");
  EXPECT_TRUE(TDriver::AguardarAte([&] { return HeartbeatCom("1.0.115"); }, 30000, 300));
  EXPECT_TRUE(TDriver::AguardarAte(
      [&] {
        return Registrou(
            "Auto update: versao 1.0.117 revertida pelo watchdog apos falhas; atualizacao "
            "ignorada.");
      },
      30000, 300));
  for (const auto& l : Linhas())
    if (l.find("Watchdog") != std::string::npos) std::printf("  log: %s\n", l.c_str());
}
