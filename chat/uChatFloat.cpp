// The floating chat bubble and its facade.
#include "chat/uChatFloat.h"

#include <algorithm>
#include <cstdlib>

#include "chat/uChatBrowser.h"
#include "chat/uChatPedidos.h"
#include "chat/uChatToast.h"
#include "chat/uChatUnread.h"
#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uConvencoes.h"
#include "net/uJsonHelper.h"
#include "platform/uTexto.h"

namespace {

constexpr const char kBalaoBase64[] =
#include "chat/uBalaoPng.inc"
    ;
constexpr const char kBalao144Base64[] =
#include "chat/uBalaoPng144.inc"
    ;

constexpr ui::TCor kAzul = 0x006EFD, kVermelho = 0xEF2323, kBranco = 0xFFFFFF;

TFrmChatFloat* GBolha = nullptr;
TFrmChatToast* GToast = nullptr;
ui::TJanela* GAplicacao = nullptr;

std::string DecodificarBase64(std::string_view ATexto) {
  std::string r;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : ATexto) {
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else if (c == '=')
      break;
    else
      continue;  // line breaks of the constant
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      r += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  return r;
}

ui::TFonte FonteBadge() {
  ui::TFonte f;
  f.Nome = "Segoe UI";
  f.Altura = ui::TFonte::PontosParaPixels(7);
  f.Negrito = true;
  f.Cor = kBranco;
  return f;
}

// Frees a replaced or final toast once no handler of it is running: a click on
// it may be opening the chat (which lets messages run) when a poll replaces it.
void LiberarToast(TFrmChatToast* AToast) {
  if (!AToast) return;
  if (AToast->EmManipulador()) {
    ui::app::Postar([AToast] { LiberarToast(AToast); });
    return;
  }
  try {
    delete AToast;
  } catch (...) {
    // A toast that fails to destroy itself must not take the bubble with it.
  }
}

}  // namespace

// ---------------------------------------------------------------- TFrmChatFloat

TFrmChatFloat::TFrmChatFloat(ui::TJanela*) {
  Nome = "TFrmChatFloat";
  ui::TEstiloJanela e;
  e.SemBorda = true;
  e.SempreNoTopo = true;
  e.NaBarraDeTarefas = false;
  e.JanelaFerramenta = true;
  e.DuploBuffer = true;
  e.MostrarSemAtivar = true;
  DefinirEstilo(e);
  DefinirCor(kBranco);
  ui::TFonte f;
  f.Altura = ui::TFonte::PontosParaPixels(8);
  DefinirFonte(f);
  DefinirTamanhoCliente(kTamanho, kTamanho);
  AoPintar = [this](ui::TCanvas& C) { PintarEm(C); };
  AoMouse = [this](const ui::TEventoMouse& E) { Mouse(E); };
  // Alt+F4 or a close from outside would leave the employee without the chat
  // for the rest of the session: only the program's own end closes it.
  AoConsultarFechamento = [] { return ui::app::Terminando(); };
  // A log-off or shutdown is first only asked about, and may be cancelled:
  // the bubble stays until the end is real.
  AoConsultarFimSessao = [] { return true; };
  AoFimSessao = [this] {
    FTimer.DefinirHabilitado(false);
    FKeepVisibleTimer.DefinirHabilitado(false);
    Ocultar();
  };

  auto png = std::make_unique<TBitmap>();
  try {
    if (!CarregarPngEmbutido(*png)) throw std::runtime_error("imagem PNG invalida");
    FPngChat = std::move(png);
    TLogger::Log("Vesk Chat: balao oficial carregado embutido. Tamanho=" +
                 std::to_string(FPngChat->Largura) + "x" + std::to_string(FPngChat->Altura));
  } catch (const std::exception& ex) {
    FPngChat.reset();
    TLogger::Log(std::string("Vesk Chat: falha ao carregar balao oficial embutido: ") + ex.what());
  }
  // Without it the 72x72 picture is enlarged: blurred, but the same drawing.
  auto nitido = std::make_unique<TBitmap>();
  if (FPngChat && CarregarPngNitido(*nitido) && !nitido->Vazio()) FPngNitido = std::move(nitido);
  FUnread = 0;
  FLastUnread = -1;
  FFlashTicks = 0;
  FShowAttempts = 0;
  CarregarPosicao();
  ManterNaAreaDeTrabalho();
  FTimer.AoDisparar = [this] { TimerChatTimer(); };
  FTimer.DefinirIntervalo(kIntervaloMs);
  FTimer.DefinirHabilitado(true);
  FKeepVisibleTimer.AoDisparar = [this] { KeepVisibleTimerTimer(); };
  FKeepVisibleTimer.DefinirIntervalo(kKeepVisibleMs);
  FKeepVisibleTimer.DefinirHabilitado(true);
}

TFrmChatFloat::~TFrmChatFloat() {
  FVivo.reset();
  TVeskChatFloat::DescartarToast();
  try {
    TVeskChatBrowser::Fechar();
  } catch (...) {
    // The bubble is being destroyed; closing the chat is best effort.
  }
  try {
    SalvarPosicao();
  } catch (...) {
    // The place is lost; the agent is ending anyway.
  }
  FPngChat.reset();
  FPngNitido.reset();
}

bool TFrmChatFloat::CarregarPngEmbutido(TBitmap& AImagem) {
  return DecodificarImagemMemoria(DecodificarBase64(kBalaoBase64), TFormatoImagem::Png, AImagem);
}

bool TFrmChatFloat::CarregarPngNitido(TBitmap& AImagem) {
  return DecodificarImagemMemoria(DecodificarBase64(kBalao144Base64), TFormatoImagem::Png, AImagem);
}

void TFrmChatFloat::CarregarPosicao() {
  const ui::TRetangulo a = ui::app::AreaDeTrabalho();
  const int l = TConfigINI::LerInteiro("CHAT_FLOAT", "LEFT", a.Right() - Width() - 18);
  const int t = TConfigINI::LerInteiro("CHAT_FLOAT", "TOP", a.Bottom() - Height() - 120);
  DefinirPosicao(l, t);
}

void TFrmChatFloat::SalvarPosicao() {
  TConfigINI::EscreverInteiro("CHAT_FLOAT", "LEFT", Left());
  TConfigINI::EscreverInteiro("CHAT_FLOAT", "TOP", Top());
  TConfigINI::Descarregar();
}

void TFrmChatFloat::ManterNaAreaDeTrabalho() {
  const int W = Width(), H = Height();
  // Read afresh for each test: the work area may change at any moment.
  if (Left() < ui::app::AreaDeTrabalho().Left)
    DefinirPosicao(ui::app::AreaDeTrabalho().Left + 10, Top());
  if (Top() < ui::app::AreaDeTrabalho().Top)
    DefinirPosicao(Left(), ui::app::AreaDeTrabalho().Top + 10);
  if (Left() > ui::app::AreaDeTrabalho().Right() - W)
    DefinirPosicao(ui::app::AreaDeTrabalho().Right() - W - 10, Top());
  if (Top() > ui::app::AreaDeTrabalho().Bottom() - H)
    DefinirPosicao(Left(), ui::app::AreaDeTrabalho().Bottom() - H - 10);
}

ui::TRegiao TFrmChatFloat::RegiaoDaImagem(const TBitmap* AImagem, int ALargura, int AAltura,
                                          int AUnread) {
  ui::TRegiao r;
  if (AImagem && !AImagem->Vazio()) {
    const int h = std::min(AImagem->Altura, AAltura), w = std::min(AImagem->Largura, ALargura);
    for (int y = 0; y < h; ++y) {
      const uint32_t* linha = AImagem->Pixels.data() + static_cast<size_t>(y) * AImagem->Largura;
      for (int x = 0; x < w;) {
        if ((linha[x] >> 24) <= 8) {
          ++x;
          continue;
        }
        const int inicio = x;
        while (x < w && (linha[x] >> 24) > 8) ++x;
        r.Retangulos.push_back({inicio, y, x - inicio, 1});
      }
    }
  }
  if (r.Retangulos.empty()) r.Retangulos.push_back({0, 0, ALargura, AAltura});
  if (AUnread > 0) r.Arredondados.push_back({37, 0, 72, 24, 12});
  return r;
}

void TFrmChatFloat::AplicarRegiao() {
  DefinirRegiao(RegiaoDaImagem(FPngChat.get(), ClientWidth(), ClientHeight(), FUnread));
}

void TFrmChatFloat::DefinirUnread(int AN) {
  if (AN == FUnread) return;
  FUnread = AN;
  AplicarRegiao();
  Repintar();
}

void TFrmChatFloat::MostrarForcado() {
  ManterNaAreaDeTrabalho();
  AplicarRegiao();
  TLogger::Log("Vesk Chat MostrarForcado chamado. Pos=" + std::to_string(Left()) + "," +
               std::to_string(Top()));
  Mostrar();
  MostrarNoTopoSemAtivar();
  ManterToastAcima();
  Repintar();
}

void TFrmChatFloat::ManterToastAcima() {
  // At the default place the bubble lies under the toast's right edge: raising
  // the bubble must not cover the toast while it is on screen.
  TFrmChatToast* t = TVeskChatFloat::ToastAtual();
  if (t && t->NaTela()) t->MostrarNoTopoSemAtivar();
}

void TFrmChatFloat::KeepVisibleTimerTimer() {
  ++FShowAttempts;
  MostrarForcado();
  if (FShowAttempts >= 8) FKeepVisibleTimer.DefinirHabilitado(false);
}

void TFrmChatFloat::TimerChatTimer() {
  // One look at config.ini for the whole tick.
  TPassagemConfig passagem;
  PollUnread();
  try {
    TVeskChatBrowser::FecharSeMinimizado();
  } catch (...) {
    // The tick goes on; the next one looks at the chat again.
  }
  if (FFlashTicks > 0) --FFlashTicks;
  Repintar();
}

std::string TFrmChatFloat::TextoBadge(int AUnread) {
  return AUnread > 99 ? "99+" : std::to_string(AUnread);
}

int TFrmChatFloat::EsquerdaBadge(int ALarguraTexto) {
  return std::clamp(72 - (ALarguraTexto + 14), 38, 50);
}

void TFrmChatFloat::PintarEm(ui::TCanvas& C) const {
  C.Preencher({0, 0, ClientWidth(), ClientHeight()}, kAzul);
  if (FPngChat && !FPngChat->Vazio())
    C.Imagem(C.Dpi() > 96 && FPngNitido ? *FPngNitido : *FPngChat, {0, 0, 72, 72});
  if (FUnread > 0) {
    const std::string t = TextoBadge(FUnread);
    const ui::TFonte f = FonteBadge();
    const ui::TTamanho m = C.MedirTexto(f, t);
    const int esq = EsquerdaBadge(m.Largura);
    C.RetanguloArredondado(esq, 0, 72, 23, 12, kVermelho, kBranco, 2);
    C.Texto(esq + (72 - esq - m.Largura) / 2, (23 - m.Altura) / 2, t, f);
  }
}

void TFrmChatFloat::Mouse(const ui::TEventoMouse& E) {
  switch (E.Tipo) {
    case ui::TTipoMouse::Baixo:
      if (E.Botao != ui::TBotaoMouse::Esquerdo) return;
      FMouseDown = true;
      FDragging = false;
      FDownPoint = E.Posicao;
      break;
    case ui::TTipoMouse::Move:
      if (!FMouseDown) return;
      if (std::abs(E.Posicao.X - FDownPoint.X) > 3 || std::abs(E.Posicao.Y - FDownPoint.Y) > 3)
        FDragging = true;
      if (FDragging) {
        const ui::TPonto p = ui::app::PosicaoCursor();
        DefinirPosicao(p.X - FDownPoint.X, p.Y - FDownPoint.Y);
        ManterNaAreaDeTrabalho();
      }
      break;
    case ui::TTipoMouse::Cima:
      if (E.Botao != ui::TBotaoMouse::Esquerdo) return;
      FMouseDown = false;
      if (FDragging)
        SalvarPosicao();
      else
        AbrirChatInterno();
      FDragging = false;
      break;
  }
}

void TFrmChatFloat::AbrirChatInterno() {
  if (FAbrindo) return;
  FAbrindo = true;
  try {
    const TConfigAgente cfg = TConfigINI::Carregar();
    if (HandleNativo()) {
      MostrarNoTopoSemAtivar();
      ManterToastAcima();
    }
    TLogger::Log("Vesk Chat abrindo com token=" + CortarUtf16(Aparar(cfg.ApiToken), 6) +
                 "... pc=" + ObterNomeComputador() + " user=" + ObterUsuarioWindows());
    std::weak_ptr<bool> vivo = FVivo;
    TPedidosChat::Enfileirar(
        TChatUnread::MontarUrlMarcarLidas(), [this, vivo](const TPedidosChat::TResultado& R) {
          if (vivo.expired()) return;
          // Whatever mark-all-read answered, the chat opens.
          try {
            AplicarMarcarLidas(R.Ok, R.Corpo, R.Mensagem);
            const TConfigAgente c = TConfigINI::Carregar();
            std::string base = TConfigINI::NormalizarURL(c.URL, c.UsarSSL);
            const std::string host = TVeskChatBrowser::HostChat();
            if (host.empty() || !Contem(MinusculasAscii(base), host))
              base = TVeskChatBrowser::UrlBaseChat();
            TVeskChatBrowser::Abrir(base, c.ApiToken, ObterNomeComputador(), ObterUsuarioWindows());
          } catch (const std::exception& e) {
            TLogger::Log(std::string("Erro ao abrir Vesk Chat interno: ") + e.what());
          }
          if (!vivo.expired()) FAbrindo = false;
        });
  } catch (const std::exception& e) {
    TLogger::Log(std::string("Erro ao abrir Vesk Chat interno: ") + e.what());
    FAbrindo = false;
  }
}

void TFrmChatFloat::ExibirToast() {
  TVeskChatFloat::DescartarToast();
  std::weak_ptr<bool> vivo = FVivo;
  TFrmChatToast* t = TFrmChatToast::CreateToast(nullptr, FUltimoRemetente, FUltimaMensagem, FUnread,
                                                [this, vivo](void*) {
                                                  if (!vivo.expired()) AbrirChatInterno();
                                                });
  TVeskChatFloat::DefinirToast(t);
  t->Mostrar();
  if (t->HandleNativo()) t->MostrarNoTopoSemAtivar();
}

// ---------------------------------------------------------------- TVeskChatFloat

void TVeskChatFloat::Iniciar(ui::TJanela* AAplicacao) {
  try {
    if (AAplicacao) GAplicacao = AAplicacao;
    if (!GBolha) {
      GBolha = new TFrmChatFloat(nullptr);
      TVeskChatBrowser::DefinirOnClosed([](void*) {
        if (GBolha) GBolha->MostrarForcado();
      });
    }
    GBolha->MostrarForcado();
    GBolha->PollUnread();
    TLogger::Log("Vesk Chat Float exibido em " + std::to_string(GBolha->Left()) + "," +
                 std::to_string(GBolha->Top()));
  } catch (const std::exception& e) {
    TLogger::Log(std::string("Erro ao iniciar Vesk Chat Float: ") + e.what());
  }
}

void TVeskChatFloat::Mostrar() {
  if (GBolha)
    GBolha->MostrarForcado();
  else
    Iniciar();
}

void TVeskChatFloat::Finalizar() {
  if (!GBolha && !GToast) return;
  DescartarToast();
  try {
    TVeskChatBrowser::Fechar();
  } catch (...) {
    // Ending: closing the chat is best effort, the bubble still goes.
  }
  if (TFrmChatFloat* b = GBolha) {
    GBolha = nullptr;
    delete b;
  }
  GAplicacao = nullptr;
}

void TVeskChatFloat::AtualizarUnread() {
  if (GBolha) GBolha->PollUnread();
}

TFrmChatFloat* TVeskChatFloat::Bolha() {
  return GBolha;
}
TFrmChatToast* TVeskChatFloat::ToastAtual() {
  return GToast;
}
ui::TJanela* TVeskChatFloat::Aplicacao() {
  return GAplicacao;
}

void TVeskChatFloat::DescartarToast() {
  TFrmChatToast* t = GToast;
  GToast = nullptr;
  if (!t) return;
  try {
    t->Ocultar();
  } catch (...) {
    // A toast that cannot hide is dropped all the same.
  }
  LiberarToast(t);
}

void TVeskChatFloat::DefinirToast(TFrmChatToast* AToast) {
  GToast = AToast;
}

// --- unread polling and mark-all-read ------------------------------------------

void TFrmChatFloat::ExtrairRemetenteEMensagem(const std::string& ATexto) {
  FUltimoRemetente = TChatUnread::ExtrairCampoJson(ATexto, "remetente_nome");
  if (EmBranco(FUltimoRemetente))
    FUltimoRemetente = TChatUnread::ExtrairCampoJson(ATexto, "ultimo_remetente");
  FUltimaMensagem = TChatUnread::ExtrairCampoJson(ATexto, "preview");
  if (EmBranco(FUltimaMensagem))
    FUltimaMensagem = TChatUnread::ExtrairCampoJson(ATexto, "ultima_mensagem");
  if (EmBranco(FUltimoRemetente)) FUltimoRemetente = "Nova mensagem";
  if (EmBranco(FUltimaMensagem)) FUltimaMensagem = "Nova mensagem recebida no chat.";
  // Whatever the server sends, the log line and the toast get a bounded text.
  FUltimoRemetente = CortarUtf16(FUltimoRemetente, TFrmChatToast::kMaxTexto);
  FUltimaMensagem = CortarUtf16(FUltimaMensagem, TFrmChatToast::kMaxTexto);
}

void TFrmChatFloat::PollUnread() {
  if (TPedidosChat::Ocupado()) return;
  try {
    std::weak_ptr<bool> vivo = FVivo;
    TPedidosChat::Enfileirar(TChatUnread::MontarUrlUnread(),
                             [this, vivo](const TPedidosChat::TResultado& R) {
                               if (vivo.expired()) return;
                               AplicarUnread(R.Ok, R.Corpo, R.Mensagem);
                             });
  } catch (const std::exception& e) {
    AplicarUnread(false, "", e.what());
  }
}

void TFrmChatFloat::AplicarUnread(bool AOk, const std::string& ACorpo, const std::string& AErro) {
  std::string erro = AErro;
  if (AOk) {
    try {
      int n = TChatUnread::ExtrairNaoLidas(ACorpo);
      ExtrairRemetenteEMensagem(ACorpo);
      if (n < 0) n = 0;
      if (FLastUnread >= 0 && FLastUnread < n) {
        TocarSomNotificacao();
        FFlashTicks = 8;
        if (HandleNativo()) {
          Piscar();
          if (ui::TJanela* app = TVeskChatFloat::Aplicacao()) app->Piscar();
          Repintar();
        }
        DefinirUnread(n);
        ExibirToast();
        TLogger::Log("Vesk Chat: nova mensagem detectada. Não lidas=" + std::to_string(n) + " de " +
                     FUltimoRemetente);
      }
      FLastUnread = n;
      DefinirUnread(n);
      return;
    } catch (const std::exception& e) {
      erro = e.what();
    }
  }
  // The address carries the token: masked as in every other line.
  TLogger::Log("Vesk Chat unread falhou: " + erro +
               " URL=" + OcultarToken(TChatUnread::MontarUrlUnread()));
}

void TFrmChatFloat::AplicarMarcarLidas(bool AOk, const std::string& ACorpo,
                                       const std::string& AErro) {
  if (!AOk) {
    TLogger::Log("Vesk Chat: falha ao marcar mensagens como lidas: " + AErro +
                 " URL=" + OcultarToken(TChatUnread::MontarUrlMarcarLidas()));
    return;
  }
  if (Contem(MinusculasAscii(ACorpo), "\"ok\":true")) {
    FLastUnread = 0;
    DefinirUnread(0);
    FUltimoRemetente.clear();
    FUltimaMensagem.clear();
    Repintar();
    TLogger::Log("Vesk Chat: servidor confirmou marcar tudo como lido. Ret=" +
                 OcultarToken(PrimeirosCaracteres(ACorpo, 220)));
  } else {
    TLogger::Log("Vesk Chat: servidor NAO confirmou marcar tudo como lido. Ret=" +
                 OcultarToken(PrimeirosCaracteres(ACorpo, 300)));
  }
}
