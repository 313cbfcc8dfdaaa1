// HTTP transport on Windows: WinHTTP, one session per request, redirects followed
// here so that the limit and the POST-to-GET rule match the other platforms.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"

namespace {

class THandleInternet {
 public:
  explicit THandleInternet(HINTERNET AH = nullptr) : FH(AH) {}
  ~THandleInternet() {
    if (FH) WinHttpCloseHandle(FH);
  }
  THandleInternet(const THandleInternet&) = delete;
  THandleInternet& operator=(const THandleInternet&) = delete;
  HINTERNET Get() const { return FH; }
  explicit operator bool() const { return FH != nullptr; }
  // Forgets a handle that somebody else has closed.
  void Esquecer() { FH = nullptr; }

 private:
  HINTERNET FH;
};

std::string TextoDoErro(DWORD ACodigo) {
  wchar_t* buf = nullptr;
  DWORD n = 0;
  if (ACodigo >= WINHTTP_ERROR_BASE && ACodigo <= WINHTTP_ERROR_LAST)
    n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       GetModuleHandleW(L"winhttp.dll"), ACodigo, 0,
                       reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  if (n == 0)
    n = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, ACodigo, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::string texto;
  if (n > 0 && buf) texto = Aparar(DeWide(std::wstring(buf, n)));
  if (buf) LocalFree(buf);
  if (texto.empty()) {
    if (ACodigo == ERROR_WINHTTP_TIMEOUT) return "The operation timed out";
    if (ACodigo == ERROR_WINHTTP_CANNOT_CONNECT)
      return "A connection with the server could not be established";
    if (ACodigo == ERROR_WINHTTP_NAME_NOT_RESOLVED)
      return "The server name or address could not be resolved";
    if (ACodigo == ERROR_WINHTTP_CONNECTION_ERROR)
      return "The connection with the server was terminated abnormally";
    texto = "WinHTTP error";
  }
  return texto;
}

[[noreturn]] void Falhar(const char* AFase, DWORD ACodigo) {
  throw EHttpErro(std::string(AFase) + ": (" + std::to_string(ACodigo) + ") " +
                  TextoDoErro(ACodigo));
}

std::string Cabecalho(HINTERNET ARequisicao, DWORD AId) {
  DWORD bytes = 0;
  WinHttpQueryHeaders(ARequisicao, AId, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return {};
  std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1);
  if (!WinHttpQueryHeaders(ARequisicao, AId, WINHTTP_HEADER_NAME_BY_INDEX, buf.data(), &bytes,
                           WINHTTP_NO_HEADER_INDEX))
    return {};
  return DeWide(std::wstring(buf.data(), bytes / sizeof(wchar_t)));
}

// How long a proxy decision is kept: detection with no auto-configuration
// server on the network can stall each request for seconds and costs CPU
// even on loopback, and the user's settings rarely change.
constexpr uint64_t kValidadeProxyMs = 5 * 60 * 1000;

// The proxy a request goes through: none set (a direct connection), or the
// proxy and bypass list to set on the request.
struct TDecisaoProxy {
  bool Definir = false;
  DWORD Tipo = WINHTTP_ACCESS_TYPE_NO_PROXY;
  std::wstring Proxy, Excecoes;
};

// The user's proxy settings: automatic configuration (script or detection)
// first, then a fixed proxy; nothing set means a direct connection.
TDecisaoProxy DecidirProxy(HINTERNET ASessao, const std::wstring& AURL) {
  TDecisaoProxy d;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&ie)) return d;
  bool decidido = false;
  if (ie.fAutoDetect || ie.lpszAutoConfigUrl) {
    WINHTTP_AUTOPROXY_OPTIONS opcoes{};
    if (ie.lpszAutoConfigUrl) {
      opcoes.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
      opcoes.lpszAutoConfigUrl = ie.lpszAutoConfigUrl;
    }
    if (ie.fAutoDetect) {
      opcoes.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
      opcoes.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    opcoes.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (WinHttpGetProxyForUrl(ASessao, AURL.c_str(), &opcoes, &info)) {
      decidido = true;
      d.Definir = true;
      d.Tipo = info.dwAccessType;
      if (info.lpszProxy) d.Proxy = info.lpszProxy;
      if (info.lpszProxyBypass) d.Excecoes = info.lpszProxyBypass;
      if (info.lpszProxy) GlobalFree(info.lpszProxy);
      if (info.lpszProxyBypass) GlobalFree(info.lpszProxyBypass);
    }
  }
  if (!decidido && ie.lpszProxy) {
    d.Definir = true;
    d.Tipo = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    d.Proxy = ie.lpszProxy;
    if (ie.lpszProxyBypass) d.Excecoes = ie.lpszProxyBypass;
  }
  if (ie.lpszAutoConfigUrl) GlobalFree(ie.lpszAutoConfigUrl);
  if (ie.lpszProxy) GlobalFree(ie.lpszProxy);
  if (ie.lpszProxyBypass) GlobalFree(ie.lpszProxyBypass);
  return d;
}

// The decisions of the last few minutes, per scheme, host and port (an
// auto-configuration script may answer each host differently).
class TCacheProxy {
 public:
  TDecisaoProxy Obter(HINTERNET ASessao, const TPartesUrl& APartes, const std::wstring& AURL) {
    const std::wstring chave = std::wstring(APartes.Seguro ? L"https://" : L"http://") +
                               ParaWide(APartes.Host) + L":" + std::to_wstring(APartes.Porta);
    const uint64_t agora = GetTickCount64();
    {
      std::lock_guard<std::mutex> trava(FTrava);
      auto it = FDecisoes.find(chave);
      if (it != FDecisoes.end() && agora - it->second.Quando < kValidadeProxyMs)
        return it->second.Decisao;
    }
    TDecisaoProxy d = DecidirProxy(ASessao, AURL);
    std::lock_guard<std::mutex> trava(FTrava);
    if (FDecisoes.size() > 64) FDecisoes.clear();
    FDecisoes[chave] = {agora, d};
    return d;
  }

 private:
  struct TEntrada {
    uint64_t Quando = 0;
    TDecisaoProxy Decisao;
  };
  std::mutex FTrava;  // the chat's worker thread makes requests too
  std::map<std::wstring, TEntrada> FDecisoes;
};

void AplicarProxy(TCacheProxy& ACache, HINTERNET ASessao, HINTERNET ARequisicao,
                  const TPartesUrl& APartes, const std::wstring& AURL) {
  const TDecisaoProxy d = ACache.Obter(ASessao, APartes, AURL);
  if (!d.Definir) return;
  WINHTTP_PROXY_INFO info{};
  info.dwAccessType = d.Tipo;
  info.lpszProxy = d.Proxy.empty() ? nullptr : const_cast<wchar_t*>(d.Proxy.c_str());
  info.lpszProxyBypass = d.Excecoes.empty() ? nullptr : const_cast<wchar_t*>(d.Excecoes.c_str());
  WinHttpSetOption(ARequisicao, WINHTTP_OPTION_PROXY, &info, sizeof info);
}

// Offers the logged-on user's credentials when the proxy, or a server the
// request trusts with them, asks for integrated authentication; false when it
// asked for something else or the server is not one of those.
bool OferecerCredenciais(HINTERNET ARequisicao, int AStatus, bool AServidorConfiavel) {
  if (AStatus == 401 && !AServidorConfiavel) return false;
  DWORD suportados = 0, primeiro = 0, alvo = 0;
  if (!WinHttpQueryAuthSchemes(ARequisicao, &suportados, &primeiro, &alvo)) return false;
  DWORD esquema = 0;
  if (suportados & WINHTTP_AUTH_SCHEME_NEGOTIATE)
    esquema = WINHTTP_AUTH_SCHEME_NEGOTIATE;
  else if (suportados & WINHTTP_AUTH_SCHEME_NTLM)
    esquema = WINHTTP_AUTH_SCHEME_NTLM;
  if (esquema == 0) return false;
  const DWORD destino = AStatus == 407 ? WINHTTP_AUTH_TARGET_PROXY : WINHTTP_AUTH_TARGET_SERVER;
  return WinHttpSetCredentials(ARequisicao, destino, esquema, nullptr, nullptr, nullptr) != FALSE;
}

// While it lives, a cancel of the request closes its handle, which cuts the
// blocking WinHTTP call the worker is in; the handle is then forgotten rather
// than closed twice.
class TVigiaCancelamento {
 public:
  TVigiaCancelamento(TCancelamento* ACancelamento, THandleInternet& AHandle)
      : FCancelamento(ACancelamento), FHandle(AHandle) {
    if (!FCancelamento) return;
    FCancelamento->Registrar([this] {
      WinHttpCloseHandle(FHandle.Get());
      FFechado = true;
    });
  }
  ~TVigiaCancelamento() {
    if (!FCancelamento) return;
    FCancelamento->Desregistrar();
    if (FFechado) FHandle.Esquecer();
  }
  TVigiaCancelamento(const TVigiaCancelamento&) = delete;
  TVigiaCancelamento& operator=(const TVigiaCancelamento&) = delete;
  // Raises the cancel's failure when the request was cancelled.
  void Verificar() const {
    if (FCancelamento && FCancelamento->Cancelado()) throw EHttpErro(MensagemCancelado());
  }

 private:
  TCancelamento* FCancelamento;
  THandleInternet& FHandle;
  bool FFechado = false;
};

void DefinirDword(HINTERNET AH, DWORD AOpcao, DWORD AValor) {
  WinHttpSetOption(AH, AOpcao, &AValor, sizeof AValor);
}

class THttpTransporteWinHttp final : public IHttpTransporte {
 public:
  TRespostaHttp Executar(const TPedidoHttp& APedido) override {
    TPedidoHttp pedido = APedido;
    TPartesUrl partes = AnalisarUrlHttp(pedido.URL);
    // One session per request: its cookie store lives as long as the request.
    THandleInternet sessao(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!sessao) Falhar("Error creating the HTTP session", GetLastError());
    const int conexao = static_cast<int>(pedido.TempoConexaoMs);
    WinHttpSetTimeouts(sessao.Get(), conexao, conexao, static_cast<int>(pedido.TempoEnvioMs),
                       static_cast<int>(pedido.TempoRespostaMs));
    // The deadline of the whole answer counts from here, redirects included.
    const uint64_t inicio = GetTickCount64();
    int redirecionamentos = 0;
    for (;;) {
      const std::string url = MontarUrlHttp(partes);
      THandleInternet conn(
          WinHttpConnect(sessao.Get(), ParaWide(partes.Host).c_str(), partes.Porta, 0));
      if (!conn) Falhar("Error sending data", GetLastError());
      const std::wstring metodo = ParaWide(pedido.Metodo);
      THandleInternet req(WinHttpOpenRequest(
          conn.Get(), metodo.c_str(), ParaWide(partes.Caminho).c_str(), nullptr, WINHTTP_NO_REFERER,
          WINHTTP_DEFAULT_ACCEPT_TYPES, partes.Seguro ? WINHTTP_FLAG_SECURE : 0));
      if (!req) Falhar("Error sending data", GetLastError());
      TVigiaCancelamento vigia(pedido.Cancelamento, req);
      vigia.Verificar();
      WinHttpSetTimeouts(req.Get(), conexao, conexao, static_cast<int>(pedido.TempoEnvioMs),
                         static_cast<int>(pedido.TempoRespostaMs));
      // The wait for the status line has a time-out of its own, which some
      // WinHTTP versions do not take from WinHttpSetTimeouts.
      DefinirDword(req.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, pedido.TempoRespostaMs);
      DefinirDword(req.Get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, pedido.TempoRespostaMs);
      DefinirDword(req.Get(), WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER);
      DefinirDword(req.Get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS);
      // The Windows logon goes only to the hosts the request names; WinHTTP
      // would otherwise answer any host's challenge with it, redirects included.
      const bool confiavel = AutenticacaoIntegradaPermitida(pedido, partes.Host);
      DefinirDword(
          req.Get(), WINHTTP_OPTION_AUTOLOGON_POLICY,
          confiavel ? WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW : WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH);
      AplicarProxy(FProxy, sessao.Get(), req.Get(), partes, ParaWide(url));

      std::wstring cabecalhos;
      if (!pedido.TipoConteudo.empty())
        cabecalhos = L"Content-Type: " + ParaWide(pedido.TipoConteudo) + L"\r\n";
      const DWORD tamanho = static_cast<DWORD>(pedido.Corpo.size());
      int status = 0;
      for (int rodada = 0;; ++rodada) {
        if (!WinHttpSendRequest(
                req.Get(), cabecalhos.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : cabecalhos.c_str(),
                cabecalhos.empty() ? 0 : static_cast<DWORD>(-1L),
                tamanho ? const_cast<char*>(pedido.Corpo.data()) : nullptr, tamanho, tamanho, 0)) {
          vigia.Verificar();
          Falhar("Error sending data", GetLastError());
        }
        if (!WinHttpReceiveResponse(req.Get(), nullptr)) {
          vigia.Verificar();
          Falhar("Error receiving data", GetLastError());
        }
        DWORD codigo = 0, n = sizeof codigo;
        WinHttpQueryHeaders(req.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &codigo, &n, WINHTTP_NO_HEADER_INDEX);
        status = static_cast<int>(codigo);
        if ((status == 401 || status == 407) && rodada < 2 &&
            OferecerCredenciais(req.Get(), status, confiavel))
          continue;
        break;
      }

      const std::string location = Cabecalho(req.Get(), WINHTTP_QUERY_LOCATION);
      if (pedido.SeguirRedirecionamentos && StatusRedirecionamento(status) && !location.empty()) {
        if (redirecionamentos >= kMaxRedirecionamentos)
          throw EHttpErro(MensagemExcessoRedirecionamentos());
        ++redirecionamentos;
        pedido = PedidoRedirecionado(pedido, status, ResolverRedirecionamento(url, location));
        partes = AnalisarUrlHttp(pedido.URL);
        continue;
      }

      TRespostaHttp r;
      r.Status = status;
      r.TipoConteudo = Cabecalho(req.Get(), WINHTTP_QUERY_CONTENT_TYPE);
      r.CodificacaoConteudo = Cabecalho(req.Get(), WINHTTP_QUERY_CONTENT_ENCODING);
      // A connection that closes before the announced length is a failed
      // answer, not a short one.
      const std::string comprimento = Cabecalho(req.Get(), WINHTTP_QUERY_CONTENT_LENGTH);
      unsigned long long esperado = 0;
      bool comComprimento = false;
      if (!comprimento.empty() && pedido.Metodo != "HEAD") {
        char* fim = nullptr;
        esperado = std::strtoull(comprimento.c_str(), &fim, 10);
        comComprimento = fim && *fim == '\0';
      }
      const uint64_t limite = pedido.LimiteCorpo;
      if (comComprimento && limite > 0 && esperado > limite)
        throw EHttpErro(MensagemCorpoExcedido(limite));
      if (comComprimento && !pedido.AoReceberCorpo) r.Corpo.reserve(static_cast<size_t>(esperado));
      uint64_t recebidos = 0;
      std::vector<char> pedaco;
      for (;;) {
        // The deadline bounds the whole answer: no single wait may outlast it.
        if (pedido.PrazoTotalMs > 0) {
          const uint64_t decorrido = GetTickCount64() - inicio;
          if (decorrido >= pedido.PrazoTotalMs)
            throw EHttpErro(MensagemPrazoExcedido(pedido.PrazoTotalMs));
          const uint64_t resta = pedido.PrazoTotalMs - decorrido;
          if (resta < pedido.TempoRespostaMs)
            DefinirDword(req.Get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, static_cast<DWORD>(resta));
        }
        vigia.Verificar();
        DWORD disponivel = 0;
        if (!WinHttpQueryDataAvailable(req.Get(), &disponivel)) {
          const DWORD codigo = GetLastError();
          if (codigo == ERROR_WINHTTP_TIMEOUT && pedido.PrazoTotalMs > 0 &&
              GetTickCount64() - inicio >= pedido.PrazoTotalMs)
            throw EHttpErro(MensagemPrazoExcedido(pedido.PrazoTotalMs));
          vigia.Verificar();
          Falhar("Error receiving data", codigo);
        }
        if (disponivel == 0) break;
        if (limite > 0 && recebidos + disponivel > limite)
          throw EHttpErro(MensagemCorpoExcedido(limite));
        char* destino = nullptr;
        size_t antes = 0;
        if (pedido.AoReceberCorpo) {
          pedaco.resize(disponivel);
          destino = pedaco.data();
        } else {
          antes = r.Corpo.size();
          r.Corpo.resize(antes + disponivel);
          destino = r.Corpo.data() + antes;
        }
        DWORD lidos = 0;
        if (!WinHttpReadData(req.Get(), destino, disponivel, &lidos)) {
          vigia.Verificar();
          Falhar("Error receiving data", GetLastError());
        }
        recebidos += lidos;
        if (pedido.AoReceberCorpo) {
          if (lidos > 0 && !pedido.AoReceberCorpo(std::string_view(destino, lidos)))
            throw EHttpErro(MensagemCorpoRecusado());
        } else {
          r.Corpo.resize(antes + lidos);
        }
        if (lidos == 0) break;
      }
      if (comComprimento && recebidos < esperado) {
        vigia.Verificar();
        Falhar("Error receiving data", ERROR_WINHTTP_CONNECTION_ERROR);
      }
      return r;
    }
  }

 private:
  TCacheProxy FProxy;
};

}  // namespace

IHttpTransporte& ImplementacaoPadrao(SeamTag<IHttpTransporte>) {
  static THttpTransporteWinHttp t;
  return t;
}
