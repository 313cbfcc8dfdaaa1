// Doubles and fixtures shared by the tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/uRelogio.h"
#include "platform/uSistema.h"

// A settable clock: Dormir advances it, nothing really waits.
class TRelogioFalso : public IRelogio {
 public:
  explicit TRelogioFalso(TDateTime AInicio = 46000.5) : FAgora(AInicio) {}
  TDateTime Agora() override { return FAgora; }
  void Dormir(uint32_t AMs) override {
    FTick += AMs;
    FAgora += AMs / 86400000.0;
    TotalDormido += AMs;
    ++Pausas;
  }
  uint32_t TickCount() override { return FTick; }
  void Avancar(uint32_t AMs) {
    FTick += AMs;
    FAgora += AMs / 86400000.0;
  }
  void DefinirAgora(TDateTime A) { FAgora = A; }
  uint64_t TotalDormido = 0;
  int Pausas = 0;

 private:
  TDateTime FAgora;
  uint32_t FTick = 1000;
};

// System facts with a chosen computer name and environment.
class TSistemaFalso : public ISistema {
 public:
  bool NomeComputador(std::string& ANome) override {
    if (!ComputadorDisponivel) return false;
    ANome = Computador;
    return true;
  }
  bool NomeUsuarioLogon(std::string& ANome) override {
    if (!UsuarioDisponivel) return false;
    ANome = UsuarioLogon;
    return true;
  }
  bool Variavel(const std::string& ANome, std::string& AValor) override {
    auto it = Ambiente.find(ANome);
    if (it == Ambiente.end()) return false;
    AValor = it->second;
    return true;
  }
  uint32_t IdProcesso() override { return Pid; }

  std::string Computador = "PC-TESTE";
  bool ComputadorDisponivel = true;
  std::string UsuarioLogon = "joao";
  bool UsuarioDisponivel = true;
  std::map<std::string, std::string> Ambiente{{"USERNAME", "joao"}};
  uint32_t Pid = 4321;
};

// A fresh, empty folder for one test, removed afterwards. Its path ends with the
// path separator.
class TPastaTemporaria {
 public:
  TPastaTemporaria();
  ~TPastaTemporaria();
  const std::string& Caminho() const { return FCaminho; }
  std::string operator/(const std::string& ANome) const { return FCaminho + ANome; }

 private:
  std::string FCaminho;
};

// Points the agent's base folder at a temporary folder for the test's lifetime
// (the environment variable VESK_PASTA_BASE natively; on Windows the tests run in
// a throwaway Wine prefix, so the real C:\Talmeq is used).
class TBaseTemporaria {
 public:
  TBaseTemporaria();
  ~TBaseTemporaria();
  const std::string& Base() const { return FBase; }  // ends with the separator

 private:
  TPastaTemporaria FPasta;
  std::string FBase;
  std::string FAnterior;
  bool FHaviaAnterior = false;
};

// Reads a whole file ("" when missing).
std::string LerArquivoTeste(const std::string& ACaminho);
void GravarArquivoTeste(const std::string& ACaminho, const std::string& ABytes);
