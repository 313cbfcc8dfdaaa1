// The profile concern's encoding on disk and its handling of damaged files.
#include <gtest/gtest.h>

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
#endif

}  // namespace
