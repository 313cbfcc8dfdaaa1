// The agent's HTTP client: one request's settings over the transport concern,
// handing back bodies already inflated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/uHttpTransporte.h"

class TVeskHttpClient {
 public:
  TVeskHttpClient(uint32_t AConexaoMs, uint32_t ARespostaMs, bool ARedirecionar);

  // The client of THttpRetry: connect 15000 ms, response 30000 ms, redirects
  // on, and the integrated logon for the configured server and chat hosts
  // (read from config.ini: user-interface thread).
  static std::unique_ptr<TVeskHttpClient> CreateVesk();

  // The hosts whose 401 may get the employee's Windows logon; none unless set.
  void DefinirHostsAutenticacao(std::vector<std::string> AHosts) {
    FHostsAutenticacao = std::move(AHosts);
  }
  const std::vector<std::string>& HostsAutenticacao() const { return FHostsAutenticacao; }

  uint32_t TempoConexaoMs() const { return FConexaoMs; }
  uint32_t TempoRespostaMs() const { return FRespostaMs; }
  bool Redirecionar() const { return FRedirecionar; }

  // Both return any answer that arrives, whatever its status, with the body
  // inflated; a failure raises EHttpErro.
  TRespostaHttp Get(const std::string& AURL) const;
  TRespostaHttp Post(const std::string& AURL, const std::string& ACorpo,
                     const std::string& ATipoConteudo) const;

  // GET whose body is written to a temporary file beside ADestino as it
  // arrives and renamed over ADestino only once it is whole. Returns the size
  // written; an empty body writes nothing and returns 0. A failure raises and
  // leaves ADestino as it was, with no temporary file behind.
  uint64_t Baixar(const std::string& AURL, const std::string& ADestino) const;

  // Sending the request may take this long in every client.
  static constexpr uint32_t kTempoEnvioMs = 60000;
  // A text answer: at most this long, and whole this long after it was sent.
  static constexpr uint64_t kLimiteTexto = uint64_t{32} * 1024 * 1024;
  static constexpr uint32_t kPrazoTextoMs = 120000;
  // A download (notice media, update): its own cap and a deadline that a slow
  // line can meet.
  static constexpr uint64_t kLimiteDownload = uint64_t{64} * 1024 * 1024;
  static constexpr uint32_t kPrazoDownloadMs = 600000;

 private:
  TRespostaHttp Executar(TPedidoHttp APedido) const;
  // The download itself, on the thread that does the transfer.
  static uint64_t BaixarAqui(TPedidoHttp& APedido, TCancelamento& ACancelamento,
                             const std::string& ADestino);
  void Preparar(TPedidoHttp& APedido) const;

  uint32_t FConexaoMs;
  uint32_t FRespostaMs;
  bool FRedirecionar;
  std::vector<std::string> FHostsAutenticacao;
};
