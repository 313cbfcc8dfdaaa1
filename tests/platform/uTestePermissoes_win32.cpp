// The access-rights concern on a real security descriptor. Wine keeps no DACL
// that is set (it derives one from the Unix mode: SYSTEM and the user with
// full control, Everyone with read and execute), so this proves the reading of
// that list: read access for Everyone is no write access, and a folder of the
// user's own gives no warning.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/uPermissoes.h"
#include "tests/support/uTestSupport.h"

namespace {

TEST(Permissoes, PastaDoProprioUsuarioNaoENomeada) {
  TPastaTemporaria tmp;
  GravarArquivoTeste(tmp / "Zelvan.exe", "MZ");
  std::vector<std::string> quem;
  EXPECT_FALSE(Permissoes().OutrosPodemEscrever(tmp.Caminho(), quem));
  EXPECT_FALSE(Permissoes().OutrosPodemEscrever(tmp / "Zelvan.exe", quem));
  EXPECT_TRUE(quem.empty()) << quem[0];
  EXPECT_FALSE(Permissoes().OutrosPodemEscrever(tmp / "nada", quem)) << "no such folder";
}

}  // namespace
