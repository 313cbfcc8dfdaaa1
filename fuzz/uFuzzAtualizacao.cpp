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
  TConfigINI::EscreverTexto("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO", "");
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  return 0;
}
