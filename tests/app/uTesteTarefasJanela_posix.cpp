// The tasks of the main window with the agent's real services against the
// development server: the pass opens the panel for a new list and not for the
// same one, the tab shows the raw answer and opens the panel on demand.
#include <gtest/gtest.h>

#include <string>

#include "app/uPassosAgente.h"
#include "net/uJsonHelper.h"
#include "notices/uPopupMensagem.h"
#include "tasks/uAgentTasks.h"
#include "tasks/uPopupTarefas.h"
#include "tests/app/uAgenteServidorFixture.h"

namespace {

class TarefasNaJanela : public AgenteComServidorTeste {
 protected:
  void SetUp() override {
    AgenteComServidorTeste::SetUp();
    if (HasFatalFailure()) return;
    // Every panel that opens is counted and closed.
    ui::headless::AoProcessarMensagens = [this] {
      // The link warning of the notice step comes first; it is confirmed.
      TFrmPopupMensagem* m = TFrmPopupMensagem::Ativo();
      if (!m) AvisoContado = nullptr;
      if (m && m->Liberado()) {
        // Counted once: its OK may take a few rounds to be enabled.
        if (m != AvisoContado) ++Avisos;
        AvisoContado = m;
        if (!m->chkConfirmacao->Marcado()) m->chkConfirmacao->Clicar();
        m->btnOK->Clicar();
        return;
      }
      TFrmPopupTarefas* p = TFrmPopupTarefas::Ativo();
      if (!p || p->Fechada()) return;
      ++Paineis;
      UltimoPainel = p->JsonOriginal();
      p->btnFechar->Clicar();
    };
  }
  int Paineis = 0;
  int Avisos = 0;
  TFrmPopupMensagem* AvisoContado = nullptr;
  std::string UltimoPainel;
};

TEST_F(TarefasNaJanela, PassoAbreOPainelSoParaUmaListaNovaEAAbaMostraARespostaCrua) {
  ASSERT_EQ(Admin("admin/tasks", R"({"kind":"three"})"), "{\"ok\":true}");
  auto& f = Criar(PassosAgentePadrao());
  // The first pass of the start-up found the list and showed it.
  EXPECT_EQ(Paineis, 1);
  EXPECT_EQ(f.lblStatus->Texto(), "Online");
  EXPECT_NE(UltimoPainel.find("\"id\":12"), std::string::npos) << UltimoPainel;
  EXPECT_EQ(TAgentTasks::UltimaAssinaturaTarefas(), "12:pendente;15:em_andamento;21:pendente;");

  // The same list on the next pass: no panel.
  f.ExecutarCiclo();
  EXPECT_EQ(Paineis, 1);
  EXPECT_EQ(f.lblStatus->Texto(), "Online");

  // The tab shows the answer as the server sent it, line by line.
  f.Mostrar();
  f.pgcPrincipal->AtivarPagina(2);
  f.btnAtualizarTarefas->Clicar();
  const std::string esperado = TAgentTasks::BuscarTarefasJson();
  EXPECT_EQ(f.memTarefas->Texto(), esperado);
  EXPECT_EQ(f.memLog->Linhas()[0].substr(11), "Tarefas atualizadas na aba do agente.");
  // "Abrir painel tarefas" opens it even though the list has not changed.
  f.btnAbrirTarefas->Clicar();
  EXPECT_EQ(Paineis, 2);

  // A status changed on the server: the next pass opens it again.
  Admin("demo/intranet/api/concluir-tarefa.php?api_token=tok-teste-1234567890&tarefa_id=12", "{}");
  f.ExecutarCiclo();
  EXPECT_EQ(Paineis, 3);
  EXPECT_EQ(UltimoPainel.find("\"id\":12"), std::string::npos) << "a concluded task came back";
  EXPECT_TRUE(ui::headless::Caixas().empty());
}

TEST_F(TarefasNaJanela, ComputadorSemVinculoNaoAbreNadaEOPassoSegue) {
  ASSERT_EQ(Admin("admin/tasks", R"({"kind":"unlinked"})"), "{\"ok\":true}");
  auto& f = Criar(PassosAgentePadrao());
  EXPECT_EQ(Paineis, 0);
  EXPECT_EQ(Avisos, 1);
  EXPECT_EQ(f.lblStatus->Texto(), "Online");
  // The HTML page of a failing server ends the task step only.
  ASSERT_EQ(Admin("admin/tasks", R"({"kind":"html"})"), "{\"ok\":true}");
  f.ExecutarCiclo();
  EXPECT_EQ(Paineis, 0);
  EXPECT_EQ(f.lblStatus->Texto(), "Online");
}

}  // namespace
