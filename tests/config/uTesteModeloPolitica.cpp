// The administrative template that ships with the release: every value it sets
// is one the agent reads, under the key the agent reads, and each language
// file defines every text and presentation the template names.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "config/uConfigINI.h"
#include "platform/uRegistro.h"
#include "tests/support/uTestSupport.h"

namespace {

const std::string kPasta = std::string(VESK_FIXTURES) + "/../../tools/release/politicas/";

std::set<std::string> Capturas(const std::string& ATexto, const std::string& APadrao) {
  std::set<std::string> r;
  const std::regex re(APadrao);
  for (auto it = std::sregex_iterator(ATexto.begin(), ATexto.end(), re);
       it != std::sregex_iterator(); ++it)
    r.insert((*it)[1].str());
  return r;
}

TEST(ModeloPolitica, ValoresSaoOsQueOAgenteLe) {
  const std::string admx = LerArquivoTeste(kPasta + "VeskAgent.admx");
  ASSERT_FALSE(admx.empty()) << kPasta;
  EXPECT_EQ(Capturas(admx, "key=\"([^\"]*)\""),
            (std::set<std::string>{"SOFTWARE\\Policies\\Vesk\\Agent"}));
  const std::set<std::string> valores = Capturas(admx, "valueName=\"([^\"]*)\"");
  EXPECT_EQ(valores, (std::set<std::string>{"ServidorURL", "ApiToken", "ChatURL"}));

  // Each value as the template writes it is the one the agent takes.
  TBaseTemporaria base;
  for (const std::string& v : valores) {
    TRegistroMemoria reg;
    SubstituirConcern<IRegistro> troca(reg);
    reg.DefinirMaquina("SOFTWARE\\Policies\\Vesk\\Agent", v, "http://x/");
    const TPoliticaAgente p = TConfigINI::Politica();
    EXPECT_EQ((v == "ServidorURL" ? p.ServidorURL
               : v == "ApiToken"  ? p.ApiToken
                                  : p.ChatURL)
                  .value_or(""),
              "http://x/")
        << v;
  }
}

TEST(ModeloPolitica, IdiomasDefinemTudoOQueOModeloNomeia) {
  const std::string admx = LerArquivoTeste(kPasta + "VeskAgent.admx");
  const std::set<std::string> textos = Capturas(admx, "\\$\\(string\\.([A-Za-z0-9_]+)\\)");
  const std::set<std::string> apresentacoes =
      Capturas(admx, "\\$\\(presentation\\.([A-Za-z0-9_]+)\\)");
  ASSERT_FALSE(textos.empty());
  for (const char* idioma : {"pt-BR", "en-US"}) {
    SCOPED_TRACE(idioma);
    const std::string adml = LerArquivoTeste(kPasta + idioma + "/VeskAgent.adml");
    ASSERT_FALSE(adml.empty());
    EXPECT_EQ(Capturas(adml, "<string id=\"([^\"]*)\""), textos);
    EXPECT_EQ(Capturas(adml, "<presentation id=\"([^\"]*)\""), apresentacoes);
    // Each text box names an element of the template.
    EXPECT_EQ(Capturas(adml, "refId=\"([^\"]*)\""), Capturas(admx, "<text id=\"([^\"]*)\""));
  }
}

}  // namespace
