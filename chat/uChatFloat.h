// The floating chat bubble: a round 72 x 72 button above every window with the
// unread badge, dragged anywhere on the work area and remembered there; it
// polls the chat's unread count, announces new messages with the toast and
// opens the chat. TVeskChatFloat is what the main window calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/uImagem.h"
#include "platform/ui/uKit.h"

class TFrmChatToast;

class TFrmChatFloat : public ui::TJanela {
 public:
  explicit TFrmChatFloat(ui::TJanela* AOwner);
  ~TFrmChatFloat() override;

  // Shows the bubble topmost without taking the focus.
  void MostrarForcado();
  // One poll of the unread count. The request runs off the UI thread; a poll
  // while one is under way is skipped.
  void PollUnread();

  // The badge: its text, and its left edge for a text of that width.
  static std::string TextoBadge(int AUnread);
  static int EsquerdaBadge(int ALarguraTexto);
  // The window's shape: the picture's pixels of alpha above 8, row runs, or
  // the whole window without a picture; the badge area while there are unread.
  static ui::TRegiao RegiaoDaImagem(const TBitmap* AImagem, int ALargura, int AAltura, int AUnread);
  // The embedded picture, decoded.
  static bool CarregarPngEmbutido(TBitmap& AImagem);
  // The same drawing at 144x144, painted above 96 DPI: scaled down there, it
  // stays sharp where the 72x72 one would be enlarged and blurred.
  static bool CarregarPngNitido(TBitmap& AImagem);

  int Unread() const { return FUnread; }
  int LastUnread() const { return FLastUnread; }
  int FlashTicks() const { return FFlashTicks; }
  int ShowAttempts() const { return FShowAttempts; }
  const std::string& UltimoRemetente() const { return FUltimoRemetente; }
  const std::string& UltimaMensagem() const { return FUltimaMensagem; }
  bool MouseDown() const { return FMouseDown; }
  bool Dragging() const { return FDragging; }
  bool Abrindo() const { return FAbrindo; }
  bool TemImagem() const { return FPngChat && !FPngChat->Vazio(); }
  ui::TTemporizador& TimerChat() { return FTimer; }
  ui::TTemporizador& TimerKeepVisible() { return FKeepVisibleTimer; }
  void PintarEm(ui::TCanvas& ACanvas) const;

  static constexpr int kTamanho = 72;
  static constexpr uint32_t kIntervaloMs = 3000, kKeepVisibleMs = 800;

 private:
  void DefinirUnread(int AN);
  void AplicarRegiao();
  // Raises the toast on screen above the bubble.
  void ManterToastAcima();
  void ManterNaAreaDeTrabalho();
  void CarregarPosicao();
  void SalvarPosicao();
  void AbrirChatInterno();
  void ExibirToast();
  void TimerChatTimer();
  void KeepVisibleTimerTimer();
  void Mouse(const ui::TEventoMouse& AEvento);
  void ExtrairRemetenteEMensagem(const std::string& ATexto);
  void AplicarUnread(bool AOk, const std::string& ACorpo, const std::string& AErro);
  void AplicarMarcarLidas(bool AOk, const std::string& ACorpo, const std::string& AErro);

  ui::TTemporizador FTimer;
  ui::TTemporizador FKeepVisibleTimer;
  bool FMouseDown = false;
  bool FDragging = false;
  ui::TPonto FDownPoint;
  int FUnread = 0;
  int FLastUnread = -1;
  int FFlashTicks = 0;
  int FShowAttempts = 0;
  std::string FUltimoRemetente;
  std::string FUltimaMensagem;
  std::string FUltimosDetalhes;
  std::unique_ptr<TBitmap> FPngChat;
  std::unique_ptr<TBitmap> FPngNitido;
  // Opening the chat runs from the click until the browser is up (it waits
  // for its window while messages run): a second click meanwhile is ignored.
  bool FAbrindo = false;
  // Cleared on destruction: a reply that arrives later finds no bubble.
  std::shared_ptr<bool> FVivo = std::make_shared<bool>(true);
};

class TVeskChatFloat {
 public:
  // Creates the bubble once (AAplicacao: the main window, flashed on a new
  // message), shows it and polls.
  static void Iniciar(ui::TJanela* AAplicacao = nullptr);
  static void Mostrar();
  // Frees the toast, closes the chat window and frees the bubble; a second
  // call finds nothing and does nothing.
  static void Finalizar();
  static void AtualizarUnread();

  static TFrmChatFloat* Bolha();
  static TFrmChatToast* ToastAtual();
  static ui::TJanela* Aplicacao();
  // Hides the current toast and frees it once no handler of it runs.
  static void DescartarToast();
  static void DefinirToast(TFrmChatToast* AToast);
};
