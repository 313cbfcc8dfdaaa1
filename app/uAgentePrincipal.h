// The agent's main window: status, settings and tasks tabs, the polling pass and
// the tray menu.
#pragma once

#include <cstdint>
#include <string>

#include "app/uPassosAgente.h"
#include "config/uConfigINI.h"
#include "platform/uDataHora.h"
#include "platform/ui/uKit.h"

class TFrmAgentePrincipal : public ui::TJanela {
 public:
  static constexpr int kMaxLinhasLog = 300;
  static constexpr int kMinutosEntreUpdates = 15;
  static constexpr int32_t kIntervaloMinimo = 5, kIntervaloMaximo = 86400, kIntervaloInvalido = 120;
  static constexpr uint32_t kCorTopo = 0x0164E6;

  // Builds the window and runs the whole start-up (FormCreate), the first
  // polling pass included.
  explicit TFrmAgentePrincipal(TPassosAgente APassos = {});
  ~TFrmAgentePrincipal() override;

  // Controls (owned by the window).
  ui::TPainel* pnlTopo;
  ui::TImagem* imgLogoAgente;
  ui::TRotulo* lblTitulo;
  ui::TRotulo* lblVersao;
  ui::TPaginas* pgcPrincipal;
  ui::TPagina* tabStatus;
  ui::TPagina* tabConfig;
  ui::TPagina* tabTarefas;
  ui::TRotulo* lblStatusTitulo;
  ui::TRotulo* lblStatus;
  ui::TRotulo* lblUltimaComunicacao;
  ui::TMemo* memLog;
  ui::TBotao* btnExecutarAgora;
  ui::TBotao* btnLimparLog;
  ui::TRotulo* lblURL;
  ui::TEdicao* edtURL;
  ui::TRotulo* lblApiToken;
  ui::TEdicao* edtApiToken;
  ui::TRotulo* lblIntervalo;
  ui::TEdicao* edtIntervalo;
  ui::TMarcacao* chkUsarSSL;
  ui::TRotulo* lblPolitica;
  ui::TBotao* btnSalvar;
  ui::TBotao* btnTestar;
  ui::TRotulo* lblTarefasTitulo;
  ui::TRotulo* lblTarefasInfo;
  ui::TMemo* memTarefas;
  ui::TBotao* btnAtualizarTarefas;
  ui::TBotao* btnAbrirTarefas;
  ui::TTemporizador TimerPrincipal;
  ui::TMenuPopup TrayMenu;

  // Handlers.
  void TimerPrincipalTimer();
  void FormResize();
  bool FormCloseQuery();
  // A log-off or shutdown: let through at once, then ended as an authorised
  // exit, without the password.
  bool FormQueryEndSession();
  void FormEndSession();
  void btnSalvarClick();
  void btnTestarClick();
  void btnExecutarAgoraClick();
  void btnLimparLogClick();
  void btnAtualizarTarefasClick();
  void btnAbrirTarefasClick();
  void miAbrirClick();
  void miStatusClick();
  void miSairClick();
  bool TratarMensagemBandeja(uint32_t AMsg, uintptr_t AWParam, intptr_t ALParam);

  // One polling pass; returns at once while another runs.
  void ExecutarCiclo();
  // On-screen line (newest first) and the log file.
  void AdicionarLog(const std::string& AMsg);
  void VerificarAtualizacaoPeriodica(bool AForcar);
  void CarregarConfiguracaoTela();
  // Raises when config.ini cannot be written; the timer then keeps its interval.
  void SalvarConfiguracaoTela();
  // The fields that the policy gives: shown read-only, with a note.
  void AplicarPolitica(const TPoliticaAgente& APolitica, const TConfigAgente& ACfg);
  void CentralizarCabecalho();
  void CarregarLogo();
  void IrParaBandeja();
  void RestaurarDaBandeja();
  // The message loop's first show: normal and centred, or, when the program was
  // started minimised, minimised, which for this window means the tray.
  void ExibirPrimeiraVez();
  void MostrarMenuBandeja();

  bool Executando() const { return FExecutando; }
  bool FechandoAutorizado() const { return FFechandoAutorizado; }
  TDateTime UltimaVerificacaoUpdate() const { return FUltimaVerificacaoUpdate; }

 private:
  void CriarControles();
  void FormCreate();
  void FormDestroy();
  void Informar(const std::string& ATexto);
  void DefinirIntervaloTimer(int32_t ASegundos);
  // The heartbeat of a tick that falls while the pass waits on the employee.
  void EnviarHeartbeatDuranteEspera();
  // Whether the step is skipped because the agent asked itself to quit.
  bool Pular(const char* AEtapa) const;

  TPassosAgente FPassos;
  bool FExecutando = false;
  bool FFechandoAutorizado = false;
  bool FIndoParaTray = false;
  bool FHeartbeatAvulso = false;
  TDateTime FUltimaVerificacaoUpdate = 0;
};
