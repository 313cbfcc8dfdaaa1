// The chat toast: a card at the lower right announcing a new message; a click
// anywhere opens the chat and closes it, otherwise it closes after 7 seconds.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/uKit.h"

class TFrmChatToast : public ui::TJanela {
 public:
  using TEventoNotificacao = std::function<void(void* ASender)>;

  // Built hidden; the caller shows it.
  static TFrmChatToast* CreateToast(ui::TJanela* AOwner, const std::string& ANome,
                                    const std::string& AMensagem, int AQtd,
                                    TEventoNotificacao AOnClickOpen);
  ~TFrmChatToast() override;

  // The texts the card shows; the name and the message cut at kMaxTexto.
  static std::string TextoTitulo(const std::string& ANome);
  static std::string TextoContagem(int AQtd);
  static std::string TextoPreview(const std::string& AMensagem);
  static std::string TextoBadge(int AQtd);

  // A handler of the toast is running (its click): it may not be freed now.
  bool EmManipulador() const { return FEmManipulador; }
  void Pintar(ui::TCanvas& ACanvas) const;

  static constexpr int kLargura = 430, kAltura = 158;
  // Characters of the sender and of the preview kept for the card (and the log).
  static constexpr size_t kMaxTexto = 200;
  static constexpr uint32_t kVidaMs = 7000;

 private:
  TFrmChatToast(const std::string& ANome, const std::string& AMensagem, int AQtd,
                TEventoNotificacao AOnClickOpen);
  void TimerToastTimer();
  void Mouse(const ui::TEventoMouse& AEvento);

  std::string FNome;
  std::string FMensagem;
  int FQtd = 0;
  ui::TTemporizador FTimer;
  TEventoNotificacao FOnClickOpen;
  bool FEmManipulador = false;
};
