// Test controls of the headless backend (native builds): what the windows showed
// in boxes, scripted answers, the screen's facts and the message loop's hook.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/uKit.h"
#include "platform/ui/uKitBackend.h"

namespace ui::headless {

struct TCaixaMostrada {
  std::string Texto, Titulo;
  TTipoCaixa Tipo = TTipoCaixa::Informacao;
  TBotoesCaixa Botoes = TBotoesCaixa::Ok;
  TJanela* Dono = nullptr;
};

struct TEntradaMostrada {
  std::string Titulo, Prompt, Inicial;
};

struct TMenuMostrado {
  std::vector<std::string> Itens;
  TPonto Posicao;
};

// Boxes, input boxes and menus shown since the last Reiniciar.
std::vector<TCaixaMostrada>& Caixas();
std::vector<TEntradaMostrada>& Entradas();
std::vector<TMenuMostrado>& Menus();
// Answer to the next boxes (default: Ok for Ok boxes, Sim for questions).
extern std::function<TResposta(const TCaixaMostrada&)> ResponderCaixa;
// Answer to input boxes: true for OK with the text set; default: Cancel.
extern std::function<bool(const TEntradaMostrada&, std::string&)> ResponderEntrada;
// Index of the menu item to choose when a menu pops up; -1 dismisses it.
extern std::function<int(const TMenuMostrado&)> EscolherItemMenu;
// Runs on every pass of ProcessarMensagens, so that a test can act while a
// window's own loop waits (tick a box, press a button, close a window).
extern std::function<void()> AoProcessarMensagens;

void DefinirAreaDeTrabalho(TRetangulo AArea);
void DefinirPosicaoCursor(TPonto APosicao);
// The state the program was "started" in (default Normal).
void DefinirEstadoInicial(TEstadoJanela AEstado);
// Clears the records, answers and hooks, and the Terminar flag.
void Reiniciar();
// Fires every enabled timer that is due by the clock concern's tick count.
void DispararTemporizadoresVencidos();
// Window that has the foreground (PrimeiroPlano) and the last raised to the top.
TJanela* JanelaEmPrimeiroPlano();
// How often the window was asked for the action since the last Reiniciar
// (TopoSemAtivar, Piscar, Repintar, ...).
int ContarAcoes(const TJanela* AJanela, TAcaoJanela AAcao);

}  // namespace ui::headless
