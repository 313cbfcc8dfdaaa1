// The real Authenticode reader (CryptQueryObject, WinVerifyTrust) on files
// that carry no signature: they read as unsigned, which the same-signer rule
// then confirms from the file's own certificate table.
#include <gtest/gtest.h>

#include <string>

#include "platform/uArquivos.h"
#include "platform/uCripto.h"
#include "services/uVersaoExe.h"
#include "tests/support/uTestSupport.h"

TEST(AssinaturaReal, ArquivoSemAssinaturaLidoComoSemAssinatura) {
  TPastaTemporaria pasta;
  const std::string texto = pasta / "nota.txt";
  GravarArquivoTeste(texto, "nada assinado aqui");
  // This test program is built unsigned, as every build but a release is.
  for (const std::string& arquivo : {Arquivos().CaminhoExecutavel(), texto}) {
    SCOPED_TRACE(arquivo);
    const TAssinaturaArquivo a = AssinaturaArquivo().Ler(arquivo);
    EXPECT_FALSE(a.Presente);
    EXPECT_TRUE(a.Impressao.empty());
    EXPECT_TRUE(a.Assunto.empty());
  }
  std::string bytes;
  ASSERT_TRUE(Arquivos().LerTudo(Arquivos().CaminhoExecutavel(), bytes));
  EXPECT_FALSE(ExecutavelComAssinatura(bytes));
}
