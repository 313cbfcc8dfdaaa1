// The notice media names, download and deletion; the notice state in
// config.ini; the acknowledgement with its fallback and its reply test.
// Natively and under Wine (CNG's MD5, the Windows profile API).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "net/uConvencoes.h"
#include "net/uJsonHelper.h"
#include "notices/uAckMensagem.h"
#include "notices/uCacheMidia.h"
#include "notices/uEstadoMensagens.h"
#include "platform/uArquivos.h"
#include "platform/uDigest.h"
#include "platform/uLocalidade.h"
#include "tests/net/uAmbienteHttp.h"

namespace {

TEST(CacheMidia, ExtensaoPelaRegraDoWindows) {
  struct Caso {
    const char* Url;
    const char* Tipo;
    const char* Ext;
  };
  const Caso casos[] = {
      {"http://srv/img/Banner.PNG?v=3", "imagem", ".png"},
      {"http://srv/a/som.ogg", "audio", ".mp3"},
      {"http://srv/a/foto.gif", "imagem", ".jpg"},
      {"http://srv/a/foto.JPEG", "imagem", ".jpeg"},
      {"http://srv/a/f.bmp", "IMAGEM", ".bmp"},
      {"http://srv/a/som.WAV", "AUDIO", ".wav"},
      {"http://srv/a/som.m4a?x=1.2", "audio", ".mp3"},  // the last dot is in the query
      {"http://srv/a/som.wma", "audio", ".wma"},
      {"http://srv/a/som.mp3", "imagem", ".jpg"},
      {"http://www.servidor.com/sem/ponto", "imagem", ".jpg"},  // ".com/sem/ponto"
      {"http://127.0.0.1:8080/midia/logo", "imagem", ".jpg"},   // ":" after the last dot
      {"http://srv/a\\b.png", "imagem", ".png"},
      {"http://srv/a.png\\b", "imagem", ".jpg"},
      {"", "audio", ".mp3"},
  };
  for (const Caso& c : casos) EXPECT_EQ(ExtensaoMidia(c.Url, c.Tipo), c.Ext) << c.Url;
}

TEST(CacheMidia, CaminhoComMd5DosBytesDaUrl) {
  TBaseTemporaria base;
  // RFC 1321's own examples, through the platform's digest.
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  const std::string cache = base.Base() + "cache" + kSep;
  const std::string url = "http://srv/img/Banner.PNG?v=3";
  EXPECT_EQ(CaminhoCacheMidia(url, "msg", "imagem"), cache + "msg_" + Md5Hex(url) + ".png");
  // Not trimmed: a trailing blank is another address.
  EXPECT_NE(CaminhoCacheMidia(url, "msg", "imagem"), CaminhoCacheMidia(url + " ", "msg", "imagem"));
  // UTF-8 bytes of the address as received.
  const std::string acentos = "http://srv/m\xC3\xBAsica.mp3";
  EXPECT_EQ(CaminhoCacheMidia(acentos, "aud", "audio"), cache + "aud_" + Md5Hex(acentos) + ".mp3");
  EXPECT_EQ(CaminhoCacheMidia(" \t", "logo", "imagem"), "");
  EXPECT_EQ(CaminhoCacheMidia("", "logo", "imagem"), "");
}

TEST(Ack, RespostaOkPorJsonOuPorTexto) {
  struct Caso {
    const char* Resposta;
    bool Ok;
  };
  const Caso casos[] = {
      {R"({"ok":true})", true},
      {R"({"ok": true})", true},  // an object: the blank does not matter
      {R"({"ok":"sim"})", true},
      {R"({"ok":"1"})", true},
      {R"({"success":"yes"})", true},
      {R"({"ok":false,"success":true})", true},
      {R"({"ok":false})", false},
      {R"({"ok":"0"})", false},
      {R"({})", false},
      {R"(aviso: {"success":true})", true},  // not JSON: the text rule
      {R"(aviso: {"success": true})", false},
      {R"(<b>"OK":TRUE</b>)", true},
      {R"([{"ok":true}])", true},  // JSON but not an object: the text rule
      {"", false},
      {"ok", false},
  };
  for (const Caso& c : casos) EXPECT_EQ(RespostaOk(c.Resposta), c.Ok) << c.Resposta;
}

TEST(EstadoMensagens, ChavesPresencaEPosicao) {
  TBaseTemporaria base;
  EXPECT_EQ(MontarChaveMensagem(" AVISOS ", 57), "avisos:57:" + ObterNomeComputadorMaiusculo());
  EXPECT_FALSE(MensagemProcessada("avisos", 0));
  MarcarMensagemProcessada("avisos", 0);
  MarcarMensagemExcluida("avisos", -1);
  EXPECT_TRUE(TConfigINI::Chaves(kSecaoProcessadas).empty());
  EXPECT_TRUE(TConfigINI::Chaves(kSecaoExcluidas).empty());

  // Written by hand in capitals, with an empty value: present.
  TConfigINI::EscreverTexto(kSecaoExcluidas,
                            "AVISOS:57:" + MaiusculasAscii(ObterNomeComputadorMaiusculo()), "");
  EXPECT_TRUE(MensagemExcluida("avisos", 57));
  EXPECT_FALSE(MensagemProcessada("avisos", 57));
  MarcarMensagemProcessada("avisos", 57);
  MarcarMensagemProcessada("avisos", 57);
  EXPECT_EQ(TConfigINI::Chaves(kSecaoProcessadas).size(), 1u);
  EXPECT_TRUE(MensagemProcessada("avisos", 57));
  DesmarcarMensagemProcessada("avisos", 57);
  EXPECT_FALSE(MensagemProcessada("avisos", 57));
  EXPECT_TRUE(MensagemExcluida("avisos", 57));

  EXPECT_EQ(LerUltimoIdEntregue(), 0);
  AtualizarUltimoIdEntregue(37);
  AtualizarUltimoIdEntregue(40);
  EXPECT_EQ(LerUltimoIdEntregue(), 40);
  const std::string hora = TConfigINI::LerTexto(kSecaoControle, "ULTIMA_ATUALIZACAO", "");
  TDateTime lida = 0;
  EXPECT_TRUE(LerDataHoraEstado(hora, lida)) << hora;
  TConfigINI::EscreverTexto(kSecaoControle, "ULTIMA_ATUALIZACAO", "x");
  AtualizarUltimoIdEntregue(38);
  EXPECT_EQ(LerUltimoIdEntregue(), 40);
  EXPECT_EQ(TConfigINI::LerTexto(kSecaoControle, "ULTIMA_ATUALIZACAO", ""), "x");
  TConfigINI::EscreverTexto(kSecaoControle, "ULTIMO_ID_ENTREGUE", "abc");
  EXPECT_EQ(LerUltimoIdEntregue(), 0);
}

// Keys more than 30 days old go, oldest first; keys without a stored time and
// everything from the first recent key on stay.
TEST(EstadoMensagens, ChavesAntigasRemovidas) {
  TBaseTemporaria base;
  TPartesDataHora p;
  p.Ano = 2025;
  p.Mes = 3;
  p.Dia = 5;
  p.Hora = 14;
  const TDateTime agora = CodificarDataHora(p);
  auto ha = [&](double ADias) { return FormatarDataHora("yyyy-mm-dd hh:nn:ss", agora - ADias); };
  const std::vector<std::pair<std::string, std::string>> processadas = {
      {"mensagens:1:PC", ha(40)}, {"mensagens:2:PC", ""},     {"mensagens:3:PC", ha(30.5)},
      {"mensagens:4:PC", "x"},    {"mensagens:5:PC", ha(29)}, {"mensagens:6:PC", ha(45)},
  };
  for (const auto& [k, v] : processadas) TConfigINI::EscreverTexto(kSecaoProcessadas, k, v);
  TConfigINI::EscreverTexto(kSecaoExcluidas, "mensagens:1:PC", ha(40));
  TConfigINI::EscreverTexto(kSecaoExcluidas, "avisos:9:PC", ha(-2));  // ahead of the clock
  TConfigINI::EscreverTexto(kSecaoExcluidas, "avisos:10:PC", ha(90));

  EXPECT_EQ(LimparEstadoAntigo(agora), 3u);
  EXPECT_EQ(TConfigINI::Chaves(kSecaoProcessadas),
            (std::vector<std::string>{"mensagens:2:PC", "mensagens:4:PC", "mensagens:5:PC",
                                      "mensagens:6:PC"}));
  EXPECT_EQ(TConfigINI::Chaves(kSecaoExcluidas),
            (std::vector<std::string>{"avisos:9:PC", "avisos:10:PC"}));
  EXPECT_TRUE(TConfigINI::Chaves(kSecaoControle).empty());
  TConfigINI::EscreverTexto(kSecaoProcessadas, "mensagens:2:PC", ha(50));
  // Two days on, the key of 29 days is old too, and the walk goes past it.
  EXPECT_EQ(LimparEstadoAntigo(agora + 2), 3u);
  EXPECT_EQ(TConfigINI::Chaves(kSecaoProcessadas), std::vector<std::string>{"mensagens:4:PC"});
}

TEST(EstadoMensagens, LimpezaDeUmDiaTemLimite) {
  TBaseTemporaria base;
  const TDateTime agora = 46000.5;
  std::string ini = "[MENSAGENS_PROCESSADAS]\r\n";
  const std::string velha = FormatarDataHora("yyyy-mm-dd hh:nn:ss", agora - 100);
  for (size_t i = 1; i <= kMaxRemovidasPorDia + 50; ++i)
    ini += "mensagens:" + std::to_string(i) + ":PC=" + velha + "\r\n";
  // More keys without a time than a day looks at: the old key behind them waits.
  ini += "[MENSAGENS_EXCLUIDAS]\r\n";
  for (size_t i = 1; i <= kMaxExaminadasPorDia; ++i)
    ini += "mensagens:" + std::to_string(i) + ":PC=x\r\n";
  ini += "avisos:1:PC=" + velha + "\r\n";
  GravarArquivoTeste(TConfigINI::ArquivoConfig(), ini);
  EXPECT_EQ(LimparEstadoAntigo(agora), kMaxRemovidasPorDia);
  EXPECT_EQ(TConfigINI::Chaves(kSecaoProcessadas).size(), 50u);
  EXPECT_EQ(LimparEstadoAntigo(agora + 1), 50u);
  EXPECT_TRUE(TConfigINI::Chaves(kSecaoProcessadas).empty());
  EXPECT_TRUE(TConfigINI::ChaveExiste(kSecaoExcluidas, "avisos:1:PC"));
}

// A hundred thousand keys in each section, the notice's own the last of them:
// every presence check still sees it.
TEST(EstadoMensagens, CemMilChavesPorSecao) {
  TBaseTemporaria base;
  const std::string pc = ObterNomeComputadorMaiusculo();
  std::string ini = "[SERVIDOR]\r\nURL=http://x/\r\n";
  for (const char* secao : {kSecaoProcessadas, kSecaoExcluidas}) {
    ini += std::string("[") + secao + "]\r\n";
    for (int i = 1; i <= 100000; ++i)
      ini += "mensagens:" + std::to_string(i) + ":" + pc + "=2025-03-05 14:07:09\r\n";
    ini += "avisos:900001:" + pc + "=2025-03-05 14:07:09\r\n";
  }
  GravarArquivoTeste(TConfigINI::ArquivoConfig(), ini);
  EXPECT_TRUE(MensagemExcluida("avisos", 900001));
  EXPECT_TRUE(MensagemProcessada("avisos", 900001));
  EXPECT_TRUE(MensagemProcessada("mensagens", 100000));
  EXPECT_FALSE(MensagemProcessada("avisos", 900002));
}

TEST(EstadoMensagens, DataHoraRegional) {
  TPartesDataHora p;
  p.Ano = 2025;
  p.Mes = 3;
  p.Dia = 5;
  p.Hora = 14;
  p.Minuto = 7;
  p.Segundo = 9;
  const TDateTime t = CodificarDataHora(p);
  // Written in the user's regional format (fixed natively) and read back.
  const std::string texto = TextoDataHoraEstado(t);
#ifndef _WIN32
  EXPECT_EQ(texto, "05/03/2025 14:07:09");
#endif
  EXPECT_NE(texto.find("2025"), std::string::npos) << texto;
  TDateTime lido = 0;
  ASSERT_TRUE(LerDataHoraEstado(texto, lido)) << texto;
  EXPECT_NEAR(lido, t, kUmSegundo / 10);
  ASSERT_TRUE(LerDataHoraEstado("2025-03-05 14:07", lido));
  EXPECT_NEAR(lido, t - 9 * kUmSegundo, kUmSegundo / 10);
  for (const char* ruim : {"", "ontem", "31/02/2025 10:00:00", "13/13/2025 10:00:00",
                           "05/03/2025 24:00:00", "05/03/2025 10:00:00 x"})
    EXPECT_FALSE(LerDataHoraEstado(ruim, lido)) << ruim;
  // Numbers past 32 bits would wrap round into a valid date (4294967301 is 5).
  for (const char* grande :
       {"4294967301/01/2024 10:00:00", "05/4294967297/2024 10:00:00", "05/01/4294969320 10:00:00",
        "05/01/2024 4294967306:00:00", "05/01/2024 10:4294967296:00", "05/01/2024 10:00:4294967296",
        "2024-01-4294967301 10:00:00", "6442452944-01-05 10:00:00",
        "99999999999999999999/01/2024 10:00:00", "-4294967291/01/2024 10:00:00"})
    EXPECT_FALSE(LerDataHoraEstado(grande, lido)) << grande;
#ifndef _WIN32
  // Blanks as before, seconds optional, in the day-first shape (on Windows the
  // user's regional pattern, which may put the month first, reads first).
  ASSERT_TRUE(LerDataHoraEstado("5/3/2025  14:7:9", lido));
  EXPECT_NEAR(lido, t, kUmSegundo / 10);
  ASSERT_TRUE(LerDataHoraEstado("05/03/2025 14:07", lido));
  EXPECT_NEAR(lido, t - 9 * kUmSegundo, kUmSegundo / 10);
#endif
}

TEST(EstadoMensagens, AnoIsoDeQuatroAlgarismosNaoEDia) {
  // An ISO text of a year below 32 read as a regional date took "0012" for the
  // day and "06" for the year 2006.
  TPartesDataHora p;
  p.Ano = 12;
  p.Mes = 5;
  p.Dia = 6;
  p.Hora = 10;
  TDateTime lido = 0;
  ASSERT_TRUE(LerDataHoraEstado("0012-05-06 10:00:00", lido));
  EXPECT_NEAR(lido, CodificarDataHora(p), kUmSegundo / 10);
  EXPECT_FALSE(LerDataHoraRegional("0005/03/2025 10:00:00", lido));
  EXPECT_FALSE(LerDataHoraRegional("05/003/2025 10:00:00", lido));
}

class MidiaEAck : public TAmbienteHttp {
 protected:
  void SetUp() override {
    ASSERT_FALSE(EnderecoDevServer().empty())
        << "VESK_DEVSERVER not set (run through tools/testenv.sh)";
    TAmbienteHttp::SetUp();
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    Admin("admin/reset");
  }
  void TearDown() override {
    Admin("admin/reset");
    TAmbienteHttp::TearDown();
  }
  std::string Cache(const std::string& ANome) const { return Base() + "cache" + kSep + ANome; }
};

TEST_F(MidiaEAck, BaixarReusaArquivoNaoVazioENuncaDeixaResto) {
  const std::string url = Url("demo/intranet/media/logo.png");
  const std::string destino = CaminhoCacheMidia(url, "logo", "imagem");
  BaixarMidia(url, destino);
  ASSERT_GT(Arquivos().Tamanho(destino), 0);
  EXPECT_EQ(Linhas().back(), "Mídia baixada: " + NomeDe(destino));

  // A non-empty file is reused without a word; an empty one is fetched again.
  GravarArquivoTeste(destino, "x");
  const size_t antes = Linhas().size();
  BaixarMidia(url, destino);
  EXPECT_EQ(LerArquivoTeste(destino), "x");
  EXPECT_EQ(Linhas().size(), antes);
  GravarArquivoTeste(destino, "");
  BaixarMidia(url, destino);
  EXPECT_GT(Arquivos().Tamanho(destino), 1);

  // An answer past 64 MiB and addresses that are no download: no file, the
  // failure line. (A status page is a body like any other: no status is read.)
  struct Caso {
    const char* Nome;
    std::string Url;
  };
  const Caso falhas[] = {
      {"65 MiB", Url("test/grande?mb=65")},
      {"relativa", "media/logo.png"},
      {"file:", "file:///etc/hosts"},
  };
  for (const Caso& c : falhas) {
    SCOPED_TRACE(c.Nome);
    const std::string d = CaminhoCacheMidia(c.Url, "msg", "imagem");
    GravarArquivoTeste(d, "");
    BaixarMidia(c.Url, d);
    EXPECT_FALSE(Arquivos().ArquivoExiste(d));
    const std::string ultima = Linhas().back();
    EXPECT_EQ(ultima.rfind("Falha ao baixar mídia: " + c.Url, 0), 0u) << ultima;
  }
  BaixarMidia("", destino);
  BaixarMidia(url, "  ");
}

TEST_F(MidiaEAck, ExcluirComCincoTentativasEDepoisDeixa) {
  const std::string f = Cache("msg_teste.jpg");
  GravarArquivoTeste(f, "abc");
  DefinirSomenteLeitura(f, true);  // the attributes are cleared first
  ExcluirArquivoCache(f);
  EXPECT_FALSE(Arquivos().ArquivoExiste(f));
  EXPECT_EQ(Linhas().back(), "Cache de mensagem excluido: " + f);

  GravarArquivoTeste(f, "abc");
  TArquivosComFalhas recusa;
  recusa.RecusarApagar = true;
  {
    SubstituirConcern<IArquivos> troca(recusa);
    const uint64_t dormido = RelogioTeste().TotalDormido;
    ExcluirArquivoCache(f);
    EXPECT_EQ(recusa.Apagamentos, 5);
    EXPECT_EQ(RelogioTeste().TotalDormido - dormido, 5u * 200u);
  }
  EXPECT_TRUE(Arquivos().ArquivoExiste(f));
  EXPECT_EQ(Linhas().back(), "Cache de mensagem permaneceu apos tentativas de exclusao: " + f);
  // Gone already, or no path: nothing is said.
  Arquivos().Apagar(f);
  const size_t antes = Linhas().size();
  ExcluirArquivosMensagem("", f, "", " ");
  EXPECT_EQ(Linhas().size(), antes);
}

#ifndef _WIN32
// Natively only: under Wine 8 no link can be made (CreateSymbolicLinkW answers
// success and makes nothing; FSCTL_SET_REPARSE_POINT for a junction fails).
// A notice's media path that leads through a link (the cache folder turned
// into one, or the file itself): the file at its end keeps its content and
// its read-only state, and the log names the link.
TEST_F(MidiaEAck, ExcluirNaoSegueLigacao) {
  TPastaTemporaria outra;
  const std::string doc = outra / "msg_teste.jpg";
  GravarArquivoTeste(doc, "do empregado");
  DefinirSomenteLeitura(doc, true);
  const std::string f = Cache("msg_teste.jpg");
  ASSERT_TRUE(CriarLigacao(doc, f));
  ExcluirArquivoCache(f);
  EXPECT_TRUE(Arquivos().EhLigacao(f));
  EXPECT_EQ(Linhas().back(),
            "Aviso: cache de mensagem mantido: " + f + " e uma juncao ou link simbolico.");
  ASSERT_TRUE(Arquivos().Apagar(f));

  const std::string pasta = Base() + "cache";
  ASSERT_TRUE(std::filesystem::remove(std::filesystem::u8path(pasta)));
  ASSERT_TRUE(CriarLigacao(outra.Caminho(), pasta));
  ExcluirArquivosMensagem("", f, "", "");
  EXPECT_EQ(LerArquivoTeste(doc), "do empregado");
  EXPECT_EQ(Linhas().back(),
            "Aviso: cache de mensagem mantido: " + pasta + " e uma juncao ou link simbolico.");
  const auto perm = std::filesystem::status(std::filesystem::u8path(doc)).permissions();
  EXPECT_EQ(perm & std::filesystem::perms::owner_write, std::filesystem::perms::none)
      << "still read-only";
  DefinirSomenteLeitura(doc, false);
}
#endif

TEST_F(MidiaEAck, AckPostDepoisGetSoQuandoOPostNaoDisseOk) {
  TConfigAgente cfg;
  cfg.URL = Url("demo/intranet");
  cfg.ApiToken = "tok-teste-1234567890";
  struct Caso {
    const char* Nome;
    std::string Ack, Motivo;
    bool Resultado;
    std::vector<std::string> Metodos;
  };
  const Caso casos[] = {
      {"POST ok", "ok", "li_entendi_excluir_local", true, {"POST"}},
      {"POST nao ok, GET ok",
       "post_not_ok",
       "reenvio_ack_silencioso_excluida_local",
       true,
       {"POST", "GET"}},
      {"os dois falham", "failing", "", false, {"POST", "GET"}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    ASSERT_EQ(Admin("admin/notices", "{\"ack\":\"" + c.Ack + "\"}"), "{\"ok\":true}");
    Admin("admin/requests/clear");
    EXPECT_EQ(EnviarAck(cfg, " AVISOS ", 57, c.Motivo), c.Resultado);
    rapidjson::Document d;
    const std::string reg = Admin("admin/requests");
    d.Parse(reg.c_str(), reg.size());
    ASSERT_TRUE(d.IsArray());
    ASSERT_EQ(d.Size(), c.Metodos.size());
    for (rapidjson::SizeType i = 0; i < d.Size(); ++i) {
      EXPECT_EQ(LerTextoJson(&d[i], "method", ""), c.Metodos[i]);
      EXPECT_EQ(LerTextoJson(&d[i], "path", ""), "/demo/intranet/api/agent_message_ack.php");
    }
    std::string esperado = "api_token=tok-teste-1234567890&mensagem_id=57&aviso_id=57&computador=" +
                           ObterNomeComputadorMaiusculo() + "&usuario=" + ObterNomeUsuario() +
                           "&source_table=avisos&versao=1.0.115";
    std::string form;
    for (const auto& par : d[0]["form"].GetArray())
      form += std::string(form.empty() ? "" : "&") + par[0].GetString() + "=" + par[1].GetString();
    EXPECT_EQ(form, esperado + (c.Motivo.empty() ? "" : "&motivo=" + c.Motivo));
    if (d.Size() > 1) {
      EXPECT_EQ(LerTextoJson(&d[1], "query", ""),
                "api_token=tok-teste-1234567890&mensagem_id=57&aviso_id=57&computador=" +
                    CodificarURL(ObterNomeComputadorMaiusculo()) +
                    "&usuario=" + CodificarURL(ObterNomeUsuario()) +
                    "&source_table=avisos&versao=1.0.115&motivo=" + c.Motivo);
    }
  }
  // Nothing is sent without an id or a token.
  Admin("admin/requests/clear");
  EXPECT_FALSE(EnviarAck(cfg, "avisos", 0, "x"));
  cfg.ApiToken = " ";
  EXPECT_FALSE(EnviarAck(cfg, "avisos", 5, "x"));
  EXPECT_EQ(Admin("admin/requests"), "[]");

  // A POST that fails three times and a GET that says ok.
  cfg.ApiToken = "tok-teste-1234567890";
  ASSERT_EQ(Admin("admin/notices", "{\"ack\":\"ok\"}"), "{\"ok\":true}");
  ASSERT_EQ(
      Admin("admin/fault", R"({"endpoint":"api/agent_message_ack.php","kind":"drop","times":3})"),
      "{\"ok\":true}");
  const size_t antes = Linhas().size();
  EXPECT_TRUE(EnviarAck(cfg, "mensagens", 9, "li_entendi_excluir_local"));
  const auto linhas = Linhas();
  std::vector<std::string> ack;
  for (size_t i = antes; i < linhas.size(); ++i)
    if (linhas[i].find("ACK") != std::string::npos) ack.push_back(linhas[i].substr(0, 27));
  EXPECT_EQ(ack, (std::vector<std::string>{"Falha ACK POST mensagem ID ",
                                           "ACK GET mensagem ID 9 [mens"}));
}

}  // namespace
