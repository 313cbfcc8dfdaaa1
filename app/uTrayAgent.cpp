// The agent's icon in the notification area and the window's moves to and from it.
#include "app/uTrayAgent.h"

#include "platform/uBandeja.h"

namespace {

// Whether the icon has been added to the notification area.
bool GIconeAdicionado = false;

TDadosIcone DadosBase(ui::TJanela* AForm) {
  TDadosIcone d;
  d.cbSize = Bandeja().TamanhoEstrutura();
  d.hWnd = AForm->HandleNativo();
  d.uID = TTrayAgent::kIdIcone;
  return d;
}

}  // namespace

void TTrayAgent::Adicionar(ui::TJanela* AForm) {
  if (!AForm) return;
  TDadosIcone d = DadosBase(AForm);
  d.uFlags = kNifMessage | kNifIcon;
  d.uCallbackMessage = kMensagemBandeja;
  d.hIcon = Bandeja().IconeAplicacao();
  // The shell's answer is not examined: a refused icon is not retried.
  if (GIconeAdicionado) {
    Bandeja().Notificar(TAcaoIcone::Modificar, d);
  } else {
    Bandeja().Notificar(TAcaoIcone::Adicionar, d);
    GIconeAdicionado = true;
  }
}

void TTrayAgent::Remover(ui::TJanela* AForm) {
  if (AForm) Bandeja().Notificar(TAcaoIcone::Remover, DadosBase(AForm));
  GIconeAdicionado = false;
}

void TTrayAgent::Minimizar(ui::TJanela* AForm) {
  if (!AForm) return;
  Adicionar(AForm);
  AForm->Ocultar();
  AForm->DefinirEstado(ui::TEstadoJanela::Normal);
}

void TTrayAgent::Restaurar(ui::TJanela* AForm) {
  if (!AForm) return;
  AForm->Mostrar();
  AForm->DefinirEstado(ui::TEstadoJanela::Normal);
  AForm->PrimeiroPlano();
}

TTrayClick TTrayAgent::ProcessarMensagem(intptr_t ALParam) {
  if (ALParam == kWmLButtonDblClk) return TTrayClick::tcDuploClique;
  if (ALParam == kWmRButtonUp) return TTrayClick::tcBotaoDireito;
  return TTrayClick::tcNenhum;
}

uint32_t TTrayAgent::MensagemTaskbarCreated() {
  static const uint32_t msg = ui::app::RegistrarMensagem("TaskbarCreated");
  return msg;
}

void TTrayAgent::RecriarIcone(ui::TJanela* AForm) {
  if (!AForm || !GIconeAdicionado) return;
  GIconeAdicionado = false;
  Adicionar(AForm);
}

bool TTrayAgent::IconeAdicionado() {
  return GIconeAdicionado;
}
