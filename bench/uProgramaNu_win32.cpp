// The bare program the idle agent is measured against (bench/agente_ocioso.sh):
// it loads the same Windows parts as Zelvan.exe (common controls, WinHTTP, CNG,
// COM with the WIC factory), keeps one hidden window and, like an idle agent,
// makes every 5 seconds the six requests of a polling pass (config, heartbeat,
// link check, notices, tasks, commands) and every 3 seconds the chat poll, each
// body read whole, through one WinHTTP session. It writes nothing and runs
// until it is ended.
//   programa_nu PORT
#include <windows.h>
#include <bcrypt.h>
#include <commctrl.h>
#include <objbase.h>
#include <wincodec.h>
#include <winhttp.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr UINT_PTR kTimerPassagem = 1, kTimerChat = 2;
constexpr const wchar_t* kToken = L"tok-teste-1234567890";

HINTERNET GSessao = nullptr;
INTERNET_PORT GPorta = 0;
std::wstring GComputador, GUsuario;
unsigned long long GPedidos = 0, GFalhas = 0;

// One GET whose body is read whole; false when anything fails or it is empty.
bool Get(const std::wstring& ACaminho) {
  HINTERNET c = WinHttpConnect(GSessao, L"127.0.0.1", GPorta, 0);
  HINTERNET r = c ? WinHttpOpenRequest(c, L"GET", ACaminho.c_str(), nullptr, WINHTTP_NO_REFERER,
                                       WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                  : nullptr;
  bool ok = r && WinHttpSendRequest(r, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
            WinHttpReceiveResponse(r, nullptr);
  std::string corpo;
  for (DWORD n = 0; ok && WinHttpQueryDataAvailable(r, &n) && n > 0;) {
    const size_t antes = corpo.size();
    corpo.resize(antes + n);
    DWORD lidos = 0;
    ok = WinHttpReadData(r, corpo.data() + antes, n, &lidos) != FALSE;
    corpo.resize(antes + lidos);
  }
  ok = ok && !corpo.empty();
  if (r) WinHttpCloseHandle(r);
  if (c) WinHttpCloseHandle(c);
  ++GPedidos;
  if (!ok) ++GFalhas;
  return ok;
}

std::wstring Ident() {
  return std::wstring(L"api_token=") + kToken + L"&computador=" + GComputador +
         L"&usuario=" + GUsuario;
}

void Passagem() {
  const std::wstring base = L"/demo/intranet/api/";
  Get(base + L"agent_config.php?api_token=" + kToken);
  Get(base + L"agent_heartbeat.php?" + Ident() + L"&versao=1.0.115");
  Get(base + L"colaborador-vinculo.php?" + Ident() + L"&versao=1.0.115");
  Get(base + L"agent_messages.php?" + Ident() + L"&debug=1&since_id=0&limite=20&bootstrap=1");
  Get(base + L"agent_tasks.php?" + Ident() + L"&debug=1");
  Get(base + L"agent_commands.php?token=" + GComputador + L"_" + GUsuario);
}

void Chat() {
  static unsigned long long n = 0;
  Get(L"/chat/api/agent_chat_unread.php?" + Ident() + L"&token=" + kToken +
      L"&pc=" + GComputador + L"&_=" + std::to_wstring(++n));
}

LRESULT CALLBACK Procedimento(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL) {
  if (AMsg == WM_TIMER) {
    if (AW == kTimerPassagem) Passagem();
    if (AW == kTimerChat) Chat();
    return 0;
  }
  if (AMsg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(AJanela, AMsg, AW, AL);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::atoi(argv[1]) <= 0 || std::atoi(argv[1]) > 65535) {
    std::fprintf(stderr, "usage: programa_nu PORT\n");
    return 2;
  }
  GPorta = static_cast<INTERNET_PORT>(std::atoi(argv[1]));
  wchar_t nome[256];
  DWORD n = 256;
  GComputador = GetComputerNameW(nome, &n) ? std::wstring(nome, n) : L"PC";
  n = 256;
  GUsuario = GetUserNameW(nome, &n) && n > 0 ? std::wstring(nome, n - 1) : L"Usuario";

  // The parts the agent loads.
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IWICImagingFactory* wic = nullptr;
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                   IID_PPV_ARGS(&wic));
  BCRYPT_ALG_HANDLE sha = nullptr;
  BCryptOpenAlgorithmProvider(&sha, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  unsigned char resumo[32];
  const char texto[] = "bench";
  if (sha)
    BCryptHash(sha, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(texto)),
               sizeof texto - 1, resumo, sizeof resumo);
  GSessao = WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                        WINHTTP_NO_PROXY_BYPASS, 0);
  if (!GSessao) {
    std::fprintf(stderr, "programa_nu: no WinHTTP session\n");
    return 1;
  }

  WNDCLASSW wc{};
  wc.lpfnWndProc = Procedimento;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ProgramaNu";
  RegisterClassW(&wc);
  HWND janela = CreateWindowExW(0, wc.lpszClassName, L"Programa nu", WS_OVERLAPPEDWINDOW, 0, 0,
                                200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  if (!janela) return 1;
  SetTimer(janela, kTimerPassagem, 5000, nullptr);
  SetTimer(janela, kTimerChat, 3000, nullptr);
  Passagem();
  Chat();

  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  WinHttpCloseHandle(GSessao);
  if (sha) BCryptCloseAlgorithmProvider(sha, 0);
  if (wic) wic->Release();
  CoUninitialize();
  std::printf("programa_nu: %llu requests, %llu failed\n", GPedidos, GFalhas);
  return 0;
}
