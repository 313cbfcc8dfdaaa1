// A process table in memory for the watchdog's tests; waiting moves the fake clock.
// A process that ends on purpose leaves the agent's exit record, as the agent does.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/uSaidaAutorizada.h"
#include "platform/uProcessos.h"
#include "platform/uTexto.h"
#include "tests/support/uTestSupport.h"

inline constexpr uint32_t kSempre = 0xFFFFFFFFu;

struct TProcessoFalso {
  std::string Caminho;
  uint32_t Inicio = 0;     // tick when it appears
  uint32_t Fim = kSempre;  // tick when it ends
  uint32_t Codigo = 0;
  bool ListadoDepoisDoFim = false;  // still in the snapshot after it ended
  bool Autorizada = false;          // ends on purpose: writes the exit record
  uint64_t HoraInicio = 0;          // its start as the system tells it; 0: Inicio + 1
  bool SaidaRegistrada = false;
};

// How a program started by the watchdog behaves.
struct TRoteiroInicio {
  uint32_t VidaMs = kSempre;
  uint32_t Codigo = 0;
  bool Autorizada = false;
};

// A copy that ends on purpose after AVidaMs (code 0, the exit record written).
inline TRoteiroInicio SaidaDeProposito(uint32_t AVidaMs) {
  return {AVidaMs, 0, true};
}

class TProcessosFalso : public IProcessos {
 public:
  explicit TProcessosFalso(TRelogioFalso& ARelogio) : FRelogio(ARelogio) {}

  uint32_t Agora() { return FRelogio.TickCount(); }
  uint32_t Adicionar(TProcessoFalso P) {
    Lista[FProximoId] = std::move(P);
    return FProximoId++;
  }

  std::vector<uint32_t> ProcessosDoExecutavel(const std::string& ACaminho) override {
    ++Buscas;
    std::vector<uint32_t> r;
    const uint32_t t = Agora();
    for (auto& [id, p] : Lista)
      if (IgualSemCaixa(p.Caminho, ACaminho) && p.Inicio <= t &&
          (t < p.Fim || p.ListadoDepoisDoFim))
        r.push_back(id);
    return r;
  }
  THandleProcesso Abrir(uint32_t AId) override {
    if (SemAcesso || !Lista.count(AId)) return 0;
    Abertos.insert(AId);
    JaAbertos.push_back(AId);
    return static_cast<THandleProcesso>(AId);
  }
  TResultadoEspera Aguardar(THandleProcesso AH, uint32_t AMs) override {
    TProcessoFalso& p = Lista.at(static_cast<uint32_t>(AH));
    const uint32_t t = Agora();
    ++Esperas;
    if (p.Fim <= t) return Terminou();
    if (AMs == kEsperaInfinita) {
      if (p.Fim == kSempre) return TResultadoEspera::Falha;  // would wait forever
      FRelogio.Avancar(p.Fim - t);
      return Terminou();
    }
    if (p.Fim - t <= AMs) {
      FRelogio.Avancar(p.Fim - t);
      return Terminou();
    }
    FRelogio.Avancar(AMs);
    RegistrarSaidas();
    return TResultadoEspera::TempoEsgotado;
  }
  bool CodigoSaida(THandleProcesso AH, uint32_t& ACodigo) override {
    RegistrarSaidas();
    if (AoLerCodigo) AoLerCodigo();
    if (!CodigoLegivel) return false;
    ACodigo = Lista.at(static_cast<uint32_t>(AH)).Codigo;
    return true;
  }
  void Fechar(THandleProcesso AH) override { Abertos.erase(static_cast<uint32_t>(AH)); }
  uint32_t IdDoProcesso(THandleProcesso AH) override { return static_cast<uint32_t>(AH); }
  uint64_t HoraInicio(THandleProcesso AH) override {
    if (!InicioLegivel) return 0;
    const TProcessoFalso& p = Lista.at(static_cast<uint32_t>(AH));
    return p.HoraInicio != 0 ? p.HoraInicio : p.Inicio + 1;
  }
  THandleProcesso Iniciar(const std::string& ACaminho) override {
    TicksInicio.push_back(Agora());
    CaminhosIniciados.push_back(ACaminho);
    if (FalharInicio) return 0;
    TRoteiroInicio r;
    if (!Roteiro.empty()) {
      r = Roteiro.front();
      Roteiro.pop_front();
    }
    TProcessoFalso p{ACaminho, Agora(), r.VidaMs == kSempre ? kSempre : Agora() + r.VidaMs,
                     r.Codigo};
    p.Autorizada = r.Autorizada;
    const uint32_t id = Adicionar(p);
    Abertos.insert(id);
    return static_cast<THandleProcesso>(id);
  }
  TInstanciaUnica AdquirirInstanciaUnica(const std::string& ANome) override {
    MutexPedido = ANome;
    return Instancia;
  }
  std::string CaminhoExecutavel() override { return ProprioCaminho; }
  std::vector<std::string> Argumentos() override { return {}; }
  bool ArquivoExiste(const std::string& ACaminho) override {
    return Existentes.count(ACaminho) > 0;
  }

  std::map<uint32_t, TProcessoFalso> Lista;
  std::deque<TRoteiroInicio> Roteiro;
  std::set<std::string> Existentes;
  std::string ProprioCaminho = "C:\\Vesk\\WatchdogAgente.exe";
  TInstanciaUnica Instancia = TInstanciaUnica::Primeira;
  bool FalharInicio = false;
  bool CodigoLegivel = true;
  bool SemAcesso = false;
  bool InicioLegivel = true;
  std::function<void()> AoLerCodigo;  // runs when the watchdog learns of an exit

  std::set<uint32_t> Abertos;       // handles not yet closed
  std::vector<uint32_t> JaAbertos;  // every Abrir that succeeded
  std::vector<uint32_t> TicksInicio;
  std::vector<std::string> CaminhosIniciados;
  std::string MutexPedido;
  int Buscas = 0;
  int Esperas = 0;

 private:
  TResultadoEspera Terminou() {
    RegistrarSaidas();
    return TResultadoEspera::Terminou;
  }
  // Each deliberate end that has come leaves its record, in the order they came.
  void RegistrarSaidas() {
    for (;;) {
      TProcessoFalso* proximo = nullptr;
      uint32_t id = 0;
      for (auto& [i, p] : Lista)
        if (p.Autorizada && !p.SaidaRegistrada && p.Fim <= Agora() &&
            (!proximo || p.Fim < proximo->Fim)) {
          proximo = &p;
          id = i;
        }
      if (!proximo) return;
      proximo->SaidaRegistrada = true;
      TSaidaAutorizada::Gravar(id,
                               proximo->HoraInicio != 0 ? proximo->HoraInicio : proximo->Inicio + 1,
                               FRelogio.Agora());
    }
  }

  TRelogioFalso& FRelogio;
  uint32_t FProximoId = 100;
};
