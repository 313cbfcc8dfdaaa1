// The task panel: the employee's open tasks as cards, each with its three actions.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "platform/ui/uKit.h"

class TFrmPopupTarefas : public ui::TJanela {
 public:
  // Shows the panel for a task list answer, modally, and returns when it has
  // been closed (by "Fechar", by an action or by the session's end). Shows
  // nothing when the text holds no task list with at least one element.
  static void Exibir(const std::string& JsonTarefas);
  // The panel being shown (the newest when one opened over another), null when none.
  static TFrmPopupTarefas* Ativo();

  static std::string DescreverStatus(const std::string& AStatus);
  // ADefault when the text is blank, else the text unchanged.
  static std::string TextoOuPadrao(const std::string& ATexto, const std::string& APadrao);

  // What one card shows, read from its task object.
  struct TCartao {
    int32_t TarefaID = 0;
    std::string Titulo, Descricao, Cliente, Tipo, Prioridade, Status, Vencimento;
    bool PodeIniciar = true;
    int Top = 0;  // in the card area's content
  };
  // The controls of a card that is built. Cards are built as they come near
  // the view and freed when they leave it, so that a list of thousands of
  // tasks costs only the windows of a few screens.
  struct TControlesCartao {
    ui::TPainel* Painel = nullptr;
    ui::TRotulo* lblTitulo = nullptr;
    ui::TRotulo* lblClienteTipo = nullptr;
    ui::TRotulo* lblVencimento = nullptr;
    ui::TRotulo* lblDescricao = nullptr;
    ui::TBotao* btnIniciar = nullptr;
    ui::TBotao* btnConcluir = nullptr;
    ui::TBotao* btnJustificar = nullptr;
  };

  ~TFrmPopupTarefas() override;

  const std::vector<TCartao>& Cartoes() const { return FCartoes; }
  // Null while the card is not built.
  const TControlesCartao* ControlesDoCartao(size_t AIndice) const;
  size_t CartoesConstruidos() const { return FConstruidos.size(); }
  const std::string& JsonOriginal() const { return FJsonOriginal; }
  ui::TRolagem* AreaCartoes() const { return FScroll; }
  // Scrolls the card area so that the card's top is in view and builds it.
  void RolarAteCartao(size_t AIndice);

  ui::TPainel* pnlTopo = nullptr;
  ui::TRotulo* lblTitulo = nullptr;
  ui::TRotulo* lblSubtitulo = nullptr;
  ui::TBotao* btnFechar = nullptr;

  // Handlers; ASender is the clicked button.
  void BtnIniciarClick(ui::TControle* ASender);
  void BtnConcluirClick(ui::TControle* ASender);
  void BtnJustificarClick(ui::TControle* ASender);
  void BtnFecharClick();

  // Window measures at 96 DPI.
  static constexpr int kLargura = 720, kAltura = 620, kAlturaTopo = 96;
  static constexpr int kTopoPrimeiroCartao = 18, kPassoCartao = 162;
  static constexpr int kCartaoLeft = 24, kCartaoLargura = 650, kCartaoAltura = 148;
  // The one-line texts reach to just before the buttons' column at 520, so that
  // an ordinary status line ("Status: Em andamento") is not cut; the wrapped
  // description keeps its 430.
  static constexpr int kLarguraLinha = 494, kLarguraDescricao = 430;

 private:
  TFrmPopupTarefas();

  void MontarJanela(const std::string& AEmpresa, const std::string& AColaborador, size_t ATotal);
  void AdicionarCartao(const rapidjson::Value& ATarefa, int ATop);
  void ConstruirCartao(size_t AIndice);
  void AtualizarCartoesVisiveis();
  int32_t ObterTarefaID(const ui::TControle* ASender) const;
  void MostrarRetorno(const std::string& AResposta);
  void FecharAposAcao();
  void MostrarNaFrente();

  ui::TRolagem* FScroll = nullptr;
  std::string FJsonOriginal;
  std::vector<TCartao> FCartoes;
  std::map<size_t, TControlesCartao> FConstruidos;
  // An action is running: its button must outlive it, whatever scrolls meanwhile.
  bool FEmAcao = false;
  std::unique_ptr<ui::TTemporizador> FTimerFrente;
};
