// devserver --selftest: starts the server in-process on a free port, talks to it as
// the agent would and exits 0 when every answer is the expected one.
#include <chrono>
#include <iostream>
#include <thread>

#include "tools/devserver/uServidor.h"
#include "tools/devserver/uTls.h"

namespace {

const char* kCenario = R"JSON({
  "api_token": "tok-auto-1234567890",
  "senha_agente_hash": "ab12",
  "empresa": "Empresa Auto",
  "mensagens": [
    {"id": 1, "source_table": "avisos", "titulo": "Hoje", "created_at": "today 10:00:00",
     "imagem_url": "{base}media/imagem.png"},
    {"id": 2, "titulo": "Ontem", "created_at": "yesterday"},
    {"id": "abc", "titulo": "Id de texto"}
  ],
  "tarefas": [{"id": 7, "titulo": "T", "status": "pendente", "data_vencimento": "today"}],
  "comandos": [{"id": 3, "comando": "limpar_cache"}, {"id": 4, "comando": "reiniciar", "token": "OUTRO_x"}],
  "chat": {"unread": 2, "remetente_nome": "Ana", "preview": "Oi"},
  "respostas": {"api/agent_hardware.php": {"status": 500, "content_type": "text/html", "body": "<b>x</b>"}}
})JSON";

int gFalhas = 0;

void Verificar(bool AOk, const std::string& ACaso, const std::string& ADetalhe = "") {
  if (AOk) return;
  ++gFalhas;
  std::cerr << "FAIL: " << ACaso << (ADetalhe.empty() ? "" : " -- got: " + ADetalhe.substr(0, 300))
            << "\n";
}

bool Contem(const std::string& A, const std::string& B) {
  return A.find(B) != std::string::npos;
}

std::string Corpo(const httplib::Result& R) {
  return R ? R->body : std::string("<transport error>");
}

}  // namespace

int ExecutarAutoTeste(const std::string& ACenario) {
  std::string Erro;
  if (!ACenario.empty()) {  // a given scenario is only checked for loading
    TServidor Outro;
    Outro.ArquivoCenario = ACenario;
    if (!Outro.CarregarCenario(Erro)) {
      std::cerr << "selftest: " << Erro << "\n";
      return 1;
    }
  }
  TServidor Serv;
  if (!Serv.SubstituirCenario(kCenario, Erro)) {
    std::cerr << "selftest: " << Erro << "\n";
    return 1;
  }
  httplib::Server S;
  MontarServidor(S, Serv);
  Serv.Porta = S.bind_to_any_port("127.0.0.1");
  if (Serv.Porta <= 0) return 1;
  std::thread T([&] { S.listen_after_bind(); });

  httplib::Client C("127.0.0.1", Serv.Porta);
  C.set_read_timeout(10, 0);
  const std::string B = Serv.Base, Tk = "api_token=tok-auto-1234567890";

  // Token check and the plain answers.
  Verificar(
      Contem(Corpo(C.Get(B + "api/agent_config.php?" + Tk)), "\"senha_agente_hash\":\"ab12\""),
      "config");
  Verificar(Corpo(C.Get(B + "api/agent_config.php?api_token=x")) ==
                "{\"ok\":false,\"erro\":\"token invalido\"}",
            "wrong token");
  Verificar(Contem(Corpo(C.Get(B + "api/agent_heartbeat.php?" + Tk)), "\"ok\":true"), "heartbeat");
  auto Hw = C.Post(B + "api/agent_hardware.php", Tk, "application/x-www-form-urlencoded");
  Verificar(Hw && Hw->status == 500 && Hw->body == "<b>x</b>", "literal answer", Corpo(Hw));

  // Notices: today's date filled in, placeholders resolved, since_id honoured,
  // and an acknowledgement marks the notice read for that computer only.
  std::string M =
      Corpo(C.Get(B + "api/agent_messages.php?" + Tk + "&computador=PC1&since_id=0&bootstrap=1"));
  Verificar(Contem(M, "\"created_at\":\"" + DataHoje() + " 10:00:00\""), "created_at today", M);
  Verificar(Contem(M, "\"created_at\":\"" + DataHoje(-1) + " 08:00:00\""), "created_at yesterday",
            M);
  Verificar(Contem(M, "\"imagem_url\":\"http://127.0.0.1:" + std::to_string(Serv.Porta) + B +
                          "media/imagem.png\""),
            "media address", M);
  M = Corpo(C.Get(B + "api/agent_messages.php?" + Tk + "&computador=PC1&since_id=1&limite=20"));
  Verificar(!Contem(M, "\"id\":1,") && Contem(M, "\"id\":2,") && Contem(M, "\"id\":\"abc\""),
            "since_id", M);
  auto Ack = C.Post(
      B + "api/agent_message_ack.php",
      Tk + "&mensagem_id=1&aviso_id=1&computador=PC1&usuario=u&source_table=avisos&versao=1.0.115",
      "application/x-www-form-urlencoded");
  Verificar(Corpo(Ack) == "{\"ok\":true}", "ack", Corpo(Ack));
  M = Corpo(C.Get(B + "api/agent_messages.php?" + Tk + "&computador=pc1&since_id=0"));
  Verificar(Contem(M, "\"lida\":true"), "read after ack", M);
  M = Corpo(C.Get(B + "api/agent_messages.php?" + Tk + "&computador=PC2&since_id=0"));
  Verificar(!Contem(M, "\"lida\":true"), "other computer unread", M);

  // Commands: listed for their agent, retired by the report.
  std::string Cmd = Corpo(C.Get(B + "api/agent_commands.php?token=PC1_u"));
  Verificar(Contem(Cmd, "limpar_cache") && !Contem(Cmd, "reiniciar"), "commands for token", Cmd);
  C.Post(B + "api/agent_commands.php", "acao=retorno&token=PC1_u&id=3&retorno=Cache+limpo",
         "application/x-www-form-urlencoded");
  Verificar(!Contem(Corpo(C.Get(B + "api/agent_commands.php?token=PC1_u")), "limpar_cache"),
            "command retired");

  // Ready-made queues, and a report that fails while the list is served.
  auto Fila = [&](const std::string& AJson) {
    return Corpo(C.Post("/admin/commands", AJson, "application/json"));
  };
  Verificar(Fila(R"({"kind":"capitals","token":"PC1_u","report":"drop"})") == "{\"ok\":true}",
            "command queue set");
  Cmd = Corpo(C.Get(B + "api/agent_commands.php?token=PC1_u"));
  Verificar(Contem(Cmd, "\"id\":202") && Contem(Cmd, "LIMPAR_CACHE"), "capitals queued", Cmd);
  auto Rel = C.Post(B + "api/agent_commands.php", "acao=retorno&token=PC1_u&id=202&retorno=x",
                    "application/x-www-form-urlencoded");
  Verificar(!Rel, "report dropped");
  Verificar(Fila(R"({"kind":"no_id"})") == "{\"ok\":true}", "queue without id");
  Cmd = Corpo(C.Get(B + "api/agent_commands.php?token=X_y"));
  Verificar(Contem(Cmd, "[{\"comando\":\"limpar_cache\"}]"), "command without id", Cmd);
  Verificar(Corpo(C.Post(B + "api/agent_commands.php", "acao=retorno&token=X_y&id=0&retorno=ok",
                         "application/x-www-form-urlencoded")) == "{\"ok\":true}",
            "report served again");
  Verificar(Fila(R"({"kind":"nada"})") != "{\"ok\":true}", "unknown queue refused");

  // Tasks: actions change the status, a concluded task leaves the list.
  Verificar(Contem(Corpo(C.Get(B + "api/agent_tasks.php?" + Tk)),
                   "\"data_vencimento\":\"" + DataHoje() + "\""),
            "task due today");
  C.Post(B + "api/iniciar-tarefa.php", Tk + "&tarefa_id=7", "application/x-www-form-urlencoded");
  Verificar(Contem(Corpo(C.Get(B + "api/agent_tasks.php?" + Tk)), "em_andamento"), "task started");
  auto Just = C.Post(B + "api/justificar-tarefa.php", Tk + "&tarefa_id=7&justificativa=+",
                     "application/x-www-form-urlencoded");
  Verificar(Contem(Corpo(Just), "\"ok\":false"), "blank justification refused", Corpo(Just));
  C.Post(B + "api/concluir-tarefa.php", Tk + "&tarefa_id=7", "application/x-www-form-urlencoded");
  Verificar(Contem(Corpo(C.Get(B + "api/agent_tasks.php?" + Tk)), "\"tarefas\":[]"),
            "task concluded");
  // Ready-made lists and the configured action answer.
  auto Lista = [&](const std::string& AJson) {
    return Corpo(C.Post("/admin/tasks", AJson, "application/json"));
  };
  Verificar(Lista(R"({"kind":"ten","answer":"Recebido."})") == "{\"ok\":true}", "task list set");
  std::string Dez = Corpo(C.Get(B + "api/agent_tasks.php?" + Tk));
  Verificar(Contem(Dez, "\"total\":10") && Contem(Dez, "\"id\":63"), "ten tasks", Dez);
  Verificar(Corpo(C.Post(B + "api/iniciar-tarefa.php", Tk + "&tarefa_id=63",
                         "application/x-www-form-urlencoded")) == "Recebido.",
            "configured action answer");
  Lista(R"({"kind":"unlinked"})");
  Verificar(Contem(Corpo(C.Get(B + "api/agent_tasks.php?" + Tk)), "\"vinculado\":false"),
            "unlinked");
  Lista(R"({"kind":"html"})");
  auto Html = C.Get(B + "api/agent_tasks.php?" + Tk);
  Verificar(Html && Html->status == 500 && Contem(Html->body, "<html>"), "task html page");
  Lista(R"({"kind":"many","count":300})");
  Verificar(Contem(Corpo(C.Get(B + "api/agent_tasks.php?" + Tk)), "\"total\":300"), "many tasks");
  Verificar(Contem(Lista(R"({"kind":"x"})"), "unknown kind"), "unknown task list");

  // Chat.
  const std::string Ch = Serv.ChatBase;
  Verificar(
      Contem(Corpo(C.Get(Ch + "api/agent_chat_unread.php?" + Tk + "&token=x")), "\"unread\":2"),
      "unread");
  Verificar(Contem(Corpo(C.Get(Ch + "api/agent_chat_mark_read_all.php?" + Tk)), "\"ok\":true"),
            "mark read");
  Verificar(Contem(Corpo(C.Get(Ch + "api/agent_chat_unread.php?" + Tk)), "\"unread\":0"),
            "unread zeroed");

  // Update file.
  Verificar(Corpo(C.Get(B + "downloads/Zelvan.exe")).substr(0, 2) == "MZ", "update executable");

  // Faults, each for one request only.
  auto Falha = [&](const std::string& AJson) { C.Post("/admin/fault", AJson, "application/json"); };
  const std::string Cfg = B + "api/agent_config.php?" + Tk;
  Falha(R"({"endpoint":"api/agent_config.php","kind":"html500","times":1})");
  auto R500 = C.Get(Cfg);
  Verificar(R500 && R500->status == 500 && Contem(R500->body, "<html>"), "html500");
  Verificar(Contem(Corpo(C.Get(Cfg)), "ab12"), "fault used up");
  Falha(R"({"endpoint":"*","kind":"gzip","times":1})");
  auto Gz = C.Get(Cfg);
  Verificar(Gz && Gz->get_header_value("Content-Encoding") == "gzip" && Contem(Gz->body, "ab12"),
            "gzip");
  Falha(R"({"endpoint":"api/agent_config.php","kind":"redirect","count":2,"times":1})");
  httplib::Client Segue("127.0.0.1", Serv.Porta);
  Segue.set_follow_location(true);
  Verificar(Contem(Corpo(Segue.Get(Cfg)), "ab12"), "redirect chain");
  Falha(R"({"endpoint":"api/agent_config.php","kind":"drop","times":1})");
  httplib::Client Nova("127.0.0.1", Serv.Porta);
  Verificar(!Nova.Get(Cfg), "drop gives a transport error");
  Falha(R"({"endpoint":"api/agent_config.php","kind":"big","times":1})");
  auto Big = C.Get(Cfg);
  Verificar(Big && Big->body.size() == 10u * 1024 * 1024, "big");
  // The faults of a bad server day, each through a fresh client.
  auto UmaVez = [&](const std::string& AKind, bool ASeguir = false) {
    Falha(R"({"endpoint":"api/agent_config.php","kind":")" + AKind +
          R"(","delay_ms":30,"times":1})");
    httplib::Client U("127.0.0.1", Serv.Porta);
    U.set_follow_location(ASeguir);
    U.set_decompress(false);
    U.set_read_timeout(10, 0);
    return U.Get(Cfg);
  };
  auto H200 = UmaVez("html200");
  Verificar(H200 && H200->status == 200 && Contem(H200->body, "<html>"), "html200");
  auto Bom = UmaVez("bom");
  Verificar(Bom && Bom->body.rfind("\xEF\xBB\xBF{", 0) == 0, "bom");
  auto Fundo = UmaVez("deep");
  Verificar(Fundo && Fundo->body == std::string(size_t{1} << 20, '['), "deep");
  auto Bomba = UmaVez("gzip_bomb");
  Verificar(Bomba && Bomba->get_header_value("Content-Encoding") == "gzip" &&
                Bomba->body.size() < 1024 * 1024,
            "gzip bomb");
  auto Acima = UmaVez("oversize");
  Verificar(Acima && Acima->body.size() == 32u * 1024 * 1024 + 1, "oversize");
  auto Laco = UmaVez("redirect_loop", true);
  Verificar(!Laco, "redirect loop never ends");
  auto Arq = UmaVez("redirect_file");
  Verificar(Arq && Arq->status == 302 && Arq->get_header_value("Location").rfind("file:", 0) == 0,
            "redirect to file:");
  auto Lentos = UmaVez("slow_headers");
  Verificar(Lentos && Contem(Lentos->body, "ab12"), "slow headers arrive whole");
  auto Gotas = UmaVez("trickle");
  Verificar(Gotas && Contem(Gotas->body, "ab12"), "a byte at a time arrives whole");
  Verificar(!UmaVez("cut"), "cut in the middle");
  Verificar(!UmaVez("reset"), "reset");
  Verificar(Contem(Corpo(C.Get(Cfg)), "ab12"), "faults used up");
  Falha(R"({"endpoint":"api/agent_config.php","kind":"delay","delay_ms":1500,"times":1})");
  auto Inicio = std::chrono::steady_clock::now();
  std::thread Lento([&] {
    httplib::Client L("127.0.0.1", Serv.Porta);
    L.Get(Cfg);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  httplib::Client Adm("127.0.0.1", Serv.Porta);
  Verificar(Adm.Get("/admin/faults") &&
                std::chrono::steady_clock::now() - Inicio < std::chrono::milliseconds(1200),
            "admin answers during a delay");
  Lento.join();
  Verificar(std::chrono::steady_clock::now() - Inicio >= std::chrono::milliseconds(1500), "delay");

  // The record keeps the form pairs in order and the decoded query.
  std::string Reg = Corpo(C.Get("/admin/requests"));
  Verificar(Contem(Reg,
                   "\"form\":[[\"acao\",\"retorno\"],[\"token\",\"PC1_u\"],[\"id\",\"3\"],["
                   "\"retorno\",\"Cache limpo\"]]"),
            "recorded form");
  Verificar(Contem(Reg, "\"params\":{\"token\":\"PC1_u\"}"), "recorded params");

  // The HTTPS listener serves the same routes; its certificate is nobody's to trust.
  std::unique_ptr<httplib::SSLServer> Tls = CriarServidorTls(Erro);
  Verificar(Tls != nullptr, "TLS server", Erro);
  if (Tls) {
    MontarServidor(*Tls, Serv);
    const int PortaTls = Tls->bind_to_any_port("127.0.0.1");
    Verificar(PortaTls > 0, "TLS listens");
    std::thread FioTls([&] { Tls->listen_after_bind(); });
    {
      httplib::SSLClient SemVerificar("127.0.0.1", PortaTls);
      SemVerificar.enable_server_certificate_verification(false);
      SemVerificar.set_read_timeout(10, 0);
      Verificar(Contem(Corpo(SemVerificar.Get(Cfg)), "ab12"), "TLS answer without checks");
      httplib::SSLClient Verifica("127.0.0.1", PortaTls);
      Verifica.enable_server_certificate_verification(true);
      auto R = Verifica.Get(Cfg);
      Verificar(!R && R.error() == httplib::Error::SSLServerVerification,
                "TLS certificate is refused", R ? R->body : httplib::to_string(R.error()));
      SemVerificar.stop();
    }
    Tls->stop();
    FioTls.join();
  }

  C.stop();  // close the kept-alive connection so that the server stops at once
  Segue.stop();
  Adm.stop();
  Nova.stop();
  Serv.Parar();
  S.stop();
  T.join();
  std::cerr << (gFalhas ? "selftest: " + std::to_string(gFalhas) + " failure(s)\n"
                        : "selftest: ok\n");
  return gFalhas ? 1 : 0;
}
