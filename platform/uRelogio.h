// Clock and sleep concern: local time, pauses and the tick count.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

#include "platform/uDataHora.h"
#include "platform/uSeam.h"

class IRelogio {
 public:
  virtual ~IRelogio() = default;
  virtual TDateTime Agora() = 0;  // local time
  virtual void Dormir(uint32_t AMilissegundos) = 0;
  virtual uint32_t TickCount() = 0;  // milliseconds since some start, wraps
  // A pause of AMilissegundos during which AEntre runs every few milliseconds
  // (the user-interface thread processes its messages there); AEntre returning
  // false ends the pause early. A settable clock may do it in one step.
  virtual void DormirEntre(uint32_t AMilissegundos, const std::function<bool()>& AEntre) {
    const uint32_t inicio = TickCount();
    for (;;) {
      if (!AEntre()) return;
      const uint32_t passou = TickCount() - inicio;
      if (passou >= AMilissegundos) return;
      Dormir(std::min<uint32_t>(AMilissegundos - passou, kFatiaMs));
    }
  }
  static constexpr uint32_t kFatiaMs = 10;
};

IRelogio& ImplementacaoPadrao(SeamTag<IRelogio>);
inline IRelogio& Relogio() {
  return Seam<IRelogio>::Atual();
}
inline TDateTime Agora() {
  return Relogio().Agora();
}
