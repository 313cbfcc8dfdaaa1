// Cache cleanup with set file times: everything, by age, files held by another
// program, links not followed, the temporary files of cut downloads.
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

// The real files, except that one file cannot be deleted (another program holds it).
class TArquivosPresos : public TArquivosComFalhas {
 public:
  bool Apagar(const std::string& C) override {
    if (NomeDe(C) == Preso) return false;
    return TArquivosComFalhas::Apagar(C);
  }
  std::string Preso;
};

class CacheTeste : public ::testing::Test {
 protected:
  std::string Cache() const { return TConfigINI::PastaBase() + "cache" + kSep; }
  void Arquivo(const std::string& ANome, double ADiasAtras) {
    GravarArquivoTeste(Cache() + ANome, "x");
    ASSERT_TRUE(Arquivos().DefinirDataModificacao(Cache() + ANome, Agora() - ADiasAtras));
  }
  bool Existe(const std::string& ANome) const { return Arquivos().ArquivoExiste(Cache() + ANome); }
  TBaseTemporaria Base;
  TRelogioFalso Relogio{46000.5};
  SubstituirConcern<IRelogio> FRelogio{Relogio};
};

}  // namespace

TEST_F(CacheTeste, LimparTudoPulaOPresoEDeixaSubpastas) {
  Arquivo("a.png", 1);
  Arquivo("b.mp3", 0);
  Arquivo(".oculto", 30);
  ASSERT_TRUE(Arquivos().CriarPastas(Cache() + "sub"));
  GravarArquivoTeste(Cache() + "sub" + kSep + "c.jpg", "x");
  TArquivosPresos presos;
  presos.Preso = "b.mp3";
  SubstituirConcern<IArquivos> troca(presos);
  TCacheCleaner::LimparTudoCache();
  EXPECT_FALSE(Existe("a.png"));
  EXPECT_FALSE(Existe(".oculto"));
  EXPECT_TRUE(Existe("b.mp3"));
  EXPECT_TRUE(Existe("sub" + std::string(1, kSep) + "c.jpg"));
}

TEST_F(CacheTeste, LimparAntigoPorDias) {
  struct {
    int Dias;
    std::vector<double> Idades;  // days
    std::vector<bool> Ficam;
  } casos[] = {
      {7, {6, 8, 7.001, 6.999}, {true, false, false, true}},
      {0, {0.0001, 2}, {false, false}},
      {-1, {0, 0.0001}, {false, false}},
      {30, {29, 31}, {true, false}},
  };
  for (const auto& c : casos) {
    std::vector<std::string> nomes;
    for (size_t i = 0; i < c.Idades.size(); ++i) {
      nomes.push_back("f" + std::to_string(i) + ".bin");
      Arquivo(nomes.back(), c.Idades[i]);
    }
    // Files made this instant count as "now" for the negative case.
    if (c.Dias < 0) Relogio.Avancar(1);
    TCacheCleaner::LimparCacheAntigo(c.Dias);
    for (size_t i = 0; i < nomes.size(); ++i)
      EXPECT_EQ(Existe(nomes[i]), c.Ficam[i]) << c.Dias << " dias, idade " << c.Idades[i];
    for (const auto& n : nomes) Arquivos().Apagar(Cache() + n);
  }
}

#ifndef _WIN32
// Natively only: under Wine 8 no link can be made (CreateSymbolicLinkW answers
// success and makes nothing; FSCTL_SET_REPARSE_POINT for a junction fails).
// Another user turns "cache" (or the base folder) into a link to the
// employee's files, or puts a link among the media: nothing is deleted
// through it, and the log says why.
TEST_F(CacheTeste, LigacaoNaoESeguida) {
  TPastaTemporaria outra;
  const std::string S(1, kSep);
  GravarArquivoTeste(outra / "documento.docx", "do empregado");
  ASSERT_TRUE(Arquivos().DefinirDataModificacao(outra / "documento.docx", Agora() - 30));
  const std::string cache = Cache();
  const std::string log = TLogger::ArquivoLogDoDia();

  // A link among the files of a real cache folder: the others still go.
  Arquivo("a.png", 30);
  ASSERT_TRUE(CriarLigacao(outra / "documento.docx", cache + "b.png"));
  TCacheCleaner::LimparCacheAntigo(7);
  TCacheCleaner::LimparTudoCache();
  EXPECT_FALSE(Existe("a.png"));
  EXPECT_TRUE(Arquivos().EhLigacao(cache + "b.png"));
  EXPECT_EQ(LerArquivoTeste(outra / "documento.docx"), "do empregado");
  EXPECT_TRUE(Contem(LerArquivoTeste(log), "Aviso: cache mantido: " + cache + "b.png" +
                                               " e uma juncao ou link simbolico."));
  ASSERT_TRUE(Arquivos().Apagar(cache + "b.png"));

  // The cache folder itself a link.
  ASSERT_TRUE(std::filesystem::remove(std::filesystem::u8path(cache)));
  ASSERT_TRUE(CriarLigacao(outra.Caminho(), cache.substr(0, cache.size() - 1)));
  TCacheCleaner::LimparTudoCache();
  TCacheCleaner::LimparCacheAntigo(7);
  EXPECT_EQ(LerArquivoTeste(outra / "documento.docx"), "do empregado");
  EXPECT_TRUE(Contem(LerArquivoTeste(log),
                     "Aviso: limpeza de cache ignorada: " + cache.substr(0, cache.size() - 1) +
                         " e uma juncao ou link simbolico."));
}
#endif

TEST_F(CacheTeste, PastaAusenteNadaFaz) {
  const std::string pasta = Cache();
  for (const auto& a : Arquivos().Listar(pasta, "*")) Arquivos().Apagar(pasta + a.Nome);
  ASSERT_TRUE(std::filesystem::remove(std::filesystem::path(pasta)) ||
              !Arquivos().PastaExiste(pasta));
  TArquivosComFalhas contagem;
  SubstituirConcern<IArquivos> troca(contagem);
  TCacheCleaner::LimparTudoCache();
  TCacheCleaner::LimparCacheAntigo(7);
  EXPECT_EQ(contagem.Apagamentos, 0);
}

// At start-up: temporary files of downloads cut short go, in the cache and in
// the update folder, once no download could still be writing them; of the
// wallpaper bitmaps only the newest stays; nothing else is touched.
TEST_F(CacheTeste, TemporariosDeDownloadsEBitmapsAntigos) {
  // The update's download lives in the employee's own folder.
  const std::string update = TConfigINI::PastaUsuario() + "update" + kSep;
  ASSERT_TRUE(Arquivos().CriarPastas(update));
  const double minuto = 1.0 / (24 * 60);
  struct Caso {
    std::string Pasta, Nome;
    double Idade;  // days
    bool Fica;
  };
  const Caso casos[] = {
      {Cache(), "msg_0123.png.tmp4321_99000", 20 * minuto, false},
      {Cache(), "aud_0123.mp3.tmp77_1", 2, false},
      {Cache(), "logo_0123.png.tmp4321_99001", 5 * minuto, true},  // may still be written
      {Cache(), "msg_0123.png", 2, true},
      {Cache(), "notas.tmp", 2, true},
      {Cache(), "a.tmpx_1", 2, true},
      {Cache(), "a.tmp1_", 2, true},
      {Cache(), "wall_aaaa.bmp", 3, false},
      {Cache(), "wall_bbbb.bmp", 1, true},  // the newest: the desktop may show it
      {Cache(), "wall_cccc.jpg", 3, true},
      {Cache(), "msg_dddd.bmp", 3, true},
      {update, "Zelvan_new.exe.tmp4321_12", 1, false},
      {update, "Zelvan_new.exe", 1, true},
      {update, "aplicar_update_agente.bat", 1, true},
  };
  for (const Caso& c : casos) {
    GravarArquivoTeste(c.Pasta + c.Nome, "x");
    ASSERT_TRUE(Arquivos().DefinirDataModificacao(c.Pasta + c.Nome, Agora() - c.Idade));
  }
  TCacheCleaner::LimparTemporarios();
  for (const Caso& c : casos)
    EXPECT_EQ(Arquivos().ArquivoExiste(c.Pasta + c.Nome), c.Fica) << c.Nome;
  EXPECT_TRUE(TCacheCleaner::NomeTemporario(TemporarioAoLado(Cache() + "x.png")));
}
