// Fuzz target of the transport's addresses: what AnalisarUrlHttp accepts is a
// request target that travels raw, joins back to itself, and every redirect
// resolves to an http(s) address or the transport's own error.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/uFuzzApoio.h"
#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"

namespace {

bool Analisar(const std::string& AURL, TPartesUrl& APartes) {
  try {
    APartes = AnalisarUrlHttp(AURL);
    return true;
  } catch (const EHttpErro& e) {
    VERIFICAR(std::string(e.what()).starts_with("Invalid URL: \""));
    return false;
  }
}

void VerificarPartes(const TPartesUrl& P) {
  VERIFICAR(!P.Host.empty() && P.Porta != 0);
  for (char c : P.Host) VERIFICAR(c > 32 && c < 127 && c != '/' && c != '@' && c != '#');
  VERIFICAR(P.Caminho.starts_with("/"));
  for (char c : P.Caminho) VERIFICAR(c > 32 && c < 127 && c != '#');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TPartesFuzz partes(AData, ASize);
  const std::string atual = partes.Proxima();
  const std::string location = partes.Resto();

  TPartesUrl p;
  if (Analisar(atual, p)) {
    VerificarPartes(p);
    // Joined again, the address reads as the same parts.
    TPartesUrl q;
    const std::string montada = MontarUrlHttp(p);
    VERIFICAR(Analisar(montada, q));
    VERIFICAR(q.Seguro == p.Seguro && q.Host == p.Host && q.Porta == p.Porta &&
              q.Caminho == p.Caminho);
  }

  // A redirect from an accepted address: an absolute address, and one that
  // is relative stays on the same server.
  std::string destino;
  try {
    destino = ResolverRedirecionamento(atual, location);
  } catch (const EHttpErro& e) {
    // Refused: the current address is not one, or the location names another
    // scheme (a colon before any "/", "?" or "#").
    const std::string loc = Aparar(location);
    const size_t dois = loc.find(':');
    const bool outroEsquema = dois != std::string::npos && dois > 0 &&
                              loc.find_first_of("/?#") > dois &&
                              std::string_view(e.what()).starts_with("Redirect to an unsupported");
    VERIFICAR(!Analisar(atual, p) || outroEsquema);
    return 0;
  }
  VERIFICAR(IniciaComSemCaixa(destino, "http://") || IniciaComSemCaixa(destino, "https://"));
  const std::string loc = Aparar(location);
  const bool absoluto = IniciaComSemCaixa(loc, "http://") || IniciaComSemCaixa(loc, "https://") ||
                        loc.starts_with("//");
  if (!absoluto) {
    TPartesUrl d;
    VERIFICAR(Analisar(destino, d));
    VERIFICAR(d.Seguro == p.Seguro && d.Host == p.Host && d.Porta == p.Porta);
    // Dot segments are resolved away (an empty target is the address itself).
    if (loc.substr(0, loc.find('#')).empty()) return 0;
    const std::string caminho = d.Caminho.substr(0, d.Caminho.find('?'));
    VERIFICAR(!Contem(caminho + "/", "/../") && !Contem(caminho + "/", "/./"));
  }
  return 0;
}
