// Shared by the end-to-end tests: the agent beside the tests, the development
// server of the test environment and what it recorded, the agent's password
// box, and the end of every agent and watchdog that a test's program started
// (copies included), so that none is left holding the session's agent mutex
// for the next test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uHttpClientVesk.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "tools/wine/uCaptura.h"
#include "tools/wine/uDriver.h"

// The agent under test, built beside the tests.
inline std::string Zelvan() {
  return PastaDoExecutavel() + "Zelvan.exe";
}

// The development server of the test environment; empty outside it.
inline std::string Servidor() {
  const char* v = std::getenv("VESK_DEVSERVER");
  return v ? v : "";
}

// One of the server's admin routes: a GET, or a POST of the JSON body (a
// published program can be large, hence the long receive time).
inline std::string Admin(const std::string& ACaminho, const std::string& ACorpo = "") {
  TVeskHttpClient c(5000, 30000, false);
  if (ACorpo.empty()) return c.Get(Servidor() + ACaminho).Corpo;
  return c.Post(Servidor() + ACaminho, ACorpo, "application/json").Corpo;
}

using TPares = std::vector<std::pair<std::string, std::string>>;

struct TPedido {
  std::string Metodo, Caminho, Consulta, Hora;
  TPares Form;
};

// The requests the server recorded, oldest first.
inline std::vector<TPedido> Pedidos() {
  const std::string texto = Admin("admin/requests");
  rapidjson::Document d;
  d.Parse(texto.c_str(), texto.size());
  std::vector<TPedido> r;
  if (!d.IsArray()) return r;
  for (const auto& reg : d.GetArray()) {
    TPedido p{LerTextoJson(&reg, "method", ""),
              LerTextoJson(&reg, "path", ""),
              LerTextoJson(&reg, "query", ""),
              LerTextoJson(&reg, "time", ""),
              {}};
    if (const rapidjson::Value* v = MembroJson(&reg, "form"); v && v->IsArray())
      for (const auto& par : v->GetArray())
        p.Form.emplace_back(par[0].GetString(), par[1].GetString());
    r.push_back(std::move(p));
  }
  return r;
}

// The forms of the POSTs the server recorded for the agent's endpoint.
inline std::vector<TPares> Formularios(const std::string& AEndpoint) {
  std::vector<TPares> r;
  for (TPedido& p : Pedidos())
    if (p.Caminho == "/demo/intranet/" + AEndpoint && p.Metodo == "POST")
      r.push_back(std::move(p.Form));
  return r;
}

// A field of a form, or APadrao when the form has none of that name.
inline std::string Campo(const TPares& AForm, const std::string& ANome,
                         const std::string& APadrao = "") {
  for (const auto& [n, v] : AForm)
    if (n == ANome) return v;
  return APadrao;
}

inline std::string Campo(const TPedido& APedido, const std::string& ANome) {
  return Campo(APedido.Form, ANome);
}

// Without the program or the server a test would prove nothing: it fails.
inline ::testing::AssertionResult ProgramaEServidor() {
  if (!Arquivos().ArquivoExiste(Zelvan()))
    return ::testing::AssertionFailure() << "Zelvan.exe is not built beside the tests";
  if (Servidor().empty())
    return ::testing::AssertionFailure() << "no development server (run through tools/testenv.sh)";
  return ::testing::AssertionSuccess();
}

// A fresh configuration pointing at the server, reset to its default scenario.
inline void ConfigurarServidor(const std::string& AToken) {
  Arquivos().Apagar(TConfigINI::ArquivoConfig());
  Admin("admin/reset", "{}");
  TConfigINI::EscreverTexto("SERVIDOR", "URL", Servidor() + "demo/intranet/");
  TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", AToken);
}

// A whole file; empty when it cannot be read.
inline std::string LerArquivo(const std::string& ACaminho) {
  std::string b;
  Arquivos().LerTudo(ACaminho, b);
  return b;
}

// Today's log messages (their time stamps cut off) past its first AInicio bytes.
inline std::vector<std::string> MensagensDoLogDesde(size_t AInicio) {
  const std::string tudo = LerArquivo(TLogger::ArquivoLogDoDia());
  std::vector<std::string> r;
  for (const std::string& l : DividirLinhas(tudo.substr(std::min(AInicio, tudo.size()))))
    r.push_back(l.size() >= 22 ? l.substr(22) : l);
  return r;
}

// The agent's main window, once it shows.
inline TJanela AguardarJanelaPrincipal(uint32_t APid, uint32_t AEspera, bool AVisivel = true) {
  return TDriver::AguardarJanela(APid, "VeskJanela", "Zelvan", AEspera, AVisivel);
}

// The acknowledgements the server recorded, oldest first.
inline std::vector<TPedido> Acks() {
  std::vector<TPedido> r;
  for (auto& p : Pedidos())
    if (p.Caminho == "/demo/intranet/api/agent_message_ack.php") r.push_back(p);
  return r;
}

// The next notice popup of the process that shows the title; nullptr after AMs.
inline TJanela AguardarPopup(uint32_t APid, const std::string& ATitulo, uint32_t AMs) {
  TJanela achado = nullptr;
  TDriver::AguardarAte(
      [&] {
        for (TJanela j : TDriver::JanelasDoProcesso(APid))
          if (TDriver::Visivel(j) && TDriver::Texto(j) == "Mensagem" &&
              TDriver::ProcurarControle(j, "", ATitulo)) {
            achado = j;
            return true;
          }
        return false;
      },
      AMs);
  return achado;
}

// The employee waits for the release, ticks the box and presses "Li e entendi";
// with ATela, the popup goes on that screenshot first.
inline bool ConfirmarPopup(TJanela APopup, uint32_t AEspera, const std::string& ATela = "") {
  TJanela chk =
      TDriver::ProcurarControle(APopup, "Button", "Confirmo que li e compreendi esta mensagem");
  if (!chk) return false;
  if (!TDriver::AguardarAte([&] { return TDriver::Visivel(chk) && TDriver::Habilitado(chk); },
                            AEspera))
    return false;
  // The button is named "Li e entendi" at the release.
  TJanela ok = TDriver::AguardarControle(APopup, "Button", "Li e entendi", 5000);
  if (!ok || !TDriver::Marcar(chk, true)) return false;
  if (!TDriver::AguardarAte([&] { return TDriver::Habilitado(ok); }, 5000)) return false;
  if (!ATela.empty()) {
    TDriver::Processar(300);
    CapturarJanela(APopup, ATela);
  }
  TDriver::Clicar(ok);
  return true;
}

// Types the password into the agent's password box and presses OK; with ATela,
// the box goes on that screenshot first.
inline void ResponderSenha(uint32_t APid, const std::string& ASenha, uint32_t AEspera,
                           const std::string& ATela = "") {
  TJanela caixa = TDriver::AguardarJanela(APid, "VeskJanela", "Senha do Agente", AEspera, true);
  ASSERT_NE(caixa, nullptr) << "no password box";
  TJanela edit = TDriver::ProcurarControle(caixa, "Edit");
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(TDriver::Digitar(edit, ASenha));
  if (!ATela.empty()) CapturarJanela(caixa, ATela);
  TJanela ok = TDriver::ProcurarControle(caixa, "Button", "OK");
  ASSERT_NE(ok, nullptr);
  TDriver::Clicar(ok);
}

// Closes the main window with the password the test scenario publishes, so
// that the watchdog lets the agent go, and waits for its end.
inline void FecharComSenhaDoCenario(TProgramaDriver& APrograma, TJanela AJanela, uint32_t AEspera) {
  TDriver::Fechar(AJanela);
  ResponderSenha(APrograma.Id(), "zelvan123", AEspera);
  if (::testing::Test::HasFatalFailure()) return;
  ASSERT_TRUE(APrograma.AguardarFim(AEspera));
}

// Running processes of the program beside the tests, by its file name.
inline std::vector<uint32_t> ProcessosDe(const std::string& ANome) {
  return Processos().ProcessosDoExecutavel(PastaDoExecutavel() + ANome);
}

inline void EncerrarProcesso(uint32_t AId) {
  HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, AId);
  if (!h) return;
  TerminateProcess(h, 99);
  WaitForSingleObject(h, 5000);
  CloseHandle(h);
}

// Wine 8 has no timeout.exe; the update script's waits run on the stand-in
// built beside the tests, put in the system folder once. False when it cannot be.
inline bool InstalarTimeoutSubstituto() {
  wchar_t sistema[MAX_PATH];
  if (GetSystemDirectoryW(sistema, MAX_PATH) == 0) return false;
  const std::string timeout =
      Utf16ParaUtf8(reinterpret_cast<const char16_t*>(sistema)) + "\\timeout.exe";
  if (Arquivos().ArquivoExiste(timeout)) return true;
  return Arquivos().Gravar(timeout, LerArquivo(PastaDoExecutavel() + "timeout.exe"));
}

// The watchdogs first, so that none restarts an agent ended here.
inline void EncerrarAgentesEWatchdogs() {
  for (uint32_t id : ProcessosDe("WatchdogAgente.exe")) EncerrarProcesso(id);
  for (uint32_t id : ProcessosDe("Zelvan.exe")) EncerrarProcesso(id);
}

// A test that runs the agent: after it, the agent is ended, and so are its
// watchdog and any copy it started.
class AgenteEmTeste : public ::testing::Test {
 protected:
  void TearDown() override {
    if (FPrograma.Valido()) FPrograma.Encerrar(99);
    // Its watchdog would restart it, and the copy would hold the agent mutex.
    EncerrarAgentesEWatchdogs();
  }

  TProgramaDriver FPrograma;
};
