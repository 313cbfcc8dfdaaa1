// Doubles and fixtures shared by the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/uArquivos.h"
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
  // One step: the work in between runs once, then the whole pause passes.
  void DormirEntre(uint32_t AMs, const std::function<bool()>& AEntre) override {
    if (AEntre()) Dormir(AMs);
  }
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

// Gives the test an empty base folder for its lifetime. Natively the
// environment variable VESK_PASTA_BASE points at a temporary folder (and
// VESK_PASTA_LOCAL, the employee's local application data, at another); on Windows
// the base folder is fixed, so C:\Talmeq\VESKINTRANET is emptied before and after
// the test (the tests run in a throwaway Wine prefix).
class TBaseTemporaria {
 public:
  TBaseTemporaria();
  ~TBaseTemporaria();
  const std::string& Base() const { return FBase; }  // ends with the separator

 private:
  TPastaTemporaria FPasta;
  std::string FBase;
  std::string FAnterior, FLocalAnterior;
  bool FHaviaAnterior = false, FHaviaLocalAnterior = false;
};

// The real files concern with faults on demand: each Recusar* flag makes that
// operation fail without touching the disk; the counters tell what was asked.
class TArquivosComFalhas : public IArquivos {
 public:
  bool ArquivoExiste(const std::string& C) override { return FReal.ArquivoExiste(C); }
  bool PastaExiste(const std::string& C) override { return FReal.PastaExiste(C); }
  bool EhLigacao(const std::string& C) override { return FReal.EhLigacao(C); }
  bool CriarPastas(const std::string& C) override {
    return !RecusarCriarPastas && FReal.CriarPastas(C);
  }
  int64_t Tamanho(const std::string& C) override { return FReal.Tamanho(C); }
  bool DataModificacao(const std::string& C, TDateTime& D) override {
    return FReal.DataModificacao(C, D);
  }
  bool DefinirDataModificacao(const std::string& C, TDateTime D) override {
    return FReal.DefinirDataModificacao(C, D);
  }
  bool Apagar(const std::string& C) override {
    ++Apagamentos;
    return !RecusarApagar && FReal.Apagar(C);
  }
  bool Renomear(const std::string& De, const std::string& Para) override {
    ++Renomeacoes;
    return !RecusarRenomear && FReal.Renomear(De, Para);
  }
  bool Substituir(const std::string& De, const std::string& Para) override {
    return !RecusarSubstituir && FReal.Substituir(De, Para);
  }
  bool LimparAtributos(const std::string& C) override { return FReal.LimparAtributos(C); }
  std::vector<TInfoArquivo> Listar(const std::string& P, const std::string& M) override {
    ++Listagens;
    return FReal.Listar(P, M);
  }
  bool LerTudo(const std::string& C, std::string& B) override { return FReal.LerTudo(C, B); }
  bool Gravar(const std::string& C, std::string_view B) override {
    return !RecusarGravar && FReal.Gravar(C, B);
  }
  bool GravarNovo(const std::string& C, std::string_view B) override {
    return !RecusarGravar && FReal.GravarNovo(C, B);
  }
  bool Anexar(const std::string& C, std::string_view B) override {
    ++Anexacoes;
    return !RecusarAnexar && FReal.Anexar(C, B);
  }
  TAnexo AnexarAbaixoDe(const std::string& C, std::string_view B, int64_t L) override {
    ++Anexacoes;
    return RecusarAnexar ? TAnexo::Falhou : FReal.AnexarAbaixoDe(C, B, L);
  }
  std::string CaminhoExecutavel() override { return FReal.CaminhoExecutavel(); }
  std::string PastaTemporaria() override { return FReal.PastaTemporaria(); }
  std::string PastaDadosLocais() override { return FReal.PastaDadosLocais(); }

  bool RecusarCriarPastas = false, RecusarApagar = false, RecusarRenomear = false,
       RecusarSubstituir = false, RecusarGravar = false, RecusarAnexar = false;
  int Apagamentos = 0, Renomeacoes = 0, Listagens = 0, Anexacoes = 0;

 private:
  IArquivos& FReal = ImplementacaoPadrao(SeamTag<IArquivos>{});
};

// Reads a whole file ("" when missing).
std::string LerArquivoTeste(const std::string& ACaminho);

// A request of the test itself (the development server's admin routes):
// straight through the transport, outside the agent's waits, which the test
// may have ended with a simulated log-off. A POST when ACorpoJson is given.
std::string PedidoDoTeste(const std::string& AURL, const std::string& ACorpoJson = "",
                          bool APost = false);
void GravarArquivoTeste(const std::string& ACaminho, const std::string& ABytes);
// Holds a file open for writing, as another program would, so that no other
// writer gets in: on Windows by its share mode (denies writing); natively by an
// exclusive advisory lock, which the files concern's Anexar respects.
class TArquivoTravado {
 public:
  explicit TArquivoTravado(const std::string& ACaminho);
  ~TArquivoTravado();
  TArquivoTravado(const TArquivoTravado&) = delete;
  TArquivoTravado& operator=(const TArquivoTravado&) = delete;
  bool Ativo() const { return FArquivo != nullptr; }

 private:
  void* FArquivo = nullptr;
};

// True when the platform refuses writes to a read-only file (Wine run as root
// does not).
bool SomenteLeituraRespeitado();

// Sets or clears the read-only state of a file (write permission natively,
// the read-only attribute on Windows).
void DefinirSomenteLeitura(const std::string& ACaminho, bool ASomenteLeitura);

// Makes ALigacao a symbolic link to AAlvo (a folder link when AAlvo is a
// folder), as another user of the computer could; false when the platform
// refuses.
bool CriarLigacao(const std::string& AAlvo, const std::string& ALigacao);
