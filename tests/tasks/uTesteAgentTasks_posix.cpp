// The task service against the development server: the request, the judging of
// each answer with its log lines, when the panel opens and the signature it
// leaves, the failures that reach the caller, and the three actions.
#include <functional>
#include <string>
#include <vector>

#include "net/uConvencoes.h"
#include "net/uJsonHelper.h"
#include "platform/uErros.h"
#include "tests/tasks/uApoioTarefas.h"

namespace {

const std::string kT12 = R"({"id":12,"titulo":"Conferir","status":"pendente"})";
const std::string kT15 = R"({"id":15,"titulo":"Enviar","status":"em_andamento"})";
const std::string kT15Concluindo = R"({"id":15,"titulo":"Enviar","status":"concluida"})";
const std::string kT12Renomeada = R"({"id":12,"titulo":"Outro titulo","status":"pendente"})";

std::string Consulta(const std::string& AToken, const std::string& AUsuario) {
  return "api_token=" + AToken + "&computador=PC-TESTE&usuario=" + AUsuario + "&debug=1";
}

}  // namespace

TEST_F(TarefasTeste, UrlEmOrdemComUsuarioDeTarefasETokenMascaradoNoLog) {
  struct Caso {
    const char* Nome;
    bool ComUsuario;
    std::string Usuario, Codificado;
  };
  const Caso casos[] = {
      {"usuario simples", true, "joao", "joao"}, {"brancos em volta", true, " maria ", "+maria+"},
      {"so brancos", true, "   ", "USER"},       {"sem USERNAME", false, "", "USER"},
      {"acentos", true, "João", "Jo%C3%A3o"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    FSistema.Ambiente.clear();
    if (c.ComUsuario) FSistema.Ambiente["USERNAME"] = c.Usuario;
    Admin("admin/requests/clear");
    TAgentTasks::BuscarTarefasJson();
    const auto pedidos = Pedidos("api/agent_tasks.php");
    ASSERT_EQ(pedidos.size(), 1u);
    EXPECT_EQ(pedidos[0].Metodo, "GET");
    EXPECT_EQ(pedidos[0].Consulta, Consulta(kToken, c.Codificado));
  }
  EXPECT_EQ(TAgentTasks::MontarUrlTarefas(TConfigINI::Carregar()),
            UrlServidor() + "api/agent_tasks.php?" + Consulta(kToken, "Jo%C3%A3o"));

  // The token is masked as it travels (encoded), not only as written.
  FSistema.Ambiente["USERNAME"] = "joao";
  const std::string token = "tok+/ab=1234567890";
  Configurar(UrlServidor(), token);
  const size_t antes = Linhas().size();
  TAgentTasks::BuscarTarefasJson();
  const auto linhas = Linhas();
  ASSERT_GT(linhas.size(), antes);
  EXPECT_EQ(linhas[antes], "Buscando tarefas em: " + UrlServidor() + "api/agent_tasks.php?" +
                               Consulta("***", "joao"));
  for (const auto& l : linhas) {
    EXPECT_EQ(l.find(token), std::string::npos) << l;
    EXPECT_EQ(l.find(CodificarURL(token)), std::string::npos) << l;
  }
}

// One poll after another, each with its answer: the log lines of the poll,
// whether the panel opened, and the signature remembered afterwards. The
// signature carries over from row to row, as it does from pass to pass.
TEST_F(TarefasTeste, CadaRespostaDoPassoComLogPainelEAssinatura) {
  const std::string html = "<html><body>" + std::string(700, 'x') + "</body></html>";
  const std::string dois = ListaJson({kT12, kT15});
  struct Caso {
    const char* Nome;
    std::string Corpo;
    std::vector<std::string> Linhas;  // after "Buscando tarefas em: " and "Resposta API tarefas: "
    bool Abre;
    std::string Assinatura;
  };
  const std::string ok2 = "API tarefas OK. Total pendente/em andamento: 2";
  const Caso casos[] = {
      {"lista nova", dois, {ok2}, true, "12:pendente;15:em_andamento;"},
      {"a mesma lista", dois, {ok2}, false, "12:pendente;15:em_andamento;"},
      {"so o titulo mudou",
       ListaJson({kT12Renomeada, kT15}),
       {ok2},
       false,
       "12:pendente;15:em_andamento;"},
      {"outra ordem", ListaJson({kT15, kT12}), {ok2}, true, "15:em_andamento;12:pendente;"},
      {"um status mudou",
       ListaJson({kT15Concluindo, kT12}),
       {ok2},
       true,
       "15:concluida;12:pendente;"},
      {"ok numero 1",
       R"({"ok":1,"tarefas":[]})",
       {R"(API tarefas retornou erro: {"ok":1,"tarefas":[]})"},
       false,
       "15:concluida;12:pendente;"},
      {"sem ok",
       R"({"tarefas":[]})",
       {R"(API tarefas retornou erro: {"tarefas":[]})"},
       false,
       "15:concluida;12:pendente;"},
      {"ok false",
       R"({"ok":false,"erro":"x"})",
       {R"(API tarefas retornou erro: {"ok":false,"erro":"x"})"},
       false,
       "15:concluida;12:pendente;"},
      {"ok false com um erro enorme: o log leva os primeiros 2000",
       R"({"ok":false,"erro":")" + std::string(5000, 'e') + "\"}",
       {"API tarefas retornou erro: " +
        (R"({"ok":false,"erro":")" + std::string(5000, 'e')).substr(0, 2000)},
       false,
       "15:concluida;12:pendente;"},
      {"vinculado False em texto",
       R"({"ok":true,"vinculado":"False","tarefas":[]})",
       {"Tarefas: agente sem colaborador vinculado/aprovado."},
       false,
       "15:concluida;12:pendente;"},
      {"sem array tarefas",
       R"({"ok":true,"tarefas":{"id":1}})",
       {"Tarefas: retorno sem array tarefas."},
       false,
       "15:concluida;12:pendente;"},
      {"HTML",
       html,
       {"API tarefas retornou conteúdo inválido/HTML: " + html.substr(0, 500)},
       false,
       "15:concluida;12:pendente;"},
      {"array JSON",
       "[" + dois + "]",
       {"API tarefas retornou conteúdo inválido/HTML: [" + dois + "]"},
       false,
       "15:concluida;12:pendente;"},
      {"lista vazia",
       R"({"ok":true,"tarefas":[]})",
       {"API tarefas OK. Total pendente/em andamento: 0"},
       false,
       ""},
      // A list shown before opens again after an empty one.
      {"ok TRUE em texto e sem vinculado",
       R"({"ok":"TRUE","tarefas":[)" + kT15Concluindo + "," + kT12 + "]}",
       {ok2},
       true,
       "15:concluida;12:pendente;"},
      {"vazia outra vez",
       R"({"ok":true,"tarefas":[]})",
       {"API tarefas OK. Total pendente/em andamento: 0"},
       false,
       ""},
      {"so elementos que nao sao tarefas",
       R"({"ok":true,"tarefas":[1,"a",null]})",
       {"API tarefas OK. Total pendente/em andamento: 3"},
       false,
       ""},
      {"id de texto e sem status",
       R"({"ok":true,"tarefas":[{"id":"7"},{"status":"x"}]})",
       {ok2},
       true,
       "7:;:x;"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    RespostaTarefas(c.Corpo, c.Corpo[0] == '<' ? "text/html" : "application/json");
    const size_t antes = Linhas().size();
    std::string jsonDoPainel;
    const bool abriu = AoExibir([] { TAgentTasks::VerificarTarefas(); },
                                [&](TFrmPopupTarefas& p) {
                                  jsonDoPainel = p.JsonOriginal();
                                  p.btnFechar->Clicar();
                                });
    EXPECT_EQ(abriu, c.Abre);
    if (abriu) {
      EXPECT_EQ(jsonDoPainel, c.Corpo);
    }
    EXPECT_EQ(TAgentTasks::UltimaAssinaturaTarefas(), c.Assinatura);
    const auto linhas = Linhas();
    std::vector<std::string> esperadas = {
        "Buscando tarefas em: " + UrlServidor() + "api/agent_tasks.php?" + Consulta("***", "joao"),
        "Resposta API tarefas: " + c.Corpo.substr(0, 1000)};
    esperadas.insert(esperadas.end(), c.Linhas.begin(), c.Linhas.end());
    EXPECT_EQ(std::vector<std::string>(linhas.begin() + static_cast<long>(antes), linhas.end()),
              esperadas);
  }
}

// A list of more than 1000 tasks: the panel and the signature get the first
// 1000, and the rest is logged as left out.
TEST_F(TarefasTeste, ListaLidaAte1000Tarefas) {
  std::vector<std::string> tarefas;
  for (int i = 1; i <= 1005; ++i)
    tarefas.push_back(R"({"id":)" + std::to_string(i) + R"(,"titulo":"T","status":"pendente"})");
  RespostaTarefas(ListaJson(tarefas));
  size_t cartoes = 0;
  for (const auto& abrir : {std::function<void()>([] { TAgentTasks::VerificarTarefas(); }),
                            std::function<void()>([] { TAgentTasks::ExibirTarefasAgora(); })}) {
    cartoes = 0;
    EXPECT_TRUE(AoExibir(abrir, [&](TFrmPopupTarefas& p) {
      cartoes = p.Cartoes().size();
      p.btnFechar->Clicar();
    }));
    EXPECT_EQ(cartoes, 1000u);
  }
  std::string assinatura;
  for (int i = 1; i <= 1000; ++i) assinatura += std::to_string(i) + ":pendente;";
  EXPECT_EQ(TAgentTasks::UltimaAssinaturaTarefas(), assinatura);
  size_t avisos = 0;
  for (const std::string& l : Linhas())
    avisos += l == "Tarefas: 1005 na lista; lidas as primeiras 1000, 5 deixadas de fora.";
  EXPECT_EQ(avisos, 2u);
}

TEST_F(TarefasTeste, RespostaVaziaSoRegistraETokenAusenteNaoPede) {
  RespostaTarefas(ListaJson({kT12}));
  AoExibir([] { TAgentTasks::VerificarTarefas(); }, [](TFrmPopupTarefas& p) { p.Fechar(); });
  const std::string assinatura = TAgentTasks::UltimaAssinaturaTarefas();
  ASSERT_EQ(assinatura, "12:pendente;");

  for (const char* vazio : {"", " \r\n\t "}) {
    RespostaTarefas(vazio);
    const size_t antes = Linhas().size();
    EXPECT_FALSE(AoExibir([] { TAgentTasks::VerificarTarefas(); }, [](TFrmPopupTarefas&) {}));
    const auto linhas = Linhas();
    ASSERT_EQ(linhas.size(), antes + 2);
    EXPECT_EQ(linhas.back(), "API tarefas retornou vazio.");
    EXPECT_EQ(TAgentTasks::UltimaAssinaturaTarefas(), assinatura);
    EXPECT_EQ(TAgentTasks::BuscarTarefasJson(), vazio) << "not returned as received";
  }

  // A token of blanks is no token: nothing is asked of the server.
  Configurar(UrlServidor(), "   ");
  Admin("admin/requests/clear");
  const size_t antes = Linhas().size();
  EXPECT_EQ(TAgentTasks::BuscarTarefasJson(), TAgentTasks::kRespostaTokenAusente);
  EXPECT_FALSE(AoExibir([] { TAgentTasks::VerificarTarefas(); }, [](TFrmPopupTarefas&) {}));
  EXPECT_TRUE(Pedidos("api/agent_tasks.php").empty());
  const auto linhas = Linhas();
  EXPECT_EQ(
      std::vector<std::string>(linhas.begin() + static_cast<long>(antes), linhas.end()),
      (std::vector<std::string>{
          "Tarefas ignoradas: token ausente.", "Tarefas ignoradas: token ausente.",
          "API tarefas retornou erro: {\"ok\":false,\"erro\":\"Token ausente no agente.\"}"}));
  EXPECT_EQ(TAgentTasks::UltimaAssinaturaTarefas(), assinatura);
}

TEST_F(TarefasTeste, ExibirTarefasAgoraAbreSemOlharOkNemAssinatura) {
  RespostaTarefas(R"({"ok":false,"vinculado":false,"tarefas":[)" + kT12 + "]}");
  int cartoes = -1;
  EXPECT_TRUE(AoExibir([] { TAgentTasks::ExibirTarefasAgora(); },
                       [&](TFrmPopupTarefas& p) {
                         cartoes = static_cast<int>(p.Cartoes().size());
                         p.Fechar();
                       }));
  EXPECT_EQ(cartoes, 1);
  EXPECT_EQ(TAgentTasks::UltimaAssinaturaTarefas(), "");
  // Nothing to show: no panel, and no error.
  for (const char* corpo : {"", "<html></html>", R"({"ok":true,"tarefas":[]})"}) {
    RespostaTarefas(corpo);
    EXPECT_FALSE(AoExibir([] { TAgentTasks::ExibirTarefasAgora(); }, [](TFrmPopupTarefas&) {}));
  }
  EXPECT_TRUE(ui::headless::Caixas().empty());
}

TEST_F(TarefasTeste, FalhaDaRedeChegaAoChamadorDepoisDeTresTentativas) {
  Configurar(EnderecoFechado() + "demo/intranet/", kToken);
  EXPECT_THROW(TAgentTasks::VerificarTarefas(), EHttpErro);
  EXPECT_THROW(TAgentTasks::ExibirTarefasAgora(), EHttpErro);
  EXPECT_THROW(TAgentTasks::ExecutarAcao("iniciar", 12, ""), EHttpErro);
  size_t get = 0, post = 0;
  for (const auto& l : Linhas()) {
    get += l.rfind("GET erro tentativa ", 0) == 0;
    post += l.rfind("POST erro tentativa ", 0) == 0;
  }
  EXPECT_EQ(get, 6u);
  EXPECT_EQ(post, 3u);
}

TEST_F(TarefasTeste, AcoesComSeusCamposEndpointsERespostasFixas) {
  const std::string configurada = "{\"ok\":true,\"mensagem\":\"" + std::string(600, 'r') + "\"}";
  Lista("three", configurada);
  FSistema.Ambiente["USERNAME"] = " ana ";
  const TParesForm base = {{"api_token", kToken}, {"computador", "PC-TESTE"}, {"usuario", " ana "}};
  struct Caso {
    const char* Acao;
    int32_t Id;
    std::string Justificativa;
    std::string Endpoint;  // "" when nothing may be sent
    TParesForm Extra;
  };
  const Caso casos[] = {
      {"INICIAR", 12, "", "api/iniciar-tarefa.php", {{"tarefa_id", "12"}}},
      {"concluir", 21, "nao vai", "api/concluir-tarefa.php", {{"tarefa_id", "21"}}},
      {"Justificar",
       15,
       "  cliente viajou  ",
       "api/justificar-tarefa.php",
       {{"tarefa_id", "15"}, {"justificativa", "  cliente viajou  "}}},
      {"justificar",
       -2147483647 - 1,
       "x",
       "api/justificar-tarefa.php",
       {{"tarefa_id", "-2147483648"}, {"justificativa", "x"}}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Acao);
    Admin("admin/requests/clear");
    const size_t antes = Linhas().size();
    const std::string r = TAgentTasks::ExecutarAcao(c.Acao, c.Id, c.Justificativa);
    const auto pedidos = Pedidos(c.Endpoint);
    ASSERT_EQ(pedidos.size(), 1u);
    EXPECT_EQ(pedidos[0].Metodo, "POST");
    TParesForm esperado = base;
    esperado.insert(esperado.end(), c.Extra.begin(), c.Extra.end());
    EXPECT_EQ(pedidos[0].Form, esperado);
    const auto linhas = Linhas();
    ASSERT_EQ(linhas.size(), antes + 1);
    EXPECT_EQ(linhas.back(), std::string("Tarefa ") + c.Acao + " ID " + std::to_string(c.Id) +
                                 ": " + r.substr(0, 500));
  }
  // The answer comes back as received, whole.
  EXPECT_EQ(TAgentTasks::ExecutarAcao("iniciar", 12, ""), configurada);

  // Another action, or no token: a fixed answer, nothing sent, nothing logged.
  Admin("admin/requests/clear");
  const size_t antes = Linhas().size();
  EXPECT_EQ(TAgentTasks::ExecutarAcao("excluir", 12, ""), TAgentTasks::kRespostaAcaoInvalida);
  EXPECT_EQ(TAgentTasks::ExecutarAcao("", 12, ""), TAgentTasks::kRespostaAcaoInvalida);
  Configurar(UrlServidor(), " \t");
  EXPECT_EQ(TAgentTasks::ExecutarAcao("iniciar", 12, ""), TAgentTasks::kRespostaTokenAusente);
  EXPECT_EQ(Linhas().size(), antes);
  EXPECT_EQ(Admin("admin/requests"), "[]");
  EXPECT_STREQ(TAgentTasks::kRespostaTokenAusente,
               "{\"ok\":false,\"erro\":\"Token ausente no agente.\"}");
  EXPECT_STREQ(TAgentTasks::kRespostaAcaoInvalida, "{\"ok\":false,\"erro\":\"Ação inválida.\"}");
}

TEST(AssinaturaTarefas, SoObjetosNaOrdemComIdEStatusComoTexto) {
  struct Caso {
    const char* Lista;
    const char* Assinatura;
  };
  const Caso casos[] = {
      {R"([{"id":12,"status":"pendente"},{"id":15,"status":"em_andamento"}])",
       "12:pendente;15:em_andamento;"},
      {R"([{"status":"Pendente","id":"12"},7,"x",[1],{"id":5000000000}])",
       "12:Pendente;5000000000:;"},
      // A null member reads as its default, as a missing one.
      {R"([{"id":null,"status":true}])", ":true;"},
      {R"([])", ""},
  };
  for (const Caso& c : casos) {
    rapidjson::Document d;
    d.Parse(c.Lista);
    EXPECT_EQ(TAgentTasks::MontarAssinaturaTarefas(d), c.Assinatura) << c.Lista;
  }
}
