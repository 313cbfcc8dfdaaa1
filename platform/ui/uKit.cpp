// The UI kit's objects: state, ownership and event delivery, common to both backends.
#include "platform/ui/uKit.h"

#include "platform/ui/uEspera.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>

#include "platform/uRelogio.h"
#include "platform/uTexto.h"
#include "platform/ui/uKitBackend.h"

namespace ui {

// ---------------------------------------------------------------- TControle

TControle::TControle(TControle* APai, TTipoControle ATipo) : FTipo(ATipo), FPai(APai) {
  if (FPai) {
    FPai->FFilhos.push_back(this);
    FFonte = FPai->FFonte;
  }
  if (ATipo == TTipoControle::Janela) FVisivel = false;
}

TControle::~TControle() {
  FDestruindo = true;
  // Children go first, newest first, so that no child outlives its native parent.
  while (!FFilhos.empty()) {
    TControle* filho = FFilhos.back();
    FFilhos.pop_back();
    filho->FPai = nullptr;
    delete filho;
  }
  FPeer.reset();
  if (FPai && !FPai->FDestruindo) {
    auto& irmaos = FPai->FFilhos;
    irmaos.erase(std::remove(irmaos.begin(), irmaos.end(), this), irmaos.end());
  }
}

void TControle::CriarPeer() {
  FPeer = Backend().CriarPeer(*this);
}

void TControle::Notificar(TPropriedade AQue) {
  if (FPeer) FPeer->Sincronizar(AQue);
}

void TControle::MudarPai(TControle* ANovoPai) {
  if (ANovoPai == FPai) return;
  if (FPai) {
    auto& irmaos = FPai->FFilhos;
    irmaos.erase(std::remove(irmaos.begin(), irmaos.end(), this), irmaos.end());
  }
  FPai = ANovoPai;
  if (FPai) FPai->FFilhos.push_back(this);
  Notificar(TPropriedade::Pai);
}

void TControle::DefinirLimites(int ALeft, int ATop, int AWidth, int AHeight) {
  const TRetangulo novo{ALeft, ATop, std::max(0, AWidth), std::max(0, AHeight)};
  if (novo == FLimites) return;
  FLimites = novo;
  Notificar(TPropriedade::Limites);
  // Children docked to the top follow the parent's width, pages their control's size.
  for (TControle* f : FFilhos)
    if (auto* p = dynamic_cast<TPainel*>(f); p && p->AlinhadoAoTopo())
      p->DefinirLimites(0, 0, ClientWidth(), p->Height());
  if (FTipo == TTipoControle::Paginas) static_cast<TPaginas*>(this)->AjustarPaginas();
}

void TControle::DefinirTexto(const std::string& ATexto) {
  if (ATexto == FTexto) return;
  FTexto = ATexto;
  Notificar(TPropriedade::Texto);
}

void TControle::DefinirVisivel(bool AVisivel) {
  if (AVisivel == FVisivel) return;
  FVisivel = AVisivel;
  Notificar(TPropriedade::Visivel);
}

bool TControle::Mostrando() const {
  for (const TControle* c = this; c; c = c->FPai)
    if (!c->FVisivel) return false;
  return true;
}

void TControle::DefinirHabilitado(bool AHabilitado) {
  if (AHabilitado == FHabilitado) return;
  FHabilitado = AHabilitado;
  Notificar(TPropriedade::Habilitado);
}

void TControle::DefinirFonte(const TFonte& AFonte) {
  if (AFonte == FFonte) return;
  FFonte = AFonte;
  Notificar(TPropriedade::Fonte);
  if (auto* r = dynamic_cast<TRotulo*>(this); r && r->AutoTamanho()) r->AjustarTamanho();
}

void TControle::DefinirCor(TCor ACor) {
  if (ACor == FCor) return;
  FCor = ACor;
  Notificar(TPropriedade::Cor);
}

void TControle::DefinirCursor(TCursor ACursor) {
  if (ACursor == FCursor) return;
  FCursor = ACursor;
  Notificar(TPropriedade::Cursor);
}

void TControle::TrazerParaFrente() {
  if (FPai) {
    auto& irmaos = FPai->FFilhos;
    irmaos.erase(std::remove(irmaos.begin(), irmaos.end(), this), irmaos.end());
    irmaos.push_back(this);
  }
  Notificar(TPropriedade::Ordem);
}

void TControle::Clicar() {
  if (!Mostrando() || !FHabilitado) return;
  if (AoClicar) AoClicar();
}

void TControle::DuploClicar() {
  if (!Mostrando() || !FHabilitado) return;
  if (AoDuploClique) AoDuploClique();
}

bool TControle::RodarMouse(int ADelta, bool ACtrl) {
  return AoRodarMouse ? AoRodarMouse(ADelta, ACtrl) : false;
}

TPonto TControle::OrigemNaTela() const {
  TPonto p;
  for (const TControle* c = this; c; c = c->FPai) {
    if (c->FTipo == TTipoControle::Janela) {
      const TTamanho ext = Backend().TamanhoExterno(static_cast<const TJanela&>(*c));
      // The client area sits inside the frame: side borders equal, the rest on top.
      const int borda = (ext.Largura - c->ClientWidth()) / 2;
      p.X += c->Left() + borda;
      p.Y += c->Top() + (ext.Altura - c->ClientHeight() - borda);
      break;
    }
    if (c->FTipo == TTipoControle::Rolagem) {
      // Children of a scroll box sit inside its border and move with its content.
      const auto* r = static_cast<const TRolagem*>(c);
      const int b = r->BordaSimples() ? 2 : 0;
      p.X += b - r->PosicaoHorizontal();
      p.Y += b - r->PosicaoVertical();
    }
    p.X += c->Left();
    p.Y += c->Top();
  }
  return p;
}

// ---------------------------------------------------------------- controls

TPainel::TPainel(TControle* APai) : TControle(APai, TTipoControle::Painel) {
  CriarPeer();
}

void TPainel::AlinharAoTopo(int AAltura) {
  FTopo = true;
  DefinirLimites(0, 0, Pai() ? Pai()->ClientWidth() : Width(), AAltura);
}

void TPainel::DefinirBordaSimples(bool A) {
  if (A == FBorda) return;
  FBorda = A;
  Notificar(TPropriedade::Estilo);
}

TRotulo::TRotulo(TControle* APai) : TControle(APai, TTipoControle::Rotulo) {
  CriarPeer();
}

void TRotulo::DefinirAlinhamento(TAlinhamento A) {
  if (A == FAlinhamento) return;
  FAlinhamento = A;
  Notificar(TPropriedade::Estilo);
}

void TRotulo::DefinirAutoTamanho(bool A) {
  FAuto = A;
  if (FAuto) AjustarTamanho();
}

void TRotulo::DefinirQuebraLinha(bool A) {
  if (A == FQuebra) return;
  FQuebra = A;
  Notificar(TPropriedade::Estilo);
}

void TRotulo::DefinirTransparente(bool A) {
  if (A == FTransparente) return;
  FTransparente = A;
  Notificar(TPropriedade::Estilo);
}

void TRotulo::DefinirTexto(const std::string& ATexto) {
  TControle::DefinirTexto(ATexto);
  if (FAuto) AjustarTamanho();
}

void TRotulo::AjustarTamanho() {
  const TTamanho t = app::MedirTexto(Fonte(), Texto());
  DefinirTamanho(t.Largura, t.Altura);
}

TBotao::TBotao(TControle* APai) : TControle(APai, TTipoControle::Botao) {
  CriarPeer();
}

void TBotao::DefinirPadrao(bool A) {
  if (A == FPadrao) return;
  FPadrao = A;
  Notificar(TPropriedade::Estilo);
}

TEdicao::TEdicao(TControle* APai) : TControle(APai, TTipoControle::Edicao) {
  DefinirCor(kCorBranco);
  CriarPeer();
}

void TEdicao::DefinirCaractereSenha(char C) {
  if (C == FSenha) return;
  FSenha = C;
  Notificar(TPropriedade::Estilo);
}

void TEdicao::DefinirSomenteDigitos(bool A) {
  if (A == FDigitos) return;
  FDigitos = A;
  Notificar(TPropriedade::Estilo);
}

void TEdicao::Digitar(const std::string& ATexto) {
  std::string t = ATexto;
  if (FDigitos)
    t.erase(std::remove_if(t.begin(), t.end(), [](char c) { return c < '0' || c > '9'; }), t.end());
  DefinirTexto(t);
  if (AoMudar) AoMudar();
}

void TEdicao::TextoEditado(const std::string& ATexto) {
  // Mirror only: the native control already shows it.
  if (ATexto == Texto()) return;
  TControle::DefinirTexto(ATexto);
  if (AoMudar) AoMudar();
}

TMemo::TMemo(TControle* APai) : TControle(APai, TTipoControle::Memo) {
  DefinirCor(kCorBranco);
  CriarPeer();
}

void TMemo::Juntar() {
  std::string t;
  for (size_t i = 0; i < FLinhas.size(); ++i) {
    if (i) t += "\r\n";
    t += FLinhas[i];
  }
  TControle::DefinirTexto(t);
  Notificar(TPropriedade::Conteudo);
}

void TMemo::DefinirLinhas(std::vector<std::string> ALinhas) {
  FLinhas = std::move(ALinhas);
  Juntar();
}

void TMemo::InserirLinha(size_t AIndice, const std::string& ALinha) {
  AIndice = std::min(AIndice, FLinhas.size());
  FLinhas.insert(FLinhas.begin() + static_cast<std::ptrdiff_t>(AIndice), ALinha);
  Juntar();
}

void TMemo::ApagarLinha(size_t AIndice) {
  if (AIndice >= FLinhas.size()) return;
  FLinhas.erase(FLinhas.begin() + static_cast<std::ptrdiff_t>(AIndice));
  Juntar();
}

void TMemo::DefinirTexto(const std::string& ATexto) {
  DefinirLinhas(DividirLinhas(ATexto));
}

void TMemo::TextoEditado(const std::string& ATexto) {
  FLinhas = DividirLinhas(ATexto);
  TControle::DefinirTexto(ATexto);
}

std::vector<std::string> TMemo::LinhasVisuais() const {
  return Backend().LinhasVisuais(*this);
}

void TMemo::DefinirSomenteLeitura(bool A) {
  if (A == FLeitura) return;
  FLeitura = A;
  Notificar(TPropriedade::Estilo);
}
void TMemo::DefinirSemBorda(bool A) {
  if (A == FSemBorda) return;
  FSemBorda = A;
  Notificar(TPropriedade::Estilo);
}
void TMemo::DefinirBarraVertical(bool A) {
  if (A == FBarra) return;
  FBarra = A;
  Notificar(TPropriedade::Estilo);
}
void TMemo::DefinirQuebraLinha(bool A) {
  if (A == FQuebra) return;
  FQuebra = A;
  Notificar(TPropriedade::Estilo);
}

TMarcacao::TMarcacao(TControle* APai) : TControle(APai, TTipoControle::Marcacao) {
  DefinirCor(kCorDoPai);
  CriarPeer();
}

void TMarcacao::DefinirMarcado(bool A) {
  if (A == FMarcado) return;
  FMarcado = A;
  Notificar(TPropriedade::Marcado);
}

void TMarcacao::Clicar() {
  if (!Mostrando() || !Habilitado()) return;
  DefinirMarcado(!FMarcado);
  if (AoClicar) AoClicar();
}

TImagem::TImagem(TControle* APai) : TControle(APai, TTipoControle::Imagem) {
  DefinirCor(kCorDoPai);
  CriarPeer();
}

void TImagem::DefinirImagem(TBitmapPtr AImagem) {
  FImagem = std::move(AImagem);
  Notificar(TPropriedade::Conteudo);
}

void TImagem::DefinirModo(bool AProporcional, bool ACentralizado, bool AEsticado, bool AOpaco) {
  FProporcional = AProporcional;
  FCentralizado = ACentralizado;
  FEsticado = AEsticado;
  FOpaco = AOpaco;
  Notificar(TPropriedade::Estilo);
}

TRetangulo TImagem::AreaDesenhada() const {
  if (!TemImagem()) return {};
  const int iw = FImagem->Largura, ih = FImagem->Altura;
  int w = iw, h = ih;
  if (FEsticado || (FProporcional && (iw > Width() || ih > Height()))) {
    if (FProporcional) {
      const double s =
          std::min(static_cast<double>(Width()) / iw, static_cast<double>(Height()) / ih);
      w = static_cast<int>(std::lround(iw * s));
      h = static_cast<int>(std::lround(ih * s));
    } else {
      w = Width();
      h = Height();
    }
  }
  int l = 0, t = 0;
  if (FCentralizado) {
    l = (Width() - w) / 2;
    t = (Height() - h) / 2;
  }
  return {l, t, w, h};
}

TRolagem::TRolagem(TControle* APai) : TControle(APai, TTipoControle::Rolagem) {
  CriarPeer();
}

void TRolagem::DefinirBordaSimples(bool A) {
  if (A == FBorda) return;
  FBorda = A;
  Notificar(TPropriedade::Estilo);
}

int TRolagem::ClientWidth() const {
  return std::max(0, Width() - (FBorda ? 4 : 0));
}
int TRolagem::ClientHeight() const {
  return std::max(0, Height() - (FBorda ? 4 : 0));
}

int TRolagem::FaixaVertical() const {
  int m = FAlturaConteudo;
  for (const TControle* f : Filhos())
    if (f->Visivel()) m = std::max(m, f->Top() + f->Height());
  return m;
}

int TRolagem::FaixaHorizontal() const {
  int m = 0;
  for (const TControle* f : Filhos())
    if (f->Visivel()) m = std::max(m, f->Left() + f->Width());
  return m;
}

void TRolagem::Barras(bool& AVertical, bool& AHorizontal) const {
  const TTamanho barra = Backend().TamanhoBarrasRolagem(*this);
  const int fv = FaixaVertical(), fh = FaixaHorizontal();
  AVertical = fv > ClientHeight();
  AHorizontal = fh > ClientWidth();
  // Twice: the second bar may take the room the first one still had.
  for (int i = 0; i < 2; ++i) {
    if (AVertical) AHorizontal = AHorizontal || fh > ClientWidth() - barra.Largura;
    if (AHorizontal) AVertical = AVertical || fv > ClientHeight() - barra.Altura;
  }
}

bool TRolagem::BarraVerticalVisivel() const {
  bool v = false, h = false;
  Barras(v, h);
  return v;
}

bool TRolagem::BarraHorizontalVisivel() const {
  bool v = false, h = false;
  Barras(v, h);
  return h;
}

int TRolagem::LarguraVisivel() const {
  return std::max(
      0,
      ClientWidth() - (BarraVerticalVisivel() ? Backend().TamanhoBarrasRolagem(*this).Largura : 0));
}

int TRolagem::AlturaVisivel() const {
  return std::max(
      0, ClientHeight() -
             (BarraHorizontalVisivel() ? Backend().TamanhoBarrasRolagem(*this).Altura : 0));
}

void TRolagem::DefinirPosicaoVertical(int A) {
  A = std::clamp(A, 0, std::max(0, FaixaVertical() - AlturaVisivel()));
  if (A == FPosV) return;
  FPosV = A;
  Notificar(TPropriedade::Rolagem);
  if (AoRolar) AoRolar();
}

void TRolagem::DefinirPosicaoHorizontal(int A) {
  A = std::clamp(A, 0, std::max(0, FaixaHorizontal() - LarguraVisivel()));
  if (A == FPosH) return;
  FPosH = A;
  Notificar(TPropriedade::Rolagem);
  if (AoRolar) AoRolar();
}

void TRolagem::DefinirAlturaConteudo(int A) {
  A = std::max(0, A);
  if (A == FAlturaConteudo) return;
  FAlturaConteudo = A;
  // The bars follow, as after a change of the children.
  Notificar(TPropriedade::Limites);
  DefinirPosicaoVertical(FPosV);
}

TPaginas::TPaginas(TControle* APai) : TControle(APai, TTipoControle::Paginas) {
  CriarPeer();
}

TPagina* TPaginas::NovaPagina(const std::string& ALegenda) {
  auto* p = new TPagina(this, ALegenda);
  FPaginas.push_back(p);
  p->DefinirVisivel(static_cast<int>(FPaginas.size()) - 1 == FAtiva);
  Notificar(TPropriedade::Conteudo);
  return p;
}

void TPaginas::AtivarPagina(int AIndice) {
  if (AIndice < 0 || AIndice >= static_cast<int>(FPaginas.size())) return;
  FAtiva = AIndice;
  for (size_t i = 0; i < FPaginas.size(); ++i)
    FPaginas[i]->DefinirVisivel(static_cast<int>(i) == FAtiva);
  Notificar(TPropriedade::Conteudo);
  if (AoMudarPagina) AoMudarPagina();
}

TRetangulo TPaginas::AreaPaginas() const {
  return Backend().AreaPaginas(*this);
}

void TPaginas::AjustarPaginas() {
  const TRetangulo a = AreaPaginas();
  for (TPagina* p : FPaginas) p->DefinirLimites(a.Left, a.Top, a.Width, a.Height);
}

TPagina::TPagina(TPaginas* APai, const std::string& ALegenda)
    : TControle(APai, TTipoControle::Pagina) {
  TControle::DefinirTexto(ALegenda);
  const TRetangulo a = APai->AreaPaginas();
  DefinirLimites(a.Left, a.Top, a.Width, a.Height);
  DefinirCor(kCorBranco);
  CriarPeer();
}

int TPagina::ClientWidth() const {
  return Width();
}
int TPagina::ClientHeight() const {
  return Height();
}

// ---------------------------------------------------------------- TJanela

TJanela::TJanela() : TControle(nullptr, TTipoControle::Janela) {
  DefinirCor(kCorBranco);
  CriarPeer();
}

TJanela::~TJanela() = default;

void TJanela::DefinirTamanhoCliente(int AWidth, int AHeight) {
  FClienteW = std::max(0, AWidth);
  FClienteH = std::max(0, AHeight);
  const TTamanho ext = Backend().TamanhoExterno(*this);
  DefinirLimites(Left(), Top(), ext.Largura, ext.Altura);
}

void TJanela::DefinirEstilo(const TEstiloJanela& AEstilo) {
  if (AEstilo == FEstilo) return;
  FEstilo = AEstilo;
  Notificar(TPropriedade::Estilo);
  DefinirTamanhoCliente(FClienteW, FClienteH);
}

void TJanela::Centralizar() {
  const TRetangulo a = app::AreaDeTrabalho();
  DefinirPosicao(a.Left + (a.Width - Width()) / 2, a.Top + (a.Height - Height()) / 2);
}

void TJanela::Mostrar() {
  FFechada = false;
  DefinirVisivel(true);
}

void TJanela::Ocultar() {
  DefinirVisivel(false);
}

void TJanela::DefinirEstado(TEstadoJanela AEstado) {
  if (AEstado == FEstado) return;
  FEstado = AEstado;
  Notificar(TPropriedade::Estilo);
}

void TJanela::TrazerAoTopo() {
  Backend().AcaoJanela(*this, TAcaoJanela::TrazerAoTopo);
}
void TJanela::PrimeiroPlano() {
  Backend().AcaoJanela(*this, TAcaoJanela::PrimeiroPlano);
}

bool TJanela::NaTela() const {
  return Backend().JanelaNaTela(*this);
}

bool TJanela::Fechar() {
  if (AoConsultarFechamento && !AoConsultarFechamento()) return false;
  FFechada = true;
  Ocultar();
  if (AoFechar) AoFechar();
  return true;
}

void TJanela::EncerrarSessao() noexcept {
  TAcaoFimSessao::ExecutarPendentes();
  try {
    if (AoFimSessao) AoFimSessao();
  } catch (const std::exception& e) {
    app::RelatarFalha(e.what());
  } catch (...) {
    app::RelatarFalha("Erro desconhecido no fim da sessao.");
  }
  app::Terminar();
}

namespace {
std::vector<TAcaoFimSessao*>& AcoesFimSessao() {
  static std::vector<TAcaoFimSessao*> GAcoes;
  return GAcoes;
}
}  // namespace

TAcaoFimSessao::TAcaoFimSessao(std::function<void()> AAcao) : FAcao(std::move(AAcao)) {
  AcoesFimSessao().push_back(this);
}

TAcaoFimSessao::~TAcaoFimSessao() {
  auto& a = AcoesFimSessao();
  a.erase(std::remove(a.begin(), a.end(), this), a.end());
}

void TAcaoFimSessao::ExecutarPendentes() noexcept {
  // Taken out before it runs: an action that waits or ends another cannot
  // run twice, nor run one that is gone.
  auto& a = AcoesFimSessao();
  while (!a.empty()) {
    TAcaoFimSessao* acao = a.front();
    a.erase(a.begin());
    acao->FExecutada = true;
    try {
      if (acao->FAcao) acao->FAcao();
    } catch (const std::exception& e) {
      app::RelatarFalha(e.what());
    } catch (...) {
      app::RelatarFalha("Erro desconhecido no fim da sessao.");
    }
  }
}

void TJanela::ExibirModal() {
  Backend().ExibirModal(*this);
}

bool TJanela::EntregarMensagem(uint32_t AMsg, uintptr_t AWParam, intptr_t ALParam) {
  return AoMensagem ? AoMensagem(AMsg, AWParam, ALParam) : false;
}

void TJanela::TamanhoMudou(int AClienteW, int AClienteH) {
  FClienteW = AClienteW;
  FClienteH = AClienteH;
  const TTamanho ext = Backend().TamanhoExterno(*this);
  DefinirLimites(Left(), Top(), ext.Largura, ext.Altura);
  if (AoRedimensionar) AoRedimensionar();
}

void TJanela::EstadoMudou(TEstadoJanela AEstado) {
  FEstado = AEstado;
  if (AoRedimensionar) AoRedimensionar();
}

void TJanela::PosicaoMudou(int ALeft, int ATop) {
  DefinirPosicao(ALeft, ATop);
}

void TJanela::MostrarNoTopoSemAtivar() {
  Backend().AcaoJanela(*this, TAcaoJanela::TopoSemAtivar);
}
void TJanela::Piscar() {
  Backend().AcaoJanela(*this, TAcaoJanela::Piscar);
}
void TJanela::Repintar() {
  Backend().AcaoJanela(*this, TAcaoJanela::Repintar);
}

void TJanela::Pintar(TCanvas& ACanvas) {
  if (AoPintar) {
    AoPintar(ACanvas);
    return;
  }
  ACanvas.Preencher({0, 0, ClientWidth(), ClientHeight()}, Cor());
}

void TJanela::EntregarMouse(const TEventoMouse& AEvento) {
  if (AoMouse) AoMouse(AEvento);
}

void TJanela::DefinirRegiao(TRegiao ARegiao) {
  if (ARegiao == FRegiao) return;
  FRegiao = std::move(ARegiao);
  Notificar(TPropriedade::Regiao);
}

// ---------------------------------------------------------------- canvas, region

bool TRegiao::Contem(TPonto P) const {
  if (Vazia()) return true;
  for (const TRetangulo& r : Retangulos)
    if (P.X >= r.Left && P.X < r.Right() && P.Y >= r.Top && P.Y < r.Bottom()) return true;
  for (const TArredondado& a : Arredondados)
    if (P.X >= a.L && P.X < a.R && P.Y >= a.T && P.Y < a.B) return true;
  return false;
}

void TCanvasGravador::Preencher(const TRetangulo& ARet, TCor ACor) {
  TComandoPintura c;
  c.Tipo = TComandoPintura::TTipo::Preencher;
  c.Ret = ARet;
  c.Pincel = ACor;
  Comandos.push_back(std::move(c));
}

void TCanvasGravador::RetanguloArredondado(int AL, int AT, int AR, int AB, int AE, TCor APincel,
                                           TCor ACaneta, int ALargura) {
  TComandoPintura c;
  c.Tipo = TComandoPintura::TTipo::RetanguloArredondado;
  c.Ret = {AL, AT, AR - AL, AB - AT};
  c.E = AE;
  c.Pincel = APincel;
  c.Caneta = ACaneta;
  c.Largura = ALargura;
  Comandos.push_back(std::move(c));
}

void TCanvasGravador::Elipse(int AL, int AT, int AR, int AB, TCor APincel, TCor ACaneta,
                             int ALargura) {
  TComandoPintura c;
  c.Tipo = TComandoPintura::TTipo::Elipse;
  c.Ret = {AL, AT, AR - AL, AB - AT};
  c.Pincel = APincel;
  c.Caneta = ACaneta;
  c.Largura = ALargura;
  Comandos.push_back(std::move(c));
}

void TCanvasGravador::Poligono(const std::vector<TPonto>& APontos, TCor APincel, TCor ACaneta,
                               int ALargura) {
  TComandoPintura c;
  c.Tipo = TComandoPintura::TTipo::Poligono;
  c.Pontos = APontos;
  c.Pincel = APincel;
  c.Caneta = ACaneta;
  c.Largura = ALargura;
  Comandos.push_back(std::move(c));
}

void TCanvasGravador::Texto(int AX, int AY, const std::string& ATexto, const TFonte& AFonte) {
  TComandoPintura c;
  c.Tipo = TComandoPintura::TTipo::Texto;
  c.Ret = {AX, AY, 0, 0};
  c.Texto = ATexto;
  c.Fonte = AFonte;
  Comandos.push_back(std::move(c));
}

void TCanvasGravador::TextoNoRetangulo(const TRetangulo& ARet, const std::string& ATexto,
                                       const TFonte& AFonte, uint32_t AFormato) {
  TComandoPintura c;
  c.Tipo = TComandoPintura::TTipo::TextoNoRetangulo;
  c.Ret = ARet;
  c.Texto = ATexto;
  c.Fonte = AFonte;
  c.Formato = AFormato;
  Comandos.push_back(std::move(c));
}

TTamanho TCanvasGravador::MedirTexto(const TFonte& AFonte, const std::string& ATexto) {
  return app::MedirTexto(AFonte, ATexto);
}

void TCanvasGravador::Imagem(const TBitmap& AImagem, const TRetangulo& ADestino) {
  TComandoPintura c;
  c.Tipo = TComandoPintura::TTipo::Imagem;
  c.Ret = ADestino;
  c.Ret.Width = ADestino.Width;
  c.Texto = std::to_string(AImagem.Largura) + "x" + std::to_string(AImagem.Altura);
  Comandos.push_back(std::move(c));
}

// ---------------------------------------------------------------- timer, menu

TTemporizador::TTemporizador() {
  Backend().TemporizadorMudou(*this);
}
TTemporizador::~TTemporizador() {
  Backend().TemporizadorDestruido(*this);
}

void TTemporizador::DefinirIntervalo(uint32_t AMilissegundos) {
  FIntervalo = AMilissegundos;
  Backend().TemporizadorMudou(*this);
}

void TTemporizador::DefinirHabilitado(bool A) {
  if (A == FHabilitado) return;
  FHabilitado = A;
  Backend().TemporizadorMudou(*this);
}

void TTemporizador::Disparar() {
  if (FHabilitado && AoDisparar) AoDisparar();
}

void TMenuPopup::Exibir(TJanela* ADono, TPonto APosicao) {
  Backend().ExibirMenu(*this, ADono, APosicao);
}

// ---------------------------------------------------------------- application

namespace app {

namespace {
std::string& TituloApp() {
  static std::string t;
  return t;
}
}  // namespace

void DefinirTitulo(const std::string& ATitulo) {
  TituloApp() = ATitulo;
}
const std::string& Titulo() {
  return TituloApp();
}
void ProcessarMensagens() {
  Backend().ProcessarMensagens();
}
void Executar() {
  Backend().Executar();
}
void Terminar() {
  Backend().Terminar();
}
bool Terminando() {
  return Backend().Terminando();
}

TResposta CaixaMensagem(TJanela* ADono, const std::string& ATexto, const std::string& ATitulo,
                        TTipoCaixa ATipo, TBotoesCaixa ABotoes) {
  return Backend().CaixaMensagem(ADono, ATexto, ATitulo, ATipo, ABotoes);
}

bool CaixaEntrada(const std::string& ATitulo, const std::string& APrompt, std::string& AValor) {
  return Backend().CaixaEntrada(ATitulo, APrompt, AValor);
}

void MostrarErro(const std::exception& E, TJanela* ADono) {
  CaixaMensagem(ADono, E.what(), Titulo(), TTipoCaixa::Erro, TBotoesCaixa::Ok);
}

void ExecutarProtegido(const std::function<void()>& AAcao, TJanela* ADono) {
  try {
    AAcao();
  } catch (const EEsperaAbandonada&) {
    // The program is ending: a box now would only hold up the session.
  } catch (const std::exception& e) {
    MostrarErro(e, ADono);
  } catch (...) {
    MostrarErro(std::runtime_error("Erro desconhecido."), ADono);
  }
}

std::function<void(const std::string&)>& Relato() {
  static std::function<void(const std::string&)> r;
  return r;
}

namespace {
struct TFilaPostados {
  std::mutex Trava;
  std::deque<std::function<void()>> Acoes;
};
// Never destroyed: a worker thread may still post while the program ends.
TFilaPostados& Fila() {
  static TFilaPostados* f = new TFilaPostados;
  return *f;
}
}  // namespace

void Postar(std::function<void()> AAcao) {
  {
    std::lock_guard<std::mutex> l(Fila().Trava);
    Fila().Acoes.push_back(std::move(AAcao));
  }
  Backend().Acordar();
}

void ExecutarPostados() {
  // Only what waits now: an action that posts again runs at a later pass.
  size_t n = 0;
  {
    std::lock_guard<std::mutex> l(Fila().Trava);
    n = Fila().Acoes.size();
  }
  for (; n > 0; --n) {
    std::function<void()> a;
    {
      std::lock_guard<std::mutex> l(Fila().Trava);
      if (Fila().Acoes.empty()) return;
      a = std::move(Fila().Acoes.front());
      Fila().Acoes.pop_front();
    }
    if (a) ExecutarProtegido(a);
  }
}

void DefinirRelatoDeFalhas(std::function<void(const std::string& ATexto)> ARelato) {
  Relato() = std::move(ARelato);
}

void RelatarFalha(const std::string& ATexto) noexcept {
  try {
    if (Relato()) Relato()(ATexto);
  } catch (...) {
    // A report that fails is lost; the caller goes on.
  }
}

TRetangulo AreaDeTrabalho() {
  return Backend().AreaDeTrabalho();
}
TEstadoJanela EstadoInicial() {
  return Backend().EstadoInicial();
}
TPonto PosicaoCursor() {
  return Backend().PosicaoCursor();
}
TTamanho MedirTexto(const TFonte& AFonte, const std::string& ATexto) {
  return Backend().MedirTexto(AFonte, ATexto);
}
uint32_t RegistrarMensagem(const std::string& ANome) {
  return Backend().RegistrarMensagem(ANome);
}

}  // namespace app

void TBackend::ExibirModal(TJanela& AJanela) {
  AJanela.Mostrar();
  while (!AJanela.Fechada() && !Terminando()) {
    ProcessarMensagens();
    if (AJanela.Fechada()) break;
    Relogio().Dormir(10);
  }
}

TTamanho TBackend::TamanhoBarrasRolagem(const TRolagem&) {
  return {17, 17};
}

bool TBackend::JanelaNaTela(const TJanela& AJanela) {
  return AJanela.Visivel() && AJanela.Estado() != TEstadoJanela::Minimizada;
}

TRetangulo TBackend::AreaPaginas(const TPaginas& APaginas) {
  // Tab strip of 24 pixels and a 2-pixel frame, as the common control draws it at 96 DPI.
  return {4, 28, std::max(0, APaginas.Width() - 8), std::max(0, APaginas.Height() - 32)};
}

std::vector<std::string> QuebrarPorLargura(const TFonte& AFonte,
                                           const std::vector<std::string>& ALinhas, int ALargura) {
  std::vector<std::string> out;
  for (const std::string& linha : ALinhas) {
    if (linha.empty()) {
      out.emplace_back();
      continue;
    }
    std::string atual;
    size_t i = 0;
    while (i < linha.size()) {
      // Next word with the blanks that follow it.
      size_t j = i;
      while (j < linha.size() && linha[j] != ' ') ++j;
      while (j < linha.size() && linha[j] == ' ') ++j;
      std::string palavra = linha.substr(i, j - i);
      const std::string tentativa = atual + palavra;
      if (atual.empty() || app::MedirTexto(AFonte, AparaDireita(tentativa)).Largura <= ALargura) {
        atual = tentativa;
      } else {
        out.push_back(atual);
        atual = palavra;
      }
      // A word wider than the line is broken by characters.
      while (app::MedirTexto(AFonte, AparaDireita(atual)).Largura > ALargura &&
             ComprimentoUtf16(atual) > 1) {
        size_t n = ComprimentoUtf16(atual);
        // Longest prefix that fits, searched from the short end, so that a word of
        // 100,000 characters costs a line's worth of measurements, not its length.
        std::string parte = CortarUtf16(atual, 1);
        for (size_t k = 2; k < n; ++k) {
          std::string maior = CortarUtf16(atual, k);
          if (app::MedirTexto(AFonte, maior).Largura > ALargura) break;
          parte = std::move(maior);
        }
        if (parte.empty()) break;
        out.push_back(parte);
        atual = atual.substr(parte.size());
      }
      i = j;
    }
    out.push_back(atual);
  }
  return out;
}

}  // namespace ui
