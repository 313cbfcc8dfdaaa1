// CPU that the notice popup's wait costs while it waits for the employee: the
// real Exibir on the headless kit with the real clock, so every pass of the
// wait really sleeps, timed by the process's own CPU clock over a few seconds
// of wall time. The wait runs for as long as a notice stays unconfirmed, so it
// must stay well under 1 % of one core. For scale, the same wall time of bare
// 20 ms sleeps is measured too: that much any waiting loop of this kind pays.
//   bench_popup_espera [SECONDS]   (default 5 for each of the two measures)
#include <time.h>

#include <cstdio>
#include <cstdlib>

#include "notices/uPopupMensagem.h"
#include "platform/uRelogio.h"
#include "platform/ui/uKitHeadless.h"

namespace {

constexpr double kLimitePorcento = 1.0;

double Segundos(clockid_t ARelogio) {
  timespec t{};
  clock_gettime(ARelogio, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct TMedida {
  double Parede = 0;  // seconds of wall time
  double Cpu = 0;     // seconds of process CPU time, user and system
  long Passagens = 0;
  double Porcento() const { return Parede > 0 ? Cpu / Parede * 100.0 : 0; }
};

// The popup shown and left waiting for ADuracao seconds, then confirmed as the
// employee would. The measure starts at the first pass of the wait, once the
// window is built.
TMedida MedirEspera(double ADuracao) {
  ui::headless::Reiniciar();
  TMedida m;
  bool comecou = false, terminou = false;
  double parede0 = 0, cpu0 = 0;
  ui::headless::AoProcessarMensagens = [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    // The release raises the window, which processes messages once more.
    if (terminou || !p || !p->EmEspera()) return;
    const double agora = Segundos(CLOCK_MONOTONIC);
    if (!comecou) {
      comecou = true;
      parede0 = agora;
      cpu0 = Segundos(CLOCK_PROCESS_CPUTIME_ID);
      return;
    }
    ++m.Passagens;
    if (agora - parede0 < ADuracao) return;
    m.Cpu = Segundos(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    m.Parede = agora - parede0;
    terminou = true;
    p->TimerConfirmacaoTimer();
    p->chkConfirmacao->Clicar();
    p->btnOK->Clicar();
  };
  TFrmPopupMensagem::Exibir("Vesk", "Aviso", "Mensagem de teste da espera do popup.", "", "", "");
  ui::headless::AoProcessarMensagens = nullptr;
  return m;
}

// Nothing but the clock concern's 20 ms sleeps for the same wall time.
TMedida MedirSoPausas(double ADuracao) {
  TMedida m;
  const double parede0 = Segundos(CLOCK_MONOTONIC), cpu0 = Segundos(CLOCK_PROCESS_CPUTIME_ID);
  double agora = parede0;
  while (agora - parede0 < ADuracao) {
    Relogio().Dormir(20);
    ++m.Passagens;
    agora = Segundos(CLOCK_MONOTONIC);
  }
  m.Cpu = Segundos(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  m.Parede = agora - parede0;
  return m;
}

void Imprimir(const char* ANome, const TMedida& M) {
  std::printf(
      "%-22s %6.2f s wall, %4ld passes (%4.1f/s), CPU %7.3f ms per second = %6.3f %% of one core\n",
      ANome, M.Parede, M.Passagens, M.Passagens / M.Parede, M.Cpu / M.Parede * 1000.0,
      M.Porcento());
}

}  // namespace

int main(int argc, char** argv) {
  const double duracao = argc > 1 ? std::atof(argv[1]) : 5.0;
  const TMedida espera = MedirEspera(duracao);
  if (espera.Parede <= 0) {
    std::fprintf(stderr, "bench_popup_espera: the popup's wait was never seen\n");
    return 1;
  }
  const TMedida pausas = MedirSoPausas(duracao);
  Imprimir("popup wait", espera);
  Imprimir("bare 20 ms sleeps", pausas);
  std::printf("popup wait: %.3f %% of one core (limit %.1f %%): %s\n", espera.Porcento(),
              kLimitePorcento, espera.Porcento() < kLimitePorcento ? "ok" : "ABOVE THE LIMIT");
  return espera.Porcento() < kLimitePorcento ? 0 : 1;
}
