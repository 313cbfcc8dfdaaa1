// Remote commands against the development server: the command table and its
// reports, the restart guard, a restart that could not start its copy, the
// quit request that stands the rest down, bad answers and the encoded token.
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uShell.h"
#include "services/uAgentCommandsPro.h"
#include "services/uCacheCleaner.h"
#include "services/uPedidoSaida.h"
#include "tests/net/uAmbienteHttp.h"

namespace {

const char* kToken = "tok-teste-1234567890";

struct TRetorno {
  std::string Id, Token, Retorno;
  bool operator==(const TRetorno&) const = default;
};

std::ostream& operator<<(std::ostream& O, const TRetorno& R) {
  return O << "{" << R.Id << "," << R.Token << "," << R.Retorno << "}";
}

class ComandosTeste : public TAmbienteHttp {
 protected:
  void SetUp() override {
    TAmbienteHttp::SetUp();
    if (IsSkipped()) return;
    FTrocas = std::make_unique<Trocas>(Sistema, Shell);
    // A name that needs encoding in the query.
    Sistema.Computador = "PC TESTE&1";
    Sistema.Ambiente = {{"USERNAME", "jose+maria"}};
    TConfigINI::EscreverTexto("SERVIDOR", "URL", Url("demo/intranet"));
    TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", kToken);
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    TPedidoSaida::Reiniciar();
    TPedidoSaida::DefinirAcao([this] { ++Saidas; });
    Admin("admin/reset");
  }
  void TearDown() override {
    if (!IsSkipped()) Admin("admin/reset");
    TPedidoSaida::DefinirAcao(nullptr);
    TPedidoSaida::Reiniciar();
    FTrocas.reset();
    TAmbienteHttp::TearDown();
  }

  void Fila(const std::string& AKind, const std::string& AExtra = "") {
    Admin("admin/commands", "{\"kind\":\"" + AKind + "\"" + AExtra + "}");
    Admin("admin/requests/clear");
  }
  // The queue as a literal scenario member.
  void FilaLiteral(const std::string& AComandosJson) {
    Admin("admin/scenario",
          std::string("{\"api_token\":\"") + kToken + "\",\"comandos\":" + AComandosJson + "}");
    Admin("admin/requests/clear");
  }
  void RespostaLiteral(const std::string& ACorpoJson) {
    Admin("admin/scenario",
          std::string("{\"respostas\":{\"api/agent_commands.php\":") + ACorpoJson + "}}");
    Admin("admin/requests/clear");
  }

  std::vector<TRetorno> Retornos() {
    rapidjson::Document d;
    const std::string t = Admin("admin/scenario");
    d.Parse(t.c_str());
    std::vector<TRetorno> r;
    if (!d.HasMember("comandos_retornos")) return r;
    for (const auto& x : d["comandos_retornos"].GetArray())
      r.push_back({LerTextoJson(&x, "id", ""), LerTextoJson(&x, "token", ""),
                   LerTextoJson(&x, "retorno", "")});
    return r;
  }
  // Method and raw query of the requests to the command endpoint.
  std::vector<std::string> Pedidos() {
    rapidjson::Document d;
    const std::string t = Admin("admin/requests");
    d.Parse(t.c_str());
    std::vector<std::string> r;
    for (const auto& x : d.GetArray())
      if (LerTextoJson(&x, "path", "") == "/demo/intranet/api/agent_commands.php")
        r.push_back(LerTextoJson(&x, "method", "") + " " + LerTextoJson(&x, "query", ""));
    return r;
  }
  std::string Cache() const { return TConfigINI::PastaBase() + "cache" + kSep; }

  struct Trocas {
    Trocas(ISistema& S, IShell& H) : A(S), B(H) {}
    SubstituirConcern<ISistema> A;
    SubstituirConcern<IShell> B;
  };
  const std::string kTokenAgente = "PC TESTE&1_jose+maria";
  TSistemaFalso Sistema;
  TShellGravador Shell;
  std::unique_ptr<Trocas> FTrocas;
  int Saidas = 0;
  std::vector<std::string> Atualizacoes;
  // The agent's way: the service is given the update check of the pass.
  void VerificarComandos() {
    TAgentCommandsPro::VerificarComandos(
        [this](const std::string& V) { Atualizacoes.push_back(V); });
  }
};

}  // namespace

TEST_F(ComandosTeste, CadaComandoDaTabelaComSeuRetornoNaOrdem) {
  GravarArquivoTeste(Cache() + "a.png", "x");
  GravarArquivoTeste(Cache() + "b.mp3", "y");
  Fila("each");
  VerificarComandos();

  EXPECT_EQ(Retornos(), (std::vector<TRetorno>{{"101", kTokenAgente, "Cache limpo"},
                                               {"102", kTokenAgente, "Update iniciado"},
                                               {"103", kTokenAgente, "Reiniciando agente"}}));
  // The token travels encoded and the server matched it.
  const auto p = Pedidos();
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0], "GET token=PC+TESTE%261_jose%2Bmaria");
  EXPECT_FALSE(Arquivos().ArquivoExiste(Cache() + "a.png"));
  EXPECT_FALSE(Arquivos().ArquivoExiste(Cache() + "b.mp3"));
  EXPECT_EQ(Atualizacoes, std::vector<std::string>{"1.0.115"});
  ASSERT_EQ(Shell.Chamadas.size(), 1u);
  EXPECT_EQ(Shell.Chamadas[0].Verbo, "open");
  EXPECT_EQ(Shell.Chamadas[0].Arquivo, Arquivos().CaminhoExecutavel());
  EXPECT_EQ(Shell.Chamadas[0].Parametros, "");
  EXPECT_EQ(Shell.Chamadas[0].Pasta, "");
  EXPECT_EQ(Shell.Chamadas[0].Mostrar, kSwShowNormal);
  EXPECT_EQ(Saidas, 1);
  EXPECT_TRUE(TPedidoSaida::Solicitado());
  const auto l = Linhas();
  EXPECT_EQ(l.front(), "Consultando comandos remotos...");
  EXPECT_EQ(std::count(l.begin(), l.end(), "Comando executado: limpar_cache"), 1);
  EXPECT_EQ(std::count(l.begin(), l.end(), "Comando executado: forcar_update"), 1);
  EXPECT_EQ(l.back(), "Comando executado: reiniciar");
}

// A caller that gives the service no update check must not report an update
// as started that nothing will run.
TEST_F(ComandosTeste, ForcarUpdateSemVerificacaoERecusado) {
  Fila("forcar_update");
  TAgentCommandsPro::VerificarComandos(nullptr);
  EXPECT_EQ(Retornos(),
            (std::vector<TRetorno>{{"112", kTokenAgente,
                                    "Update recusado: verificacao de atualizacao indisponivel"}}));
  const auto l = Linhas();
  EXPECT_EQ(std::count(l.begin(), l.end(), "Comando executado: forcar_update"), 0);
  EXPECT_EQ(std::count(l.begin(), l.end(),
                       "Comando forcar_update recusado: verificacao de atualizacao indisponivel."),
            1);
}

TEST_F(ComandosTeste, DesconhecidoMaiusculasEspacosESemId) {
  struct {
    const char* Kind;
    TRetorno Retorno;
    const char* Linha;
    size_t Reinicios;
  } casos[] = {
      {"unknown",
       {"201", kTokenAgente, "Comando desconhecido: formatar_disco"},
       "Comando desconhecido: formatar_disco",
       0},
      {"capitals",
       {"202", kTokenAgente, "Comando desconhecido: LIMPAR_CACHE"},
       "Comando desconhecido: LIMPAR_CACHE",
       0},
      {"no_id", {"0", kTokenAgente, "Cache limpo"}, "Comando executado: limpar_cache", 0},
      {"blanks", {"203", kTokenAgente, "Reiniciando agente"}, "Comando executado: reiniciar", 1},
  };
  for (const auto& c : casos) {
    Admin("admin/reset");
    Fila(c.Kind);
    VerificarComandos();
    EXPECT_EQ(Retornos(), std::vector<TRetorno>{c.Retorno}) << c.Kind;
    EXPECT_EQ(Linhas().back(), c.Linha) << c.Kind;
    EXPECT_EQ(Shell.Chamadas.size(), c.Reinicios) << c.Kind;
  }
}

TEST_F(ComandosTeste, RetornoQueFalhaDeixaOSegundoParaOProximoCiclo) {
  GravarArquivoTeste(Cache() + "a.png", "x");
  Fila("two", ",\"report\":\"drop\"");
  VerificarComandos();
  // The cache command ran before its report failed.
  EXPECT_FALSE(Arquivos().ArquivoExiste(Cache() + "a.png"));
  EXPECT_TRUE(Retornos().empty());
  const auto p = Pedidos();
  EXPECT_EQ(std::count_if(p.begin(), p.end(), [](auto& s) { return s.rfind("POST", 0) == 0; }), 3);
  const auto l = Linhas();
  EXPECT_EQ(l.back().rfind("Erro comandos remotos: ", 0), 0u) << l.back();
  EXPECT_EQ(std::count(l.begin(), l.end(), "Comando desconhecido: comando_inexistente"), 0);

  // Next pass with the report back: both run and are reported in order.
  Admin("admin/fault", R"({"endpoint":"api/agent_commands.php","kind":"none"})");
  VerificarComandos();
  EXPECT_EQ(Retornos(), (std::vector<TRetorno>{
                            {"301", kTokenAgente, "Cache limpo"},
                            {"302", kTokenAgente, "Comando desconhecido: comando_inexistente"}}));
}

TEST_F(ComandosTeste, ReiniciarOMesmoIdSoDepoisDeDezMinutos) {
  Fila("reiniciar");
  VerificarComandos();
  EXPECT_EQ(Shell.Chamadas.size(), 1u);
  EXPECT_EQ(TConfigINI::LerTexto("COMANDOS_REMOTOS", "REINICIAR_ID", ""), "113");

  // The new copy meets the same command (its report was lost): reported as
  // refused, not run.
  TPedidoSaida::Reiniciar();
  RelogioTeste().Avancar(9 * 60 * 1000);
  Fila("reiniciar");
  VerificarComandos();
  EXPECT_EQ(Shell.Chamadas.size(), 1u);
  EXPECT_FALSE(TPedidoSaida::Solicitado());
  EXPECT_EQ(Retornos(),
            (std::vector<TRetorno>{{"113", kTokenAgente,
                                    "Reinicio recusado: mesmo comando executado ha menos de 10 "
                                    "minutos"}}));
  EXPECT_EQ(Linhas().back(),
            "Aviso: comando reiniciar id=113 ja executado ha menos de 10 minutos; agente nao "
            "reiniciado.");

  // Another id restarts at once; the same id again after ten minutes.
  FilaLiteral(R"([{"id":114,"comando":"reiniciar"}])");
  VerificarComandos();
  EXPECT_EQ(Shell.Chamadas.size(), 2u);
  TPedidoSaida::Reiniciar();
  RelogioTeste().Avancar(10 * 60 * 1000 + 1000);
  FilaLiteral(R"([{"id":114,"comando":"reiniciar"}])");
  VerificarComandos();
  EXPECT_EQ(Shell.Chamadas.size(), 3u);
}

TEST_F(ComandosTeste, ReiniciarSemNovaInstanciaNaoEncerra) {
  Shell.Resultado = 5;  // SE_ERR_ACCESSDENIED, as a blocked start gives
  Fila("reiniciar");
  VerificarComandos();
  EXPECT_EQ(Shell.Chamadas.size(), 1u);
  EXPECT_EQ(Saidas, 0);
  EXPECT_FALSE(TPedidoSaida::Solicitado());
  EXPECT_EQ(Linhas().back(),
            "Falha ao reiniciar agente: nova instancia nao iniciada (ShellExecute=5); agente "
            "continua em execucao.");
  // The server's last word for the command is the failure, not the restart.
  EXPECT_EQ(Retornos(),
            (std::vector<TRetorno>{
                {"113", kTokenAgente, "Reiniciando agente"},
                {"113", kTokenAgente, "Falha ao reiniciar agente: nova instancia nao iniciada"}}));
}

// A server that queues a new restart at every pass: three restarts within the
// hour, the rest refused and reported so, counted from config.ini (the new
// copy remembers nothing else); an hour after the first, one more.
TEST_F(ComandosTeste, NoMaximoTresReiniciosPorComandoNaHora) {
  const struct {
    int Minuto;  // of the clock since the first pass
    bool Reinicia;
  } passos[] = {{0, true}, {15, true}, {30, true}, {45, false}, {59, false}, {61, true}};
  int id = 500, minuto = 0;
  size_t reinicios = 0;
  for (const auto& p : passos) {
    SCOPED_TRACE(p.Minuto);
    RelogioTeste().Avancar(static_cast<uint32_t>(p.Minuto - minuto) * 60 * 1000);
    minuto = p.Minuto;
    TPedidoSaida::Reiniciar();
    ++id;
    FilaLiteral(R"([{"id":)" + std::to_string(id) + R"(,"comando":"reiniciar"}])");
    VerificarComandos();
    if (p.Reinicia) ++reinicios;
    EXPECT_EQ(Shell.Chamadas.size(), reinicios);
    EXPECT_EQ(TPedidoSaida::Solicitado(), p.Reinicia);
    EXPECT_EQ(Retornos(),
              (std::vector<TRetorno>{
                  {std::to_string(id), kTokenAgente,
                   p.Reinicia ? "Reiniciando agente"
                              : "Reinicio recusado: limite de 3 reinicios por hora atingido"}}));
    if (!p.Reinicia) {
      EXPECT_EQ(Linhas().back(), "Aviso: comando reiniciar id=" + std::to_string(id) +
                                     " recusado: limite de 3 reinicios por hora atingido; agente "
                                     "nao reiniciado.");
    }
  }
}

TEST_F(ComandosTeste, DepoisDoPedidoDeSaidaOsDemaisFicamNaFila) {
  FilaLiteral(R"([{"id":1,"comando":"reiniciar"},{"id":2,"comando":"limpar_cache"},
                  {"id":3,"comando":"reiniciar"}])");
  VerificarComandos();
  EXPECT_EQ(Retornos(), (std::vector<TRetorno>{{"1", kTokenAgente, "Reiniciando agente"}}));
  EXPECT_EQ(Shell.Chamadas.size(), 1u);
  // Logged once, also when later steps ask again.
  EXPECT_TRUE(TPedidoSaida::Pular("mensagens"));
  const auto l = Linhas();
  EXPECT_EQ(std::count_if(
                l.begin(), l.end(),
                [](const std::string& s) { return s.rfind("Aviso: agente encerrando", 0) == 0; }),
            1);
  EXPECT_EQ(l.back(),
            "Aviso: agente encerrando (reiniciar); etapas seguintes ignoradas a partir de comandos "
            "remotos.");
}

TEST_F(ComandosTeste, RespostasRuinsTerminamOCicloSemQuebrar) {
  struct {
    const char* Corpo;
    const char* Linha;  // "" when nothing after the query line
  } casos[] = {
      {R"({"status":500,"content_type":"text/html","body":"<html>erro</html>"})", ""},
      {R"("{\"ok\":true}")", ""},                  // no "comandos"
      {R"("{\"ok\":true,\"comandos\":[]}")", ""},  // nothing to run
      {R"("[1,2]")", "Erro comandos remotos: resposta de comandos nao e um objeto JSON"},
      {R"("{\"comandos\":{\"id\":1}}")", "Erro comandos remotos: \"comandos\" nao e uma lista"},
      {R"("{\"comandos\":[\"limpar_cache\"]}")",
       "Erro comandos remotos: comando remoto nao e um objeto JSON"},
  };
  for (const auto& c : casos) {
    RespostaLiteral(c.Corpo);
    const size_t antes = Linhas().size();
    VerificarComandos();
    const auto l = Linhas();
    ASSERT_GE(l.size(), antes + 1) << c.Corpo;
    EXPECT_EQ(l[antes], "Consultando comandos remotos...");
    if (*c.Linha) {
      ASSERT_EQ(l.size(), antes + 2) << c.Corpo;
      EXPECT_EQ(l.back(), c.Linha);
    } else {
      EXPECT_EQ(l.size(), antes + 1) << c.Corpo;
    }
    const auto p = Pedidos();
    EXPECT_EQ(p.size(), 1u) << c.Corpo;  // the GET only: nothing reported
  }
}

TEST_F(ComandosTeste, ServidorForaOuMuitosComandos) {
  TConfigINI::EscreverTexto("SERVIDOR", "URL", EnderecoFechado());
  VerificarComandos();
  auto l = Linhas();
  EXPECT_EQ(l.back().rfind("Erro comandos remotos: ", 0), 0u);
  EXPECT_EQ(
      std::count_if(l.begin(), l.end(),
                    [](const std::string& s) { return s.rfind("GET erro tentativa ", 0) == 0; }),
      3);

  TConfigINI::EscreverTexto("SERVIDOR", "URL", Url("demo/intranet"));
  Fila("many");
  VerificarComandos();
  const auto r = Retornos();
  ASSERT_EQ(r.size(), TAgentCommandsPro::kMaxComandosPorCiclo);
  EXPECT_EQ(r.front().Id, "10000");
  EXPECT_EQ(r.back().Id, "10199");
  l = Linhas();
  EXPECT_EQ(std::count(l.begin(), l.end(),
                       "Aviso: 10000 comandos remotos na fila; 200 executados neste ciclo, os "
                       "demais no proximo."),
            1);
}
