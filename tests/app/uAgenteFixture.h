// Shared fixture of the agent shell tests: a temporary base folder, a settable
// clock and recorders in place of the tray, shell and registry.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/uAgentePrincipal.h"
#include "config/uConfigINI.h"
#include "platform/uBandeja.h"
#include "platform/uPerfil.h"
#include "platform/uRegistro.h"
#include "platform/uShell.h"
#include "platform/ui/uKitHeadless.h"
#include "tests/support/uTestSupport.h"

// The real profile file, except that writes can be refused (read-only file).
class TPerfilRecusavel : public IPerfil {
 public:
  std::string LerTexto(const std::string& AArquivo, const std::string& ASecao,
                       const std::string& AChave, const std::string& APadrao) override {
    return Real().LerTexto(AArquivo, ASecao, AChave, APadrao);
  }
  bool EscreverTexto(const std::string& AArquivo, const std::string& ASecao,
                     const std::string& AChave, const std::string& AValor) override {
    return !Recusar && Real().EscreverTexto(AArquivo, ASecao, AChave, AValor);
  }
  bool ApagarChave(const std::string& AArquivo, const std::string& ASecao,
                   const std::string& AChave) override {
    return !Recusar && Real().ApagarChave(AArquivo, ASecao, AChave);
  }
  std::vector<std::string> Chaves(const std::string& AArquivo, const std::string& ASecao) override {
    return Real().Chaves(AArquivo, ASecao);
  }
  bool Descarregar(const std::string& AArquivo) override { return Real().Descarregar(AArquivo); }
  bool Estado(const std::string& AArquivo, TEstadoPerfil& AEstado) override {
    return Real().Estado(AArquivo, AEstado);
  }
  bool Recusar = false;

 private:
  static IPerfil& Real() { return ImplementacaoPadrao(SeamTag<IPerfil>{}); }
};

inline TDateTime Momento(int AAno, int AMes, int ADia, int AHora, int AMin, int ASeg) {
  TPartesDataHora p;
  p.Ano = AAno;
  p.Mes = AMes;
  p.Dia = ADia;
  p.Hora = AHora;
  p.Minuto = AMin;
  p.Segundo = ASeg;
  return CodificarDataHora(p);
}

class AgenteTeste : public ::testing::Test {
 protected:
  AgenteTeste() {
    ui::headless::Reiniciar();
    ui::app::DefinirTitulo("Zelvan");
  }
  ~AgenteTeste() override {
    Frm.reset();
    ui::headless::Reiniciar();
  }

  // Creates the window (its start-up runs the first pass) with the given steps.
  TFrmAgentePrincipal& Criar(TPassosAgente APassos = {}) {
    Frm = std::make_unique<TFrmAgentePrincipal>(std::move(APassos));
    return *Frm;
  }

  std::vector<TAcaoIcone> AcoesIcone() const {
    std::vector<TAcaoIcone> a;
    for (const auto& c : Bandeja.Chamadas) a.push_back(c.Acao);
    return a;
  }

  TBaseTemporaria Base;
  TRelogioFalso Relogio{Momento(2025, 3, 5, 14, 7, 9)};
  SubstituirConcern<IRelogio> FRelogio{Relogio};
  TSistemaFalso Sistema;
  SubstituirConcern<ISistema> FSistema{Sistema};
  TBandejaGravador Bandeja;
  SubstituirConcern<IBandeja> FBandeja{Bandeja};
  TShellGravador ShellGravador;
  SubstituirConcern<IShell> FShell{ShellGravador};
  TRegistroMemoria RegistroMemoria;
  SubstituirConcern<IRegistro> FRegistro{RegistroMemoria};
  TPerfilRecusavel PerfilRecusavel;
  SubstituirConcern<IPerfil> FPerfil{PerfilRecusavel};
  std::unique_ptr<TFrmAgentePrincipal> Frm;
};
