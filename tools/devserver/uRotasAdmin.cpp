// Admin endpoints and page: request record, scenario, faults and reset.
#include "tools/devserver/uServidor.h"

namespace {

const char* kJson = "application/json; charset=utf-8";

std::string Ok() {
  return "{\"ok\":true}";
}
std::string Erro(const std::string& A) {
  return "{\"ok\":false,\"erro\":" + EscaparJson(A) + "}";
}

const char* kTipos[] = {"html500",       "delay",        "drop",      "redirect", "gzip",
                        "deflate",       "empty",        "big",       "none",     "html200",
                        "bom",           "deep",         "gzip_bomb", "oversize", "redirect_loop",
                        "redirect_file", "slow_headers", "trickle",   "cut",      "reset"};

bool LerFalha(const std::string& ACorpo, TFalha& F, std::string& AErro) {
  rapidjson::Document D;
  D.Parse(ACorpo.c_str(), ACorpo.size());
  if (D.HasParseError() || !D.IsObject()) {
    AErro = "body must be a JSON object";
    return false;
  }
  if (D.HasMember("endpoint") && D["endpoint"].IsString()) F.Endpoint = D["endpoint"].GetString();
  if (F.Endpoint.empty()) F.Endpoint = "*";
  if (!F.Endpoint.empty() && F.Endpoint != "*" && F.Endpoint[0] == '/') F.Endpoint.erase(0, 1);
  if (D.HasMember("kind") && D["kind"].IsString()) F.Tipo = D["kind"].GetString();
  bool Conhecido = false;
  for (const char* T : kTipos) Conhecido = Conhecido || F.Tipo == T;
  if (!Conhecido) {
    AErro = "unknown kind: " + F.Tipo;
    return false;
  }
  if (D.HasMember("delay_ms") && D["delay_ms"].IsInt())
    F.AtrasoMs = D["delay_ms"].GetInt();
  else if (F.Tipo == "slow_headers" || F.Tipo == "trickle")
    F.AtrasoMs = F.Tipo == "trickle" ? 20 : 400;  // the pause between pieces
  if (D.HasMember("count") && D["count"].IsInt()) F.Quantidade = D["count"].GetInt();
  if (D.HasMember("times") && D["times"].IsInt()) F.Vezes = D["times"].GetInt();
  if (D.HasMember("method") && D["method"].IsString()) F.Metodo = D["method"].GetString();
  if (F.Vezes == 0) F.Tipo = "none";  // no use left: same as switching it off
  return true;
}

std::string FalhasJson(TServidor& S) {
  std::string R = "[";
  for (const auto& F : S.Falhas()) {
    if (R.size() > 1) R += ",";
    R += "{\"endpoint\":" + EscaparJson(F.Endpoint) + ",\"kind\":" + EscaparJson(F.Tipo) +
         ",\"delay_ms\":" + std::to_string(F.AtrasoMs) +
         ",\"count\":" + std::to_string(F.Quantidade) + ",\"method\":" + EscaparJson(F.Metodo) +
         (F.Vezes >= 0 ? ",\"times\":" + std::to_string(F.Vezes) : std::string()) + "}";
  }
  return R + "]";
}

std::string Pagina(TServidor& S) {
  std::string Falhas;
  for (const auto& F : S.Falhas())
    Falhas += "<tr><td>" + EscaparHtml(F.Endpoint) + "</td><td>" + EscaparHtml(F.Tipo) +
              "</td><td>" + std::to_string(F.AtrasoMs) + "</td><td>" +
              std::to_string(F.Quantidade) + "</td><td>" +
              (F.Vezes < 0 ? std::string("until changed") : std::to_string(F.Vezes)) + "</td></tr>";
  if (Falhas.empty()) Falhas = "<tr><td colspan=5>none</td></tr>";
  std::string Pedidos;
  auto Ultimos = S.UltimosPedidos(60);
  for (auto It = Ultimos.rbegin(); It != Ultimos.rend(); ++It) {
    std::string Form;
    for (const auto& [N, V] : It->Form) Form += (Form.empty() ? "" : "&") + N + "=" + V;
    Pedidos += "<tr><td>" + EscaparHtml(It->Hora) + "</td><td>" + EscaparHtml(It->Metodo) +
               "</td><td>" + EscaparHtml(It->Caminho) + "</td><td>" + EscaparHtml(It->Query) +
               "</td><td>" + EscaparHtml(Form) + "</td></tr>";
  }
  std::string Opcoes;
  for (const char* T : kTipos) Opcoes += std::string("<option>") + T + "</option>";
  return R"HTML(<!DOCTYPE html><html><head><meta charset="utf-8"><title>devserver admin</title>
<style>body{font-family:sans-serif;margin:16px}textarea{width:100%;height:22em;font-family:monospace}
table{border-collapse:collapse;font-size:13px}td,th{border:1px solid #ccc;padding:2px 6px;text-align:left}
td{max-width:40em;overflow-wrap:anywhere}</style></head><body>
<h1>Development intranet server</h1>
<p>Agent base <code>)HTML" +
         EscaparHtml(S.Base) + "</code>, chat base <code>" + EscaparHtml(S.ChatBase) +
         R"HTML(</code>.
<button onclick="post('/admin/reset','')">Reset</button>
<button onclick="post('/admin/requests/clear','')">Clear requests</button></p>
<h2>Scenario</h2><textarea id="cen">)HTML" +
         EscaparHtml(S.CenarioTexto()) + R"HTML(</textarea>
<p><button onclick="post('/admin/scenario',document.getElementById('cen').value)">Save scenario</button>
<span id="msg"></span></p>
<h2>Faults</h2><table><tr><th>endpoint</th><th>kind</th><th>delay_ms</th><th>count</th><th>times</th></tr>)HTML" +
         Falhas + R"HTML(</table>
<p>endpoint <input id="fe" value="*"> kind <select id="fk">)HTML" +
         Opcoes + R"HTML(</select> delay_ms <input id="fd" value="35000" size=6>
count <input id="fc" value="3" size=3> times <input id="ft" size=3>
<button onclick="falha()">Set fault</button></p>
<h2>Last requests</h2><table><tr><th>time</th><th>method</th><th>path</th><th>query</th><th>form</th></tr>)HTML" +
         Pedidos + R"HTML(</table>
<script>
function post(u,b){fetch(u,{method:'POST',body:b}).then(r=>r.text()).then(t=>{
 document.getElementById('msg').textContent=t;if(t.indexOf('"ok":true')>=0)location.reload();});}
function falha(){var f={endpoint:fe.value,kind:fk.value,delay_ms:+fd.value,count:+fc.value};
 if(ft.value!=='')f.times=+ft.value;post('/admin/fault',JSON.stringify(f));}
</script></body></html>)HTML";
}

}  // namespace

void RegistrarRotasAdmin(httplib::Server& S, TServidor& AServ) {
  S.Get("/admin", [&AServ](const httplib::Request&, httplib::Response& R) {
    R.set_content(Pagina(AServ), "text/html; charset=utf-8");
  });
  S.Get("/admin/requests", [&AServ](const httplib::Request&, httplib::Response& R) {
    R.set_content(AServ.RegistrosJson(), kJson);
  });
  S.Post("/admin/requests/clear", [&AServ](const httplib::Request&, httplib::Response& R) {
    AServ.LimparRegistros();
    R.set_content(Ok(), kJson);
  });
  S.Get("/admin/scenario", [&AServ](const httplib::Request&, httplib::Response& R) {
    R.set_content(AServ.CenarioTexto(), kJson);
  });
  S.Post("/admin/scenario", [&AServ](const httplib::Request& Q, httplib::Response& R) {
    std::string E;
    if (AServ.SubstituirCenario(Q.body, E)) {
      R.set_content(Ok(), kJson);
    } else {
      R.status = 400;
      R.set_content(Erro(E), kJson);
    }
  });
  S.Get("/admin/faults", [&AServ](const httplib::Request&, httplib::Response& R) {
    R.set_content(FalhasJson(AServ), kJson);
  });
  S.Post("/admin/fault", [&AServ](const httplib::Request& Q, httplib::Response& R) {
    TFalha F;
    std::string E;
    if (!LerFalha(Q.body, F, E)) {
      R.status = 400;
      R.set_content(Erro(E), kJson);
      return;
    }
    AServ.DefinirFalha(F);
    R.set_content(Ok(), kJson);
  });
  S.Post("/admin/tasks", [&AServ](const httplib::Request& Q, httplib::Response& R) {
    std::string E;
    if (AplicarCenarioTarefas(AServ, Q.body, E)) {
      R.set_content(Ok(), kJson);
    } else {
      R.status = 400;
      R.set_content(Erro(E), kJson);
    }
  });
  S.Post("/admin/notices", [&AServ](const httplib::Request& Q, httplib::Response& R) {
    std::string E;
    if (AplicarCenarioAvisos(AServ, Q.body, E)) {
      R.set_content(Ok(), kJson);
    } else {
      R.status = 400;
      R.set_content(Erro(E), kJson);
    }
  });
  S.Post("/admin/commands", [&AServ](const httplib::Request& Q, httplib::Response& R) {
    std::string E;
    if (AplicarCenarioComandos(AServ, Q.body, E)) {
      R.set_content(Ok(), kJson);
    } else {
      R.status = 400;
      R.set_content(Erro(E), kJson);
    }
  });
  S.Post("/admin/reset", [&AServ](const httplib::Request&, httplib::Response& R) {
    std::string E;
    bool Ok_ = AServ.CarregarCenario(E);
    AServ.LimparFalhas();
    AServ.LimparRegistros();
    R.status = Ok_ ? 200 : 500;
    R.set_content(Ok_ ? Ok() : Erro(E), kJson);
  });
}
