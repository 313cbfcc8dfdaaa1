// The control of the certificate test under Wine: WinHTTP itself, told to accept an
// unknown issuer, gets the answer of the development server's HTTPS listener. So
// the TLS stack and the listener agree, and the agent's failure there is the
// certificate alone.
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/net/uAmbienteHttp.h"

namespace {

struct THandleHttp {
  HINTERNET H = nullptr;
  explicit THandleHttp(HINTERNET AH) : H(AH) {}
  ~THandleHttp() {
    if (H) WinHttpCloseHandle(H);
  }
  THandleHttp(const THandleHttp&) = delete;
  THandleHttp& operator=(const THandleHttp&) = delete;
};

// GET of APath on 127.0.0.1:APorta over TLS; AFlags are the SECURITY_FLAG_IGNORE_*
// to set. Returns the status code (0 when no answer) and the body in ACorpo, the
// error of the failed call in AErro.
DWORD Obter(INTERNET_PORT APorta, const wchar_t* APath, DWORD AFlags, std::string& ACorpo,
            DWORD& AErro) {
  AErro = 0;
  THandleHttp sessao(WinHttpOpen(L"controle", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
  THandleHttp conexao(sessao.H ? WinHttpConnect(sessao.H, L"127.0.0.1", APorta, 0) : nullptr);
  THandleHttp pedido(conexao.H
                         ? WinHttpOpenRequest(conexao.H, L"GET", APath, nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE)
                         : nullptr);
  if (!pedido.H) {
    AErro = GetLastError();
    return 0;
  }
  if (AFlags != 0)
    WinHttpSetOption(pedido.H, WINHTTP_OPTION_SECURITY_FLAGS, &AFlags, sizeof(AFlags));
  // Wine pools connections across sessions: one kept from here, accepted without the
  // check, would carry a later request of the agent past its own.
  DWORD semManter = WINHTTP_DISABLE_KEEP_ALIVE;
  WinHttpSetOption(pedido.H, WINHTTP_OPTION_DISABLE_FEATURE, &semManter, sizeof(semManter));
  if (!WinHttpSendRequest(pedido.H, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                          0) ||
      !WinHttpReceiveResponse(pedido.H, nullptr)) {
    AErro = GetLastError();
    return 0;
  }
  DWORD status = 0, tamanho = sizeof(status);
  WinHttpQueryHeaders(pedido.H, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &tamanho, WINHTTP_NO_HEADER_INDEX);
  for (;;) {
    char buf[4096];
    DWORD lidos = 0;
    if (!WinHttpReadData(pedido.H, buf, sizeof(buf), &lidos) || lidos == 0) break;
    ACorpo.append(buf, lidos);
  }
  return status;
}

}  // namespace

TEST(HttpsControle, SoOCertificadoSeparaORecusadoDoAceito) {
  const std::string tls = EnderecoDevServerTls();
  ASSERT_FALSE(tls.empty()) << "VESK_DEVSERVER_TLS not set (run through tools/testenv.sh)";
  // "https://127.0.0.1:PORT/"
  const INTERNET_PORT porta = static_cast<INTERNET_PORT>(std::stoi(tls.substr(tls.rfind(':') + 1)));
  const wchar_t* caminho = L"/demo/intranet/api/update.json";

  std::string corpo;
  DWORD erro = 0;
  EXPECT_EQ(Obter(porta, caminho, 0, corpo, erro), 0u);
  EXPECT_NE(erro, 0u);

  corpo.clear();
  const DWORD ignorar = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                        SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                        SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
  EXPECT_EQ(Obter(porta, caminho, ignorar, corpo, erro), 200u) << "error " << erro;
  EXPECT_NE(corpo.find("\"versao\""), std::string::npos) << corpo;
}
