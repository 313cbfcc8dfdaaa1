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

// Another user of the computer may turn the folder (or the base folder) into a
// junction, or put a link among the files: deleting through it would delete
// files of their choosing with the employee's rights.
bool PastaPorLigacao(const std::string& APasta) {
  const std::string l = LigacaoNoCaminho(TConfigINI::PastaBaseSemCriar(), APasta);
  if (l.empty()) return false;
  TLogger::Log("Aviso: limpeza de cache ignorada: " + l + " e uma juncao ou link simbolico.");
  return true;
}

bool ArquivoPorLigacao(const TInfoArquivo& AArquivo, const std::string& ACaminho) {
  if (!AArquivo.Ligacao && !Arquivos().EhLigacao(ACaminho)) return false;
  TLogger::Log("Aviso: cache mantido: " + ACaminho + " e uma juncao ou link simbolico.");
  return true;
}

}  // namespace

void TCacheCleaner::LimparTudoCache() noexcept {
  try {
    const std::string pasta = PastaCache();
    if (!Arquivos().PastaExiste(pasta) || PastaPorLigacao(pasta)) return;
    for (const TInfoArquivo& a : Arquivos().Listar(pasta, "*")) {
      try {
        const std::string caminho = pasta + a.Nome;
        if (ArquivoPorLigacao(a, caminho)) continue;
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
    if (!Arquivos().PastaExiste(pasta) || PastaPorLigacao(pasta)) return;
    for (const TInfoArquivo& a : Arquivos().Listar(pasta, "*")) {
      try {
        const std::string caminho = pasta + a.Nome;
        TDateTime modificado = 0;
        // An unreadable time counts as older than any limit.
        const bool lida = Arquivos().DataModificacao(caminho, modificado);
        const TDateTime limite = Agora() - static_cast<double>(ADias) * 24.0 * kUmaHora;
        if (lida && !(modificado < limite)) continue;
        if (ArquivoPorLigacao(a, caminho)) continue;
        if (Arquivos().Apagar(caminho)) TLogger::Log("Cache antigo removido: " + caminho);
      } catch (...) {
      }
    }
  } catch (...) {
  }
}
