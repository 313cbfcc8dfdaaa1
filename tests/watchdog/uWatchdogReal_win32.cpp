// WatchdogAgente.exe for real under Wine, watching a copy of this test program as the agent.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/uLogger.h"
#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"
#include "tests/support/uTestSupport.h"
#include "tools/watchdog/uWatchdog.h"

namespace {

const wchar_t kNomeAgenteFalso[] = L"AgenteFalso Vesk.exe";

std::wstring ModuloAtual() {
  wchar_t buf[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
  return std::wstring(buf, n);
}

// A copy of this program under the fake agent's name is the agent: it only waits
// to be killed, and ends by itself so that nothing outlives a failed test.
const bool kEhAgenteFalso = [] {
  const std::wstring m = ModuloAtual();
  const std::wstring nome = m.substr(m.find_last_of(L'\\') + 1);
  if (CompareStringOrdinal(nome.c_str(), -1, kNomeAgenteFalso, -1, TRUE) != CSTR_EQUAL)
    return false;
  Sleep(60000);
  ExitProcess(0);
}();

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
    // A folder with blanks, as "Program Files" has.
    FPasta = ParaWide(FTemp.Caminho()) + L"Pasta Com Espaco\\";
    ASSERT_TRUE(CreateDirectoryW(FPasta.c_str(), nullptr));
    FAgente = FPasta + kNomeAgenteFalso;
    ASSERT_TRUE(CopyFileW(ModuloAtual().c_str(), FAgente.c_str(), TRUE));
    FWatchdog = PastaDoTeste() + L"WatchdogAgente.exe";
    ASSERT_NE(GetFileAttributesW(FWatchdog.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  void TearDown() override {
    for (DWORD id : Processos().ProcessosDoExecutavel(DeWide(FAgente))) {
      HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
      if (!h) continue;
      TerminateProcess(h, 0);
      WaitForSingleObject(h, 5000);
      CloseHandle(h);
    }
    for (TProcessoTeste& p : FAbertos) {
      if (WaitForSingleObject(p.H, 5000) != WAIT_OBJECT_0) TerminateProcess(p.H, 9);
      p.Fechar();
    }
  }

  TProcessoTeste IniciarAgente() { return Guardar(Iniciar(FAgente, L"")); }
  TProcessoTeste IniciarWatchdog(const std::wstring& AParametros) {
    return Guardar(Iniciar(FWatchdog, AParametros));
  }
  std::wstring ParametroAgente() const { return L"\"" + FAgente + L"\""; }
  std::vector<uint32_t> Agentes() {
    // Upper case on purpose: the lookup ignores case, as Windows paths do.
    return Processos().ProcessosDoExecutavel(MaiusculasAscii(DeWide(FAgente)));
  }

  TPastaTemporaria FTemp;
  std::wstring FPasta, FAgente, FWatchdog;
  std::vector<TProcessoTeste> FAbertos;

 private:
  TProcessoTeste Guardar(TProcessoTeste P) {
    if (P.H) FAbertos.push_back(P);
    return P;
  }
};

TEST_F(WatchdogReal, RestartsAKilledAgentAndEndsAfterACleanExit) {
  const TProcessoTeste agente = IniciarAgente();
  ASSERT_TRUE(agente.H);
  ASSERT_TRUE(AguardarAte([&] { return Agentes().size() == 1; }, 10000));
  const TProcessoTeste wd = IniciarWatchdog(ParametroAgente());
  ASSERT_TRUE(wd.H);
  ASSERT_TRUE(AguardarAte(MutexDoWatchdogExiste, 10000));
  Sleep(500);  // past the mutex, the watchdog looks the agent up at once

  ASSERT_TRUE(TerminateProcess(agente.H, 1));
  std::vector<uint32_t> ids;
  ASSERT_TRUE(AguardarAte(
      [&] {
        ids = Agentes();
        return ids.size() == 1 && ids[0] != agente.Id;
      },
      15000))
      << "the killed agent was not started again";
  EXPECT_EQ(AguardarCodigo(wd.H, 0), static_cast<DWORD>(STILL_ACTIVE));

  HANDLE novo = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ids[0]);
  ASSERT_TRUE(novo);
  TerminateProcess(novo, 0);  // exit code 0: closed on purpose
  WaitForSingleObject(novo, 5000);
  CloseHandle(novo);
  EXPECT_EQ(AguardarCodigo(wd.H, 15000), static_cast<DWORD>(kSaidaNormal));
  EXPECT_TRUE(Agentes().empty()) << "restarted after a clean exit";

  const std::string log = LerArquivoTeste(TLogger::ArquivoLogDoDia());
  EXPECT_NE(log.find("Watchdog: agente reiniciado apos falha (codigo 1)"), std::string::npos)
      << log;
}

TEST_F(WatchdogReal, FollowsTheCopyThatARestartStartsLater) {
  const TProcessoTeste velho = IniciarAgente();
  ASSERT_TRUE(AguardarAte([&] { return Agentes().size() == 1; }, 10000));
  const TProcessoTeste wd = IniciarWatchdog(ParametroAgente());
  ASSERT_TRUE(AguardarAte(MutexDoWatchdogExiste, 10000));
  Sleep(500);

  // The restart command: the old copy quits with 0, the new one comes a bit later.
  TerminateProcess(velho.H, 0);
  Sleep(600);
  const TProcessoTeste novo = IniciarAgente();
  ASSERT_TRUE(novo.H);
  Sleep(2000);  // past the grace: a watchdog that did not follow would be gone
  ASSERT_EQ(AguardarCodigo(wd.H, 0), static_cast<DWORD>(STILL_ACTIVE));

  TerminateProcess(novo.H, 1);
  std::vector<uint32_t> ids;
  EXPECT_TRUE(AguardarAte(
      [&] {
        ids = Agentes();
        return ids.size() == 1 && ids[0] != novo.Id;
      },
      15000))
      << "the followed copy was not restarted";
}

TEST_F(WatchdogReal, SecondWatchdogEndsAtOnce) {
  const TProcessoTeste agente = IniciarAgente();
  ASSERT_TRUE(agente.H);
  ASSERT_TRUE(AguardarAte([&] { return Agentes().size() == 1; }, 10000));
  const TProcessoTeste primeiro = IniciarWatchdog(ParametroAgente());
  ASSERT_TRUE(AguardarAte(MutexDoWatchdogExiste, 10000));

  const TProcessoTeste segundo = IniciarWatchdog(ParametroAgente());
  EXPECT_EQ(AguardarCodigo(segundo.H, 10000), static_cast<DWORD>(kSaidaNormal));
  EXPECT_EQ(AguardarCodigo(primeiro.H, 0), static_cast<DWORD>(STILL_ACTIVE));

  TerminateProcess(agente.H, 0);
  EXPECT_EQ(AguardarCodigo(primeiro.H, 15000), static_cast<DWORD>(kSaidaNormal));
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
