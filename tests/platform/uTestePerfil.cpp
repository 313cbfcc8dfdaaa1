// The profile concern's encoding on disk and its handling of damaged files.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/uPerfil.h"
#include "tests/support/uTestSupport.h"

namespace {

using namespace std::string_literals;

std::string Utf16Le(const std::u16string& ATexto) {
  std::string r = "\xFF\xFE";
  for (char16_t c : ATexto) {
    r += static_cast<char>(c & 0xFF);
    r += static_cast<char>(c >> 8);
  }
  return r;
}

TEST(Perfil, ArquivoNovoNaPaginaAnsi) {
  TPastaTemporaria tmp;
  const std::string arq = tmp / "config.ini";
  ASSERT_TRUE(Perfil().EscreverTexto(arq, "S", "K", "ação"));
  const std::string bytes = LerArquivoTeste(arq);
  EXPECT_NE(bytes.find("K=a\xE7\xE3o"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("\xC3\xA7"), std::string::npos) << "not UTF-8";
}

// Whatever the file's encoding, a write leaves every entry readable as before.
TEST(Perfil, EscritaMantemACodificacaoDoArquivo) {
  struct {
    const char* Nome;
    std::string Conteudo;
  } casos[] = {
      {"windows-1252", "[S]\r\nA=a\xE7\xE3o\r\n"},
      {"UTF-16 with mark", Utf16Le(u"[S]\r\nA=a\u00e7\u00e3o\r\n")},
  };
  for (const auto& c : casos) {
    TPastaTemporaria tmp;
    const std::string arq = tmp / "config.ini";
    GravarArquivoTeste(arq, c.Conteudo);
    ASSERT_TRUE(Perfil().EscreverTexto(arq, "S", "B", "válido")) << c.Nome;
    ASSERT_TRUE(Perfil().EscreverTexto(arq, "T", "C", "1")) << c.Nome;
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "A", ""), "ação") << c.Nome;
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "B", ""), "válido") << c.Nome;
    EXPECT_EQ(Perfil().LerTexto(arq, "T", "C", ""), "1") << c.Nome;
    EXPECT_EQ(LerArquivoTeste(arq).substr(0, 2), c.Conteudo.substr(0, 2)) << c.Nome;
  }
}

TEST(Perfil, EscritaPreservaComentariosEOutrasSecoes) {
  TPastaTemporaria tmp;
  const std::string arq = tmp / "config.ini";
  GravarArquivoTeste(arq, "; feito a mao\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  ASSERT_TRUE(Perfil().EscreverTexto(arq, "a", "z", "3"));
  ASSERT_TRUE(Perfil().EscreverTexto(arq, "B", "Y", "4"));
  const std::string bytes = LerArquivoTeste(arq);
  EXPECT_NE(bytes.find("; feito a mao"), std::string::npos);
  EXPECT_EQ(Perfil().Chaves(arq, "A"), (std::vector<std::string>{"x", "z"}));
  EXPECT_EQ(Perfil().LerTexto(arq, "B", "y", ""), "4");
  EXPECT_EQ(Perfil().Chaves(arq, "B"), std::vector<std::string>{"y"});
}

#ifndef _WIN32
// Our own reader decides by the bytes; these are the cases the Windows API
// leaves to its code page.
TEST(Perfil, Utf8SemMarcaContinuaUtf8) {
  TPastaTemporaria tmp;
  const std::string arq = tmp / "config.ini";
  GravarArquivoTeste(arq, "[S]\r\nA=ação\r\n");
  EXPECT_EQ(Perfil().LerTexto(arq, "S", "A", ""), "ação");
  ASSERT_TRUE(Perfil().EscreverTexto(arq, "S", "B", "é"));
  EXPECT_EQ(LerArquivoTeste(arq), "[S]\r\nA=ação\r\nB=é\r\n");
}

TEST(Perfil, LixoNaoDerrubaOLeitor) {
  const std::string casos[] = {
      std::string("[S]\r\nK=v\0oculto\r\n", 17),
      std::string("\0\0\0\0", 4),
      "\xFF\xFE[\x00S\x00]"s,  // UTF-16 cut in the middle of a character
      "\xFE\xFF\x00[\x00S\x00]\x00\r\x00\n\x00K\x00=\x00v"s,
      "[[[[]]]]===\r\n=\r\n[]\r\n=x\r\n",
      "\xEF\xBB\xBF[S]\r\nK=\xC3\r\n",
  };
  const char* esperado[] = {"v", "d", "d", "v", "d", "\xEF\xBF\xBD"};
  for (size_t i = 0; i < std::size(casos); ++i) {
    TPastaTemporaria tmp;
    const std::string arq = tmp / "config.ini";
    GravarArquivoTeste(arq, casos[i]);
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "K", "d"), esperado[i]) << i;
    EXPECT_TRUE(Perfil().EscreverTexto(arq, "S", "N", "1")) << i;
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "N", ""), "1") << i;
  }
}
// A write changes only the line it writes: the others keep their bytes, and
// every key reads back what it read before.
TEST(Perfil, EscritaGuardaAsOutrasLinhas) {
  // The five bytes windows-1252 leaves undefined, and a pair that would be
  // UTF-8 ("\xC3\xA9" is "Ã©" in windows-1252) beside the one byte that is not.
  const std::string indefinidos = "A=x\x81\x8D\x8F\x90\x9Dy";
  const std::string soB = "B=\xE9\r\nC=\xC3\xA9\r\n";
  const std::string ansi = "[S]\r\n" + indefinidos + "\r\n" + soB;
  const std::string textoA = "x\u0081\u008D\u008F\u0090\u009Dy";
  struct Caso {
    const char* Nome;
    std::string Conteudo;
    std::function<bool(const std::string&)> Escrever;
    std::string TextoB;  // what B reads afterwards
  };
  const Caso casos[] = {
      {"outra chave", ansi,
       [](const std::string& F) { return Perfil().EscreverTexto(F, "S", "N", "1"); }, "é"},
      {"outra secao", ansi,
       [](const std::string& F) { return Perfil().EscreverTexto(F, "T", "N", "1"); }, "é"},
      {"apagar o unico byte que nao e UTF-8", "[S]\r\n" + soB,
       [](const std::string& F) { return Perfil().ApagarChave(F, "S", "B"); }, ""},
      {"trocar o unico byte que nao e UTF-8", "[S]\r\n" + soB,
       [](const std::string& F) { return Perfil().EscreverTexto(F, "S", "B", "e"); }, "e"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Nome);
    TPastaTemporaria tmp;
    const std::string arq = tmp / "config.ini";
    GravarArquivoTeste(arq, c.Conteudo);
    ASSERT_EQ(Perfil().LerTexto(arq, "S", "C", ""), "Ã©");
    ASSERT_TRUE(c.Escrever(arq));
    if (c.Conteudo == ansi) {
      EXPECT_EQ(Perfil().LerTexto(arq, "S", "A", ""), textoA);
    }
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "B", ""), c.TextoB);
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "C", ""), "Ã©");
    // While the file stays windows-1252, the bytes of the line are the same.
    const std::string bytes = LerArquivoTeste(arq);
    if (c.Conteudo == ansi) {
      EXPECT_NE(bytes.find(indefinidos + "\r\nB=\xE9\r\nC=\xC3\xA9\r\n"), std::string::npos);
    }
  }

  // A value read from such a line and written back gives the same bytes.
  {
    TPastaTemporaria tmp;
    const std::string arq = tmp / "config.ini";
    GravarArquivoTeste(arq, ansi);
    ASSERT_TRUE(Perfil().EscreverTexto(arq, "S", "D", Perfil().LerTexto(arq, "S", "A", "")));
    EXPECT_NE(LerArquivoTeste(arq).find("D=x\x81\x8D\x8F\x90\x9Dy\r\n"), std::string::npos);
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "D", ""), textoA);
  }
  // A new value that is such a pair, in a file of plain ASCII.
  {
    TPastaTemporaria tmp;
    const std::string arq = tmp / "config.ini";
    GravarArquivoTeste(arq, "[S]\r\nA=1\r\n");
    ASSERT_TRUE(Perfil().EscreverTexto(arq, "S", "B", "Ã©"));
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "B", ""), "Ã©");
    EXPECT_EQ(Perfil().LerTexto(arq, "S", "A", ""), "1");
  }
  // A damaged sequence in a UTF-8 file with a mark stays as it was.
  {
    TPastaTemporaria tmp;
    const std::string arq = tmp / "config.ini";
    GravarArquivoTeste(arq, "\xEF\xBB\xBF[S]\r\nK=\xC3\r\n");
    ASSERT_TRUE(Perfil().EscreverTexto(arq, "S", "N", "ção"));
    EXPECT_EQ(LerArquivoTeste(arq), "\xEF\xBB\xBF[S]\r\nK=\xC3\r\nN=ção\r\n");
  }
}
#endif

}  // namespace
