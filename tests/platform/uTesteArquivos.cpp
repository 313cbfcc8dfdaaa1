// The files concern on real files in a temporary folder, and the path helpers.
#include <gtest/gtest.h>

#include <string>

#include "platform/uArquivos.h"
#include "tests/support/uTestSupport.h"

namespace {

const std::string S(1, kSep);

TEST(Caminhos, AjudantesDeCaminho) {
  const std::string arq = "C" + S + "pasta.d" + S + "Zelvan_2025_03_05.log";
  EXPECT_EQ(PastaDe(arq), "C" + S + "pasta.d" + S);
  EXPECT_EQ(NomeDe(arq), "Zelvan_2025_03_05.log");
  EXPECT_EQ(ExtensaoDe(arq), ".log");
  EXPECT_EQ(SemExtensao(arq), "C" + S + "pasta.d" + S + "Zelvan_2025_03_05");
  EXPECT_EQ(ExtensaoDe("pasta.d" + S + "sem"), "") << "a dot in a folder is no extension";
  EXPECT_EQ(SemExtensao("pasta.d" + S + "sem"), "pasta.d" + S + "sem");
  EXPECT_EQ(PastaDe("nome.txt"), "");
  EXPECT_EQ(IncluirSeparador("a"), "a" + S);
  EXPECT_EQ(IncluirSeparador("a" + S), "a" + S);
  EXPECT_EQ(IncluirSeparador(""), "");
}

TEST(Caminhos, Mascaras) {
  struct {
    const char* Nome;
    const char* Mascara;
    bool Casa;
  } casos[] = {
      {"Zelvan_2025_03_05.log", "*.log", true},
      {"ZELVAN.LOG", "*.log", true},
      {"a.log.txt", "*.log", false},
      {"a.old", "*.log", false},
      {"x", "*", true},
      {"", "*", true},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"a.b.log", "*.*.log", true},
      {"log", "*.log", false},
  };
  for (const auto& c : casos)
    EXPECT_EQ(CorrespondeMascara(c.Nome, c.Mascara), c.Casa) << c.Nome << " ~ " << c.Mascara;
}

TEST(Arquivos, GravaLeAnexaECriaPastas) {
  TPastaTemporaria tmp;
  IArquivos& fs = Arquivos();
  const std::string pasta = tmp / ("a" + S + "ação" + S + "c");
  EXPECT_TRUE(fs.CriarPastas(pasta + S));
  EXPECT_TRUE(fs.PastaExiste(pasta));
  const std::string arq = pasta + S + "é.bin";
  EXPECT_EQ(fs.Tamanho(arq), -1);
  EXPECT_FALSE(fs.ArquivoExiste(arq));
  const std::string bytes("x\0y\r\n\xFF", 6);
  EXPECT_TRUE(fs.Gravar(arq, bytes));
  EXPECT_TRUE(fs.Anexar(arq, "zz"));
  EXPECT_TRUE(fs.Anexar(pasta + S + "novo.log", "linha\r\n")) << "Anexar creates the file";
  std::string lido;
  EXPECT_TRUE(fs.LerTudo(arq, lido));
  EXPECT_EQ(lido, bytes + "zz");
  EXPECT_EQ(fs.Tamanho(arq), 8);
  EXPECT_TRUE(fs.ArquivoExiste(arq));
  EXPECT_FALSE(fs.ArquivoExiste(pasta)) << "a folder is not a file";
  EXPECT_FALSE(fs.LerTudo(pasta + S + "nada", lido));
  EXPECT_TRUE(fs.Apagar(arq));
  EXPECT_FALSE(fs.Apagar(arq));
}

TEST(Arquivos, RenomearRecusaDestinoExistenteESubstituirTroca) {
  TPastaTemporaria tmp;
  IArquivos& fs = Arquivos();
  GravarArquivoTeste(tmp / "a", "A");
  GravarArquivoTeste(tmp / "b", "B");
  EXPECT_FALSE(fs.Renomear(tmp / "a", tmp / "b"));
  EXPECT_EQ(LerArquivoTeste(tmp / "b"), "B");
  EXPECT_TRUE(fs.Renomear(tmp / "a", tmp / "c"));
  EXPECT_FALSE(fs.ArquivoExiste(tmp / "a"));
  EXPECT_TRUE(fs.Substituir(tmp / "c", tmp / "b"));
  EXPECT_EQ(LerArquivoTeste(tmp / "b"), "A");
  EXPECT_FALSE(fs.Renomear(tmp / "nada", tmp / "d"));
}

TEST(Arquivos, DataDeModificacaoEListagem) {
  TPastaTemporaria tmp;
  IArquivos& fs = Arquivos();
  GravarArquivoTeste(tmp / "um.log", "1");
  GravarArquivoTeste(tmp / "DOIS.LOG", "22");
  GravarArquivoTeste(tmp / "tres.old", "3");
  fs.CriarPastas(tmp / "pasta.log");
  const TDateTime quando = 45700.25;  // 2025-02-12 06:00
  EXPECT_TRUE(fs.DefinirDataModificacao(tmp / "um.log", quando));
  TDateTime lida = 0;
  EXPECT_TRUE(fs.DataModificacao(tmp / "um.log", lida));
  EXPECT_NEAR(lida, quando, kUmSegundo);
  EXPECT_FALSE(fs.DataModificacao(tmp / "nada", lida));

  auto lista = fs.Listar(tmp.Caminho(), "*.log");
  ASSERT_EQ(lista.size(), 2u) << "folders are not listed";
  if (lista[0].Nome != "um.log") std::swap(lista[0], lista[1]);
  EXPECT_EQ(lista[0].Nome, "um.log");
  EXPECT_EQ(lista[0].Tamanho, 1);
  EXPECT_NEAR(lista[0].Modificado, quando, kUmSegundo);
  EXPECT_EQ(lista[1].Nome, "DOIS.LOG");
  EXPECT_TRUE(fs.Listar(tmp / "nada", "*").empty());
}

TEST(Arquivos, AnexarFalhaEnquantoOutroEscritorSeguraOArquivo) {
  TPastaTemporaria tmp;
  const std::string arq = tmp / "Zelvan.log";
  GravarArquivoTeste(arq, "");
  {
    TArquivoTravado trava(arq);
    ASSERT_TRUE(trava.Ativo());
    EXPECT_FALSE(Arquivos().Anexar(arq, "perdida"));
  }
  EXPECT_TRUE(Arquivos().Anexar(arq, "depois"));
  EXPECT_EQ(LerArquivoTeste(arq), "depois");
}

TEST(Arquivos, AnexarAbaixoDeEscreveSoAbaixoDoLimite) {
  using A = IArquivos::TAnexo;
  TPastaTemporaria tmp;
  IArquivos& fs = Arquivos();
  const std::string arq = tmp / "Zelvan.log";
  EXPECT_EQ(fs.AnexarAbaixoDe(arq, "abc", 5), A::Anexado) << "creates the missing file";
  EXPECT_EQ(fs.AnexarAbaixoDe(arq, "de", 5), A::Anexado) << "3 bytes, below 5";
  EXPECT_EQ(fs.AnexarAbaixoDe(arq, "f", 5), A::Cheio) << "5 bytes, the limit itself";
  EXPECT_EQ(LerArquivoTeste(arq), "abcde");
  GravarArquivoTeste(arq, "abcdefg");
  EXPECT_EQ(fs.AnexarAbaixoDe(arq, "h", 5), A::Cheio);
  EXPECT_EQ(LerArquivoTeste(arq), "abcdefg");
  {
    TArquivoTravado trava(arq);
    ASSERT_TRUE(trava.Ativo());
    EXPECT_EQ(fs.AnexarAbaixoDe(arq, "h", 100), A::Falhou);
  }
  EXPECT_EQ(fs.AnexarAbaixoDe(arq, "h", 100), A::Anexado);
  EXPECT_EQ(LerArquivoTeste(arq), "abcdefgh");
  EXPECT_EQ(fs.AnexarAbaixoDe(tmp / ("nada" + S + "x.log"), "h", 100), A::Falhou);
}

TEST(Arquivos, GravarAtomicoTrocaInteiroOuNada) {
  TPastaTemporaria tmp;
  const std::string arq = tmp / "dados.json";
  GravarArquivoTeste(arq, "antigo");
  EXPECT_TRUE(GravarAtomico(arq, "novo"));
  EXPECT_EQ(LerArquivoTeste(arq), "novo");
  EXPECT_TRUE(GravarAtomico(tmp / "criado.json", "x"));

  TArquivosComFalhas falhas;
  falhas.RecusarSubstituir = true;
  {
    SubstituirConcern<IArquivos> troca(falhas);
    EXPECT_FALSE(GravarAtomico(arq, "perdido"));
  }
  EXPECT_EQ(LerArquivoTeste(arq), "novo");
  EXPECT_EQ(Arquivos().Listar(tmp.Caminho(), "*").size(), 2u) << "no temporary file is left";
  EXPECT_FALSE(GravarAtomico(tmp / ("nada" + S + "x.json"), "x"));
}

// Plain entries are no links; GravarNovo creates and refuses an existing file.
TEST(Arquivos, GravarNovoRecusaOQueJaExiste) {
  TPastaTemporaria tmp;
  IArquivos& fs = Arquivos();
  const std::string arq = tmp / "novo.bin";
  EXPECT_FALSE(fs.EhLigacao(tmp.Caminho()));
  EXPECT_FALSE(fs.EhLigacao(arq));
  EXPECT_TRUE(fs.GravarNovo(arq, "abc"));
  EXPECT_FALSE(fs.EhLigacao(arq));
  EXPECT_FALSE(fs.GravarNovo(arq, "outro"));
  EXPECT_EQ(LerArquivoTeste(arq), "abc");
  EXPECT_FALSE(fs.GravarNovo(tmp.Caminho(), "x")) << "a folder is there";
  EXPECT_EQ(LigacaoNoCaminho(tmp.Caminho(), arq), "");
}

#ifndef _WIN32
// Natively only: under Wine 8 no link can be made (CreateSymbolicLinkW answers
// success and makes nothing; FSCTL_SET_REPARSE_POINT for a junction fails).
// The links that another user of the computer could plant: each is seen as a
// link without being followed, and a new file is never written through one.
TEST(Arquivos, LigacoesVistasSemSeguir) {
  TPastaTemporaria tmp;
  IArquivos& fs = Arquivos();
  const std::string alvo = tmp / "alvo";
  ASSERT_TRUE(fs.CriarPastas(alvo));
  GravarArquivoTeste(alvo + S + "doc.txt", "do empregado");
  const std::string base = tmp / "base";
  ASSERT_TRUE(fs.CriarPastas(base + S + "real"));
  GravarArquivoTeste(base + S + "comum.txt", "x");
  ASSERT_TRUE(CriarLigacao(alvo, base + S + "cache"));
  ASSERT_TRUE(CriarLigacao(alvo + S + "doc.txt", base + S + "arq.jpg"));
  ASSERT_TRUE(CriarLigacao(tmp / "nada", base + S + "solta.jpg"));

  struct {
    std::string Caminho;
    bool Ligacao;
  } entradas[] = {
      {base + S + "cache", true},      {base + S + "cache" + S, true},
      {base + S + "arq.jpg", true},    {base + S + "solta.jpg", true},
      {base + S + "comum.txt", false}, {base + S + "real", false},
      {base + S + "nada", false},      {base + S + "cache" + S + "doc.txt", false},
  };
  for (const auto& e : entradas) EXPECT_EQ(fs.EhLigacao(e.Caminho), e.Ligacao) << e.Caminho;

  for (const TInfoArquivo& a : fs.Listar(base, "*"))
    EXPECT_EQ(a.Ligacao, a.Nome == "arq.jpg") << a.Nome;

  // The first link on the way down from the base folder, the base itself included.
  struct {
    std::string Base, Caminho, Ligacao;
  } caminhos[] = {
      {base, base + S + "cache" + S + "doc.txt", base + S + "cache"},
      {base, base + S + "cache" + S, base + S + "cache"},
      {base + S, base + S + "arq.jpg", base + S + "arq.jpg"},
      {base, base + S + "real" + S + "x.jpg", ""},
      {base, base + S + "comum.txt", ""},
      {base + S + "cache", base + S + "cache" + S + "doc.txt", base + S + "cache" + S},
      {tmp / "outra", base + S + "cache" + S + "doc.txt", base + S + "cache"},
  };
  for (const auto& c : caminhos)
    EXPECT_EQ(LigacaoNoCaminho(c.Base, c.Caminho), c.Ligacao) << c.Caminho;

  // GravarNovo creates, and refuses whatever is there: a file, a link (even to
  // nothing), whose target stays as it was.
  EXPECT_TRUE(fs.GravarNovo(base + S + "novo.bin", "abc"));
  EXPECT_EQ(LerArquivoTeste(base + S + "novo.bin"), "abc");
  EXPECT_FALSE(fs.GravarNovo(base + S + "novo.bin", "outro"));
  EXPECT_EQ(LerArquivoTeste(base + S + "novo.bin"), "abc");
  EXPECT_FALSE(fs.GravarNovo(base + S + "arq.jpg", "sobrescrito"));
  EXPECT_EQ(LerArquivoTeste(alvo + S + "doc.txt"), "do empregado");
  EXPECT_FALSE(fs.GravarNovo(base + S + "solta.jpg", "criado"));
  EXPECT_FALSE(fs.ArquivoExiste(tmp / "nada"));
}
#endif

}  // namespace
