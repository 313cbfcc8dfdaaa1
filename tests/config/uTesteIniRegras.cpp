// The rules of config.ini, one table run against the platform's profile file:
// natively our own reader and writer, on Windows the real profile API.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "platform/uErros.h"
#include "platform/uTexto.h"
#include "tests/support/uTestSupport.h"

namespace {

enum class TTipo { Texto, Inteiro, Booleano };

struct TCasoLeitura {
  const char* Nome;
  std::string Conteudo;  // bytes of the file; "<none>" for no file
  const char* Secao;
  const char* Chave;
  TTipo Tipo;
  std::string Padrao;    // for integers and Booleans: its decimal text
  std::string Esperado;  // likewise
};

std::string Utf16Le(const std::u16string& ATexto) {
  std::string r = "\xFF\xFE";
  for (char16_t c : ATexto) {
    r += static_cast<char>(c & 0xFF);
    r += static_cast<char>(c >> 8);
  }
  return r;
}

const std::string kLongo(3000, 'x');

const TCasoLeitura kCasos[] = {
    {"names ignore case", "[Servidor]\r\nurl=http://a/\r\n", "SERVIDOR", "URL", TTipo::Texto, "d",
     "http://a/"},
    {"value trimmed", "[S]\r\nK =   dois  espacos \t \r\n", "s", "k", TTipo::Texto, "",
     "dois  espacos"},
    {"quotes removed, blanks inside kept", "[S]\r\nK= \"  entre  \" \r\n", "S", "K", TTipo::Texto,
     "", "  entre  "},
    {"only one pair of quotes", "[S]\r\nK=\"\"x\"\"\r\n", "S", "K", TTipo::Texto, "", "\"x\""},
    {"single quotes", "[S]\r\nK='x'\r\n", "S", "K", TTipo::Texto, "", "x"},
    {"unbalanced quote stays", "[S]\r\nK=\"sem fim\r\n", "S", "K", TTipo::Texto, "", "\"sem fim"},
    {"empty value is not the default", "[S]\r\nK=\r\n", "S", "K", TTipo::Texto, "d", ""},
    {"first of two keys", "[S]\r\nK=1\r\nk=2\r\n", "S", "K", TTipo::Texto, "", "1"},
    {"key of another section", "[A]\r\nK=1\r\n[B]\r\nX=2\r\n", "B", "K", TTipo::Texto, "d", "d"},
    {"missing section", "[A]\r\nK=1\r\n", "B", "K", TTipo::Texto, "padrao", "padrao"},
    {"missing file", "<none>", "S", "K", TTipo::Texto, "padrao", "padrao"},
    {"LF line ends", "[S]\nK=v\n", "S", "K", TTipo::Texto, "", "v"},
    {"blanks before header and key", "  [S]\r\n   K=v\r\n", "S", "K", TTipo::Texto, "", "v"},
    {"truncated after a value", "[S]\r\nK=trunc", "S", "K", TTipo::Texto, "", "trunc"},
    {"truncated header", "[S]\r\nK=v\r\n[T", "T", "K", TTipo::Texto, "d", "d"},
    {"3000 characters cut to 2047", "[S]\r\nK=" + kLongo + "\r\n", "S", "K", TTipo::Texto, "",
     std::string(2047, 'x')},
    {"UTF-16 file with byte-order mark", Utf16Le(u"[S]\r\nK=ol\u00e1\r\n"), "S", "K", TTipo::Texto,
     "", "ol\u00e1"},
    {"decimal", "[S]\r\nK=-12\r\n", "S", "K", TTipo::Inteiro, "7", "-12"},
    {"hexadecimal", "[S]\r\nK=0x3C\r\n", "S", "K", TTipo::Inteiro, "7", "60"},
    {"0x alone", "[S]\r\nK=0x\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"dollar prefix is not hexadecimal", "[S]\r\nK=$3C\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"signed hexadecimal", "[S]\r\nK=-0x3C\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"upper-case 0X", "[S]\r\nK=0X3C\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"not an integer", "[S]\r\nK=abc\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"digits then letters", "[S]\r\nK=12abc\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"beyond 32 bits", "[S]\r\nK=2147483648\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"empty integer", "[S]\r\nK=\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"integer with blanks", "[S]\r\nK=  42 \r\n", "S", "K", TTipo::Inteiro, "7", "42"},
    {"missing integer", "[S]\r\n", "S", "K", TTipo::Inteiro, "7", "7"},
    {"Boolean 1", "[S]\r\nK=1\r\n", "S", "K", TTipo::Booleano, "0", "1"},
    {"Boolean 0", "[S]\r\nK=0\r\n", "S", "K", TTipo::Booleano, "1", "0"},
    {"Boolean any non-zero", "[S]\r\nK=-3\r\n", "S", "K", TTipo::Booleano, "0", "1"},
    {"Boolean yes is not an integer", "[S]\r\nK=yes\r\n", "S", "K", TTipo::Booleano, "1", "1"},
    {"Boolean true is not an integer", "[S]\r\nK=true\r\n", "S", "K", TTipo::Booleano, "0", "0"},
};

class IniLeitura : public ::testing::TestWithParam<TCasoLeitura> {};

TEST_P(IniLeitura, LeComoOPerfilDoWindows) {
  const TCasoLeitura& c = GetParam();
  TPastaTemporaria pasta;
  const std::string arq = pasta / "config.ini";
  if (c.Conteudo != "<none>") GravarArquivoTeste(arq, c.Conteudo);
  switch (c.Tipo) {
    case TTipo::Texto:
      EXPECT_EQ(TConfigINI::LerTexto(arq, c.Secao, c.Chave, c.Padrao), c.Esperado);
      break;
    case TTipo::Inteiro:
      EXPECT_EQ(TConfigINI::LerInteiro(arq, c.Secao, c.Chave, std::stoi(c.Padrao)),
                std::stoi(c.Esperado));
      break;
    case TTipo::Booleano:
      EXPECT_EQ(TConfigINI::LerBooleano(arq, c.Secao, c.Chave, c.Padrao == "1"), c.Esperado == "1");
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Casos, IniLeitura, ::testing::ValuesIn(kCasos),
                         [](const ::testing::TestParamInfo<TCasoLeitura>& i) {
                           std::string n;
                           for (char ch : std::string(i.param.Nome))
                             n += (std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
                           return n;
                         });

TEST(IniChaves, ListaAsChavesDaSecaoNaOrdemDoArquivo) {
  TPastaTemporaria pasta;
  const std::string arq = pasta / "config.ini";
  GravarArquivoTeste(arq, "[A]\r\nx=1\r\n; comentario\r\nY=\r\n\r\n  Zeta = 3\r\n[B]\r\nw=4\r\n");
  EXPECT_EQ(TConfigINI::Chaves(arq, "a"), (std::vector<std::string>{"x", "Y", "Zeta"}));
  EXPECT_TRUE(TConfigINI::ChaveExiste(arq, "A", "y")) << "an empty value counts as present";
  EXPECT_TRUE(TConfigINI::ChaveExiste(arq, "A", "ZETA"));
  EXPECT_FALSE(TConfigINI::ChaveExiste(arq, "B", "x"));
  EXPECT_TRUE(TConfigINI::Chaves(arq, "C").empty());
  EXPECT_TRUE(TConfigINI::Chaves(pasta / "nenhum.ini", "A").empty());
}

TEST(IniEscrita, CadaEscritaEVistaNaHoraENaoMexeNoResto) {
  TPastaTemporaria pasta;
  const std::string arq = pasta / "config.ini";
  TConfigINI::EscreverTexto(arq, "SERVIDOR", "URL", "http://a/");
  EXPECT_FALSE(LerArquivoTeste(arq).empty()) << "the first write creates the file";
  EXPECT_EQ(TConfigINI::LerTexto(arq, "servidor", "url", ""), "http://a/");

  TConfigINI::EscreverTexto(arq, "Servidor", "url", "http://b/");
  TConfigINI::EscreverInteiro(arq, "SERVIDOR", "INTERVALO", -5);
  TConfigINI::EscreverBooleano(arq, "LOG", "DETALHADO", true);
  TConfigINI::EscreverTexto(arq, "SERVIDOR", "API_TOKEN", kLongo);
  TConfigINI::Descarregar(arq);

  EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "URL", ""), "http://b/");
  EXPECT_EQ(TConfigINI::Chaves(arq, "SERVIDOR"),
            (std::vector<std::string>{"URL", "INTERVALO", "API_TOKEN"}));
  EXPECT_EQ(TConfigINI::LerInteiro(arq, "SERVIDOR", "INTERVALO", 0), -5);
  EXPECT_EQ(TConfigINI::LerTexto(arq, "LOG", "DETALHADO", ""), "1");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "SERVIDOR", "API_TOKEN", ""), std::string(2047, 'x'));
}

TEST(IniEscrita, TextoComAcentosVoltaIgual) {
  TPastaTemporaria pasta;
  const std::string arq = pasta / "config.ini";
  TConfigINI::EscreverTexto(arq, "S", "K", "Atualização válida");
  EXPECT_EQ(TConfigINI::LerTexto(arq, "S", "K", ""), "Atualização válida");
}

TEST(IniEscrita, ArquivoSomenteLeituraRecusaAEscrita) {
  if (!SomenteLeituraRespeitado()) GTEST_SKIP() << "read-only files are writable here";
  TPastaTemporaria pasta;
  const std::string arq = pasta / "config.ini";
  GravarArquivoTeste(arq, "[S]\r\nK=antes\r\n");
  DefinirSomenteLeitura(arq, true);
  try {
    TConfigINI::EscreverTexto(arq, "S", "K", "depois");
    FAIL() << "the write was accepted";
  } catch (const EIniErro& e) {
    EXPECT_EQ(e.Mensagem(), "Unable to write to " + arq);
  }
  DefinirSomenteLeitura(arq, false);
  EXPECT_EQ(TConfigINI::LerTexto(arq, "S", "K", ""), "antes");
}

#ifdef _WIN32
// Another program holding the file open for writing refuses the write too.
TEST(IniEscrita, ArquivoTravadoRecusaAEscrita) {
  TPastaTemporaria pasta;
  const std::string arq = pasta / "config.ini";
  GravarArquivoTeste(arq, "[S]\r\nK=antes\r\n");
  {
    TArquivoTravado trava(arq);
    ASSERT_TRUE(trava.Ativo());
    EXPECT_THROW(TConfigINI::EscreverTexto(arq, "S", "K", "depois"), EIniErro);
  }
  EXPECT_EQ(TConfigINI::LerTexto(arq, "S", "K", ""), "antes");
}
#endif

TEST(IniEscrita, PastaInexistenteRecusaAEscrita) {
  TPastaTemporaria pasta;
  const std::string arq = pasta / ("nao_existe" + std::string(1, kSep) + "config.ini");
  EXPECT_THROW(TConfigINI::EscreverTexto(arq, "S", "K", "v"), EIniErro);
}

}  // namespace
