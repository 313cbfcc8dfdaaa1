// Win32 backend of the UI kit: fonts, brushes, colours and the painting of our own controls.
#include <windows.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

#include "platform/uWin32Texto.h"
#include "platform/ui/uKitPixels.h"
#include "platform/ui/uKitPinturaWin32.h"

namespace ui::w32 {

namespace {

using TChaveFonte = std::tuple<std::string, int, bool, bool, int>;

// A picture whose scaled size holds no more pixels than this (16 MiB) is
// prepared whole, once per size, so that repaints and scrolling cost a copy;
// a larger one (a photo enlarged past the screen) only where it is painted.
constexpr int64_t kMaxPixelsPreparadaInteira = 4 * 1024 * 1024;

// A memory DC with a bitmap selected, released on every way out.
class TDcDaImagem {
 public:
  TDcDaImagem(HDC ADc, HBITMAP ABmp) : FDc(CreateCompatibleDC(ADc)) {
    if (FDc) FAntigo = SelectObject(FDc, ABmp);
  }
  ~TDcDaImagem() {
    if (FAntigo) SelectObject(FDc, FAntigo);
    if (FDc) DeleteDC(FDc);
  }
  TDcDaImagem(const TDcDaImagem&) = delete;
  TDcDaImagem& operator=(const TDcDaImagem&) = delete;
  HDC Dc() const { return FAntigo ? FDc : nullptr; }

 private:
  HDC FDc;
  HGDIOBJ FAntigo = nullptr;
};

bool ContemRegiao(const TRetangulo& AFora, const TRetangulo& ADentro) {
  return ADentro.Left >= AFora.Left && ADentro.Top >= AFora.Top &&
         ADentro.Right() <= AFora.Right() && ADentro.Bottom() <= AFora.Bottom();
}

// A 32-bit top-down DIB section; ABits receives its pixels.
HBITMAP CriarDib(int ALargura, int AAltura, uint32_t*& ABits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = ALargura;
  bi.bmiHeader.biHeight = -AAltura;  // rows top to bottom, as TBitmap keeps them
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (h && !bits) {
    DeleteObject(h);
    h = nullptr;
  }
  ABits = static_cast<uint32_t*>(bits);
  return h;
}

RECT Escalado(const TRetangulo& R, int ADpi) {
  return {Escalar(R.Left, ADpi), Escalar(R.Top, ADpi), Escalar(R.Right(), ADpi),
          Escalar(R.Bottom(), ADpi)};
}

void PintarImagem(TPeerWin32& P, HDC ADc, const RECT& ARecorte) {
  auto& img = static_cast<TImagem&>(P.C);
  FillRect(ADc, &ARecorte, PincelGdi(img.Opaco() ? CorFundo(img) : CorAtras(img)));
  if (!img.TemImagem()) return;
  const RECT alvo = Escalado(img.AreaDesenhada(), P.Dpi());
  const int w = alvo.right - alvo.left, h = alvo.bottom - alvo.top;
  RECT visto{};
  if (w <= 0 || h <= 0 || !IntersectRect(&visto, &alvo, &ARecorte)) return;
  // The part of the scaled picture that is painted, in its own pixels.
  const TRetangulo parte{visto.left - alvo.left, visto.top - alvo.top, visto.right - visto.left,
                         visto.bottom - visto.top};
  const TBitmap& bmp = *img.Imagem();
  if (!P.Dib || P.DibOrigem != &bmp || P.DibW != w || P.DibH != h ||
      !ContemRegiao(P.DibRegiao, parte)) {
    // Scaled with an area filter: AlphaBlend's own stretch drops pixels.
    P.LiberarImagem();
    const TRetangulo regiao =
        static_cast<int64_t>(w) * h <= kMaxPixelsPreparadaInteira ? TRetangulo{0, 0, w, h} : parte;
    // Scaled straight into the DIB: 0xAARRGGBB in memory is B, G, R, A, the DIB's own order.
    uint32_t* bits = nullptr;
    P.Dib = CriarDib(regiao.Width, regiao.Height, bits);
    if (!P.Dib) return;
    if (!EscalarRegiao(bmp, w, h, regiao, bits)) {
      P.LiberarImagem();
      return;
    }
    P.DibOrigem = &bmp;
    P.DibW = w;
    P.DibH = h;
    P.DibRegiao = regiao;
  }
  TDcDaImagem mem(ADc, P.Dib);
  if (!mem.Dc()) return;
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(ADc, visto.left, visto.top, parte.Width, parte.Height, mem.Dc(),
             parte.Left - P.DibRegiao.Left, parte.Top - P.DibRegiao.Top, parte.Width, parte.Height,
             bf);
}

void PintarRotulo(TPeerWin32& P, HDC ADc, const RECT& ACliente, const RECT& ARecorte) {
  auto& r = static_cast<TRotulo&>(P.C);
  FillRect(ADc, &ARecorte, PincelGdi(r.Transparente() ? CorAtras(r) : CorFundo(r)));
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

// The kit's canvas over a DC: 96-DPI coordinates scaled by the window's DPI.
class TCanvasGdi final : public TCanvas {
 public:
  TCanvasGdi(HDC ADc, int ADpi) : FDc(ADc), FDpi(ADpi) {}

  void Preencher(const TRetangulo& R, TCor ACor) override {
    const RECT r = Escalado(R, FDpi);
    FillRect(FDc, &r, PincelGdi(CorGdi(ACor)));
  }

  void RetanguloArredondado(int AL, int AT, int AR, int AB, int AE, TCor APincel, TCor ACaneta,
                            int ALargura) override {
    TCaneta c(*this, APincel, ACaneta, ALargura);
    RoundRect(FDc, E(AL), E(AT), E(AR), E(AB), E(AE), E(AE));
  }

  void Elipse(int AL, int AT, int AR, int AB, TCor APincel, TCor ACaneta, int ALargura) override {
    TCaneta c(*this, APincel, ACaneta, ALargura);
    Ellipse(FDc, E(AL), E(AT), E(AR), E(AB));
  }

  void Poligono(const std::vector<TPonto>& APontos, TCor APincel, TCor ACaneta,
                int ALargura) override {
    if (APontos.empty()) return;
    std::vector<POINT> pts;
    for (const TPonto& p : APontos) pts.push_back({E(p.X), E(p.Y)});
    TCaneta c(*this, APincel, ACaneta, ALargura);
    Polygon(FDc, pts.data(), static_cast<int>(pts.size()));
  }

  void Texto(int AX, int AY, const std::string& ATexto, const TFonte& AFonte) override {
    HGDIOBJ antiga = SelectObject(FDc, FonteGdi(AFonte, FDpi));
    SetBkMode(FDc, TRANSPARENT);
    SetTextColor(FDc, CorGdi(AFonte.Cor));
    const std::wstring w = ParaWide(ATexto);
    TextOutW(FDc, E(AX), E(AY), w.c_str(), static_cast<int>(w.size()));
    SelectObject(FDc, antiga);
  }

  void TextoNoRetangulo(const TRetangulo& R, const std::string& ATexto, const TFonte& AFonte,
                        uint32_t AFormato) override {
    HGDIOBJ antiga = SelectObject(FDc, FonteGdi(AFonte, FDpi));
    SetBkMode(FDc, TRANSPARENT);
    SetTextColor(FDc, CorGdi(AFonte.Cor));
    UINT f = DT_NOPREFIX;
    if (AFormato & kTextoLinhaUnica) f |= DT_SINGLELINE;
    if (AFormato & kTextoCentroVertical) f |= DT_VCENTER;
    if (AFormato & kTextoReticencias) f |= DT_END_ELLIPSIS;
    const std::wstring w = ParaWide(ATexto);
    RECT r = Escalado(R, FDpi);
    DrawTextW(FDc, w.c_str(), static_cast<int>(w.size()), &r, f);
    SelectObject(FDc, antiga);
  }

  TTamanho MedirTexto(const TFonte& AFonte, const std::string& ATexto) override {
    return app::MedirTexto(AFonte, ATexto);
  }

  int Dpi() const override { return FDpi; }

  void Imagem(const TBitmap& AImagem, const TRetangulo& ADestino) override {
    const RECT alvo = Escalado(ADestino, FDpi);
    const int w = alvo.right - alvo.left, h = alvo.bottom - alvo.top;
    if (AImagem.Vazio() || w <= 0 || h <= 0) return;
    uint32_t* bits = nullptr;
    HBITMAP dib = CriarDib(w, h, bits);
    if (!dib) return;
    if (EscalarRegiao(AImagem, w, h, {0, 0, w, h}, bits)) {
      TDcDaImagem mem(FDc, dib);
      BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      if (mem.Dc()) AlphaBlend(FDc, alvo.left, alvo.top, w, h, mem.Dc(), 0, 0, w, h, bf);
    }
    DeleteObject(dib);
  }

 private:
  int E(int A) const { return Escalar(A, FDpi); }

  // Brush and pen selected for one shape, released after it.
  class TCaneta {
   public:
    TCaneta(TCanvasGdi& C, TCor APincel, TCor ACaneta, int ALargura) : FDc(C.FDc) {
      FPen = CreatePen(PS_SOLID, std::max(1, C.E(ALargura)), CorGdi(ACaneta));
      FAntigaPen = SelectObject(FDc, FPen ? static_cast<HGDIOBJ>(FPen) : GetStockObject(NULL_PEN));
      FAntigoPincel = SelectObject(FDc, PincelGdi(CorGdi(APincel)));
    }
    ~TCaneta() {
      SelectObject(FDc, FAntigoPincel);
      SelectObject(FDc, FAntigaPen);
      if (FPen) DeleteObject(FPen);
    }
    TCaneta(const TCaneta&) = delete;
    TCaneta& operator=(const TCaneta&) = delete;

   private:
    HDC FDc;
    HPEN FPen = nullptr;
    HGDIOBJ FAntigaPen = nullptr, FAntigoPincel = nullptr;
  };

  HDC FDc;
  int FDpi;
};

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
  DibRegiao = {};
}

void Pintar(TPeerWin32& P, HDC ADc, const RECT& ACliente, const RECT& ARecorte) {
  switch (P.C.Tipo()) {
    case TTipoControle::Imagem:
      PintarImagem(P, ADc, ARecorte);
      break;
    case TTipoControle::Rotulo:
      PintarRotulo(P, ADc, ACliente, ARecorte);
      break;
    case TTipoControle::Janela: {
      auto& j = static_cast<TJanela&>(P.C);
      if (!j.AoPintar) {
        FillRect(ADc, &ARecorte, PincelGdi(CorFundo(P.C)));
        break;
      }
      // Drawn whole into the paint buffer; the windows drawn in code are small.
      FillRect(ADc, &ACliente, PincelGdi(CorFundo(P.C)));
      TCanvasGdi canvas(ADc, P.Dpi());
      j.Pintar(canvas);
      break;
    }
    default:
      FillRect(ADc, &ARecorte, PincelGdi(CorFundo(P.C)));
      break;
  }
}

}  // namespace ui::w32
