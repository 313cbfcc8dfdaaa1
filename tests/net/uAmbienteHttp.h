// Fixture of the HTTP tests: the development server's address, a temporary base
// folder, a settable clock and the log lines written during the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "log/uLogger.h"
#include "net/uHttpClientVesk.h"
#include "platform/uTexto.h"
#include "tests/support/uTestSupport.h"

// Address of the development server with its final "/", "" when not running.
inline std::string EnderecoDevServer() {
  const char* v = std::getenv("VESK_DEVSERVER");
  if (!v || !*v) return {};
  std::string s = v;
  if (s.back() != '/') s += '/';
  return s;
}

// Address of the development server's HTTPS listener with its final "/", "" when
// not running. Its certificate is self-signed: no client may accept it.
inline std::string EnderecoDevServerTls() {
  const char* v = std::getenv("VESK_DEVSERVER_TLS");
  if (!v || !*v) return {};
  std::string s = v;
  if (s.back() != '/') s += '/';
  return s;
}

// A port on loopback where nothing listens.
inline std::string EnderecoFechado() {
  return "http://127.0.0.1:1/";
}

class TAmbienteHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    FServidor = EnderecoDevServer();
    // Without the server these tests would prove nothing: they fail, and so does
    // the SetUp of a fixture built on this one (see HasFatalFailure there).
    ASSERT_FALSE(FServidor.empty()) << "VESK_DEVSERVER not set (run through tools/testenv.sh)";
    FBase = std::make_unique<TBaseTemporaria>();
    FRelogio = std::make_unique<TRelogioFalso>();
    FTrocaRelogio = std::make_unique<SubstituirConcern<IRelogio>>(*FRelogio);
    FInicioLog = LerArquivoTeste(TLogger::ArquivoLogDoDia()).size();
  }
  void TearDown() override {
    FTrocaRelogio.reset();
    FRelogio.reset();
    FBase.reset();
  }

  // Address of a path on the development server ("test/eco?x=1").
  std::string Url(const std::string& ACaminho) const { return FServidor + ACaminho; }

  // Messages logged since the test began, without their time stamps.
  std::vector<std::string> Linhas() const {
    const std::string tudo = LerArquivoTeste(TLogger::ArquivoLogDoDia());
    std::vector<std::string> r;
    for (const std::string& l : DividirLinhas(tudo.substr(std::min(FInicioLog, tudo.size())))) {
      // "yyyy-mm-dd hh:nn:ss - " is 22 characters.
      r.push_back(l.size() >= 22 ? l.substr(22) : l);
    }
    return r;
  }

  // Admin calls to the development server, outside the code under test's retries.
  std::string Admin(const std::string& ACaminho, const std::string& ACorpoJson = "") const {
    const bool post = !ACorpoJson.empty() || ACaminho.find("clear") != std::string::npos ||
                      ACaminho.find("reset") != std::string::npos;
    return PedidoDoTeste(Url(ACaminho), ACorpoJson, post);
  }

  const TRelogioFalso& RelogioTeste() const { return *FRelogio; }
  TRelogioFalso& RelogioTeste() { return *FRelogio; }
  const std::string& Base() const { return FBase->Base(); }

 private:
  std::string FServidor;
  std::unique_ptr<TBaseTemporaria> FBase;
  std::unique_ptr<TRelogioFalso> FRelogio;
  std::unique_ptr<SubstituirConcern<IRelogio>> FTrocaRelogio;
  size_t FInicioLog = 0;
};
