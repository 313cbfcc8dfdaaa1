// The services' HTTP helper with attempts, log lines and pauses.
#include "net/uConvencoes.h"
#include "net/uHttpRetry.h"

#include <functional>
#include <new>

#include "log/uLogger.h"
#include "net/uHttpClientVesk.h"
#include "net/uHttpCorpo.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uErros.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"
#include "platform/ui/uEspera.h"

namespace {

// Runs the attempts of GetText and PostForm: logs each failure with the prefix,
// pauses between attempts and raises the last failure.
std::string ComTentativas(const std::string& APrefixo, int ATentativas,
                          const std::function<std::string()>& APedido) {
  for (int i = 1; i <= ATentativas; ++i) {
    try {
      return APedido();
    } catch (const ui::EEsperaAbandonada&) {
      // The program is ending: no attempt failed, none follows.
      throw;
    } catch (const std::exception& E) {
      // The transport's message may quote the address with its token; neither
      // this line nor the callers' lines that quote the failure may show it.
      const std::string mensagem = OcultarToken(MensagemDoErro(E));
      TLogger::Log(APrefixo + std::to_string(i) + ": " + mensagem);
      // Memory that ran out does not come back by asking again.
      if (i == ATentativas || dynamic_cast<const std::bad_alloc*>(&E)) {
        if (dynamic_cast<const EHttpErro*>(&E) && mensagem != MensagemDoErro(E))
          throw EHttpErro(mensagem);
        throw;
      }
    }
    // The pause keeps the windows answering, as the transfer does.
    ui::Pausar(THttpRetry::kPausaMs);
  }
  return {};
}

}  // namespace

std::string THttpRetry::GetText(const std::string& URL, int Tentativas) {
  return ComTentativas("GET erro tentativa ", Tentativas, [&] {
    const TRespostaHttp r = TVeskHttpClient::CreateVesk()->Get(URL);
    return DecodificarTexto(r.Corpo, r.TipoConteudo);
  });
}

std::string THttpRetry::PostForm(const std::string& URL, const std::vector<std::string>& Params,
                                 int Tentativas) {
  const std::string corpo = CodificarFormulario(Params);
  return ComTentativas("POST erro tentativa ", Tentativas, [&] {
    const TRespostaHttp r = TVeskHttpClient::CreateVesk()->Post(URL, corpo, kTipoFormulario);
    return DecodificarTexto(r.Corpo, r.TipoConteudo);
  });
}

bool THttpRetry::DownloadFile(const std::string& URL, const std::string& Destino, int Tentativas) {
  try {
    if (EmBranco(URL)) return false;
    const std::string pasta = PastaDe(Destino);
    if (!pasta.empty()) Arquivos().CriarPastas(pasta);
    for (int i = 1; i <= Tentativas; ++i) {
      try {
        // Streamed beside the target and renamed over it once whole, so a cut
        // or failed download leaves the previous file as it was.
        if (TVeskHttpClient::CreateVesk()->Baixar(URL, Destino) == 0) continue;
        return true;
      } catch (const ui::EEsperaAbandonada&) {
        throw;
      } catch (const std::exception& E) {
        TLogger::Log("Download erro tentativa " + std::to_string(i) + ": " +
                     OcultarToken(MensagemDoErro(E)) + " URL=" + OcultarToken(URL));
        if (i == Tentativas || dynamic_cast<const std::bad_alloc*>(&E)) return false;
      }
      ui::Pausar(kPausaMs);
    }
  } catch (const ui::EEsperaAbandonada&) {
    // The program is ending: the caller must not go on as after a failure.
    throw;
  } catch (const std::exception&) {
    // Reports false; nothing escapes a download.
  }
  return false;
}
