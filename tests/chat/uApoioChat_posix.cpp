// Fixture of the chat tests.
#include "tests/chat/uApoioChat.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "chat/uChatBrowser.h"
#include "platform/uArquivos.h"
#include "platform/uTexto.h"

void ChatTeste::SetUp() {
  // The chat's requests are real: without the development server this fails.
  ASSERT_FALSE(EnderecoDevServer().empty())
      << "VESK_DEVSERVER not set (run through tools/testenv.sh)";
  TAmbienteHttp::SetUp();
  ui::headless::Reiniciar();
  FProgramas = std::make_unique<TPastaTemporaria>();
  FSistema.Ambiente["TEMP"] = "C:\\Temp";
  FSistema.Ambiente["ProgramFiles"] = FProgramas->Caminho() + "pf";
  FSistema.Ambiente["ProgramFiles(x86)"] = FProgramas->Caminho() + "pf86";
  FSistema.Ambiente["LocalAppData"] = FProgramas->Caminho() + "local";
  FTrocaSistema = std::make_unique<SubstituirConcern<ISistema>>(FSistema);
  FTrocaJanelas = std::make_unique<SubstituirConcern<IJanelasExternas>>(FJanelas);
  FTrocaShell = std::make_unique<SubstituirConcern<IShell>>(FShell);
  TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", kToken);
  TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  TConfigINI::EscreverTexto("CHAT", "URL", UrlChat());
  Admin("admin/reset");
  Admin("admin/requests/clear");
  DefinirChat(0, "", "");
}

void ChatTeste::TearDown() {
  if (FTrocaShell) TVeskChatBrowser::Fechar();
  TVeskChatBrowser::DefinirOnClosed(nullptr);
  FTrocaShell.reset();
  FTrocaJanelas.reset();
  FTrocaSistema.reset();
  FProgramas.reset();
  ui::headless::Reiniciar();
  TAmbienteHttp::TearDown();
}

void ChatTeste::DefinirChat(int AUnread, const std::string& ARemetente,
                            const std::string& APreview) {
  rapidjson::Document d;
  d.Parse(Admin("admin/scenario").c_str());
  ASSERT_TRUE(d.IsObject());
  auto& a = d.GetAllocator();
  d.RemoveMember("chat");
  rapidjson::Value c(rapidjson::kObjectType);
  c.AddMember("unread", AUnread, a);
  c.AddMember("remetente_nome", rapidjson::Value(ARemetente.c_str(), a), a);
  c.AddMember("preview", rapidjson::Value(APreview.c_str(), a), a);
  d.AddMember("chat", c, a);
  d.RemoveMember("api_token");
  d.AddMember("api_token", rapidjson::Value(kToken, a), a);
  rapidjson::StringBuffer b;
  rapidjson::Writer<rapidjson::StringBuffer> w(b);
  d.Accept(w);
  Admin("admin/scenario", b.GetString());
}

void ChatTeste::RespostaChat(const std::string& AEndpoint, const std::string& ACorpo) {
  rapidjson::Document d;
  d.Parse(Admin("admin/scenario").c_str());
  ASSERT_TRUE(d.IsObject());
  auto& a = d.GetAllocator();
  if (!d.HasMember("respostas"))
    d.AddMember("respostas", rapidjson::Value(rapidjson::kObjectType), a);
  d["respostas"].RemoveMember(AEndpoint.c_str());
  d["respostas"].AddMember(rapidjson::Value(AEndpoint.c_str(), a),
                           rapidjson::Value(ACorpo.c_str(), a), a);
  rapidjson::StringBuffer b;
  rapidjson::Writer<rapidjson::StringBuffer> w(b);
  d.Accept(w);
  Admin("admin/scenario", b.GetString());
}

std::vector<std::string> ChatTeste::Consultas(const std::string& AEndpoint) {
  rapidjson::Document d;
  d.Parse(Admin("admin/requests").c_str());
  std::vector<std::string> r;
  if (!d.IsArray()) return r;
  for (const auto& p : d.GetArray()) {
    const std::string caminho = p["path"].GetString();
    if (caminho.size() >= AEndpoint.size() &&
        caminho.compare(caminho.size() - AEndpoint.size(), AEndpoint.size(), AEndpoint) == 0)
      r.push_back(p["query"].GetString());
  }
  return r;
}

std::string ChatTeste::CriarNavegador(const std::string& AVariavel, bool AChrome) {
  const std::string caminho =
      FSistema.Ambiente[AVariavel] + (AChrome ? "\\Google\\Chrome\\Application\\chrome.exe"
                                              : "\\Microsoft\\Edge\\Application\\msedge.exe");
  GravarArquivoTeste(caminho, "MZ");
  return caminho;
}

std::vector<std::string> ChatTeste::LinhasCom(const std::string& APrefixo) const {
  std::vector<std::string> r;
  for (const std::string& l : Linhas())
    if (l.rfind(APrefixo, 0) == 0) r.push_back(l);
  return r;
}
