// The employee's tasks end to end: the real Zelvan.exe against the development
// server. A pass opens the panel for a new list; "Iniciar" on a card sends its
// form, shows the server's answer and closes the panel; the next pass opens it
// again because a status changed; ten cards scroll; the tasks tab shows the raw
// answer and opens the panel on demand.
#include <windows.h>

#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config/uConfigINI.h"
#include "net/uConvencoes.h"
#include "net/uHttpClientVesk.h"
#include "platform/uArquivos.h"
#include "platform/uTexto.h"
#include "tasks/uAgentTasks.h"
#include "tools/wine/uCaptura.h"
#include "tests/e2e/uAgentesE2E.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr uint32_t kEspera = 20000;
constexpr const char* kToken = "tok-teste-1234567890";
constexpr const char* kRetorno = "{\"ok\":true,\"mensagem\":\"Tarefa iniciada com sucesso.\"}";

std::string TextoJson(const std::string& ATexto) {
  rapidjson::StringBuffer sb;
  rapidjson::Writer<rapidjson::StringBuffer> w(sb);
  w.String(ATexto.c_str(), static_cast<rapidjson::SizeType>(ATexto.size()));
  return sb.GetString();
}

HWND H(TJanela A) {
  return static_cast<HWND>(A);
}

RECT NaTela(TJanela A) {
  RECT r{};
  GetWindowRect(H(A), &r);
  return r;
}

// The panel's buttons with that caption, top of the screen first.
std::vector<TJanela> Botoes(TJanela APainel, const std::string& ATexto) {
  std::vector<TJanela> r;
  for (TJanela c : TDriver::Controles(APainel))
    if (IgualSemCaixa(TDriver::Classe(c), "Button") && TDriver::Texto(c) == ATexto &&
        TDriver::Visivel(c))
      r.push_back(c);
  std::sort(r.begin(), r.end(), [](TJanela a, TJanela b) { return NaTela(a).top < NaTela(b).top; });
  return r;
}

size_t Habilitados(const std::vector<TJanela>& ABotoes) {
  return static_cast<size_t>(std::count_if(ABotoes.begin(), ABotoes.end(), TDriver::Habilitado));
}

class TarefasE2E : public AgenteEmTeste {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProgramaEServidor());
    ConfigurarServidor(kToken);
    // The shortest interval, so that the next pass comes soon.
    TConfigINI::EscreverTexto("SERVIDOR", "INTERVALO_SEGUNDOS", "5");
  }

  // The next panel the agent shows.
  TJanela AguardarPainel() {
    return TDriver::AguardarJanela(FPrograma.Id(), "VeskJanela", "Minhas tarefas", kEspera, true);
  }
};

}  // namespace

TEST_F(TarefasE2E, PainelDoPassoIniciarRetornoEProximoPassoReabre) {
  ASSERT_EQ(Admin("admin/tasks",
                  std::string("{\"kind\":\"three\",\"answer\":") + TextoJson(kRetorno) + "}"),
            "{\"ok\":true}");
  Admin("admin/requests/clear", "{}");
  FPrograma = TDriver::Iniciar(Zelvan());
  ASSERT_TRUE(FPrograma.Valido());

  // The first pass finds the list and shows the panel above everything.
  TJanela painel = AguardarPainel();
  ASSERT_NE(painel, nullptr) << "the pass opened no panel";
  EXPECT_TRUE(GetWindowLongW(H(painel), GWL_EXSTYLE) & WS_EX_TOPMOST) << "not on top";
  EXPECT_TRUE(TDriver::AguardarAte([&] { return GetForegroundWindow() == H(painel); }, 3000))
      << "not brought to the front";
  const TRetanguloDriver cliente = TDriver::AreaCliente(painel);
  EXPECT_EQ(cliente.Largura, 720);
  EXPECT_EQ(cliente.Altura, 620);
  std::vector<TJanela> iniciar = Botoes(painel, "Iniciar");
  ASSERT_EQ(iniciar.size(), 3u);
  // The second task is under way.
  EXPECT_TRUE(TDriver::Habilitado(iniciar[0]));
  EXPECT_FALSE(TDriver::Habilitado(iniciar[1]));
  EXPECT_TRUE(TDriver::Habilitado(iniciar[2]));
  EXPECT_NE(
      TDriver::ProcurarControle(painel, "", "Vesk Teste  •  Colaborador Teste  •  3 tarefa(s)"),
      nullptr);
  TDriver::Processar(300);
  EXPECT_TRUE(CapturarJanela(painel, "tarefas_painel_tres_cartoes"));

  // "Iniciar" on the first card: its form reaches the server, the answer is shown.
  TDriver::Clicar(iniciar[0]);
  TJanela caixa = TDriver::AguardarCaixaMensagem(FPrograma.Id(), "Zelvan", kEspera);
  ASSERT_NE(caixa, nullptr) << "no answer box";
  EXPECT_EQ(TDriver::TextoCaixaMensagem(caixa), std::string("Retorno: ") + kRetorno);
  bool acima = false;
  for (HWND h = GetWindow(H(caixa), GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
    acima = acima || h == H(painel);
  EXPECT_TRUE(acima) << "the box opened behind the panel";
  EXPECT_TRUE(CapturarJanela(caixa, "tarefas_retorno"));
  const std::vector<TPares> formularios = Formularios("api/iniciar-tarefa.php");
  ASSERT_EQ(formularios.size(), 1u);
  EXPECT_EQ(formularios[0], (TPares{{"api_token", kToken},
                                    {"computador", ObterNomeComputador()},
                                    {"usuario", ObterUsuarioTarefas()},
                                    {"tarefa_id", "12"}}));
  std::string gravado;
  for (const auto& [nome, valor] : formularios[0])
    gravado += (gravado.empty() ? "" : " ") + nome + "=" + valor;
  std::printf("form recorded for \"Iniciar\": %s\n", gravado.c_str());
  TDriver::PressionarBotaoId(caixa, IDOK);
  EXPECT_TRUE(TDriver::AguardarDestruicao(painel, kEspera)) << "the panel stayed after the action";

  // The status changed on the server: the next pass shows the panel again.
  painel = AguardarPainel();
  ASSERT_NE(painel, nullptr) << "the next pass did not open the panel again";
  iniciar = Botoes(painel, "Iniciar");
  ASSERT_EQ(iniciar.size(), 3u);
  EXPECT_FALSE(TDriver::Habilitado(iniciar[0])) << "the started task can be started again";
  EXPECT_EQ(Habilitados(iniciar), 1u);
  TJanela fechar = TDriver::ProcurarControle(painel, "Button", "Fechar");
  ASSERT_NE(fechar, nullptr);
  TDriver::Clicar(fechar);
  EXPECT_TRUE(TDriver::AguardarDestruicao(painel, kEspera));

  // Ten tasks: the card area scrolls to the last one.
  ASSERT_EQ(Admin("admin/tasks", "{\"kind\":\"ten\"}"), "{\"ok\":true}");
  painel = AguardarPainel();
  ASSERT_NE(painel, nullptr) << "no panel for the ten tasks";
  TJanela area = nullptr;
  for (TJanela c : TDriver::Controles(painel))
    if (GetWindowLongW(H(c), GWL_STYLE) & WS_VSCROLL) area = c;
  ASSERT_NE(area, nullptr) << "the card area has no scroll bar";
  SendMessageW(H(area), WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  TJanela ultimo = TDriver::AguardarControle(painel, "", "Pedido de material de escritório", 5000);
  ASSERT_NE(ultimo, nullptr) << "the last card was not built";
  RECT rp{}, ru = NaTela(ultimo);
  GetClientRect(H(painel), &rp);
  MapWindowPoints(H(painel), HWND_DESKTOP, reinterpret_cast<POINT*>(&rp), 2);
  EXPECT_GE(ru.top, rp.top + 96);
  EXPECT_LE(ru.bottom, rp.bottom) << "the last card is not in view";
  TDriver::Processar(300);
  EXPECT_TRUE(CapturarJanela(painel, "tarefas_painel_dez_rolado"));
  TDriver::Clicar(TDriver::ProcurarControle(painel, "Button", "Fechar"));
  EXPECT_TRUE(TDriver::AguardarDestruicao(painel, kEspera));

  // The tasks tab: the raw answer, then the panel on demand.
  TJanela janela = AguardarJanelaPrincipal(FPrograma.Id(), kEspera);
  ASSERT_NE(janela, nullptr);
  TJanela abas = TDriver::ProcurarControle(janela, "SysTabControl32");
  ASSERT_TRUE(TDriver::SelecionarAba(abas, 2));
  TJanela memo = TDriver::ProcurarControle(
      janela, "Edit", "Clique em Atualizar tarefas para consultar a API do Web.");
  ASSERT_NE(memo, nullptr);
  TDriver::Clicar(TDriver::ProcurarControle(janela, "Button", "Atualizar tarefas"));
  EXPECT_TRUE(TDriver::AguardarAte(
      [&] { return TDriver::Texto(memo).rfind("{\"ok\":true", 0) == 0; }, kEspera));
  TVeskHttpClient c(5000, 10000, false);
  EXPECT_EQ(TDriver::Texto(memo),
            c.Get(TAgentTasks::MontarUrlTarefas(TConfigINI::Carregar())).Corpo);
  TDriver::Processar(300);
  EXPECT_TRUE(CapturarJanela(janela, "tarefas_aba"));
  TDriver::Clicar(TDriver::ProcurarControle(janela, "Button", "Abrir painel tarefas"));
  painel = AguardarPainel();
  ASSERT_NE(painel, nullptr) << "\"Abrir painel tarefas\" opened nothing";
  EXPECT_EQ(Botoes(painel, "Iniciar").size(), 7u) << "the first screens of the ten cards";
  TDriver::Clicar(TDriver::ProcurarControle(painel, "Button", "Fechar"));
  EXPECT_TRUE(TDriver::AguardarDestruicao(painel, kEspera));

  // Closed with the password the server published, so that the watchdog lets it go.
  FecharComSenhaDoCenario(FPrograma, janela, kEspera);
}
