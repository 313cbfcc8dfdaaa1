// The chat toast.
#include "chat/uChatToast.h"

#include "platform/uTexto.h"

namespace {

constexpr ui::TCor kBranco = 0xFFFFFF, kContorno = 0xBFDBFE, kAzul = 0x1268E8,
                   kContornoIcone = 0x2563EB, kVermelho = 0xEF2323, kTitulo = 0x0F172A,
                   kPreview = 0x334155;

ui::TFonte FontePt(int APontos, bool ANegrito, ui::TCor ACor) {
  ui::TFonte f;
  f.Nome = "Segoe UI";
  f.Altura = ui::TFonte::PontosParaPixels(APontos);
  f.Negrito = ANegrito;
  f.Cor = ACor;
  return f;
}

}  // namespace

TFrmChatToast::TFrmChatToast(const std::string& ANome, const std::string& AMensagem, int AQtd,
                             TEventoNotificacao AOnClickOpen)
    : FNome(CortarUtf16(ANome, kMaxTexto)),
      FMensagem(CortarUtf16(AMensagem, kMaxTexto)),
      FQtd(AQtd),
      FOnClickOpen(std::move(AOnClickOpen)) {
  Nome = "TFrmChatToast";
  ui::TEstiloJanela e;
  e.SemBorda = true;
  e.SempreNoTopo = true;
  e.NaBarraDeTarefas = false;
  e.JanelaFerramenta = true;
  e.DuploBuffer = true;
  e.MostrarSemAtivar = true;
  DefinirEstilo(e);
  DefinirCor(kBranco);
  DefinirFonte(FontePt(9, false, kTitulo));
  DefinirTamanhoCliente(kLargura, kAltura);
  const ui::TRetangulo a = ui::app::AreaDeTrabalho();
  DefinirPosicao(a.Right() - kLargura - 18, a.Bottom() - kAltura - 78);
  AoPintar = [this](ui::TCanvas& C) { Pintar(C); };
  AoMouse = [this](const ui::TEventoMouse& E) { Mouse(E); };
  // A log-off or shutdown that is only asked about (and may be cancelled)
  // leaves the card on screen; the real end closes it.
  AoConsultarFimSessao = [] { return true; };
  AoFimSessao = [this] { Fechar(); };
  FTimer.AoDisparar = [this] { TimerToastTimer(); };
  FTimer.DefinirIntervalo(kVidaMs);
  FTimer.DefinirHabilitado(true);
}

TFrmChatToast::~TFrmChatToast() = default;

TFrmChatToast* TFrmChatToast::CreateToast(ui::TJanela*, const std::string& ANome,
                                          const std::string& AMensagem, int AQtd,
                                          TEventoNotificacao AOnClickOpen) {
  return new TFrmChatToast(ANome, AMensagem, AQtd, std::move(AOnClickOpen));
}

std::string TFrmChatToast::TextoTitulo(const std::string& ANome) {
  const std::string t = Aparar(CortarUtf16(ANome, kMaxTexto));
  return t.empty() ? "Nova mensagem" : t;
}

std::string TFrmChatToast::TextoContagem(int AQtd) {
  // The plural of "mensagem" is "mensagens".
  return std::to_string(AQtd) + (AQtd != 1 ? " mensagens não lidas" : " mensagem não lida");
}

std::string TFrmChatToast::TextoPreview(const std::string& AMensagem) {
  const std::string t = Aparar(CortarUtf16(AMensagem, kMaxTexto));
  return t.empty() ? "Nova mensagem recebida no chat." : t;
}

std::string TFrmChatToast::TextoBadge(int AQtd) {
  return AQtd > 99 ? "99+" : std::to_string(AQtd);
}

void TFrmChatToast::Pintar(ui::TCanvas& C) const {
  const int W = kLargura, H = kAltura;
  C.Preencher({0, 0, W, H}, kBranco);
  C.RetanguloArredondado(0, 0, W - 1, H - 1, 18, kBranco, kContorno, 1);
  C.RetanguloArredondado(18, 30, 86, 98, 20, kAzul, kContornoIcone, 2);
  C.RetanguloArredondado(35, 54, 73, 74, 14, kBranco, kBranco, 2);
  C.Poligono({{44, 73}, {35, 86}, {55, 75}}, kBranco, kBranco, 2);
  for (int x : {45, 56, 67}) C.Elipse(x, 61, x + 6, 67, kAzul, kAzul, 2);
  if (FQtd > 0) {
    C.RetanguloArredondado(72, 16, 102, 46, 17, kVermelho, kBranco, 2);
    const ui::TFonte f = FontePt(9, true, kBranco);
    const std::string t = TextoBadge(FQtd);
    C.Texto(72 + (30 - C.MedirTexto(f, t).Largura) / 2, 22, t, f);
  }
  using ui::kTextoCentroVertical, ui::kTextoLinhaUnica, ui::kTextoReticencias;
  C.TextoNoRetangulo({118, 20, W - 44 - 118, 24}, TextoTitulo(FNome), FontePt(13, true, kTitulo),
                     kTextoLinhaUnica | kTextoCentroVertical | kTextoReticencias);
  C.TextoNoRetangulo({118, 50, W - 22 - 118, 22}, TextoContagem(FQtd), FontePt(10, true, kAzul),
                     kTextoLinhaUnica | kTextoCentroVertical | kTextoReticencias);
  C.TextoNoRetangulo({118, 78, W - 22 - 118, 26}, TextoPreview(FMensagem),
                     FontePt(10, false, kPreview), kTextoLinhaUnica | kTextoReticencias);
  C.TextoNoRetangulo({118, 114, W - 22 - 118, 26}, "Clique para abrir o chat",
                     FontePt(9, false, kAzul), kTextoLinhaUnica | kTextoCentroVertical);
}

void TFrmChatToast::TimerToastTimer() {
  Fechar();
}

void TFrmChatToast::Mouse(const ui::TEventoMouse& E) {
  if (E.Tipo != ui::TTipoMouse::Cima) return;
  FEmManipulador = true;
  try {
    if (FOnClickOpen) FOnClickOpen(this);
  } catch (...) {
    FEmManipulador = false;
    throw;
  }
  FEmManipulador = false;
  Fechar();
}
