// Notices end to end: the real Zelvan.exe against the development server. The
// link warnings and a notice with logo, image, audio and wallpaper show; the
// employee confirms each through the window driver; the server records the
// acknowledgement; the media are gone; the next pass shows nothing. Killed with
// a notice open, the agent (restarted by its watchdog) re-acknowledges it in
// silence and shows nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config/uConfigINI.h"
#include "net/uConvencoes.h"
#include "platform/uArquivos.h"
#include "platform/uTexto.h"
#include "tests/e2e/uAgentesE2E.h"
#include "tools/wine/uCaptura.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr uint32_t kEspera = 30000;
constexpr const char* kToken = "tok-teste-1234567890";

TJanela AguardarPopup(uint32_t APid, const std::string& ATitulo) {
  return ::AguardarPopup(APid, ATitulo, kEspera);
}

// Confirmed, and gone.
bool Confirmar(TJanela APopup, const std::string& ATela = "") {
  return ConfirmarPopup(APopup, kEspera, ATela) && TDriver::AguardarDestruicao(APopup, kEspera);
}

// The cache's notice media (the wallpaper's converted bitmap aside).
std::vector<std::string> MidiasNoCache() {
  std::vector<std::string> r;
  for (const auto& f : Arquivos().Listar(TConfigINI::PastaBase() + "cache\\", "*"))
    if (!IgualSemCaixa(ExtensaoDe(f.Nome), ".bmp")) r.push_back(f.Nome);
  return r;
}

class AvisosE2E : public AgenteEmTeste {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProgramaEServidor());
    ConfigurarServidor(kToken);
    TConfigINI::EscreverTexto("SERVIDOR", "INTERVALO_SEGUNDOS", "5");
  }

  // Closed with the password the server published, so that the watchdog lets it go.
  void FecharComSenha() {
    TJanela janela = AguardarJanelaPrincipal(FPrograma.Id(), kEspera, false);
    ASSERT_NE(janela, nullptr);
    FecharComSenhaDoCenario(FPrograma, janela, kEspera);
  }
};

}  // namespace

TEST_F(AvisosE2E, AvisosConfirmadosAckGravadoMidiasExcluidasEProximoPassoSemNada) {
  ASSERT_EQ(Admin("admin/notices", R"({"kind":"media","link":"not_linked"})"), "{\"ok\":true}");
  Admin("admin/requests/clear", "{}");
  FPrograma = TDriver::Iniciar(Zelvan());
  ASSERT_TRUE(FPrograma.Valido());

  // The link warning comes first, its address the popup's link.
  TJanela aviso = AguardarPopup(FPrograma.Id(), "Cadastro/vinculacao pendente");
  ASSERT_NE(aviso, nullptr) << "no link warning";
  EXPECT_NE(TDriver::ProcurarControle(aviso, "", "Vesk Intranet"), nullptr);
  EXPECT_NE(TDriver::ProcurarControle(aviso, "", "Abrir link de cadastro/processo"), nullptr);
  TDriver::Processar(500);
  EXPECT_TRUE(CapturarJanela(aviso, "avisos_vinculo_pendente"));
  ASSERT_TRUE(Confirmar(aviso));
  EXPECT_NE(TConfigINI::LerTexto("VINCULO_COLABORADOR", "ULTIMO_AVISO", ""), "");

  // Then the notice, with its media from the cache.
  TJanela popup = AguardarPopup(FPrograma.Id(), "Nova politica de seguranca");
  ASSERT_NE(popup, nullptr) << "the notice did not show";
  const std::vector<std::string> midias = MidiasNoCache();
  EXPECT_EQ(midias.size(), 4u) << "logo, image, audio and wallpaper in the cache";
  const std::string chave = "avisos:201:" + ObterNomeComputadorMaiusculo();
  EXPECT_NE(TConfigINI::LerTexto("MENSAGENS_PROCESSADAS", chave, ""), "")
      << "not recorded before the popup";
  EXPECT_TRUE(Acks().empty()) << "acknowledged before the confirmation";
  TDriver::Processar(500);
  EXPECT_TRUE(CapturarJanela(popup, "avisos_popup_midias"));
  ASSERT_TRUE(Confirmar(popup, "avisos_popup_confirmado"));

  ASSERT_TRUE(TDriver::AguardarAte([] { return !Acks().empty(); }, kEspera));
  const std::vector<TPedido> acks = Acks();
  ASSERT_EQ(acks.size(), 1u);
  EXPECT_EQ(acks[0].Metodo, "POST");
  EXPECT_EQ(Campo(acks[0], "motivo"), "li_entendi_excluir_local");
  EXPECT_EQ(Campo(acks[0], "mensagem_id"), "201");
  EXPECT_EQ(Campo(acks[0], "source_table"), "avisos");
  ASSERT_TRUE(TDriver::AguardarAte(
      [&] { return TConfigINI::LerTexto("MENSAGENS_EXCLUIDAS", chave, "") != ""; }, kEspera));
  EXPECT_TRUE(MidiasNoCache().empty()) << MidiasNoCache().front();
  // What the server recorded for the confirmed notice, in order.
  std::printf("requests recorded for one confirmed notice:\n");
  for (const TPedido& p : Pedidos()) {
    std::string form;
    for (const auto& [n, v] : p.Form) form += (form.empty() ? "" : "&") + n + "=" + v;
    std::printf("  %s %s%s%s%s%s\n", p.Metodo.c_str(), p.Caminho.c_str(),
                p.Consulta.empty() ? "" : "?", OcultarToken(p.Consulta).c_str(),
                form.empty() ? "" : "  form: ", OcultarToken(form).c_str());
  }

  // The next pass: the server says "lida", nothing shows, nothing is re-sent.
  // The link now asks for the CPF; its five minutes are taken off by hand.
  ASSERT_EQ(Admin("admin/notices", R"({"link":"cpf_missing"})"), "{\"ok\":true}");
  TConfigINI::EscreverTexto("VINCULO_COLABORADOR", "ULTIMO_AVISO", "");
  Admin("admin/requests/clear", "{}");
  TJanela cpf = AguardarPopup(FPrograma.Id(), "CPF pendente no cadastro");
  ASSERT_NE(cpf, nullptr) << "no CPF warning";
  TDriver::Processar(500);
  EXPECT_TRUE(CapturarJanela(cpf, "avisos_cpf_pendente"));
  ASSERT_TRUE(Confirmar(cpf));
  ASSERT_TRUE(TDriver::AguardarAte(
      [] {
        for (const TPedido& p : Pedidos())
          if (p.Caminho == "/demo/intranet/api/agent_tasks.php") return true;
        return false;
      },
      kEspera))
      << "the pass did not get past the notices";
  EXPECT_EQ(AguardarPopup(FPrograma.Id(), "Nova politica de seguranca"), nullptr);
  EXPECT_TRUE(Acks().empty()) << "re-acknowledged a notice the server has as read";
  FecharComSenha();
}

TEST_F(AvisosE2E, MortoComOPopupAbertoOProximoInicioReenviaOAckEmSilencio) {
  ASSERT_EQ(Admin("admin/notices", R"({"kind":"text","link":"linked"})"), "{\"ok\":true}");
  Admin("admin/requests/clear", "{}");
  // The watchdog restarts a killed agent after a second.
  FPrograma = TDriver::Iniciar(Zelvan(), {}, {{"VESK_WATCHDOG_ESPERA_MS", "1000"}});
  ASSERT_TRUE(FPrograma.Valido());
  TJanela popup = AguardarPopup(FPrograma.Id(), "Aviso de texto");
  ASSERT_NE(popup, nullptr);
  const std::string chave = "mensagens:241:" + ObterNomeComputadorMaiusculo();
  EXPECT_NE(TConfigINI::LerTexto("MENSAGENS_PROCESSADAS", chave, ""), "");
  const uint32_t primeiro = FPrograma.Id();
  FPrograma.Encerrar(1);
  EXPECT_TRUE(Acks().empty());

  // The next start: found by its main window, of another process.
  DWORD pid = 0;
  ASSERT_TRUE(TDriver::AguardarAte(
      [&] {
        HWND h = FindWindowW(L"VeskJanela", L"Zelvan");
        if (!h) return false;
        GetWindowThreadProcessId(h, &pid);
        return pid != 0 && pid != primeiro;
      },
      kEspera))
      << "the watchdog did not start the agent again";
  HANDLE processo = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  ASSERT_NE(processo, nullptr);
  FPrograma = TProgramaDriver(processo, pid);
  ASSERT_TRUE(TDriver::AguardarAte([] { return !Acks().empty(); }, kEspera))
      << "no silent acknowledgement";
  const std::vector<TPedido> acks = Acks();
  EXPECT_EQ(Campo(acks[0], "motivo"), "reenvio_ack_silencioso_processada_local");
  EXPECT_EQ(Campo(acks[0], "mensagem_id"), "241");
  EXPECT_EQ(AguardarPopup(pid, "Aviso de texto"), nullptr) << "shown a second time";
  EXPECT_EQ(TConfigINI::LerTexto("MENSAGENS_EXCLUIDAS", chave, ""), "");
  FecharComSenha();
}
