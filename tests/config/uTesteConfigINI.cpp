// TConfigINI: the base folder, the record's defaults and fallbacks, Salvar and
// the server URL.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/uConfigINI.h"
#include "platform/uArquivos.h"
#include "platform/uErros.h"
#include "platform/uPerfil.h"
#include "platform/uRegistro.h"
#include "tests/support/uTestSupport.h"

namespace {

void ExpectPadroes(const TConfigAgente& c) {
  EXPECT_EQ(c.URL, VESK_URL_SERVIDOR_PADRAO);
  EXPECT_EQ(c.ApiToken, "");
  EXPECT_EQ(c.SenhaAgenteHash, "");
  EXPECT_TRUE(c.UsarSSL);
  EXPECT_EQ(c.IntervaloSegundos, 10);
  EXPECT_FALSE(c.LogDetalhado);
}

TEST(ConfigINI, SemArquivoDaOsPadroesCriaAsPastasENaoCriaOArquivo) {
  TBaseTemporaria base;
  ExpectPadroes(TConfigINI::Carregar());
  IArquivos& fs = Arquivos();
  for (const char* sub : {"cache", "logs", "update"})
    EXPECT_TRUE(fs.PastaExiste(base.Base() + sub)) << sub;
  EXPECT_FALSE(fs.ArquivoExiste(base.Base() + "config.ini"));
  EXPECT_EQ(TConfigINI::ArquivoConfig(), base.Base() + "config.ini");
  EXPECT_EQ(TConfigINI::PastaBase().back(), kSep);
}

TEST(ConfigINI, LeORegistroComAsChavesDeReserva) {
  struct {
    const char* Conteudo;
    int32_t Intervalo;
    bool Detalhado;
    bool Ssl;
  } casos[] = {
      {"[SERVIDOR]\r\nINTERVALO=30\r\n", 30, false, true},
      {"[SERVIDOR]\r\nINTERVALO=30\r\nINTERVALO_SEGUNDOS=60\r\n", 60, false, true},
      {"[SERVIDOR]\r\nINTERVALO_SEGUNDOS=0x3C\r\n", 60, false, true},
      {"[SERVIDOR]\r\nINTERVALO=30\r\nINTERVALO_SEGUNDOS=abc\r\n", 30, false, true},
      {"[SERVIDOR]\r\nINTERVALO_SEGUNDOS=abc\r\n", 10, false, true},
      {"[SERVIDOR]\r\nUSAR_SSL=yes\r\n[LOG]\r\nDEBUG=1\r\n", 10, true, true},
      {"[SERVIDOR]\r\nUSAR_SSL=0\r\n[LOG]\r\nDEBUG=1\r\nDETALHADO=0\r\n", 10, false, false},
      {"[LOG]\r\nDEBUG=1\r\nDETALHADO=sim\r\n", 10, true, true},
      {"[LOG]\r\nDEBUG=0\r\nDETALHADO=\r\n", 10, false, true},
      {"[LOG]\r\nDEBUG=0\r\nDETALHADO=1\r\n", 10, true, true},
  };
  for (const auto& c : casos) {
    TBaseTemporaria base;
    GravarArquivoTeste(base.Base() + "config.ini", c.Conteudo);
    const TConfigAgente cfg = TConfigINI::Carregar();
    EXPECT_EQ(cfg.IntervaloSegundos, c.Intervalo) << c.Conteudo;
    EXPECT_EQ(cfg.LogDetalhado, c.Detalhado) << c.Conteudo;
    EXPECT_EQ(cfg.UsarSSL, c.Ssl) << c.Conteudo;
  }
}

TEST(ConfigINI, SalvarGravaTudoEDesligaODebugAntigo) {
  TBaseTemporaria base;
  GravarArquivoTeste(base.Base() + "config.ini", "[LOG]\r\nDEBUG=1\r\n");
  ASSERT_TRUE(TConfigINI::Carregar().LogDetalhado);
  TConfigAgente cfg;
  cfg.URL = "  servidor/app  ";
  cfg.ApiToken = "tok";
  cfg.SenhaAgenteHash = "abc123";
  cfg.UsarSSL = false;
  cfg.IntervaloSegundos = 45;
  cfg.LogDetalhado = false;
  TConfigINI::Salvar(cfg);

  const std::string arq = base.Base() + "config.ini";
  EXPECT_EQ(TConfigINI::Chaves(arq, "SERVIDOR"),
            (std::vector<std::string>{"URL", "API_TOKEN", "USAR_SSL", "INTERVALO_SEGUNDOS",
                                      "INTERVALO"}));
  EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "INTERVALO", ""), "45");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "USAR_SSL", ""), "0");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "LOG", "DETALHADO", ""), "0");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "LOG", "DEBUG", ""), "1") << "DEBUG is never written";

  const TConfigAgente lido = TConfigINI::Carregar();
  EXPECT_EQ(lido.URL, "servidor/app") << "the file format trims what it reads back";
  EXPECT_EQ(lido.ApiToken, "tok");
  EXPECT_EQ(lido.SenhaAgenteHash, "abc123");
  EXPECT_FALSE(lido.UsarSSL);
  EXPECT_EQ(lido.IntervaloSegundos, 45);
  EXPECT_FALSE(lido.LogDetalhado);
}

TEST(ConfigINI, SalvarNumArquivoSomenteLeituraLevantaErro) {
  if (!SomenteLeituraRespeitado()) GTEST_SKIP() << "read-only files are writable here";
  TBaseTemporaria base;
  const std::string arq = base.Base() + "config.ini";
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://a/\r\n");
  DefinirSomenteLeitura(arq, true);
  try {
    TConfigINI::Salvar(TConfigAgente{});
    FAIL() << "Salvar accepted a read-only file";
  } catch (const EIniErro& e) {
    EXPECT_EQ(e.Mensagem(), "Unable to write to " + arq);
    EXPECT_EQ(e.Classe(), "EIniFileException");
  }
  DefinirSomenteLeitura(arq, false);
  EXPECT_EQ(TConfigINI::Carregar().URL, "http://a/");
}

// A hash or token from the server must not be able to add entries to the file.
TEST(ConfigINI, QuebraDeLinhaNumValorNaoCriaOutrasChaves) {
  TBaseTemporaria base;
  TConfigAgente cfg;
  cfg.SenhaAgenteHash = "abc\r\n[SERVIDOR]\r\nURL=http://intruso/";
  cfg.ApiToken = "tok\nINTERVALO_SEGUNDOS=1";
  TConfigINI::Salvar(cfg);
  const TConfigAgente lido = TConfigINI::Carregar();
  EXPECT_EQ(lido.URL, VESK_URL_SERVIDOR_PADRAO);
  EXPECT_EQ(lido.IntervaloSegundos, 10);
  EXPECT_EQ(lido.SenhaAgenteHash, "abc  [SERVIDOR]  URL=http://intruso/");
}

TEST(ConfigINI, ArquivoIlegivelOuEstragadoDaOsPadroes) {
  std::string grande(10 * 1024 * 1024, '\0');
  for (size_t i = 0; i < grande.size(); ++i) grande[i] = static_cast<char>((i * 7919) % 251);
  const std::string casos[] = {
      std::string("\x00\x01\x02[SERV\x00IDOR]\xFF\xFE\x80", 12),
      "[SERVIDOR",
      "[SERVIDOR]\r\nINTERVALO_SEGUNDOS",
      "\xEF\xBB\xBF",
      "\xFF\xFE[",
  };
  for (const std::string& c : casos) {
    TBaseTemporaria base;
    GravarArquivoTeste(base.Base() + "config.ini", c);
    ExpectPadroes(TConfigINI::Carregar());
  }
  {
    // One read is enough to show that 10 MB of junk neither crashes nor
    // yields a value; each read decodes the whole file.
    TBaseTemporaria base;
    GravarArquivoTeste(base.Base() + "config.ini",
                       grande + "\r\n[SERVIDOR]\r\nURL=http://fim/\r\n");
    EXPECT_EQ(TConfigINI::LerTexto("SERVIDOR", "API_TOKEN", "padrao"), "padrao");
    EXPECT_EQ(TConfigINI::LerTexto("SERVIDOR", "URL", ""), "http://fim/");
  }
  TBaseTemporaria base;
  Arquivos().CriarPastas(base.Base() + "config.ini");  // a folder where the file should be
  ExpectPadroes(TConfigINI::Carregar());
  EXPECT_THROW(TConfigINI::Salvar(TConfigAgente{}), EIniErro);
}

TEST(ConfigINI, NormalizarURL) {
  struct {
    const char* Entrada;
    bool Ssl;
    const char* Esperado;
  } casos[] = {
      {"  servidor/app \t", true, "https://servidor/app/"},
      {"servidor/app/", false, "http://servidor/app/"},
      {"HTTP://Servidor/x", true, "HTTP://Servidor/x/"},
      {"http://servidor", true, "http://servidor/"},
      {"hTTps://s/", false, "hTTps://s/"},
      {"ftp://servidor", false, "http://ftp://servidor/"},
      {"   ", true, ""},
      {"", false, ""},
      {"http://", true, "http://"},
      {"\r\nservidor\x01", true, "https://servidor/"},
  };
  for (const auto& c : casos)
    EXPECT_EQ(TConfigINI::NormalizarURL(c.Entrada, c.Ssl), c.Esperado) << c.Entrada;
}

TEST(ConfigINI, AcessoPorChaveNoConfigIni) {
  TBaseTemporaria base;
  EXPECT_FALSE(TConfigINI::ChaveExiste("CHAT_FLOAT", "LEFT"));
  EXPECT_EQ(TConfigINI::LerInteiro("CHAT_FLOAT", "LEFT", -1), -1);
  TConfigINI::EscreverInteiro("CHAT_FLOAT", "LEFT", 120);
  TConfigINI::EscreverTexto("MENSAGENS_PROCESSADAS", "avisos:57:FIN-03", "");
  TConfigINI::EscreverBooleano("LOG", "DETALHADO", true);
  TConfigINI::Descarregar();
  EXPECT_EQ(TConfigINI::LerInteiro("chat_float", "left", -1), 120);
  EXPECT_TRUE(TConfigINI::ChaveExiste("MENSAGENS_PROCESSADAS", "AVISOS:57:FIN-03"));
  EXPECT_EQ(TConfigINI::Chaves("MENSAGENS_PROCESSADAS"),
            std::vector<std::string>{"avisos:57:FIN-03"});
  EXPECT_TRUE(TConfigINI::LerBooleano("LOG", "DETALHADO", false));
  EXPECT_EQ(TConfigINI::LerTexto("LOG", "NADA", "x"), "x");
}

// A pass reads the record once; what another program changes meanwhile is
// seen by the next pass, and what the agent itself writes at once.
TEST(ConfigINI, PassagemLeUmaVezEVeAMudancaNaSeguinte) {
  TBaseTemporaria base;
  const std::string arq = base.Base() + "config.ini";
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://a/\r\n");
  {
    TPassagemConfig passagem;
    EXPECT_EQ(TConfigINI::Carregar().URL, "http://a/");
    GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://b/\r\nINTERVALO_SEGUNDOS=30\r\n");
    {
      TPassagemConfig dentro;
      EXPECT_EQ(TConfigINI::Carregar().URL, "http://a/") << "a nested pass shares the reading";
    }
    EXPECT_EQ(TConfigINI::Carregar().URL, "http://a/") << "the outer pass is still open";
  }
  {
    TPassagemConfig passagem;
    const TConfigAgente c = TConfigINI::Carregar();
    EXPECT_EQ(c.URL, "http://b/");
    EXPECT_EQ(c.IntervaloSegundos, 30);
  }
  // Outside a pass every read is afresh.
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://c/\r\n");
  EXPECT_EQ(TConfigINI::Carregar().URL, "http://c/");
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://d/\r\n");
  EXPECT_EQ(TConfigINI::Carregar().URL, "http://d/");
}

TEST(ConfigINI, EscritaDentroDaPassagemEVistaNaHora) {
  TBaseTemporaria base;
  const std::string arq = base.Base() + "config.ini";
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://a/\r\nUSAR_SSL=yes\r\n[LOG]\r\nDEBUG=1\r\n");
  TPassagemConfig passagem;
  TConfigAgente cfg = TConfigINI::Carregar();
  ASSERT_TRUE(cfg.LogDetalhado);
  ASSERT_TRUE(cfg.UsarSSL);

  // Salvar compares with the pass's reading: the missing DETALHADO and the
  // USAR_SSL that is not "1" are written, the rest is left as it is.
  cfg.SenhaAgenteHash = "h1";
  cfg.LogDetalhado = false;
  TConfigINI::Salvar(cfg);
  EXPECT_EQ(TConfigINI::LerTexto(arq, "SEGURANCA", "SENHA_AGENTE_HASH", ""), "h1");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "LOG", "DETALHADO", ""), "0");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "USAR_SSL", ""), "1");
  // The empty token was missing: written, it reads back as itself and not
  // as the key's default.
  EXPECT_TRUE(TConfigINI::ChaveExiste(arq, "SERVIDOR", "API_TOKEN"));
  TConfigAgente lido = TConfigINI::Carregar();
  EXPECT_EQ(lido.SenhaAgenteHash, "h1");
  EXPECT_FALSE(lido.LogDetalhado);

  // Key by key, in any case of the section's name.
  TConfigINI::EscreverTexto("servidor", "url", "http://e/");
  EXPECT_EQ(TConfigINI::Carregar().URL, "http://e/");
  TConfigINI::EscreverBooleano(" Log ", "DETALHADO", true);
  EXPECT_TRUE(TConfigINI::Carregar().LogDetalhado);
  TConfigINI::EscreverInteiro("SEGURANCA", "SENHA_AGENTE_HASH", 7);
  EXPECT_EQ(TConfigINI::Carregar().SenhaAgenteHash, "7");

  // A second Salvar in the same pass compares with what is now in the file.
  lido = TConfigINI::Carregar();
  lido.URL = "http://a/";
  TConfigINI::Salvar(lido);
  EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "URL", ""), "http://a/");
  EXPECT_EQ(TConfigINI::Carregar().URL, "http://a/");
}

// What the IT department gives as policy wins over config.ini, which every
// user of the computer may edit, and config.ini gets no copy of it; a blank
// policy value is none. Inside a pass too.
TEST(ConfigINI, PoliticaVenceOArquivoENaoECopiada) {
  TBaseTemporaria base;
  TRegistroMemoria reg;
  SubstituirConcern<IRegistro> troca(reg);
  const std::string arq = base.Base() + "config.ini";
  const char* chave = "SOFTWARE\\Policies\\Vesk\\Agent";
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://outro/\r\nAPI_TOKEN=tok-arquivo\r\n");
  reg.DefinirMaquina(chave, "ServidorURL", " https://intranet.empresa/app/ ");
  reg.DefinirMaquina(chave, "ApiToken", "tok-politica");
  reg.DefinirMaquina(chave, "ChatURL", "  ");
  for (const bool passagem : {false, true}) {
    SCOPED_TRACE(passagem ? "inside a pass" : "outside a pass");
    std::optional<TPassagemConfig> p;
    if (passagem) p.emplace();
    TConfigAgente cfg = TConfigINI::Carregar();
    EXPECT_EQ(cfg.URL, "https://intranet.empresa/app/");
    EXPECT_EQ(cfg.ApiToken, "tok-politica");
    cfg.URL = "http://digitado/";
    cfg.ApiToken = "tok-digitado";
    cfg.SenhaAgenteHash = "h";
    TConfigINI::Salvar(cfg);
    EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "URL", ""), "http://outro/");
    EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "API_TOKEN", ""), "tok-arquivo");
    EXPECT_EQ(TConfigINI::LerTexto(arq, "SEGURANCA", "SENHA_AGENTE_HASH", ""), "h");
    EXPECT_EQ(TConfigINI::Carregar().URL, "https://intranet.empresa/app/");
  }
  const TPoliticaAgente politica = TConfigINI::Politica();
  EXPECT_EQ(politica.ServidorURL.value_or("-"), "https://intranet.empresa/app/");
  EXPECT_FALSE(politica.ChatURL.has_value()) << "blank is no policy";

  // The token alone as policy: the URL is the file's again, and saved there.
  TRegistroMemoria soToken;
  soToken.DefinirMaquina(chave, "ApiToken", "tok-politica");
  SubstituirConcern<IRegistro> troca2(soToken);
  TConfigAgente cfg = TConfigINI::Carregar();
  EXPECT_EQ(cfg.URL, "http://outro/");
  EXPECT_EQ(cfg.ApiToken, "tok-politica");
  cfg.URL = "http://digitado/";
  TConfigINI::Salvar(cfg);
  EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "URL", ""), "http://digitado/");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "API_TOKEN", ""), "tok-arquivo");
}

}  // namespace

namespace {

// The real profile file, counting the reads that reach it; its state can be
// made to look old (as a file not written for a while) or unknown.
class TPerfilContado : public IPerfil {
 public:
  std::string LerTexto(const std::string& AArquivo, const std::string& ASecao,
                       const std::string& AChave, const std::string& APadrao) override {
    ++Leituras;
    return Real().LerTexto(AArquivo, ASecao, AChave, APadrao);
  }
  bool EscreverTexto(const std::string& AArquivo, const std::string& ASecao,
                     const std::string& AChave, const std::string& AValor) override {
    return Real().EscreverTexto(AArquivo, ASecao, AChave, AValor);
  }
  bool ApagarChave(const std::string& AArquivo, const std::string& ASecao,
                   const std::string& AChave) override {
    return Real().ApagarChave(AArquivo, ASecao, AChave);
  }
  std::vector<std::string> Chaves(const std::string& AArquivo, const std::string& ASecao) override {
    return Real().Chaves(AArquivo, ASecao);
  }
  bool Descarregar(const std::string& AArquivo) override { return Real().Descarregar(AArquivo); }
  bool Estado(const std::string& AArquivo, TEstadoPerfil& AEstado) override {
    if (Desconhecido || !Real().Estado(AArquivo, AEstado)) return false;
    if (Antigo) AEstado.Recente = false;
    return true;
  }
  int Leituras = 0;
  bool Antigo = true, Desconhecido = false;

 private:
  static IPerfil& Real() { return ImplementacaoPadrao(SeamTag<IPerfil>{}); }
};

}  // namespace

// A key read again while the file stays as it was is answered without the
// platform; a change by another program, the agent's own write or a file
// whose state cannot be told is read afresh.
TEST(ConfigINI, LeiturasGuardadasEnquantoOArquivoNaoMuda) {
  TBaseTemporaria base;
  TPerfilContado perfil;
  SubstituirConcern<IPerfil> troca(perfil);
  const std::string arq = base.Base() + "config.ini";
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://a/\r\n[LOG]\r\nDETALHADO=1\r\n");

  EXPECT_EQ(TConfigINI::Carregar().URL, "http://a/");
  const int porRegistro = perfil.Leituras;
  EXPECT_LE(porRegistro, 8);
  EXPECT_EQ(TConfigINI::Carregar().URL, "http://a/");
  EXPECT_TRUE(TConfigINI::LerBooleano(arq, "LOG", "DETALHADO", false));
  EXPECT_TRUE(TConfigINI::LerBooleano(arq, "LOG", "DETALHADO", false));
  EXPECT_EQ(perfil.Leituras, porRegistro + 1) << "the record again, then one new key twice";

  // Another program's change, outside a pass: seen by the next read.
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://bb/\r\n");
  EXPECT_EQ(TConfigINI::Carregar().URL, "http://bb/");
  EXPECT_FALSE(TConfigINI::LerBooleano(arq, "LOG", "DETALHADO", false));

  // The agent's own write: seen at once, inside a pass too.
  {
    TPassagemConfig passagem;
    EXPECT_EQ(TConfigINI::Carregar().URL, "http://bb/");
    TConfigINI::EscreverTexto("SERVIDOR", "URL", "http://c/");
    EXPECT_EQ(TConfigINI::Carregar().URL, "http://c/");
    // Another program's change inside the pass: the pass keeps its reading...
    GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://dd/\r\n");
    EXPECT_EQ(TConfigINI::Carregar().URL, "http://c/");
  }
  {
    // ...and the next pass sees it.
    TPassagemConfig passagem;
    EXPECT_EQ(TConfigINI::Carregar().URL, "http://dd/");
  }

  // A file written moments ago may be rewritten unseen within the clock's
  // step: its reading is not kept past the read.
  perfil.Antigo = false;
  int antes = perfil.Leituras;
  TConfigINI::LerTexto(arq, "SERVIDOR", "URL", "");
  TConfigINI::LerTexto(arq, "SERVIDOR", "URL", "");
  EXPECT_EQ(perfil.Leituras, antes + 2);

  // A state that cannot be told: every read goes to the file.
  perfil.Antigo = true;
  perfil.Desconhecido = true;
  antes = perfil.Leituras;
  TConfigINI::LerTexto(arq, "SERVIDOR", "URL", "");
  TConfigINI::LerTexto(arq, "SERVIDOR", "URL", "");
  EXPECT_EQ(perfil.Leituras, antes + 2);
}

// The same key under another default is its own reading: the default is
// the platform's to apply (a missing key gives it).
TEST(ConfigINI, LeituraGuardadaRespeitaOPadrao) {
  TBaseTemporaria base;
  TPerfilContado perfil;
  SubstituirConcern<IPerfil> troca(perfil);
  const std::string arq = base.Base() + "config.ini";
  GravarArquivoTeste(arq, "[SERVIDOR]\r\nURL=http://a/\r\n");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "CHAT", "URL", "x"), "x");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "CHAT", "URL", ""), "");
  EXPECT_EQ(TConfigINI::LerInteiro(arq, "CHAT", "LEFT", 7), 7);
  EXPECT_EQ(TConfigINI::LerInteiro(arq, "CHAT", "LEFT", 9), 9);
  // A missing file has a state too, and a file that appears changes it.
  const std::string outro = base.Base() + "outro.ini";
  EXPECT_EQ(TConfigINI::LerTexto(outro, "S", "K", "padrao"), "padrao");
  GravarArquivoTeste(outro, "[S]\r\nK=valor\r\n");
  EXPECT_EQ(TConfigINI::LerTexto(outro, "S", "K", "padrao"), "valor");
}
