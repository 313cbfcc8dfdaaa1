// The agent's Windows Installer package under Wine's msiexec: a silent install
// with the two settings, the files and values where they belong, the programs
// starting from Program Files, an upgrade in place, and an uninstall that
// leaves the base folder's state alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"

namespace {

// The packages this build made (Linux paths, which Wine sees under Z:).
std::wstring CaminhoWindows(const std::string& ACaminhoLinux) {
  std::wstring w = L"Z:" + ParaWide(ACaminhoLinux);
  for (auto& c : w)
    if (c == L'/') c = L'\\';
  return w;
}
const std::wstring kPacote = CaminhoWindows(VESK_PACOTE_TESTE);
const std::wstring kPacoteAnterior = CaminhoWindows(VESK_PACOTE_ANTERIOR);
// What the newer package installs: this build's programs and the resources.
const std::wstring kProgramas = CaminhoWindows(VESK_PROGRAMAS_TESTE) + L"\\";
const std::wstring kRecursos = CaminhoWindows(VESK_RECURSOS) + L"\\";

const std::wstring kPastaPrograma = L"C:\\Program Files\\Vesk Agent\\";
const std::wstring kBase = L"C:\\Talmeq\\VESKINTRANET\\";
const std::wstring kConfig = kBase + L"config.ini";
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kPolitica[] = L"SOFTWARE\\Policies\\Vesk\\Agent";
const wchar_t kDesinstalar[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// msiexec with the arguments; its exit code (0 is success), or -1 when it could
// not be started or did not end within two minutes.
long Msiexec(const std::wstring& AArgs) {
  std::wstring linha = L"msiexec.exe " + AArgs;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, linha.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return -1;
  CloseHandle(pi.hThread);
  long rc = -1;
  if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) {
    DWORD c = 0;
    GetExitCodeProcess(pi.hProcess, &c);
    rc = static_cast<long>(c);
  } else {
    TerminateProcess(pi.hProcess, 1);
  }
  CloseHandle(pi.hProcess);
  return rc;
}

long Instalar(const std::wstring& APacote, const std::wstring& APropriedades = L"") {
  return Msiexec(L"/i \"" + APacote + L"\" /qn" +
                 (APropriedades.empty() ? L"" : L" " + APropriedades));
}
long Desinstalar(const std::wstring& APacote) {
  return Msiexec(L"/x \"" + APacote + L"\" /qn");
}

bool Existe(const std::wstring& ACaminho) {
  return GetFileAttributesW(ACaminho.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string LerIni(const wchar_t* ASecao, const wchar_t* AChave) {
  wchar_t buf[2048] = {};
  GetPrivateProfileStringW(ASecao, AChave, L"", buf, 2048, kConfig.c_str());
  return DeWide(buf);
}

// A value of the 64-bit registry view; "" when it is missing.
std::string LerRegistro(HKEY ARaiz, const std::wstring& AChave, const wchar_t* ANome) {
  wchar_t buf[1024] = {};
  DWORD tam = sizeof(buf);
  if (RegGetValueW(ARaiz, AChave.c_str(), ANome, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr,
                   buf, &tam) != ERROR_SUCCESS)
    return "";
  return DeWide(buf);
}

// "Apps & features": the version of every entry named after the product.
std::vector<std::string> VersoesInstaladas() {
  std::vector<std::string> versoes;
  HKEY k;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDesinstalar, 0, KEY_READ | KEY_WOW64_64KEY, &k) !=
      ERROR_SUCCESS)
    return versoes;
  wchar_t nome[256];
  for (DWORD i = 0;; ++i) {
    DWORD n = 256;
    if (RegEnumKeyExW(k, i, nome, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring sub = std::wstring(kDesinstalar) + L"\\" + nome;
    if (LerRegistro(HKEY_LOCAL_MACHINE, sub, L"DisplayName") != "Vesk Intranet Agent") continue;
    EXPECT_EQ(LerRegistro(HKEY_LOCAL_MACHINE, sub, L"Publisher"), "Vesk");
    versoes.push_back(LerRegistro(HKEY_LOCAL_MACHINE, sub, L"DisplayVersion"));
  }
  RegCloseKey(k);
  return versoes;
}

std::string LerBytes(const std::wstring& ACaminho) {
  std::string bytes;
  HANDLE h = CreateFileW(ACaminho.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0) bytes.append(buf, n);
  CloseHandle(h);
  return bytes;
}

bool TerminaCom(const std::string& ATexto, const std::string& AFim) {
  return ATexto.size() >= AFim.size() &&
         ATexto.compare(ATexto.size() - AFim.size(), AFim.size(), AFim) == 0;
}

void GravarTexto(const std::wstring& ACaminho, const std::string& ATexto) {
  HANDLE h = CreateFileW(ACaminho.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(h, ATexto.data(), static_cast<DWORD>(ATexto.size()), &n, nullptr);
  CloseHandle(h);
}

std::vector<std::wstring> LogsDoAgente() {
  std::vector<std::wstring> nomes;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((kBase + L"logs\\Zelvan_*.log").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return nomes;
  do nomes.push_back(d.cFileName);
  while (FindNextFileW(h, &d));
  FindClose(h);
  return nomes;
}

void EncerrarTodos(const std::wstring& AExe) {
  for (uint32_t id : Processos().ProcessosDoExecutavel(DeWide(AExe))) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!h) continue;
    TerminateProcess(h, 99);
    WaitForSingleObject(h, 5000);
    CloseHandle(h);
  }
}

bool AguardarAte(const std::function<bool()>& ACondicao, DWORD AMs) {
  const ULONGLONG fim = GetTickCount64() + AMs;
  while (!ACondicao()) {
    if (GetTickCount64() > fim) return false;
    Sleep(100);
  }
  return true;
}

// Each test starts with nothing installed and an empty base folder.
class InstaladorTeste : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* srv = std::getenv("VESK_DEVSERVER");
    ASSERT_TRUE(srv && *srv) << "the test runs beside the development server (testenv.sh)";
    FUrlServidor = std::string(srv) + "demo/intranet/";
    ASSERT_TRUE(Existe(kPacote)) << "no package: " << DeWide(kPacote);
    Limpar();
  }
  void TearDown() override {
    EncerrarTodos(kPastaPrograma + L"WatchdogAgente.exe");
    EncerrarTodos(kPastaPrograma + L"Zelvan.exe");
    if (Existe(kPastaPrograma + L"Zelvan.exe")) Desinstalar(kPacote);
    Limpar();
  }
  static void Limpar() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, L"Vesk_Zelvan");
    DeleteFileW(kConfig.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPolitica);
    for (const auto& n : LogsDoAgente()) DeleteFileW((kBase + L"logs\\" + n).c_str());
  }
  std::string FUrlServidor;
};

TEST_F(InstaladorTeste, InstalaEmSilencioIniciaEDesinstalaSemTocarNaBase) {
  ASSERT_EQ(Instalar(kPacote, L"SERVIDOR_URL=" + ParaWide(FUrlServidor) + L" API_TOKEN=tok-msi"),
            0);

  for (const wchar_t* f :
       {L"Zelvan.exe", L"WatchdogAgente.exe", L"logo_agente.png", L"chat_balao.ico"})
    EXPECT_TRUE(Existe(kPastaPrograma + f)) << DeWide(f);
  EXPECT_EQ(LerIni(L"SERVIDOR", L"URL"), FUrlServidor);
  EXPECT_EQ(LerIni(L"SERVIDOR", L"API_TOKEN"), "tok-msi");
  // The same settings as policy, which the agent prefers; no chat address given.
  EXPECT_EQ(LerRegistro(HKEY_LOCAL_MACHINE, kPolitica, L"ServidorURL"), FUrlServidor);
  EXPECT_EQ(LerRegistro(HKEY_LOCAL_MACHINE, kPolitica, L"ApiToken"), "tok-msi");
  EXPECT_EQ(LerRegistro(HKEY_LOCAL_MACHINE, kPolitica, L"ChatURL"), "");
  EXPECT_EQ(LerIni(L"CHAT", L"URL"), "");
  EXPECT_EQ(LerRegistro(HKEY_LOCAL_MACHINE, kRun, L"Vesk_Zelvan"),
            "\"C:\\Program Files\\Vesk Agent\\Zelvan.exe\"");
  EXPECT_EQ(VersoesInstaladas(), std::vector<std::string>{"1.0.115"});

  // The user's own value an earlier version wrote for the same program: the
  // package's copy removes it, so that nothing is left to point to a missing
  // program after the uninstall.
  const std::wstring agente = kPastaPrograma + L"Zelvan.exe";
  const std::wstring aspas = L"\"" + agente + L"\"";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kRun, L"Vesk_Zelvan", REG_SZ, aspas.c_str(),
                            static_cast<DWORD>((aspas.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);

  // The installed agent starts, writes its log in the base folder and starts
  // its watchdog from beside itself.
  std::wstring linha = L"\"" + agente + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(agente.c_str(), linha.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             kPastaPrograma.c_str(), &si, &pi));
  CloseHandle(pi.hThread);
  const std::string watchdog = DeWide(kPastaPrograma + L"WatchdogAgente.exe");
  EXPECT_TRUE(
      AguardarAte([&] { return !Processos().ProcessosDoExecutavel(watchdog).empty(); }, 30000));
  EXPECT_TRUE(AguardarAte([] { return !LogsDoAgente().empty(); }, 30000));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the agent ended by itself";
  // Its start-up wrote the autostart value (or not) before it started the watchdog.
  EXPECT_EQ(LerRegistro(HKEY_CURRENT_USER, kRun, L"Vesk_Zelvan"), "");
  EncerrarTodos(kPastaPrograma + L"WatchdogAgente.exe");
  TerminateProcess(pi.hProcess, 99);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);

  // State the company keeps, beside what the agent wrote.
  ASSERT_TRUE(
      WritePrivateProfileStringW(L"MENSAGENS_PROCESSADAS", L"avisos_7_PC", L"1", kConfig.c_str()));
  const auto logs = LogsDoAgente();

  ASSERT_EQ(Desinstalar(kPacote), 0);
  for (const wchar_t* f :
       {L"Zelvan.exe", L"WatchdogAgente.exe", L"logo_agente.png", L"chat_balao.ico"})
    EXPECT_FALSE(Existe(kPastaPrograma + f)) << DeWide(f);
  EXPECT_EQ(LerRegistro(HKEY_LOCAL_MACHINE, kRun, L"Vesk_Zelvan"), "");
  EXPECT_EQ(LerRegistro(HKEY_CURRENT_USER, kRun, L"Vesk_Zelvan"), "");
  EXPECT_TRUE(VersoesInstaladas().empty());
  EXPECT_EQ(LerIni(L"SERVIDOR", L"URL"), FUrlServidor);
  EXPECT_EQ(LerIni(L"SERVIDOR", L"API_TOKEN"), "tok-msi");
  EXPECT_EQ(LerIni(L"MENSAGENS_PROCESSADAS", L"avisos_7_PC"), "1");
  EXPECT_EQ(LogsDoAgente(), logs);
}

TEST_F(InstaladorTeste, ConfiguracaoSoQuandoDadaENuncaSobrescrita) {
  // Without the properties nothing is written.
  ASSERT_EQ(Instalar(kPacote), 0);
  EXPECT_TRUE(Existe(kBase));
  EXPECT_FALSE(Existe(kConfig));
  ASSERT_EQ(Desinstalar(kPacote), 0);

  // A computer that already has an address keeps it; the token it lacks is written.
  GravarTexto(kConfig, "[SERVIDOR]\r\nURL=http://existente/intranet/\r\nINTERVALO_SEGUNDOS=30\r\n");
  ASSERT_EQ(Instalar(kPacote, L"SERVIDOR_URL=http://novo/ API_TOKEN=tok-novo"), 0);
  EXPECT_EQ(LerIni(L"SERVIDOR", L"URL"), "http://existente/intranet/");
  EXPECT_EQ(LerIni(L"SERVIDOR", L"API_TOKEN"), "tok-novo");
  EXPECT_EQ(LerIni(L"SERVIDOR", L"INTERVALO_SEGUNDOS"), "30");

  // Given again, with other values, neither is replaced.
  ASSERT_EQ(Instalar(kPacote, L"SERVIDOR_URL=http://outro/ API_TOKEN=tok-outro"), 0);
  EXPECT_EQ(LerIni(L"SERVIDOR", L"URL"), "http://existente/intranet/");
  EXPECT_EQ(LerIni(L"SERVIDOR", L"API_TOKEN"), "tok-novo");
  EXPECT_EQ(VersoesInstaladas(), std::vector<std::string>{"1.0.115"});
}

TEST_F(InstaladorTeste, AtualizaVersaoAnteriorNoLugar) {
  ASSERT_EQ(Instalar(kPacoteAnterior,
                     L"SERVIDOR_URL=" + ParaWide(FUrlServidor) + L" API_TOKEN=tok-antigo"),
            0);
  ASSERT_EQ(VersoesInstaladas(), std::vector<std::string>{"1.0.114"});

  // The newer package, without settings: one product afterwards, its files in
  // place, the settings of the earlier installation kept.
  ASSERT_EQ(Instalar(kPacote), 0);
  EXPECT_EQ(VersoesInstaladas(), std::vector<std::string>{"1.0.115"});
  EXPECT_TRUE(Existe(kPastaPrograma + L"Zelvan.exe"));
  EXPECT_TRUE(Existe(kPastaPrograma + L"WatchdogAgente.exe"));
  EXPECT_EQ(LerRegistro(HKEY_LOCAL_MACHINE, kRun, L"Vesk_Zelvan"),
            "\"C:\\Program Files\\Vesk Agent\\Zelvan.exe\"");
  EXPECT_EQ(LerIni(L"SERVIDOR", L"URL"), FUrlServidor);
  EXPECT_EQ(LerIni(L"SERVIDOR", L"API_TOKEN"), "tok-antigo");
}

// What Windows Installer's Restart Manager does to a program that holds a file
// it replaces (Wine has none): WM_QUERYENDSESSION and then WM_ENDSESSION with
// ENDSESSION_CLOSEAPP to each of the program's top-level windows, and up to 30
// seconds for it to end; a program without such a window cannot be closed.
// True when every process of AExe ended.
bool FecharComoOInstalador(const std::wstring& AExe) {
  for (uint32_t id : Processos().ProcessosDoExecutavel(DeWide(AExe))) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!h) continue;
    struct TJanelas {
      DWORD Id;
      std::vector<HWND> Lista;
    } j{id, {}};
    EnumWindows(
        [](HWND AJanela, LPARAM AP) -> BOOL {
          auto* js = reinterpret_cast<TJanelas*>(AP);
          DWORD dono = 0;
          GetWindowThreadProcessId(AJanela, &dono);
          if (dono == js->Id) js->Lista.push_back(AJanela);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&j));
    // Nothing to ask: the installer leaves it running, and its file waits for a restart.
    if (j.Lista.empty()) {
      CloseHandle(h);
      return false;
    }
    DWORD_PTR r = 0;
    for (HWND w : j.Lista)
      SendMessageTimeoutW(w, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 5000,
                          &r);
    for (HWND w : j.Lista)
      SendMessageTimeoutW(w, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 5000, &r);
    const bool terminou = WaitForSingleObject(h, 30000) == WAIT_OBJECT_0;
    CloseHandle(h);
    if (!terminou) return false;
  }
  return true;
}

// The upgrade of a computer in use: the agent (with a close password) and its
// watchdog run from the package's folder when the newer package installs
// silently with /norestart. Closed as the installer closes them, both end,
// the watchdog without starting the agent again; every file is then the newer
// package's and no restart is asked for (3010 would mean a file waits for one).
TEST_F(InstaladorTeste, AtualizaComOAgenteEmExecucaoSemReinicio) {
  ASSERT_EQ(
      Instalar(kPacoteAnterior, L"SERVIDOR_URL=" + ParaWide(FUrlServidor) + L" API_TOKEN=tok-uso"),
      0);
  ASSERT_TRUE(TerminaCom(LerBytes(kPastaPrograma + L"Zelvan.exe"), "VESK-ANTERIOR"))
      << "the earlier package's programs are not told apart";
  ASSERT_TRUE(WritePrivateProfileStringW(L"SEGURANCA", L"SENHA_AGENTE_HASH",
                                         std::wstring(64, L'a').c_str(), kConfig.c_str()));

  const std::wstring agente = kPastaPrograma + L"Zelvan.exe";
  const std::wstring watchdog = kPastaPrograma + L"WatchdogAgente.exe";
  std::wstring linha = L"\"" + agente + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(agente.c_str(), linha.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             kPastaPrograma.c_str(), &si, &pi));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_TRUE(AguardarAte(
      [&] { return !Processos().ProcessosDoExecutavel(DeWide(watchdog)).empty(); }, 30000));
  ASSERT_TRUE(AguardarAte([] { return !LogsDoAgente().empty(); }, 30000));

  EXPECT_TRUE(FecharComoOInstalador(agente)) << "the agent did not end when asked";
  EXPECT_TRUE(FecharComoOInstalador(watchdog)) << "the watchdog did not end when asked";
  // Neither comes back by itself: bringing the agent back is the installer's part.
  Sleep(2000);
  EXPECT_TRUE(Processos().ProcessosDoExecutavel(DeWide(agente)).empty());
  EXPECT_TRUE(Processos().ProcessosDoExecutavel(DeWide(watchdog)).empty());

  EXPECT_EQ(Msiexec(L"/i \"" + kPacote + L"\" /qn /norestart"), 0);
  EXPECT_EQ(VersoesInstaladas(), std::vector<std::string>{"1.0.115"});
  const std::pair<const wchar_t*, std::wstring> arquivos[] = {
      {L"Zelvan.exe", kProgramas + L"Zelvan.exe"},
      {L"WatchdogAgente.exe", kProgramas + L"WatchdogAgente.exe"},
      {L"logo_agente.png", kRecursos + L"logo_agente.png"},
      {L"chat_balao.ico", kRecursos + L"chat_balao.ico"},
  };
  for (const auto& [nome, origem] : arquivos) {
    const std::string instalado = LerBytes(kPastaPrograma + nome);
    EXPECT_FALSE(instalado.empty()) << DeWide(nome);
    EXPECT_TRUE(instalado == LerBytes(origem)) << DeWide(nome) << " is not the newer package's";
  }
  EXPECT_EQ(LerIni(L"SERVIDOR", L"API_TOKEN"), "tok-uso");
}

}  // namespace
