// Cache cleanup of "cache\" under the base folder; subfolders are left alone.
#include "services/uCacheCleaner.h"

#include <algorithm>
#include <string_view>
#include <vector>

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

bool SoDigitos(std::string_view ATexto) {
  if (ATexto.empty()) return false;
  for (char c : ATexto)
    if (c < '0' || c > '9') return false;
  return true;
}

void ApagarTemporarios(const std::string& APasta) {
  IArquivos& fs = Arquivos();
  if (!fs.PastaExiste(APasta) || PastaPorLigacao(APasta)) return;
  const TDateTime limite = Agora() - TCacheCleaner::kIdadeTemporarioDias;
  for (const TInfoArquivo& a : fs.Listar(APasta, "*.tmp*")) {
    if (!TCacheCleaner::NomeTemporario(a.Nome) || !(a.Modificado < limite)) continue;
    const std::string caminho = APasta + a.Nome;
    if (ArquivoPorLigacao(a, caminho)) continue;
    if (fs.Apagar(caminho)) TLogger::Log("Cache antigo removido: " + caminho);
  }
}

void ApagarBitmapsAntigos(const std::string& APasta) {
  IArquivos& fs = Arquivos();
  if (!fs.PastaExiste(APasta) || PastaPorLigacao(APasta)) return;
  std::vector<TInfoArquivo> bitmaps = fs.Listar(APasta, "wall_*.bmp");
  if (bitmaps.size() < 2) return;
  std::sort(bitmaps.begin(), bitmaps.end(), [](const TInfoArquivo& A, const TInfoArquivo& B) {
    return A.Modificado != B.Modificado ? A.Modificado > B.Modificado : A.Nome > B.Nome;
  });
  for (size_t i = 1; i < bitmaps.size(); ++i) {
    const std::string caminho = APasta + bitmaps[i].Nome;
    if (ArquivoPorLigacao(bitmaps[i], caminho)) continue;
    if (fs.Apagar(caminho)) TLogger::Log("Cache antigo removido: " + caminho);
  }
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
        // A file in use or protected stays; the rest are still removed.
      }
    }
  } catch (...) {
    // Cleaning the cache is best effort; the command still reports its end.
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
        // A file in use or protected stays; the rest are still removed.
      }
    }
  } catch (...) {
    // The daily cleanup is best effort and runs again tomorrow.
  }
}

bool TCacheCleaner::NomeTemporario(const std::string& ANome) {
  const size_t tmp = ANome.rfind(".tmp");
  if (tmp == std::string::npos || tmp == 0) return false;
  const std::string_view resto = std::string_view(ANome).substr(tmp + 4);
  const size_t traco = resto.find('_');
  return traco != std::string_view::npos && SoDigitos(resto.substr(0, traco)) &&
         SoDigitos(resto.substr(traco + 1));
}

void TCacheCleaner::LimparTemporarios() noexcept {
  try {
    ApagarTemporarios(PastaCache());
    // The update's download lives in the employee's own folder.
    const std::string usuario = TConfigINI::PastaUsuario();
    if (!usuario.empty()) ApagarTemporarios(usuario + "update" + kSep);
    ApagarBitmapsAntigos(PastaCache());
  } catch (...) {
    // Start-up goes on: the temporary files are tried again at the next start.
  }
}
