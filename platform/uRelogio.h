// Clock and sleep concern: local time, pauses and the tick count.
#pragma once

#include <cstdint>

#include "platform/uDataHora.h"
#include "platform/uSeam.h"

class IRelogio {
 public:
  virtual ~IRelogio() = default;
  virtual TDateTime Agora() = 0;               // local time
  virtual void Dormir(uint32_t AMilissegundos) = 0;
  virtual uint32_t TickCount() = 0;            // milliseconds since some start, wraps
};

IRelogio& ImplementacaoPadrao(SeamTag<IRelogio>);
inline IRelogio& Relogio() { return Seam<IRelogio>::Atual(); }
inline TDateTime Agora() { return Relogio().Agora(); }
