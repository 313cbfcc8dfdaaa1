// The catch-all route: records the request, applies faults and scenario overrides,
// and hands the request to the agent or chat endpoint it names.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <zlib.h>

#include "tools/devserver/uServidor.h"

namespace {

bool IniciaCom(std::string_view A, std::string_view P) {
  return A.substr(0, P.size()) == P;
}

std::string Substituir(std::string T, const std::string& De, const std::string& Para) {
  for (size_t I = T.find(De); I != std::string::npos; I = T.find(De, I + Para.size()))
    T.replace(I, De.size(), Para);
  return T;
}

std::string Base64Decodificar(std::string_view A) {
  auto Val = [](char C) -> int {
    if (C >= 'A' && C <= 'Z') return C - 'A';
    if (C >= 'a' && C <= 'z') return C - 'a' + 26;
    if (C >= '0' && C <= '9') return C - '0' + 52;
    if (C == '+' || C == '-') return 62;
    if (C == '/' || C == '_') return 63;
    return -1;
  };
  std::string R;
  int Acum = 0, Bits = 0;
  for (char C : A) {
    int V = Val(C);
    if (V < 0) continue;
    Acum = (Acum << 6) | V;
    Bits += 6;
    if (Bits >= 8) {
      Bits -= 8;
      R += static_cast<char>((Acum >> Bits) & 0xFF);
    }
  }
  return R;
}

// zlib stream (Content-Encoding: deflate) or gzip member.
std::string Comprimir(const std::string& ADados, bool AGzip) {
  z_stream Z{};
  deflateInit2(&Z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, AGzip ? 15 + 16 : 15, 8, Z_DEFAULT_STRATEGY);
  std::string R(deflateBound(&Z, ADados.size()) + 32, '\0');
  Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(ADados.data()));
  Z.avail_in = static_cast<uInt>(ADados.size());
  Z.next_out = reinterpret_cast<Bytef*>(R.data());
  Z.avail_out = static_cast<uInt>(R.size());
  deflate(&Z, Z_FINISH);
  R.resize(Z.total_out);
  deflateEnd(&Z);
  return R;
}

// Shuts the accepted socket of this request down so that the client gets no answer
// at all. httplib does not hand the socket to handlers; it is found by its peer.
void DerrubarConexao(const TPedido& P, int APortaLocal) {
  for (int Fd = 3; Fd < 65536; ++Fd) {
    sockaddr_storage Par{};
    socklen_t L = sizeof Par;
    if (getpeername(Fd, reinterpret_cast<sockaddr*>(&Par), &L) != 0) {
      if (errno == EBADF && Fd > 1024) break;
      continue;
    }
    int PortaPar = -1;
    if (Par.ss_family == AF_INET) PortaPar = ntohs(reinterpret_cast<sockaddr_in*>(&Par)->sin_port);
    if (Par.ss_family == AF_INET6)
      PortaPar = ntohs(reinterpret_cast<sockaddr_in6*>(&Par)->sin6_port);
    if (PortaPar != P.PortaRemota) continue;
    sockaddr_storage Loc{};
    L = sizeof Loc;
    if (getsockname(Fd, reinterpret_cast<sockaddr*>(&Loc), &L) != 0) continue;
    int PortaLoc = Loc.ss_family == AF_INET
                       ? ntohs(reinterpret_cast<sockaddr_in*>(&Loc)->sin_port)
                       : ntohs(reinterpret_cast<sockaddr_in6*>(&Loc)->sin6_port);
    if (PortaLoc != APortaLocal) continue;
    shutdown(Fd, SHUT_RDWR);
  }
}

// "k-n" of the redirect chain marker, or false.
bool LerCadeia(const TPedido& P, int& K, int& N) {
  for (const auto& [Nome, V] : P.Params)
    if (Nome == "_redir") return std::sscanf(V.c_str(), "%d-%d", &K, &N) == 2;
  return false;
}

std::string EnderecoCadeia(const TPedido& P, int K, int N) {
  std::string Q;
  size_t I = 0;
  while (I < P.Query.size()) {  // drop the previous marker, keep the rest verbatim
    size_t F = P.Query.find('&', I);
    if (F == std::string::npos) F = P.Query.size();
    std::string Par = P.Query.substr(I, F - I);
    if (!Par.empty() && !IniciaCom(Par, "_redir=")) Q += (Q.empty() ? "" : "&") + Par;
    I = F + 1;
  }
  Q +=
      (Q.empty() ? "" : "&") + std::string("_redir=") + std::to_string(K) + "-" + std::to_string(N);
  return "http://" + P.Host + P.Caminho + "?" + Q;
}

const char* kPaginaErro =
    "<!DOCTYPE html>\n<html><head><title>500 Internal Server Error</title></head>\n<body>"
    "<h1>Internal Server Error</h1>\n<p>The server encountered an internal error and was "
    "unable to complete your request.</p>\n<hr><address>Apache Server at intranet Port 443"
    "</address>\n</body></html>\n";

// A literal answer from the scenario's "respostas" for this endpoint.
bool RespostaLiteral(TServidor& AServ, const std::string& AEndpoint, TResposta& R) {
  std::lock_guard L(AServ.TravaCenario);
  auto& C = AServ.Cenario;
  if (!C.HasMember("respostas") || !C["respostas"].IsObject()) return false;
  auto& Mapa = C["respostas"];
  auto It = Mapa.FindMember(AEndpoint.c_str());
  if (It == Mapa.MemberEnd()) return false;
  const auto& V = It->value;
  if (V.IsString()) {
    R.Corpo.assign(V.GetString(), V.GetStringLength());
    char P = R.Corpo.empty() ? ' ' : R.Corpo[0];
    R.Tipo = (P == '{' || P == '[') ? "application/json; charset=utf-8"
             : P == '<'             ? "text/html; charset=utf-8"
                                    : "text/plain; charset=utf-8";
    return true;
  }
  if (!V.IsObject()) return false;
  if (V.HasMember("status") && V["status"].IsInt()) R.Status = V["status"].GetInt();
  if (V.HasMember("content_type") && V["content_type"].IsString())
    R.Tipo = V["content_type"].GetString();
  if (V.HasMember("body_base64") && V["body_base64"].IsString())
    R.Corpo = Base64Decodificar(V["body_base64"].GetString());
  else if (V.HasMember("body") && V["body"].IsString())
    R.Corpo.assign(V["body"].GetString(), V["body"].GetStringLength());
  else if (V.HasMember("body"))
    R.Corpo = JsonTexto(V["body"]);  // a JSON value given as such
  return true;
}

void Atender(TServidor& AServ, const TPedido& P, const std::string& AEndpoint, bool AChat,
             TResposta& R) {
  if (RespostaLiteral(AServ, AEndpoint, R)) return;
  const auto& Tabela = AChat ? RotasChat() : RotasAgente();
  auto It = Tabela.find(AEndpoint);
  if (It != Tabela.end()) {
    It->second(AServ, P, R);
    return;
  }
  if (!AChat && ServirArquivo(AServ, AEndpoint, R)) return;
  R.Status = 404;
  R.Tipo = "text/html; charset=utf-8";
  R.Corpo = "<html><body><h1>404 Not Found</h1><p>" + EscaparHtml(P.Caminho) + "</p></body></html>";
}

void Tratar(TServidor& AServ, const httplib::Request& Req, httplib::Response& Res) {
  TPedido P = MontarPedido(Req);
  // /test/ requests are recorded once, after routing, whatever route took them.
  if (P.Caminho.rfind("/test/", 0) != 0) AServ.Registrar(P);
  if (P.Host.empty()) P.Host = "127.0.0.1:" + std::to_string(AServ.Porta);

  // The agent base wins when both bases could claim the path.
  std::string Endpoint;
  bool Chat = false;
  if (IniciaCom(P.Caminho, AServ.Base) &&
      (RotasAgente().count(P.Caminho.substr(AServ.Base.size())) ||
       !IniciaCom(P.Caminho, AServ.ChatBase) ||
       !RotasChat().count(P.Caminho.substr(AServ.ChatBase.size())))) {
    Endpoint = P.Caminho.substr(AServ.Base.size());
  } else if (IniciaCom(P.Caminho, AServ.ChatBase)) {
    Endpoint = P.Caminho.substr(AServ.ChatBase.size());
    Chat = true;
  } else {
    Res.status = 404;
    Res.set_content("<html><body><h1>404 Not Found</h1></body></html>", "text/html");
    return;
  }

  std::optional<TFalha> Falha;
  int K = 0, N = 0;
  if (LerCadeia(P, K, N)) {
    if (K < N) {
      Res.set_redirect(EnderecoCadeia(P, K + 1, N), 302);
      return;
    }
  } else {
    Falha = AServ.ConsumirFalha(Endpoint, P.Metodo);
  }

  TResposta R;
  std::string Tipo = Falha ? Falha->Tipo : "";
  if (Tipo == "html500") {
    Res.status = 500;
    Res.set_content(kPaginaErro, "text/html; charset=iso-8859-1");
    return;
  }
  if (Tipo == "empty") {
    Res.status = 200;
    Res.set_content("", "text/html; charset=utf-8");
    return;
  }
  if (Tipo == "drop") {
    DerrubarConexao(P, AServ.Porta);
    Res.status = 200;
    Res.set_header("Connection", "close");
    return;
  }
  if (Tipo == "redirect" && Falha->Quantidade > 0) {
    Res.set_redirect(EnderecoCadeia(P, 1, Falha->Quantidade), 302);
    return;
  }
  if (Tipo == "delay") AServ.Dormir(Falha->AtrasoMs);

  Atender(AServ, P, Endpoint, Chat, R);
  if (IniciaCom(R.Tipo, "application/json") || IniciaCom(R.Tipo, "text/")) {
    R.Corpo = Substituir(R.Corpo, "{base}", "http://" + P.Host + AServ.Base);
    R.Corpo = Substituir(R.Corpo, "{chat}", "http://" + P.Host + AServ.ChatBase);
    R.Corpo = Substituir(R.Corpo, "{host}", "http://" + P.Host + "/");
  }
  if (Tipo == "big") {
    const size_t kGrande = 10 * 1024 * 1024;
    if (R.Corpo.size() < kGrande) R.Corpo.append(kGrande - R.Corpo.size(), ' ');
  }
  Res.status = R.Status;
  if (!R.Local.empty()) Res.set_header("Location", R.Local);
  if (Tipo == "gzip" || Tipo == "deflate") {
    Res.set_header("Content-Encoding", Tipo);
    Res.set_content(Comprimir(R.Corpo, Tipo == "gzip"), R.Tipo.c_str());
    return;
  }
  Res.set_content(R.Corpo, R.Tipo.c_str());
}

}  // namespace

void RegistrarRotasPrincipais(httplib::Server& S, TServidor& AServ) {
  auto H = [&AServ](const httplib::Request& Req, httplib::Response& Res) {
    Tratar(AServ, Req, Res);
  };
  S.Get(R"(/.*)", H);
  S.Post(R"(/.*)", H);
  S.Put(R"(/.*)", H);
  S.Delete(R"(/.*)", H);
}
