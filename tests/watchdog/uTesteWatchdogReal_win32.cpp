// WatchdogAgente.exe for real under Wine, watching a copy of this test program as the agent.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "config/uConfigINI.h"
#include "config/uSaidaAutorizada.h"
#include "log/uLogger.h"
#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"
#include "tests/support/uTestSupport.h"
#include "watchdog/uWatchdog.h"

namespace {

const wchar_t kNomeAgenteFalso[] = L"AgenteFalso Vesk.exe";

std::wstring ModuloAtual() {
  wchar_t buf[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
  return std::wstring(buf, n);
}

// What the test asks of a fake agent, by a named event of its process id.
std::wstring NomeEvento(const wchar_t* AAcao, DWORD AId) {
  return std::wstring(L"Local\\VeskAgenteFalso") + AAcao + L"_" + std::to_wstring(AId);
}

volatile int GProfundidade = 0;

// Deep enough to overflow any stack: the frames are used and cannot be folded.
__attribute__((noinline)) int EstourarPilha(volatile char* AAnterior) {
  volatile char quadro[4096];
  quadro[0] = AAnterior ? AAnterior[0] : 1;
  GProfundidade = GProfundidade + 1;
  if (GProfundidade < 0) return 0;
  return EstourarPilha(quadro) + quadro[1];
}

// A copy of this program under the fake agent's name is the agent: it waits to
// be killed, to be asked to end on purpose (writing the exit record, as the
// agent does) or to overflow its stack, and ends by itself, on purpose, so that
// nothing outlives a failed test.
const bool kEhAgenteFalso = [] {
  const std::wstring m = ModuloAtual();
  const std::wstring nome = m.substr(m.find_last_of(L'\\') + 1);
  if (CompareStringOrdinal(nome.c_str(), -1, kNomeAgenteFalso, -1, TRUE) != CSTR_EQUAL)
    return false;
  const DWORD eu = GetCurrentProcessId();
  HANDLE eventos[] = {CreateEventW(nullptr, TRUE, FALSE, NomeEvento(L"Sair", eu).c_str()),
                      CreateEventW(nullptr, TRUE, FALSE, NomeEvento(L"Estourar", eu).c_str())};
  if (WaitForMultipleObjects(2, eventos, FALSE, 60000) == WAIT_OBJECT_0 + 1) EstourarPilha(nullptr);
  TSaidaAutorizada::Registrar();
  ExitProcess(0);
}();

// Sets the fake agent's event, which it may still be creating.
bool PedirAoAgente(const wchar_t* AAcao, DWORD AId) {
  const DWORD inicio = GetTickCount();
  for (;;) {
    HANDLE e = OpenEventW(EVENT_MODIFY_STATE, FALSE, NomeEvento(AAcao, AId).c_str());
    if (e) {
      const bool ok = SetEvent(e) != FALSE;
      CloseHandle(e);
      return ok;
    }
    if (GetTickCount() - inicio >= 5000) return false;
    Sleep(50);
  }
}

// Asks the fake agent to end on purpose and waits for its end.
bool SairDeProposito(DWORD AId) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, AId);
  if (!h) return false;
  const bool ok = PedirAoAgente(L"Sair", AId) && WaitForSingleObject(h, 10000) == WAIT_OBJECT_0;
  CloseHandle(h);
  return ok;
}

std::wstring PastaDoTeste() {
  const std::wstring m = ModuloAtual();
  return m.substr(0, m.find_last_of(L'\\') + 1);
}

struct TProcessoTeste {
  HANDLE H = nullptr;
  DWORD Id = 0;
  void Fechar() {
    if (H) CloseHandle(H);
    H = nullptr;
  }
};

TProcessoTeste Iniciar(const std::wstring& AExe, const std::wstring& AParametros) {
  std::wstring linha = L"\"" + AExe + L"\"" + (AParametros.empty() ? L"" : L" " + AParametros);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  TProcessoTeste p;
  if (!CreateProcessW(AExe.c_str(), linha.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return p;
  CloseHandle(pi.hThread);
  p.H = pi.hProcess;
  p.Id = pi.dwProcessId;
  return p;
}

DWORD AguardarCodigo(HANDLE AH, DWORD AMs) {
  if (WaitForSingleObject(AH, AMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD c = STILL_ACTIVE;
  GetExitCodeProcess(AH, &c);
  return c;
}

bool MutexDoWatchdogExiste() {
  HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, ParaWide(kMutexWatchdog).c_str());
  if (!m) return false;
  CloseHandle(m);
  return true;
}

template <class F>
bool AguardarAte(F ACondicao, DWORD AMs) {
  const DWORD inicio = GetTickCount();
  while (!ACondicao()) {
    if (GetTickCount() - inicio >= AMs) return false;
    Sleep(50);
  }
  return true;
}

class WatchdogReal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(kEhAgenteFalso);
    SetEnvironmentVariableW(L"VESK_WATCHDOG_ESPERA_MS", L"300");
    SetEnvironmentVariableW(L"VESK_WATCHDOG_TOLERANCIA_MS", L"1500");
    // The watchdog names the copy it watches on a detailed-log line only.
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    FInicioLog = LerArquivoTeste(TLogger::ArquivoLogDoDia()).size();
    // A folder with blanks, as "Program Files" has.
    FPasta = ParaWide(FTemp.Caminho()) + L"Pasta Com Espaco\\";
    ASSERT_TRUE(CreateDirectoryW(FPasta.c_str(), nullptr));
    FAgente = FPasta + kNomeAgenteFalso;
    ASSERT_TRUE(CopyFileW(ModuloAtual().c_str(), FAgente.c_str(), TRUE));
    FWatchdog = PastaDoTeste() + L"WatchdogAgente.exe";
    ASSERT_NE(GetFileAttributesW(FWatchdog.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  void TearDown() override {
    // Watchdogs first: one still running would start a copy for each one ended here,
    // and that copy would outlive the test.
    for (TProcessoTeste& p : FWatchdogs) {
      if (WaitForSingleObject(p.H, 0) != WAIT_OBJECT_0) {
        TerminateProcess(p.H, 9);
        WaitForSingleObject(p.H, 5000);
      }
      p.Fechar();
    }
    for (DWORD id : Processos().ProcessosDoExecutavel(DeWide(FAgente))) {
      HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
      if (!h) continue;
      TerminateProcess(h, 0);
      WaitForSingleObject(h, 5000);
      CloseHandle(h);
    }
    for (TProcessoTeste& p : FAgentes) p.Fechar();
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "0");
  }

  TProcessoTeste IniciarAgente() {
    TProcessoTeste p = Iniciar(FAgente, L"");
    if (p.H) FAgentes.push_back(p);
    return p;
  }
  TProcessoTeste IniciarWatchdog(const std::wstring& AParametros) {
    TProcessoTeste p = Iniciar(FWatchdog, AParametros);
    if (p.H) FWatchdogs.push_back(p);
    return p;
  }
  std::wstring ParametroAgente() const { return L"\"" + FAgente + L"\""; }
  std::vector<uint32_t> Agentes() {
    // Upper case on purpose: the lookup ignores case, as Windows paths do.
    return Processos().ProcessosDoExecutavel(MaiusculasAscii(DeWide(FAgente)));
  }

  // The processes the watchdog reported taking over since the test began, in order.
  std::vector<DWORD> Acompanhados() const {
    static const std::string kMarca = "Watchdog: acompanhando o agente (processo ";
    const std::string log = LerArquivoTeste(TLogger::ArquivoLogDoDia());
    std::vector<DWORD> ids;
    for (size_t p = log.find(kMarca, FInicioLog); p != std::string::npos;
         p = log.find(kMarca, p + 1))
      ids.push_back(std::strtoul(log.c_str() + p + kMarca.size(), nullptr, 10));
    return ids;
  }
  // A process the test starts, or one the watchdog starts, is acted on only once
  // the watchdog holds it: Wine fails the CreateProcessW of a child killed while it
  // starts (error 1359), and the watchdog then starts one more copy.
  bool AguardarAcompanhado(DWORD AId) {
    return AguardarAte(
        [&] {
          for (DWORD id : Acompanhados())
            if (id == AId) return true;
          return false;
        },
        10000);
  }
  // The copy the watchdog took over last, once it is another than AAnterior; 0 if none
  // came within the time.
  DWORD AguardarOutroAcompanhado(DWORD AAnterior) {
    DWORD r = 0;
    AguardarAte(
        [&] {
          const std::vector<DWORD> ids = Acompanhados();
          r = ids.empty() || ids.back() == AAnterior ? 0 : ids.back();
          return r != 0;
        },
        15000);
    return r;
  }

  TPastaTemporaria FTemp;
  std::wstring FPasta, FAgente, FWatchdog;

 private:
  std::vector<TProcessoTeste> FAgentes, FWatchdogs;
  size_t FInicioLog = 0;
};

TEST_F(WatchdogReal, RestartsAKilledAgentAndEndsAfterACleanExit) {
  const TProcessoTeste agente = IniciarAgente();
  ASSERT_TRUE(agente.H);
  const TProcessoTeste wd = IniciarWatchdog(ParametroAgente());
  ASSERT_TRUE(wd.H);
  ASSERT_TRUE(AguardarAcompanhado(agente.Id)) << "the running agent was not taken over";

  ASSERT_TRUE(TerminateProcess(agente.H, 1));
  const DWORD novo = AguardarOutroAcompanhado(agente.Id);
  ASSERT_NE(novo, 0u) << "the killed agent was not started again";
  // The killed copy may stay listed a moment while its handle is open.
  EXPECT_TRUE(AguardarAte([&] { return Agentes() == std::vector<uint32_t>{novo}; }, 5000));
  EXPECT_EQ(AguardarCodigo(wd.H, 0), static_cast<DWORD>(STILL_ACTIVE));

  ASSERT_TRUE(SairDeProposito(novo));
  EXPECT_EQ(AguardarCodigo(wd.H, 15000), static_cast<DWORD>(kSaidaNormal));
  EXPECT_TRUE(Agentes().empty()) << "restarted after a clean exit";
  EXPECT_EQ(Acompanhados(), (std::vector<DWORD>{agente.Id, novo}));

  const std::string log = LerArquivoTeste(TLogger::ArquivoLogDoDia());
  EXPECT_NE(log.find("Watchdog: agente reiniciado apos falha (codigo 1)"), std::string::npos)
      << log;
}

// An agent that ends without its exit record crashed, whatever code the system
// gives it: Wine ends a program that overflowed its stack with code 0.
TEST_F(WatchdogReal, RestartsAnAgentThatEndedWithoutItsRecord) {
  const struct {
    const char* Nome;
    bool Estourar;  // a real stack overflow; otherwise killed with code 0
  } casos[] = {{"killed with code 0", false}, {"stack overflow", true}};
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Nome);
    const size_t inicio = LerArquivoTeste(TLogger::ArquivoLogDoDia()).size();
    const TProcessoTeste agente = IniciarAgente();
    ASSERT_TRUE(agente.H);
    const TProcessoTeste wd = IniciarWatchdog(ParametroAgente());
    ASSERT_TRUE(wd.H);
    ASSERT_TRUE(AguardarAcompanhado(agente.Id));
    if (c.Estourar)
      ASSERT_TRUE(PedirAoAgente(L"Estourar", agente.Id));
    else
      ASSERT_TRUE(TerminateProcess(agente.H, 0));
    const DWORD codigo = AguardarCodigo(agente.H, 15000);
    ASSERT_NE(codigo, static_cast<DWORD>(STILL_ACTIVE));
    RecordProperty(c.Estourar ? "codigo_estouro" : "codigo_morto", std::to_string(codigo));
    const DWORD novo = AguardarOutroAcompanhado(agente.Id);
    EXPECT_NE(novo, 0u) << "not restarted after ending with code " << codigo;
    EXPECT_EQ(AguardarCodigo(wd.H, 0), static_cast<DWORD>(STILL_ACTIVE));
    const std::string log = LerArquivoTeste(TLogger::ArquivoLogDoDia()).substr(inicio);
    EXPECT_NE(
        log.find("Watchdog: agente reiniciado apos falha (codigo " + std::to_string(codigo) + ")"),
        std::string::npos)
        << log;
    EXPECT_EQ(log.find("agente encerrado normalmente"), std::string::npos) << log;
    // The next case starts a watchdog of its own: this one goes first, then its copy.
    TerminateProcess(wd.H, 9);
    WaitForSingleObject(wd.H, 5000);
    if (novo != 0) {
      HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, novo);
      if (h) {
        TerminateProcess(h, 9);
        WaitForSingleObject(h, 5000);
        CloseHandle(h);
      }
    }
  }
}

TEST_F(WatchdogReal, FollowsTheCopyThatARestartStartsLater) {
  const TProcessoTeste velho = IniciarAgente();
  ASSERT_TRUE(velho.H);
  const TProcessoTeste wd = IniciarWatchdog(ParametroAgente());
  ASSERT_TRUE(AguardarAcompanhado(velho.Id));

  // The restart command: the old copy quits on purpose, the new one comes a bit later.
  ASSERT_TRUE(SairDeProposito(velho.Id));
  Sleep(600);
  const TProcessoTeste novo = IniciarAgente();
  ASSERT_TRUE(novo.H);
  ASSERT_TRUE(AguardarAcompanhado(novo.Id)) << "the new copy was not followed";
  ASSERT_EQ(AguardarCodigo(wd.H, 0), static_cast<DWORD>(STILL_ACTIVE));

  TerminateProcess(novo.H, 1);
  const DWORD terceiro = AguardarOutroAcompanhado(novo.Id);
  EXPECT_NE(terceiro, 0u) << "the followed copy was not restarted";
  EXPECT_TRUE(AguardarAte([&] { return Agentes() == std::vector<uint32_t>{terceiro}; }, 5000));
}

TEST_F(WatchdogReal, SecondWatchdogEndsAtOnce) {
  const TProcessoTeste agente = IniciarAgente();
  ASSERT_TRUE(agente.H);
  const TProcessoTeste primeiro = IniciarWatchdog(ParametroAgente());
  ASSERT_TRUE(AguardarAcompanhado(agente.Id));
  EXPECT_TRUE(MutexDoWatchdogExiste());

  const TProcessoTeste segundo = IniciarWatchdog(ParametroAgente());
  EXPECT_EQ(AguardarCodigo(segundo.H, 10000), static_cast<DWORD>(kSaidaNormal));
  EXPECT_EQ(AguardarCodigo(primeiro.H, 0), static_cast<DWORD>(STILL_ACTIVE));

  ASSERT_TRUE(SairDeProposito(agente.Id));
  EXPECT_EQ(AguardarCodigo(primeiro.H, 15000), static_cast<DWORD>(kSaidaNormal));
  EXPECT_EQ(Acompanhados(), std::vector<DWORD>{agente.Id}) << "the second one took over too";
}

// The top-level window of a process, shown or not: what Windows asks to close.
HWND JanelaDoProcesso(DWORD AId) {
  struct TBusca {
    DWORD Id;
    HWND Janela;
  } b{AId, nullptr};
  EnumWindows(
      [](HWND AJanela, LPARAM AP) -> BOOL {
        auto* busca = reinterpret_cast<TBusca*>(AP);
        DWORD id = 0;
        GetWindowThreadProcessId(AJanela, &id);
        if (id != busca->Id) return TRUE;
        busca->Janela = AJanela;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&b));
  return b.Janela;
}

// An installer replacing the programs (Restart Manager) and a log-off ask every
// top-level window to close: the watchdog ends at once with its file free, and
// leaves the agent to whoever closes it.
TEST_F(WatchdogReal, ClosedByWindowsEndsAtOnce) {
  const std::pair<LPARAM, std::string> casos[] = {
      {ENDSESSION_CLOSEAPP,
       "Watchdog: aviso: fechado pelo Windows para uma instalacao; watchdog "
       "encerrado"},
      {ENDSESSION_LOGOFF, "Watchdog: aviso: sessao do Windows encerrando; watchdog encerrado"},
  };
  for (const auto& [motivo, linha] : casos) {
    SCOPED_TRACE(linha);
    const size_t inicio = LerArquivoTeste(TLogger::ArquivoLogDoDia()).size();
    const TProcessoTeste agente = IniciarAgente();
    ASSERT_TRUE(agente.H);
    const TProcessoTeste wd = IniciarWatchdog(ParametroAgente());
    ASSERT_TRUE(wd.H);
    ASSERT_TRUE(AguardarAcompanhado(agente.Id));
    HWND janela = nullptr;
    ASSERT_TRUE(AguardarAte([&] { return (janela = JanelaDoProcesso(wd.Id)) != nullptr; }, 5000))
        << "the watchdog has no top-level window for Windows to ask";
    EXPECT_FALSE(IsWindowVisible(janela));
    DWORD_PTR r = 0;
    ASSERT_TRUE(
        SendMessageTimeoutW(janela, WM_QUERYENDSESSION, 0, motivo, SMTO_ABORTIFHUNG, 5000, &r));
    EXPECT_EQ(r, static_cast<DWORD_PTR>(TRUE));
    // The process ends while it handles the message: the send's own result says nothing.
    SendMessageTimeoutW(janela, WM_ENDSESSION, TRUE, motivo, SMTO_ABORTIFHUNG, 5000, &r);
    EXPECT_EQ(AguardarCodigo(wd.H, 5000), static_cast<DWORD>(kSaidaNormal));
    EXPECT_EQ(WaitForSingleObject(agente.H, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the watchdog ended the agent";
    EXPECT_NE(LerArquivoTeste(TLogger::ArquivoLogDoDia()).find(linha, inicio), std::string::npos);
    TerminateProcess(agente.H, 0);
    WaitForSingleObject(agente.H, 5000);
  }
}

TEST_F(WatchdogReal, BadArgumentsEndWithAnError) {
  const std::wstring casos[] = {L"", L"\"\"", L"\"" + FPasta + L"NaoExiste.exe\""};
  for (const std::wstring& c : casos) {
    SCOPED_TRACE(DeWide(c));
    const TProcessoTeste wd = IniciarWatchdog(c);
    ASSERT_TRUE(wd.H);
    EXPECT_EQ(AguardarCodigo(wd.H, 10000), static_cast<DWORD>(kSaidaArgumento));
  }
  EXPECT_FALSE(MutexDoWatchdogExiste());
}

}  // namespace
