// The notice popup: its controls, the showing and waiting of Exibir, the link
// and the confirmation timeline.
#include "notices/uPopupMensagem.h"

#include "notices/uAudioPlayer.h"
#include "platform/uArquivos.h"
#include "platform/uRelogio.h"
#include "platform/uShell.h"
#include "platform/uTexto.h"
#include "platform/ui/uEspera.h"

namespace {

TFrmPopupMensagem* GAtivo = nullptr;

constexpr uint32_t kEsperaConfirmacaoMs = 10000;
constexpr uint32_t kConsultaAudioMs = 500;
constexpr uint32_t kPausaEsperaMs = 20;

const char* const kLegendaConfirmacao = "Confirmo que li e compreendi esta mensagem";

ui::TFonte NovaFonte(const char* ANome, int AAltura, bool ANegrito, ui::TCor ACor) {
  ui::TFonte f;
  f.Nome = ANome;
  f.Altura = AAltura;
  f.Negrito = ANegrito;
  f.Cor = ACor;
  return f;
}

// Stops the audio and destroys the window, whichever way Exibir ends.
struct TFimExibicao {
  std::unique_ptr<TFrmPopupMensagem>& Janela;
  TFrmPopupMensagem* Anterior;
  ~TFimExibicao() {
    TAudioPlayer::Parar();
    GAtivo = Anterior;
    Janela.reset();
  }
};

bool FimDoLink(unsigned char C) {
  return C < 32 || C == ' ' || C == '"' || C == '\'' || C == ')' || C == '<' || C == '>' ||
         C == ']' || C == '}';
}

}  // namespace

TFrmPopupMensagem* TFrmPopupMensagem::Ativo() {
  return GAtivo;
}

TFrmPopupMensagem::TFrmPopupMensagem() {
  Nome = "frmPopupMensagem";
  DefinirTexto("Mensagem");
  ui::TEstiloJanela e = Estilo();
  e.SemBorda = true;
  e.Redimensionavel = false;
  e.SempreNoTopo = true;
  e.DuploBuffer = true;
  DefinirEstilo(e);
  DefinirCor(ui::kCorBranco);
  DefinirFonte(ui::TFonte{});
  DefinirTamanhoCliente(620, 430);

  pnlBase = new ui::TPainel(this);
  pnlBase->Nome = "pnlBase";
  pnlBase->DefinirCor(ui::kCorBranco);
  pnlBase->DefinirLimites(0, 0, 620, 430);

  imgLogo = new ui::TImagem(pnlBase);
  imgLogo->Nome = "imgLogo";
  imgLogo->DefinirLimites(270, 14, 80, 44);
  AjustarModoImagem(imgLogo);
  imgLogo->DefinirVisivel(false);

  lblEmpresa = new ui::TRotulo(pnlBase);
  lblEmpresa->Nome = "lblEmpresa";
  lblEmpresa->DefinirAlinhamento(ui::TAlinhamento::Centro);
  lblEmpresa->DefinirFonte(NovaFonte("Segoe UI Semibold", 16, true, ui::kCorTextoCinza));
  lblEmpresa->DefinirLimites(24, 112, 572, 22);

  lblTitulo = new ui::TRotulo(pnlBase);
  lblTitulo->Nome = "lblTitulo";
  lblTitulo->DefinirAlinhamento(ui::TAlinhamento::Centro);
  lblTitulo->DefinirFonte(NovaFonte("Segoe UI Semibold", 24, true, 0x004080));
  lblTitulo->DefinirLimites(24, 142, 572, 32);

  memMensagem = new ui::TMemo(pnlBase);
  memMensagem->Nome = "memMensagem";
  memMensagem->DefinirSomenteLeitura(true);
  memMensagem->DefinirSemBorda(true);
  memMensagem->DefinirQuebraLinha(true);
  memMensagem->DefinirCor(ui::kCorBranco);
  memMensagem->DefinirFonte(NovaFonte("Segoe UI", 17, false, ui::kCorTextoJanela));
  // The designed width of 540 is what the height estimate wraps at.
  memMensagem->DefinirLimites(40, 190, 540, 140);

  imgMensagem = new ui::TImagem(pnlBase);
  imgMensagem->Nome = "imgMensagem";
  imgMensagem->DefinirLimites(40, 272, 540, 60);
  AjustarModoImagem(imgMensagem);
  imgMensagem->DefinirVisivel(false);

  btnOK = new ui::TBotao(pnlBase);
  btnOK->Nome = "btnOK";
  // Hidden and disabled from its creation: the window shows and processes
  // messages before the confirmation exists, and neither a click nor Enter on
  // the default button may confirm a notice that was never shown.
  btnOK->DefinirVisivel(false);
  btnOK->DefinirHabilitado(false);
  btnOK->DefinirPadrao(true);
  btnOK->DefinirTexto("Li e entendi");
  btnOK->DefinirLimites(225, 370, 170, 42);
  btnOK->AoClicar = [this] { btnOKClick(); };

  // No close from outside (Alt+F4, the system menu, WM_CLOSE) while the notice
  // is unconfirmed: the caller waits for this window.
  AoConsultarFechamento = [this] { return FConfirmado || ui::app::Terminando(); };
  // An unconfirmed notice never holds up the employee's log-off or shutdown.
  AoConsultarFimSessao = [] { return true; };
}

TFrmPopupMensagem::~TFrmPopupMensagem() {
  // Timers first, so that none fires into a half-destroyed window.
  FTimerAudio.reset();
  FTimerConfirmacao.reset();
}

bool TFrmPopupMensagem::Exibir(const std::string& AEmpresa, const std::string& ATitulo,
                               const std::string& AMensagem, const std::string& ALogoFile,
                               const std::string& AImagemFile, const std::string& AAudioFile,
                               const std::function<void()>& ANaoConfirmado) {
  std::unique_ptr<TFrmPopupMensagem> janela;
  TFimExibicao fim{janela, GAtivo};
  bool avisado = false;
  const auto naoConfirmado = [&] {
    // A confirmation that came in the same pass of messages as the end stands.
    if (avisado || !ANaoConfirmado || (janela && janela->FConfirmado)) return;
    avisado = true;
    ANaoConfirmado();
  };
  const ui::TAcaoFimSessao noFimDaSessao(naoConfirmado);
  janela.reset(new TFrmPopupMensagem());
  GAtivo = janela.get();
  janela->Montar(AEmpresa, ATitulo, AMensagem, ALogoFile, AImagemFile, AAudioFile);
  const ui::TEsperaEmpregado esperando;
  janela->Aguardar();
  if (!janela->Confirmado()) naoConfirmado();
  return janela->Confirmado();
}

void TFrmPopupMensagem::Montar(const std::string& AEmpresa, const std::string& ATitulo,
                               const std::string& AMensagem, const std::string& ALogoFile,
                               const std::string& AImagemFile, const std::string& AAudioFile) {
  FConfirmado = false;
  FAudioFile = AAudioFile;
  FDelayConfirmacaoOk = false;

  TrazerParaFrente();

  lblEmpresa->DefinirTexto(AEmpresa);
  lblTitulo->DefinirTexto(ATitulo);
  memMensagem->DefinirTexto(AMensagem);
  ConfigurarLink();

  chkConfirmacao = new ui::TMarcacao(pnlBase);
  chkConfirmacao->Nome = "chkConfirmacao";
  chkConfirmacao->DefinirTexto(kLegendaConfirmacao);
  chkConfirmacao->DefinirFonte(
      NovaFonte("Segoe UI", ui::TFonte::PontosParaPixels(10), false, ui::kCorTextoJanela));
  chkConfirmacao->DefinirCor(ui::kCorBranco);
  chkConfirmacao->DefinirVisivel(false);
  chkConfirmacao->DefinirMarcado(false);
  chkConfirmacao->AoClicar = [this] { chkConfirmacaoClick(); };

  CarregarImagem(imgLogo, ALogoFile);
  CarregarImagem(imgMensagem, AImagemFile);
  const bool temImagem = imgMensagem->Visivel() && imgMensagem->TemImagem();

  if (temImagem)
    DefinirCliente(640, 680);
  else
    DefinirCliente(620, 430);
  PosicionarLogo();
  if (temImagem)
    AjustarImagemInicial();
  else
    LayoutTexto(AMensagem);

  const int w = ClientWidth(), h = ClientHeight();
  btnOK->DefinirLimites((w - 170) / 2, h - 60, 170, 42);
  PosicionarConfirmacao();
  chkConfirmacao->TrazerParaFrente();
  btnOK->DefinirTexto("Aguarde 10 segundos...");
  btnOK->DefinirVisivel(false);
  btnOK->DefinirHabilitado(false);
  btnOK->TrazerParaFrente();

  FTimerConfirmacao = std::make_unique<ui::TTemporizador>();
  FTimerConfirmacao->DefinirIntervalo(kEsperaConfirmacaoMs);
  FTimerConfirmacao->AoDisparar = [this] { TimerConfirmacaoTimer(); };
  FTimerConfirmacao->DefinirHabilitado(true);

  if (!FAudioFile.empty() && Arquivos().ArquivoExiste(FAudioFile)) {
    TAudioPlayer::Tocar(FAudioFile);
    FTimerAudio = std::make_unique<ui::TTemporizador>();
    FTimerAudio->DefinirIntervalo(kConsultaAudioMs);
    FTimerAudio->AoDisparar = [this] { TimerAudioTimer(); };
    FTimerAudio->DefinirHabilitado(true);
  }

  TrazerParaFrente();
  Mostrar();
}

void TFrmPopupMensagem::Aguardar() {
  FEmEspera = true;
  while (!FConfirmado && !ui::app::Terminando()) {
    ui::app::ProcessarMensagens();
    if (FConfirmado || ui::app::Terminando()) break;
    Relogio().Dormir(kPausaEsperaMs);
    // Whatever hid or minimised the window, the caller must not wait for an
    // invisible one.
    if (!Visivel() || !NaTela()) TrazerParaFrente();
  }
  FEmEspera = false;
}

void TFrmPopupMensagem::TrazerParaFrente() {
  ui::TEstiloJanela e = Estilo();
  e.SempreNoTopo = true;
  DefinirEstilo(e);
  Centralizar();
  try {
    DefinirEstado(ui::TEstadoJanela::Normal);
    Mostrar();
    TrazerAoTopo();
    ui::TControle::TrazerParaFrente();
    ui::app::ProcessarMensagens();
  } catch (...) {
    // Raising the window is a courtesy; the popup works without it.
  }
}

std::string TFrmPopupMensagem::ExtrairLink(const std::string& ATexto) {
  const std::string minusculo = MinusculasAscii(ATexto);
  size_t inicio = minusculo.find("https://");
  if (inicio == std::string::npos) inicio = minusculo.find("http://");
  if (inicio == std::string::npos) return {};
  size_t fim = inicio;
  while (fim < ATexto.size() && !FimDoLink(static_cast<unsigned char>(ATexto[fim]))) ++fim;
  return ATexto.substr(inicio, fim - inicio);
}

void TFrmPopupMensagem::ConfigurarLink() {
  FLinkURL = ExtrairLink(memMensagem->Texto());
  if (FLinkURL.empty()) return;
  if (!FLinkLabel) {
    FLinkLabel = new ui::TRotulo(pnlBase);
    FLinkLabel->Nome = "lblLink";
    FLinkLabel->DefinirAlinhamento(ui::TAlinhamento::Centro);
    ui::TFonte f =
        NovaFonte("Segoe UI Semibold", ui::TFonte::PontosParaPixels(10), false, 0x0000FF);
    f.Sublinhado = true;
    FLinkLabel->DefinirFonte(f);
    FLinkLabel->DefinirCursor(ui::TCursor::Mao);
    FLinkLabel->AoClicar = [this] { AbrirLink(); };
  }
  FLinkLabel->DefinirTexto("Abrir link de cadastro/processo");
  FLinkLabel->DefinirVisivel(true);
  FLinkLabel->TrazerParaFrente();
}

void TFrmPopupMensagem::AbrirLink() {
  if (EmBranco(FLinkURL)) return;
  TChamadaShell c;
  c.Janela = HandleNativo();
  c.Verbo = "open";
  c.Arquivo = FLinkURL;
  c.Mostrar = kSwShowNormal;
  Shell().Executar(c);
}

void TFrmPopupMensagem::PosicionarConfirmacao() {
  if (!chkConfirmacao) return;
  const int w = ClientWidth();
  if (FLiberado)
    chkConfirmacao->DefinirLimites((w - 390) / 2, btnOK->Top() - 36, 390, 26);
  else
    chkConfirmacao->DefinirLimites((w - 340) / 2, btnOK->Top() - 30, 340, 24);
}

void TFrmPopupMensagem::TimerConfirmacaoTimer() {
  FDelayConfirmacaoOk = true;
  if (FTimerConfirmacao) FTimerConfirmacao->DefinirHabilitado(false);
  if (FAudioFile.empty() || !Arquivos().ArquivoExiste(FAudioFile) || !TAudioPlayer::EstaTocando())
    LiberarConfirmacao();
}

void TFrmPopupMensagem::TimerAudioTimer() {
  if (!TAudioPlayer::EstaTocando() && FDelayConfirmacaoOk) LiberarConfirmacao();
}

void TFrmPopupMensagem::LiberarConfirmacao() {
  const int w = ClientWidth(), h = ClientHeight();
  FLiberado = true;
  btnOK->DefinirLimites((w - 170) / 2, h - 60, 170, 42);
  if (chkConfirmacao->Pai() != pnlBase) chkConfirmacao->MudarPai(pnlBase);
  chkConfirmacao->DefinirTexto(kLegendaConfirmacao);
  PosicionarConfirmacao();
  chkConfirmacao->DefinirMarcado(false);
  chkConfirmacao->DefinirVisivel(true);
  chkConfirmacao->DefinirHabilitado(true);
  chkConfirmacao->TrazerParaFrente();
  btnOK->DefinirHabilitado(false);
  btnOK->DefinirVisivel(true);
  btnOK->DefinirTexto("Li e entendi");
  btnOK->TrazerParaFrente();
  if (FTimerConfirmacao) FTimerConfirmacao->DefinirHabilitado(false);
  if (FTimerAudio) FTimerAudio->DefinirHabilitado(false);
  TrazerParaFrente();
}

void TFrmPopupMensagem::chkConfirmacaoClick() {
  btnOK->DefinirHabilitado(chkConfirmacao->Marcado());
  chkConfirmacao->TrazerParaFrente();
  btnOK->TrazerParaFrente();
}

void TFrmPopupMensagem::btnOKClick() {
  // Nothing confirms before the release, whatever delivered the click.
  if (!FLiberado) return;
  if (chkConfirmacao->Marcado()) {
    FConfirmado = true;
    Fechar();
    return;
  }
  ui::app::CaixaMensagem(this, "Marque a confirmação de leitura antes de continuar.",
                         "Confirmação obrigatória", ui::TTipoCaixa::Aviso);
}
