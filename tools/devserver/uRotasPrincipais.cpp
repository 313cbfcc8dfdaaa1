// The catch-all route: records the request, applies faults and scenario overrides,
// and hands the request to the agent or chat endpoint it names.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <zlib.h>

#include <cerrno>
#include <string>
#include <vector>

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

// The accepted socket of this request, or -1. httplib does not hand the socket to
// handlers; it is found by its peer.
int SocketDoPedido(const TPedido& P, int APortaLocal) {
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
    if (PortaLoc == APortaLocal) return Fd;
  }
  return -1;
}

// Shuts the socket down so that the client gets no answer at all.
void DerrubarConexao(const TPedido& P, int APortaLocal) {
  if (int Fd = SocketDoPedido(P, APortaLocal); Fd >= 0) shutdown(Fd, SHUT_RDWR);
}

// Aborts the connection: a TCP reset instead of an orderly close. Disconnecting
// the socket keeps its descriptor, which httplib still owns and closes later.
void ReiniciarConexao(const TPedido& P, int APortaLocal) {
  const int Fd = SocketDoPedido(P, APortaLocal);
  if (Fd < 0) return;
  linger Lg{1, 0};
  setsockopt(Fd, SOL_SOCKET, SO_LINGER, &Lg, sizeof Lg);
  sockaddr Nenhum{};
  Nenhum.sa_family = AF_UNSPEC;
  connect(Fd, &Nenhum, sizeof Nenhum);
}

// Writes an answer on the socket by hand, in pieces with a pause before each,
// then shuts the socket down, so that httplib's own answer goes nowhere.
void EnviarCru(TServidor& AServ, const TPedido& P, const std::vector<std::string>& APedacos,
               int APausaMs) {
  const int Fd = SocketDoPedido(P, AServ.Porta);
  if (Fd < 0) return;
  for (const std::string& Pedaco : APedacos) {
    if (APausaMs > 0) AServ.Dormir(APausaMs);
    if (AServ.Parando()) break;
    if (send(Fd, Pedaco.data(), Pedaco.size(), MSG_NOSIGNAL) < 0) break;
  }
  shutdown(Fd, SHUT_RDWR);
}

std::vector<std::string> PedacosCrus(const TResposta& R, const std::string& ATipo, int AAtrasoMs,
                                     int& APausaMs) {
  const std::string Status = "HTTP/1.1 " + std::to_string(R.Status) + " OK\r\n";
  const std::vector<std::string> Linhas = {
      "Content-Type: " + R.Tipo + "\r\n",
      "Content-Length: " + std::to_string(R.Corpo.size()) + "\r\n",
      "Cache-Control: no-store\r\n",
      "X-Vesk-Teste: " + ATipo + "\r\n",
      "Connection: close\r\n",
      "\r\n",
  };
  std::vector<std::string> Pedacos;
  if (ATipo == "slow_headers") {
    // The status line, each header line and the body after a pause each.
    APausaMs = AAtrasoMs;
    Pedacos.push_back(Status);
    for (const auto& L : Linhas) Pedacos.push_back(L);
    Pedacos.push_back(R.Corpo);
    return Pedacos;
  }
  std::string Cabecalho = Status;
  for (const auto& L : Linhas) Cabecalho += L;
  if (ATipo == "trickle") {
    APausaMs = AAtrasoMs;
    Pedacos.push_back(Cabecalho);
    for (char C : R.Corpo) Pedacos.emplace_back(1, C);
    return Pedacos;
  }
  // cut: half of the body, then the connection closes.
  APausaMs = 0;
  Pedacos.push_back(Cabecalho + R.Corpo.substr(0, R.Corpo.size() / 2));
  return Pedacos;
}

// A gzip member of 256 MiB of spaces (about 250 KiB on the wire), made once.
const std::string& BombaGzip() {
  static const std::string Bomba = [] {
    z_stream Z{};
    deflateInit2(&Z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    const std::string Bloco(1 << 20, ' ');
    std::string R;
    char Saida[1 << 16];
    for (int I = 0; I < 256; ++I) {
      Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Bloco.data()));
      Z.avail_in = static_cast<uInt>(Bloco.size());
      const int Modo = I == 255 ? Z_FINISH : Z_NO_FLUSH;
      do {
        Z.next_out = reinterpret_cast<Bytef*>(Saida);
        Z.avail_out = sizeof Saida;
        deflate(&Z, Modo);
        R.append(Saida, sizeof Saida - Z.avail_out);
      } while (Z.avail_out == 0);
    }
    deflateEnd(&Z);
    return R;
  }();
  return Bomba;
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
  if (P.Tem("_laco")) {
    // A redirect loop has no end: every hop is sent to the same address again.
    Res.set_redirect("http://" + P.Host + P.Caminho + "?" + P.Query, 302);
    return;
  }
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
  if (Tipo == "html200") {
    Res.status = 200;
    Res.set_content(
        "<!DOCTYPE html>\n<html><head><title>Portal</title></head><body><h1>Acesso a rede"
        "</h1><p>Entre com seu usuario para continuar.</p></body></html>\n",
        "text/html; charset=utf-8");
    return;
  }
  if (Tipo == "deep") {
    Res.set_content(std::string(size_t{1} << 20, '['), "application/json; charset=utf-8");
    return;
  }
  if (Tipo == "gzip_bomb") {
    Res.set_header("Content-Encoding", "gzip");
    Res.set_content(BombaGzip(), "application/json; charset=utf-8");
    return;
  }
  if (Tipo == "reset") {
    ReiniciarConexao(P, AServ.Porta);
    Res.status = 200;
    Res.set_header("Connection", "close");
    return;
  }
  if (Tipo == "redirect_loop") {
    Res.set_redirect(
        "http://" + P.Host + P.Caminho + "?" + P.Query + (P.Query.empty() ? "" : "&") + "_laco=1",
        302);
    return;
  }
  if (Tipo == "redirect_file") {
    Res.set_redirect("file:///C:/windows/win.ini", 302);
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
  if (Tipo == "big" || Tipo == "oversize") {
    // oversize: one byte past the 32 MiB a client may be expected to take.
    const size_t kGrande = Tipo == "big" ? 10 * 1024 * 1024 : 32 * 1024 * 1024 + 1;
    if (R.Corpo.size() < kGrande) R.Corpo.append(kGrande - R.Corpo.size(), ' ');
  }
  if (Tipo == "bom") R.Corpo = "\xEF\xBB\xBF" + R.Corpo;
  if (Tipo == "slow_headers" || Tipo == "trickle" || Tipo == "cut") {
    int Pausa = 0;
    const auto Pedacos = PedacosCrus(R, Tipo, Falha->AtrasoMs, Pausa);
    EnviarCru(AServ, P, Pedacos, Pausa);
    Res.status = 200;
    Res.set_header("Connection", "close");
    return;
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
