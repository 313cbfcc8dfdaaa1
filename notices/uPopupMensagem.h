// The notice popup: shows one notice and holds its caller until it is confirmed.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/uKit.h"

class TFrmPopupMensagem : public ui::TJanela {
 public:
  // Shows the notice and returns when the employee has confirmed it or the
  // application is terminating (a log-off or shutdown); true only in the first
  // case. The files may be empty or missing. The audio is stopped and the
  // window destroyed on the way out, also on an error.
  // ANaoConfirmado runs once when the popup ends unconfirmed (not when an
  // error ends it): at a session end inside the session-end handler itself,
  // since the process may be ended as soon as that returns.
  static bool Exibir(const std::string& AEmpresa, const std::string& ATitulo,
                     const std::string& AMensagem, const std::string& ALogoFile,
                     const std::string& AImagemFile, const std::string& AAudioFile,
                     const std::function<void()>& ANaoConfirmado = nullptr);
  // The popup being shown, null when none (one exists at a time).
  static TFrmPopupMensagem* Ativo();
  // The first "https://" link of the text, else its first "http://" link, else "".
  static std::string ExtrairLink(const std::string& ATexto);

  ~TFrmPopupMensagem() override;

  // Designed controls, all on pnlBase.
  ui::TPainel* pnlBase = nullptr;
  ui::TImagem* imgLogo = nullptr;
  ui::TRotulo* lblEmpresa = nullptr;
  ui::TRotulo* lblTitulo = nullptr;
  ui::TMemo* memMensagem = nullptr;
  ui::TImagem* imgMensagem = nullptr;
  ui::TBotao* btnOK = nullptr;
  // Built in code: the confirmation box, hidden until the release.
  ui::TMarcacao* chkConfirmacao = nullptr;

  // Handlers.
  void btnOKClick();
  void chkConfirmacaoClick();
  void AbrirLink();
  void AlternarExpansao();
  bool RodaMouseImagem(int ADelta, bool ACtrl);
  void TimerConfirmacaoTimer();
  void TimerAudioTimer();

  // State, as the tests and the demo read it.
  bool Confirmado() const { return FConfirmado; }
  bool Liberado() const { return FLiberado; }
  bool EmEspera() const { return FEmEspera; }
  bool ImagemExpandida() const { return FImagemExpandida; }
  double ZoomImagem() const { return FZoomImagem; }
  double ZoomAjusteImagem() const { return FZoomAjusteImagem; }
  int ImagemNaturalW() const { return FImagemNaturalW; }
  int ImagemNaturalH() const { return FImagemNaturalH; }
  const std::string& LinkURL() const { return FLinkURL; }
  ui::TRotulo* LinkLabel() const { return FLinkLabel; }
  ui::TRolagem* ScrollImagem() const { return FScrollImagem; }
  ui::TTemporizador* TimerConfirmacao() const { return FTimerConfirmacao.get(); }
  ui::TTemporizador* TimerAudio() const { return FTimerAudio.get(); }

 private:
  TFrmPopupMensagem();  // the designed part

  void Montar(const std::string& AEmpresa, const std::string& ATitulo, const std::string& AMensagem,
              const std::string& ALogoFile, const std::string& AImagemFile,
              const std::string& AAudioFile);
  void Aguardar();
  void TrazerParaFrente();
  void ConfigurarLink();
  void LiberarConfirmacao();
  // The check box's place for the client size: small and 30 pixels above the
  // button before the release, its released size 36 pixels above it after.
  void PosicionarConfirmacao();

  // Layouts and pictures (uPopupMensagemLayout.cpp).
  static void AjustarModoImagem(ui::TImagem* AImagem);
  static void CarregarImagem(ui::TImagem* AImagem, const std::string& AArquivo);
  static void CarregarImagemOpaca(ui::TImagem* AImagem, const std::string& AArquivo);
  void PosicionarLogo();
  int EstimarAlturaMensagem(const std::string& AMensagem);
  void LayoutTexto(const std::string& AMensagem);
  void CriarAreaImagem();
  ui::TRetangulo AreaImagemNormal() const;
  void AjustarImagemInicial();
  void AplicarZoom(double AZoom);
  void LayoutNormal();
  void LayoutExpandido();
  void DefinirCliente(int AW, int AH);

  bool FConfirmado = false;
  bool FLiberado = false;
  bool FEmEspera = false;
  std::string FAudioFile;
  bool FDelayConfirmacaoOk = false;
  double FZoomImagem = 1.0;
  double FZoomAjusteImagem = 1.0;
  int32_t FImagemNaturalW = 0;
  int32_t FImagemNaturalH = 0;
  bool FImagemExpandida = false;
  std::string FLinkURL;
  ui::TRotulo* FLinkLabel = nullptr;
  ui::TRolagem* FScrollImagem = nullptr;
  std::unique_ptr<ui::TTemporizador> FTimerConfirmacao;
  std::unique_ptr<ui::TTemporizador> FTimerAudio;
};
