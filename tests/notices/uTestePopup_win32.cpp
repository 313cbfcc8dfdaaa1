// The notice popup on real windows under Wine: shown by Exibir and driven from
// inside its own wait, with screenshots before and after the confirmation is
// released, and what the employee sees checked on the real window handles.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <string>
#include <vector>

#include "notices/uPopupMensagem.h"
#include "platform/uShell.h"
#include "tests/notices/uApoioAvisos.h"
#include "tests/support/uTestSupport.h"
#include "tests/ui/uKitTesteWin32.h"
#include "tools/wine/uCaptura.h"

using testeui::H;
using testeui::RetanguloNaJanela;

namespace {

enum class TLayout { Texto, Imagem, Expandido };

struct TCasoPopup {
  const char* Nome;  // screenshots: Nome + "_antes" / "_depois"
  const char* Mensagem;
  bool ComLogo;
  bool ComImagem;
  TLayout Layout;  // Expandido: the image is clicked before the screenshots
};

const TCasoPopup kCasos[] = {
    {"popup_texto",
     "Prezados colaboradores,\r\n\r\nNesta sexta-feira o expediente termina às 15h por causa da "
     "manutenção elétrica do prédio. Salvem seus arquivos e desliguem os computadores antes de "
     "sair.\r\n\r\nAtenciosamente, Recursos Humanos",
     false, false, TLayout::Texto},
    {"popup_link",
     "Seu cadastro de colaborador ainda não foi concluído. Complete-o em "
     "https://intranet.vesk.com.br/cadastro-colaborador.php?id=42 até o fim do mês (é rápido).",
     false, false, TLayout::Texto},
    {"popup_imagem",
     "Confira abaixo o novo mapa das salas de reunião, válido a partir de segunda-feira. Clique "
     "na imagem para ampliá-la.",
     true, true, TLayout::Imagem},
    {"popup_expandido",
     "Mapa das salas de reunião. Reservas em https://intranet.vesk.com.br/salas.", true, true,
     TLayout::Expandido},
};

// A logo with a transparent background (which must show white) and a rounded
// blue mark with a lighter band.
uint32_t CorLogo(int x, int y) {
  const double dx = (x - 45) / 40.0, dy = (y - 40) / 34.0;
  if (dx * dx + dy * dy <= 1.0) return 0xFF0164E6u;
  if (x >= 100 && x < 290 && y >= 28 && y < 52) return 0xFF4A90D9u;
  return 0x00000000u;
}

// A picture larger than the image area: a light grid of rooms with a dark frame
// and a red diagonal, so that scaling and cropping show in the screenshots.
uint32_t CorMapa(int x, int y) {
  if (x < 6 || y < 6 || x >= 794 || y >= 494) return 0xFF203040u;
  if (std::abs(x * 500 - y * 800) < 2400) return 0xFFD02020u;
  if (x % 160 < 3 || y % 125 < 3) return 0xFF607080u;
  return ((x / 160 + y / 125) % 2) ? 0xFFE8F0F8u : 0xFFC8DCF0u;
}

RECT Cliente(HWND AJanela) {
  RECT r{};
  GetClientRect(AJanela, &r);
  return r;
}

bool Dentro(const RECT& AInterno, const RECT& AExterno) {
  return AInterno.left >= AExterno.left && AInterno.top >= AExterno.top &&
         AInterno.right <= AExterno.right && AInterno.bottom <= AExterno.bottom;
}

std::string Texto(HWND AJanela) {
  wchar_t buf[256]{};
  GetWindowTextW(AJanela, buf, 256);
  std::string r;
  for (const wchar_t* c = buf; *c; ++c) r += static_cast<char>(*c < 128 ? *c : '?');
  return r;
}

// Width in pixels of the control's caption in the font the control really uses.
int LarguraDoTexto(HWND AControle) {
  wchar_t buf[256]{};
  const int n = GetWindowTextW(AControle, buf, 256);
  HDC dc = GetDC(AControle);
  HGDIOBJ fonte = reinterpret_cast<HGDIOBJ>(SendMessageW(AControle, WM_GETFONT, 0, 0));
  HGDIOBJ antiga = fonte ? SelectObject(dc, fonte) : nullptr;
  SIZE s{};
  GetTextExtentPoint32W(dc, buf, n, &s);
  if (antiga) SelectObject(dc, antiga);
  ReleaseDC(AControle, dc);
  return s.cx;
}

std::string NomeDoTeste(const ::testing::TestParamInfo<TCasoPopup>& AInfo) {
  return AInfo.param.Nome;
}

class PopupWin32 : public ::testing::TestWithParam<TCasoPopup> {
 protected:
  TShellGravador FShell;  // a click on the link must open no browser here
  SubstituirConcern<IShell> FSubShell{FShell};
  TPastaTemporaria FPasta;
};

// Before the release: the window is up and topmost, without frame, at its
// layout's size and place; neither the button nor the check box can be used,
// and a close from outside (Alt+F4) is refused.
void VerificarAntes(TFrmPopupMensagem& P, const TCasoPopup& ACaso) {
  HWND j = H(&P);
  EXPECT_TRUE(IsWindowVisible(j));
  EXPECT_TRUE(GetWindowLongW(j, GWL_EXSTYLE) & WS_EX_TOPMOST) << "not on top";
  EXPECT_FALSE(GetWindowLongW(j, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME)) << "has a frame";
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const RECT c = Cliente(j);
  const int wa = area.right - area.left, ha = area.bottom - area.top;
  EXPECT_EQ(c.right, P.ClientWidth());
  EXPECT_EQ(c.bottom, P.ClientHeight());
  switch (ACaso.Layout) {
    case TLayout::Texto:
      EXPECT_EQ(c.right, std::min(wa - 40, 760));
      EXPECT_GE(c.bottom, std::min(ha - 40, 430));
      EXPECT_LE(c.bottom, ha - 40);
      break;
    case TLayout::Imagem:
      EXPECT_EQ(c.right, 640);
      EXPECT_EQ(c.bottom, 680);
      break;
    case TLayout::Expandido:
      EXPECT_EQ(c.right, wa - 16);
      EXPECT_EQ(c.bottom, ha - 16);
      break;
  }
  RECT w{};
  GetWindowRect(j, &w);
  const int centroX = (area.left + area.right) / 2, centroY = (area.top + area.bottom) / 2;
  EXPECT_NEAR((w.left + w.right) / 2, centroX, 1) << "not centred on the work area";
  EXPECT_NEAR((w.top + w.bottom) / 2, centroY, 1) << "not centred on the work area";

  EXPECT_FALSE(IsWindowVisible(H(P.btnOK)));
  EXPECT_FALSE(IsWindowEnabled(H(P.btnOK)));
  EXPECT_EQ(Texto(H(P.btnOK)), "Aguarde 10 segundos...");
  EXPECT_FALSE(IsWindowVisible(H(P.chkConfirmacao)));
  EXPECT_EQ(P.LinkLabel() != nullptr, TFrmPopupMensagem::ExtrairLink(ACaso.Mensagem) != "");
  if (P.LinkLabel()) {
    EXPECT_TRUE(IsWindowVisible(H(P.LinkLabel())));
  }
  EXPECT_EQ(IsWindowVisible(H(P.imgLogo)) != FALSE, ACaso.ComLogo);
  EXPECT_EQ(P.ScrollImagem() && IsWindowVisible(H(P.ScrollImagem())), ACaso.ComImagem);

  SendMessageW(j, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowVisible(j)) << "closed from outside before the confirmation";
  EXPECT_EQ(TFrmPopupMensagem::Ativo(), &P);
}

// After the release: the unticked box over the disabled button, both wholly in
// the window; nothing the employee must read lies under the box; captions fit.
void VerificarDepois(TFrmPopupMensagem& P) {
  HWND j = H(&P), chk = H(P.chkConfirmacao), btn = H(P.btnOK);
  EXPECT_TRUE(GetWindowLongW(j, GWL_EXSTYLE) & WS_EX_TOPMOST) << "not on top";
  EXPECT_TRUE(IsWindowVisible(btn));
  EXPECT_FALSE(IsWindowEnabled(btn));
  EXPECT_EQ(Texto(btn), "Li e entendi");
  EXPECT_TRUE(IsWindowVisible(chk));
  EXPECT_TRUE(IsWindowEnabled(chk));
  EXPECT_EQ(SendMessageW(chk, BM_GETCHECK, 0, 0), BST_UNCHECKED);

  const RECT c = Cliente(j);
  const RECT rChk = RetanguloNaJanela(P.chkConfirmacao), rBtn = RetanguloNaJanela(P.btnOK);
  EXPECT_TRUE(Dentro(rChk, c)) << "check box leaves the window";
  EXPECT_TRUE(Dentro(rBtn, c)) << "button leaves the window";
  EXPECT_LE(rChk.bottom, rBtn.top) << "check box overlaps the button";
  EXPECT_EQ(c.bottom - rBtn.bottom, 18);
  // The box's square and the gap before the caption take about the height of
  // a menu check mark and a few pixels more.
  EXPECT_LE(LarguraDoTexto(chk) + GetSystemMetrics(SM_CXMENUCHECK) + 6, rChk.right - rChk.left)
      << "the check box caption is cut";

  for (ui::TControle* f : P.pnlBase->Filhos()) {
    if (f == P.chkConfirmacao || f == P.btnOK || !IsWindowVisible(H(f))) continue;
    const RECT r = RetanguloNaJanela(f);
    if (r.right <= r.left || r.bottom <= r.top) continue;
    EXPECT_TRUE(Dentro(r, c)) << f->Nome << " leaves the window";
    EXPECT_LE(r.bottom, rChk.top) << f->Nome << " lies under the check box";
  }
  if (P.LinkLabel()) {
    const RECT r = RetanguloNaJanela(P.LinkLabel());
    EXPECT_LE(LarguraDoTexto(H(P.LinkLabel())), r.right - r.left) << "the link caption is cut";
  }
}

// On the screenshot: the logo's transparent corner shows white and its mark
// its own blue. The logo is 300 x 80 drawn into its box at 230 / 300.
void VerificarLogoNaCaptura(TFrmPopupMensagem& P, const std::string& ACaptura) {
  TPngLido png;
  ASSERT_TRUE(LerPng(PastaCapturas() + "\\" + ACaptura + ".png", png));
  const RECT r = RetanguloNaJanela(P.imgLogo);  // no frame: window = client
  ASSERT_LE(r.right, png.Largura);
  ASSERT_LE(r.bottom, png.Altura);
  const double s = (r.right - r.left) / 300.0;
  const struct {
    const char* Onde;
    int X, Y;
    uint32_t Cor;
  } pontos[] = {
      {"transparent corner", r.left + 1, r.top + 1, 0xFFFFFFu},
      {"mark", r.left + static_cast<int>(45 * s), r.top + static_cast<int>(40 * s), 0x0164E6u}};
  for (const auto& c : pontos) {
    const uint32_t px = png.Pixel(c.X, c.Y);
    for (int d : {16, 8, 0})
      EXPECT_NEAR(static_cast<int>((px >> d) & 0xFF), static_cast<int>((c.Cor >> d) & 0xFF), 24)
          << c.Onde << std::hex << " 0x" << px;
  }
}

// Closes the message boxes of this thread; true when there was one.
bool FecharCaixas() {
  std::vector<HWND> caixas;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM l) -> BOOL {
        wchar_t classe[16]{};
        GetClassNameW(h, classe, 16);
        if (IsWindowVisible(h) && wcscmp(classe, L"#32770") == 0)
          reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&caixas));
  for (HWND h : caixas) PostMessageW(h, WM_COMMAND, IDOK, 0);
  return !caixas.empty();
}

// A popup that its steps could not confirm must fail the test, not hang the run.
void ConfirmarSeAindaAberto() {
  if (TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo()) {
    ADD_FAILURE() << "the popup was not confirmed by its steps";
    FecharCaixas();
    p->TimerConfirmacaoTimer();
    p->chkConfirmacao->DefinirMarcado(true);
    p->btnOKClick();
  }
}

void Clicar(HWND AControle) {
  SendMessageW(AControle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(AControle, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

}  // namespace

TEST_P(PopupWin32, AntesEDepoisDaLiberacaoEConfirmacao) {
  const TCasoPopup& caso = GetParam();
  std::string logo, imagem;
  if (caso.ComLogo) {
    logo = FPasta / "logo.png";
    GravarArquivoTeste(logo, PngRgba(300, 80, CorLogo));
  }
  if (caso.ComImagem) {
    imagem = FPasta / "mapa.png";
    GravarArquivoTeste(imagem, PngRgba(800, 500, CorMapa));
  }

  // The employee's hand, from a timer that fires inside the popup's wait. The
  // screenshot pumps messages, so the step must not run again inside itself.
  testeui::TRoteiro roteiro;
  int passo = 0;
  bool ocupado = false;
  HWND janela = nullptr;
  roteiro.AtePoder(150, [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    if (ocupado || !p || !p->EmEspera()) return false;
    ocupado = true;
    janela = H(p);
    switch (passo++) {
      case 0:
        if ((caso.Layout == TLayout::Expandido)) {
          Clicar(H(p->imgMensagem));
          EXPECT_TRUE(p->ImagemExpandida());
        }
        break;
      case 1:
        EXPECT_FALSE(p->Liberado());
        VerificarAntes(*p, caso);
        EXPECT_TRUE(CapturarJanela(janela, std::string(caso.Nome) + "_antes"));
        if (caso.ComLogo) VerificarLogoNaCaptura(*p, std::string(caso.Nome) + "_antes");
        break;
      case 2:
        // The ten seconds are up.
        p->TimerConfirmacaoTimer();
        break;
      case 3:
        EXPECT_TRUE(p->Liberado());
        EXPECT_EQ(p->ImagemExpandida(), (caso.Layout == TLayout::Expandido));
        VerificarDepois(*p);
        EXPECT_TRUE(CapturarJanela(janela, std::string(caso.Nome) + "_depois"));
        break;
      case 4:
        if (p->LinkLabel()) Clicar(H(p->LinkLabel()));
        // Pressed before the box is ticked, the disabled button must do nothing.
        // Posted, so that a warning box shown by mistake cannot block this step.
        PostMessageW(H(p->btnOK), BM_CLICK, 0, 0);
        break;
      case 5:
        EXPECT_FALSE(FecharCaixas()) << "the unticked button was pressed through";
        EXPECT_FALSE(p->Confirmado());
        SendMessageW(H(p->chkConfirmacao), BM_CLICK, 0, 0);
        EXPECT_EQ(SendMessageW(H(p->chkConfirmacao), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_TRUE(IsWindowEnabled(H(p->btnOK)));
        break;
      case 6:
        // A log-off is never held up by the notice, and does not close it.
        EXPECT_EQ(SendMessageW(janela, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
        EXPECT_TRUE(IsWindowVisible(janela));
        // Minimised from outside: the wait shows it again.
        ShowWindow(janela, SW_MINIMIZE);
        break;
      case 7:
        EXPECT_TRUE(IsWindowVisible(janela) && !IsIconic(janela)) << "left minimised";
        // Hidden from outside: the same.
        ShowWindow(janela, SW_HIDE);
        break;
      case 8:
        EXPECT_TRUE(IsWindowVisible(janela) && !IsIconic(janela)) << "left hidden";
        EXPECT_TRUE(GetWindowLongW(janela, GWL_EXSTYLE) & WS_EX_TOPMOST);
        break;
      default:
        PostMessageW(H(p->btnOK), BM_CLICK, 0, 0);
        ocupado = false;
        return true;
    }
    ocupado = false;
    return false;
  });
  roteiro.Apos(30000, ConfirmarSeAindaAberto);

  TFrmPopupMensagem::Exibir("Vesk Tecnologia", "Comunicado interno", caso.Mensagem, logo, imagem,
                            "");

  EXPECT_EQ(passo, 10);
  EXPECT_EQ(TFrmPopupMensagem::Ativo(), nullptr);
  EXPECT_FALSE(IsWindow(janela)) << "the window outlived Exibir";
  // The link opens through the shell, owned by the popup.
  const std::string link = TFrmPopupMensagem::ExtrairLink(caso.Mensagem);
  ASSERT_EQ(FShell.Chamadas.size(), link.empty() ? 0u : 1u);
  if (!link.empty()) {
    EXPECT_EQ(FShell.Chamadas[0].Arquivo, link);
    EXPECT_EQ(FShell.Chamadas[0].Verbo, "open");
    EXPECT_EQ(FShell.Chamadas[0].Janela, janela);
  }
}

INSTANTIATE_TEST_SUITE_P(Casos, PopupWin32, ::testing::ValuesIn(kCasos), NomeDoTeste);

namespace {

class PopupWin32Inicio : public ::testing::Test {
 protected:
  TShellGravador FShell;
  SubstituirConcern<IShell> FSubShell{FShell};
};

// Enter and a click where the button sits, sent to the window under that point.
void EnterECliqueNoBotao(TFrmPopupMensagem& P) {
  HWND janela = H(&P);
  HWND foco = GetFocus();
  if (!foco || GetAncestor(foco, GA_ROOT) != janela) foco = janela;
  PostMessageW(foco, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageW(foco, WM_KEYUP, VK_RETURN, 0xC01C0001);
  RECT b{};
  GetWindowRect(H(P.btnOK), &b);
  POINT c{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
  // A hidden or disabled button is not what the point finds.
  HWND alvo = WindowFromPoint(c);
  if (!alvo || GetAncestor(alvo, GA_ROOT) != janela) alvo = janela;
  ScreenToClient(alvo, &c);
  PostMessageW(alvo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
  PostMessageW(alvo, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
}

}  // namespace

// The moment the window appears it still shows its designed content and the
// confirmation does not exist: Enter and a click on the button's place then
// must not confirm, nor anything before the release.
TEST_F(PopupWin32Inicio, EnterECliqueAoAparecerNaoConfirmam) {
  testeui::TRoteiro roteiro;
  bool agiu = false;
  HWND janela = nullptr;
  // Due at the first pass of messages, which is when the window has just shown.
  roteiro.Apos(10, [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    ASSERT_NE(p, nullptr);
    janela = H(p);
    EXPECT_TRUE(IsWindowVisible(janela));
    EXPECT_FALSE(p->EmEspera());
    EXPECT_EQ(p->chkConfirmacao, nullptr) << "not the first pass of messages";
    EXPECT_FALSE(IsWindowVisible(H(p->btnOK)));
    EXPECT_FALSE(IsWindowEnabled(H(p->btnOK)));
    EnterECliqueNoBotao(*p);
    agiu = true;
  });
  Sleep(30);
  int passo = 0;
  bool ocupado = false;
  roteiro.AtePoder(100, [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    if (ocupado || !agiu || !p || !p->EmEspera()) return false;
    ocupado = true;
    switch (passo++) {
      case 0:
        EXPECT_FALSE(p->Confirmado()) << "confirmed before the release";
        EXPECT_TRUE(IsWindowVisible(janela));
        EXPECT_TRUE(CapturarJanela(janela, "popup_inicio_sem_botao"));
        // And once more in the wait, before the release.
        EnterECliqueNoBotao(*p);
        break;
      case 1:
        EXPECT_FALSE(p->Confirmado()) << "confirmed before the release";
        EXPECT_FALSE(p->Liberado());
        p->TimerConfirmacaoTimer();
        break;
      case 2:
        EXPECT_TRUE(p->Liberado());
        SendMessageW(H(p->chkConfirmacao), BM_CLICK, 0, 0);
        break;
      default:
        EXPECT_FALSE(p->Confirmado());
        PostMessageW(H(p->btnOK), BM_CLICK, 0, 0);
        ocupado = false;
        return true;
    }
    ocupado = false;
    return false;
  });
  roteiro.Apos(20000, ConfirmarSeAindaAberto);

  TFrmPopupMensagem::Exibir("Vesk Tecnologia", "Comunicado interno", "Mensagem curta.", "", "", "");

  EXPECT_TRUE(agiu) << "the first pass of messages did not run the step";
  EXPECT_EQ(passo, 4) << "Exibir returned before its steps confirmed it";
  EXPECT_FALSE(IsWindow(janela));
}

namespace {

// A 24-megapixel photo of one-pixel detail: a checkerboard, its last column
// and last row red.
constexpr int kFotoL = 6000, kFotoA = 4000;
uint32_t CorFoto(int x, int y) {
  if (x == kFotoL - 1 || y == kFotoA - 1) return 0xFF0000;
  return (x + y) % 2 ? 0xFFFFFF : 0x202020;
}

uint32_t Rgb(const TPngLido& APng, int AX, int AY) {
  return APng.Pixel(AX, AY) & 0xFFFFFF;
}

// How many of the horizontal neighbours in the square differ from each other.
double FracaoVizinhosDiferentes(const TPngLido& APng, int AX, int AY, int ALado) {
  int diferentes = 0;
  for (int y = AY; y < AY + ALado; ++y)
    for (int x = AX; x < AX + ALado; ++x) diferentes += Rgb(APng, x, y) != Rgb(APng, x + 1, y);
  return static_cast<double>(diferentes) / (ALado * ALado);
}

// A screenshot of the window, read back; a failure is reported.
bool Capturar(HWND AJanela, const std::string& ANome, TPngLido& APng) {
  const bool ok =
      CapturarJanela(AJanela, ANome) && LerPng(PastaCapturas() + "\\" + ANome + ".png", APng);
  EXPECT_TRUE(ok) << "no screenshot " << ANome;
  return ok;
}

// The image area's client rectangle (without its bars) in the popup's coordinates.
RECT ClienteDaArea(TFrmPopupMensagem& P) {
  HWND area = H(P.ScrollImagem());
  RECT r{};
  GetClientRect(area, &r);
  MapWindowPoints(area, H(&P), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

// The expanded view of a 24-megapixel photo: drawn at zoom 1 from the photo's
// own pixels, its far corner reachable beside the scroll bars, and zoomed to
// 5.0 painted from the part on screen (no paint of the whole enlarged photo).
TEST_F(PopupWin32Inicio, FotoGrandeExpandidaNoZoom1ENo5) {
  TPastaTemporaria pasta;
  const std::string foto = pasta / "foto.png";
  ASSERT_TRUE(GravarPngRgb(foto, kFotoL, kFotoA, CorFoto));
  testeui::TRoteiro roteiro;
  int passo = 0;
  bool ocupado = false;
  roteiro.AtePoder(150, [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    if (ocupado || !p || !p->EmEspera()) return false;
    ocupado = true;
    HWND janela = H(p), area = H(p->ScrollImagem());
    TPngLido png;
    switch (passo++) {
      case 0:
        p->TimerConfirmacaoTimer();
        Clicar(H(p->imgMensagem));
        EXPECT_TRUE(p->ImagemExpandida());
        EXPECT_DOUBLE_EQ(p->ZoomImagem(), 1.0);
        break;
      case 1: {
        // Zoom 1: every pixel of the photo on screen, neighbours as different as they are.
        if (!Capturar(janela, "popup_foto_zoom1", png)) break;
        const RECT c = ClienteDaArea(*p);
        EXPECT_GT(FracaoVizinhosDiferentes(png, c.left + 10, c.top + 10, 40), 0.95)
            << "the photo is not drawn from its own pixels";
        // To the far corner.
        SendMessageW(area, WM_VSCROLL, SB_BOTTOM, 0);
        SendMessageW(area, WM_HSCROLL, SB_RIGHT, 0);
        break;
      }
      case 2: {
        if (!Capturar(janela, "popup_foto_canto", png)) break;
        const RECT c = ClienteDaArea(*p);
        // The red last column and last row end exactly at the bars.
        EXPECT_EQ(Rgb(png, c.right - 1, c.bottom - 20), 0xFF0000u) << "last column out of reach";
        EXPECT_EQ(Rgb(png, c.right - 20, c.bottom - 1), 0xFF0000u) << "last row out of reach";
        EXPECT_NE(Rgb(png, c.right - 2, c.bottom - 20), 0xFF0000u);
        EXPECT_NE(Rgb(png, c.right - 20, c.bottom - 2), 0xFF0000u);
        for (int i = 0; i < 16; ++i) p->imgMensagem->RodarMouse(120, true);
        EXPECT_DOUBLE_EQ(p->ZoomImagem(), 5.0);
        break;
      }
      case 3: {
        // Zoom 5: the checkerboard five times larger, blended from pixel to
        // pixel: it repeats every 10 pixels, and 5 pixels on it is inverted.
        if (!Capturar(janela, "popup_foto_zoom5", png)) break;
        const RECT c = ClienteDaArea(*p);
        int repete = 0, contraste = 0, n = 0;
        for (int y = c.top + 100; y < c.top + 200; ++y)
          for (int x = c.left + 100; x < c.left + 300; ++x, ++n) {
            const int v = Rgb(png, x, y) & 0xFF;
            repete += std::abs(v - static_cast<int>(Rgb(png, x + 10, y) & 0xFF)) <= 8;
            contraste += std::abs(v - static_cast<int>(Rgb(png, x + 5, y) & 0xFF));
          }
        EXPECT_GT(repete, n * 95 / 100) << "not the photo at zoom 5";
        EXPECT_GT(contraste / n, 40) << "not the photo at zoom 5";
        EXPECT_TRUE(IsWindowVisible(janela));
        break;
      }
      default:
        SendMessageW(H(p->chkConfirmacao), BM_CLICK, 0, 0);
        PostMessageW(H(p->btnOK), BM_CLICK, 0, 0);
        ocupado = false;
        return true;
    }
    ocupado = false;
    return false;
  });
  roteiro.Apos(60000, ConfirmarSeAindaAberto);

  TFrmPopupMensagem::Exibir("Vesk Tecnologia", "Foto da confraternizacao",
                            "Clique na foto para ampliar.", "", foto, "");
  EXPECT_EQ(passo, 5);
}
