// Fixture of the task tests: server set-up, request record and the panel's hook.
#include "tests/tasks/uApoioTarefas.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "net/uJsonHelper.h"

void TarefasTeste::SetUp() {
  TAmbienteHttp::SetUp();
  if (HasFatalFailure()) return;
  FTrocaSistema = std::make_unique<SubstituirConcern<ISistema>>(FSistema);
  ui::headless::Reiniciar();
  ui::app::DefinirTitulo("Zelvan");
  TAgentTasks::ReiniciarAssinatura();
  Configurar(UrlServidor(), kToken);
  // The task lines carry no keyword of the log filter.
  TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  Admin("admin/reset");
}

void TarefasTeste::TearDown() {
  ui::headless::Reiniciar();
  TAgentTasks::ReiniciarAssinatura();
  if (!EnderecoDevServer().empty()) Admin("admin/reset");
  FTrocaSistema.reset();
  TAmbienteHttp::TearDown();
}

void TarefasTeste::Configurar(const std::string& AURL, const std::string& AToken) {
  TConfigINI::EscreverTexto("SERVIDOR", "URL", AURL);
  TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", AToken);
}

void TarefasTeste::Lista(const std::string& AKind, const std::string& ARespostaAcoes) {
  rapidjson::StringBuffer sb;
  rapidjson::Writer<rapidjson::StringBuffer> w(sb);
  w.StartObject();
  w.Key("kind");
  w.String(AKind.c_str());
  if (!ARespostaAcoes.empty()) {
    w.Key("answer");
    w.String(ARespostaAcoes.c_str());
  }
  w.EndObject();
  ASSERT_EQ(Admin("admin/tasks", sb.GetString()), "{\"ok\":true}");
  Admin("admin/requests/clear");
}

void TarefasTeste::RespostaTarefas(const std::string& ACorpo, const std::string& ATipo) {
  rapidjson::StringBuffer sb;
  rapidjson::Writer<rapidjson::StringBuffer> w(sb);
  w.StartObject();
  w.Key("api_token");
  w.String(kToken);
  w.Key("respostas");
  w.StartObject();
  w.Key("api/agent_tasks.php");
  w.StartObject();
  w.Key("content_type");
  w.String(ATipo.c_str());
  w.Key("body");
  w.String(ACorpo.data(), static_cast<rapidjson::SizeType>(ACorpo.size()));
  w.EndObject();
  w.EndObject();
  w.EndObject();
  ASSERT_EQ(Admin("admin/scenario", sb.GetString()), "{\"ok\":true}");
  Admin("admin/requests/clear");
}

std::vector<TPedidoGravado> TarefasTeste::Pedidos(const std::string& AEndpoint) {
  const std::string texto = Admin("admin/requests");
  rapidjson::Document d;
  d.Parse(texto.c_str(), texto.size());
  std::vector<TPedidoGravado> r;
  if (!d.IsArray()) return r;
  for (const auto& reg : d.GetArray()) {
    if (LerTextoJson(&reg, "path", "") != "/demo/intranet/" + AEndpoint) continue;
    TPedidoGravado p{LerTextoJson(&reg, "method", ""),
                     LerTextoJson(&reg, "path", ""),
                     LerTextoJson(&reg, "query", ""),
                     {}};
    if (const rapidjson::Value* f = MembroJson(&reg, "form"); f && f->IsArray())
      for (const auto& par : f->GetArray())
        if (par.IsArray() && par.Size() == 2)
          p.Form.emplace_back(par[0].GetString(), par[1].GetString());
    r.push_back(std::move(p));
  }
  return r;
}

bool TarefasTeste::AoExibir(const std::function<void()>& AAbrir,
                            const std::function<void(TFrmPopupTarefas&)>& AAcao) {
  bool exibiu = false;
  bool agindo = false;
  int passadas = 0;
  ui::headless::AoProcessarMensagens = [&] {
    TFrmPopupTarefas* p = TFrmPopupTarefas::Ativo();
    if (!p || p->Fechada() || agindo) return;
    if (!exibiu) {
      exibiu = true;
      agindo = true;
      AAcao(*p);
      agindo = false;
      return;
    }
    // 20 s of the fake clock (the modal loop sleeps 10 ms a pass).
    if (++passadas > 2000) {
      ADD_FAILURE() << "the panel stayed open";
      p->Fechar();
    }
  };
  AAbrir();
  ui::headless::AoProcessarMensagens = nullptr;
  EXPECT_EQ(TFrmPopupTarefas::Ativo(), nullptr) << "the panel outlived its showing";
  return exibiu;
}

bool TarefasTeste::Exibir(const std::string& AJson,
                          const std::function<void(TFrmPopupTarefas&)>& AAcao) {
  return AoExibir([&] { TFrmPopupTarefas::Exibir(AJson); }, AAcao);
}

std::string ListaJson(const std::vector<std::string>& ATarefas, const std::string& AEmpresa,
                      const std::string& AColaborador) {
  std::string t;
  for (const auto& s : ATarefas) t += (t.empty() ? "" : ",") + s;
  return "{\"ok\":true,\"vinculado\":true,\"empresa\":" + AEmpresa +
         ",\"colaborador\":" + AColaborador + ",\"tarefas\":[" + t + "]}";
}
