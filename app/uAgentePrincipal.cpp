// The agent's main window: status, settings and tasks tabs, the polling pass and
// the tray menu.
#include "app/uAgentePrincipal.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "app/uSenhaAgente.h"
#include "app/uStartupWindows.h"
#include "app/uTrayAgent.h"
#include "app/uWatchdogLauncher.h"
#include "config/uConfigINI.h"
#include "config/uVersao.h"
#include "log/uLogger.h"
#include "platform/uArquivos.h"
#include "platform/uErros.h"
#include "platform/uImagem.h"
#include "platform/uRecursos.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"
#include "platform/ui/uEspera.h"
#include "res/uRecursos.h"

namespace {

const char* const kLogCiclo =
    "Ciclo executado: config + heartbeat + inventario + mensagens + tarefas + comandos + update.";

const char* const kTextoPolitica =
    "Campos desativados sao definidos pelo departamento de TI e nao podem ser alterados aqui.";

ui::TFonte FonteTitulo(int AAltura, ui::TCor ACor) {
  ui::TFonte f;
  f.Nome = "Segoe UI Semibold";
  f.Altura = AAltura;
  f.Negrito = true;
  f.Cor = ACor;
  return f;
}

ui::TRotulo* NovoRotulo(ui::TControle* APai, const char* ANome, const std::string& ATexto,
                        int ALeft, int ATop) {
  auto* r = new ui::TRotulo(APai);
  r->Nome = ANome;
  r->DefinirPosicao(ALeft, ATop);
  r->DefinirAutoTamanho(true);
  r->DefinirTexto(ATexto);
  return r;
}

ui::TBotao* NovoBotao(ui::TControle* APai, const char* ANome, const std::string& ATexto, int ALeft,
                      int ATop, std::function<void()> AAcao) {
  auto* b = new ui::TBotao(APai);
  b->Nome = ANome;
  b->DefinirLimites(ALeft, ATop, 145, 34);
  b->DefinirTexto(ATexto);
  // An error that escapes a button reaches the standard error box.
  b->AoClicar = [AAcao] { ui::app::ExecutarProtegido(AAcao); };
  return b;
}

ui::TEdicao* NovaEdicao(ui::TControle* APai, const char* ANome, int ALeft, int ATop, int AWidth) {
  auto* e = new ui::TEdicao(APai);
  e->Nome = ANome;
  e->DefinirLimites(ALeft, ATop, AWidth, 25);
  return e;
}

ui::TMemo* NovoMemo(ui::TControle* APai, const char* ANome, int ALeft, int ATop, int AWidth,
                    int AHeight, const std::string& ALinha) {
  auto* m = new ui::TMemo(APai);
  m->Nome = ANome;
  m->DefinirLimites(ALeft, ATop, AWidth, AHeight);
  m->DefinirBarraVertical(true);
  m->DefinirQuebraLinha(true);
  m->DefinirLinhas({ALinha});
  return m;
}

// Runs a step of the pass when the program wired one.
template <class F, class... A>
void Chamar(const F& APasso, A&&... AArgs) {
  if (APasso) APasso(std::forward<A>(AArgs)...);
}

// Clears a re-entrancy flag on every way out of its scope.
class TBandeira {
 public:
  explicit TBandeira(bool& AFlag) : FFlag(AFlag) { FFlag = true; }
  ~TBandeira() { FFlag = false; }
  TBandeira(const TBandeira&) = delete;
  TBandeira& operator=(const TBandeira&) = delete;

 private:
  bool& FFlag;
};

}  // namespace

TFrmAgentePrincipal::TFrmAgentePrincipal(TPassosAgente APassos) : FPassos(std::move(APassos)) {
  CriarControles();
  AoRedimensionar = [this] { FormResize(); };
  AoConsultarFechamento = [this] {
    bool permitir = false;
    ui::app::ExecutarProtegido([&] { permitir = FormCloseQuery(); });
    return permitir;
  };
  AoConsultarFimSessao = [this] { return FormQueryEndSession(); };
  AoFimSessao = [this] { FormEndSession(); };
  // Closing the main window ends the program.
  AoFechar = [] { ui::app::Terminar(); };
  AoMensagem = [this](uint32_t AMsg, uintptr_t AWParam, intptr_t ALParam) {
    bool tratada = false;
    ui::app::ExecutarProtegido([&] { tratada = TratarMensagemBandeja(AMsg, AWParam, ALParam); });
    return tratada;
  };
  TimerPrincipal.AoDisparar = [this] { TimerPrincipalTimer(); };
  // As with a designed form, an error in the creation handler is reported and
  // the rest of the start-up skipped; the window still exists.
  ui::app::ExecutarProtegido([this] { FormCreate(); });
}

TFrmAgentePrincipal::~TFrmAgentePrincipal() {
  FormDestroy();
}

void TFrmAgentePrincipal::CriarControles() {
  Nome = "FrmAgentePrincipal";
  DefinirTexto("Zelvan");
  DefinirCor(ui::kCorBranco);
  DefinirTamanhoCliente(760, 520);

  pnlTopo = new ui::TPainel(this);
  pnlTopo->Nome = "pnlTopo";
  pnlTopo->AlinharAoTopo(82);
  pnlTopo->DefinirCor(kCorTopo);

  imgLogoAgente = new ui::TImagem(pnlTopo);
  imgLogoAgente->Nome = "imgLogoAgente";
  imgLogoAgente->DefinirLimites(18, 11, 60, 60);
  imgLogoAgente->DefinirModo(true, true, true, false);
  try {
    TBitmap logo;
    if (DecodificarImagemMemoria(LerRecursoDados(IDR_LOGO_PNG), TFormatoImagem::Png, logo))
      imgLogoAgente->DefinirImagem(std::make_shared<TBitmap>(std::move(logo)));
  } catch (...) {
    // The embedded logo is decoration: without it the window keeps its plain header.
  }

  lblTitulo = new ui::TRotulo(pnlTopo);
  lblTitulo->Nome = "lblTitulo";
  lblTitulo->DefinirFonte(FonteTitulo(23, ui::kCorBranco));
  lblTitulo->DefinirAlinhamento(ui::TAlinhamento::Centro);
  // 187 x 31 is the text's size in the designed font; sizing by the text keeps
  // it whole where the font is missing and a wider one stands in.
  lblTitulo->DefinirLimites(0, 14, 187, 31);
  lblTitulo->DefinirAutoTamanho(true);
  lblTitulo->DefinirTexto("Vesk Intranet Agent");

  // Sized by its text, which grows when the full version is set.
  lblVersao = new ui::TRotulo(pnlTopo);
  lblVersao->Nome = "lblVersao";
  ui::TFonte fv;
  fv.Cor = ui::kCorBranco;
  lblVersao->DefinirFonte(fv);
  lblVersao->DefinirAlinhamento(ui::TAlinhamento::Centro);
  lblVersao->DefinirLimites(0, 48, 61, 17);
  lblVersao->DefinirAutoTamanho(true);
  lblVersao->DefinirTexto("Versao 1.0");

  pgcPrincipal = new ui::TPaginas(this);
  pgcPrincipal->Nome = "pgcPrincipal";
  pgcPrincipal->DefinirLimites(16, 98, 728, 406);
  tabStatus = pgcPrincipal->NovaPagina("Status");
  tabStatus->Nome = "tabStatus";
  tabConfig = pgcPrincipal->NovaPagina("Configuracoes");
  tabConfig->Nome = "tabConfig";
  tabTarefas = pgcPrincipal->NovaPagina("Tarefas");
  tabTarefas->Nome = "tabTarefas";
  pgcPrincipal->AtivarPagina(0);

  // Status tab.
  lblStatusTitulo = NovoRotulo(tabStatus, "lblStatusTitulo", "", 24, 22);
  lblStatusTitulo->DefinirFonte(FonteTitulo(16, ui::kCorTextoJanela));
  lblStatusTitulo->DefinirTexto("Status atual");
  lblStatus = NovoRotulo(tabStatus, "lblStatus", "Offline", 24, 52);
  lblUltimaComunicacao =
      NovoRotulo(tabStatus, "lblUltimaComunicacao", "Ultima comunicacao: --", 24, 76);
  memLog = NovoMemo(tabStatus, "memLog", 24, 116, 665, 190, "Log do agente");
  btnExecutarAgora = NovoBotao(tabStatus, "btnExecutarAgora", "Executar agora", 24, 326,
                               [this] { btnExecutarAgoraClick(); });
  btnLimparLog =
      NovoBotao(tabStatus, "btnLimparLog", "Limpar log", 184, 326, [this] { btnLimparLogClick(); });

  // Settings tab.
  lblURL = NovoRotulo(tabConfig, "lblURL", "URL do servidor", 24, 23);
  edtURL = NovaEdicao(tabConfig, "edtURL", 24, 46, 665);
  edtURL->DefinirTexto(TConfigAgente{}.URL);
  lblApiToken = NovoRotulo(tabConfig, "lblApiToken", "API Token", 24, 85);
  edtApiToken = NovaEdicao(tabConfig, "edtApiToken", 24, 108, 665);
  edtApiToken->DefinirCaractereSenha('*');
  lblIntervalo = NovoRotulo(tabConfig, "lblIntervalo", "Intervalo segundos", 24, 147);
  edtIntervalo = NovaEdicao(tabConfig, "edtIntervalo", 24, 170, 130);
  edtIntervalo->DefinirSomenteDigitos(true);
  edtIntervalo->DefinirTexto("120");
  chkUsarSSL = new ui::TMarcacao(tabConfig);
  chkUsarSSL->Nome = "chkUsarSSL";
  chkUsarSSL->DefinirLimites(184, 170, 130, 25);
  chkUsarSSL->DefinirTexto("Usar SSL");
  chkUsarSSL->DefinirMarcado(true);
  // Shown when the IT department gives some of these settings as policy.
  lblPolitica = NovoRotulo(tabConfig, "lblPolitica", kTextoPolitica, 24, 204);
  lblPolitica->DefinirVisivel(false);
  btnSalvar = NovoBotao(tabConfig, "btnSalvar", "Salvar configuracao", 24, 230,
                        [this] { btnSalvarClick(); });
  btnTestar =
      NovoBotao(tabConfig, "btnTestar", "Testar conexao", 184, 230, [this] { btnTestarClick(); });

  // Tasks tab.
  lblTarefasTitulo = NovoRotulo(tabTarefas, "lblTarefasTitulo", "", 24, 22);
  lblTarefasTitulo->DefinirFonte(FonteTitulo(16, ui::kCorTextoJanela));
  lblTarefasTitulo->DefinirTexto("Tarefas do agente");
  lblTarefasInfo = NovoRotulo(
      tabTarefas, "lblTarefasInfo",
      "Use esta aba para validar a API de tarefas e abrir o painel operacional de tarefas.", 24,
      52);
  memTarefas = NovoMemo(tabTarefas, "memTarefas", 24, 86, 665, 220,
                        "Clique em Atualizar tarefas para consultar a API do Web.");
  btnAtualizarTarefas = NovoBotao(tabTarefas, "btnAtualizarTarefas", "Atualizar tarefas", 24, 326,
                                  [this] { btnAtualizarTarefasClick(); });
  btnAbrirTarefas = NovoBotao(tabTarefas, "btnAbrirTarefas", "Abrir painel tarefas", 184, 326,
                              [this] { btnAbrirTarefasClick(); });

  TimerPrincipal.DefinirHabilitado(false);
  TimerPrincipal.DefinirIntervalo(120000);

  TrayMenu.Itens = {
      {"miAbrir", "Abrir", [this] { ui::app::ExecutarProtegido([this] { miAbrirClick(); }); }},
      {"miStatus", "Status", [this] { ui::app::ExecutarProtegido([this] { miStatusClick(); }); }},
      {"miSair", "Sair", [this] { ui::app::ExecutarProtegido([this] { miSairClick(); }); }},
  };
}

void TFrmAgentePrincipal::FormCreate() {
  // The application's icon falls back to IDI_APPLICATION inside the tray
  // concern (IconeAplicacao), where the icon is first needed.
  FExecutando = false;
  FFechandoAutorizado = false;
  FIndoParaTray = false;
  FUltimaVerificacaoUpdate = 0;
  lblVersao->DefinirTexto(std::string("Versao ") + VersaoAgente());
  CarregarLogo();
  CentralizarCabecalho();
  CarregarConfiguracaoTela();
  TStartupWindows::AtivarZelvan();
  Chamar(FPassos.AvisarPastaCompartilhada);
  TWatchdogLauncher::IniciarWatchdog();
  TTrayAgent::Adicionar(this);
  TimerPrincipal.DefinirHabilitado(true);
  AdicionarLog("Agente iniciado.");
  Chamar(FPassos.LimparTemporarios);
  // The bubble talks to its own server on its own thread: nothing of it needs
  // to wait for the intranet, which may take minutes to answer on a bad day.
  if (!Pular("chat")) Chamar(FPassos.IniciarChat, static_cast<ui::TJanela&>(*this));
  {
    // The check waits with the windows answering; a tick meanwhile must not
    // start the first pass ahead of it.
    TBandeira executando(FExecutando);
    VerificarAtualizacaoPeriodica(true);
  }
  ExecutarCiclo();
  IrParaBandeja();
}

void TFrmAgentePrincipal::FormDestroy() {
  try {
    Chamar(FPassos.FinalizarChat);
  } catch (...) {
    // The window is going away; a chat that will not close must not stop it.
  }
  TTrayAgent::Remover(this);
}

void TFrmAgentePrincipal::TimerPrincipalTimer() {
  // A pass held by the employee (a notice or the task panel left open over a
  // weekend) must not make the computer look offline: the heartbeat alone
  // keeps its interval. Nothing else of the pass runs twice.
  if (FExecutando && ui::EsperandoEmpregado()) {
    EnviarHeartbeatDuranteEspera();
    return;
  }
  ExecutarCiclo();
}

void TFrmAgentePrincipal::EnviarHeartbeatDuranteEspera() {
  if (FHeartbeatAvulso || Pular("heartbeat")) return;
  TBandeira enviando(FHeartbeatAvulso);
  try {
    Chamar(FPassos.EnviarHeartbeat, std::string(VersaoAgente()));
  } catch (const std::exception&) {
    // The heartbeat logs its own failures; the pass it stands in for goes on.
  }
}

void TFrmAgentePrincipal::FormResize() {
  CentralizarCabecalho();
  if (Estado() == ui::TEstadoJanela::Minimizada) IrParaBandeja();
}

bool TFrmAgentePrincipal::FormCloseQuery() {
  if (FFechandoAutorizado) return true;
  FFechandoAutorizado = TSenhaAgente::ConfirmarFechamento();
  return FFechandoAutorizado;
}

bool TFrmAgentePrincipal::FormQueryEndSession() {
  // No window of the agent holds up a log-off, the close password included.
  return true;
}

void TFrmAgentePrincipal::FormEndSession() {
  FFechandoAutorizado = true;
  try {
    Chamar(FPassos.FinalizarChat);
  } catch (...) {
    // A log-off must end: the chat's own failure to close cannot hold it up.
  }
  TTrayAgent::Remover(this);
  AdicionarLog("Sessao do Windows encerrando; agente finalizado.");
}

bool TFrmAgentePrincipal::Pular(const char* AEtapa) const {
  return FPassos.PularAposSaida && FPassos.PularAposSaida(AEtapa);
}

void TFrmAgentePrincipal::ExecutarCiclo() {
  // A tick or a button while a pass runs (the pass lets messages through).
  if (FExecutando) return;
  TBandeira executando(FExecutando);
  // A step runs unless the agent asked itself to quit; once the program is
  // ending otherwise (a log-off, "Sair"), the pass stops before the next step.
  const auto etapa = [this](const char* ANome) {
    if (Pular(ANome)) return false;
    ui::VerificarAbandono();
    return true;
  };
  try {
    lblStatus->DefinirTexto("Comunicando...");
    ui::app::ProcessarMensagens();
    // Each step reads config.ini as it is when the step starts and keeps
    // that reading through the step (looked at again each second, for a
    // step that waits for the user), instead of reopening the file at every
    // key, request and log line.
    std::optional<TPassagemConfig> passagem;
    passagem.emplace();
    Chamar(FPassos.AvisarPastaCompartilhada);
    const auto passo = [&](const char* ANome) {
      if (!etapa(ANome)) return false;
      passagem.reset();
      passagem.emplace();
      return true;
    };
    if (passo("config")) Chamar(FPassos.SincronizarConfig);
    if (passo("heartbeat")) Chamar(FPassos.EnviarHeartbeat, std::string(VersaoAgente()));
    if (passo("inventario")) Chamar(FPassos.SincronizarInventario);
    if (passo("mensagens")) Chamar(FPassos.VerificarMensagens);
    if (passo("tarefas")) Chamar(FPassos.VerificarTarefas);
    if (passo("comandos")) Chamar(FPassos.VerificarComandos);
    if (passo("chat")) Chamar(FPassos.AtualizarUnreadChat);
    passagem.reset();
    passagem.emplace();
    VerificarAtualizacaoPeriodica(false);
    passagem.reset();
    ui::VerificarAbandono();
    lblStatus->DefinirTexto("Online");
    lblUltimaComunicacao->DefinirTexto("Ultima comunicacao: " +
                                       FormatarDataHora("dd/mm/yyyy hh:nn:ss", Agora()));
    AdicionarLog(kLogCiclo);
  } catch (const ui::EEsperaAbandonada&) {
    // The program is ending: the pass stops where it was, and what it had not
    // finished is not recorded as done.
    TLogger::Log("Ciclo interrompido: o agente esta encerrando.");
  } catch (const std::exception& e) {
    lblStatus->DefinirTexto("Erro");
    AdicionarLog("Erro no ciclo: " + MensagemDoErro(e));
  } catch (...) {
    lblStatus->DefinirTexto("Erro");
    AdicionarLog("Erro no ciclo: Erro desconhecido.");
  }
}

void TFrmAgentePrincipal::VerificarAtualizacaoPeriodica(bool AForcar) {
  long long minutos = 9999;
  try {
    minutos = MinutosEntre(Agora(), FUltimaVerificacaoUpdate);
  } catch (...) {
    minutos = 9999;
  }
  if (!AForcar && FUltimaVerificacaoUpdate > 0 && minutos < kMinutosEntreUpdates) return;
  if (Pular("update")) return;
  // Stamped first, so that a failing check is not repeated before 15 minutes.
  FUltimaVerificacaoUpdate = Agora();
  AdicionarLog("Verificando atualizacao do agente...");
  Chamar(FPassos.VerificarAtualizacao, std::string(VersaoAgente()));
}

void TFrmAgentePrincipal::AdicionarLog(const std::string& AMsg) {
  try {
    std::vector<std::string> linhas = memLog->Linhas();
    // Texts from the server reach this line too: a line break in one would
    // show as lines of their own on screen.
    linhas.insert(linhas.begin(),
                  FormatarDataHora("hh:nn:ss", Agora()) + " - " + TLogger::UmaLinha(AMsg));
    if (linhas.size() > static_cast<size_t>(kMaxLinhasLog)) linhas.resize(kMaxLinhasLog);
    memLog->DefinirLinhas(std::move(linhas));
  } catch (...) {
    // The screen may lose a line; the file still gets it.
  }
  TLogger::Log(AMsg);
}

void TFrmAgentePrincipal::DefinirIntervaloTimer(int32_t ASegundos) {
  // Windows caps timers at USER_TIMER_MAXIMUM (about 24.8 days); a larger stored
  // interval must not wrap around to a short one.
  const long long ms = std::min<long long>(static_cast<long long>(ASegundos) * 1000, 0x7FFFFFFF);
  const auto intervalo = static_cast<uint32_t>(std::max<long long>(ms, 0));
  // Only a changed interval restarts the countdown.
  if (TimerPrincipal.Intervalo() != intervalo) TimerPrincipal.DefinirIntervalo(intervalo);
}

void TFrmAgentePrincipal::CarregarConfiguracaoTela() {
  const TConfigAgente cfg = TConfigINI::Carregar();
  edtURL->DefinirTexto(cfg.URL);
  edtApiToken->DefinirTexto(cfg.ApiToken);
  AplicarPolitica(TConfigINI::Politica(), cfg);
  chkUsarSSL->DefinirMarcado(cfg.UsarSSL);
  // No upper bound on loading: the file's value is used until the next save.
  const int32_t segundos = std::max(cfg.IntervaloSegundos, kIntervaloMinimo);
  edtIntervalo->DefinirTexto(std::to_string(segundos));
  DefinirIntervaloTimer(segundos);
}

void TFrmAgentePrincipal::AplicarPolitica(const TPoliticaAgente& APolitica,
                                          const TConfigAgente& ACfg) {
  // A value the policy gives wins over anything saved here, so its field shows
  // it but cannot be edited: the employee would otherwise change it in vain. A
  // field the policy no longer gives goes back to the file's value.
  const auto campo = [](ui::TEdicao* AEdicao, bool APolitica, const std::string& AValor) {
    if (APolitica || !AEdicao->Habilitado()) AEdicao->DefinirTexto(AValor);
    AEdicao->DefinirHabilitado(!APolitica);
  };
  campo(edtURL, APolitica.ServidorURL.has_value(), ACfg.URL);
  campo(edtApiToken, APolitica.ApiToken.has_value(), ACfg.ApiToken);
  lblPolitica->DefinirVisivel(APolitica.ServidorURL || APolitica.ApiToken);
}

void TFrmAgentePrincipal::SalvarConfiguracaoTela() {
  TConfigAgente cfg;
  cfg.URL = edtURL->Texto();
  cfg.ApiToken = edtApiToken->Texto();
  cfg.UsarSSL = chkUsarSSL->Marcado();
  int32_t segundos = 0;
  if (!LerInteiroDecimal32(edtIntervalo->Texto(), segundos)) segundos = kIntervaloInvalido;
  cfg.LogDetalhado = false;
  // The password hash belongs to the server; the window only carries it over.
  cfg.SenhaAgenteHash = TConfigINI::Carregar().SenhaAgenteHash;
  segundos = std::clamp(segundos, kIntervaloMinimo, kIntervaloMaximo);
  cfg.IntervaloSegundos = segundos;
  edtIntervalo->DefinirTexto(std::to_string(segundos));
  TConfigINI::Salvar(cfg);
  DefinirIntervaloTimer(segundos);
}

void TFrmAgentePrincipal::btnSalvarClick() {
  SalvarConfiguracaoTela();
  AdicionarLog("Configuracao salva.");
  Informar("Configuracao salva com sucesso.");
}

void TFrmAgentePrincipal::btnTestarClick() {
  SalvarConfiguracaoTela();
  ExecutarCiclo();
  Informar("Teste executado. Verifique o log do agente.");
}

void TFrmAgentePrincipal::btnExecutarAgoraClick() {
  SalvarConfiguracaoTela();
  ExecutarCiclo();
}

void TFrmAgentePrincipal::btnLimparLogClick() {
  memLog->Limpar();
  AdicionarLog("Log limpo.");
}

void TFrmAgentePrincipal::btnAtualizarTarefasClick() {
  // A failed request leaves the handler before anything changes on screen.
  const std::string texto = FPassos.BuscarTarefasJson ? FPassos.BuscarTarefasJson() : std::string();
  memTarefas->Limpar();
  if (!EmBranco(texto))
    memTarefas->DefinirTexto(texto);
  else
    memTarefas->DefinirLinhas({"Sem retorno da API de tarefas."});
  AdicionarLog("Tarefas atualizadas na aba do agente.");
}

void TFrmAgentePrincipal::btnAbrirTarefasClick() {
  Chamar(FPassos.ExibirTarefasAgora);
}

void TFrmAgentePrincipal::miAbrirClick() {
  RestaurarDaBandeja();
}

void TFrmAgentePrincipal::miStatusClick() {
  Informar(lblStatus->Texto() + "\r\n" + lblUltimaComunicacao->Texto());
}

void TFrmAgentePrincipal::miSairClick() {
  // A refusal has already been explained by the password dialog.
  if (!TSenhaAgente::ConfirmarFechamento()) return;
  FFechandoAutorizado = true;
  Chamar(FPassos.FinalizarChat);
  TTrayAgent::Remover(this);
  ui::app::Terminar();
}

bool TFrmAgentePrincipal::TratarMensagemBandeja(uint32_t AMsg, uintptr_t, intptr_t ALParam) {
  if (AMsg == TTrayAgent::MensagemTaskbarCreated()) {
    TTrayAgent::RecriarIcone(this);
    return false;  // other windows of the program may want it too
  }
  if (AMsg != TTrayAgent::kMensagemBandeja) return false;
  switch (TTrayAgent::ProcessarMensagem(ALParam)) {
    case TTrayClick::tcDuploClique:
      RestaurarDaBandeja();
      break;
    case TTrayClick::tcBotaoDireito:
      MostrarMenuBandeja();
      break;
    case TTrayClick::tcNenhum:
      break;
  }
  return true;
}

void TFrmAgentePrincipal::CentralizarCabecalho() {
  try {
    // Integer division truncates toward zero, also when the window is narrower
    // than a label.
    lblTitulo->DefinirPosicao((pnlTopo->ClientWidth() - lblTitulo->Width()) / 2, lblTitulo->Top());
    lblVersao->DefinirPosicao((pnlTopo->ClientWidth() - lblVersao->Width()) / 2, lblVersao->Top());
  } catch (...) {
    // Layout only: a header left where it was is better than a window that fails.
  }
}

void TFrmAgentePrincipal::CarregarLogo() {
  try {
    const std::string caminho = PastaDoExecutavel() + "logo_agente.png";
    if (!Arquivos().ArquivoExiste(caminho)) return;
    TBitmap logo;
    // A damaged file leaves the design-time picture.
    if (CarregarImagemArquivo(caminho, TFormatoImagem::Png, logo) && !logo.Vazio())
      imgLogoAgente->DefinirImagem(std::make_shared<TBitmap>(std::move(logo)));
  } catch (...) {
    // A logo beside the program is optional; any failure keeps the built-in one.
  }
}

void TFrmAgentePrincipal::IrParaBandeja() {
  if (FIndoParaTray) return;
  TBandeira indo(FIndoParaTray);
  TTrayAgent::Minimizar(this);
}

void TFrmAgentePrincipal::ExibirPrimeiraVez() {
  if (ui::app::EstadoInicial() == ui::TEstadoJanela::Minimizada) {
    IrParaBandeja();
    return;
  }
  DefinirEstado(ui::TEstadoJanela::Normal);
  Centralizar();
  Mostrar();
}

void TFrmAgentePrincipal::RestaurarDaBandeja() {
  // The IT department may have changed its policy while the window was hidden.
  try {
    AplicarPolitica(TConfigINI::Politica(), TConfigINI::Carregar());
  } catch (...) {
    // Kept as it was shown: the next restore or pass reads the policy again.
  }
  TTrayAgent::Restaurar(this);
}

void TFrmAgentePrincipal::MostrarMenuBandeja() {
  const ui::TPonto pos = ui::app::PosicaoCursor();
  // Foreground first, so that the menu closes when the user clicks elsewhere.
  PrimeiroPlano();
  TrayMenu.Exibir(this, pos);
}

void TFrmAgentePrincipal::Informar(const std::string& ATexto) {
  ui::app::CaixaMensagem(nullptr, ATexto, ui::app::Titulo(), ui::TTipoCaixa::Informacao,
                         ui::TBotoesCaixa::Ok);
}
