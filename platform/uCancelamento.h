// A cancel signal shared by a thread that waits for a piece of work and the
// worker that does it: the waiter cancels, the worker's blocking call is cut.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

class TCancelamento {
 public:
  bool Cancelado() const { return FCancelado.load(std::memory_order_acquire); }

  // Sets the signal and runs the registered abort, once.
  void Cancelar() {
    std::lock_guard<std::mutex> trava(FTrava);
    if (FCancelado.exchange(true, std::memory_order_acq_rel)) return;
    if (FAbortar) FAbortar();
  }

  // The worker says how to cut its blocking call (close the connection's
  // handle); it runs at once when the signal is already set. The abort runs
  // under the signal's lock, so it never races Desregistrar.
  void Registrar(std::function<void()> AAbortar) {
    std::lock_guard<std::mutex> trava(FTrava);
    FAbortar = std::move(AAbortar);
    if (FCancelado.load(std::memory_order_acquire) && FAbortar) FAbortar();
  }
  // After this no abort runs any more.
  void Desregistrar() {
    std::lock_guard<std::mutex> trava(FTrava);
    FAbortar = nullptr;
  }

 private:
  std::atomic<bool> FCancelado{false};
  std::mutex FTrava;
  std::function<void()> FAbortar;
};
