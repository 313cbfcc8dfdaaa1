// The agent's HTTP client.
#include "net/uHttpClientVesk.h"

#include "net/uEnderecosAgente.h"
#include "net/uHttpCorpo.h"
#include "platform/uArquivos.h"
#include "platform/uErros.h"
#include "platform/uTexto.h"
#include "platform/ui/uEspera.h"

TVeskHttpClient::TVeskHttpClient(uint32_t AConexaoMs, uint32_t ARespostaMs, bool ARedirecionar)
    : FConexaoMs(AConexaoMs), FRespostaMs(ARespostaMs), FRedirecionar(ARedirecionar) {}

std::unique_ptr<TVeskHttpClient> TVeskHttpClient::CreateVesk() {
  auto c = std::make_unique<TVeskHttpClient>(15000, 30000, true);
  c->DefinirHostsAutenticacao(HostsAutenticacaoIntegrada());
  return c;
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

void TVeskHttpClient::Preparar(TPedidoHttp& APedido) const {
  APedido.TempoConexaoMs = FConexaoMs;
  APedido.TempoEnvioMs = kTempoEnvioMs;
  APedido.TempoRespostaMs = FRespostaMs;
  APedido.SeguirRedirecionamentos = FRedirecionar;
  APedido.HostsAutenticacao = FHostsAutenticacao;
}

TRespostaHttp TVeskHttpClient::Executar(TPedidoHttp APedido) const {
  Preparar(APedido);
  APedido.LimiteCorpo = kLimiteTexto;
  APedido.PrazoTotalMs = kPrazoTextoMs;
  // The transfer runs off the user-interface thread, which keeps its windows
  // answering meanwhile; the request travels with the worker by value.
  return ui::ExecutarForaComResultado([p = std::move(APedido)](TCancelamento& C) mutable {
    p.Cancelamento = &C;
    TRespostaHttp r = HttpTransporte().Executar(p);
    // Judged by what the server says it did, asked or not.
    r.Corpo = InflarCorpoAte(std::move(r.Corpo), r.CodificacaoConteudo, kLimiteTexto);
    return r;
  });
}

namespace {

// The temporary file of one download: written in pieces of a bounded size,
// removed unless it was handed over.
class TArquivoParcial {
 public:
  explicit TArquivoParcial(std::string ACaminho) : FCaminho(std::move(ACaminho)) {}
  ~TArquivoParcial() {
    if (FCriado) Arquivos().Apagar(FCaminho);
  }
  TArquivoParcial(const TArquivoParcial&) = delete;
  TArquivoParcial& operator=(const TArquivoParcial&) = delete;

  bool Acrescentar(std::string_view ABytes) {
    FBuffer.append(ABytes);
    FTamanho += ABytes.size();
    return FBuffer.size() < kPedaco || Descarregar();
  }
  bool Descarregar() {
    const bool ok =
        FCriado ? Arquivos().Anexar(FCaminho, FBuffer) : Arquivos().Gravar(FCaminho, FBuffer);
    FCriado = FCriado || ok;
    FBuffer.clear();
    return ok;
  }
  bool Regravar(std::string_view ABytes) {
    FCriado = true;
    FTamanho = ABytes.size();
    return Arquivos().Gravar(FCaminho, ABytes);
  }
  bool Entregar(const std::string& ADestino) {
    if (!Arquivos().Substituir(FCaminho, ADestino)) return false;
    FCriado = false;
    return true;
  }
  const std::string& Caminho() const { return FCaminho; }
  uint64_t Tamanho() const { return FTamanho; }

 private:
  static constexpr size_t kPedaco = size_t{1} << 20;
  std::string FCaminho;
  std::string FBuffer;
  uint64_t FTamanho = 0;
  bool FCriado = false;
};

}  // namespace

uint64_t TVeskHttpClient::Baixar(const std::string& AURL, const std::string& ADestino) const {
  TPedidoHttp p;
  p.Metodo = "GET";
  p.URL = AURL;
  Preparar(p);
  p.LimiteCorpo = kLimiteDownload;
  p.PrazoTotalMs = kPrazoDownloadMs;
  // The whole download, its temporary file included, belongs to the worker:
  // an abandoned one still cleans up after itself.
  return ui::ExecutarForaComResultado([p = std::move(p), ADestino](TCancelamento& C) mutable {
    return BaixarAqui(p, C, ADestino);
  });
}

uint64_t TVeskHttpClient::BaixarAqui(TPedidoHttp& p, TCancelamento& ACancelamento,
                                     const std::string& ADestino) {
  TArquivoParcial parcial(TemporarioAoLado(ADestino));
  p.Cancelamento = &ACancelamento;
  p.AoReceberCorpo = [&parcial](std::string_view APedaco) { return parcial.Acrescentar(APedaco); };
  const TRespostaHttp r = HttpTransporte().Executar(p);
  if (!parcial.Descarregar())
    throw EVesk("Nao foi possivel gravar o arquivo " + ADestino, "EWriteError");
  const std::string codificacao = MinusculasAscii(r.CodificacaoConteudo);
  if (parcial.Tamanho() > 0 && (codificacao.find("gzip") != std::string::npos ||
                                codificacao.find("deflate") != std::string::npos)) {
    // Compressed media are rare: inflated in memory, within the same cap.
    std::string bytes;
    if (!Arquivos().LerTudo(parcial.Caminho(), bytes))
      throw EVesk("Nao foi possivel ler o arquivo " + parcial.Caminho(), "EReadError");
    bytes = InflarCorpoAte(std::move(bytes), r.CodificacaoConteudo, kLimiteDownload);
    if (!parcial.Regravar(bytes))
      throw EVesk("Nao foi possivel gravar o arquivo " + ADestino, "EWriteError");
  }
  if (parcial.Tamanho() == 0) return 0;
  if (!parcial.Entregar(ADestino))
    throw EVesk("Nao foi possivel gravar o arquivo " + ADestino, "EWriteError");
  return parcial.Tamanho();
}
