// How the agent's main window answers on a bad network day, under Wine: a probe
// sends it a message every 250 ms and times the answer, with the intranet
// silent (connections taken, never answered), with nothing listening, and with
// a healthy development server; beside it, the same probe on a bare program
// whose window pumps while a worker makes the same kind of request. Reported
// per case: the largest answer, the time held over 1 s and the unanswered
// messages; a case of the agent whose largest answer passes 1 s fails.
//   wbench_rede_ruim [SECONDS]   (default 30 per case)
#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "config/uConfigINI.h"
#include "platform/uArquivos.h"
#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"

namespace {

constexpr const char* kToken = "tok-teste-1234567890";
constexpr const wchar_t* kClasseNua = L"VeskBenchNua";

std::string Servidor() {
  const char* v = std::getenv("VESK_DEVSERVER");
  return v ? v : "";
}

std::string Pasta() {
  wchar_t b[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, b, MAX_PATH);
  std::wstring w(b);
  return DeWide(w.substr(0, w.find_last_of(L"\\/") + 1));
}

// --- the bare program: a window that pumps, a worker that requests ----------

void PedirSempre(std::wstring AUrl) {
  for (;;) {
    HINTERNET s = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
    URL_COMPONENTS u{};
    u.dwStructSize = sizeof u;
    wchar_t host[256], caminho[2048];
    u.lpszHostName = host;
    u.dwHostNameLength = 256;
    u.lpszUrlPath = caminho;
    u.dwUrlPathLength = 2048;
    if (s && WinHttpCrackUrl(AUrl.c_str(), 0, 0, &u)) {
      HINTERNET c = WinHttpConnect(s, host, u.nPort, 0);
      HINTERNET r = c ? WinHttpOpenRequest(c, L"GET", caminho, nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                      : nullptr;
      if (r && WinHttpSendRequest(r, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
          WinHttpReceiveResponse(r, nullptr)) {
        char buf[4096];
        DWORD n = 0;
        while (WinHttpReadData(r, buf, sizeof buf, &n) && n > 0) {
        }
      }
      if (r) WinHttpCloseHandle(r);
      if (c) WinHttpCloseHandle(c);
    }
    if (s) WinHttpCloseHandle(s);
    Sleep(5000);
  }
}

int ProgramaNu() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClasseNua;
  RegisterClassW(&wc);
  CreateWindowW(kClasseNua, L"Nua", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                wc.hInstance, nullptr);
  std::thread(PedirSempre,
              ParaWide(Servidor() + "demo/intranet/api/agent_config.php?api_token=" + kToken))
      .detach();
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  return 0;
}

// --- the probe -----------------------------------------------------------------

struct TFigura {
  unsigned long long Maior = 0, Retido = 0;
  int Mensagens = 0, SemResposta = 0;
};

HWND JanelaDe(DWORD APid, const wchar_t* AClasse, const wchar_t* ATitulo) {
  struct TBusca {
    DWORD Pid;
    const wchar_t* Classe;
    const wchar_t* Titulo;
    HWND Achada;
  } b{APid, AClasse, ATitulo, nullptr};
  EnumWindows(
      [](HWND h, LPARAM l) -> BOOL {
        auto* b = reinterpret_cast<TBusca*>(l);
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        wchar_t c[64] = {}, t[64] = {};
        GetClassNameW(h, c, 64);
        GetWindowTextW(h, t, 64);
        if (pid == b->Pid && wcscmp(c, b->Classe) == 0 && wcscmp(t, b->Titulo) == 0) {
          b->Achada = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&b));
  return b.Achada;
}

void EncerrarTodos(const std::string& ANome) {
  for (uint32_t id : Processos().ProcessosDoExecutavel(Pasta() + ANome)) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!h) continue;
    TerminateProcess(h, 99);
    WaitForSingleObject(h, 5000);
    CloseHandle(h);
  }
}

bool Medir(const std::wstring& ALinha, const wchar_t* AClasse, const wchar_t* ATitulo,
           unsigned ASegundos, TFigura& AF) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring linha = ALinha;
  if (!CreateProcessW(nullptr, linha.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return false;
  HWND h = nullptr;
  for (int i = 0; i < 300 && !(h = JanelaDe(pi.dwProcessId, AClasse, ATitulo)); ++i) Sleep(50);
  if (h) {
    const ULONGLONG t0 = GetTickCount64();
    while (GetTickCount64() - t0 < ASegundos * 1000ULL) {
      const ULONGLONG a = GetTickCount64();
      DWORD_PTR r = 0;
      const bool ok = SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r) != 0;
      const ULONGLONG dt = GetTickCount64() - a;
      ++AF.Mensagens;
      if (!ok) ++AF.SemResposta;
      AF.Maior = std::max(AF.Maior, dt);
      if (dt > 1000) AF.Retido += dt - 1000;
      Sleep(250);
    }
  }
  // The watchdog first, or it would start the agent again.
  EncerrarTodos("WatchdogAgente.exe");
  TerminateProcess(pi.hProcess, 99);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EncerrarTodos("Zelvan.exe");
  return h != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--nua") return ProgramaNu();
  const unsigned segundos = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 30;
  if (Servidor().empty()) {
    std::printf("wbench_rede_ruim: no development server (VESK_DEVSERVER)\n");
    return 1;
  }
  WSADATA w;
  WSAStartup(MAKEWORD(2, 2), &w);
  SOCKET silencioso = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int n = sizeof a;
  bind(silencioso, reinterpret_cast<sockaddr*>(&a), n);
  listen(silencioso, 64);
  getsockname(silencioso, reinterpret_cast<sockaddr*>(&a), &n);
  const int portaSilenciosa = ntohs(a.sin_port);
  SOCKET fechado = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  a.sin_port = 0;
  bind(fechado, reinterpret_cast<sockaddr*>(&a), sizeof a);
  n = sizeof a;
  getsockname(fechado, reinterpret_cast<sockaddr*>(&a), &n);
  const int portaFechada = ntohs(a.sin_port);
  closesocket(fechado);

  struct TCaso {
    const char* Nome;
    std::string Url;  // empty: the bare program
  };
  const std::vector<TCaso> casos = {
      {"agent, server silent",
       "http://127.0.0.1:" + std::to_string(portaSilenciosa) + "/demo/intranet/"},
      {"agent, nothing listening",
       "http://127.0.0.1:" + std::to_string(portaFechada) + "/demo/intranet/"},
      {"agent, healthy server", Servidor() + "demo/intranet/"},
      {"bare program, healthy server", ""},
  };
  int rc = 0;
  std::printf("probe every 250 ms for %u s per case\n", segundos);
  for (const TCaso& c : casos) {
    TFigura f;
    bool achou = false;
    if (c.Url.empty()) {
      wchar_t exe[MAX_PATH] = {};
      GetModuleFileNameW(nullptr, exe, MAX_PATH);
      achou = Medir(L"\"" + std::wstring(exe) + L"\" --nua", kClasseNua, L"Nua", segundos, f);
    } else {
      Arquivos().Apagar(TConfigINI::ArquivoConfig());
      TConfigINI::EscreverTexto("SERVIDOR", "URL", c.Url);
      TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", kToken);
      TConfigINI::EscreverTexto("SERVIDOR", "INTERVALO_SEGUNDOS", "5");
      TConfigINI::EscreverTexto("CHAT", "URL", Servidor() + "chat/");
      achou = Medir(L"\"" + ParaWide(Pasta() + "Zelvan.exe") + L"\"", L"VeskJanela", L"Zelvan",
                    segundos, f);
      if (!achou || f.Maior > 1000) rc = 1;
    }
    std::printf("  %-30s %s largest answer %5llu ms, held over 1 s %6llu ms, %d of %d unanswered\n",
                c.Nome, achou ? "" : "(no window!)", f.Maior, f.Retido, f.SemResposta, f.Mensagens);
  }
  closesocket(silencioso);
  WSACleanup();
  std::printf("wbench_rede_ruim: %s (limit: the agent's largest answer under 1000 ms)\n",
              rc == 0 ? "ok" : "FAILED");
  return rc;
}
