// What the size of the notice state costs a notice pass: one pass over 20
// notices this computer handled already (excluded, so each is only looked up
// and passed by), with 10,000 other keys in each state section, against the
// same pass with only the 20 notices' own keys. The answers come from a small
// loopback server of this program, so that the network costs the same in both.
// The state grows by a key or two per notice for as long as config.ini lives,
// so the loaded pass must stay under twice the light one.
//   bench_avisos_estado [PASSES]   (default 20 of each, the median compared)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "config/uConfigINI.h"
#include "net/uConvencoes.h"
#include "net/uJsonHelper.h"
#include "notices/uAgentMessages.h"
#include "notices/uEstadoMensagens.h"
#include "platform/uArquivos.h"
#include "platform/uRelogio.h"

namespace {

constexpr double kLimiteRazao = 2.0;
constexpr int kAvisos = 20;
constexpr int kChavesExtras = 10000;

double Agora_() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Answers every request with the same body and closes the connection.
class TServidorFixo {
 public:
  explicit TServidorFixo(std::string ACorpo) : FCorpo(std::move(ACorpo)) {
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    int um = 1;
    setsockopt(FSocket, SOL_SOCKET, SO_REUSEADDR, &um, sizeof um);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (bind(FSocket, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(FSocket, 16) != 0) {
      std::perror("bench: listen");
      std::exit(1);
    }
    socklen_t n = sizeof a;
    getsockname(FSocket, reinterpret_cast<sockaddr*>(&a), &n);
    FPorta = ntohs(a.sin_port);
    FThread = std::thread([this] { Servir(); });
  }
  ~TServidorFixo() {
    FParar = true;
    shutdown(FSocket, SHUT_RDWR);
    close(FSocket);
    FThread.join();
  }
  int Porta() const { return FPorta; }

 private:
  void Servir() {
    const std::string resposta =
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
        "Connection: close\r\nContent-Length: " +
        std::to_string(FCorpo.size()) + "\r\n\r\n" + FCorpo;
    while (!FParar) {
      const int c = accept(FSocket, nullptr, nullptr);
      if (c < 0) continue;
      std::string pedido;
      char buf[4096];
      while (pedido.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = read(c, buf, sizeof buf);
        if (n <= 0) break;
        pedido.append(buf, static_cast<size_t>(n));
      }
      size_t feito = 0;
      while (feito < resposta.size()) {
        const ssize_t n = write(c, resposta.data() + feito, resposta.size() - feito);
        if (n <= 0) break;
        feito += static_cast<size_t>(n);
      }
      close(c);
    }
  }

  std::string FCorpo;
  int FSocket = -1;
  int FPorta = 0;
  std::atomic<bool> FParar{false};
  std::thread FThread;
};

// config.ini with the 20 notices processed and excluded, and AExtras other keys
// in each of the three sections.
void EscreverEstado(int AExtras) {
  const std::string pc = ObterNomeComputadorMaiusculo();
  std::string ini = TConfigINI::LerTexto("SERVIDOR", "URL", "");
  ini =
      "[SERVIDOR]\r\nURL=" + ini + "\r\nAPI_TOKEN=tok-bench-0123456789\r\n[LOG]\r\nDETALHADO=1\r\n";
  for (const char* secao : {kSecaoProcessadas, kSecaoExcluidas}) {
    ini += std::string("[") + secao + "]\r\n";
    for (int i = 0; i < AExtras; ++i)
      ini += "mensagens:" + std::to_string(100000 + i) + ":" + pc + "=2025-03-05 14:07:09\r\n";
    for (int i = 1; i <= kAvisos; ++i)
      ini += "avisos:" + std::to_string(i) + ":" + pc + "=2025-03-05 14:07:09\r\n";
  }
  ini += std::string("[") + kSecaoControle + "]\r\n";
  for (int i = 0; i < AExtras; ++i) ini += "OUTRA_" + std::to_string(i) + "=0\r\n";
  ini += "ULTIMO_ID_ENTREGUE=" + std::to_string(kAvisos) + "\r\nULTIMA_ATUALIZACAO=x\r\n";
  if (!Arquivos().Gravar(TConfigINI::ArquivoConfig(), ini)) {
    std::fprintf(stderr, "bench: cannot write config.ini\n");
    std::exit(1);
  }
}

double Mediana(std::vector<double> A) {
  std::sort(A.begin(), A.end());
  return A[A.size() / 2];
}

// Median seconds of one pass.
double Medir(int AExtras, int APassos, const std::string& AURL) {
  TConfigINI::EscreverTexto("SERVIDOR", "URL", AURL);
  EscreverEstado(AExtras);
  TAgentMessages::VerificarMensagens();  // warm-up
  std::vector<double> t;
  for (int i = 0; i < APassos; ++i) {
    const double t0 = Agora_();
    TAgentMessages::VerificarMensagens();
    t.push_back(Agora_() - t0);
  }
  if (!MensagemExcluida("avisos", kAvisos) || LerUltimoIdEntregue() != kAvisos) {
    std::fprintf(stderr, "bench: the state changed under the pass\n");
    std::exit(1);
  }
  return Mediana(t);
}

}  // namespace

int main(int argc, char** argv) {
  const int passos = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  char modelo[] = "/tmp/vesk-bench-avisos.XXXXXX";
  if (!mkdtemp(modelo)) return 1;
  const std::string pasta = std::string(modelo) + "/";
  setenv("VESK_PASTA_BASE", pasta.c_str(), 1);

  // Today's notices, already read on the server, and a linked computer.
  const std::string hoje = FormatarDataHora("yyyy-mm-dd", Agora()) + " 08:00:00";
  std::string avisos;
  for (int i = 1; i <= kAvisos; ++i)
    avisos += std::string(i > 1 ? "," : "") + "{\"id\":" + std::to_string(i) +
              ",\"source_table\":\"avisos\",\"titulo\":\"Aviso " + std::to_string(i) +
              "\",\"mensagem\":\"Texto\",\"created_at\":\"" + hoje +
              "\",\"lida\":true,\"ja_lida\":true}";
  TServidorFixo servidor(
      "{\"ok\":true,\"success\":true,\"vinculado\":true,\"cpf_pendente\":false,"
      "\"empresa\":\"Vesk\",\"mensagens\":[" +
      avisos + "]}");
  const std::string url = "http://127.0.0.1:" + std::to_string(servidor.Porta()) + "/intranet/";

  const double leve = Medir(0, passos, url);
  const double pesado = Medir(kChavesExtras, passos, url);
  const double razao = leve > 0 ? pesado / leve : 0;
  std::printf(
      "notice pass over %d handled notices: %.2f ms with their keys only, %.2f ms with "
      "%d more keys in each state section; ratio %.2f (limit %.1f)\n",
      kAvisos, leve * 1000, pesado * 1000, kChavesExtras, razao, kLimiteRazao);
  std::string rm = "rm -rf '" + std::string(modelo) + "'";
  if (std::system(rm.c_str()) != 0) std::fprintf(stderr, "bench: %s failed\n", rm.c_str());
  if (razao >= kLimiteRazao) {
    std::printf("FAIL: the state's size costs the pass too much\n");
    return 1;
  }
  std::printf("ok\n");
  return 0;
}
