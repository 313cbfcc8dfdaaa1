// HTTP transport on POSIX: libcurl, one easy handle per request.
#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <mutex>

#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"

namespace {

using Relogio = std::chrono::steady_clock;

// Why the transfer was stopped from a callback, 0 while it was not.
enum class TParada { Nenhuma, Limite, Prazo, Recusa, Tempo, Cancelado };

struct TEstadoTransferencia {
  CURL* Handle = nullptr;
  const TPedidoHttp* Pedido = nullptr;
  TRespostaHttp* Resposta = nullptr;
  // The answer of the current hop, from its header lines.
  int Status = 0;
  std::string TipoConteudo;
  std::string Codificacao;
  std::string Location;
  long long Comprimento = -1;
  bool Redirecionar = false;  // this hop is a redirect that will be followed
  uint64_t Recebidos = 0;
  uint32_t TempoEnvioMs = 0;
  uint32_t TempoRespostaMs = 0;
  Relogio::time_point Inicio = Relogio::now();
  curl_off_t UltimoEnviado = -1;
  curl_off_t UltimoRecebido = -1;
  Relogio::time_point UltimaAtividade = Relogio::now();
  TParada Parada = TParada::Nenhuma;
  uint32_t LimiteExpirado = 0;  // the wait limit that ran out
};

bool PrazoEsgotado(TEstadoTransferencia& AEstado) {
  // A waiter that let go counts as a deadline that passed: the transfer ends.
  if (AEstado.Pedido->Cancelamento && AEstado.Pedido->Cancelamento->Cancelado()) {
    AEstado.Parada = TParada::Cancelado;
    return true;
  }
  const uint32_t prazo = AEstado.Pedido->PrazoTotalMs;
  if (prazo == 0) return false;
  const auto decorrido =
      std::chrono::duration_cast<std::chrono::milliseconds>(Relogio::now() - AEstado.Inicio);
  if (decorrido.count() < static_cast<long long>(prazo)) return false;
  AEstado.Parada = TParada::Prazo;
  return true;
}

size_t AoReceber(char* ADados, size_t ATamanho, size_t ANum, void* AEstado) {
  auto* e = static_cast<TEstadoTransferencia*>(AEstado);
  const size_t n = ATamanho * ANum;
  if (PrazoEsgotado(*e)) return 0;
  // The body of a redirect that is followed is nobody's business.
  if (e->Redirecionar) return n;
  const uint64_t limite = e->Pedido->LimiteCorpo;
  if (limite > 0 && e->Recebidos + n > limite) {
    e->Parada = TParada::Limite;
    return 0;
  }
  e->Recebidos += n;
  if (e->Pedido->AoReceberCorpo) {
    if (!e->Pedido->AoReceberCorpo(std::string_view(ADados, n))) {
      e->Parada = TParada::Recusa;
      return 0;
    }
  } else {
    e->Resposta->Corpo.append(ADados, n);
  }
  return n;
}

// Keeps the headers of the current hop only: after a redirect the earlier
// hop's headers are forgotten.
size_t AoCabecalho(char* ADados, size_t ATamanho, size_t ANum, void* AEstado) {
  auto* e = static_cast<TEstadoTransferencia*>(AEstado);
  const std::string linha(ADados, ATamanho * ANum);
  if (IniciaComSemCaixa(linha, "HTTP/")) {
    e->TipoConteudo.clear();
    e->Codificacao.clear();
    e->Location.clear();
    e->Comprimento = -1;
    const size_t espaco = linha.find(' ');
    e->Status = espaco == std::string::npos ? 0 : std::atoi(linha.c_str() + espaco + 1);
  } else if (IniciaComSemCaixa(linha, "content-type:")) {
    e->TipoConteudo = Aparar(linha.substr(13));
  } else if (IniciaComSemCaixa(linha, "content-encoding:")) {
    e->Codificacao = Aparar(linha.substr(17));
  } else if (IniciaComSemCaixa(linha, "location:")) {
    e->Location = Aparar(linha.substr(9));
  } else if (IniciaComSemCaixa(linha, "content-length:")) {
    e->Comprimento = std::atoll(Aparar(linha.substr(15)).c_str());
  } else if (Aparar(linha).empty() && e->Status >= 200) {
    // End of the headers of a final answer of this hop.
    e->Redirecionar = e->Pedido->SeguirRedirecionamentos && StatusRedirecionamento(e->Status) &&
                      !e->Location.empty();
    if (!e->Redirecionar && e->Comprimento > 0) {
      const uint64_t limite = e->Pedido->LimiteCorpo;
      if (limite > 0 && static_cast<uint64_t>(e->Comprimento) > limite) {
        e->Parada = TParada::Limite;
        return 0;
      }
      if (!e->Pedido->AoReceberCorpo)
        e->Resposta->Corpo.reserve(static_cast<size_t>(e->Comprimento));
    }
  }
  return ATamanho * ANum;
}

// libcurl has no time-out per wait for data; this one stops the transfer when
// nothing moved for longer than the send or response limit allows.
int AoProgresso(void* AEstado, curl_off_t, curl_off_t ARecebido, curl_off_t ATotalEnvio,
                curl_off_t AEnviado) {
  auto* e = static_cast<TEstadoTransferencia*>(AEstado);
  if (PrazoEsgotado(*e)) return 1;
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
    e->Parada = TParada::Tempo;
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

// The method, body and headers of one hop on the easy handle.
void DefinirMetodo(TCurl& AC, const TPedidoHttp& APedido) {
  curl_slist_free_all(AC.Cabecalhos);
  AC.Cabecalhos = nullptr;
  curl_easy_setopt(AC.H, CURLOPT_CUSTOMREQUEST, nullptr);
  if (APedido.Metodo == "POST") {
    curl_easy_setopt(AC.H, CURLOPT_POST, 1L);
    curl_easy_setopt(AC.H, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(APedido.Corpo.size()));
    curl_easy_setopt(AC.H, CURLOPT_POSTFIELDS, APedido.Corpo.data());
    // libcurl would otherwise add a form content type and "Expect: 100-continue".
    const std::string tipo = "Content-Type: " + APedido.TipoConteudo;
    AC.Cabecalhos = curl_slist_append(
        AC.Cabecalhos, APedido.TipoConteudo.empty() ? "Content-Type:" : tipo.c_str());
    AC.Cabecalhos = curl_slist_append(AC.Cabecalhos, "Expect:");
  } else {
    curl_easy_setopt(AC.H, CURLOPT_HTTPGET, 1L);
    if (APedido.Metodo != "GET")
      curl_easy_setopt(AC.H, CURLOPT_CUSTOMREQUEST, APedido.Metodo.c_str());
  }
  curl_easy_setopt(AC.H, CURLOPT_HTTPHEADER, AC.Cabecalhos);
}

// Offers the integrated logon to this hop's server only when the request
// trusts its host; otherwise no user is set and a 401 is the answer.
void DefinirAutenticacao(TCurl& AC, const TPedidoHttp& APedido, const std::string& AURL) {
  if (AutenticacaoIntegradaPermitida(APedido, AnalisarUrlHttp(AURL).Host)) {
    curl_easy_setopt(AC.H, CURLOPT_HTTPAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
    curl_easy_setopt(AC.H, CURLOPT_USERPWD, ":");
  } else {
    curl_easy_setopt(AC.H, CURLOPT_USERPWD, nullptr);
    curl_easy_setopt(AC.H, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
  }
}

class THttpTransporteCurl final : public IHttpTransporte {
 public:
  TRespostaHttp Executar(const TPedidoHttp& APedido) override {
    TPedidoHttp pedido = APedido;
    std::string url = MontarUrlHttp(AnalisarUrlHttp(pedido.URL));
    IniciarCurl();
    TCurl c;
    if (!c.H) throw EHttpErro("Unable to create the HTTP client");
    TRespostaHttp resposta;
    TEstadoTransferencia estado;
    estado.Handle = c.H;
    estado.Pedido = &pedido;
    estado.Resposta = &resposta;
    estado.TempoEnvioMs = pedido.TempoEnvioMs;
    estado.TempoRespostaMs = pedido.TempoRespostaMs;
    char erro[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(c.H, CURLOPT_ERRORBUFFER, erro);
    curl_easy_setopt(c.H, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c.H, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c.H, CURLOPT_WRITEFUNCTION, AoReceber);
    curl_easy_setopt(c.H, CURLOPT_WRITEDATA, &estado);
    curl_easy_setopt(c.H, CURLOPT_HEADERFUNCTION, AoCabecalho);
    curl_easy_setopt(c.H, CURLOPT_HEADERDATA, &estado);
    curl_easy_setopt(c.H, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c.H, CURLOPT_XFERINFOFUNCTION, AoProgresso);
    curl_easy_setopt(c.H, CURLOPT_XFERINFODATA, &estado);
    curl_easy_setopt(c.H, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(pedido.TempoConexaoMs));
    // Compressed bodies are inflated above the transport, judged by their
    // Content-Encoding; no Accept-Encoding is sent.
    curl_easy_setopt(c.H, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    // An in-memory cookie engine that dies with this handle, shared by the
    // hops of this request.
    curl_easy_setopt(c.H, CURLOPT_COOKIEFILE, "");
    // Integrated authentication with the process's own credentials, and no
    // other scheme: a Basic challenge gets no empty credentials. The proxy
    // always may; a server only when the request trusts its host (per hop).
    curl_easy_setopt(c.H, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
    curl_easy_setopt(c.H, CURLOPT_PROXYUSERPWD, ":");
    // Redirects are followed here, by the rule the other transport follows
    // too: libcurl would keep the form's Content-Type on a POST turned GET.
    curl_easy_setopt(c.H, CURLOPT_FOLLOWLOCATION, 0L);

    for (int redirecionamentos = 0;; ++redirecionamentos) {
      if (pedido.Cancelamento && pedido.Cancelamento->Cancelado())
        throw EHttpErro(MensagemCancelado());
      curl_easy_setopt(c.H, CURLOPT_URL, url.c_str());
      DefinirMetodo(c, pedido);
      DefinirAutenticacao(c, pedido, url);
      estado.Status = 0;
      estado.Redirecionar = false;
      const CURLcode rc = curl_easy_perform(c.H);
      if (rc != CURLE_OK) Falhar(rc, estado, erro);
      if (!estado.Redirecionar) break;
      if (redirecionamentos >= kMaxRedirecionamentos)
        throw EHttpErro(MensagemExcessoRedirecionamentos());
      pedido = PedidoRedirecionado(pedido, estado.Status,
                                   ResolverRedirecionamento(url, estado.Location));
      url = MontarUrlHttp(AnalisarUrlHttp(pedido.URL));
    }
    long status = 0;
    curl_easy_getinfo(c.H, CURLINFO_RESPONSE_CODE, &status);
    resposta.Status = static_cast<int>(status);
    resposta.TipoConteudo = estado.TipoConteudo;
    resposta.CodificacaoConteudo = estado.Codificacao;
    return resposta;
  }

 private:
  [[noreturn]] static void Falhar(CURLcode ARc, const TEstadoTransferencia& AEstado,
                                  const char* AErro) {
    switch (AEstado.Parada) {
      case TParada::Limite:
        throw EHttpErro(MensagemCorpoExcedido(AEstado.Pedido->LimiteCorpo));
      case TParada::Prazo:
        throw EHttpErro(MensagemPrazoExcedido(AEstado.Pedido->PrazoTotalMs));
      case TParada::Recusa:
        throw EHttpErro(MensagemCorpoRecusado());
      case TParada::Cancelado:
        throw EHttpErro(MensagemCancelado());
      case TParada::Tempo:
        throw EHttpErro("The operation timed out (no data for " +
                        std::to_string(AEstado.LimiteExpirado) + " ms)");
      case TParada::Nenhuma:
        break;
    }
    std::string msg = AErro[0] ? std::string(AErro) : std::string(curl_easy_strerror(ARc));
    throw EHttpErro("Error sending data: (" + std::to_string(static_cast<int>(ARc)) + ") " +
                    AparaDireita(msg));
  }
};

}  // namespace

IHttpTransporte& ImplementacaoPadrao(SeamTag<IHttpTransporte>) {
  static THttpTransporteCurl t;
  return t;
}
