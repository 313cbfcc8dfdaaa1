// The notice popup's layouts: text only, normal and expanded image, the logo,
// the pictures and the image area's zoom and scrolling.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "notices/uPopupMensagem.h"
#include "platform/uArquivos.h"
#include "platform/uImagem.h"
#include "platform/uTexto.h"

namespace {

// Everything above the released check box ends this far above it, so that the
// box never covers the link or the image area.
constexpr int kFolgaConfirmacao = 4;
// Top of the released check box: 36 pixels above the button, which sits 60
// pixels above the bottom.
constexpr int kTopoConfirmacaoDoFundo = 60 + 36;

constexpr double kZoomMinimo = 0.25;
constexpr double kZoomMaximo = 5.0;

// Nearest integer, halves to even.
int Arredondar(double A) {
  return static_cast<int>(std::nearbyint(A));
}

bool EhPng(const std::string& AArquivo) {
  return MinusculasAscii(ExtensaoDe(AArquivo)) == ".png";
}

}  // namespace

void TFrmPopupMensagem::DefinirCliente(int AW, int AH) {
  DefinirTamanhoCliente(AW, AH);
  pnlBase->DefinirLimites(0, 0, AW, AH);
  pnlBase->DefinirCor(ui::kCorBranco);
}

void TFrmPopupMensagem::AjustarModoImagem(ui::TImagem* AImagem) {
  AImagem->DefinirModo(true, true, true, true);
}

void TFrmPopupMensagem::CarregarImagem(ui::TImagem* AImagem, const std::string& AArquivo) {
  AImagem->DefinirVisivel(false);
  AImagem->DefinirImagem(nullptr);
  AjustarModoImagem(AImagem);
  try {
    if (!EmBranco(AArquivo) && Arquivos().ArquivoExiste(AArquivo)) {
      CarregarImagemOpaca(AImagem, AArquivo);
      AImagem->DefinirVisivel(AImagem->TemImagem());
    }
  } catch (...) {
    // A picture that cannot be had only leaves its control hidden.
    AImagem->DefinirImagem(nullptr);
    AImagem->DefinirVisivel(false);
  }
}

void TFrmPopupMensagem::CarregarImagemOpaca(ui::TImagem* AImagem, const std::string& AArquivo) {
  AImagem->DefinirImagem(nullptr);
  if (!Arquivos().ArquivoExiste(AArquivo)) return;
  auto imagem = std::make_shared<TBitmap>();
  const TFormatoImagem formato = EhPng(AArquivo) ? TFormatoImagem::Png : TFormatoImagem::PeloNome;
  if (!CarregarImagemArquivo(AArquivo, formato, *imagem) || imagem->Vazio()) return;
  // Transparent parts of logos and images show white.
  MisturarSobreBranco(*imagem);
  AImagem->DefinirImagem(std::move(imagem));
  AImagem->DefinirModo(AImagem->Proporcional(), AImagem->Centralizado(), AImagem->Esticado(), true);
}

void TFrmPopupMensagem::PosicionarLogo() {
  if (!imgLogo->TemImagem()) {
    imgLogo->DefinirVisivel(false);
    return;
  }
  const int w = imgLogo->Imagem()->LarguraNatural(), h = imgLogo->Imagem()->AlturaNatural();
  if (w <= 0 || h <= 0) return;
  const double larguraMax = std::min(ClientWidth() - 160, 230);
  const double s = std::min(1.1, std::min(66.0 / h, larguraMax / w));
  const int lw = std::max(80, Arredondar(w * s));
  const int lh = std::max(44, Arredondar(h * s));
  imgLogo->DefinirLimites((ClientWidth() - lw) / 2, 14, lw, lh);
  AjustarModoImagem(imgLogo);
  imgLogo->DefinirVisivel(true);
}

int TFrmPopupMensagem::EstimarAlturaMensagem(const std::string& AMensagem) {
  const ui::TRetangulo area = ui::app::AreaDeTrabalho();
  long long n = 0;
  const std::vector<std::string> linhas = memMensagem->LinhasVisuais();
  for (const std::string& l : linhas) n += static_cast<long long>(ComprimentoUtf16(l) / 72) + 1;
  if (linhas.empty()) n = static_cast<long long>(ComprimentoUtf16(AMensagem) / 72) + 1;
  const long long estimada = std::max<long long>(130, 20 * n + 26);
  return static_cast<int>(std::min<long long>(area.Height - 310, estimada));
}

void TFrmPopupMensagem::LayoutTexto(const std::string& AMensagem) {
  const ui::TRetangulo area = ui::app::AreaDeTrabalho();
  const int w = std::min(area.Width - 40, 760);
  const int e = EstimarAlturaMensagem(AMensagem);
  const int h = std::min(area.Height - 40, std::max(430, e + 295));
  DefinirCliente(w, h);
  PosicionarLogo();
  lblEmpresa->DefinirLimites(24, 112, w - 48, 22);
  lblTitulo->DefinirLimites(24, 142, w - 48, 32);
  imgMensagem->DefinirVisivel(false);
  const bool comLink = FLinkLabel && FLinkLabel->Visivel();
  // The memo ends above the released check box; with a link it also gives up
  // the room that the link takes.
  const int acimaDaConfirmacao = h - kTopoConfirmacaoDoFundo - kFolgaConfirmacao;
  const int fundoMemo = comLink ? acimaDaConfirmacao - 24 - 8 : acimaDaConfirmacao;
  memMensagem->DefinirLimites(40, 190, w - 80, fundoMemo - 190);
  memMensagem->DefinirBarraVertical(true);
  if (comLink)
    FLinkLabel->DefinirLimites(40, memMensagem->Top() + memMensagem->Height() + 8, w - 80, 24);
}

void TFrmPopupMensagem::CriarAreaImagem() {
  if (FScrollImagem) return;
  FScrollImagem = new ui::TRolagem(pnlBase);
  FScrollImagem->Nome = "scrImagem";
  FScrollImagem->DefinirBordaSimples(true);
  FScrollImagem->DefinirCor(ui::kCorBranco);
  FScrollImagem->DefinirVisivel(false);
  FScrollImagem->AoRodarMouse = [this](int d, bool c) { return RodaMouseImagem(d, c); };
  imgMensagem->MudarPai(FScrollImagem);
  imgMensagem->DefinirPosicao(0, 0);
  imgMensagem->DefinirCursor(ui::TCursor::Mao);
  imgMensagem->AoClicar = [this] { AlternarExpansao(); };
  imgMensagem->AoDuploClique = [this] { AlternarExpansao(); };
  imgMensagem->AoRodarMouse = [this](int d, bool c) { return RodaMouseImagem(d, c); };
}

ui::TRetangulo TFrmPopupMensagem::AreaImagemNormal() const {
  // The area ends above the released check box (584 in the 680-high window).
  const int fundo = 680 - kTopoConfirmacaoDoFundo - kFolgaConfirmacao;
  if (FLinkLabel && FLinkLabel->Visivel()) return {40, 294, 560, fundo - 294};
  return {40, 272, 560, fundo - 272};
}

void TFrmPopupMensagem::AjustarImagemInicial() {
  CriarAreaImagem();
  if (!imgMensagem->TemImagem()) {
    FScrollImagem->DefinirVisivel(false);
    imgMensagem->DefinirVisivel(false);
    return;
  }
  // The picture's own size, also when it was decoded reduced to save memory.
  FImagemNaturalW = imgMensagem->Imagem()->LarguraNatural();
  FImagemNaturalH = imgMensagem->Imagem()->AlturaNatural();
  // Fitted into the area as the normal layout will place it.
  const ui::TRetangulo a = AreaImagemNormal();
  FScrollImagem->DefinirLimites(a.Left, a.Top, a.Width, a.Height);
  double ajuste = std::min((FScrollImagem->ClientWidth() - 8) * 0.96 / FImagemNaturalW,
                           (FScrollImagem->ClientHeight() - 8) * 0.96 / FImagemNaturalH);
  ajuste = std::clamp(ajuste, 0.18, 1.0);
  FZoomAjusteImagem = ajuste;
  LayoutNormal();
}

void TFrmPopupMensagem::AplicarZoom(double AZoom) {
  if (!FScrollImagem || FImagemNaturalW < 1 || FImagemNaturalH < 1) return;
  FZoomImagem = std::clamp(AZoom, kZoomMinimo, kZoomMaximo);
  const int w = std::max(80, Arredondar(FImagemNaturalW * FZoomImagem));
  const int h = std::max(60, Arredondar(FImagemNaturalH * FZoomImagem));
  const int left = std::max(0, (FScrollImagem->ClientWidth() - 4 - w) / 2);
  const int top = std::max(0, (FScrollImagem->ClientHeight() - 4 - h) / 2);
  imgMensagem->DefinirLimites(left, top, w, h);
  AjustarModoImagem(imgMensagem);
  imgMensagem->DefinirVisivel(true);
  // A smaller picture shrinks the scroll range; keep the positions inside it.
  FScrollImagem->DefinirPosicaoVertical(FScrollImagem->PosicaoVertical());
  FScrollImagem->DefinirPosicaoHorizontal(FScrollImagem->PosicaoHorizontal());
}

bool TFrmPopupMensagem::RodaMouseImagem(int ADelta, bool ACtrl) {
  if (!FScrollImagem) return false;
  if (ACtrl) {
    AplicarZoom(ADelta > 0 ? FZoomImagem * 1.12 : FZoomImagem / 1.12);
    return true;
  }
  const int passo = std::max(40, std::abs(ADelta));
  const int pos = FScrollImagem->PosicaoVertical();
  FScrollImagem->DefinirPosicaoVertical(ADelta < 0 ? pos + passo : std::max(0, pos - passo));
  return true;
}

void TFrmPopupMensagem::AlternarExpansao() {
  if (FImagemNaturalW <= 0 || FImagemNaturalH <= 0 || !FScrollImagem) return;
  if (FImagemExpandida)
    LayoutNormal();
  else
    LayoutExpandido();
}

void TFrmPopupMensagem::LayoutNormal() {
  DefinirCliente(640, 680);
  PosicionarLogo();
  lblEmpresa->DefinirLimites(24, 92, 592, 22);
  lblTitulo->DefinirLimites(24, 122, 592, 32);
  memMensagem->DefinirLimites(40, 166, 560, 92);
  memMensagem->DefinirSemBorda(true);
  // A long text must stay readable in the short box above the picture.
  memMensagem->DefinirBarraVertical(true);
  memMensagem->DefinirCor(ui::kCorBranco);
  ConfigurarLink();
  if (FLinkLabel && FLinkLabel->Visivel()) FLinkLabel->DefinirLimites(40, 260, 560, 24);
  const ui::TRetangulo a = AreaImagemNormal();
  FScrollImagem->DefinirLimites(a.Left, a.Top, a.Width, a.Height);
  FScrollImagem->DefinirVisivel(true);
  FScrollImagem->DefinirCor(ui::kCorBranco);
  FScrollImagem->DefinirBordaSimples(true);
  FScrollImagem->TrazerParaFrente();
  btnOK->DefinirLimites(235, 620, 170, 42);
  PosicionarConfirmacao();
  if (chkConfirmacao) chkConfirmacao->TrazerParaFrente();
  btnOK->TrazerParaFrente();
  FImagemExpandida = false;
  AplicarZoom(FZoomAjusteImagem);
  Centralizar();
}

void TFrmPopupMensagem::LayoutExpandido() {
  const ui::TRetangulo area = ui::app::AreaDeTrabalho();
  const int w = area.Width - 16, h = area.Height - 16;
  DefinirCliente(w, h);
  PosicionarLogo();
  lblEmpresa->DefinirLimites(24, 78, w - 48, 20);
  lblTitulo->DefinirLimites(24, 102, w - 48, 30);
  memMensagem->DefinirLimites(40, 134, w - 80, 26);
  // One line high: a scroll bar's arrows would not fit; the wheel still scrolls.
  memMensagem->DefinirBarraVertical(false);
  ConfigurarLink();
  const bool comLink = FLinkLabel && FLinkLabel->Visivel();
  if (comLink) FLinkLabel->DefinirLimites(40, 162, w - 80, 24);
  // The area ends above the released check box.
  const int topo = comLink ? 190 : 164;
  const int fundo = h - kTopoConfirmacaoDoFundo - kFolgaConfirmacao;
  FScrollImagem->DefinirLimites(18, topo, w - 36, fundo - topo);
  FScrollImagem->DefinirVisivel(true);
  FScrollImagem->DefinirCor(ui::kCorBranco);
  FScrollImagem->DefinirBordaSimples(true);
  FScrollImagem->TrazerParaFrente();
  btnOK->DefinirLimites((w - 170) / 2, h - 60, 170, 42);
  PosicionarConfirmacao();
  if (chkConfirmacao) chkConfirmacao->TrazerParaFrente();
  btnOK->TrazerParaFrente();
  FImagemExpandida = true;
  AplicarZoom(std::max(1.0, FZoomAjusteImagem * 1.85));
  DefinirPosicao(area.Left + (area.Width - w) / 2, area.Top + (area.Height - h) / 2);
}
