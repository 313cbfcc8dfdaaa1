// Address handling that both HTTP transports share, so that they accept and
// follow exactly the same addresses.
#include "platform/uHttpTransporte.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/uTexto.h"

namespace {

[[noreturn]] void UrlInvalida(const std::string& AURL) {
  throw EHttpErro("Invalid URL: \"" + AURL + "\"");
}

// Percent-encodes the bytes that may not travel raw in a request line.
std::string EscaparBytes(std::string_view ATexto) {
  static const char* kHex = "0123456789ABCDEF";
  std::string r;
  for (char ch : ATexto) {
    const auto b = static_cast<unsigned char>(ch);
    if (b <= 0x20 || b >= 0x7F) {
      r += '%';
      r += kHex[b >> 4];
      r += kHex[b & 15];
    } else {
      r += ch;
    }
  }
  return r;
}

bool HostValido(const std::string& AHost) {
  if (AHost.empty()) return false;
  for (char c : AHost) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || c == '/' || c == '?' || c == '#' || c == '@' || c == '\\')
      return false;
  }
  return true;
}

// Drops "." and ".." segments of an absolute path (the query is kept apart).
std::string NormalizarCaminho(const std::string& ACaminho) {
  const size_t q = ACaminho.find('?');
  const std::string caminho = ACaminho.substr(0, q);
  const std::string consulta = q == std::string::npos ? "" : ACaminho.substr(q);
  std::vector<std::string> partes;
  std::string ultimo;
  size_t i = 1;
  for (;;) {
    size_t j = caminho.find('/', i);
    const bool fim = j == std::string::npos;
    if (fim) j = caminho.size();
    ultimo = caminho.substr(i, j - i);
    if (ultimo == "..") {
      if (!partes.empty()) partes.pop_back();
    } else if (ultimo != "." && !(fim && ultimo.empty())) {
      partes.push_back(ultimo);
    }
    if (fim) break;
    i = j + 1;
  }
  std::string r;
  for (const std::string& seg : partes) r += "/" + seg;
  if (r.empty() || caminho.back() == '/' || ultimo == "." || ultimo == "..") r += "/";
  return r + consulta;
}

}  // namespace

TPartesUrl AnalisarUrlHttp(const std::string& AURL) {
  TPartesUrl p;
  std::string resto;
  if (IniciaComSemCaixa(AURL, "http://")) {
    resto = AURL.substr(7);
  } else if (IniciaComSemCaixa(AURL, "https://")) {
    p.Seguro = true;
    resto = AURL.substr(8);
  } else {
    UrlInvalida(AURL);
  }
  const size_t hash = resto.find('#');
  if (hash != std::string::npos) resto.resize(hash);
  size_t fimAutoridade = resto.find_first_of("/?");
  std::string autoridade = resto.substr(0, fimAutoridade);
  std::string caminho = fimAutoridade == std::string::npos ? "/" : resto.substr(fimAutoridade);
  if (!caminho.empty() && caminho[0] == '?') caminho = "/" + caminho;
  // Credentials in the address are not supported: the agent never sends any.
  if (autoridade.find('@') != std::string::npos) UrlInvalida(AURL);

  std::string porta;
  const bool colchetes = !autoridade.empty() && autoridade[0] == '[';
  if (colchetes) {
    const size_t fecha = autoridade.find(']');
    if (fecha == std::string::npos) UrlInvalida(AURL);
    p.Host = autoridade.substr(1, fecha - 1);
    const std::string depois = autoridade.substr(fecha + 1);
    if (!depois.empty()) {
      if (depois[0] != ':') UrlInvalida(AURL);
      porta = depois.substr(1);
      if (porta.empty()) UrlInvalida(AURL);
    }
  } else {
    const size_t dois = autoridade.rfind(':');
    p.Host = autoridade.substr(0, dois);
    if (dois != std::string::npos) {
      porta = autoridade.substr(dois + 1);
      if (porta.empty()) UrlInvalida(AURL);
    }
  }
  if (!HostValido(p.Host)) UrlInvalida(AURL);
  // A colon belongs only to a host in brackets, and a bracket to none: such a
  // host would be joined again as another address.
  if (p.Host.find_first_of(colchetes ? "[" : "[]:") != std::string::npos) UrlInvalida(AURL);
  p.Porta = p.Seguro ? 443 : 80;
  if (!porta.empty()) {
    if (porta.size() > 5) UrlInvalida(AURL);
    int n = 0;
    for (char c : porta) {
      if (c < '0' || c > '9') UrlInvalida(AURL);
      n = n * 10 + (c - '0');
    }
    if (n < 1 || n > 65535) UrlInvalida(AURL);
    p.Porta = static_cast<uint16_t>(n);
  }
  p.Caminho = EscaparBytes(caminho);
  return p;
}

std::string MontarUrlHttp(const TPartesUrl& AUrl) {
  std::string r = AUrl.Seguro ? "https://" : "http://";
  r += AUrl.Host.find(':') != std::string::npos ? "[" + AUrl.Host + "]" : AUrl.Host;
  if (AUrl.Porta != (AUrl.Seguro ? 443 : 80)) r += ":" + std::to_string(AUrl.Porta);
  return r + AUrl.Caminho;
}

// A scheme and its colon before any "/", "?" or "#" (RFC 3986): letters, then
// letters, digits, "+", "-" or ".".
static bool TemEsquema(std::string_view ALoc) {
  const size_t dois = ALoc.find(':');
  if (dois == std::string_view::npos || dois == 0) return false;
  if (!std::isalpha(static_cast<unsigned char>(ALoc[0]))) return false;
  for (size_t i = 1; i < dois; ++i) {
    const auto c = static_cast<unsigned char>(ALoc[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

std::string ResolverRedirecionamento(const std::string& AAtual, const std::string& ALocation) {
  const std::string loc = Aparar(ALocation);
  if (IniciaComSemCaixa(loc, "http://") || IniciaComSemCaixa(loc, "https://")) return loc;
  // "file:", "ftp:", "javascript:"...: an address of another scheme, not a
  // path of this server; the request fails instead of fetching a made-up one.
  if (TemEsquema(loc)) throw EHttpErro("Redirect to an unsupported address: \"" + loc + "\"");
  TPartesUrl base = AnalisarUrlHttp(AAtual);
  if (loc.starts_with("//")) return (base.Seguro ? "https:" : "http:") + loc;
  std::string alvo = loc.substr(0, loc.find('#'));
  if (alvo.empty()) return MontarUrlHttp(base);
  if (alvo[0] == '/') {
    base.Caminho = alvo;
  } else if (alvo[0] == '?') {
    base.Caminho = base.Caminho.substr(0, base.Caminho.find('?')) + alvo;
  } else {
    const std::string caminho = base.Caminho.substr(0, base.Caminho.find('?'));
    base.Caminho = caminho.substr(0, caminho.rfind('/') + 1) + alvo;
  }
  base.Caminho = NormalizarCaminho(base.Caminho);
  return MontarUrlHttp(base);
}

bool StatusRedirecionamento(int AStatus) {
  return AStatus == 301 || AStatus == 302 || AStatus == 303 || AStatus == 307 || AStatus == 308;
}

TPedidoHttp PedidoRedirecionado(const TPedidoHttp& AAnterior, int AStatus,
                                const std::string& ANovaUrl) {
  TPedidoHttp p = AAnterior;
  p.URL = ANovaUrl;
  if (AStatus == 303 || ((AStatus == 301 || AStatus == 302) && p.Metodo == "POST")) {
    p.Metodo = "GET";
    p.Corpo.clear();
    p.TipoConteudo.clear();
  }
  return p;
}

bool AutenticacaoIntegradaPermitida(const TPedidoHttp& APedido, const std::string& AHost) {
  if (AHost.empty()) return false;
  const std::string host = MinusculasAscii(AHost);
  for (const std::string& h : APedido.HostsAutenticacao)
    if (MinusculasAscii(h) == host) return true;
  return false;
}

std::string MensagemExcessoRedirecionamentos() {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Maximum number of redirections (%d) exceeded",
                kMaxRedirecionamentos);
  return buf;
}

std::string MensagemCorpoExcedido(uint64_t ALimite) {
  return "The response body exceeds the limit of " + std::to_string(ALimite) + " bytes";
}

std::string MensagemPrazoExcedido(uint32_t APrazoMs) {
  return "The response did not arrive completely within " + std::to_string(APrazoMs) + " ms";
}

std::string MensagemCorpoRecusado() {
  return "The response body could not be stored";
}

std::string MensagemCancelado() {
  return "The request was cancelled";
}
