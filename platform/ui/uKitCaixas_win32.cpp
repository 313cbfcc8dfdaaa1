// Win32 backend of the UI kit: message boxes, the input box and pop-up menus.
#include <windows.h>

#include <algorithm>

#include "platform/uWin32Texto.h"
#include "platform/ui/uKitCaixasWin32.h"
#include "platform/ui/uKitBackendWin32.h"
#include "platform/ui/uKitJanelaWin32.h"

namespace ui::w32 {

namespace {

// Input box layout at 96 DPI.
constexpr int kEntradaLargura = 360;
constexpr int kMargem = 12;
constexpr int kEdicaoAltura = 23;
constexpr int kBotaoLargura = 85;
constexpr int kBotaoAltura = 27;

bool HaJanelaNoTopoVisivel() {
  bool achou = false;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM l) -> BOOL {
        if (IsWindowVisible(h) && (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
          *reinterpret_cast<bool*>(l) = true;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&achou));
  return achou;
}

}  // namespace

TResposta CaixaMensagemWin32(TJanela* ADono, const std::string& ATexto, const std::string& ATitulo,
                             TTipoCaixa ATipo, TBotoesCaixa ABotoes) {
  UINT f = MB_SETFOREGROUND;
  switch (ATipo) {
    case TTipoCaixa::Informacao:
      f |= MB_ICONINFORMATION;
      break;
    case TTipoCaixa::Aviso:
      f |= MB_ICONWARNING;
      break;
    case TTipoCaixa::Erro:
      f |= MB_ICONERROR;
      break;
    case TTipoCaixa::Pergunta:
      f |= MB_ICONQUESTION;
      break;
  }
  f |= ABotoes == TBotoesCaixa::SimNao ? MB_YESNO : MB_OK;
  HWND dono = HandleDe(ADono);
  if (!dono) {
    // Without an owner the box is centred on the screen; it still blocks our
    // windows, and must not open behind a window that stays on top.
    f |= MB_TASKMODAL;
    if (HaJanelaNoTopoVisivel()) f |= MB_TOPMOST;
  }
  const std::string titulo = ATitulo.empty() ? app::Titulo() : ATitulo;
  const int r = MessageBoxW(dono, ParaWide(ATexto).c_str(), ParaWide(titulo).c_str(), f);
  switch (r) {
    case IDOK:
      return TResposta::Ok;
    case IDYES:
      return TResposta::Sim;
    case IDNO:
      return TResposta::Nao;
    default:
      return TResposta::Cancelar;
  }
}

bool CaixaEntradaWin32(const std::string& ATitulo, const std::string& APrompt,
                       std::string& AValor) {
  // Built from the kit's own objects, so it scales with the DPI like any window.
  TJanela j;
  j.Nome = "CaixaEntrada";
  TEstiloJanela e;
  e.Redimensionavel = false;
  e.NaBarraDeTarefas = false;
  e.SempreNoTopo = HaJanelaNoTopoVisivel();
  j.DefinirEstilo(e);
  j.DefinirCor(kCorFundoBotao);
  j.DefinirTexto(ATitulo);

  const int largura = kEntradaLargura - 2 * kMargem;
  auto* prompt = new TRotulo(&j);
  prompt->DefinirQuebraLinha(true);
  prompt->DefinirTexto(APrompt);
  const TTamanho tp = app::MedirTexto(prompt->Fonte(), APrompt);
  const int hp = std::max(tp.Altura, 15) * std::max(1, (tp.Largura + largura - 1) / largura);
  prompt->DefinirLimites(kMargem, kMargem, largura, hp);

  auto* edicao = new TEdicao(&j);
  edicao->DefinirLimites(kMargem, kMargem + hp + 6, largura, kEdicaoAltura);
  edicao->DefinirTexto(AValor);

  const int yb = edicao->Top() + kEdicaoAltura + 16;
  auto* ok = new TBotao(&j);
  ok->Nome = "OK";
  ok->DefinirTexto("OK");
  ok->DefinirPadrao(true);
  ok->DefinirLimites(kEntradaLargura - kMargem - 2 * kBotaoLargura - 8, yb, kBotaoLargura,
                     kBotaoAltura);
  auto* cancelar = new TBotao(&j);
  cancelar->Nome = "Cancelar";
  cancelar->DefinirTexto("Cancelar");
  cancelar->DefinirLimites(kEntradaLargura - kMargem - kBotaoLargura, yb, kBotaoLargura,
                           kBotaoAltura);

  bool aceito = false;
  ok->AoClicar = [&] {
    aceito = true;
    j.Fechar();
  };
  cancelar->AoClicar = [&] { j.Fechar(); };
  j.AoMensagem = [&](uint32_t m, uintptr_t w, intptr_t) {
    // Escape.
    if (m == WM_COMMAND && LOWORD(w) == IDCANCEL) {
      j.Fechar();
      return true;
    }
    return false;
  };
  j.DefinirTamanhoCliente(kEntradaLargura, yb + kBotaoAltura + kMargem);
  j.Centralizar();
  // Focus on the edit with its text selected, ready to be typed over.
  if (auto* p = static_cast<TPeerWin32*>(j.Peer())) p->FocoSalvo = HandleDe(edicao);
  SendMessageW(HandleDe(edicao), EM_SETSEL, 0, -1);
  j.ExibirModal();
  if (aceito) AValor = edicao->Texto();
  return aceito;
}

void ExibirMenuWin32(TMenuPopup& AMenu, TJanela* ADono, TPonto APosicao) {
  HMENU m = CreatePopupMenu();
  if (!m) return;
  for (size_t i = 0; i < AMenu.Itens.size(); ++i)
    AppendMenuW(m, MF_STRING, i + 1, ParaWide(AMenu.Itens[i].Texto).c_str());
  HWND dono = HandleDe(ADono);
  if (!dono) dono = JanelaOculta();
  // Without the foreground the menu would not close on a click elsewhere.
  SetForegroundWindow(dono);
  const int d = DpiTela();
  const int escolha =
      static_cast<int>(TrackPopupMenu(m, TPM_RETURNCMD | TPM_RIGHTBUTTON, Escalar(APosicao.X, d),
                                      Escalar(APosicao.Y, d), 0, dono, nullptr));
  PostMessageW(dono, WM_NULL, 0, 0);
  DestroyMenu(m);
  if (escolha >= 1 && escolha <= static_cast<int>(AMenu.Itens.size())) {
    // Copy: the handler may change the menu.
    const auto acao = AMenu.Itens[static_cast<size_t>(escolha - 1)].AoClicar;
    if (acao) app::ExecutarProtegido(acao);
  }
}

}  // namespace ui::w32
