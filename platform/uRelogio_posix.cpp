// Clock and sleep on POSIX.
#include <ctime>

#include "platform/uRelogio.h"

namespace {

class TRelogioPosix final : public IRelogio {
 public:
  TDateTime Agora() override {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    TPartesDataHora p;
    p.Ano = local.tm_year + 1900;
    p.Mes = local.tm_mon + 1;
    p.Dia = local.tm_mday;
    p.Hora = local.tm_hour;
    p.Minuto = local.tm_min;
    p.Segundo = local.tm_sec;
    p.Milissegundo = static_cast<int>(ts.tv_nsec / 1000000);
    return CodificarDataHora(p);
  }
  void Dormir(uint32_t AMilissegundos) override {
    timespec ts{static_cast<time_t>(AMilissegundos / 1000),
                static_cast<long>(AMilissegundos % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
  }
  uint32_t TickCount() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(ts.tv_sec * 1000ULL + ts.tv_nsec / 1000000ULL);
  }
};

}  // namespace

IRelogio& ImplementacaoPadrao(SeamTag<IRelogio>) {
  static TRelogioPosix r;
  return r;
}
