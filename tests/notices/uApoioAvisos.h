// Fixture of the notice service tests: the development server with notices of
// its own, fixed computer and user names, a settable clock on today's date, the
// recorded requests, and a scripted employee for the popups on the headless kit.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/uConfigINI.h"
#include "platform/uDesktop.h"
#include "platform/uMci.h"
#include "tests/net/uAmbienteHttp.h"

using TParesForm = std::vector<std::pair<std::string, std::string>>;

struct TPedidoAviso {
  std::string Metodo, Caminho, Consulta;
  TParesForm Form;
  // The decoded query value (first of equal names), "" when absent.
  std::string Param(const std::string& ANome) const;
  std::string Campo(const std::string& ANome) const;  // form value
};

// What one popup showed.
struct TPopupVisto {
  std::string Empresa, Titulo, Mensagem, Link;
  bool TemLogo = false, TemImagem = false;
};

class AvisosTeste : public TAmbienteHttp {
 protected:
  static constexpr const char* kToken = "tok-teste-1234567890";

  void SetUp() override;
  void TearDown() override;

  std::string UrlServidor() const { return Url("demo/intranet/"); }
  void Configurar(const std::string& AURL, const std::string& AToken);
  // POST /admin/notices with the members given ("" leaves that part alone);
  // the request record is emptied.
  void Cenario(const std::string& AKind, const std::string& ALink = "",
               const std::string& AAck = "");
  // The whole scenario replaced (api_token added), the record emptied.
  void CenarioJson(const std::string& AMembros);
  // Every recorded request, or those to one endpoint, oldest first.
  std::vector<TPedidoAviso> Pedidos(const std::string& AEndpoint = "");

  // What the employee does with each popup, in order: true confirms it once
  // released, false ends the session while it waits. Popups beyond the list
  // are confirmed.
  std::vector<bool> Respostas;
  std::vector<TPopupVisto> Popups;
  // The pass with the scripted employee; a popup still open after two minutes
  // of the fake clock fails the test.
  void Passo();

  // Today's date at the given time on the fake clock.
  void Hoje(int AHora, int AMinuto, int ASegundo = 0);

  TSistemaFalso FSistema;
  TMciGravador FMci;
  TDesktopGravador FDesktop;

 private:
  std::unique_ptr<SubstituirConcern<ISistema>> FTrocaSistema;
  std::unique_ptr<SubstituirConcern<IMci>> FTrocaMci;
  std::unique_ptr<SubstituirConcern<IDesktop>> FTrocaDesktop;
};
