// HTTP transport concern: one request, one answer with its raw body (WinHTTP on
// Windows, libcurl elsewhere). Inflating and decoding the body happen above it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uCancelamento.h"
#include "platform/uErros.h"
#include "platform/uSeam.h"

// Redirects followed in a row before the request fails.
inline constexpr int kMaxRedirecionamentos = 5;

struct TPedidoHttp {
  std::string Metodo = "GET";  // "GET" or "POST"
  std::string URL;
  std::string Corpo;                 // sent as it is (POST)
  std::string TipoConteudo;          // Content-Type of the body; empty sends none
  uint32_t TempoConexaoMs = 15000;   // name resolution and connection
  uint32_t TempoEnvioMs = 60000;     // sending the request
  uint32_t TempoRespostaMs = 30000;  // each wait for response data
  // The whole answer must have arrived this long after the request was sent,
  // however steadily it trickles in; 0 sets no deadline.
  uint32_t PrazoTotalMs = 120000;
  // A body longer than this fails the request; 0 sets no limit.
  uint64_t LimiteCorpo = uint64_t{32} * 1024 * 1024;
  bool SeguirRedirecionamentos = true;
  // Hosts (lower case) that a 401 asking for integrated authentication may
  // get the logged-on user's Windows logon from; any other host's 401 is
  // handed over as the answer. Checked again at every redirect hop. A proxy
  // that asks (407) is always answered.
  std::vector<std::string> HostsAutenticacao;
  // When set, the body of the final answer is handed over here piece by piece
  // as it arrives instead of being kept in TRespostaHttp::Corpo; returning
  // false stops the request with a failure.
  std::function<bool(std::string_view)> AoReceberCorpo;
  // When set and cancelled, the request stops as soon as the transport can
  // cut it and fails with MensagemCancelado().
  TCancelamento* Cancelamento = nullptr;
};

struct TRespostaHttp {
  int Status = 0;
  std::string TipoConteudo;         // the Content-Type header, "" when absent
  std::string CodificacaoConteudo;  // the Content-Encoding header, "" when absent
  std::string Corpo;                // the body bytes exactly as received
};

class IHttpTransporte {
 public:
  virtual ~IHttpTransporte() = default;
  // Any answer that arrives is returned, whatever its status. Raises EHttpErro
  // when none arrives or it cannot be read; the message is the transport's.
  virtual TRespostaHttp Executar(const TPedidoHttp& APedido) = 0;
};

IHttpTransporte& ImplementacaoPadrao(SeamTag<IHttpTransporte>);
inline IHttpTransporte& HttpTransporte() {
  return Seam<IHttpTransporte>::Atual();
}

// --- shared by both transports so that they agree on what they accept ---------

// Parts of an absolute http(s) address.
struct TPartesUrl {
  bool Seguro = false;  // https
  std::string Host;     // without brackets for IPv6
  uint16_t Porta = 0;   // the scheme's default when not given
  std::string Caminho;  // path and query, starting with "/", no fragment
};

// Checks and splits the address; spaces and bytes outside printable ASCII are
// percent-encoded. Raises EHttpErro "Invalid URL: \"<address>\"" otherwise.
TPartesUrl AnalisarUrlHttp(const std::string& AURL);
// The same parts joined again as an absolute address.
std::string MontarUrlHttp(const TPartesUrl& AUrl);
// The address a Location header points to, resolved against the current one.
// One of a scheme other than HTTP and HTTPS raises EHttpErro.
std::string ResolverRedirecionamento(const std::string& AAtual, const std::string& ALocation);
// True for the statuses that are followed when they carry a Location.
bool StatusRedirecionamento(int AStatus);
// The request that follows a redirect: 301, 302 and 303 turn a POST into a GET
// without body; 307 and 308 repeat it as it was.
TPedidoHttp PedidoRedirecionado(const TPedidoHttp& AAnterior, int AStatus,
                                const std::string& ANovaUrl);

// Whether AHost (as AnalisarUrlHttp gives it) is one of the request's
// HostsAutenticacao, letter case aside.
bool AutenticacaoIntegradaPermitida(const TPedidoHttp& APedido, const std::string& AHost);

// Message of the failure after too many redirects.
std::string MensagemExcessoRedirecionamentos();
// Message of the failure of a body longer than ALimite bytes.
std::string MensagemCorpoExcedido(uint64_t ALimite);
// Message of the failure of an answer still arriving after APrazoMs.
std::string MensagemPrazoExcedido(uint32_t APrazoMs);
// Message of the failure when the receiver of the body refused a piece.
std::string MensagemCorpoRecusado();
// Message of the failure of a request cancelled by its waiter.
std::string MensagemCancelado();
