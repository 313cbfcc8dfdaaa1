// A desktop of windows and processes for the chat launcher's tests: what the
// launcher starts, finds, shows, hides and ends, recorded and scripted.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/uJanelasExternas.h"

struct TProcessoFalso {
  std::string LinhaDeComando;
  bool Vivo = true;
  bool Imortal = false;  // refuses to be terminated
};

class TJanelasFalsas : public IJanelasExternas {
 public:
  // The next launch: its result, and the window the new process shows.
  bool LancamentoFalha = false;
  uint32_t ErroLancamento = 5;
  bool LancamentoSemHandle = false;
  bool LancamentoAbreJanela = true;
  std::string TituloJanelaLancada = "Chat - Comunicação interna";
  bool JanelaLancadaVisivel = true;

  std::map<uint32_t, TProcessoFalso> Processos;
  std::vector<TJanelaExterna> Janelas_;
  std::map<THandleJanela, bool> Minimizadas;
  std::vector<std::string> Chamadas;  // "lancar ARQ|PARAMS", "mostrar J N", ...
  std::vector<uint32_t> Terminados;
  std::vector<std::pair<THandleJanela, std::string>> Icones;
  int HandlesAbertos = 0;

  uint32_t NovoProcesso(const std::string& ALinha) {
    const uint32_t id = FProximoId++;
    Processos[id] = {ALinha, true, false};
    return id;
  }
  THandleJanela NovaJanela(uint32_t AProcesso, const std::string& ATitulo, bool AVisivel = true,
                           bool ATemDono = false) {
    const THandleJanela h = FProximaJanela++;
    Janelas_.push_back({h, AProcesso, AVisivel, ATemDono, ATitulo});
    return h;
  }
  bool Existe(THandleJanela AJanela) const {
    for (const auto& j : Janelas_)
      if (j.Janela == AJanela) return true;
    return false;
  }
  bool Visivel(THandleJanela AJanela) const {
    for (const auto& j : Janelas_)
      if (j.Janela == AJanela) return j.Visivel;
    return false;
  }
  // The process ends by itself (the employee closed the window).
  void Encerrar(uint32_t AId) { Matar(AId); }

  TLancamento Lancar(const std::string& AArquivo, const std::string& AParametros) override {
    Chamadas.push_back("lancar " + AArquivo + "|" + AParametros);
    TLancamento l;
    if (LancamentoFalha) {
      l.Erro = ErroLancamento;
      return l;
    }
    l.Sucesso = true;
    const uint32_t id = NovoProcesso("\"" + AArquivo + "\" " + AParametros);
    if (LancamentoAbreJanela) NovaJanela(id, TituloJanelaLancada, JanelaLancadaVisivel);
    if (!LancamentoSemHandle) {
      l.Processo = static_cast<THandleProcesso>(id) + 100000;
      l.Id = id;
      ++HandlesAbertos;
    }
    return l;
  }
  TResultadoEspera Aguardar(THandleProcesso P, uint32_t) override {
    auto it = Processos.find(static_cast<uint32_t>(P - 100000));
    if (it == Processos.end()) return TResultadoEspera::Falha;
    return it->second.Vivo ? TResultadoEspera::TempoEsgotado : TResultadoEspera::Terminou;
  }
  void Terminar(THandleProcesso P) override {
    Chamadas.push_back("terminar handle " + std::to_string(P - 100000));
    Matar(static_cast<uint32_t>(P - 100000));
  }
  void FecharHandle(THandleProcesso) override { --HandlesAbertos; }
  bool TerminarProcesso(uint32_t AId) override {
    Chamadas.push_back("terminar " + std::to_string(AId));
    auto it = Processos.find(AId);
    if (it == Processos.end() || !it->second.Vivo) return false;
    Terminados.push_back(AId);
    if (!it->second.Imortal) Matar(AId);
    return true;
  }
  bool LinhaDeComando(uint32_t AId, std::string& ALinha) override {
    auto it = Processos.find(AId);
    if (it == Processos.end() || !it->second.Vivo) return false;
    ALinha = it->second.LinhaDeComando;
    return true;
  }
  std::vector<TJanelaExterna> Janelas() override { return Janelas_; }
  bool Minimizada(THandleJanela J) override { return Minimizadas[J]; }
  void Mostrar(THandleJanela J, int AComando) override {
    Chamadas.push_back("mostrar " + std::to_string(J) + " " + std::to_string(AComando));
    for (auto& j : Janelas_)
      if (j.Janela == J) j.Visivel = AComando != kSwHide;
    if (AComando == kSwRestaurar || AComando == kSwShowNormal) Minimizadas[J] = false;
  }
  void TrazerParaFrente(THandleJanela J) override {
    Chamadas.push_back("frente " + std::to_string(J));
  }
  void AplicarIcone(THandleJanela J, const std::string& AArquivo) override {
    Icones.push_back({J, AArquivo});
  }

 private:
  void Matar(uint32_t AId) {
    auto it = Processos.find(AId);
    if (it == Processos.end()) return;
    it->second.Vivo = false;
    std::vector<TJanelaExterna> restam;
    for (const auto& j : Janelas_)
      if (j.Processo != AId) restam.push_back(j);
    Janelas_ = restam;
  }
  uint32_t FProximoId = 700;
  THandleJanela FProximaJanela = 9000;
};
