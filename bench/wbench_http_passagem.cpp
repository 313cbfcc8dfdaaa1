// The CPU of one polling pass of two requests (config sync and heartbeat) on
// loopback under Wine, against a bare WinHTTP program making the same two
// requests with their bodies read, in the same run (./run bench starts the
// development server). "Detect settings automatically" is switched on, as it
// is by default on Windows. Also reported: a single request with detection on,
// first and later, and the peak memory of a 16 MiB text answer.
// The process clock ticks coarsely under Wine (10 ms) and the machine is
// shared, so the two are measured in alternating rounds; the figure judged is
// the ratio of their totals over all rounds (a round alone holds only a few
// ticks of the bare program), with the rounds' median and spread beside it.
//   wbench_http_passagem [PASSES [ROUNDS]]   (default 80 passes, 7 rounds)
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "config/uVersao.h"
#include "net/uHttpRetry.h"
#include "services/uAgentConfigSync.h"
#include "services/uAgentHeartbeat.h"

namespace {

constexpr const char* kToken = "tok-teste-1234567890";
constexpr double kLimiteRazao = 2.0;

double CpuMs() {
  FILETIME criado, fim, kernel, usuario;
  GetProcessTimes(GetCurrentProcess(), &criado, &fim, &kernel, &usuario);
  auto ms = [](const FILETIME& F) {
    ULARGE_INTEGER u;
    u.LowPart = F.dwLowDateTime;
    u.HighPart = F.dwHighDateTime;
    return static_cast<double>(u.QuadPart) / 10000.0;
  };
  return ms(kernel) + ms(usuario);
}

double AgoraMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

long long PicoKiB() {
  PROCESS_MEMORY_COUNTERS c{};
  c.cb = sizeof(c);
  GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof(c));
  return static_cast<long long>(c.PeakWorkingSetSize / 1024);
}

// "Automatically detect settings" on in the user's connection settings.
void LigarDeteccaoAutomatica() {
  HKEY k = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
                      L"Settings\\Connections",
                      0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return;
  // Version, counter, flags (direct | auto-detect), then empty proxy, bypass
  // and script address.
  DWORD blob[12] = {0x46, 1, 0x01 | 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  RegSetValueExW(k, L"DefaultConnectionSettings", 0, REG_BINARY,
                 reinterpret_cast<const BYTE*>(blob), sizeof blob);
  RegCloseKey(k);
}

bool DeteccaoLigada() {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&ie)) return false;
  if (ie.lpszAutoConfigUrl) GlobalFree(ie.lpszAutoConfigUrl);
  if (ie.lpszProxy) GlobalFree(ie.lpszProxy);
  if (ie.lpszProxyBypass) GlobalFree(ie.lpszProxyBypass);
  return ie.fAutoDetect != FALSE;
}

// The bare program: one session, two GETs, bodies read.
bool PassagemCrua(INTERNET_PORT APorta, const std::vector<std::wstring>& ACaminhos) {
  HINTERNET s = WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
  if (!s) return false;
  bool ok = true;
  for (const std::wstring& caminho : ACaminhos) {
    HINTERNET c = WinHttpConnect(s, L"127.0.0.1", APorta, 0);
    HINTERNET r = c ? WinHttpOpenRequest(c, L"GET", caminho.c_str(), nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                    : nullptr;
    ok = r && WinHttpSendRequest(r, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
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
    if (!ok) break;
  }
  WinHttpCloseHandle(s);
  return ok;
}

// As the main window's pass runs them.
void PassagemAgente() {
  TPassagemConfig passagem;
  TAgentConfigSync::Sincronizar();
  TAgentHeartbeat::EnviarHeartbeat(VersaoAgente());
}

struct TMedida {
  double CpuMs = 0, ParedeMs = 0;
};

double Mediana(std::vector<double> AValores) {
  std::sort(AValores.begin(), AValores.end());
  const size_t n = AValores.size();
  return n % 2 ? AValores[n / 2] : (AValores[n / 2 - 1] + AValores[n / 2]) / 2;
}

template <class F>
TMedida Medir(int APassagens, F&& APassagem) {
  const double cpu0 = CpuMs(), t0 = AgoraMs();
  for (int i = 0; i < APassagens; ++i) APassagem();
  return {(CpuMs() - cpu0) / APassagens, (AgoraMs() - t0) / APassagens};
}

}  // namespace

int main(int argc, char** argv) {
  const int passagens = argc > 1 ? std::max(1, std::atoi(argv[1])) : 80;
  const int rodadas = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const char* env = std::getenv("VESK_DEVSERVER");
  if (!env || !*env) {
    std::fprintf(stderr,
                 "wbench_http_passagem: VESK_DEVSERVER is not set (run through "
                 "tools/testenv.sh or ./run bench)\n");
    return 1;
  }
  std::string base = env;
  if (base.back() != '/') base += '/';
  const size_t dois = base.rfind(':');
  const auto porta = static_cast<INTERNET_PORT>(std::atoi(base.c_str() + dois + 1));

  LigarDeteccaoAutomatica();
  const bool deteccao = DeteccaoLigada();
  TConfigINI::EscreverTexto("SERVIDOR", "URL", base + "demo/intranet");
  TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", kToken);

  // One request with detection on: the first pays for the detection, the
  // later ones should not.
  double t0 = AgoraMs();
  const bool pedidoOk = !THttpRetry::GetText(base + "test/eco", 1).empty();
  const double primeiroMs = AgoraMs() - t0;
  t0 = AgoraMs();
  for (int i = 0; i < 5; ++i) THttpRetry::GetText(base + "test/eco", 1);
  const double seguintesMs = (AgoraMs() - t0) / 5;

  const std::vector<std::wstring> caminhos = {
      L"/demo/intranet/api/agent_config.php?api_token=" + std::wstring(kToken, kToken + 20),
      L"/demo/intranet/api/agent_heartbeat.php?api_token=" + std::wstring(kToken, kToken + 20) +
          L"&computador=PC&usuario=u&versao=1.0.115"};
  bool cruaOk = PassagemCrua(porta, caminhos);  // warms both up
  PassagemAgente();
  std::vector<double> razoes, cpuCrua, cpuAgente;
  TMedida crua, agente;
  for (int r = 0; r < rodadas; ++r) {
    const TMedida c = Medir(passagens, [&] { cruaOk = PassagemCrua(porta, caminhos) && cruaOk; });
    const TMedida a = Medir(passagens, PassagemAgente);
    cpuCrua.push_back(c.CpuMs);
    cpuAgente.push_back(a.CpuMs);
    razoes.push_back(c.CpuMs > 0 ? a.CpuMs / c.CpuMs : 0);
    crua.CpuMs += c.CpuMs / rodadas;
    crua.ParedeMs += c.ParedeMs / rodadas;
    agente.CpuMs += a.CpuMs / rodadas;
    agente.ParedeMs += a.ParedeMs / rodadas;
  }
  const double razao = crua.CpuMs > 0 ? agente.CpuMs / crua.CpuMs : 0;
  const auto [menor, maior] = std::minmax_element(razoes.begin(), razoes.end());

  // Peak memory of a text answer, against its size.
  const long long picoAntes = PicoKiB();
  const size_t tamanho = THttpRetry::GetText(base + "test/grande?mb=16", 1).size();
  const long long crescimento = PicoKiB() - picoAntes;

  std::printf("wbench_http_passagem: %d rounds of %d passes each, proxy auto-detection %s\n",
              rodadas, passagens, deteccao ? "on" : "OFF (the setting did not take)");
  std::printf("  one request with detection on: first %.1f ms, later %.1f ms each (wall)\n",
              primeiroMs, seguintesMs);
  std::printf("  bare WinHTTP pass (2 GETs): %.2f ms CPU (median %.2f), %.2f ms wall\n", crua.CpuMs,
              Mediana(cpuCrua), crua.ParedeMs);
  std::printf("  agent pass (sync + heartbeat): %.2f ms CPU (median %.2f), %.2f ms wall\n",
              agente.CpuMs, Mediana(cpuAgente), agente.ParedeMs);
  std::printf(
      "  CPU ratio agent/bare: %.2f over all rounds (limit %.1f); by round: median %.2f, "
      "%.2f to %.2f\n",
      razao, kLimiteRazao, Mediana(razoes), *menor, *maior);
  std::printf("  16 MiB text answer: %zu bytes, peak memory +%.1f MiB (%.2fx its size)\n", tamanho,
              crescimento / 1024.0,
              tamanho ? crescimento * 1024.0 / static_cast<double>(tamanho) : 0.0);
  if (!pedidoOk || !cruaOk || tamanho != 16u * 1024 * 1024) {
    std::fprintf(stderr, "wbench_http_passagem: a request failed\n");
    return 1;
  }
  if (razao > kLimiteRazao) {
    std::fprintf(stderr, "wbench_http_passagem: the agent's pass costs %.2fx the bare one\n",
                 razao);
    return 1;
  }
  return 0;
}
