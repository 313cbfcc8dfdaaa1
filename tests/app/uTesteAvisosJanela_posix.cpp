// Notices in the main window's pass with the agent's real services against the
// development server: the notice step runs after the inventory and before the
// tasks, its popup is confirmed, and the pass ends "Online".
#include <gtest/gtest.h>

#include <string>

#include "app/uPassosAgente.h"
#include "notices/uEstadoMensagens.h"
#include "notices/uPopupMensagem.h"
#include "platform/uMci.h"
#include "tasks/uAgentTasks.h"
#include "tasks/uPopupTarefas.h"
#include "tests/app/uAgenteServidorFixture.h"

namespace {

class AvisosNaJanela : public AgenteComServidorTeste {
 protected:
  void SetUp() override {
    AgenteComServidorTeste::SetUp();
    if (HasFatalFailure()) return;
    // The server's "today" is the real one.
    Relogio.DefinirAgora(ImplementacaoPadrao(SeamTag<IRelogio>{}).Agora());
    ui::headless::AoProcessarMensagens = [this] {
      if (TFrmPopupMensagem* m = TFrmPopupMensagem::Ativo(); m && m->EmEspera()) {
        if (Ordem.empty() || Ordem.back() != "aviso:" + m->lblTitulo->Texto())
          Ordem.push_back("aviso:" + m->lblTitulo->Texto());
        if (!m->Liberado()) return;
        if (!m->chkConfirmacao->Marcado()) m->chkConfirmacao->Clicar();
        m->btnOK->Clicar();
        return;
      }
      if (TFrmPopupTarefas* p = TFrmPopupTarefas::Ativo(); p && !p->Fechada()) {
        Ordem.push_back("tarefas");
        p->btnFechar->Clicar();
      }
    };
  }
  std::vector<std::string> Ordem;
  TMciGravador Mci;
  SubstituirConcern<IMci> FMci{Mci};
};

TEST_F(AvisosNaJanela, PassoMostraOAvisoAntesDasTarefasEConfirma) {
  ASSERT_EQ(Admin("admin/tasks", R"({"kind":"three"})"), "{\"ok\":true}");
  ASSERT_EQ(Admin("admin/notices", R"({"kind":"two","link":"cpf_missing"})"), "{\"ok\":true}");
  auto& f = Criar(PassosAgentePadrao());
  EXPECT_EQ(Ordem,
            (std::vector<std::string>{"aviso:CPF pendente no cadastro", "aviso:Primeiro aviso",
                                      "aviso:Segundo aviso", "tarefas"}));
  EXPECT_EQ(f.lblStatus->Texto(), "Online");
  EXPECT_TRUE(MensagemExcluida("mensagens", 212));
  EXPECT_EQ(LerUltimoIdEntregue(), 212);

  // The next pass: the warning waits its five minutes, the notices are read.
  Ordem.clear();
  f.ExecutarCiclo();
  EXPECT_TRUE(Ordem.empty()) << Ordem.front();
  EXPECT_EQ(f.lblStatus->Texto(), "Online");
}

TEST_F(AvisosNaJanela, ServidorForaDoArTerminaOPassoComErro) {
  ASSERT_EQ(Admin("admin/notices", R"({"kind":"text"})"), "{\"ok\":true}");
  ASSERT_EQ(Admin("admin/fault", R"({"endpoint":"api/agent_messages.php","kind":"drop"})"),
            "{\"ok\":true}");
  auto& f = Criar(PassosAgentePadrao());
  EXPECT_EQ(f.lblStatus->Texto(), "Erro");
  EXPECT_TRUE(Ordem.empty());
  EXPECT_EQ(f.memLog->Linhas()[0].substr(11, 15), "Erro no ciclo: ");
}

}  // namespace
