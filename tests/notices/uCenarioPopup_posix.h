// A notice popup shown on the headless kit with a settable clock and media double.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "notices/uPopupMensagem.h"
#include "platform/uMci.h"
#include "platform/uShell.h"
#include "platform/ui/uKitHeadless.h"
#include "tests/support/uTestSupport.h"

class CenarioPopup : public ::testing::Test {
 protected:
  CenarioPopup() { ui::headless::Reiniciar(); }
  ~CenarioPopup() override { ui::headless::Reiniciar(); }

  // Runs Exibir; AAcao runs on every pass of the popup's wait, with the
  // milliseconds since the wait began. A popup still open after two minutes of
  // the fake clock ends the application, so that a fault fails instead of hanging.
  bool Exibir(const std::string& AMensagem, const std::string& AImagem,
              const std::function<void(TFrmPopupMensagem&, uint32_t)>& AAcao,
              const std::string& AAudio = "", const std::string& ALogo = "",
              const std::function<void()>& ANaoConfirmado = nullptr) {
    bool comecou = false;
    uint32_t inicio = 0;
    ui::headless::AoProcessarMensagens = [&] {
      TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
      if (!p || !p->EmEspera()) return;
      if (!comecou) {
        comecou = true;
        inicio = FRelogio.TickCount();
      }
      const uint32_t passado = FRelogio.TickCount() - inicio;
      if (passado > 120000) {
        ADD_FAILURE() << "the popup never closed";
        ui::app::Terminar();
        return;
      }
      AAcao(*p, passado);
    };
    const bool confirmado = TFrmPopupMensagem::Exibir("Vesk", "Aviso", AMensagem, ALogo, AImagem,
                                                      AAudio, ANaoConfirmado);
    ui::headless::AoProcessarMensagens = nullptr;
    return confirmado;
  }

  // Ticks the box and presses the button once the confirmation is released.
  static void ConfirmarQuandoLiberado(TFrmPopupMensagem& P) {
    if (!P.Liberado()) return;
    if (!P.chkConfirmacao->Marcado()) P.chkConfirmacao->Clicar();
    P.btnOK->Clicar();
  }

  // An audio file that the media double plays for AMs milliseconds from its open.
  std::string AudioDe(uint32_t AMs) {
    const std::string arquivo = FPasta / "som.mp3";
    GravarArquivoTeste(arquivo, "ID3");
    FMci.Responder = [this, AMs](const std::string& c, std::string& r) -> uint32_t {
      if (c.rfind("open ", 0) == 0) FInicioAudio = FRelogio.TickCount();
      if (c == "status VeskAudio mode")
        r = FRelogio.TickCount() - FInicioAudio < AMs ? "playing" : "stopped";
      return 0;
    };
    return arquivo;
  }

  TRelogioFalso FRelogio;
  SubstituirConcern<IRelogio> FSubRelogio{FRelogio};
  TMciGravador FMci;
  SubstituirConcern<IMci> FSubMci{FMci};
  TShellGravador FShell;
  SubstituirConcern<IShell> FSubShell{FShell};
  TPastaTemporaria FPasta;
  uint32_t FInicioAudio = 0;
};
