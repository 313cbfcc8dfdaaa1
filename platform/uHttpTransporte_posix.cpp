// HTTP transport on POSIX: libcurl, one easy handle per request.
#include <curl/curl.h>

#include <chrono>
#include <mutex>

#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"

namespace {

using Relogio = std::chrono::steady_clock;

struct TEstadoTransferencia {
  CURL* Handle = nullptr;
  TRespostaHttp* Resposta = nullptr;
  std::string TipoConteudo;
  std::string Codificacao;
  uint32_t TempoEnvioMs = 0;
  uint32_t TempoRespostaMs = 0;
  curl_off_t UltimoEnviado = -1;
  curl_off_t UltimoRecebido = -1;
  Relogio::time_point UltimaAtividade = Relogio::now();
  uint32_t LimiteExpirado = 0;  // the limit that ran out, 0 while none did
};

size_t AoReceber(char* ADados, size_t ATamanho, size_t ANum, void* AEstado) {
  auto* e = static_cast<TEstadoTransferencia*>(AEstado);
  e->Resposta->Corpo.append(ADados, ATamanho * ANum);
  return ATamanho * ANum;
}

// Keeps the headers of the last answer only: after a redirect the earlier
// hop's headers are forgotten.
size_t AoCabecalho(char* ADados, size_t ATamanho, size_t ANum, void* AEstado) {
  auto* e = static_cast<TEstadoTransferencia*>(AEstado);
  const std::string linha(ADados, ATamanho * ANum);
  if (IniciaComSemCaixa(linha, "HTTP/")) {
    e->TipoConteudo.clear();
    e->Codificacao.clear();
  } else if (IniciaComSemCaixa(linha, "content-type:")) {
    e->TipoConteudo = Aparar(linha.substr(13));
  } else if (IniciaComSemCaixa(linha, "content-encoding:")) {
    e->Codificacao = Aparar(linha.substr(17));
  }
  return ATamanho * ANum;
}

// libcurl has no time-out per wait for data; this one stops the transfer when
// nothing moved for longer than the send or response limit allows.
int AoProgresso(void* AEstado, curl_off_t, curl_off_t ARecebido, curl_off_t ATotalEnvio,
                curl_off_t AEnviado) {
  auto* e = static_cast<TEstadoTransferencia*>(AEstado);
  const auto agora = Relogio::now();
  // Until the connection stands, the connect time-out is the one that counts.
  curl_off_t conectado = 0;
  if (curl_easy_getinfo(e->Handle, CURLINFO_CONNECT_TIME_T, &conectado) != CURLE_OK ||
      conectado == 0) {
    e->UltimaAtividade = agora;
    return 0;
  }
  if (ARecebido != e->UltimoRecebido || AEnviado != e->UltimoEnviado) {
    e->UltimoRecebido = ARecebido;
    e->UltimoEnviado = AEnviado;
    e->UltimaAtividade = agora;
    return 0;
  }
  const bool enviando = ATotalEnvio > 0 && AEnviado < ATotalEnvio;
  const uint32_t limite = enviando ? e->TempoEnvioMs : e->TempoRespostaMs;
  const auto parado =
      std::chrono::duration_cast<std::chrono::milliseconds>(agora - e->UltimaAtividade).count();
  if (limite > 0 && parado >= static_cast<long long>(limite)) {
    e->LimiteExpirado = limite;
    return 1;
  }
  return 0;
}

void IniciarCurl() {
  static std::once_flag uma;
  std::call_once(uma, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

struct TCurl {
  CURL* H = curl_easy_init();
  curl_slist* Cabecalhos = nullptr;
  ~TCurl() {
    curl_slist_free_all(Cabecalhos);
    if (H) curl_easy_cleanup(H);
  }
};

class THttpTransporteCurl final : public IHttpTransporte {
 public:
  TRespostaHttp Executar(const TPedidoHttp& APedido) override {
    const std::string url = MontarUrlHttp(AnalisarUrlHttp(APedido.URL));
    IniciarCurl();
    TCurl c;
    if (!c.H) throw EHttpErro("Unable to create the HTTP client");
    TRespostaHttp resposta;
    TEstadoTransferencia estado;
    estado.Handle = c.H;
    estado.Resposta = &resposta;
    estado.TempoEnvioMs = APedido.TempoEnvioMs;
    estado.TempoRespostaMs = APedido.TempoRespostaMs;
    char erro[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(c.H, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c.H, CURLOPT_ERRORBUFFER, erro);
    curl_easy_setopt(c.H, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c.H, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c.H, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c.H, CURLOPT_WRITEFUNCTION, AoReceber);
    curl_easy_setopt(c.H, CURLOPT_WRITEDATA, &estado);
    curl_easy_setopt(c.H, CURLOPT_HEADERFUNCTION, AoCabecalho);
    curl_easy_setopt(c.H, CURLOPT_HEADERDATA, &estado);
    curl_easy_setopt(c.H, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c.H, CURLOPT_XFERINFOFUNCTION, AoProgresso);
    curl_easy_setopt(c.H, CURLOPT_XFERINFODATA, &estado);
    curl_easy_setopt(c.H, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(APedido.TempoConexaoMs));
    // Compressed bodies are inflated above the transport, judged by their
    // Content-Encoding; no Accept-Encoding is sent.
    curl_easy_setopt(c.H, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    // An in-memory cookie engine that dies with this handle.
    curl_easy_setopt(c.H, CURLOPT_COOKIEFILE, "");
    // Integrated authentication with the process's own credentials, and no
    // other scheme: a Basic challenge gets no empty credentials.
    curl_easy_setopt(c.H, CURLOPT_HTTPAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
    curl_easy_setopt(c.H, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
    curl_easy_setopt(c.H, CURLOPT_USERPWD, ":");
    curl_easy_setopt(c.H, CURLOPT_PROXYUSERPWD, ":");
    if (APedido.SeguirRedirecionamentos) {
      curl_easy_setopt(c.H, CURLOPT_FOLLOWLOCATION, 1L);
      curl_easy_setopt(c.H, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirecionamentos));
    }
    if (APedido.Metodo == "POST") {
      curl_easy_setopt(c.H, CURLOPT_POST, 1L);
      curl_easy_setopt(c.H, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(APedido.Corpo.size()));
      curl_easy_setopt(c.H, CURLOPT_POSTFIELDS, APedido.Corpo.data());
      // libcurl would otherwise add a form content type and "Expect: 100-continue".
      const std::string tipo = "Content-Type: " + APedido.TipoConteudo;
      c.Cabecalhos = curl_slist_append(
          c.Cabecalhos, APedido.TipoConteudo.empty() ? "Content-Type:" : tipo.c_str());
      c.Cabecalhos = curl_slist_append(c.Cabecalhos, "Expect:");
      curl_easy_setopt(c.H, CURLOPT_HTTPHEADER, c.Cabecalhos);
    } else if (APedido.Metodo != "GET") {
      curl_easy_setopt(c.H, CURLOPT_CUSTOMREQUEST, APedido.Metodo.c_str());
    }

    const CURLcode rc = curl_easy_perform(c.H);
    if (rc != CURLE_OK) {
      if (rc == CURLE_TOO_MANY_REDIRECTS) throw EHttpErro(MensagemExcessoRedirecionamentos());
      if (rc == CURLE_ABORTED_BY_CALLBACK && estado.LimiteExpirado > 0)
        throw EHttpErro("The operation timed out (no data for " +
                        std::to_string(estado.LimiteExpirado) + " ms)");
      std::string msg = erro[0] ? std::string(erro) : std::string(curl_easy_strerror(rc));
      throw EHttpErro("Error sending data: (" + std::to_string(static_cast<int>(rc)) + ") " +
                      AparaDireita(msg));
    }
    long status = 0;
    curl_easy_getinfo(c.H, CURLINFO_RESPONSE_CODE, &status);
    resposta.Status = static_cast<int>(status);
    resposta.TipoConteudo = estado.TipoConteudo;
    resposta.CodificacaoConteudo = estado.Codificacao;
    return resposta;
  }
};

}  // namespace

IHttpTransporte& ImplementacaoPadrao(SeamTag<IHttpTransporte>) {
  static THttpTransporteCurl t;
  return t;
}
