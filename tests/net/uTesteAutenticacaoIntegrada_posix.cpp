// Who gets the employee's Windows logon, with the real libcurl transport and
// a development-server page that asks for NTLM: only the hosts the request
// trusts, checked again at every redirect hop; any other host's 401 is the
// answer, handed over like any other.
#include <gtest/gtest.h>

#include <string>

#include "config/uConfigINI.h"
#include "net/uEnderecosAgente.h"
#include "net/uHttpRetry.h"
#include "platform/uHttpTransporte.h"
#include "tests/net/uAmbienteHttp.h"

namespace {

class AutenticacaoIntegrada : public TAmbienteHttp {
 protected:
  // The same server under the other name of loopback: another host to the agent.
  std::string UrlOutroHost(const std::string& ACaminho) const {
    std::string u = Url(ACaminho);
    const std::string ip = "127.0.0.1";
    u.replace(u.find(ip), ip.size(), "localhost");
    return u;
  }
};

}  // namespace

TEST_F(AutenticacaoIntegrada, SoOsHostsDoPedidoRecebemOLogonEmCadaSalto) {
  const std::string ntlm = Url("test/ntlm");
  const std::string ntlmOutro = UrlOutroHost("test/ntlm");
  const struct {
    const char* Nome;
    std::string URL;
    std::vector<std::string> Hosts;
    int Status;
    const char* Corpo;
  } casos[] = {
      {"trusted host", ntlm, {"127.0.0.1"}, 200, "autenticado"},
      {"no trusted host", ntlm, {}, 401, "sem credenciais"},
      {"another host", ntlm, {"localhost"}, 401, "sem credenciais"},
      {"redirect to another host",
       Url("test/para?url=" + ntlmOutro),
       {"127.0.0.1"},
       401,
       "sem credenciais"},
      {"redirect to the trusted host",
       UrlOutroHost("test/para?url=" + ntlm),
       {"127.0.0.1"},
       200,
       "autenticado"},
  };
  for (const auto& c : casos) {
    TPedidoHttp p;
    p.URL = c.URL;
    p.HostsAutenticacao = c.Hosts;
    const TRespostaHttp r = HttpTransporte().Executar(p);
    EXPECT_EQ(r.Status, c.Status) << c.Nome;
    EXPECT_EQ(r.Corpo, c.Corpo) << c.Nome;
  }
}

TEST_F(AutenticacaoIntegrada, OServidorConfiguradoSimOEnderecoDeUmAvisoNao) {
  TConfigAgente cfg = TConfigINI::Carregar();
  cfg.URL = Url("demo/intranet/");
  TConfigINI::Salvar(cfg);
  EXPECT_EQ(THttpRetry::GetText(Url("test/ntlm"), 3), "autenticado");
  // A notice's media address or an update's absolute file on another host: its
  // 401 page is the answer, on the first attempt, without a line in the log.
  EXPECT_EQ(THttpRetry::GetText(UrlOutroHost("test/ntlm"), 3), "sem credenciais");
  EXPECT_TRUE(Linhas().empty());
  // The chat's host is the other one trusted.
  TConfigINI::EscreverTexto("CHAT", "URL", UrlOutroHost("chat/"));
  EXPECT_EQ(THttpRetry::GetText(UrlOutroHost("test/ntlm"), 3), "autenticado");
}
