// The task panel on the headless kit: window and card layout, the card texts
// with their defaults, what is shown for odd lists, and the three actions with
// their boxes against the development server.
#include <string>
#include <vector>

#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"
#include "tests/tasks/uApoioTarefas.h"

namespace {

using TCartao = TFrmPopupTarefas::TCartao;

std::string Tarefa(int AId, const std::string& AStatus = "pendente") {
  return "{\"id\":" + std::to_string(AId) + ",\"titulo\":\"Tarefa " + std::to_string(AId) +
         "\",\"status\":\"" + AStatus + "\"}";
}

std::vector<std::string> Tarefas(int AQuantas) {
  std::vector<std::string> r;
  for (int i = 1; i <= AQuantas; ++i) r.push_back(Tarefa(i));
  return r;
}

ui::TRetangulo R(const ui::TControle* C) {
  return C->Limites();
}

}  // namespace

TEST_F(TarefasTeste, JanelaCabecalhoECartoesNasSuasPosicoes) {
  const bool abriu = Exibir(
      ListaJson(Tarefas(10), "\"Vesk Ltda\"", "{\"nome\":\"Ana Lima\"}"), [](TFrmPopupTarefas& p) {
        EXPECT_TRUE(p.Visivel());
        EXPECT_EQ(p.Texto(), "Minhas tarefas");
        EXPECT_TRUE(p.Estilo().SemBorda);
        EXPECT_TRUE(p.Estilo().SempreNoTopo);
        EXPECT_EQ(ui::headless::JanelaEmPrimeiroPlano(), &p) << "not brought to the front";
        EXPECT_EQ(p.ClientWidth(), 720);
        EXPECT_EQ(p.ClientHeight(), 620);
        EXPECT_EQ(p.Left(), (1920 - 720) / 2);
        EXPECT_EQ(p.Top(), (1040 - 620) / 2);
        EXPECT_EQ(p.Cor(), ui::kCorBranco);
        EXPECT_EQ(p.Fonte().Nome, "Segoe UI");
        EXPECT_EQ(p.Fonte().Altura, 13);

        EXPECT_EQ(R(p.pnlTopo), (ui::TRetangulo{0, 0, 720, 96}));
        EXPECT_EQ(p.pnlTopo->Cor(), ui::kCorBranco);
        EXPECT_EQ(p.lblTitulo->Texto(), "Minhas tarefas");
        EXPECT_EQ(p.lblTitulo->Left(), 28);
        EXPECT_EQ(p.lblTitulo->Top(), 18);
        EXPECT_EQ(p.lblTitulo->Fonte().Altura, 24);
        EXPECT_TRUE(p.lblTitulo->Fonte().Negrito);
        EXPECT_EQ(p.lblTitulo->Fonte().Cor, 0xA05000u);
        EXPECT_EQ(p.lblSubtitulo->Texto(), "Vesk Ltda  •  Ana Lima  •  10 tarefa(s)");
        EXPECT_EQ(p.lblSubtitulo->Left(), 30);
        EXPECT_EQ(p.lblSubtitulo->Top(), 52);
        EXPECT_EQ(p.lblSubtitulo->Fonte().Cor, 0x808080u);
        EXPECT_LE(p.lblSubtitulo->Limites().Right(), p.btnFechar->Left()) << "runs under Fechar";
        EXPECT_EQ(p.btnFechar->Texto(), "Fechar");
        EXPECT_EQ(R(p.btnFechar), (ui::TRetangulo{598, 28, 92, 32}));

        ui::TRolagem* area = p.AreaCartoes();
        EXPECT_EQ(R(area), (ui::TRetangulo{0, 96, 720, 524}));
        EXPECT_EQ(area->Cor(), 0xF7F7F7u);
        EXPECT_FALSE(area->BordaSimples());
        // Ten cards at 18, 180, ... 1476: the area scrolls to reach the last one.
        ASSERT_EQ(p.Cartoes().size(), 10u);
        for (size_t i = 0; i < 10; ++i)
          EXPECT_EQ(p.Cartoes()[i].Top, 18 + 162 * static_cast<int>(i));
        EXPECT_EQ(area->FaixaVertical(), 1476 + 148 + 18);
        EXPECT_GT(area->FaixaVertical(), area->ClientHeight());
        area->DefinirPosicaoVertical(100000);
        EXPECT_EQ(area->PosicaoVertical(), 1642 - 524);
        const auto* ultimo = p.ControlesDoCartao(9);
        ASSERT_NE(ultimo, nullptr) << "the last card is not built once in view";
        EXPECT_EQ(R(ultimo->Painel), (ui::TRetangulo{24, 1476, 650, 148}));
        EXPECT_EQ(ultimo->Painel->Cor(), ui::kCorBranco);
        EXPECT_EQ(ultimo->Painel->Pai(), area);

        const struct {
          const ui::TControle* C;
          ui::TRetangulo Esperado;
        } dentro[] = {
            {ultimo->lblTitulo, {18, 14, 494, ultimo->lblTitulo->Height()}},
            {ultimo->lblClienteTipo, {18, 42, 494, ultimo->lblClienteTipo->Height()}},
            {ultimo->lblVencimento, {18, 66, 494, ultimo->lblVencimento->Height()}},
            {ultimo->lblDescricao, {18, 94, 430, 42}},
            {ultimo->btnIniciar, {520, 20, 96, 30}},
            {ultimo->btnConcluir, {520, 58, 96, 30}},
            {ultimo->btnJustificar, {520, 96, 96, 30}},
        };
        for (const auto& d : dentro) {
          EXPECT_EQ(R(d.C), d.Esperado);
          EXPECT_EQ(d.C->Pai(), ultimo->Painel);
        }
        // Lines do not run into each other.
        EXPECT_LE(ultimo->lblTitulo->Limites().Bottom(), 42);
        EXPECT_LE(ultimo->lblClienteTipo->Limites().Bottom(), 66);
        EXPECT_LE(ultimo->lblVencimento->Limites().Bottom(), 94);
        EXPECT_EQ(ultimo->lblTitulo->Fonte().Altura, 16);
        EXPECT_TRUE(ultimo->lblTitulo->Fonte().Negrito);
        EXPECT_EQ(ultimo->lblTitulo->Fonte().Cor, 0x996633u);
        EXPECT_EQ(ultimo->lblClienteTipo->Fonte().Cor, 0x808080u);
        EXPECT_EQ(ultimo->lblVencimento->Fonte().Cor, 0x808080u);
        EXPECT_EQ(ultimo->lblDescricao->Fonte().Cor, ui::kCorTextoJanela);
        EXPECT_TRUE(ultimo->lblDescricao->QuebraLinha());
        EXPECT_EQ(ultimo->btnIniciar->Texto(), "Iniciar");
        EXPECT_EQ(ultimo->btnConcluir->Texto(), "Concluir");
        EXPECT_EQ(ultimo->btnJustificar->Texto(), "Justificar");
        p.btnFechar->Clicar();
      });
  EXPECT_TRUE(abriu);
}

TEST_F(TarefasTeste, TextosDosCartoesComSeusPadroes) {
  struct Caso {
    const char* Nome;
    std::string Tarefa;
    TCartao Esperado;                           // Top and PodeIniciar checked apart
    std::string LinhaVencimento, LinhaCliente;  // the card's two grey lines
    bool PodeIniciar;
  };
  const Caso casos[] = {
      {"completa",
       R"({"id":12,"titulo":"Conferir","descricao":"Contagem.","cliente":"Interno","tipo":"Rotina","prioridade":"alta","status":"pendente","data_vencimento":"2025-03-05","hora_vencimento":"14:07:09"})",
       {12, "Conferir", "Contagem.", "Interno", "Rotina", "alta", "pendente", "2025-03-05 14:07"},
       "Vencimento: 2025-03-05 14:07   Prioridade: alta   Status: Pendente",
       "Cliente: Interno   Tipo: Rotina",
       true},
      {"em andamento em capitais",
       R"({"id":"15","status":"EM_ANDAMENTO","data_vencimento":"2025-03-06","hora_vencimento":""})",
       {15, "Tarefa sem título", "Sem descrição.", "sem cliente", "sem tipo", "normal",
        "EM_ANDAMENTO", "2025-03-06"},
       "Vencimento: 2025-03-06   Prioridade: normal   Status: Em andamento",
       "Cliente: sem cliente   Tipo: sem tipo",
       false},
      {"concluida com prioridade vazia",
       R"({"id":3,"status":"concluida","prioridade":""})",
       {3, "Tarefa sem título", "Sem descrição.", "sem cliente", "sem tipo", "", "concluida",
        "sem vencimento"},
       "Vencimento: sem vencimento   Prioridade:    Status: Concluída",
       "Cliente: sem cliente   Tipo: sem tipo",
       true},
      {"cancelada e so hora",
       R"({"id":4,"status":"Cancelada","hora_vencimento":"08:30"})",
       {4, "Tarefa sem título", "Sem descrição.", "sem cliente", "sem tipo", "normal", "Cancelada",
        "08:30"},
       "Vencimento: 08:30   Prioridade: normal   Status: Cancelada",
       "Cliente: sem cliente   Tipo: sem tipo",
       true},
      {"status fora da tabela",
       R"({"id":5,"status":"aguardando_cliente"})",
       {5, "Tarefa sem título", "Sem descrição.", "sem cliente", "sem tipo", "normal",
        "aguardando_cliente", "sem vencimento"},
       "Vencimento: sem vencimento   Prioridade: normal   Status: aguardando_cliente",
       "Cliente: sem cliente   Tipo: sem tipo",
       true},
      {"sem nada",
       R"({})",
       {0, "Tarefa sem título", "Sem descrição.", "sem cliente", "sem tipo", "normal", "pendente",
        "sem vencimento"},
       "Vencimento: sem vencimento   Prioridade: normal   Status: Pendente",
       "Cliente: sem cliente   Tipo: sem tipo",
       true},
      {"tudo null",
       R"({"id":null,"titulo":null,"descricao":null,"cliente":null,"tipo":null,"prioridade":null,"status":null,"data_vencimento":null,"hora_vencimento":null})",
       {0, "Tarefa sem título", "Sem descrição.", "sem cliente", "sem tipo", "normal", "pendente",
        "sem vencimento"},
       "Vencimento: sem vencimento   Prioridade: normal   Status: Pendente",
       "Cliente: sem cliente   Tipo: sem tipo",
       true},
      {"brancos",
       R"({"id":8,"titulo":"  ","descricao":" ","cliente":"","tipo":"\t","prioridade":" ","status":" ","data_vencimento":" ","hora_vencimento":" "})",
       {8, "Tarefa sem título", "Sem descrição.", "sem cliente", "sem tipo", " ", " ",
        "sem vencimento"},
       "Vencimento: sem vencimento   Prioridade:     Status:  ",
       "Cliente: sem cliente   Tipo: sem tipo",
       true},
      {"textos com brancos mantidos e numeros",
       R"({"id":9,"titulo":" A ","cliente":7,"tipo":true,"hora_vencimento":"123456789"})",
       {9, " A ", "Sem descrição.", "7", "true", "normal", "pendente", "12345"},
       "Vencimento: 12345   Prioridade: normal   Status: Pendente",
       "Cliente: 7   Tipo: true",
       true},
      {"id maior que 32 bits e negativo",
       R"({"id":5000000000})",
       {0, "Tarefa sem título", "Sem descrição.", "sem cliente", "sem tipo", "normal", "pendente",
        "sem vencimento"},
       "Vencimento: sem vencimento   Prioridade: normal   Status: Pendente",
       "Cliente: sem cliente   Tipo: sem tipo",
       true},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    EXPECT_TRUE(Exibir(ListaJson({c.Tarefa}), [&](TFrmPopupTarefas& p) {
      ASSERT_EQ(p.Cartoes().size(), 1u);
      const TCartao& k = p.Cartoes()[0];
      EXPECT_EQ(k.TarefaID, c.Esperado.TarefaID);
      EXPECT_EQ(k.Titulo, c.Esperado.Titulo);
      EXPECT_EQ(k.Descricao, c.Esperado.Descricao);
      EXPECT_EQ(k.Cliente, c.Esperado.Cliente);
      EXPECT_EQ(k.Tipo, c.Esperado.Tipo);
      EXPECT_EQ(k.Prioridade, c.Esperado.Prioridade);
      EXPECT_EQ(k.Status, c.Esperado.Status);
      EXPECT_EQ(k.Vencimento, c.Esperado.Vencimento);
      const auto* ctl = p.ControlesDoCartao(0);
      ASSERT_NE(ctl, nullptr);
      EXPECT_EQ(ctl->lblTitulo->Texto(), c.Esperado.Titulo);
      EXPECT_EQ(ctl->lblDescricao->Texto(), c.Esperado.Descricao);
      EXPECT_EQ(ctl->lblClienteTipo->Texto(), c.LinhaCliente);
      EXPECT_EQ(ctl->lblVencimento->Texto(), c.LinhaVencimento);
      EXPECT_EQ(ctl->btnIniciar->Habilitado(), c.PodeIniciar);
      EXPECT_TRUE(ctl->btnConcluir->Habilitado());
      EXPECT_TRUE(ctl->btnJustificar->Habilitado());
      p.Fechar();
    }));
  }
}

TEST_F(TarefasTeste, CabecalhoContaTodosOsElementosEPulaOsQueNaoSaoTarefas) {
  struct Caso {
    const char* Nome;
    std::string Json;
    std::string Subtitulo;
    size_t Cartoes;
  };
  const Caso casos[] = {
      {"um objeto e um numero", ListaJson({Tarefa(1), "5"}),
       "Vesk Teste  •  Ana Lima  •  2 tarefa(s)", 1},
      {"empresa e colaborador em branco",
       ListaJson({"[1]", Tarefa(1), "null", Tarefa(2)}, "\" \"", "{\"nome\":\"\"}"),
       "Empresa  •  Colaborador  •  4 tarefa(s)", 2},
      {"colaborador que nao e objeto", ListaJson({Tarefa(1)}, "\"X\"", "\"Ana\""),
       "X  •  Colaborador  •  1 tarefa(s)", 1},
      {"empresa e nome null", ListaJson({Tarefa(1)}, "null", "{\"nome\":null}"),
       "Empresa  •  Colaborador  •  1 tarefa(s)", 1},
      {"sem empresa nem colaborador", R"({"tarefas":[7]})",
       "Empresa  •  Colaborador  •  1 tarefa(s)", 0},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    EXPECT_TRUE(Exibir(c.Json, [&](TFrmPopupTarefas& p) {
      EXPECT_EQ(p.lblSubtitulo->Texto(), c.Subtitulo);
      ASSERT_EQ(p.Cartoes().size(), c.Cartoes);
      // Elements that are not tasks take no room.
      for (size_t i = 0; i < c.Cartoes; ++i)
        EXPECT_EQ(p.Cartoes()[i].Top, 18 + 162 * static_cast<int>(i));
      p.Fechar();
    }));
  }
  // Nothing that is a list with an element shows anything.
  for (const char* texto :
       {"", "<html>", "[]", "[{\"tarefas\":[1]}]", "{\"ok\":true}", "{\"tarefas\":[]}",
        "{\"tarefas\":{\"id\":1}}", "{\"tarefas\":\"x\"}"}) {
    EXPECT_FALSE(Exibir(texto, [](TFrmPopupTarefas& p) { p.Fechar(); })) << texto;
  }
  EXPECT_TRUE(ui::headless::Caixas().empty());
}

TEST_F(TarefasTeste, AreaDeTrabalhoPequenaCabeInteiraERola) {
  ui::headless::DefinirAreaDeTrabalho({0, 0, 640, 480});
  EXPECT_TRUE(Exibir(ListaJson(Tarefas(3)), [](TFrmPopupTarefas& p) {
    EXPECT_EQ(p.ClientWidth(), 640);
    EXPECT_EQ(p.ClientHeight(), 480);
    EXPECT_EQ(p.Left(), 0);
    EXPECT_EQ(p.Top(), 0);
    EXPECT_EQ(R(p.btnFechar), (ui::TRetangulo{518, 28, 92, 32}));
    EXPECT_LE(p.lblSubtitulo->Limites().Right(), 518);
    ui::TRolagem* area = p.AreaCartoes();
    EXPECT_EQ(R(area), (ui::TRetangulo{0, 96, 640, 384}));
    EXPECT_GT(area->FaixaVertical(), area->ClientHeight());
    EXPECT_GT(area->FaixaHorizontal(), area->ClientWidth());
    area->DefinirPosicaoHorizontal(1000);
    // The far edge of the cards reaches the vertical bar's edge.
    EXPECT_EQ(area->PosicaoHorizontal(), 674 - area->LarguraVisivel());
    EXPECT_EQ(area->LarguraVisivel(), 640 - 17);
    p.btnFechar->Clicar();
  }));
}

TEST_F(TarefasTeste, CincoMilTarefasConstroemSoOQueEstaPertoDaVista) {
  EXPECT_TRUE(Exibir(ListaJson(Tarefas(5000)), [](TFrmPopupTarefas& p) {
    ASSERT_EQ(p.Cartoes().size(), 5000u);
    EXPECT_EQ(p.lblSubtitulo->Texto(), "Vesk Teste  •  Ana Lima  •  5000 tarefa(s)");
    // The view and a screen above and below it.
    EXPECT_LE(p.CartoesConstruidos(), 12u);
    EXPECT_NE(p.ControlesDoCartao(0), nullptr);
    EXPECT_EQ(p.ControlesDoCartao(100), nullptr);
    ui::TRolagem* area = p.AreaCartoes();
    EXPECT_EQ(area->FaixaVertical(), 18 + 162 * 4999 + 148 + 18);
    area->DefinirPosicaoVertical(area->FaixaVertical());
    const auto* ultimo = p.ControlesDoCartao(4999);
    ASSERT_NE(ultimo, nullptr);
    EXPECT_EQ(ultimo->Painel->Top(), 18 + 162 * 4999);
    EXPECT_EQ(ultimo->lblTitulo->Texto(), "Tarefa 5000");
    EXPECT_EQ(p.ControlesDoCartao(0), nullptr) << "cards far out of view are freed";
    EXPECT_LE(p.CartoesConstruidos(), 12u);
    // Only the built cards live in the card area.
    EXPECT_EQ(area->Filhos().size(), p.CartoesConstruidos());
    p.RolarAteCartao(2500);
    EXPECT_NE(p.ControlesDoCartao(2500), nullptr);
    EXPECT_EQ(area->PosicaoVertical(), 162 * 2500);
    p.btnFechar->Clicar();
  }));
}

TEST_F(TarefasTeste, TextosDeCemMilCaracteresCabemNoCartao) {
  const std::string longo(100000, 'W');
  std::string comBrancos;
  while (comBrancos.size() < 100000) comBrancos += "palavra ";
  const std::string lista = ListaJson({"{\"id\":1,\"titulo\":\"" + longo + "\",\"descricao\":\"" +
                                       comBrancos + "\",\"cliente\":\"" + longo + "\"}"},
                                      "\"" + longo + "\"");
  EXPECT_TRUE(Exibir(lista, [&](TFrmPopupTarefas& p) {
    const auto* c = p.ControlesDoCartao(0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(p.Cartoes()[0].Titulo, longo) << "the card keeps the whole text";
    for (const ui::TRotulo* r :
         {c->lblTitulo, c->lblDescricao, c->lblClienteTipo, p.lblSubtitulo}) {
      EXPECT_LE(ComprimentoUtf16(r->Texto()), 1000u);
      const int largura = r == p.lblSubtitulo ? 560 : r == c->lblDescricao ? 430 : 494;
      EXPECT_EQ(r->Width(), largura) << "the label grew with its text";
    }
    EXPECT_EQ(c->lblTitulo->Texto(), longo.substr(0, 1000));
    p.btnFechar->Clicar();
  }));
}

// --- actions ---------------------------------------------------------------------

TEST_F(TarefasTeste, IniciarEnviaMostraORetornoEFechaOPainel) {
  const std::string resposta = "{\"ok\":true,\"mensagem\":\"" + std::string(400, 'i') + "\"}";
  Lista("three", resposta);
  const std::string lista = TAgentTasks::BuscarTarefasJson();
  Admin("admin/requests/clear");
  const ui::TJanela* Painel = nullptr;
  EXPECT_TRUE(Exibir(lista, [&](TFrmPopupTarefas& p) {
    Painel = &p;
    const auto* c = p.ControlesDoCartao(0);
    ASSERT_NE(c, nullptr);
    c->btnIniciar->Clicar();
    EXPECT_TRUE(p.Fechada()) << "the panel stays open after the action";
  }));
  const auto pedidos = Pedidos("api/iniciar-tarefa.php");
  ASSERT_EQ(pedidos.size(), 1u);
  EXPECT_EQ(pedidos[0].Form, (TParesForm{{"api_token", kToken},
                                         {"computador", "PC-TESTE"},
                                         {"usuario", "joao"},
                                         {"tarefa_id", "12"}}));
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  const auto& caixa = ui::headless::Caixas()[0];
  EXPECT_EQ(caixa.Texto, "Retorno: " + resposta.substr(0, 300));
  EXPECT_EQ(caixa.Titulo, "Zelvan");
  EXPECT_EQ(caixa.Botoes, ui::TBotoesCaixa::Ok);
  // Owned by the panel, which is centred on the screen: above it, and centred.
  EXPECT_EQ(caixa.Dono, Painel);
  EXPECT_NE(Painel, nullptr);
  // The second task is under way: its "Iniciar" does nothing.
  EXPECT_TRUE(Exibir(lista, [](TFrmPopupTarefas& p) {
    const auto* c = p.ControlesDoCartao(1);
    ASSERT_NE(c, nullptr);
    EXPECT_FALSE(c->btnIniciar->Habilitado());
    c->btnIniciar->Clicar();
    EXPECT_FALSE(p.Fechada());
    p.btnFechar->Clicar();
  }));
  EXPECT_EQ(Pedidos("api/iniciar-tarefa.php").size(), 1u);
}

TEST_F(TarefasTeste, ConcluirPerguntaEJustificarPedeOTexto) {
  Lista("three", "Recebido.");
  const std::string lista = TAgentTasks::BuscarTarefasJson();
  struct Caso {
    const char* Nome;
    bool Concluir;
    ui::TResposta Resposta;  // to the question
    bool Ok;                 // to the input box
    std::string Texto;
    bool Envia;
  };
  const Caso casos[] = {
      {"concluir, nao", true, ui::TResposta::Nao, false, "", false},
      {"concluir, sim", true, ui::TResposta::Sim, false, "", true},
      {"justificar, cancelar", false, ui::TResposta::Ok, false, "digitado", false},
      {"justificar, so brancos", false, ui::TResposta::Ok, true, " \t ", false},
      {"justificar, com brancos em volta", false, ui::TResposta::Ok, true, "  cliente viajou ",
       true},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    ui::headless::Reiniciar();
    Admin("admin/requests/clear");
    ui::headless::ResponderCaixa = [&](const ui::headless::TCaixaMostrada& b) {
      return b.Botoes == ui::TBotoesCaixa::SimNao ? c.Resposta : ui::TResposta::Ok;
    };
    ui::headless::ResponderEntrada = [&](const ui::headless::TEntradaMostrada&, std::string& v) {
      v = c.Texto;
      return c.Ok;
    };
    EXPECT_TRUE(Exibir(lista, [&](TFrmPopupTarefas& p) {
      const auto* k = p.ControlesDoCartao(2);
      ASSERT_NE(k, nullptr);
      (c.Concluir ? k->btnConcluir : k->btnJustificar)->Clicar();
      EXPECT_EQ(p.Fechada(), c.Envia);
      if (!p.Fechada()) p.btnFechar->Clicar();
    }));
    const auto& caixas = ui::headless::Caixas();
    if (c.Concluir) {
      ASSERT_GE(caixas.size(), 1u);
      EXPECT_EQ(caixas[0].Texto, "Concluir esta tarefa?");
      EXPECT_EQ(caixas[0].Tipo, ui::TTipoCaixa::Pergunta);
      EXPECT_EQ(caixas[0].Botoes, ui::TBotoesCaixa::SimNao);
      EXPECT_NE(caixas[0].Dono, nullptr);
    } else {
      ASSERT_EQ(ui::headless::Entradas().size(), 1u);
      const auto& e = ui::headless::Entradas()[0];
      EXPECT_EQ(e.Titulo, "Justificar tarefa");
      EXPECT_EQ(e.Prompt, "Informe a justificativa:");
      EXPECT_EQ(e.Inicial, "");
    }
    const auto pedidos =
        Pedidos(c.Concluir ? "api/concluir-tarefa.php" : "api/justificar-tarefa.php");
    ASSERT_EQ(pedidos.size(), c.Envia ? 1u : 0u);
    if (!c.Envia) {
      EXPECT_EQ(caixas.size(), c.Concluir ? 1u : 0u) << "a Retorno box without an action";
      continue;
    }
    TParesForm esperado = {{"api_token", kToken},
                           {"computador", "PC-TESTE"},
                           {"usuario", "joao"},
                           {"tarefa_id", "21"}};
    if (!c.Concluir) esperado.push_back({"justificativa", c.Texto});
    EXPECT_EQ(pedidos[0].Form, esperado);
    ASSERT_FALSE(caixas.empty());
    EXPECT_EQ(caixas.back().Texto, "Retorno: Recebido.");
  }
}

TEST_F(TarefasTeste, BotoesDeTarefaSemIdValidoNadaFazem) {
  ui::headless::ResponderEntrada = [](const ui::headless::TEntradaMostrada&, std::string& v) {
    v = "motivo";
    return true;
  };
  const std::string lista = ListaJson({R"({"titulo":"sem id"})", R"({"id":-3})", R"({"id":0})",
                                       R"({"id":5000000000})", R"({"id":"abc"})", R"({"id":1.5})"});
  EXPECT_TRUE(Exibir(lista, [](TFrmPopupTarefas& p) {
    for (size_t i = 0; i < p.Cartoes().size(); ++i) {
      const auto* k = p.ControlesDoCartao(i);
      ASSERT_NE(k, nullptr);
      for (ui::TBotao* b : {k->btnIniciar, k->btnConcluir, k->btnJustificar}) b->Clicar();
    }
    EXPECT_FALSE(p.Fechada());
    p.btnFechar->Clicar();
  }));
  EXPECT_TRUE(ui::headless::Caixas().empty());
  EXPECT_TRUE(ui::headless::Entradas().empty());
  EXPECT_EQ(Admin("admin/requests"), "[]");
}

TEST_F(TarefasTeste, AcaoQueFalhaMostraOErroEMantemOPainel) {
  Lista("three");
  const std::string lista = TAgentTasks::BuscarTarefasJson();
  Admin("admin/fault", R"({"endpoint":"api/iniciar-tarefa.php","kind":"drop","times":3})");
  EXPECT_TRUE(Exibir(lista, [](TFrmPopupTarefas& p) {
    p.ControlesDoCartao(0)->btnIniciar->Clicar();
    EXPECT_FALSE(p.Fechada()) << "closed after a failed action";
    ASSERT_EQ(ui::headless::Caixas().size(), 1u);
    const auto& erro = ui::headless::Caixas()[0];
    EXPECT_EQ(erro.Tipo, ui::TTipoCaixa::Erro);
    EXPECT_EQ(erro.Titulo, "Zelvan");
    EXPECT_EQ(erro.Dono, &p) << "the error box may open behind the panel";
    EXPECT_EQ(erro.Texto.rfind("Retorno: ", 0), std::string::npos);
    EXPECT_FALSE(erro.Texto.empty());
    // The server answers again: the same button works.
    p.ControlesDoCartao(0)->btnIniciar->Clicar();
    EXPECT_TRUE(p.Fechada());
  }));
  ASSERT_EQ(ui::headless::Caixas().size(), 2u);
  EXPECT_EQ(ui::headless::Caixas()[1].Texto.rfind("Retorno: {\"ok\":true", 0), 0u);
}

// The real transport with a short wait for the answer, so that a server that
// never answers fails in a fraction of a second instead of three times 30.
class TTransporteImpaciente : public IHttpTransporte {
 public:
  TRespostaHttp Executar(const TPedidoHttp& APedido) override {
    TPedidoHttp p = APedido;
    p.TempoRespostaMs = 300;
    return ImplementacaoPadrao(SeamTag<IHttpTransporte>{}).Executar(p);
  }
};

TEST_F(TarefasTeste, AcaoSemRespostaDoServidorTambemMostraOErro) {
  Lista("three");
  const std::string lista = TAgentTasks::BuscarTarefasJson();
  Admin("admin/fault",
        R"({"endpoint":"api/justificar-tarefa.php","kind":"delay","delay_ms":3000,"times":3})");
  TTransporteImpaciente transporte;
  SubstituirConcern<IHttpTransporte> troca(transporte);
  ui::headless::ResponderEntrada = [](const ui::headless::TEntradaMostrada&, std::string& v) {
    v = "motivo";
    return true;
  };
  EXPECT_TRUE(Exibir(lista, [](TFrmPopupTarefas& p) {
    p.ControlesDoCartao(0)->btnJustificar->Clicar();
    EXPECT_FALSE(p.Fechada());
    p.btnFechar->Clicar();
  }));
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  EXPECT_EQ(ui::headless::Caixas()[0].Tipo, ui::TTipoCaixa::Erro);
  EXPECT_EQ(Pedidos("api/justificar-tarefa.php").size(), 3u);
}

TEST_F(TarefasTeste, RespostasFixasAparecemComoRetorno) {
  Lista("three");
  const std::string lista = TAgentTasks::BuscarTarefasJson();
  Configurar(UrlServidor(), "  ");
  EXPECT_TRUE(
      Exibir(lista, [](TFrmPopupTarefas& p) { p.ControlesDoCartao(0)->btnIniciar->Clicar(); }));
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  EXPECT_EQ(ui::headless::Caixas()[0].Texto,
            "Retorno: {\"ok\":false,\"erro\":\"Token ausente no agente.\"}");
}

TEST_F(TarefasTeste, FimDaSessaoNaoEsperaPeloPainel) {
  EXPECT_TRUE(Exibir(ListaJson(Tarefas(2)), [](TFrmPopupTarefas& p) {
    ASSERT_TRUE(p.AoConsultarFimSessao);
    EXPECT_TRUE(p.AoConsultarFimSessao());
    // The session ends: the modal loop lets go.
    ui::app::Terminar();
  }));
}
