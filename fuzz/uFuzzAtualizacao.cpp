// Fuzz target of the update check over a server answer: whatever the manifest
// (and the file it names) holds, the check logs and returns.
#include <cstdint>
#include <string>

#include "config/uConfigINI.h"
#include "fuzz/uFuzzApoio.h"
#include "platform/uHttpTransporte.h"
#include "services/uAutoUpdatePro.h"

namespace {

// Every request is answered 200 with the input: the manifest, and the
// download of the file it names.
class TServidorFuzz final : public IHttpTransporte {
 public:
  std::string Corpo;
  TRespostaHttp Executar(const TPedidoHttp& APedido) override {
    TRespostaHttp r;
    r.Status = 200;
    r.TipoConteudo = "application/json";
    if (APedido.AoReceberCorpo) {
      if (!APedido.AoReceberCorpo(Corpo)) throw EHttpErro(MensagemCorpoRecusado());
    } else {
      r.Corpo = Corpo;
    }
    return r;
  }
};

// How deep arrays and objects nest, strings left out.
size_t Profundidade(const std::string& ATexto) {
  size_t atual = 0, maxima = 0;
  bool texto = false;
  for (size_t i = 0; i < ATexto.size(); ++i) {
    const char c = ATexto[i];
    if (texto) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        texto = false;
    } else if (c == '"') {
      texto = true;
    } else if (c == '[' || c == '{') {
      maxima = std::max(maxima, ++atual);
    } else if ((c == ']' || c == '}') && atual > 0) {
      --atual;
    }
  }
  return maxima;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  static TServidorFuzz servidor;
  static const bool pronto = [] {
    PastaDaExecucao();
    TConfigINI::EscreverTexto("SERVIDOR", "URL", "http://127.0.0.1:1/demo/intranet/");
    // A key no download is signed with: a file that passes every other check
    // is still refused, so the check never hands over to its script.
    TAutoUpdatePro::ChavePublica = "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE";
    Seam<IHttpTransporte>::Definir(&servidor);
    return true;
  }();
  VERIFICAR(pronto);
  servidor.Corpo.assign(reinterpret_cast<const char*>(AData), ASize);
  // The manifest is parsed by the recursive parser: deep nesting overflows the
  // stack (being mended); such answers are passed over until then.
  if (Profundidade(servidor.Corpo) > 400) {
    FalhaConhecida("auto update: aninhamento profundo no update.json estoura a pilha");
    const char* v = std::getenv("VESK_FUZZ_ESTRITO");
    if (!v || std::string_view(v) != "1") return 0;
  }
  TConfigINI::EscreverTexto("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO", "");
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  return 0;
}
