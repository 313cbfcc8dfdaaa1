// CPU of the idle agent's chat bubble on real windows (run under Wine by
// ./run bench): the bubble polling the unread count every 3 seconds against a
// chat server on loopback that answers at once, against the bare 3-second
// timer of an idle message loop. The server runs in this process on a thread
// of its own, whose CPU is taken out of the bubble's figure. The wineserver's
// share (window and socket calls under Wine) is not in either figure.
//   wbench_chat_ocioso [SECONDS]   (default 30 for each of the two)
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "chat/uChatFloat.h"
#include "chat/uChatPedidos.h"
#include "config/uConfigINI.h"
#include "platform/ui/uKit.h"

namespace {

std::atomic<int> GPedidos{0};
SOCKET GEscuta = INVALID_SOCKET;

// The chat server: every request gets the same short answer, then the
// connection closes.
DWORD WINAPI Servidor(void*) {
  const std::string corpo = "{\"ok\":true,\"unread\":0}";
  const std::string resposta =
      "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
      std::to_string(corpo.size()) + "\r\nConnection: close\r\n\r\n" + corpo;
  for (;;) {
    SOCKET c = accept(GEscuta, nullptr, nullptr);
    if (c == INVALID_SOCKET) return 0;
    std::string pedido;
    char buf[2048];
    while (pedido.find("\r\n\r\n") == std::string::npos) {
      const int n = recv(c, buf, sizeof(buf), 0);
      if (n <= 0) break;
      pedido.append(buf, static_cast<size_t>(n));
    }
    send(c, resposta.data(), static_cast<int>(resposta.size()), 0);
    shutdown(c, SD_SEND);
    closesocket(c);
    ++GPedidos;
  }
}

double Segundos(const FILETIME& A) {
  ULARGE_INTEGER u;
  u.LowPart = A.dwLowDateTime;
  u.HighPart = A.dwHighDateTime;
  return static_cast<double>(u.QuadPart) / 1e7;
}

// User plus kernel time of the process, or of one thread, in seconds.
double CpuProcesso() {
  FILETIME c, s, k, u;
  GetProcessTimes(GetCurrentProcess(), &c, &s, &k, &u);
  return Segundos(k) + Segundos(u);
}
double CpuThread(HANDLE AThread) {
  FILETIME c, s, k, u;
  GetThreadTimes(AThread, &c, &s, &k, &u);
  return Segundos(k) + Segundos(u);
}

// The message loop as the agent runs it when idle, for AMs.
void Ocioso(DWORD AMs) {
  const DWORD t0 = GetTickCount();
  while (GetTickCount() - t0 < AMs) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    ui::app::ProcessarMensagens();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int segundos = argc > 1 ? std::max(6, std::atoi(argv[1])) : 30;
  const DWORD ms = static_cast<DWORD>(segundos) * 1000;
  ui::app::DefinirTitulo("Zelvan");

  WSADATA w;
  WSAStartup(MAKEWORD(2, 2), &w);
  GEscuta = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(GEscuta, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(GEscuta, 8) != 0) {
    std::fprintf(stderr, "wbench_chat_ocioso: no loopback port\n");
    return 1;
  }
  int n = sizeof(a);
  getsockname(GEscuta, reinterpret_cast<sockaddr*>(&a), &n);
  HANDLE servidor = CreateThread(nullptr, 0, Servidor, nullptr, 0, nullptr);
  TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", "tok-bench-1234567890");
  TConfigINI::EscreverTexto("CHAT", "URL",
                            "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/chat/");

  // The bare 3-second timer.
  int ticks = 0;
  {
    ui::TTemporizador t;
    t.AoDisparar = [&] { ++ticks; };
    t.DefinirIntervalo(3000);
    t.DefinirHabilitado(true);
    Ocioso(1000);
    const double c0 = CpuProcesso();
    Ocioso(ms);
    const double nu = CpuProcesso() - c0;
    std::printf("bare 3-second timer: %.1f ms CPU in %d s (%.3f%% of a core), %d ticks\n",
                nu * 1000, segundos, nu * 100 / segundos, ticks);
  }

  // The bubble, after its keep-visible ticks (6.4 s) and first poll.
  TVeskChatFloat::Iniciar();
  Ocioso(7500);
  const int p0 = GPedidos;
  const double c0 = CpuProcesso(), s0 = CpuThread(servidor);
  Ocioso(ms);
  const double total = CpuProcesso() - c0, srv = CpuThread(servidor) - s0;
  const double balao = total - srv;
  const int polls = GPedidos - p0;
  std::printf(
      "bubble polling every 3 s: %.1f ms CPU in %d s (%.3f%% of a core), %d polls answered, "
      "%.2f ms per poll; the server thread took %.1f ms more\n",
      balao * 1000, segundos, balao * 100 / segundos, polls, polls ? balao * 1000 / polls : 0.0,
      srv * 1000);
  TVeskChatFloat::Finalizar();
  closesocket(GEscuta);
  WaitForSingleObject(servidor, 2000);
  // Each 3-second tick must have polled: fewer means the figure measures less
  // than the bubble does.
  if (polls < segundos / 3 - 1) {
    std::fprintf(stderr, "wbench_chat_ocioso: only %d polls in %d s\n", polls, segundos);
    return 1;
  }
  return 0;
}
