// The programs as built carry the agent's one version in their version
// resource and in their manifest's own assemblyIdentity: the update compares the
// first with the manifest's, the watchdog with the version that ran before.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "config/uVersao.h"
#include "platform/uArquivos.h"
#include "platform/uWin32Texto.h"
#include "services/uVersaoExe.h"

namespace {

// The program's RT_MANIFEST resource 1, read as data (the program is not run).
std::string ManifestoDe(const std::string& ACaminho) {
  HMODULE m = LoadLibraryExW(ParaWide(ACaminho).c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!m) return "";
  std::string texto;
  if (HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    HGLOBAL g = LoadResource(m, r);
    const void* p = g ? LockResource(g) : nullptr;
    if (p) texto.assign(static_cast<const char*>(p), SizeofResource(m, r));
  }
  FreeLibrary(m);
  return texto;
}

}  // namespace

TEST(VersaoRecurso, ProgramasConstruidosTemAVersaoDoAgente) {
  const std::string esperada = std::string(VersaoAgente()) + ".0";
  const struct {
    const char* Programa;
    const char* Identidade;
  } casos[] = {{"Zelvan.exe", "Vesk.IntranetAgent.Zelvan"},
               {"WatchdogAgente.exe", "Vesk.IntranetAgent.WatchdogAgente"}};
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Programa);
    const std::string caminho = PastaDoExecutavel() + c.Programa;
    std::string bytes, versao;
    ASSERT_TRUE(Arquivos().LerTudo(caminho, bytes)) << "not built";
    ASSERT_TRUE(LerVersaoExecutavel(bytes, versao));
    EXPECT_EQ(versao, esperada);

    const std::string manifesto = ManifestoDe(caminho);
    ASSERT_FALSE(manifesto.empty()) << "no manifest resource";
    // The program's own identity, not the common controls' it depends on.
    std::smatch m;
    const std::regex identidade(std::string("<assemblyIdentity[^>]*name=\"") + c.Identidade +
                                "\"[^>]*version=\"([^\"]*)\"");
    ASSERT_TRUE(std::regex_search(manifesto, m, identidade)) << manifesto.substr(0, 400);
    EXPECT_EQ(m[1].str(), esperada);
  }
}
