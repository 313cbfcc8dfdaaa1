// Cache cleanup of "cache\" under the base folder; subfolders are left alone.
#include "services/uCacheCleaner.h"

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "platform/uArquivos.h"
#include "platform/uRelogio.h"

namespace {

std::string PastaCache() {
  return TConfigINI::PastaBase() + "cache" + kSep;
}

}  // namespace

void TCacheCleaner::LimparTudoCache() noexcept {
  try {
    const std::string pasta = PastaCache();
    if (!Arquivos().PastaExiste(pasta)) return;
    for (const TInfoArquivo& a : Arquivos().Listar(pasta, "*")) {
      try {
        const std::string caminho = pasta + a.Nome;
        if (Arquivos().Apagar(caminho)) TLogger::Log("Cache removido: " + caminho);
      } catch (...) {
      }
    }
  } catch (...) {
  }
}

void TCacheCleaner::LimparCacheAntigo(int32_t ADias) noexcept {
  try {
    const std::string pasta = PastaCache();
    if (!Arquivos().PastaExiste(pasta)) return;
    for (const TInfoArquivo& a : Arquivos().Listar(pasta, "*")) {
      try {
        const std::string caminho = pasta + a.Nome;
        TDateTime modificado = 0;
        // An unreadable time counts as older than any limit.
        const bool lida = Arquivos().DataModificacao(caminho, modificado);
        const TDateTime limite = Agora() - static_cast<double>(ADias) * 24.0 * kUmaHora;
        if (lida && !(modificado < limite)) continue;
        if (Arquivos().Apagar(caminho)) TLogger::Log("Cache antigo removido: " + caminho);
      } catch (...) {
      }
    }
  } catch (...) {
  }
}
