// The agent's HTTP client: one request's settings over the transport concern,
// handing back bodies already inflated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/uHttpTransporte.h"

class TVeskHttpClient {
 public:
  TVeskHttpClient(uint32_t AConexaoMs, uint32_t ARespostaMs, bool ARedirecionar);

  // The client of THttpRetry: connect 15000 ms, response 30000 ms, redirects on.
  static std::unique_ptr<TVeskHttpClient> CreateVesk();

  uint32_t TempoConexaoMs() const { return FConexaoMs; }
  uint32_t TempoRespostaMs() const { return FRespostaMs; }
  bool Redirecionar() const { return FRedirecionar; }

  // Both return any answer that arrives, whatever its status, with the body
  // inflated; a failure raises EHttpErro.
  TRespostaHttp Get(const std::string& AURL) const;
  TRespostaHttp Post(const std::string& AURL, const std::string& ACorpo,
                     const std::string& ATipoConteudo) const;

  // Sending the request may take this long in every client.
  static constexpr uint32_t kTempoEnvioMs = 60000;

 private:
  TRespostaHttp Executar(TPedidoHttp APedido) const;

  uint32_t FConexaoMs;
  uint32_t FRespostaMs;
  bool FRedirecionar;
};
