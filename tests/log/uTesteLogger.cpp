// TLogger: the keyword filter, the switch, the daily file, rotation, cleanup and
// the failures it swallows.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "platform/uArquivos.h"
#include "platform/uRelogio.h"
#include "tests/support/uTestSupport.h"

namespace {

// The rotation limit, 10 MiB, written out rather than taken from the logger.
constexpr long long kLimite = 10485760;

TDateTime Momento(int AAno, int AMes, int ADia, int AHora, int AMin, int ASeg, int AMs = 0) {
  TPartesDataHora p;
  p.Ano = AAno;
  p.Mes = AMes;
  p.Dia = ADia;
  p.Hora = AHora;
  p.Minuto = AMin;
  p.Segundo = ASeg;
  p.Milissegundo = AMs;
  return CodificarDataHora(p);
}

class Logger : public ::testing::Test {
 protected:
  void SetUp() override { TLogger::ReiniciarUltimaLimpeza(); }
  void TearDown() override { TLogger::ReiniciarUltimaLimpeza(); }

  std::string Logs() const { return FBase.Base() + "logs" + kSep; }
  std::string ArquivoDoDia() const { return Logs() + "Zelvan_2025_03_05.log"; }
  std::string Conteudo() const { return LerArquivoTeste(ArquivoDoDia()); }
  void Config(const std::string& AConteudo) {
    GravarArquivoTeste(FBase.Base() + "config.ini", AConteudo);
  }

  TBaseTemporaria FBase;
  TRelogioFalso FRelogio{Momento(2025, 3, 5, 14, 15, 2, 357)};
  SubstituirConcern<IRelogio> FTroca{FRelogio};
};

TEST_F(Logger, FiltroDePalavrasChave) {
  struct {
    const char* Msg;
    bool Relevante;
  } casos[] = {
      {"Agente iniciado.", false},
      {"Erro no ciclo: timeout", true},
      {"Verificando atualizacao do agente...", true},
      {"Heartbeat retorno: {\"ok\":true}", false},
      {"FALHA AO CONECTAR COM ERRO 5", true},
      {"Exce\xC3\xA7\xC3\xA3o capturada", true},
      {"Sem v\xC3\xADnculo de colaborador", true},
      {"SEM V\xC3\x8DNCULO", false},  // only A-Z are lowered
      {"ATUALIZA\xC3\x87\xC3\x83O", false},
      {"Ack mensagem 57 enviado", true},
      {"Cache antigo removido: 3 arquivos", true},
      {"Wallpaper aplicado", true},
      {"cpf pendente", true},
      {"Senha do agente sincronizada", true},
      // One keyword each.
      {"Mensagem recebida: ID 57", true},
      {"Computador sem vinculo de colaborador", true},
      {"Comando executado: limpar_cache", true},
      {"Auto update iniciado", true},
      {"atualiza\xC3\xA7\xC3\xA3o baixada", true},
      {"", false},
  };
  for (const auto& c : casos) EXPECT_EQ(TLogger::MensagemRelevante(c.Msg), c.Relevante) << c.Msg;
}

TEST_F(Logger, SemDetalhadoSoAsLinhasRelevantesVaoAoArquivo) {
  TLogger::Log("Agente iniciado.");
  EXPECT_FALSE(Arquivos().ArquivoExiste(ArquivoDoDia()));
  TLogger::Log("Erro no ciclo: falhou\r\nsegunda linha");
  TLogger::Log("Heartbeat retorno: ok");
  TLogger::Debug("Erro em detalhe");
  EXPECT_EQ(Conteudo(), "2025-03-05 14:15:02 - Erro no ciclo: falhou  segunda linha\r\n");
}

TEST_F(Logger, TextoDeForaNaoForjaLinhas) {
  // A server's title, body or version with line breaks and other controls
  // stays on its own line; letters outside ASCII stay as they are.
  const struct {
    std::string Msg, Linha;
  } casos[] = {
      {"Aviso recebido: x\r\n2025-03-05 14:15:02 - REVERTIDA=1.0.116",
       "Aviso recebido: x  2025-03-05 14:15:02 - REVERTIDA=1.0.116"},
      {"Erro: a\nb\rc\td", "Erro: a b c\td"},
      {std::string("Erro: nulo\0fim", 14), "Erro: nulo fim"},
      {"Erro: \x1B[31mvermelho\x7F", "Erro:  [31mvermelho "},
      {"Erro: \xC2\x85proxima \xC2\x9F \xC2\xA0"
       "a\xC3\xA7\xC3\xA3o",
       "Erro:  proxima   \xC2\xA0"
       "a\xC3\xA7\xC3\xA3o"},
  };
  std::string esperado;
  for (const auto& c : casos) {
    TLogger::Log(c.Msg);
    esperado += "2025-03-05 14:15:02 - " + c.Linha + "\r\n";
  }
  EXPECT_EQ(Conteudo(), esperado);
}

TEST_F(Logger, LinhasEmUtf8SemBomEUmArquivoPorDia) {
  TLogger::Log("Aviso: ação concluída");
  FRelogio.DefinirAgora(Momento(2025, 3, 6, 0, 0, 1));
  TLogger::Log("Aviso depois da meia-noite");
  EXPECT_EQ(Conteudo(), "2025-03-05 14:15:02 - Aviso: ação concluída\r\n");
  EXPECT_EQ(LerArquivoTeste(Logs() + "Zelvan_2025_03_06.log"),
            "2025-03-06 00:00:01 - Aviso depois da meia-noite\r\n");
  EXPECT_EQ(TLogger::ArquivoLogDoDia(), Logs() + "Zelvan_2025_03_06.log");
}

TEST_F(Logger, ChaveDetalhadaLidaACadaLinha) {
  EXPECT_FALSE(TLogger::LogDetalhadoAtivo());
  for (const char* sub : {"logs", "cache", "update"})
    EXPECT_FALSE(Arquivos().PastaExiste(FBase.Base() + sub))
        << "reading the switch created " << sub;

  Config("[LOG]\r\nDEBUG=1\r\n");
  TLogger::Log("Agente iniciado.");
  TLogger::Debug("detalhe");
  Config("[LOG]\r\nDEBUG=1\r\nDETALHADO=0\r\n");
  TLogger::Log("Agente parado.");
  TLogger::Debug("outro detalhe");
  Config("[log]\r\ndetalhado=0x1\r\n");
  TLogger::Log("Ciclo concluido");
  EXPECT_EQ(Conteudo(),
            "2025-03-05 14:15:02 - Agente iniciado.\r\n"
            "2025-03-05 14:15:02 - [DEBUG] detalhe\r\n"
            "2025-03-05 14:15:02 - Ciclo concluido\r\n");
}

TEST_F(Logger, ConfigIlegivelDeixaOFiltroLigado) {
  Arquivos().CriarPastas(FBase.Base() + "config.ini");  // a folder, not a file
  EXPECT_FALSE(TLogger::LogDetalhadoAtivo());
  Config("\xFF\xFE\x00");
  EXPECT_FALSE(TLogger::LogDetalhadoAtivo());
}

TEST_F(Logger, RotacionaAPartirDe10MiB) {
  Arquivos().CriarPastas(Logs());
  GravarArquivoTeste(ArquivoDoDia(), std::string(kLimite - 1, 'a'));
  TLogger::Log("Erro 1");
  EXPECT_EQ(Arquivos().Tamanho(ArquivoDoDia()), kLimite - 1 + 30);
  EXPECT_TRUE(Arquivos().Listar(Logs(), "*.old").empty());

  TLogger::Log("Erro 2");  // the file is now over the limit
  const std::string primeiro = Logs() + "Zelvan_2025_03_05_141502.old";
  EXPECT_EQ(Arquivos().Tamanho(primeiro), kLimite - 1 + 30);
  EXPECT_EQ(Conteudo(), "2025-03-05 14:15:02 - Erro 2\r\n");

  // The same second again: the second rotated file carries milliseconds.
  GravarArquivoTeste(ArquivoDoDia(), std::string(kLimite, 'b'));
  TLogger::Log("Erro 3");
  EXPECT_EQ(Arquivos().Tamanho(Logs() + "Zelvan_2025_03_05_141502357.old"), kLimite);
  EXPECT_EQ(Conteudo(), "2025-03-05 14:15:02 - Erro 3\r\n");

  // Both names taken: the rename fails and the line joins the large file.
  GravarArquivoTeste(ArquivoDoDia(), std::string(kLimite, 'c'));
  TLogger::Log("Erro 4");
  EXPECT_EQ(Arquivos().Tamanho(ArquivoDoDia()), kLimite + 30);
  EXPECT_EQ(Arquivos().Listar(Logs(), "*.old").size(), 2u);
}

TEST_F(Logger, RenomeacaoRecusadaMantemOArquivoGrande) {
  TArquivosComFalhas falhas;
  falhas.RecusarRenomear = true;
  SubstituirConcern<IArquivos> troca(falhas);
  Arquivos().CriarPastas(Logs());
  GravarArquivoTeste(ArquivoDoDia(), std::string(kLimite, 'a'));
  TLogger::Log("Erro");
  EXPECT_EQ(falhas.Renomeacoes, 1);
  EXPECT_EQ(Arquivos().Tamanho(ArquivoDoDia()), kLimite + 28);
}

TEST_F(Logger, LimpaArquivosAntigosNoMaximoUmaVezPorHora) {
  IArquivos& fs = Arquivos();
  fs.CriarPastas(Logs());
  const TDateTime agora = FRelogio.Agora();
  auto criar = [&](const std::string& ANome, double ADias) {
    GravarArquivoTeste(Logs() + ANome, "x");
    ASSERT_TRUE(fs.DefinirDataModificacao(Logs() + ANome, agora - ADias));
  };
  criar("Zelvan_2025_02_02.log", 31);
  criar("Zelvan_2025_02_02_101010.old", 31);
  criar("Zelvan_2025_02_04.log", 29);
  criar("notas.txt", 90);
  criar("Zelvan.log.bak", 90);

  TLogger::Log("Erro");  // the first line of the process cleans
  EXPECT_FALSE(fs.ArquivoExiste(Logs() + "Zelvan_2025_02_02.log"));
  EXPECT_FALSE(fs.ArquivoExiste(Logs() + "Zelvan_2025_02_02_101010.old"));
  EXPECT_TRUE(fs.ArquivoExiste(Logs() + "Zelvan_2025_02_04.log"));
  EXPECT_TRUE(fs.ArquivoExiste(Logs() + "notas.txt"));
  EXPECT_TRUE(fs.ArquivoExiste(Logs() + "Zelvan.log.bak"));
  EXPECT_DOUBLE_EQ(TLogger::UltimaLimpezaLogs(), agora);

  criar("velho.log", 40);
  FRelogio.Avancar(59 * 60 * 1000);
  TLogger::Log("Erro");
  EXPECT_TRUE(fs.ArquivoExiste(Logs() + "velho.log")) << "less than an hour since the last";
  FRelogio.Avancar(2 * 60 * 1000);
  TLogger::Log("Erro");
  EXPECT_FALSE(fs.ArquivoExiste(Logs() + "velho.log"));

  // A clock set back does not hold the cleanup off.
  criar("velho2.log", 40);
  FRelogio.DefinirAgora(agora - 2);
  TLogger::Log("Erro");
  EXPECT_FALSE(fs.ArquivoExiste(Logs() + "velho2.log"));
}

// Sizes as the listing reports them, so that a folder of hundreds of MiB costs
// nothing on disk.
class TArquivosGrandes : public TArquivosComFalhas {
 public:
  std::vector<TInfoArquivo> Listar(const std::string& P, const std::string& M) override {
    std::vector<TInfoArquivo> r = TArquivosComFalhas::Listar(P, M);
    for (TInfoArquivo& f : r)
      if (auto it = Tamanhos.find(f.Nome); it != Tamanhos.end()) f.Tamanho = it->second;
    return r;
  }
  std::map<std::string, int64_t> Tamanhos;
};

TEST_F(Logger, PastaAbaixoDe200MiBApagandoOsMaisAntigos) {
  TArquivosGrandes fs;
  SubstituirConcern<IArquivos> troca(fs);
  fs.CriarPastas(Logs());
  const TDateTime agora = FRelogio.Agora();
  constexpr int64_t kMiB = 1024 * 1024;
  auto criar = [&](const std::string& ANome, double ADias, int64_t ATamanho) {
    GravarArquivoTeste(Logs() + ANome, "x");
    ASSERT_TRUE(fs.DefinirDataModificacao(Logs() + ANome, agora - ADias));
    fs.Tamanhos[ANome] = ATamanho;
  };
  // 265 MiB of log files; the same age goes by name.
  criar("Zelvan_2025_02_10.log", 23, 60 * kMiB);
  criar("Zelvan_2025_02_20_101010.old", 13, 60 * kMiB);
  criar("Zelvan_2025_02_20.log", 13, 50 * kMiB);
  criar("Zelvan_2025_03_01.log", 4, 50 * kMiB);
  criar("Zelvan_2025_03_05.log", 25, 45 * kMiB);  // today's, whatever its time says
  criar("notas.txt", 20, 500 * kMiB);             // not a log file

  TLogger::Log("Erro");
  EXPECT_FALSE(fs.ArquivoExiste(Logs() + "Zelvan_2025_02_10.log"));
  EXPECT_FALSE(fs.ArquivoExiste(Logs() + "Zelvan_2025_02_20.log"));
  for (const char* fica : {"Zelvan_2025_02_20_101010.old", "Zelvan_2025_03_01.log",
                           "Zelvan_2025_03_05.log", "notas.txt"})
    EXPECT_TRUE(fs.ArquivoExiste(Logs() + fica)) << fica;

  // Within the hour, a rotation that passes the total again deletes too.
  criar("Zelvan_2025_03_04_101010.old", 1, 100 * kMiB);
  fs.Tamanhos.erase("Zelvan_2025_03_05.log");
  GravarArquivoTeste(ArquivoDoDia(), std::string(kLimite, 'a'));
  FRelogio.Avancar(60 * 1000);
  TLogger::Log("Erro");
  EXPECT_TRUE(fs.ArquivoExiste(Logs() + "Zelvan_2025_03_05_141602.old"));
  EXPECT_FALSE(fs.ArquivoExiste(Logs() + "Zelvan_2025_02_20_101010.old"));
  EXPECT_TRUE(fs.ArquivoExiste(Logs() + "Zelvan_2025_03_01.log"));
  EXPECT_EQ(Conteudo(), "2025-03-05 14:16:02 - Erro\r\n");
}

TEST_F(Logger, ApagamentoRecusadoPulaSoAqueleArquivo) {
  TArquivosComFalhas falhas;
  falhas.RecusarApagar = true;
  SubstituirConcern<IArquivos> troca(falhas);
  Arquivos().CriarPastas(Logs());
  GravarArquivoTeste(Logs() + "a.log", "x");
  ASSERT_TRUE(Arquivos().DefinirDataModificacao(Logs() + "a.log", FRelogio.Agora() - 40));
  GravarArquivoTeste(Logs() + "b.old", "x");
  ASSERT_TRUE(Arquivos().DefinirDataModificacao(Logs() + "b.old", FRelogio.Agora() - 40));
  TLogger::Log("Erro");
  EXPECT_EQ(falhas.Apagamentos, 2);
  EXPECT_EQ(Conteudo(), "2025-03-05 14:15:02 - Erro\r\n");
}

TEST_F(Logger, FalhasPerdemSoALinha) {
  {
    TArquivosComFalhas falhas;
    falhas.RecusarAnexar = true;
    SubstituirConcern<IArquivos> troca(falhas);
    TLogger::Log("Erro perdido");
    EXPECT_EQ(falhas.Anexacoes, 1);
  }
  EXPECT_EQ(Conteudo(), "");

  // Another writer holds the file.
  GravarArquivoTeste(ArquivoDoDia(), "");
  {
    TArquivoTravado trava(ArquivoDoDia());
    ASSERT_TRUE(trava.Ativo());
    TLogger::Log("Erro durante a trava");
  }
  TLogger::Log("Erro depois");
  EXPECT_EQ(Conteudo(), "2025-03-05 14:15:02 - Erro depois\r\n");
}

TEST_F(Logger, PastaDeLogsImpossivelNaoAtrapalhaQuemChama) {
  GravarArquivoTeste(FBase.Base() + "logs", "um arquivo no lugar da pasta");
  EXPECT_NO_THROW(TLogger::Log("Erro sem pasta"));
  EXPECT_NO_THROW(TLogger::LimparLogsAntigos());
  EXPECT_EQ(LerArquivoTeste(FBase.Base() + "logs"), "um arquivo no lugar da pasta");
}

// Inside a polling pass the switch comes with the pass's reading of the
// record: another program's change counts from the next pass, the agent's
// own write at once.
TEST_F(Logger, ChaveDetalhadaNaPassagemSegueOArquivoNaSeguinte) {
  Config("[LOG]\r\nDETALHADO=1\r\n");
  {
    TPassagemConfig passagem;
    TConfigINI::Carregar();
    TLogger::Log("linha 1");
  }
  Config("[LOG]\r\nDETALHADO=0\r\n");
  {
    TPassagemConfig passagem;
    TConfigINI::Carregar();
    TLogger::Log("linha 2");
    TConfigINI::EscreverBooleano("LOG", "DETALHADO", true);
    TLogger::Log("linha 3");
    TConfigINI::Carregar();
    TLogger::Debug("linha 4");
  }
  Config("[LOG]\r\nDEBUG=0\r\n");
  TLogger::Log("linha 5");
  EXPECT_EQ(Conteudo(),
            "2025-03-05 14:15:02 - linha 1\r\n"
            "2025-03-05 14:15:02 - linha 3\r\n"
            "2025-03-05 14:15:02 - [DEBUG] linha 4\r\n");
}

// The folder is made once; removed later, it is made again and no line is lost.
TEST_F(Logger, PastaDeLogsRemovidaVoltaSemPerderALinha) {
  TLogger::Log("Erro 1");
  ASSERT_EQ(Conteudo(), "2025-03-05 14:15:02 - Erro 1\r\n");
  std::filesystem::remove_all(std::filesystem::u8path(Logs()));
  ASSERT_FALSE(Arquivos().PastaExiste(Logs()));
  TLogger::Log("Erro 2");
  TLogger::Log("Erro 3");
  EXPECT_EQ(Conteudo(),
            "2025-03-05 14:15:02 - Erro 2\r\n"
            "2025-03-05 14:15:02 - Erro 3\r\n");
}

}  // namespace
