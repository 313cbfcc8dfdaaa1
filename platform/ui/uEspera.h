// Waits of the user-interface thread that keep its messages flowing: a piece of
// work done on a worker thread, and pauses. Both end at once when the program
// is ending (a log-off, "Sair", a restart or an update hand-over).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/uCancelamento.h"
#include "platform/uErros.h"

namespace ui {

// A wait that was let go because the program is ending. The work it waited
// for is abandoned: whatever follows it must not be recorded as done.
class EEsperaAbandonada : public EVesk {
 public:
  EEsperaAbandonada();
};

// One long-lived worker thread that runs the jobs handed to it in turn:
// starting a thread per request (its stack mapped and cleared) costs more than
// the request itself. The thread starts with the first job and is detached, so
// that a job hanging until its time-outs never holds up the program's end; a
// worker is therefore never destroyed (make it with new and keep it).
class TTrabalhadorDedicado {
 public:
  // From one thread only (the user-interface thread, for every worker here).
  void Entregar(std::function<void()> ATrabalho);

 private:
  struct TEstado;
  TEstado* FEstado = nullptr;
};

// True on the thread that owns the windows (the one that started the program).
bool NaThreadDaInterface();

// Runs ATrabalho on a worker thread. On the user-interface thread the caller
// waits processing its messages; elsewhere the work simply runs here. The
// work's exception reaches the caller as it was raised. When the program is
// ending, the work is cancelled (its request cut) and EEsperaAbandonada raised
// at once; the worker then ends by itself, so ATrabalho must own everything
// it touches (capture by value).
void ExecutarFora(std::function<void(TCancelamento& ACancelamento)> ATrabalho);

template <class F>
auto ExecutarForaComResultado(F ATrabalho) -> std::invoke_result_t<F, TCancelamento&> {
  using T = std::invoke_result_t<F, TCancelamento&>;
  auto resultado = std::make_shared<std::optional<T>>();
  ExecutarFora([resultado, ATrabalho = std::move(ATrabalho)](TCancelamento& C) mutable {
    resultado->emplace(ATrabalho(C));
  });
  return std::move(**resultado);
}

// A pause that processes messages on the user-interface thread (elsewhere a
// plain sleep). Raises EEsperaAbandonada when the program is ending.
void Pausar(uint32_t AMilissegundos);

// Raises EEsperaAbandonada when the program is ending.
void VerificarAbandono();

// While one lives, the user-interface thread waits on the employee (a notice
// popup, a link warning, the task panel), not on the network.
class TEsperaEmpregado {
 public:
  TEsperaEmpregado();
  ~TEsperaEmpregado();
  TEsperaEmpregado(const TEsperaEmpregado&) = delete;
  TEsperaEmpregado& operator=(const TEsperaEmpregado&) = delete;
};
bool EsperandoEmpregado();

// Workers still running (abandoned ones included).
int TrabalhosPendentes();
// Waits up to AMilissegundos for the workers to end; true when none is left.
bool AguardarTrabalhos(uint32_t AMilissegundos);

}  // namespace ui
