// devserver: the development intranet and chat server on 127.0.0.1 (entry point).
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "tools/devserver/uRotasTeste.h"
#include "tools/devserver/uServidor.h"
#include "tools/devserver/uTls.h"

namespace {

thread_local std::string tAceitaCodificacao;
thread_local std::string tHoraChegada;

void Uso() {
  std::cerr << "usage: devserver [--port N] [--port-file FILE] [--scenario FILE] [--media DIR]\n"
               "                 [--base /demo/intranet/] [--chat-base /chat/]\n"
               "                 [--tls-port-file FILE]\n"
               "       devserver --selftest [--scenario FILE]\n"
               "       devserver --generate-media DIR\n";
}

std::string ComBarras(std::string B) {
  if (B.empty() || B.front() != '/') B.insert(B.begin(), '/');
  if (B.back() != '/') B += '/';
  return B;
}

bool EscreverPorta(const std::string& AArquivo, int APorta) {
  std::string Tmp = AArquivo + ".tmp";
  {
    std::ofstream F(Tmp, std::ios::trunc);
    if (!F) return false;
    F << APorta;
  }
  // Readers poll for a non-empty file: the rename makes the number appear whole.
  return std::rename(Tmp.c_str(), AArquivo.c_str()) == 0;
}

}  // namespace

void MontarServidor(httplib::Server& S, TServidor& AServ) {
  S.new_task_queue = [] { return new httplib::ThreadPool(48); };
  S.set_keep_alive_timeout(2);
  S.set_pre_routing_handler([](const httplib::Request& Req, httplib::Response&) {
    tHoraChegada = HoraRegistro();
    // Answers are compressed only when a fault asks for it, so httplib must not see
    // what the client accepts; the record still shows the header.
    tAceitaCodificacao = Req.get_header_value("Accept-Encoding");
    const_cast<httplib::Request&>(Req).headers.erase("Accept-Encoding");
    return httplib::Server::HandlerResponse::Unhandled;
  });
  S.set_post_routing_handler([&AServ](const httplib::Request& Req, httplib::Response&) {
    if (Req.path.rfind("/test/", 0) != 0) return;  // the other routes record themselves
    TPedido P = MontarPedido(Req);
    P.Hora = tHoraChegada;
    AServ.Registrar(P);
  });
  RegistrarRotasTeste(S);
  RegistrarRotasAdmin(S, AServ);
  RegistrarRotasPrincipais(S, AServ);
}

std::string AceitaCodificacaoOriginal() {
  return tAceitaCodificacao;
}

int main(int argc, char** argv) {
  TServidor Serv;
  int Porta = 0;
  std::string ArquivoPorta, ArquivoPortaTls, Media;
  bool AutoTeste = false;
  for (int I = 1; I < argc; ++I) {
    std::string A = argv[I];
    auto Proximo = [&]() -> std::string {
      if (I + 1 >= argc) {
        Uso();
        std::exit(2);
      }
      return argv[++I];
    };
    if (A == "--port") {
      Porta = std::atoi(Proximo().c_str());
    } else if (A == "--port-file") {
      ArquivoPorta = Proximo();
    } else if (A == "--tls-port-file") {
      ArquivoPortaTls = Proximo();
    } else if (A == "--scenario") {
      Serv.ArquivoCenario = Proximo();
    } else if (A == "--media") {
      Media = Proximo();
    } else if (A == "--base") {
      Serv.Base = ComBarras(Proximo());
    } else if (A == "--chat-base") {
      Serv.ChatBase = ComBarras(Proximo());
    } else if (A == "--selftest") {
      AutoTeste = true;
    } else if (A == "--generate-media") {
      std::string Erro;
      if (!GerarMidia(Proximo(), Erro)) {
        std::cerr << "devserver: " << Erro << "\n";
        return 1;
      }
      return 0;
    } else {
      Uso();
      return 2;
    }
  }
  if (AutoTeste) return ExecutarAutoTeste(Serv.ArquivoCenario);

  namespace fs = std::filesystem;
  if (Media.empty())
    Media = Serv.ArquivoCenario.empty()
                ? "tools/devserver/media"
                : (fs::path(Serv.ArquivoCenario).parent_path().parent_path() / "media").string();
  Serv.PastaMidia = Media;
  std::string Erro;
  if (!Serv.CarregarCenario(Erro)) {
    std::cerr << "devserver: " << Erro << "\n";
    return 1;
  }

  // Signals are taken by one thread with sigwait, so that stopping runs outside a
  // signal handler; every thread created from here on inherits the mask.
  sigset_t Sinais;
  sigemptyset(&Sinais);
  sigaddset(&Sinais, SIGINT);
  sigaddset(&Sinais, SIGTERM);
  sigaddset(&Sinais, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &Sinais, nullptr);
  signal(SIGPIPE, SIG_IGN);

  httplib::Server S;
  MontarServidor(S, Serv);
  int Real = Porta == 0 ? S.bind_to_any_port("127.0.0.1")
                        : (S.bind_to_port("127.0.0.1", Porta) ? Porta : -1);
  if (Real <= 0) {
    std::cerr << "devserver: cannot listen on 127.0.0.1:" << Porta << "\n";
    return 1;
  }
  Serv.Porta = Real;
  if (!ArquivoPorta.empty() && !EscreverPorta(ArquivoPorta, Real)) {
    std::cerr << "devserver: cannot write " << ArquivoPorta << "\n";
    return 1;
  }
  std::cerr << "devserver: listening on http://127.0.0.1:" << Real << Serv.Base << " (chat "
            << Serv.ChatBase << ")\n";

  // The HTTPS listener: the same routes on a free port of its own.
  std::unique_ptr<httplib::SSLServer> Tls;
  std::thread FioTls;
  if (!ArquivoPortaTls.empty()) {
    Tls = CriarServidorTls(Erro);
    if (!Tls) {
      std::cerr << "devserver: " << Erro << "\n";
      return 1;
    }
    MontarServidor(*Tls, Serv);
    const int PortaTls = Tls->bind_to_any_port("127.0.0.1");
    if (PortaTls <= 0) {
      std::cerr << "devserver: cannot listen with TLS on 127.0.0.1\n";
      return 1;
    }
    if (!EscreverPorta(ArquivoPortaTls, PortaTls)) {
      std::cerr << "devserver: cannot write " << ArquivoPortaTls << "\n";
      return 1;
    }
    std::cerr << "devserver: listening on https://127.0.0.1:" << PortaTls
              << "/ (self-signed certificate)\n";
    FioTls = std::thread([&] { Tls->listen_after_bind(); });
  }

  std::thread Vigia([&] {
    int Sinal = 0;
    sigwait(&Sinais, &Sinal);
    Serv.Parar();
    S.stop();
    if (Tls) Tls->stop();
    // Open keep-alive connections make httplib wait for their time-out; a short
    // grace is enough for answers already being written.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::fflush(nullptr);
    _exit(0);
  });
  S.listen_after_bind();
  // Stopped without a signal: wake the watcher.
  kill(getpid(), SIGTERM);
  Vigia.join();
  if (FioTls.joinable()) FioTls.join();
  return 0;
}
