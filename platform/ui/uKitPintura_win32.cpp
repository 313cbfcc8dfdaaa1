// Win32 backend of the UI kit: fonts, brushes, colours and the painting of our own controls.
#include <windows.h>

#include <map>
#include <tuple>
#include <unordered_map>

#include "platform/uWin32Texto.h"
#include "platform/ui/uKitPixels.h"
#include "platform/ui/uKitWin32.h"

namespace ui::w32 {

namespace {

using TChaveFonte = std::tuple<std::string, int, bool, bool, int>;

HBITMAP CriarDib(const std::vector<uint32_t>& APixels, int ALargura, int AAltura) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = ALargura;
  bi.bmiHeader.biHeight = -AAltura;  // rows top to bottom, as TBitmap keeps them
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  // 0xAARRGGBB in memory is B, G, R, A: the DIB's own order.
  if (h && bits) memcpy(bits, APixels.data(), APixels.size() * sizeof(uint32_t));
  return h;
}

RECT Escalado(const TRetangulo& R, int ADpi) {
  return {Escalar(R.Left, ADpi), Escalar(R.Top, ADpi), Escalar(R.Right(), ADpi),
          Escalar(R.Bottom(), ADpi)};
}

void PintarImagem(TPeerWin32& P, HDC ADc, const RECT& ACliente) {
  auto& img = static_cast<TImagem&>(P.C);
  FillRect(ADc, &ACliente, PincelGdi(img.Opaco() ? CorFundo(img) : CorAtras(img)));
  if (!img.TemImagem()) return;
  const RECT alvo = Escalado(img.AreaDesenhada(), P.Dpi());
  const int w = alvo.right - alvo.left, h = alvo.bottom - alvo.top;
  if (w <= 0 || h <= 0) return;
  const TBitmap& bmp = *img.Imagem();
  if (!P.Dib || P.DibOrigem != &bmp || P.DibW != w || P.DibH != h) {
    // Scaled once per size with an area filter: AlphaBlend's own stretch drops pixels.
    P.LiberarImagem();
    const std::vector<uint32_t> px = EscalarPremultiplicado(bmp, w, h);
    if (px.empty()) return;
    P.Dib = CriarDib(px, w, h);
    P.DibOrigem = &bmp;
    P.DibW = w;
    P.DibH = h;
  }
  if (!P.Dib) return;
  HDC mem = CreateCompatibleDC(ADc);
  HGDIOBJ antigo = SelectObject(mem, P.Dib);
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(ADc, alvo.left, alvo.top, w, h, mem, 0, 0, w, h, bf);
  SelectObject(mem, antigo);
  DeleteDC(mem);
}

void PintarRotulo(TPeerWin32& P, HDC ADc, const RECT& ACliente) {
  auto& r = static_cast<TRotulo&>(P.C);
  FillRect(ADc, &ACliente, PincelGdi(r.Transparente() ? CorAtras(r) : CorFundo(r)));
  HGDIOBJ antiga = SelectObject(ADc, FonteGdi(r.Fonte(), P.Dpi()));
  SetBkMode(ADc, TRANSPARENT);
  SetTextColor(ADc, r.Habilitado() ? CorGdi(r.Fonte().Cor) : GetSysColor(COLOR_GRAYTEXT));
  UINT f = DT_NOPREFIX | DT_EXPANDTABS;
  if (r.Alinhamento() == TAlinhamento::Centro) f |= DT_CENTER;
  if (r.Alinhamento() == TAlinhamento::Direita) f |= DT_RIGHT;
  if (r.QuebraLinha()) f |= DT_WORDBREAK;
  const std::wstring t = ParaWide(r.Texto());
  RECT rc = ACliente;
  DrawTextW(ADc, t.c_str(), static_cast<int>(t.size()), &rc, f);
  SelectObject(ADc, antiga);
}

}  // namespace

HFONT FonteGdi(const TFonte& AFonte, int ADpi) {
  static std::map<TChaveFonte, HFONT> cache;
  const TChaveFonte chave{AFonte.Nome, AFonte.Altura, AFonte.Negrito, AFonte.Sublinhado, ADpi};
  auto it = cache.find(chave);
  if (it != cache.end()) return it->second;
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(AFonte.Altura, ADpi, 96);
  lf.lfWeight = AFonte.Negrito ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = AFonte.Sublinhado ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  const std::wstring nome = ParaWide(AFonte.Nome).substr(0, LF_FACESIZE - 1);
  wcsncpy(lf.lfFaceName, nome.c_str(), LF_FACESIZE - 1);
  HFONT h = CreateFontIndirectW(&lf);
  if (!h) h = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  cache.emplace(chave, h);
  return h;
}

HBRUSH PincelGdi(COLORREF ACor) {
  static std::unordered_map<COLORREF, HBRUSH> cache;
  auto it = cache.find(ACor);
  if (it != cache.end()) return it->second;
  HBRUSH h = CreateSolidBrush(ACor);
  cache.emplace(ACor, h);
  return h;
}

COLORREF CorGdi(TCor ACor) {
  if (EhCorSistema(ACor)) return GetSysColor(static_cast<int>(ACor & 0xFF));
  return RGB((ACor >> 16) & 0xFF, (ACor >> 8) & 0xFF, ACor & 0xFF);
}

COLORREF CorFundo(const TControle& AControle) {
  const TControle* c = &AControle;
  while (c && c->Cor() == kCorDoPai) c = c->Pai();
  return c ? CorGdi(c->Cor()) : GetSysColor(COLOR_BTNFACE);
}

COLORREF CorAtras(const TControle& AControle) {
  return AControle.Pai() ? CorFundo(*AControle.Pai()) : CorFundo(AControle);
}

void TPeerWin32::LiberarImagem() {
  if (Dib) DeleteObject(Dib);
  Dib = nullptr;
  DibOrigem = nullptr;
  DibW = DibH = 0;
}

void Pintar(TPeerWin32& P, HDC ADc, const RECT& ACliente) {
  switch (P.C.Tipo()) {
    case TTipoControle::Imagem:
      PintarImagem(P, ADc, ACliente);
      break;
    case TTipoControle::Rotulo:
      PintarRotulo(P, ADc, ACliente);
      break;
    default:
      FillRect(ADc, &ACliente, PincelGdi(CorFundo(P.C)));
      break;
  }
}

}  // namespace ui::w32
