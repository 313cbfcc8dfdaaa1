// The notice pass against the development server with a scripted employee:
// each answer with the local state before it, the requests it makes, the state
// it leaves, its log lines and the popups it shows.
#include <algorithm>
#include <string>
#include <vector>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "net/uJsonHelper.h"
#include "notices/uAgentMessages.h"
#include "notices/uCacheMidia.h"
#include "notices/uEstadoMensagens.h"
#include "notices/uPopupMensagem.h"
#include "platform/uArquivos.h"
#include "platform/uDigest.h"
#include "platform/uErros.h"
#include "platform/ui/uKitHeadless.h"
#include "tests/notices/uApoioAvisos.h"

namespace {

bool Processada(const std::string& AChave) {
  return TConfigINI::LerTexto(kSecaoProcessadas, AChave, "-") != "-";
}
bool Excluida(const std::string& AChave) {
  return TConfigINI::LerTexto(kSecaoExcluidas, AChave, "-") != "-";
}

// The lines in this order, others between them allowed.
void EsperarEmOrdem(const std::vector<std::string>& ALinhas,
                    const std::vector<std::string>& AEsperadas) {
  size_t k = 0;
  for (const std::string& l : ALinhas)
    if (k < AEsperadas.size() && l == AEsperadas[k]) ++k;
  if (k < AEsperadas.size()) {
    std::string todas;
    for (const std::string& l : ALinhas) todas += "  " + l.substr(0, 200) + "\n";
    ADD_FAILURE() << "missing, in order: " << AEsperadas[k] << "\nlogged:\n" << todas;
  }
}

std::vector<std::string> Resumo(const std::vector<TPedidoAviso>& APedidos) {
  std::vector<std::string> r;
  for (const auto& p : APedidos) {
    std::string s = p.Metodo + " " + p.Caminho.substr(std::min<size_t>(p.Caminho.size(), 14));
    if (!p.Campo("motivo").empty()) s += " " + p.Campo("motivo");
    if (p.Metodo == "GET" && !p.Param("motivo").empty()) s += " " + p.Param("motivo");
    r.push_back(s);
  }
  return r;
}

std::vector<std::string> Titulos(const std::vector<TPopupVisto>& APopups) {
  std::vector<std::string> r;
  for (const auto& p : APopups) r.push_back(p.Titulo);
  return r;
}

}  // namespace

// Row by row: the scenario's notices, what the computer knew before, what the
// employee does; then the requests, the state, the log and the popups.
TEST_F(AvisosTeste, TabelaDeRespostasPeloPassoInteiro) {
  const std::string ontem = [&] {
    return FormatarDataHora("yyyy-mm-dd", RelogioTeste().Agora() - 1) + " 08:00:00";
  }();
  struct Caso {
    const char* Nome;
    std::string Kind, Ack;
    std::vector<std::string> ProcessadasAntes, ExcluidasAntes;
    std::vector<bool> Respostas;
    std::vector<std::string> Pedidos;  // after the link check and the notice request
    std::vector<std::string> Popups;
    std::vector<std::string> ProcessadasDepois, ExcluidasDepois, Ausentes;
    int32_t Posicao;
    std::vector<std::string> Linhas;
  };
  const std::string midia = "GET /media/";
  const Caso casos[] = {
      {"aviso com cada midia, confirmado",
       "media",
       "",
       {},
       {},
       {},
       {midia + "logo.png", midia + "imagem.png", midia + "aviso.wav", midia + "wallpaper.jpg",
        "POST /api/agent_message_ack.php li_entendi_excluir_local"},
       {"Nova politica de seguranca"},
       {"avisos:201:PC-TESTE"},
       {"avisos:201:PC-TESTE"},
       {},
       201,
       {"API mensagens OK. Total retornado: 1", "Wallpaper aplicado da mensagem ID 201",
        "Mensagem recebida ID 201 [avisos]: Nova politica de seguranca",
        "ACK POST mensagem ID 201 [avisos]: {\"ok\":true}",
        "Mensagem confirmada e arquivos locais excluidos apos Li e entendi: avisos:201"}},
      {"dois avisos, o segundo depois do primeiro, o logo baixado de novo",
       "two",
       "",
       {},
       {},
       {},
       {midia + "logo.png", "POST /api/agent_message_ack.php li_entendi_excluir_local",
        midia + "logo.png", "POST /api/agent_message_ack.php li_entendi_excluir_local"},
       {"Primeiro aviso", "Segundo aviso"},
       {"mensagens:211:PC-TESTE", "mensagens:212:PC-TESTE"},
       {"mensagens:211:PC-TESTE", "mensagens:212:PC-TESTE"},
       {},
       212,
       {"Mensagem confirmada e arquivos locais excluidos apos Li e entendi: mensagens:211",
        "Mensagem recebida ID 212 [mensagens]: Segundo aviso"}},
      {"aviso de ontem",
       "yesterday",
       "",
       {},
       {},
       {},
       {},
       {},
       {},
       {},
       {"mensagens:221:PC-TESTE"},
       221,
       {"Mensagem ignorada: fora do dia atual mensagens:221 created_at=" + ontem}},
      {"tabela nao permitida",
       "table",
       "",
       {},
       {},
       {},
       {},
       {},
       {"tarefas:231:PC-TESTE"},
       {},
       {},
       231,
       {"Mensagem ignorada: source_table não permitido no agente desktop: tarefas:231"}},
      {"sem id, id de letras, id 0", "no_id", "", {}, {}, {}, {}, {}, {}, {}, {}, 0, {}},
      {"excluida antes e nao lida: ack silencioso",
       "text",
       "",
       {"mensagens:241:PC-TESTE"},
       {"mensagens:241:PC-TESTE"},
       {},
       {"POST /api/agent_message_ack.php reenvio_ack_silencioso_excluida_local"},
       {},
       {},
       {},
       {},
       241,
       {"Mensagem ignorada: excluida localmente apos Li e entendi mensagens:241"}},
      {"processada antes (o agente morreu com o popup aberto): ack silencioso",
       "text",
       "",
       {"MENSAGENS:241:pc-teste"},
       {},
       {},
       {"POST /api/agent_message_ack.php reenvio_ack_silencioso_processada_local"},
       {},
       {"mensagens:241:PC-TESTE"},
       {},
       {},
       241,
       {"Mensagem ignorada: ja processada localmente, sem reabrir popup mensagens:241"}},
      {"POST sem ok, GET ok",
       "text",
       "post_not_ok",
       {},
       {},
       {},
       {"POST /api/agent_message_ack.php li_entendi_excluir_local",
        "GET /api/agent_message_ack.php li_entendi_excluir_local"},
       {"Aviso de texto"},
       {"mensagens:241:PC-TESTE"},
       {"mensagens:241:PC-TESTE"},
       {},
       241,
       {"ACK POST mensagem ID 241 [mensagens]: {\"ok\":false,\"erro\":\"tente pelo GET\"}",
        "ACK GET mensagem ID 241 [mensagens]: {\"ok\":true}",
        "Mensagem confirmada e arquivos locais excluidos apos Li e entendi: mensagens:241"}},
      {"ack falhando: confirmado e excluido, reenviado depois",
       "text",
       "failing",
       {},
       {},
       {},
       {"POST /api/agent_message_ack.php li_entendi_excluir_local",
        "GET /api/agent_message_ack.php li_entendi_excluir_local"},
       {"Aviso de texto"},
       {"mensagens:241:PC-TESTE"},
       {"mensagens:241:PC-TESTE"},
       {},
       241,
       {"ACK GET mensagem ID 241 [mensagens]: <html><body>Erro 503</body></html>",
        "Mensagem confirmada e arquivos locais excluidos; ACK sera reenviado em silencio "
        "depois: mensagens:241"}},
      {"sessao encerrada com o popup aberto: nada confirmado, nada enviado",
       "text",
       "",
       {},
       {},
       {false},
       {},
       {"Aviso de texto"},
       {},
       {},
       {"mensagens:241:PC-TESTE"},
       0,
       {"Mensagem recebida ID 241 [mensagens]: Aviso de texto"}},
      {"o que um servidor ruim manda",
       "bad",
       "",
       {},
       {},
       {},
       {"GET /cadastro-colaborador.php",
        "POST /api/agent_message_ack.php li_entendi_excluir_local"},
       {"Midias estranhas"},
       {"mensagens:253:PC-TESTE"},
       {"mensagens:253:PC-TESTE"},
       {"mensagens:251:PC-TESTE", "mensagens:252:PC-TESTE"},
       253,
       {"Mensagem ignorada: fora do dia atual mensagens:251 created_at=",
        "Mensagem ignorada: fora do dia atual mensagens:252 created_at=",
        "Falha ao baixar mídia: media/logo.png", "Falha ao baixar mídia: file:///etc/passwd",
        "Falha ao baixar mídia: javascript:alert(1)",
        "Falha ao aplicar wallpaper da mensagem ID 253",
        "Mensagem recebida ID 253 [mensagens]: Midias estranhas"}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    ui::headless::Reiniciar();
    Admin("admin/reset");
    Cenario(c.Kind, "linked", c.Ack);
    for (const char* secao : {kSecaoProcessadas, kSecaoExcluidas, kSecaoControle})
      for (const std::string& k : TConfigINI::Chaves(secao)) TConfigINI::ApagarChave(secao, k);
    for (const auto& k : c.ProcessadasAntes) TConfigINI::EscreverTexto(kSecaoProcessadas, k, "x");
    for (const auto& k : c.ExcluidasAntes) TConfigINI::EscreverTexto(kSecaoExcluidas, k, "");
    Respostas = c.Respostas;
    Popups.clear();
    const size_t antes = Linhas().size();

    Passo();

    const auto pedidos = Resumo(Pedidos());
    ASSERT_GE(pedidos.size(), 2u);
    EXPECT_EQ(pedidos[0], "GET /api/colaborador-vinculo.php");
    EXPECT_EQ(pedidos[1], "GET /api/agent_messages.php");
    EXPECT_EQ(std::vector<std::string>(pedidos.begin() + 2, pedidos.end()), c.Pedidos);
    EXPECT_EQ(Titulos(Popups), c.Popups);
    for (const auto& k : c.ProcessadasDepois) EXPECT_TRUE(Processada(k)) << k;
    for (const auto& k : c.ExcluidasDepois) EXPECT_TRUE(Excluida(k)) << k;
    for (const auto& k : c.Ausentes) EXPECT_FALSE(Processada(k) || Excluida(k)) << k;
    EXPECT_EQ(LerUltimoIdEntregue(), c.Posicao);
    const auto linhas = Linhas();
    EsperarEmOrdem(
        std::vector<std::string>(linhas.begin() + static_cast<long>(antes), linhas.end()),
        c.Linhas);
    // Whatever was shown and confirmed left no medium behind.
    if (!c.Respostas.empty() && !c.Respostas[0]) continue;
    for (const auto& f : Arquivos().Listar(Base() + "cache" + kSep, "*"))
      EXPECT_EQ(ExtensaoDe(f.Nome), ".bmp") << f.Nome;
  }
}

// Members that are null take their defaults: no "null" title or message, no
// download of the address "null", the default table.
TEST_F(AvisosTeste, MembrosNulosTomamOPadrao) {
  CenarioJson(R"("mensagens":[{"id":261,"titulo":null,"mensagem":null,"source_table":null,)"
              R"("created_at":"today 10:00:00","lida":null,"ja_lida":null,"logo_url":null,)"
              R"("imagem_url":null,"imagem":"{base}media/imagem.png","audio_url":null,)"
              R"("wallpaper":null,"aplicar_wallpaper":null}])");
  Cenario("", "linked");
  Passo();
  ASSERT_EQ(Popups.size(), 1u);
  EXPECT_EQ(Popups[0].Titulo, "Aviso");
  EXPECT_EQ(Popups[0].Mensagem, "(sem mensagem)");
  EXPECT_FALSE(Popups[0].TemLogo);
  // The preferred member, null, still wins over the alternative.
  EXPECT_FALSE(Popups[0].TemImagem);
  EXPECT_EQ(
      Resumo(Pedidos()),
      (std::vector<std::string>{"GET /api/colaborador-vinculo.php", "GET /api/agent_messages.php",
                                "POST /api/agent_message_ack.php li_entendi_excluir_local"}));
  EXPECT_TRUE(Excluida("mensagens:261:PC-TESTE"));
  const auto linhas = Linhas();
  EsperarEmOrdem(linhas, {"Mensagem recebida ID 261 [mensagens]: Aviso"});
  for (const std::string& l : linhas) EXPECT_NE(l.rfind("Falha ao baixar", 0), 0u) << l;
}

// A notice confirmed or shown here that the server still reports unread is
// acknowledged in silence, on its own day and on later ones; one it reports
// read is not. Neither is shown again.
TEST_F(AvisosTeste, AckSilenciosoDeAvisoJaTratadoQualquerQueSejaODia) {
  const std::string ontem = FormatarDataHora("yyyy-mm-dd", RelogioTeste().Agora() - 1);
  struct Caso {
    const char* Nome;
    std::string CriadaEm;
    bool Excluida;
    std::string Lida;    // the member and its value, "" for none
    std::string Motivo;  // of the silent acknowledgement, "" for none
    std::string Linha;
  };
  const std::string fora = "Mensagem ignorada: fora do dia atual mensagens:281 created_at=";
  const std::string excluida =
      "Mensagem ignorada: excluida localmente apos Li e entendi mensagens:281";
  const std::string processada =
      "Mensagem ignorada: ja processada localmente, sem reabrir popup mensagens:281";
  const Caso casos[] = {
      {"excluida, de ontem, nao lida", ontem + " 10:00:00", true, "",
       "reenvio_ack_silencioso_excluida_local", fora + ontem + " 10:00:00"},
      {"processada, de ontem, nao lida", ontem + " 10:00:00", false, R"("lida":false)",
       "reenvio_ack_silencioso_processada_local", fora + ontem + " 10:00:00"},
      {"excluida, de ontem, lida", ontem + " 10:00:00", true, R"("lida":true)", "",
       fora + ontem + " 10:00:00"},
      {"processada, de ontem, ja_lida", ontem + " 10:00:00", false, R"("ja_lida":"sim")", "",
       fora + ontem + " 10:00:00"},
      {"excluida, de hoje, lida", "today 10:00:00", true, R"("lida":1)", "", excluida},
      {"processada, de hoje, lida", "today 10:00:00", false, R"("lida":true)", "", processada},
      {"excluida, de hoje, ja_lida", "today 10:00:00", true, R"("lida":false,"ja_lida":"yes")", "",
       excluida},
      {"processada, de hoje, ja_lida", "today 10:00:00", false, R"("lida":"0","ja_lida":true)", "",
       processada},
      {"processada, de hoje, nao lida", "today 10:00:00", false, "",
       "reenvio_ack_silencioso_processada_local", processada},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    CenarioJson(R"("mensagens":[{"id":281,"titulo":"Ja tratado","created_at":")" + c.CriadaEm +
                "\"" + (c.Lida.empty() ? "" : "," + c.Lida) + "}]");
    Cenario("", "linked");
    for (const char* secao : {kSecaoProcessadas, kSecaoExcluidas})
      for (const std::string& k : TConfigINI::Chaves(secao)) TConfigINI::ApagarChave(secao, k);
    TConfigINI::EscreverTexto(kSecaoProcessadas, "mensagens:281:PC-TESTE", ontem + " 10:05:00");
    if (c.Excluida)
      TConfigINI::EscreverTexto(kSecaoExcluidas, "mensagens:281:PC-TESTE", ontem + " 10:05:00");
    Popups.clear();
    const size_t antes = Linhas().size();
    Passo();
    EXPECT_TRUE(Popups.empty());
    const auto acks = Pedidos("api/agent_message_ack.php");
    if (c.Motivo.empty()) {
      EXPECT_TRUE(acks.empty());
    } else {
      ASSERT_EQ(acks.size(), 1u);
      EXPECT_EQ(acks[0].Campo("motivo"), c.Motivo);
    }
    const auto linhas = Linhas();
    EsperarEmOrdem(
        std::vector<std::string>(linhas.begin() + static_cast<long>(antes), linhas.end()),
        {c.Linha});
    EXPECT_EQ(LerUltimoIdEntregue(), 281);
    TConfigINI::ApagarChave(kSecaoControle, "ULTIMO_ID_ENTREGUE");
  }
}

// Notices of a table this agent does not show, at the head of a full list: the
// position moves past them, their keys are written once, and the notice after
// them comes through at the next pass.
TEST_F(AvisosTeste, TabelaNaoPermitidaAvancaAPosicao) {
  std::string lista;
  for (int i = 1; i <= 20; ++i)
    lista += (lista.empty() ? "" : ",") + std::string(R"({"id":)") + std::to_string(300 + i) +
             R"(,"source_table":"tarefas","titulo":"T","created_at":"today 10:00:00"})";
  CenarioJson(R"("mensagens":[)" + lista +
              R"(,{"id":321,"titulo":"Depois das tarefas","created_at":"today 10:00:00"}])");
  Cenario("", "linked");
  // The request asks for 20: the first pass gets only the tasks' notices.
  Passo();
  EXPECT_TRUE(Popups.empty());
  EXPECT_EQ(LerUltimoIdEntregue(), 320);
  Passo();
  ASSERT_EQ(Popups.size(), 1u);
  EXPECT_EQ(Popups[0].Titulo, "Depois das tarefas");
  EXPECT_EQ(LerUltimoIdEntregue(), 321);
  ASSERT_FALSE(TConfigINI::LerTexto(kSecaoProcessadas, "tarefas:301:PC-TESTE", "").empty());
  // Offered again (the position lost): the key is not rewritten.
  const std::string ontem =
      FormatarDataHora("yyyy-mm-dd", RelogioTeste().Agora() - 1) + " 10:05:00";
  TConfigINI::EscreverTexto(kSecaoProcessadas, "tarefas:301:PC-TESTE", ontem);
  TConfigINI::EscreverTexto(kSecaoControle, "ULTIMO_ID_ENTREGUE", "0");
  Passo();
  EXPECT_EQ(TConfigINI::LerTexto(kSecaoProcessadas, "tarefas:301:PC-TESTE", ""), ontem);
  EXPECT_EQ(LerUltimoIdEntregue(), 320);
  EXPECT_EQ(Popups.size(), 1u);
}

// Once a day the pass removes the keys of notices handled more than 30 days
// ago; the state of recent ones stays.
TEST_F(AvisosTeste, PassoRemoveChavesAntigasUmaVezPorDia) {
  CenarioJson(R"("mensagens":[])");
  Cenario("", "linked");
  auto ha = [&](double ADias) {
    return FormatarDataHora("yyyy-mm-dd hh:nn:ss", RelogioTeste().Agora() - ADias);
  };
  TConfigINI::EscreverTexto(kSecaoProcessadas, "mensagens:1:PC-TESTE", ha(31));
  TConfigINI::EscreverTexto(kSecaoExcluidas, "mensagens:1:PC-TESTE", ha(31));
  TConfigINI::EscreverTexto(kSecaoProcessadas, "mensagens:2:PC-TESTE", ha(2));
  Passo();
  EXPECT_FALSE(Processada("mensagens:1:PC-TESTE"));
  EXPECT_FALSE(Excluida("mensagens:1:PC-TESTE"));
  EXPECT_TRUE(Processada("mensagens:2:PC-TESTE"));
  EsperarEmOrdem(Linhas(), {"Estado de mensagens: 2 chave(s) com mais de 30 dias removida(s)."});
  // The same day: left for tomorrow. (Alone in the section: the walk stops at
  // the first recent key, the keys standing in the order they were written.)
  TConfigINI::ApagarChave(kSecaoProcessadas, "mensagens:2:PC-TESTE");
  TConfigINI::EscreverTexto(kSecaoProcessadas, "mensagens:3:PC-TESTE", ha(40));
  Passo();
  EXPECT_TRUE(Processada("mensagens:3:PC-TESTE"));
  RelogioTeste().Avancar(24 * 60 * 60 * 1000);
  Passo();
  EXPECT_FALSE(Processada("mensagens:3:PC-TESTE"));
}

// A notice with each medium: what the popup had and what became of the files.
TEST_F(AvisosTeste, MidiasNoPopupWallpaperAplicadoEArquivosExcluidos) {
  Cenario("media", "linked");
  Passo();
  ASSERT_EQ(Popups.size(), 1u);
  EXPECT_EQ(Popups[0].Empresa, "Vesk Teste");
  EXPECT_TRUE(Popups[0].TemLogo);
  EXPECT_TRUE(Popups[0].TemImagem);
  // The audio played from the cache while the popup was open.
  bool tocou = false;
  for (const auto& t : FMci.Textos())
    if (t.find("open \"" + Base() + "cache" + kSep + "aud_") == 0) tocou = true;
  EXPECT_TRUE(tocou);
  // The wallpaper as its bitmap beside the download, which stays in the cache.
  const std::string url = UrlServidor() + "media/wallpaper.jpg";
  const std::string bmp = Base() + "cache" + kSep + "wall_" + Md5Hex(url) + ".bmp";
  ASSERT_EQ(FDesktop.Chamadas, std::vector<std::string>{bmp});
  EXPECT_TRUE(Arquivos().ArquivoExiste(bmp));
  for (const char* m : {"logo.png", "imagem.png", "aviso.wav", "wallpaper.jpg"}) {
    const std::string u = UrlServidor() + "media/" + m;
    EXPECT_FALSE(Arquivos().ArquivoExiste(CaminhoCacheMidia(u, "x", "imagem"))) << m;
  }
  const auto linhas = Linhas();
  EsperarEmOrdem(linhas,
                 {"Mídia baixada: logo_" + Md5Hex(UrlServidor() + "media/logo.png") + ".png",
                  "Cache de mensagem excluido: " +
                      CaminhoCacheMidia(UrlServidor() + "media/imagem.png", "msg", "imagem")});

  // A second pass: the server now says "lida"; nothing shown, nothing re-sent.
  Admin("admin/requests/clear");
  Passo();
  EXPECT_EQ(Popups.size(), 1u);
  EXPECT_TRUE(Pedidos("api/agent_message_ack.php").empty());
}

// The server keeps offering a confirmed notice unread: re-acknowledged on every
// pass, never shown again.
TEST_F(AvisosTeste, AvisoConfirmadoDevolvidoNaoLidoSoReenviaOAck) {
  Cenario("unread_again", "linked");
  Passo();
  ASSERT_EQ(Popups.size(), 1u);
  for (int i = 0; i < 2; ++i) {
    Admin("admin/requests/clear");
    // The position moved past it; a server that ignores since_id sends it anyway.
    TConfigINI::EscreverTexto(kSecaoControle, "ULTIMO_ID_ENTREGUE", "0");
    Passo();
    EXPECT_EQ(Popups.size(), 1u);
    const auto acks = Pedidos("api/agent_message_ack.php");
    ASSERT_EQ(acks.size(), 1u);
    EXPECT_EQ(acks[0].Campo("motivo"), "reenvio_ack_silencioso_excluida_local");
  }
}

// The session ended while the popup waited: the next log-on of the day shows
// the notice again, and only its confirmation is acknowledged.
TEST_F(AvisosTeste, SessaoEncerradaMostraDeNovoNoProximoLogon) {
  Cenario("media", "linked");
  Respostas = {false};
  Passo();
  ASSERT_EQ(Popups.size(), 1u);
  EXPECT_TRUE(Pedidos("api/agent_message_ack.php").empty());
  EXPECT_FALSE(MensagemProcessada("avisos", 201));
  EXPECT_FALSE(MensagemExcluida("avisos", 201));
  EXPECT_EQ(LerUltimoIdEntregue(), 0);

  ui::headless::Reiniciar();
  Admin("admin/requests/clear");
  Respostas = {true};
  Passo();
  ASSERT_EQ(Popups.size(), 2u);
  const auto acks = Pedidos("api/agent_message_ack.php");
  ASSERT_EQ(acks.size(), 1u);
  EXPECT_EQ(acks[0].Campo("motivo"), "li_entendi_excluir_local");
  EXPECT_TRUE(MensagemExcluida("avisos", 201));
}

// A log-off with the popup open: the notice is new again by the time the
// session-end handler returns, since the system may end the process then.
TEST_F(AvisosTeste, FimDeSessaoDevolveOAvisoAntesDeOTratadorRetornar) {
  Cenario("media", "linked");
  bool encerrou = false, antes = false, depois = true;
  ui::headless::AoProcessarMensagens = [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    if (encerrou || !p || !p->EmEspera()) return;
    encerrou = true;
    antes = MensagemProcessada("avisos", 201);
    EXPECT_TRUE(p->AoConsultarFimSessao());
    p->EncerrarSessao();  // what WM_ENDSESSION with TRUE does
    depois = MensagemProcessada("avisos", 201);
  };
  TAgentMessages::VerificarMensagens();
  ui::headless::AoProcessarMensagens = nullptr;
  ASSERT_TRUE(encerrou);
  EXPECT_TRUE(antes);
  EXPECT_FALSE(depois);
  EXPECT_FALSE(MensagemProcessada("avisos", 201));
  EXPECT_FALSE(MensagemExcluida("avisos", 201));
  EXPECT_TRUE(Pedidos("api/agent_message_ack.php").empty());
  EXPECT_EQ(LerUltimoIdEntregue(), 0);
}

// The request: parameters in order, bootstrap only at position 0, the token
// masked in the log.
TEST_F(AvisosTeste, PedidoComParametrosEmOrdemETokenMascarado) {
  struct Caso {
    const char* Nome;
    std::string Posicao, Token, Fim, Mascara;
  };
  const Caso casos[] = {
      {"primeira vez", "", "tok-teste-1234567890", "&since_id=0&limite=20&bootstrap=1",
       "tok-te...7890"},
      {"posicao 37", "37", "tok-teste-1234567890", "&since_id=37&limite=20", "tok-te...7890"},
      {"posicao de letras", "abc", "tok-teste-1234567890", "&since_id=0&limite=20&bootstrap=1",
       "tok-te...7890"},
      {"token de 12", "5", "abcdefghijkl", "&since_id=5&limite=20", "***"},
  };
  FSistema.Ambiente["USERNAME"] = "Jo\xC3\xA3o Silva";
  FSistema.Computador = " pc-teste ";
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    CenarioJson(std::string("\"mensagens\":[]"));
    if (!c.Posicao.empty())
      TConfigINI::EscreverTexto(kSecaoControle, "ULTIMO_ID_ENTREGUE", c.Posicao);
    Configurar(UrlServidor(), c.Token);
    const size_t antes = Linhas().size();
    Passo();
    const auto pedidos = Pedidos("api/agent_messages.php");
    if (c.Token != kToken) {
      // The server refuses that token; only the address matters here.
      ASSERT_EQ(pedidos.size(), 1u);
    } else {
      ASSERT_EQ(pedidos.size(), 1u);
    }
    const std::string consulta =
        "api_token=" + c.Token + "&computador=PC-TESTE&usuario=Jo%C3%A3o+Silva&debug=1" + c.Fim;
    EXPECT_EQ(pedidos[0].Consulta, consulta);
    const std::string pos = c.Posicao.empty() || c.Posicao == "abc" ? "0" : c.Posicao;
    const auto linhas = Linhas();
    EsperarEmOrdem(
        std::vector<std::string>(linhas.begin() + static_cast<long>(antes), linhas.end()),
        {"Buscando mensagens em: " + UrlServidor() + "api/agent_messages.php?" +
         SubstituirTudo(consulta, c.Token, c.Mascara) + " | ultimo_id_entregue=" + pos});
    TConfigINI::ApagarChave(kSecaoControle, "ULTIMO_ID_ENTREGUE");
  }
}

// The answer's envelope and array, each with its line; nothing shown.
TEST_F(AvisosTeste, EnvelopeEArrayDaResposta) {
  const std::string html = "<html><body>" + std::string(600, 'x') + "</body></html>";
  struct Caso {
    const char* Nome;
    std::string Corpo;
    std::string Linha;
  };
  const Caso casos[] = {
      {"ok texto 1", R"({"ok":"1","mensagens":[]})", "API mensagens OK. Total retornado: 0"},
      {"success true, ok false", R"({"ok":false,"success":true,"data":[1,2]})",
       "API mensagens OK. Total retornado: 2"},
      {"mensagens objeto, data array", R"({"ok":true,"mensagens":{},"data":[],"items":[1]})",
       "API mensagens OK. Total retornado: 0"},
      {"items", R"({"ok":"TRUE","items":[{},{}]})", "API mensagens OK. Total retornado: 2"},
      {"sem ok nem success", R"({"mensagens":[]})",
       R"(API mensagens retornou erro: {"mensagens":[]})"},
      {"ok false com um erro enorme", R"({"ok":false,"erro":")" + std::string(5000, 'e') + "\"}",
       "API mensagens retornou erro: " +
           (R"({"ok":false,"erro":")" + std::string(5000, 'e')).substr(0, 2000)},
      {"sem array", R"({"ok":true,"mensagens":"nada"})",
       R"(API mensagens sem array mensagens/data/items. Retorno: {"ok":true,"mensagens":"nada"})"},
      {"vazio", "  \r\n", "API mensagens retornou vazio. Verifique URL/base do servidor."},
      {"html", html, "API mensagens retornou conteúdo inválido/HTML: " + html.substr(0, 500)},
      {"array na raiz", "[1]", "API mensagens retornou conteúdo inválido/HTML: [1]"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    rapidjson::Document d;
    d.SetObject();
    auto& a = d.GetAllocator();
    d.AddMember("api_token", rapidjson::StringRef(kToken), a);
    rapidjson::Value r(rapidjson::kObjectType);
    rapidjson::Value lit(rapidjson::kObjectType);
    lit.AddMember("content_type", "text/plain", a);
    lit.AddMember("body", rapidjson::Value(c.Corpo.c_str(), a), a);
    r.AddMember("api/agent_messages.php", lit, a);
    d.AddMember("respostas", r, a);
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    d.Accept(w);
    ASSERT_EQ(Admin("admin/scenario", sb.GetString()), "{\"ok\":true}");
    const size_t antes = Linhas().size();
    Passo();
    const auto linhas = Linhas();
    EsperarEmOrdem(
        std::vector<std::string>(linhas.begin() + static_cast<long>(antes), linhas.end()),
        {c.Linha});
    EXPECT_TRUE(Popups.empty());
    EXPECT_EQ(LerUltimoIdEntregue(), 0);
  }
}

TEST_F(AvisosTeste, SemTokenNadaAconteceEPedidoQueFalhaSobeSemMudarEstado) {
  Configurar(UrlServidor(), "   ");
  Passo();
  EXPECT_TRUE(Pedidos().empty());
  EXPECT_EQ(Linhas().back(), "Mensagens ignoradas: token ausente.");

  Configurar(EnderecoFechado(), kToken);
  EXPECT_THROW(Passo(), std::exception);
  EXPECT_TRUE(TConfigINI::Chaves(kSecaoProcessadas).empty());
  EXPECT_TRUE(TConfigINI::Chaves(kSecaoControle).empty());
}

// config.ini refuses writes during the pass: the pass ends before the popup,
// nothing is acknowledged, and once writable the notice shows exactly once.
TEST_F(AvisosTeste, ConfigSomenteLeituraNaoMostraNemConfirma) {
  Cenario("text", "linked");
  TConfigINI::Descarregar();
  DefinirSomenteLeitura(TConfigINI::ArquivoConfig(), true);
  EXPECT_THROW(Passo(), EIniErro);
  DefinirSomenteLeitura(TConfigINI::ArquivoConfig(), false);
  EXPECT_TRUE(Popups.empty());
  EXPECT_TRUE(Pedidos("api/agent_message_ack.php").empty());
  Passo();
  Passo();
  EXPECT_EQ(Titulos(Popups), std::vector<std::string>{"Aviso de texto"});
}
