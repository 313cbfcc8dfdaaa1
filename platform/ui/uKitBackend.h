// What a backend of the UI kit supplies. Only uKit.cpp and the backends use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/uKit.h"

namespace ui {

enum class TAcaoJanela {
  TrazerAoTopo,
  PrimeiroPlano,
  Centralizar,
  TopoSemAtivar,
  Piscar,
  Repintar
};

class TBackend {
 public:
  virtual ~TBackend() = default;
  // Null is allowed (headless keeps no counterpart).
  virtual std::unique_ptr<TPeer> CriarPeer(TControle& AControle) = 0;
  virtual void ProcessarMensagens() = 0;
  virtual void Executar() = 0;
  virtual void Terminar() = 0;
  virtual bool Terminando() = 0;
  virtual TResposta CaixaMensagem(TJanela* ADono, const std::string& ATexto,
                                  const std::string& ATitulo, TTipoCaixa ATipo,
                                  TBotoesCaixa ABotoes) = 0;
  virtual bool CaixaEntrada(const std::string& ATitulo, const std::string& APrompt,
                            std::string& AValor) = 0;
  virtual TRetangulo AreaDeTrabalho() = 0;
  virtual TPonto PosicaoCursor() = 0;
  virtual TTamanho MedirTexto(const TFonte& AFonte, const std::string& ATexto) = 0;
  virtual uint32_t RegistrarMensagem(const std::string& ANome) = 0;
  // A timer was created, enabled, disabled or given a new interval.
  virtual void TemporizadorMudou(TTemporizador& ATimer) = 0;
  virtual void TemporizadorDestruido(TTemporizador& ATimer) = 0;
  virtual void ExibirMenu(TMenuPopup& AMenu, TJanela* ADono, TPonto APosicao) = 0;
  virtual void AcaoJanela(TJanela& AJanela, TAcaoJanela AAcao) = 0;
  // Outer size of a window for its client size and style.
  virtual TTamanho TamanhoExterno(const TJanela& AJanela) = 0;
  // Lines of a memo as shown (word-wrapped at its width when it wraps).
  virtual std::vector<std::string> LinhasVisuais(const TMemo& AMemo) = 0;
  // Shows the window and runs messages until it is closed or the program ends.
  // The default polls ProcessarMensagens; Win32 also disables the other windows.
  virtual void ExibirModal(TJanela& AJanela);
  // Client area of the pages inside a page control, at 96 DPI. The default is
  // the common control's layout at 96 DPI; Win32 asks the control itself.
  virtual TRetangulo AreaPaginas(const TPaginas& APaginas);
  // Shown and not minimised. The default trusts the object's own state.
  virtual bool JanelaNaTela(const TJanela& AJanela);
  // The state the process was started in.
  virtual TEstadoJanela EstadoInicial() = 0;
  // Width of a scroll box's vertical bar and height of its horizontal one, at
  // 96 DPI (rounded up). The default is the system's at 96 DPI.
  virtual TTamanho TamanhoBarrasRolagem(const TRolagem& ARolagem);
  // An action was posted from some thread: the UI thread should run
  // app::ExecutarPostados soon. The default does nothing (polled loops).
  virtual void Acordar() {}
};

TBackend& Backend();

// Greedy word wrap by measured width, shared by backends that do not ask the
// native control.
std::vector<std::string> QuebrarPorLargura(const TFonte& AFonte,
                                           const std::vector<std::string>& ALinhas, int ALargura);

}  // namespace ui
