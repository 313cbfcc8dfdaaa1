// The settings each HTTP helper hands the transport, read from a transport
// double that records every request, and what the helpers do with a failure
// that asking again cannot mend.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uEnderecosAgente.h"
#include "net/uHttpNet.h"
#include "net/uHttpRetry.h"
#include "platform/uArquivos.h"
#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"
#include "tests/support/uTestSupport.h"
#include "uBuildConfig.h"

namespace {

// Records each request's settings and answers 200 with a small body, or runs
// the test's own answer.
class TTransporteFalso : public IHttpTransporte {
 public:
  TRespostaHttp Executar(const TPedidoHttp& APedido) override {
    TPedidoHttp copia = APedido;
    copia.AoReceberCorpo = nullptr;
    Pedidos.push_back(copia);
    FComReceptor.push_back(static_cast<bool>(APedido.AoReceberCorpo));
    if (Responder) return Responder(APedido);
    TRespostaHttp r;
    r.Status = 200;
    if (APedido.AoReceberCorpo)
      APedido.AoReceberCorpo("corpo");
    else
      r.Corpo = "corpo";
    return r;
  }
  // Whether the last request had its body streamed to a receiver.
  bool UltimoComReceptor() const { return FComReceptor.back(); }

  std::vector<TPedidoHttp> Pedidos;
  std::function<TRespostaHttp(const TPedidoHttp&)> Responder;

 private:
  std::vector<bool> FComReceptor;
};

class TTransporteFalsoTest : public ::testing::Test {
 protected:
  TTransporteFalsoTest() : FTrocaTransporte(FTransporte), FTrocaRelogio(FRelogio) {}

  TTransporteFalso FTransporte;
  TBaseTemporaria FBase;
  TRelogioFalso FRelogio;

 private:
  SubstituirConcern<IHttpTransporte> FTrocaTransporte;
  SubstituirConcern<IRelogio> FTrocaRelogio;
};

constexpr uint64_t kMiB = 1024 * 1024;

}  // namespace

TEST_F(TTransporteFalsoTest, CadaAjudanteDaAoTransporteSeusTemposELimites) {
  const std::string url = "http://127.0.0.1:9/x";
  const std::string destino = FBase.Base() + "d" + kSep + "a.bin";
  struct Caso {
    const char* Nome;
    std::function<void()> Chamar;
    const char* Metodo;
    uint32_t Conexao, Envio, Resposta, Prazo;
    uint64_t Limite;
    bool Fluxo;  // the body is streamed to a file
  };
  const Caso casos[] = {
      {"THttpRetry::GetText", [&] { THttpRetry::GetText(url, 3); }, "GET", 15000, 60000, 30000,
       120000, 32 * kMiB, false},
      {"THttpRetry::PostForm", [&] { THttpRetry::PostForm(url, {"a=1"}, 3); }, "POST", 15000, 60000,
       30000, 120000, 32 * kMiB, false},
      {"THttpRetry::DownloadFile", [&] { THttpRetry::DownloadFile(url, destino, 3); }, "GET", 15000,
       60000, 30000, 600000, 64 * kMiB, true},
      {"THttpNet::GetText", [&] { THttpNet::GetText(url); }, "GET", 20000, 60000, 30000, 120000,
       32 * kMiB, false},
      {"THttpNet::PostForm", [&] { THttpNet::PostForm(url, {"a=1"}); }, "POST", 20000, 60000, 30000,
       120000, 32 * kMiB, false},
      {"THttpNet::DownloadFile", [&] { THttpNet::DownloadFile(url, destino); }, "GET", 20000, 60000,
       60000, 600000, 64 * kMiB, true},
  };
  for (const Caso& c : casos) {
    FTransporte.Pedidos.clear();
    c.Chamar();
    ASSERT_EQ(FTransporte.Pedidos.size(), 1u) << c.Nome;
    const TPedidoHttp& p = FTransporte.Pedidos[0];
    EXPECT_EQ(p.Metodo, c.Metodo) << c.Nome;
    EXPECT_EQ(p.URL, url) << c.Nome;
    EXPECT_EQ(p.TempoConexaoMs, c.Conexao) << c.Nome;
    EXPECT_EQ(p.TempoEnvioMs, c.Envio) << c.Nome;
    EXPECT_EQ(p.TempoRespostaMs, c.Resposta) << c.Nome;
    EXPECT_EQ(p.PrazoTotalMs, c.Prazo) << c.Nome;
    EXPECT_EQ(p.LimiteCorpo, c.Limite) << c.Nome;
    EXPECT_TRUE(p.SeguirRedirecionamentos) << c.Nome;
    EXPECT_EQ(FTransporte.UltimoComReceptor(), c.Fluxo) << c.Nome;
  }
  EXPECT_EQ(LerArquivoTeste(destino), "corpo");
}

TEST_F(TTransporteFalsoTest, MemoriaEsgotadaNaoEhPedidaDeNovo) {
  FTransporte.Responder = [](const TPedidoHttp&) -> TRespostaHttp { throw std::bad_alloc(); };
  const size_t inicioLog = LerArquivoTeste(TLogger::ArquivoLogDoDia()).size();
  EXPECT_THROW(THttpRetry::GetText("http://127.0.0.1:9/a", 3), std::bad_alloc);
  EXPECT_THROW(THttpRetry::PostForm("http://127.0.0.1:9/b", {"a=1"}, 3), std::bad_alloc);
  const std::string destino = FBase.Base() + "m.bin";
  EXPECT_FALSE(THttpRetry::DownloadFile("http://127.0.0.1:9/c", destino, 3));
  EXPECT_EQ(FTransporte.Pedidos.size(), 3u);
  EXPECT_EQ(FRelogio.Pausas, 0);
  EXPECT_FALSE(Arquivos().ArquivoExiste(destino));
  // One line each, as for any failed attempt.
  const std::string log = LerArquivoTeste(TLogger::ArquivoLogDoDia()).substr(inicioLog);
  EXPECT_NE(log.find("GET erro tentativa 1: "), std::string::npos) << log;
  EXPECT_NE(log.find("POST erro tentativa 1: "), std::string::npos) << log;
  EXPECT_NE(log.find("Download erro tentativa 1: "), std::string::npos) << log;
  EXPECT_EQ(log.find("tentativa 2"), std::string::npos) << log;
}

TEST_F(TTransporteFalsoTest, DownloadRecusadoPeloArquivoNaoDeixaNada) {
  // The transport stops when the file refuses a piece; neither the target nor
  // a temporary file remains.
  TArquivosComFalhas arquivos;
  FTransporte.Responder = [](const TPedidoHttp& APedido) -> TRespostaHttp {
    const std::string pedaco(600 * 1024, 'z');
    for (int i = 0; i < 4; ++i)
      if (!APedido.AoReceberCorpo(pedaco)) throw EHttpErro(MensagemCorpoRecusado());
    return TRespostaHttp{200, "", "", ""};
  };
  const std::string pasta = FBase.Base() + "cache" + kSep;
  Arquivos().CriarPastas(pasta);
  {
    SubstituirConcern<IArquivos> troca(arquivos);
    arquivos.RecusarAnexar = true;
    EXPECT_FALSE(THttpRetry::DownloadFile("http://127.0.0.1:9/c", pasta + "f.png", 1));
  }
  EXPECT_TRUE(Arquivos().Listar(pasta, "*").empty());
}

TEST_F(TTransporteFalsoTest, LogonIntegradoSoParaOServidorEOChatConfigurados) {
  TConfigAgente cfg = TConfigINI::Carregar();
  cfg.URL = "  Intranet.Exemplo.test:8080/demo/";
  cfg.UsarSSL = false;
  TConfigINI::Salvar(cfg);
  TConfigINI::EscreverTexto("CHAT", "URL", "https://CHAT.exemplo.test/c/");
  const std::vector<std::string> confiaveis = {"intranet.exemplo.test", "chat.exemplo.test"};
  const std::string midia = "http://midia.externa.test/logo.png";
  const std::string destino = FBase.Base() + "m.png";
  THttpRetry::GetText(midia, 1);
  THttpRetry::PostForm(midia, {"a=1"}, 1);
  THttpRetry::DownloadFile(midia, destino, 1);
  ASSERT_EQ(FTransporte.Pedidos.size(), 3u);
  for (const TPedidoHttp& p : FTransporte.Pedidos) EXPECT_EQ(p.HostsAutenticacao, confiaveis);
  // The chat's single-attempt requests get the list they were handed, and none
  // by default.
  FTransporte.Pedidos.clear();
  THttpNet::GetText(midia, confiaveis);
  THttpNet::GetText(midia);
  THttpNet::PostForm(midia, {"a=1"});
  THttpNet::DownloadFile(midia, destino);
  ASSERT_EQ(FTransporte.Pedidos.size(), 4u);
  EXPECT_EQ(FTransporte.Pedidos[0].HostsAutenticacao, confiaveis);
  for (size_t i = 1; i < 4; ++i) EXPECT_TRUE(FTransporte.Pedidos[i].HostsAutenticacao.empty());

  // What each transport asks at every hop.
  TPedidoHttp p;
  p.HostsAutenticacao = confiaveis;
  const struct {
    const char* Host;
    bool Permitido;
  } hosts[] = {{"intranet.exemplo.test", true},
               {"INTRANET.Exemplo.TEST", true},
               {"chat.exemplo.test", true},
               {"midia.externa.test", false},
               {"intranet.exemplo.test.evil", false},
               {"exemplo.test", false},
               {"", false}};
  for (const auto& h : hosts)
    EXPECT_EQ(AutenticacaoIntegradaPermitida(p, h.Host), h.Permitido) << h.Host;
  // A refused [CHAT] URL trusts the built-in chat host instead.
  TConfigINI::EscreverTexto("CHAT", "URL", "file:///c:/x");
  EXPECT_EQ(HostsAutenticacaoIntegrada(),
            (std::vector<std::string>{"intranet.exemplo.test",
                                      MinusculasAscii(AnalisarUrlHttp(VESK_URL_CHAT).Host)}));
}
