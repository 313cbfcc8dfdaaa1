// Every answer the agent reads, given 1 MiB of nested arrays or objects: each
// reader takes it for an invalid answer (its own failure line), none crashes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "chat/uChatUnread.h"
#include "config/uConfigINI.h"
#include "config/uVersao.h"
#include "log/uLogger.h"
#include "net/uJsonHelper.h"
#include "notices/uAckMensagem.h"
#include "notices/uAgentMessages.h"
#include "notices/uVinculoColaborador.h"
#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"
#include "services/uAgentCommandsPro.h"
#include "services/uAgentConfigSync.h"
#include "services/uAgentHeartbeat.h"
#include "services/uAutoUpdatePro.h"
#include "tasks/uAgentTasks.h"
#include "tests/support/uTestSupport.h"

namespace {

constexpr size_t kMiB = 1024 * 1024;

// Answers every request with the same body and counts the requests.
class TTransporteFixo : public IHttpTransporte {
 public:
  TRespostaHttp Executar(const TPedidoHttp& APedido) override {
    Enderecos.push_back(APedido.URL);
    TRespostaHttp r;
    r.Status = 200;
    r.TipoConteudo = "application/json";
    if (APedido.AoReceberCorpo)
      APedido.AoReceberCorpo(Corpo);
    else
      r.Corpo = Corpo;
    return r;
  }
  std::string Corpo;
  std::vector<std::string> Enderecos;
};

// Arrays: "[[[...]]]"; objects: {"a":{"a":...}}; each closed or left open.
std::string Aninhado(bool AObjetos, bool AFechado) {
  const std::string abre = AObjetos ? "{\"a\":" : "[";
  const std::string fecha = AObjetos ? "}" : "]";
  const size_t n = kMiB / abre.size();
  std::string s;
  s.reserve(n * (abre.size() + 1) + 4);
  for (size_t i = 0; i < n; ++i) s += abre;
  if (AFechado) {
    s += "1";
    for (size_t i = 0; i < n; ++i) s += fecha;
  }
  return s;
}

class RespostasHostisTeste : public ::testing::Test {
 protected:
  RespostasHostisTeste() : FTrocaTransporte(FTransporte), FTrocaRelogio(FRelogio) {
    TConfigINI::EscreverTexto("SERVIDOR", "URL", "http://127.0.0.1:9/demo/intranet/");
    TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", "tok-teste-1234567890");
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  }

  // Whether a line logged since the mark starts with the text.
  bool Registrou(size_t AInicio, const std::string& AInicioLinha) const {
    const std::string tudo = LerArquivoTeste(TLogger::ArquivoLogDoDia());
    for (const std::string& l : DividirLinhas(tudo.substr(std::min(AInicio, tudo.size()))))
      if (l.size() >= 22 && l.compare(22, AInicioLinha.size(), AInicioLinha) == 0) return true;
    return false;
  }

  TBaseTemporaria FBase;
  TTransporteFixo FTransporte;
  TRelogioFalso FRelogio;

 private:
  SubstituirConcern<IHttpTransporte> FTrocaTransporte;
  SubstituirConcern<IRelogio> FTrocaRelogio;
};

TEST_F(RespostasHostisTeste, AninhamentoProfundoEmCadaRespostaEInvalido) {
  const TConfigAgente cfg = TConfigINI::Carregar();
  struct Caso {
    const char* Leitor;
    std::function<void()> Ler;
    // The reader's own line for an answer it cannot use; "" when it says nothing.
    const char* Linha;
  };
  const Caso casos[] = {
      {"manifesto de atualizacao", [] { TAutoUpdatePro::VerificarAtualizacao(VersaoAgente()); },
       "Auto update: update.json invalido/HTML: "},
      {"comandos remotos", [] { TAgentCommandsPro::VerificarComandos([](const std::string&) {}); },
       ""},
      {"sincronizacao de configuracao", [] { TAgentConfigSync::Sincronizar(); },
       "agent_config retornou conteúdo inválido: "},
      {"heartbeat", [] { TAgentHeartbeat::EnviarHeartbeat(VersaoAgente()); },
       "Heartbeat retorno: "},
      {"avisos", [] { TAgentMessages::VerificarMensagens(); },
       "API mensagens retornou conteúdo inválido/HTML: "},
      {"tarefas", [] { TAgentTasks::VerificarTarefas(); },
       "API tarefas retornou conteúdo inválido/HTML: "},
      {"vinculo do colaborador", [&cfg] { VerificarVinculoColaborador(cfg); }, ""},
      {"confirmacao de entrega", [this] { EXPECT_FALSE(RespostaOk(FTransporte.Corpo)); }, ""},
      {"chat nao lidas",
       [this] {
         EXPECT_EQ(TChatUnread::ExtrairNaoLidas(FTransporte.Corpo), 0);
         EXPECT_EQ(TChatUnread::ExtrairCampoJson(FTransporte.Corpo, "preview"), "");
       },
       ""},
  };
  for (const bool objetos : {false, true}) {
    for (const bool fechado : {false, true}) {
      FTransporte.Corpo = Aninhado(objetos, fechado);
      for (const Caso& c : casos) {
        SCOPED_TRACE(std::string(c.Leitor) + (objetos ? ", objetos" : ", listas") +
                     (fechado ? " fechados" : " abertos"));
        const size_t inicio = LerArquivoTeste(TLogger::ArquivoLogDoDia()).size();
        EXPECT_NO_THROW(c.Ler());
        EXPECT_TRUE(!*c.Linha || Registrou(inicio, c.Linha)) << c.Linha;
      }
    }
  }
  // Nothing of a refused answer was taken: no password, no command report.
  EXPECT_EQ(TConfigINI::Carregar().SenhaAgenteHash, cfg.SenhaAgenteHash);
  for (const std::string& e : FTransporte.Enderecos)
    EXPECT_EQ(e.find("acao=retorno"), std::string::npos) << e;
}

}  // namespace
