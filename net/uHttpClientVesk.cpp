// The agent's HTTP client.
#include "net/uHttpClientVesk.h"

#include "net/uHttpCorpo.h"

TVeskHttpClient::TVeskHttpClient(uint32_t AConexaoMs, uint32_t ARespostaMs, bool ARedirecionar)
    : FConexaoMs(AConexaoMs), FRespostaMs(ARespostaMs), FRedirecionar(ARedirecionar) {}

std::unique_ptr<TVeskHttpClient> TVeskHttpClient::CreateVesk() {
  return std::make_unique<TVeskHttpClient>(15000, 30000, true);
}

TRespostaHttp TVeskHttpClient::Get(const std::string& AURL) const {
  TPedidoHttp p;
  p.Metodo = "GET";
  p.URL = AURL;
  return Executar(std::move(p));
}

TRespostaHttp TVeskHttpClient::Post(const std::string& AURL, const std::string& ACorpo,
                                    const std::string& ATipoConteudo) const {
  TPedidoHttp p;
  p.Metodo = "POST";
  p.URL = AURL;
  p.Corpo = ACorpo;
  p.TipoConteudo = ATipoConteudo;
  return Executar(std::move(p));
}

TRespostaHttp TVeskHttpClient::Executar(TPedidoHttp APedido) const {
  APedido.TempoConexaoMs = FConexaoMs;
  APedido.TempoEnvioMs = kTempoEnvioMs;
  APedido.TempoRespostaMs = FRespostaMs;
  APedido.SeguirRedirecionamentos = FRedirecionar;
  TRespostaHttp r = HttpTransporte().Executar(APedido);
  // Judged by what the server says it did, asked or not.
  r.Corpo = InflarCorpo(r.Corpo, r.CodificacaoConteudo);
  return r;
}
