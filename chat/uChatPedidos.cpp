// The chat's requests on a worker thread, one at a time.
#include "chat/uChatPedidos.h"

#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "net/uEnderecosAgente.h"
#include "net/uHttpNet.h"
#include "platform/ui/uKit.h"

namespace {

struct TPedido {
  std::string URL;
  TPedidosChat::TAoConcluir AoConcluir;
};

// UI-thread state: the queue's head is the request in flight.
std::deque<TPedido> GFila;

void IniciarProximo();

void Concluir(TPedidosChat::TResultado AResultado) {
  // On the UI thread.
  TPedidosChat::TAoConcluir cb = std::move(GFila.front().AoConcluir);
  GFila.pop_front();
  try {
    if (cb) cb(AResultado);
  } catch (...) {
    // The handlers log their own failures; the queue goes on regardless.
  }
  if (!GFila.empty()) IniciarProximo();
}

void IniciarProximo() {
  const std::string url = GFila.front().URL;
  // Detached: a request that hangs until its time-outs must not hold up the
  // program's end; its outcome then finds no one to apply it to.
  try {
    // Read here, on the UI thread: the worker touches no configuration file.
    std::thread([url, hosts = HostsAutenticacaoIntegrada()] {
      TPedidosChat::TResultado r;
      try {
        r.Corpo = THttpNet::GetText(url, hosts);
        r.Ok = true;
      } catch (const std::exception& e) {
        r.Mensagem = e.what();
      } catch (...) {
        r.Mensagem = "Erro desconhecido.";
      }
      ui::app::Postar([r = std::move(r)]() mutable { Concluir(std::move(r)); });
    }).detach();
  } catch (const std::exception& e) {
    // No thread to be had: the request fails like one that got no answer.
    TPedidosChat::TResultado r;
    r.Mensagem = e.what();
    ui::app::Postar([r = std::move(r)]() mutable { Concluir(std::move(r)); });
  }
}

}  // namespace

void TPedidosChat::Enfileirar(const std::string& AURL, TAoConcluir AAoConcluir) {
  GFila.push_back({AURL, std::move(AAoConcluir)});
  if (GFila.size() == 1) IniciarProximo();
}

bool TPedidosChat::Ocupado() {
  return !GFila.empty();
}
