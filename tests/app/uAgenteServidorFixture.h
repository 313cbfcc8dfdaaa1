// The agent shell fixture with the agent's real services against the
// development server: the server reset around each test, the configuration
// pointing at it, and its admin routes at hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config/uConfigINI.h"
#include "net/uHttpClientVesk.h"
#include "tasks/uAgentTasks.h"
#include "tests/app/uAgenteFixture.h"

class AgenteComServidorTeste : public AgenteTeste {
 protected:
  void SetUp() override {
    const char* v = std::getenv("VESK_DEVSERVER");
    ASSERT_TRUE(v && *v) << "VESK_DEVSERVER not set (run through tools/testenv.sh)";
    FServidor = v;
    if (FServidor.back() != '/') FServidor += '/';
    TAgentTasks::ReiniciarAssinatura();
    Admin("admin/reset", "{}");
    TConfigINI::EscreverTexto("SERVIDOR", "URL", FServidor + "demo/intranet/");
    TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", "tok-teste-1234567890");
  }
  void TearDown() override {
    if (!FServidor.empty()) Admin("admin/reset", "{}");
    TAgentTasks::ReiniciarAssinatura();
  }

  // One of the server's admin routes: a GET, or a POST of the JSON body.
  std::string Admin(const std::string& ACaminho, const std::string& ACorpo = "") const {
    return PedidoDoTeste(FServidor + ACaminho, ACorpo);
  }

  std::string FServidor;
};
