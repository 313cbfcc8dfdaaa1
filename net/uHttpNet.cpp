// Single-attempt HTTP helpers.
#include "net/uHttpNet.h"

#include "net/uHttpClientVesk.h"
#include "net/uHttpCorpo.h"
#include "platform/uArquivos.h"
#include "platform/uErros.h"

std::string THttpNet::GetText(const std::string& AURL,
                              const std::vector<std::string>& AHostsAutenticacao) {
  TVeskHttpClient cliente(kConexaoMs, kRespostaMs, true);
  cliente.DefinirHostsAutenticacao(AHostsAutenticacao);
  return DecodificarTexto(cliente.Get(AURL).Corpo, "");
}

void THttpNet::DownloadFile(const std::string& AURL, const std::string& ADestino,
                            const std::vector<std::string>& AHostsAutenticacao) {
  const std::string pasta = PastaDe(ADestino);
  if (!pasta.empty()) Arquivos().CriarPastas(pasta);
  // The body goes to a temporary file beside the target as it arrives; only a
  // whole answer takes the target's name.
  TVeskHttpClient cliente(kConexaoMs, kRespostaDownloadMs, true);
  cliente.DefinirHostsAutenticacao(AHostsAutenticacao);
  if (cliente.Baixar(AURL, ADestino) == 0 && !Arquivos().Gravar(ADestino, ""))
    throw EVesk("Nao foi possivel criar o arquivo " + ADestino, "EFCreateError");
}

std::string THttpNet::PostForm(const std::string& AURL, const std::vector<std::string>& AParams,
                               const std::vector<std::string>& AHostsAutenticacao) {
  TVeskHttpClient cliente(kConexaoMs, kRespostaMs, true);
  cliente.DefinirHostsAutenticacao(AHostsAutenticacao);
  const TRespostaHttp r = cliente.Post(AURL, CodificarFormulario(AParams), kTipoFormulario);
  return DecodificarTexto(r.Corpo, "");
}
