// Headless backend of the UI kit: the objects live in memory only. Timers fire
// from ProcessarMensagens by the clock concern's tick count, so a test with a
// settable clock controls time; boxes are recorded and answered by the test.
#include <algorithm>
#include <cmath>
#include <set>

#include "platform/uRelogio.h"
#include "platform/uTexto.h"
#include "platform/ui/uKitBackend.h"
#include "platform/ui/uKitHeadless.h"

namespace ui {

namespace headless {
std::function<TResposta(const TCaixaMostrada&)> ResponderCaixa;
std::function<bool(const TEntradaMostrada&, std::string&)> ResponderEntrada;
std::function<int(const TMenuMostrado&)> EscolherItemMenu;
std::function<void()> AoProcessarMensagens;
}  // namespace headless

namespace {

class TBackendHeadless final : public TBackend {
 public:
  std::vector<headless::TCaixaMostrada> Caixas;
  std::vector<headless::TEntradaMostrada> Entradas;
  std::vector<headless::TMenuMostrado> Menus;
  std::set<TTemporizador*> Timers;
  TRetangulo Area{0, 0, 1920, 1040};
  TPonto Cursor{100, 100};
  TEstadoJanela Inicial = TEstadoJanela::Normal;
  bool FTerminando = false;
  TJanela* Frente = nullptr;
  std::vector<std::pair<TJanela*, TAcaoJanela>> Acoes;
  uint32_t ProximaMensagem = 0xC000;

  std::unique_ptr<TPeer> CriarPeer(TControle&) override { return nullptr; }

  void ProcessarMensagens() override {
    // The hook runs at every level of nested loops; a hook that starts a loop
    // itself must guard against being re-entered.
    if (headless::AoProcessarMensagens) {
      auto hook = headless::AoProcessarMensagens;
      hook();
    }
    app::ExecutarPostados();
    headless::DispararTemporizadoresVencidos();
  }

  void Executar() override {
    while (!FTerminando) {
      ProcessarMensagens();
      if (FTerminando) break;
      Relogio().Dormir(10);
    }
  }

  void Terminar() override { FTerminando = true; }
  bool Terminando() override { return FTerminando; }

  TResposta CaixaMensagem(TJanela* ADono, const std::string& ATexto, const std::string& ATitulo,
                          TTipoCaixa ATipo, TBotoesCaixa ABotoes) override {
    headless::TCaixaMostrada c{ATexto, ATitulo, ATipo, ABotoes, ADono};
    Caixas.push_back(c);
    if (headless::ResponderCaixa) return headless::ResponderCaixa(c);
    return ABotoes == TBotoesCaixa::SimNao ? TResposta::Sim : TResposta::Ok;
  }

  bool CaixaEntrada(const std::string& ATitulo, const std::string& APrompt,
                    std::string& AValor) override {
    headless::TEntradaMostrada e{ATitulo, APrompt, AValor};
    Entradas.push_back(e);
    if (headless::ResponderEntrada) return headless::ResponderEntrada(e, AValor);
    return false;
  }

  TRetangulo AreaDeTrabalho() override { return Area; }
  TEstadoJanela EstadoInicial() override { return Inicial; }
  TPonto PosicaoCursor() override { return Cursor; }

  // Average Segoe UI metrics: a character about half the font height wide
  // (bold a tenth wider), a line a third taller than the font.
  TTamanho MedirTexto(const TFonte& AFonte, const std::string& ATexto) override {
    const auto linhas = DividirLinhas(ATexto);
    size_t maior = 0;
    for (const auto& l : linhas) maior = std::max(maior, ComprimentoUtf16(l));
    const double largura = AFonte.Altura * (AFonte.Negrito ? 0.55 : 0.5);
    const int altura = static_cast<int>(std::lround(AFonte.Altura * 4.0 / 3.0));
    return {static_cast<int>(std::ceil(maior * largura)),
            altura * static_cast<int>(std::max<size_t>(1, linhas.size()))};
  }

  uint32_t RegistrarMensagem(const std::string&) override { return ProximaMensagem++; }

  void TemporizadorMudou(TTemporizador& T) override {
    Timers.insert(&T);
    T.Inicio = Relogio().TickCount();
  }
  void TemporizadorDestruido(TTemporizador& T) override { Timers.erase(&T); }

  void ExibirMenu(TMenuPopup& AMenu, TJanela*, TPonto APosicao) override {
    headless::TMenuMostrado m;
    for (const auto& i : AMenu.Itens) m.Itens.push_back(i.Texto);
    m.Posicao = APosicao;
    Menus.push_back(m);
    const int k = headless::EscolherItemMenu ? headless::EscolherItemMenu(m) : -1;
    if (k >= 0 && k < static_cast<int>(AMenu.Itens.size()) && AMenu.Itens[k].AoClicar)
      app::ExecutarProtegido(AMenu.Itens[k].AoClicar);
  }

  void AcaoJanela(TJanela& AJanela, TAcaoJanela AAcao) override {
    Acoes.push_back({&AJanela, AAcao});
    if (AAcao == TAcaoJanela::PrimeiroPlano || AAcao == TAcaoJanela::TrazerAoTopo)
      Frente = &AJanela;
    if (AAcao == TAcaoJanela::Centralizar) AJanela.Centralizar();
  }

  TTamanho TamanhoExterno(const TJanela& J) override {
    if (J.Estilo().SemBorda) return {J.ClientWidth(), J.ClientHeight()};
    // Windows 10 frame at 96 DPI: 8 pixels each side, 31 for the caption and top.
    return {J.ClientWidth() + 16, J.ClientHeight() + 39};
  }

  std::vector<std::string> LinhasVisuais(const TMemo& M) override {
    if (!M.QuebraLinha()) return M.Linhas();
    // The text area of a memo leaves a few pixels of margin and the scroll bar.
    const int largura = M.Width() - (M.BarraVertical() ? 17 : 0) - (M.SemBorda() ? 2 : 6);
    return QuebrarPorLargura(M.Fonte(), M.Linhas(), std::max(1, largura));
  }
};

TBackendHeadless& B() {
  static TBackendHeadless b;
  return b;
}

}  // namespace

TBackend& Backend() {
  return B();
}

namespace headless {

std::vector<TCaixaMostrada>& Caixas() {
  return B().Caixas;
}
std::vector<TEntradaMostrada>& Entradas() {
  return B().Entradas;
}
std::vector<TMenuMostrado>& Menus() {
  return B().Menus;
}
void DefinirAreaDeTrabalho(TRetangulo AArea) {
  B().Area = AArea;
}
void DefinirPosicaoCursor(TPonto APosicao) {
  B().Cursor = APosicao;
}
void DefinirEstadoInicial(TEstadoJanela AEstado) {
  B().Inicial = AEstado;
}
TJanela* JanelaEmPrimeiroPlano() {
  return B().Frente;
}
int ContarAcoes(const TJanela* AJanela, TAcaoJanela AAcao) {
  int n = 0;
  for (const auto& a : B().Acoes)
    if (a.first == AJanela && a.second == AAcao) ++n;
  return n;
}

void Reiniciar() {
  B().Caixas.clear();
  B().Entradas.clear();
  B().Menus.clear();
  B().FTerminando = false;
  B().Frente = nullptr;
  B().Acoes.clear();
  B().Area = {0, 0, 1920, 1040};
  B().Inicial = TEstadoJanela::Normal;
  ResponderCaixa = nullptr;
  ResponderEntrada = nullptr;
  EscolherItemMenu = nullptr;
  AoProcessarMensagens = nullptr;
}

void DispararTemporizadoresVencidos() {
  const uint32_t agora = Relogio().TickCount();
  // Copy: a handler may create or destroy timers.
  std::vector<TTemporizador*> lista(B().Timers.begin(), B().Timers.end());
  for (TTemporizador* t : lista) {
    if (!B().Timers.count(t) || !t->Habilitado() || t->Intervalo() == 0) continue;
    if (agora - t->Inicio >= t->Intervalo()) {
      t->Inicio = agora;
      app::ExecutarProtegido([t] { t->Disparar(); });
    }
  }
}

}  // namespace headless

}  // namespace ui
