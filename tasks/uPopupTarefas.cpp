// The task panel: built in code for one showing, its cards built as they come
// into view, the three actions and their boxes.
#include "tasks/uPopupTarefas.h"

#include <algorithm>

#include "net/uJsonHelper.h"
#include "platform/uTexto.h"
#include "platform/ui/uEspera.h"
#include "tasks/uAgentTasks.h"

namespace {

TFrmPopupTarefas* GAtivo = nullptr;

constexpr ui::TCor kCorTitulo = 0xA05000;
constexpr ui::TCor kCorCinza = 0x808080;
constexpr ui::TCor kCorTituloCartao = 0x996633;
constexpr ui::TCor kCorAreaCartoes = 0xF7F7F7;
// A minimised or hidden panel would hold its caller unseen: it comes back.
constexpr uint32_t kVerificarFrenteMs = 1000;
// A label shows a few lines at most; more text would only cost its painting.
constexpr size_t kMaxTextoRotulo = 1000;

ui::TFonte NovaFonte(int APontos, bool ANegrito, ui::TCor ACor) {
  ui::TFonte f;
  f.Nome = "Segoe UI";
  f.Altura = ui::TFonte::PontosParaPixels(APontos);
  f.Negrito = ANegrito;
  f.Cor = ACor;
  return f;
}

int AlturaLinha(const ui::TFonte& AFonte) {
  return ui::app::MedirTexto(AFonte, "Ag").Altura;
}

ui::TRotulo* NovoRotulo(ui::TControle* APai, const char* ANome, const ui::TFonte& AFonte,
                        const std::string& ATexto, int ALeft, int ATop, int AWidth, int AHeight) {
  auto* r = new ui::TRotulo(APai);
  r->Nome = ANome;
  r->DefinirFonte(AFonte);
  r->DefinirLimites(ALeft, ATop, AWidth, AHeight);
  r->DefinirTexto(CortarUtf16(ATexto, kMaxTextoRotulo));
  return r;
}

ui::TBotao* NovoBotao(ui::TControle* APai, const char* ANome, const std::string& ATexto, int ALeft,
                      int ATop, int AWidth, int AHeight) {
  auto* b = new ui::TBotao(APai);
  b->Nome = ANome;
  b->DefinirTexto(ATexto);
  b->DefinirLimites(ALeft, ATop, AWidth, AHeight);
  return b;
}

// A card text: a missing member and a JSON null both give APadrao (the word
// "null" is nothing an employee should read); any other value as text.
std::string TextoCartao(const rapidjson::Value& ATarefa, const char* ANome,
                        const std::string& APadrao) {
  const rapidjson::Value* v = MembroJson(&ATarefa, ANome);
  if (!v || v->IsNull()) return APadrao;
  return TextoDoValorJson(*v);
}

// Sets a flag for its scope; cleared on every way out, the error of a failed
// request included.
class TBandeira {
 public:
  explicit TBandeira(bool& AFlag) : FFlag(AFlag) { FFlag = true; }
  ~TBandeira() { FFlag = false; }
  TBandeira(const TBandeira&) = delete;
  TBandeira& operator=(const TBandeira&) = delete;

 private:
  bool& FFlag;
};

// Restores the panel shown before and destroys this one, however Exibir ends.
struct TFimExibicao {
  std::unique_ptr<TFrmPopupTarefas>& Janela;
  TFrmPopupTarefas* Anterior;
  ~TFimExibicao() {
    GAtivo = Anterior;
    Janela.reset();
  }
};

}  // namespace

TFrmPopupTarefas* TFrmPopupTarefas::Ativo() {
  return GAtivo;
}

std::string TFrmPopupTarefas::DescreverStatus(const std::string& AStatus) {
  if (IgualSemCaixa(AStatus, "em_andamento")) return "Em andamento";
  if (IgualSemCaixa(AStatus, "pendente")) return "Pendente";
  if (IgualSemCaixa(AStatus, "concluida")) return "Concluída";
  if (IgualSemCaixa(AStatus, "cancelada")) return "Cancelada";
  return AStatus;
}

std::string TFrmPopupTarefas::TextoOuPadrao(const std::string& ATexto, const std::string& APadrao) {
  return EmBranco(ATexto) ? APadrao : ATexto;
}

TFrmPopupTarefas::TFrmPopupTarefas() {
  Nome = "frmPopupTarefas";
  DefinirTexto("Minhas tarefas");
  ui::TEstiloJanela e = Estilo();
  e.SemBorda = true;
  e.Redimensionavel = false;
  // Opened by a timer while the agent sits in the tray: below another window
  // nobody would see it, and the pass would wait for it.
  e.SempreNoTopo = true;
  e.DuploBuffer = true;
  DefinirEstilo(e);
  DefinirCor(ui::kCorBranco);
  DefinirFonte(NovaFonte(10, false, ui::kCorTextoJanela));
  // The panel is for the employee to close; a log-off or shutdown never waits for it.
  AoConsultarFimSessao = [] { return true; };
}

TFrmPopupTarefas::~TFrmPopupTarefas() {
  FTimerFrente.reset();
}

void TFrmPopupTarefas::Exibir(const std::string& JsonTarefas) {
  const TRespostaJson json(JsonTarefas);
  const rapidjson::Value* obj = json.Objeto();
  const rapidjson::Value* tarefas = MembroJson(obj, "tarefas");
  if (!tarefas || !tarefas->IsArray() || tarefas->Empty()) return;

  const std::string empresa = TextoOuPadrao(TextoCartao(*obj, "empresa", ""), "Empresa");
  const rapidjson::Value* colaborador = MembroJson(obj, "colaborador");
  const std::string nome = colaborador && colaborador->IsObject()
                               ? TextoCartao(*colaborador, "nome", "")
                               : std::string();

  std::unique_ptr<TFrmPopupTarefas> janela;
  TFimExibicao fim{janela, GAtivo};
  janela.reset(new TFrmPopupTarefas());
  GAtivo = janela.get();
  janela->FJsonOriginal = JsonTarefas;
  janela->MontarJanela(empresa, TextoOuPadrao(nome, "Colaborador"), tarefas->Size());
  int top = kTopoPrimeiroCartao;
  for (const auto& t : tarefas->GetArray()) {
    if (!t.IsObject()) continue;
    janela->AdicionarCartao(t, top);
    top += kPassoCartao;
  }
  // Below the last card the same margin as above the first.
  if (!janela->FCartoes.empty())
    janela->FScroll->DefinirAlturaConteudo(janela->FCartoes.back().Top + kCartaoAltura +
                                           kTopoPrimeiroCartao);
  janela->AtualizarCartoesVisiveis();
  janela->MostrarNaFrente();
  const ui::TEsperaEmpregado esperando;
  janela->ExibirModal();
}

void TFrmPopupTarefas::MontarJanela(const std::string& AEmpresa, const std::string& AColaborador,
                                    size_t ATotal) {
  // A work area smaller than the panel keeps it whole on screen; the card
  // area then scrolls over what does not fit.
  const ui::TRetangulo area = ui::app::AreaDeTrabalho();
  const int w = std::clamp(area.Width, 1, kLargura);
  const int h = std::clamp(area.Height, kAlturaTopo + 1, kAltura);
  DefinirTamanhoCliente(w, h);
  Centralizar();

  pnlTopo = new ui::TPainel(this);
  pnlTopo->Nome = "pnlTopo";
  pnlTopo->AlinharAoTopo(kAlturaTopo);
  pnlTopo->DefinirCor(ui::kCorBranco);

  const ui::TFonte fTitulo = NovaFonte(18, true, kCorTitulo);
  lblTitulo = NovoRotulo(pnlTopo, "lblTitulo", fTitulo, "", 28, 18, 0, 0);
  lblTitulo->DefinirAutoTamanho(true);
  lblTitulo->DefinirTexto("Minhas tarefas");

  const ui::TFonte fSub = NovaFonte(10, false, kCorCinza);
  const std::string subtitulo =
      AEmpresa + "  •  " + AColaborador + "  •  " + std::to_string(ATotal) + " tarefa(s)";
  // Up to the close button, so that a long name never runs under it.
  const int fechar = w - 122;
  lblSubtitulo = NovoRotulo(pnlTopo, "lblSubtitulo", fSub, subtitulo, 30, 52,
                            std::max(0, fechar - 8 - 30), AlturaLinha(fSub));

  btnFechar = NovoBotao(pnlTopo, "btnFechar", "Fechar", fechar, 28, 92, 32);
  btnFechar->AoClicar = [this] { ui::app::ExecutarProtegido([this] { BtnFecharClick(); }, this); };

  FScroll = new ui::TRolagem(this);
  FScroll->Nome = "scrTarefas";
  FScroll->DefinirCor(kCorAreaCartoes);
  FScroll->DefinirLimites(0, kAlturaTopo, w, h - kAlturaTopo);
  FScroll->AoRolar = [this] { AtualizarCartoesVisiveis(); };
}

void TFrmPopupTarefas::AdicionarCartao(const rapidjson::Value& ATarefa, int ATop) {
  TCartao c;
  c.Top = ATop;
  c.TarefaID = LerInteiroJson(&ATarefa, "id", 0);
  c.Titulo = TextoOuPadrao(TextoCartao(ATarefa, "titulo", ""), "Tarefa sem título");
  c.Descricao = TextoOuPadrao(TextoCartao(ATarefa, "descricao", ""), "Sem descrição.");
  c.Cliente = TextoOuPadrao(TextoCartao(ATarefa, "cliente", ""), "sem cliente");
  c.Tipo = TextoOuPadrao(TextoCartao(ATarefa, "tipo", ""), "sem tipo");
  // Only a missing priority or status has a default; a blank one stays blank.
  c.Prioridade = TextoCartao(ATarefa, "prioridade", "normal");
  c.Status = TextoCartao(ATarefa, "status", "pendente");
  const std::string vencimento =
      Aparar(TextoCartao(ATarefa, "data_vencimento", "") + " " +
             CortarUtf16(TextoCartao(ATarefa, "hora_vencimento", ""), 5));
  c.Vencimento = TextoOuPadrao(vencimento, "sem vencimento");
  c.PodeIniciar = !IgualSemCaixa(c.Status, "em_andamento");
  FCartoes.push_back(std::move(c));
}

void TFrmPopupTarefas::ConstruirCartao(size_t AIndice) {
  const TCartao& c = FCartoes[AIndice];
  TControlesCartao k;
  k.Painel = new ui::TPainel(FScroll);
  k.Painel->Nome = "pnlCartao" + std::to_string(AIndice);
  k.Painel->DefinirCor(ui::kCorBranco);
  k.Painel->DefinirLimites(kCartaoLeft, c.Top, kCartaoLargura, kCartaoAltura);

  const ui::TFonte fTitulo = NovaFonte(12, true, kCorTituloCartao);
  const ui::TFonte fCinza = NovaFonte(10, false, kCorCinza);
  const ui::TFonte fTexto = NovaFonte(10, false, ui::kCorTextoJanela);
  k.lblTitulo = NovoRotulo(k.Painel, "lblTitulo", fTitulo, c.Titulo, 18, 14, kLarguraLinha,
                           AlturaLinha(fTitulo));
  k.lblClienteTipo =
      NovoRotulo(k.Painel, "lblClienteTipo", fCinza, "Cliente: " + c.Cliente + "   Tipo: " + c.Tipo,
                 18, 42, kLarguraLinha, AlturaLinha(fCinza));
  k.lblVencimento = NovoRotulo(k.Painel, "lblVencimento", fCinza,
                               "Vencimento: " + c.Vencimento + "   Prioridade: " + c.Prioridade +
                                   "   Status: " + DescreverStatus(c.Status),
                               18, 66, kLarguraLinha, AlturaLinha(fCinza));
  k.lblDescricao = NovoRotulo(k.Painel, "lblDescricao", fTexto, "", 18, 94, kLarguraDescricao, 42);
  k.lblDescricao->DefinirQuebraLinha(true);
  k.lblDescricao->DefinirTexto(CortarUtf16(c.Descricao, kMaxTextoRotulo));

  k.btnIniciar = NovoBotao(k.Painel, "btnIniciar", "Iniciar", 520, 20, 96, 30);
  k.btnIniciar->DefinirHabilitado(c.PodeIniciar);
  k.btnConcluir = NovoBotao(k.Painel, "btnConcluir", "Concluir", 520, 58, 96, 30);
  k.btnJustificar = NovoBotao(k.Painel, "btnJustificar", "Justificar", 520, 96, 96, 30);
  // An error that escapes an action (a request that failed) reaches the
  // standard error box, owned by the panel so that it opens above it; the
  // panel stays open.
  ui::TBotao* bi = k.btnIniciar;
  ui::TBotao* bc = k.btnConcluir;
  ui::TBotao* bj = k.btnJustificar;
  bi->AoClicar = [this, bi] {
    ui::app::ExecutarProtegido([this, bi] { BtnIniciarClick(bi); }, this);
  };
  bc->AoClicar = [this, bc] {
    ui::app::ExecutarProtegido([this, bc] { BtnConcluirClick(bc); }, this);
  };
  bj->AoClicar = [this, bj] {
    ui::app::ExecutarProtegido([this, bj] { BtnJustificarClick(bj); }, this);
  };
  FConstruidos[AIndice] = k;
}

void TFrmPopupTarefas::AtualizarCartoesVisiveis() {
  if (FCartoes.empty() || !FScroll) return;
  // The view and a screen's height above and below it.
  const int pagina = std::max(1, FScroll->ClientHeight());
  const int de = FScroll->PosicaoVertical() - pagina;
  const int ate = FScroll->PosicaoVertical() + 2 * pagina;
  const auto visivel = [&](const TCartao& c) { return c.Top + kCartaoAltura > de && c.Top < ate; };
  if (!FEmAcao) {
    for (auto it = FConstruidos.begin(); it != FConstruidos.end();) {
      if (visivel(FCartoes[it->first])) {
        ++it;
        continue;
      }
      delete it->second.Painel;
      it = FConstruidos.erase(it);
    }
  }
  // Cards are evenly spaced: the first one in range follows from the position.
  const long long primeiro = std::max<long long>(
      0, (static_cast<long long>(de) - kTopoPrimeiroCartao - kCartaoAltura) / kPassoCartao);
  for (size_t i = static_cast<size_t>(primeiro); i < FCartoes.size(); ++i) {
    if (FCartoes[i].Top >= ate) break;
    if (visivel(FCartoes[i]) && !FConstruidos.count(i)) ConstruirCartao(i);
  }
}

const TFrmPopupTarefas::TControlesCartao* TFrmPopupTarefas::ControlesDoCartao(
    size_t AIndice) const {
  auto it = FConstruidos.find(AIndice);
  return it == FConstruidos.end() ? nullptr : &it->second;
}

void TFrmPopupTarefas::RolarAteCartao(size_t AIndice) {
  if (AIndice >= FCartoes.size()) return;
  FScroll->DefinirPosicaoVertical(FCartoes[AIndice].Top - kTopoPrimeiroCartao);
  AtualizarCartoesVisiveis();
}

void TFrmPopupTarefas::MostrarNaFrente() {
  DefinirEstado(ui::TEstadoJanela::Normal);
  Mostrar();
  TrazerAoTopo();
  PrimeiroPlano();
  if (!FTimerFrente) {
    FTimerFrente = std::make_unique<ui::TTemporizador>();
    FTimerFrente->DefinirIntervalo(kVerificarFrenteMs);
    FTimerFrente->AoDisparar = [this] {
      if (!Fechada() && !NaTela()) MostrarNaFrente();
    };
    FTimerFrente->DefinirHabilitado(true);
  }
}

int32_t TFrmPopupTarefas::ObterTarefaID(const ui::TControle* ASender) const {
  if (!ASender || ASender->Tipo() != ui::TTipoControle::Botao) return 0;
  for (const auto& [i, k] : FConstruidos)
    if (ASender == k.btnIniciar || ASender == k.btnConcluir || ASender == k.btnJustificar)
      return FCartoes[i].TarefaID;
  return 0;
}

void TFrmPopupTarefas::MostrarRetorno(const std::string& AResposta) {
  // Owned by the panel, which is centred on the screen: the box opens centred
  // and above it, also where the system ignores MB_TOPMOST.
  ui::app::CaixaMensagem(this, "Retorno: " + CortarUtf16(AResposta, 300), ui::app::Titulo(),
                         ui::TTipoCaixa::Informacao, ui::TBotoesCaixa::Ok);
}

void TFrmPopupTarefas::FecharAposAcao() {
  Fechar();
}

void TFrmPopupTarefas::BtnIniciarClick(ui::TControle* ASender) {
  const int32_t id = ObterTarefaID(ASender);
  if (id <= 0) return;
  TBandeira emAcao(FEmAcao);
  MostrarRetorno(TAgentTasks::ExecutarAcao("iniciar", id, ""));
  FecharAposAcao();
}

void TFrmPopupTarefas::BtnConcluirClick(ui::TControle* ASender) {
  const int32_t id = ObterTarefaID(ASender);
  if (id <= 0) return;
  TBandeira emAcao(FEmAcao);
  if (ui::app::CaixaMensagem(this, "Concluir esta tarefa?", ui::app::Titulo(),
                             ui::TTipoCaixa::Pergunta,
                             ui::TBotoesCaixa::SimNao) != ui::TResposta::Sim)
    return;
  MostrarRetorno(TAgentTasks::ExecutarAcao("concluir", id, ""));
  FecharAposAcao();
}

void TFrmPopupTarefas::BtnJustificarClick(ui::TControle* ASender) {
  const int32_t id = ObterTarefaID(ASender);
  if (id <= 0) return;
  TBandeira emAcao(FEmAcao);
  std::string justificativa;
  if (!ui::app::CaixaEntrada("Justificar tarefa", "Informe a justificativa:", justificativa))
    justificativa.clear();
  if (EmBranco(justificativa)) return;
  MostrarRetorno(TAgentTasks::ExecutarAcao("justificar", id, justificativa));
  FecharAposAcao();
}

void TFrmPopupTarefas::BtnFecharClick() {
  Fechar();
}
