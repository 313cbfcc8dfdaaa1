// Wine tests of the Win32 backend: clicks, typing, timers, closing, wheel, boxes, modal loops.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <optional>
#include <string>

#include "platform/ui/uKit.h"
#include "tests/ui/uKitTesteWin32.h"
#include "tools/wine/uCaptura.h"

using namespace ui;
using testeui::H;

namespace {

class KitEventos : public ::testing::Test {
 protected:
  void SetUp() override {
    app::DefinirTitulo("Zelvan");
    J = std::make_unique<TJanela>();
    J->DefinirTexto("Eventos");
    J->DefinirTamanhoCliente(400, 300);
    J->DefinirPosicao(50, 50);
    J->Mostrar();
  }
  std::unique_ptr<TJanela> J;
  testeui::TRoteiro Roteiro;
};

TEST_F(KitEventos, BmClickChegaAoClicarSoComBotaoVisivelEHabilitado) {
  auto* b = new TBotao(J.get());
  b->DefinirLimites(10, 10, 100, 30);
  int cliques = 0;
  b->AoClicar = [&] { ++cliques; };
  SendMessageW(H(b), BM_CLICK, 0, 0);
  EXPECT_EQ(cliques, 1);
  b->DefinirHabilitado(false);
  SendMessageW(H(b), BM_CLICK, 0, 0);
  EXPECT_EQ(cliques, 1);
  // A button inside a panel reports through the panel.
  auto* p = new TPainel(J.get());
  p->DefinirLimites(0, 100, 200, 100);
  auto* dentro = new TBotao(p);
  dentro->DefinirLimites(5, 5, 80, 25);
  dentro->AoClicar = [&] { cliques += 10; };
  SendMessageW(H(dentro), BM_CLICK, 0, 0);
  EXPECT_EQ(cliques, 11);
}

TEST_F(KitEventos, EnterPressionaOBotaoPadraoAninhado) {
  auto* p = new TPainel(J.get());
  p->DefinirLimites(0, 0, 400, 300);
  auto* e = new TEdicao(p);
  e->DefinirLimites(10, 10, 100, 25);
  auto* b = new TBotao(p);
  b->DefinirLimites(10, 50, 100, 30);
  b->DefinirPadrao(true);
  int cliques = 0;
  b->AoClicar = [&] { ++cliques; };
  SetForegroundWindow(H(J.get()));
  SetFocus(H(e));
  PostMessageW(H(e), WM_KEYDOWN, VK_RETURN, 1);
  testeui::Esperar([&] { return cliques > 0; }, 1000);
  EXPECT_EQ(cliques, 1);
}

TEST_F(KitEventos, TabSegueAOrdemDeCriacao) {
  auto* a = new TEdicao(J.get());
  a->DefinirLimites(10, 10, 100, 25);
  auto* p = new TPainel(J.get());
  p->DefinirLimites(0, 50, 400, 100);
  auto* b = new TBotao(p);
  b->DefinirLimites(10, 10, 100, 30);
  auto* oculto = new TBotao(J.get());
  oculto->DefinirVisivel(false);
  auto* c = new TMarcacao(J.get());
  c->DefinirLimites(10, 200, 100, 25);
  SetForegroundWindow(H(J.get()));
  SetFocus(H(a));
  for (TControle* esperado :
       {static_cast<TControle*>(b), static_cast<TControle*>(c), static_cast<TControle*>(a)}) {
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
    testeui::Bombear(20);
    EXPECT_EQ(GetFocus(), H(esperado));
  }
}

TEST_F(KitEventos, MarcacaoAlternaPeloClique) {
  auto* c = new TMarcacao(J.get());
  c->DefinirLimites(10, 10, 150, 24);
  c->DefinirTexto("Confirmo");
  std::vector<bool> vistos;
  c->AoClicar = [&] { vistos.push_back(c->Marcado()); };
  SendMessageW(H(c), BM_CLICK, 0, 0);
  EXPECT_TRUE(c->Marcado());
  EXPECT_EQ(SendMessageW(H(c), BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(H(c), BM_CLICK, 0, 0);
  EXPECT_FALSE(c->Marcado());
  EXPECT_EQ(SendMessageW(H(c), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(vistos, (std::vector<bool>{true, false}));
  c->DefinirMarcado(true);
  EXPECT_EQ(SendMessageW(H(c), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(KitEventos, DigitacaoChegaAoObjetoSemEcoDoProprioTexto) {
  auto* e = new TEdicao(J.get());
  e->DefinirLimites(10, 10, 200, 25);
  int mudancas = 0;
  e->AoMudar = [&] { ++mudancas; };
  e->DefinirTexto("do programa");
  EXPECT_EQ(mudancas, 0);
  wchar_t t[64]{};
  GetWindowTextW(H(e), t, 64);
  EXPECT_STREQ(t, L"do programa");
  SendMessageW(H(e), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"digitado ção"));
  EXPECT_EQ(e->Texto(), "digitado ção");
  EXPECT_EQ(mudancas, 1);

  // A memo reports keys typed (it sends no change for WM_SETTEXT).
  auto* m = new TMemo(J.get());
  m->DefinirLimites(10, 50, 200, 100);
  for (wchar_t c : std::wstring(L"um\rdois")) SendMessageW(H(m), WM_CHAR, c, 1);
  EXPECT_EQ(m->Linhas(), (std::vector<std::string>{"um", "dois"}));
  EXPECT_EQ(m->Texto(), "um\r\ndois");
}

TEST_F(KitEventos, MemoContaAsLinhasQueOControleQuebra) {
  auto* m = new TMemo(J.get());
  m->DefinirLimites(10, 10, 200, 150);
  m->DefinirSemBorda(true);
  m->DefinirSomenteLeitura(true);
  const std::string longa =
      "palavra palavra palavra palavra palavra palavra palavra palavra palavra";
  m->DefinirLinhas({longa, "", "curta"});
  const auto v = m->LinhasVisuais();
  ASSERT_GE(v.size(), 5u);
  EXPECT_EQ(v.back(), "curta");
  std::string juntas;
  for (size_t i = 0; i + 2 < v.size(); ++i) juntas += v[i];
  EXPECT_EQ(juntas, longa);
  m->DefinirQuebraLinha(false);
  EXPECT_EQ(m->LinhasVisuais().size(), 3u);
}

TEST_F(KitEventos, TemporizadorDisparaNoLacoEParaQuandoDesabilitado) {
  TTemporizador t;
  int disparos = 0;
  t.AoDisparar = [&] { ++disparos; };
  t.DefinirIntervalo(30);
  testeui::Bombear(120);
  EXPECT_EQ(disparos, 0);  // not enabled yet
  t.DefinirHabilitado(true);
  EXPECT_TRUE(testeui::Esperar([&] { return disparos >= 2; }, 2000));
  t.DefinirHabilitado(false);
  const int ate = disparos;
  testeui::Bombear(150);
  EXPECT_EQ(disparos, ate);
}

TEST_F(KitEventos, FecharRecusadoNaoMudaNadaEAceitoEsconde) {
  bool permitir = false;
  int fechou = 0;
  J->AoConsultarFechamento = [&] { return permitir; };
  J->AoFechar = [&] { ++fechou; };
  SendMessageW(H(J.get()), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(H(J.get())));
  EXPECT_TRUE(IsWindowVisible(H(J.get())));
  EXPECT_FALSE(J->Fechada());
  // A log-off is only asked about: a window without a session handler lets it
  // through whatever its close rule, and neither closes nor hides for it.
  EXPECT_EQ(SendMessageW(H(J.get()), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  SendMessageW(H(J.get()), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);  // cancelled
  EXPECT_TRUE(IsWindowVisible(H(J.get())));
  EXPECT_FALSE(J->Fechada());
  EXPECT_EQ(fechou, 0);
  EXPECT_FALSE(app::Terminando());
  permitir = true;
  SendMessageW(H(J.get()), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(H(J.get())));
  EXPECT_TRUE(J->Fechada());
  EXPECT_EQ(fechou, 1);
}

TEST_F(KitEventos, UsuarioMinimizaRedimensionaEMove) {
  int avisos = 0;
  J->AoRedimensionar = [&] { ++avisos; };
  ShowWindow(H(J.get()), SW_MINIMIZE);
  EXPECT_EQ(J->Estado(), TEstadoJanela::Minimizada);
  EXPECT_GE(avisos, 1);
  J->DefinirEstado(TEstadoJanela::Normal);
  EXPECT_FALSE(IsIconic(H(J.get())));

  RECT w{};
  GetWindowRect(H(J.get()), &w);
  SetWindowPos(H(J.get()), nullptr, 70, 80, w.right - w.left + 40, w.bottom - w.top + 20,
               SWP_NOZORDER);
  EXPECT_EQ(J->ClientWidth(), 440);
  EXPECT_EQ(J->ClientHeight(), 320);
  EXPECT_EQ(J->Left(), 70);
  EXPECT_EQ(J->Top(), 80);
  // Hidden, a change of state waits for the next showing.
  J->Ocultar();
  J->DefinirEstado(TEstadoJanela::Minimizada);
  EXPECT_FALSE(IsWindowVisible(H(J.get())));
  J->Mostrar();
  EXPECT_TRUE(IsIconic(H(J.get())));
}

TEST_F(KitEventos, RodaVaiAoControleSobOCursorESobePelosPais) {
  auto* p = new TPainel(J.get());
  p->DefinirLimites(0, 0, 400, 300);
  auto* img = new TImagem(p);
  img->DefinirLimites(20, 20, 100, 100);
  auto* rot = new TRotulo(p);
  rot->DefinirLimites(200, 20, 100, 30);
  int deltaImg = 0, deltaPainel = 0;
  bool ctrl = false;
  img->AoRodarMouse = [&](int d, bool c) {
    deltaImg = d;
    ctrl = c;
    return true;
  };
  p->AoRodarMouse = [&](int d, bool) {
    deltaPainel = d;
    return true;
  };
  J->TrazerAoTopo();
  testeui::Bombear(50);
  auto rodar = [&](TControle* c, int delta, WPARAM teclas) {
    POINT pt{10, 10};
    ClientToScreen(H(c), &pt);
    PostMessageW(H(J.get()), WM_MOUSEWHEEL, MAKEWPARAM(teclas, static_cast<WORD>(delta)),
                 MAKELPARAM(pt.x, pt.y));
    testeui::Bombear(30);
  };
  rodar(img, 240, MK_CONTROL);
  EXPECT_EQ(deltaImg, 240);
  EXPECT_TRUE(ctrl);
  EXPECT_EQ(deltaPainel, 0);
  rodar(rot, -120, 0);
  EXPECT_EQ(deltaPainel, -120);
}

TEST_F(KitEventos, MensagensDesconhecidasVaoParaAoMensagem) {
  const uint32_t criada = app::RegistrarMensagem("TaskbarCreated");
  EXPECT_EQ(criada, RegisterWindowMessageW(L"TaskbarCreated"));
  std::vector<std::pair<uint32_t, intptr_t>> recebidas;
  J->AoMensagem = [&](uint32_t m, uintptr_t, intptr_t l) {
    if (m != WM_USER + 445 && m != criada) return false;
    recebidas.push_back({m, l});
    return true;
  };
  PostMessageW(H(J.get()), WM_USER + 445, 1, WM_RBUTTONUP);
  SendMessageW(H(J.get()), criada, 0, 0);
  testeui::Bombear(30);
  ASSERT_EQ(recebidas.size(), 2u);
  EXPECT_EQ(recebidas[0].first, criada);
  EXPECT_EQ(recebidas[1].first, static_cast<uint32_t>(WM_USER + 445));
  EXPECT_EQ(recebidas[1].second, WM_RBUTTONUP);
}

// The input box, answered by a scripted hand: find it by its title, type, press.
HWND CaixaEntradaAberta() {
  return FindWindowW(L"VeskJanela", L"Justificar tarefa");
}

TEST_F(KitEventos, CaixaEntradaRespondidaComOk) {
  std::wstring inicial;
  bool feito = false;
  Roteiro.AtePoder(50, [&] {
    // The screenshot pumps messages, which would run this step inside itself.
    if (feito) return true;
    HWND d = CaixaEntradaAberta();
    if (!d || !IsWindowVisible(d)) return false;
    feito = true;
    HWND e = FindWindowExW(d, nullptr, L"EDIT", nullptr);
    wchar_t t[64]{};
    GetWindowTextW(e, t, 64);
    inicial = t;
    CapturarJanela(d, "ui_caixa_entrada");
    EXPECT_FALSE(GetWindowLongW(e, GWL_STYLE) & ES_PASSWORD);
    SendMessageW(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L" motivo "));
    SendMessageW(FindWindowExW(d, nullptr, L"BUTTON", L"OK"), BM_CLICK, 0, 0);
    return true;
  });
  std::string valor = "antes";
  EXPECT_TRUE(app::CaixaEntrada("Justificar tarefa", "Informe a justificativa:", valor));
  EXPECT_EQ(inicial, L"antes");
  EXPECT_EQ(valor, " motivo ");
  EXPECT_FALSE(CaixaEntradaAberta());
}

TEST_F(KitEventos, CaixaEntradaCanceladaOuFechadaDevolveFalso) {
  for (const bool fecharPelaMoldura : {false, true}) {
    Roteiro.AtePoder(50, [&] {
      HWND d = CaixaEntradaAberta();
      if (!d || !IsWindowVisible(d)) return false;
      SendMessageW(FindWindowExW(d, nullptr, L"EDIT", nullptr), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"x"));
      if (fecharPelaMoldura)
        PostMessageW(d, WM_CLOSE, 0, 0);
      else
        SendMessageW(FindWindowExW(d, nullptr, L"BUTTON", L"Cancelar"), BM_CLICK, 0, 0);
      return true;
    });
    std::string valor = "antes";
    EXPECT_FALSE(app::CaixaEntrada("Justificar tarefa", "Informe a justificativa:", valor));
    EXPECT_EQ(valor, "antes");
  }
}

// A message box of the thread with the given title (dialog class #32770).
HWND CaixaComTitulo(const wchar_t* ATitulo) {
  return FindWindowW(L"#32770", ATitulo);
}

TEST_F(KitEventos, CaixaMensagemDevolveOBotaoEscolhido) {
  std::wstring texto;
  Roteiro.AtePoder(50, [&] {
    HWND c = CaixaComTitulo(L"Pergunta");
    if (!c) return false;
    wchar_t t[128]{};
    GetDlgItemTextW(c, 0xFFFF, t, 128);
    texto = t;
    SendMessageW(GetDlgItem(c, IDNO), BM_CLICK, 0, 0);
    return true;
  });
  EXPECT_EQ(app::CaixaMensagem(nullptr, "Concluir esta tarefa?", "Pergunta", TTipoCaixa::Pergunta,
                               TBotoesCaixa::SimNao),
            TResposta::Nao);
  EXPECT_EQ(texto, L"Concluir esta tarefa?");
}

TEST_F(KitEventos, ErroDeManipuladorViraCaixaComOTituloDoPrograma) {
  auto* b = new TBotao(J.get());
  b->DefinirLimites(10, 10, 100, 30);
  b->AoClicar = [] { throw std::runtime_error("falha de rede"); };
  std::wstring texto;
  Roteiro.AtePoder(50, [&] {
    HWND c = CaixaComTitulo(L"Zelvan");
    if (!c) return false;
    wchar_t t[128]{};
    GetDlgItemTextW(c, 0xFFFF, t, 128);
    texto = t;
    SendMessageW(GetDlgItem(c, IDOK), BM_CLICK, 0, 0);
    return true;
  });
  SendMessageW(H(b), BM_CLICK, 0, 0);
  EXPECT_EQ(texto, L"falha de rede");
}

TEST_F(KitEventos, ExibirModalDesabilitaAsOutrasJanelasEnquantoRoda) {
  TJanela modal;
  modal.DefinirTexto("Modal");
  modal.DefinirTamanhoCliente(200, 100);
  bool outraHabilitada = true;
  Roteiro.Apos(100, [&] {
    outraHabilitada = IsWindowEnabled(H(J.get())) != 0;
    modal.Fechar();
  });
  modal.ExibirModal();
  EXPECT_FALSE(outraHabilitada);
  EXPECT_TRUE(IsWindowEnabled(H(J.get())));
  EXPECT_FALSE(IsWindowVisible(H(&modal)));
}

TEST_F(KitEventos, MenuExecutaOItemEscolhido) {
  TMenuPopup menu;
  std::string escolhido;
  menu.Itens = {{"miAbrir", "Abrir", [&] { escolhido = "Abrir"; }},
                {"miStatus", "Status", [&] { escolhido = "Status"; }}};
  Roteiro.AtePoder(50, [&] {
    HWND m = FindWindowW(L"#32768", nullptr);
    if (!m || !IsWindowVisible(m)) return false;
    PostMessageW(m, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(m, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(m, WM_KEYDOWN, VK_RETURN, 0);
    return true;
  });
  menu.Exibir(J.get(), {100, 100});
  EXPECT_EQ(escolhido, "Status");
}

// Last: the program's loop ends for good once told to.
TEST_F(KitEventos, ZExecutarTerminaComTerminar) {
  Roteiro.Apos(50, [] { app::Terminar(); });
  app::Executar();
  EXPECT_TRUE(app::Terminando());
}

// After the loop's end too (it ends the program): the session's end reaches the
// window's handler only when the session really ends, and an error there is
// reported, not shown in a box the session would wait for.
// The program's pending session-end work runs inside that message too, before
// the window's handler, once, and not when it was withdrawn.
TEST_F(KitEventos, ZFimDeSessaoChamaOTratadorSoQuandoTermina) {
  int fins = 0;
  std::vector<std::string> ordem;
  J->AoConsultarFimSessao = [] { return true; };
  J->AoFimSessao = [&] {
    ++fins;
    ordem.push_back("janela");
    throw std::runtime_error("falha no fim da sessao");
  };
  std::vector<std::string> relatos;
  app::DefinirRelatoDeFalhas([&](const std::string& T) { relatos.push_back(T); });
  const TAcaoFimSessao pendente([&] { ordem.push_back("pendente"); });
  std::optional<TAcaoFimSessao> retirada(std::in_place, [&] { ordem.push_back("retirada"); });
  retirada.reset();
  EXPECT_EQ(SendMessageW(H(J.get()), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  SendMessageW(H(J.get()), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);  // cancelled
  EXPECT_EQ(fins, 0);
  EXPECT_FALSE(pendente.Executada());
  SendMessageW(H(J.get()), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(fins, 1);
  EXPECT_TRUE(pendente.Executada());
  EXPECT_EQ(ordem, (std::vector<std::string>{"pendente", "janela"}));
  EXPECT_EQ(relatos, std::vector<std::string>{"falha no fim da sessao"});
  EXPECT_TRUE(app::Terminando());
  app::DefinirRelatoDeFalhas(nullptr);
}

}  // namespace
