// The chat's requests on a worker thread, one at a time.
#include "chat/uChatPedidos.h"

#include <deque>
#include <exception>
#include <functional>
#include <utility>

#include "net/uEnderecosAgente.h"
#include "net/uHttpNet.h"
#include "platform/ui/uEspera.h"
#include "platform/ui/uKit.h"

namespace {

struct TPedido {
  std::string URL;
  TPedidosChat::TAoConcluir AoConcluir;
};

// UI-thread state: the requests waiting, and the one in flight. The flag, not
// the queue, says whether one is in flight: a handler that processes messages
// can queue (and so start) the next request before its own result is done
// with, and that request must not be started a second time.
std::deque<TPedido> GFila;
TPedidosChat::TAoConcluir GAtual;
bool GEmVoo = false;

void IniciarProximo();

// The chat's own long-lived worker, not the pass's, so that a poll never waits
// behind the pass's transfers. A request that hangs until its time-outs finds,
// when it ends, no one to apply its outcome to.
void Entregar(std::function<void()> ATrabalho) {
  static ui::TTrabalhadorDedicado* t = new ui::TTrabalhadorDedicado;
  t->Entregar(std::move(ATrabalho));
}

void Concluir(TPedidosChat::TResultado AResultado) {
  // On the UI thread.
  if (!GEmVoo) return;
  TPedidosChat::TAoConcluir cb = std::move(GAtual);
  GAtual = nullptr;
  GEmVoo = false;
  try {
    if (cb) cb(AResultado);
  } catch (...) {
    // The handlers log their own failures; the queue goes on regardless.
  }
  if (!GEmVoo && !GFila.empty()) IniciarProximo();
}

void IniciarProximo() {
  TPedido pedido = std::move(GFila.front());
  GFila.pop_front();
  GAtual = std::move(pedido.AoConcluir);
  GEmVoo = true;
  const std::string url = std::move(pedido.URL);
  try {
    // Read here, on the UI thread: the worker touches no configuration file.
    Entregar([url, hosts = HostsAutenticacaoIntegrada()] {
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
    });
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
  if (!GEmVoo) IniciarProximo();
}

bool TPedidosChat::Ocupado() {
  return GEmVoo || !GFila.empty();
}
