// The agent's icon in the notification area and the window's moves to and from it.
#pragma once

#include <cstdint>

#include "platform/ui/uKit.h"

enum class TTrayClick { tcNenhum, tcDuploClique, tcBotaoDireito };

class TTrayAgent {
 public:
  // The tray callback message (WM_USER + 445).
  static constexpr uint32_t kMensagemBandeja = 1469;
  static constexpr uint32_t kIdIcone = 1;

  // Adds the icon (NIM_ADD) the first time, refreshes it (NIM_MODIFY) afterwards.
  static void Adicionar(ui::TJanela* AForm);
  static void Remover(ui::TJanela* AForm);
  // Icon ensured, window hidden, state normal.
  static void Minimizar(ui::TJanela* AForm);
  // Window shown, state normal, brought to the foreground.
  static void Restaurar(ui::TJanela* AForm);
  // What the mouse message carried in the callback's lParam asks for.
  static TTrayClick ProcessarMensagem(intptr_t ALParam);

  // The shell broadcasts the registered "TaskbarCreated" message when it
  // (re)starts; every icon it showed before is gone by then.
  static uint32_t MensagemTaskbarCreated();
  // Adds the icon again after the shell restarted, when it had been added.
  static void RecriarIcone(ui::TJanela* AForm);

  static bool IconeAdicionado();
};
