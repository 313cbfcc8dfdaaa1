// The employee link check inside the notice pass: each answer with the popup it
// shows, and the five-minute rule on a settable clock.
#include <algorithm>
#include <string>
#include <vector>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "notices/uEstadoMensagens.h"
#include "notices/uVinculoColaborador.h"
#include "platform/ui/uKitHeadless.h"
#include "tests/notices/uApoioAvisos.h"

namespace {

class VinculoTeste : public AvisosTeste {
 protected:
  // The link endpoint answers this body as written.
  void Resposta(const std::string& ACorpo) {
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    w.StartObject();
    w.Key("api_token");
    w.String(kToken);
    w.Key("mensagens");
    w.StartArray();
    w.EndArray();
    w.Key("respostas");
    w.StartObject();
    w.Key("api/colaborador-vinculo.php");
    w.String(ACorpo.c_str());
    w.EndObject();
    w.EndObject();
    ASSERT_EQ(Admin("admin/scenario", sb.GetString()), "{\"ok\":true}");
    Admin("admin/requests/clear");
  }
  size_t PedidosVinculo() { return Pedidos("api/colaborador-vinculo.php").size(); }
};

const std::string kCadastroPendente = "Cadastro/vinculacao pendente";
const std::string kCpfPendente = "CPF pendente no cadastro";

}  // namespace

TEST_F(VinculoTeste, CadaRespostaComSeuPopup) {
  const std::string base = UrlServidor();
  struct Caso {
    const char* Nome;
    std::string Corpo;
    std::string Titulo;  // "" when nothing shows
    std::string Link;
  };
  const Caso casos[] = {
      {"so ok", R"({"ok":true})", kCadastroPendente, base + "cadastro-colaborador.php"},
      {"vinculado sem cpf_pendente", R"({"ok":true,"vinculado":true})", "", ""},
      {"vinculado numero 1", R"({"ok":1,"vinculado":1,"cpf_pendente":false})", "", ""},
      {"vinculado texto 1", R"({"ok":"1","vinculado":"1"})", "", ""},
      {"vinculado sim nao conta", R"({"ok":true,"vinculado":"sim"})", kCadastroPendente,
       base + "cadastro-colaborador.php"},
      {"nao vinculado e cpf pendente",
       R"({"ok":true,"vinculado":false,"cpf_pendente":true,"cadastro_url":"https://rh/cad?pc=1"})",
       kCadastroPendente, "https://rh/cad?pc=1"},
      {"cpf pendente",
       R"({"ok":true,"vinculado":"TRUE","cpf_pendente":"true","colaborador_nome":"Ana Lima","cadastro_url":"  "})",
       kCpfPendente, base + "cadastro-colaborador.php"},
      {"ok false", R"({"ok":false,"vinculado":false})", "", ""},
      {"html", "<html>erro</html>", "", ""},
      {"vazio", "", "", ""},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    ui::headless::Reiniciar();
    TConfigINI::ApagarChave(kSecaoVinculo, "ULTIMO_AVISO");
    Popups.clear();
    Resposta(c.Corpo);
    const size_t antes = Linhas().size();
    Passo();
    const auto linhas = Linhas();
    const std::vector<std::string> novas(linhas.begin() + static_cast<long>(antes), linhas.end());
    if (c.Titulo.empty()) {
      EXPECT_TRUE(Popups.empty());
      EXPECT_EQ(TConfigINI::LerTexto(kSecaoVinculo, "ULTIMO_AVISO", ""), "");
      for (const auto& l : novas) EXPECT_EQ(l.find("inculo"), std::string::npos) << l;
      continue;
    }
    ASSERT_EQ(Popups.size(), 1u);
    EXPECT_EQ(Popups[0].Empresa, "Vesk Intranet");
    EXPECT_EQ(Popups[0].Titulo, c.Titulo);
    EXPECT_EQ(Popups[0].Link, c.Link);
    EXPECT_FALSE(Popups[0].TemLogo);
    std::string esperada;
    if (c.Titulo == kCadastroPendente) {
      esperada =
          "Este computador ainda nao esta vinculado a um colaborador.\r\n\r\nComputador: "
          "PC-TESTE\r\nUsuario Windows: joao\r\n\r\nPara continuar usando corretamente o Vesk "
          "Intranet, faca o cadastro/vinculacao do colaborador nesta maquina.\r\n\r\n" +
          c.Link;
      EXPECT_NE(std::find(novas.begin(), novas.end(),
                          "Vinculo de colaborador pendente. Exibindo aviso de cadastro."),
                novas.end());
    } else {
      esperada =
          "Seu cadastro esta vinculado a este computador, mas o CPF ainda nao foi "
          "informado.\r\n\r\nColaborador: Ana Lima\r\nComputador: PC-TESTE\r\n\r\nInforme o CPF "
          "para regularizar o cadastro e permitir a geracao correta do termo de "
          "responsabilidade.\r\n\r\n" +
          c.Link;
      EXPECT_NE(std::find(novas.begin(), novas.end(),
                          "CPF pendente no cadastro do colaborador. Exibindo aviso."),
                novas.end());
    }
    EXPECT_EQ(Popups[0].Mensagem, esperada);
    // Stamped at the confirmation, ten seconds of the fake clock later.
    TDateTime aviso = 0;
    ASSERT_TRUE(LerDataHoraEstado(TConfigINI::LerTexto(kSecaoVinculo, "ULTIMO_AVISO", ""), aviso));
    EXPECT_NEAR(aviso, RelogioTeste().Agora(), 2 * kUmSegundo);
  }
}

// Confirmed at 10:00:00: no request at 10:02 or 10:04, one at 10:05:00. A time
// more than a day ahead counts as never; one less than a day ahead holds.
TEST_F(VinculoTeste, CincoMinutosEntreAvisosComRelogio) {
  Cenario("empty", "not_linked");
  Hoje(9, 59, 50);
  Passo();
  ASSERT_EQ(Popups.size(), 1u);
  Hoje(10, 0, 0);
  const std::string dez = TextoDataHoraEstado(RelogioTeste().Agora());
  TConfigINI::EscreverTexto(kSecaoVinculo, "ULTIMO_AVISO", dez);
  struct Passo_ {
    int Minuto, Segundo;
    size_t Pedidos;
  };
  for (const Passo_& p : {Passo_{2, 0, 0}, Passo_{4, 59, 0}, Passo_{5, 0, 1}}) {
    SCOPED_TRACE(p.Minuto);
    Admin("admin/requests/clear");
    ui::headless::Reiniciar();
    Hoje(10, p.Minuto, p.Segundo);
    Respostas = {false};  // a popup that shows is left by the end of the session
    Popups.clear();
    Passo();
    EXPECT_EQ(PedidosVinculo(), p.Pedidos);
  }
  // The session ended with the warning open: not confirmed, not stamped, and
  // the pass asked for no notices.
  EXPECT_EQ(TConfigINI::LerTexto(kSecaoVinculo, "ULTIMO_AVISO", ""), dez);
  EXPECT_TRUE(Pedidos("api/agent_messages.php").empty());

  struct Futuro {
    const char* Nome;
    double Dias;
    size_t Pedidos;
  };
  for (const Futuro& f : {Futuro{"meio dia adiante", 0.5, 0}, Futuro{"dois dias adiante", 2, 1},
                          Futuro{"anos adiante", 3000, 1}}) {
    SCOPED_TRACE(f.Nome);
    ui::headless::Reiniciar();
    Admin("admin/requests/clear");
    TConfigINI::EscreverTexto(kSecaoVinculo, "ULTIMO_AVISO",
                              TextoDataHoraEstado(RelogioTeste().Agora() + f.Dias));
    Respostas = {true};
    Popups.clear();
    Passo();
    EXPECT_EQ(PedidosVinculo(), f.Pedidos);
    EXPECT_EQ(Popups.size(), f.Pedidos);
  }
  // Unreadable: counts as never.
  ui::headless::Reiniciar();
  Admin("admin/requests/clear");
  TConfigINI::EscreverTexto(kSecaoVinculo, "ULTIMO_AVISO", "ontem");
  Passo();
  EXPECT_EQ(PedidosVinculo(), 1u);
}

TEST_F(VinculoTeste, FalhaDoPedidoELogadaEOPassoSegue) {
  Cenario("text");
  ASSERT_EQ(Admin("admin/fault", R"({"endpoint":"api/colaborador-vinculo.php","kind":"drop"})"),
            "{\"ok\":true}");
  Passo();
  const auto linhas = Linhas();
  bool falha = false;
  for (const auto& l : linhas)
    if (l.rfind("Falha ao verificar vinculo do colaborador: ", 0) == 0) falha = true;
  EXPECT_TRUE(falha);
  ASSERT_EQ(Popups.size(), 1u);
  EXPECT_EQ(Popups[0].Titulo, "Aviso de texto");
}
