// Waits of the user-interface thread that keep its messages flowing.
#include "platform/ui/uEspera.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/uRelogio.h"
#include "platform/ui/uKit.h"

namespace ui {

namespace {

// Static initialisation runs on the thread that starts the program, which is
// the one that creates and owns every window.
const std::thread::id kThreadInterface = std::this_thread::get_id();

// How often the waiting thread looks at its messages: well under what a
// person notices, and what the popup's own wait uses.
constexpr auto kFatia = std::chrono::milliseconds(10);

std::atomic<int> GPendentes{0};
std::mutex GTravaPendentes;
std::condition_variable GFimPendente;

struct TEstadoTrabalho {
  std::function<void(TCancelamento&)> Trabalho;
  TCancelamento Cancelamento;
  std::mutex Trava;
  std::condition_variable Pronto;
  bool Concluido = false;
  std::exception_ptr Erro;
};

void Executar(TEstadoTrabalho& AEstado) {
  try {
    AEstado.Trabalho(AEstado.Cancelamento);
  } catch (...) {
    AEstado.Erro = std::current_exception();
  }
  // What the work held goes with it, and the count drops, before the
  // waiter is told: whatever it does next sees no transfer of this one.
  AEstado.Trabalho = nullptr;
  {
    std::lock_guard<std::mutex> trava(GTravaPendentes);
    --GPendentes;
    GFimPendente.notify_all();
  }
  std::lock_guard<std::mutex> trava(AEstado.Trava);
  AEstado.Concluido = true;
  AEstado.Pronto.notify_all();
}

// One long-lived worker takes the transfers in turn. Transfers never overlap,
// so a job waits only behind an abandoned one, as the next transfer did before.
void Entregar(std::shared_ptr<TEstadoTrabalho> AEstado) {
  static ui::TTrabalhadorDedicado* t = new ui::TTrabalhadorDedicado;
  t->Entregar([AEstado = std::move(AEstado)] { Executar(*AEstado); });
}

}  // namespace

struct TTrabalhadorDedicado::TEstado {
  std::mutex Trava;
  std::condition_variable Chegou;
  std::deque<std::function<void()>> Fila;
};

void TTrabalhadorDedicado::Entregar(std::function<void()> ATrabalho) {
  if (!FEstado) {
    // A thread that cannot start leaves the worker as it was, for a later try.
    auto* e = new TEstado;
    try {
      std::thread([e] {
        for (;;) {
          std::function<void()> trabalho;
          {
            std::unique_lock<std::mutex> espera(e->Trava);
            e->Chegou.wait(espera, [&] { return !e->Fila.empty(); });
            trabalho = std::move(e->Fila.front());
            e->Fila.pop_front();
          }
          trabalho();
        }
      }).detach();
    } catch (...) {
      delete e;
      throw;
    }
    FEstado = e;
  }
  std::lock_guard<std::mutex> trava(FEstado->Trava);
  FEstado->Fila.push_back(std::move(ATrabalho));
  FEstado->Chegou.notify_one();
}

EEsperaAbandonada::EEsperaAbandonada()
    : EVesk("A espera foi abandonada: o agente esta encerrando.", "EEsperaAbandonada") {}

bool NaThreadDaInterface() {
  return std::this_thread::get_id() == kThreadInterface;
}

void VerificarAbandono() {
  if (NaThreadDaInterface() && app::Terminando()) throw EEsperaAbandonada();
}

void ExecutarFora(std::function<void(TCancelamento& ACancelamento)> ATrabalho) {
  if (!NaThreadDaInterface()) {
    // A worker of its own (the chat's) already keeps the windows free.
    TCancelamento nenhum;
    ATrabalho(nenhum);
    return;
  }
  VerificarAbandono();
  // One transfer of the user-interface thread at a time, in the order asked:
  // a nested wait (a button pressed while the pass waits) lets the transfer
  // it interrupted finish first.
  while (GPendentes.load() > 0) {
    app::ProcessarMensagens();
    VerificarAbandono();
    std::unique_lock<std::mutex> trava(GTravaPendentes);
    GFimPendente.wait_for(trava, kFatia);
  }
  auto estado = std::make_shared<TEstadoTrabalho>();
  estado->Trabalho = std::move(ATrabalho);
  ++GPendentes;
  try {
    Entregar(estado);
  } catch (...) {
    --GPendentes;
    throw;
  }
  for (;;) {
    {
      std::unique_lock<std::mutex> trava(estado->Trava);
      if (estado->Pronto.wait_for(trava, kFatia, [&] { return estado->Concluido; })) break;
    }
    app::ProcessarMensagens();
    if (app::Terminando()) {
      estado->Cancelamento.Cancelar();
      throw EEsperaAbandonada();
    }
  }
  if (estado->Erro) std::rethrow_exception(estado->Erro);
}

void Pausar(uint32_t AMilissegundos) {
  if (!NaThreadDaInterface()) {
    Relogio().Dormir(AMilissegundos);
    return;
  }
  VerificarAbandono();
  bool abandonada = false;
  Relogio().DormirEntre(AMilissegundos, [&] {
    app::ProcessarMensagens();
    abandonada = app::Terminando();
    return !abandonada;
  });
  if (abandonada) throw EEsperaAbandonada();
}

namespace {
int GEsperasEmpregado = 0;  // the user-interface thread's only
}  // namespace

TEsperaEmpregado::TEsperaEmpregado() {
  ++GEsperasEmpregado;
}
TEsperaEmpregado::~TEsperaEmpregado() {
  --GEsperasEmpregado;
}
bool EsperandoEmpregado() {
  return GEsperasEmpregado > 0;
}

int TrabalhosPendentes() {
  return GPendentes.load();
}

bool AguardarTrabalhos(uint32_t AMilissegundos) {
  std::unique_lock<std::mutex> trava(GTravaPendentes);
  return GFimPendente.wait_for(trava, std::chrono::milliseconds(AMilissegundos),
                               [] { return GPendentes.load() == 0; });
}

}  // namespace ui
