// Fixture of the notice service tests: server set-up, request record and the
// scripted employee.
#include "tests/notices/uApoioAvisos.h"

#include <rapidjson/document.h>

#include "net/uJsonHelper.h"
#include "notices/uAgentMessages.h"
#include "notices/uPopupMensagem.h"
#include "platform/ui/uKitHeadless.h"

namespace {

std::string Valor(const TParesForm& APares, const std::string& ANome) {
  for (const auto& [n, v] : APares)
    if (n == ANome) return v;
  return {};
}

}  // namespace

std::string TPedidoAviso::Param(const std::string& ANome) const {
  TParesForm pares;
  size_t ini = 0;
  while (ini <= Consulta.size()) {
    size_t fim = Consulta.find('&', ini);
    if (fim == std::string::npos) fim = Consulta.size();
    const std::string par = Consulta.substr(ini, fim - ini);
    const size_t igual = par.find('=');
    if (igual != std::string::npos) pares.emplace_back(par.substr(0, igual), par.substr(igual + 1));
    ini = fim + 1;
  }
  return Valor(pares, ANome);
}

std::string TPedidoAviso::Campo(const std::string& ANome) const {
  return Valor(Form, ANome);
}

void AvisosTeste::SetUp() {
  // Without the server these tests would prove nothing: they fail.
  ASSERT_FALSE(EnderecoDevServer().empty())
      << "VESK_DEVSERVER not set (run through tools/testenv.sh)";
  TAmbienteHttp::SetUp();
  FTrocaSistema = std::make_unique<SubstituirConcern<ISistema>>(FSistema);
  FTrocaMci = std::make_unique<SubstituirConcern<IMci>>(FMci);
  FTrocaDesktop = std::make_unique<SubstituirConcern<IDesktop>>(FDesktop);
  FMci.Responder = [](const std::string& c, std::string& r) -> uint32_t {
    if (c.find(" mode") != std::string::npos) r = "stopped";
    return 0;
  };
  ui::headless::Reiniciar();
  // The server's "today" is the real one: the fake clock starts on it.
  RelogioTeste().DefinirAgora(ImplementacaoPadrao(SeamTag<IRelogio>{}).Agora());
  Configurar(UrlServidor(), kToken);
  TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
  Admin("admin/reset");
}

void AvisosTeste::TearDown() {
  ui::headless::Reiniciar();
  if (!EnderecoDevServer().empty()) Admin("admin/reset");
  FTrocaDesktop.reset();
  FTrocaMci.reset();
  FTrocaSistema.reset();
  TAmbienteHttp::TearDown();
}

void AvisosTeste::Configurar(const std::string& AURL, const std::string& AToken) {
  TConfigINI::EscreverTexto("SERVIDOR", "URL", AURL);
  TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", AToken);
}

void AvisosTeste::Cenario(const std::string& AKind, const std::string& ALink,
                          const std::string& AAck) {
  std::string corpo = "{";
  auto membro = [&](const char* ANome, const std::string& AValor) {
    if (AValor.empty()) return;
    if (corpo.size() > 1) corpo += ",";
    corpo += std::string("\"") + ANome + "\":\"" + AValor + "\"";
  };
  membro("kind", AKind);
  membro("link", ALink);
  membro("ack", AAck);
  corpo += "}";
  ASSERT_EQ(Admin("admin/notices", corpo), "{\"ok\":true}");
  Admin("admin/requests/clear");
}

void AvisosTeste::CenarioJson(const std::string& AMembros) {
  const std::string corpo = std::string("{\"api_token\":\"") + kToken + "\"" +
                            (AMembros.empty() ? "" : "," + AMembros) + "}";
  ASSERT_EQ(Admin("admin/scenario", corpo), "{\"ok\":true}");
  Admin("admin/requests/clear");
}

std::vector<TPedidoAviso> AvisosTeste::Pedidos(const std::string& AEndpoint) {
  const std::string texto = Admin("admin/requests");
  rapidjson::Document d;
  d.Parse(texto.c_str(), texto.size());
  std::vector<TPedidoAviso> r;
  if (!d.IsArray()) return r;
  for (const auto& reg : d.GetArray()) {
    const std::string caminho = LerTextoJson(&reg, "path", "");
    if (!AEndpoint.empty() && caminho != "/demo/intranet/" + AEndpoint) continue;
    TPedidoAviso p{LerTextoJson(&reg, "method", ""), caminho, LerTextoJson(&reg, "query", ""), {}};
    if (const rapidjson::Value* f = MembroJson(&reg, "form"); f && f->IsArray())
      for (const auto& par : f->GetArray())
        if (par.IsArray() && par.Size() == 2)
          p.Form.emplace_back(par[0].GetString(), par[1].GetString());
    r.push_back(std::move(p));
  }
  return r;
}

void AvisosTeste::Passo() {
  TFrmPopupMensagem* atual = nullptr;
  uint32_t inicio = 0;
  ui::headless::AoProcessarMensagens = [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    if (!p || !p->EmEspera()) return;
    if (p != atual) {
      atual = p;
      inicio = RelogioTeste().TickCount();
      TPopupVisto v;
      v.Empresa = p->lblEmpresa->Texto();
      v.Titulo = p->lblTitulo->Texto();
      v.Mensagem = p->memMensagem->Texto();
      v.Link = p->LinkURL();
      v.TemLogo = p->imgLogo->TemImagem();
      v.TemImagem = p->imgMensagem->TemImagem();
      Popups.push_back(v);
    }
    if (RelogioTeste().TickCount() - inicio > 120000) {
      ADD_FAILURE() << "the popup never closed";
      ui::app::Terminar();
      return;
    }
    const size_t i = Popups.size() - 1;
    const bool confirmar = i >= Respostas.size() || Respostas[i];
    if (!confirmar) {
      ui::app::Terminar();
      return;
    }
    if (!p->Liberado()) return;
    if (!p->chkConfirmacao->Marcado()) p->chkConfirmacao->Clicar();
    p->btnOK->Clicar();
  };
  TAgentMessages::VerificarMensagens();
  ui::headless::AoProcessarMensagens = nullptr;
}

void AvisosTeste::Hoje(int AHora, int AMinuto, int ASegundo) {
  TPartesDataHora p = DecodificarDataHora(RelogioTeste().Agora());
  p.Hora = AHora;
  p.Minuto = AMinuto;
  p.Segundo = ASegundo;
  p.Milissegundo = 0;
  RelogioTeste().DefinirAgora(CodificarDataHora(p));
}
