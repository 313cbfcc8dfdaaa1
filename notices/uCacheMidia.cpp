// Notice media in the cache folder.
#include "notices/uCacheMidia.h"

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uHttpRetry.h"
#include "platform/ui/uEspera.h"
#include "platform/uArquivos.h"
#include "platform/uDigest.h"
#include "platform/uErros.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"

namespace {

constexpr int kTentativasExclusao = 5;
constexpr uint32_t kPausaExclusaoMs = 200;

bool UmaDas(const std::string& AExt, std::initializer_list<const char*> ALista) {
  for (const char* e : ALista)
    if (AExt == e) return true;
  return false;
}

// What a failed download may have left: nothing of it stays in the cache.
void RemoverResto(const std::string& ACaminho) {
  IArquivos& fs = Arquivos();
  if (fs.ArquivoExiste(ACaminho)) {
    fs.LimparAtributos(ACaminho);
    fs.Apagar(ACaminho);
  }
}

}  // namespace

std::string ExtensaoMidia(const std::string& AURL, const std::string& ATipo) {
  const bool audio = IgualSemCaixa(ATipo, "audio");
  const std::string padrao = audio ? ".mp3" : ".jpg";
  // The Windows file-name rule: from the last "." that no "\" or ":" follows.
  const size_t p = AURL.find_last_of(".\\:");
  if (p == std::string::npos || AURL[p] != '.') return padrao;
  std::string ext = MinusculasAscii(AURL.substr(p));
  const size_t q = ext.find('?');
  if (q != std::string::npos) ext.resize(q);
  if (audio) return UmaDas(ext, {".mp3", ".wav", ".wma", ".m4a"}) ? ext : padrao;
  return UmaDas(ext, {".jpg", ".jpeg", ".png", ".bmp"}) ? ext : padrao;
}

std::string CaminhoCacheMidia(const std::string& AURL, const std::string& APrefixo,
                              const std::string& ATipo) {
  if (EmBranco(AURL)) return {};
  return TConfigINI::PastaBase() + "cache" + kSep + APrefixo + "_" + Md5Hex(AURL) +
         ExtensaoMidia(AURL, ATipo);
}

void BaixarMidia(const std::string& AURL, const std::string& ACaminho) {
  try {
    if (EmBranco(AURL) || EmBranco(ACaminho)) return;
    if (Arquivos().Tamanho(ACaminho) > 0) return;
    if (!THttpRetry::DownloadFile(AURL, ACaminho, 3)) {
      RemoverResto(ACaminho);
      TLogger::Log("Falha ao baixar mídia: " + AURL);
      return;
    }
    // A body past the bound is no medium: a broken or hostile server must not
    // fill the disk of every computer it serves.
    if (Arquivos().Tamanho(ACaminho) > kMaxMidiaBytes) {
      RemoverResto(ACaminho);
      TLogger::Log("Falha ao baixar mídia: " + AURL);
      return;
    }
    TLogger::Log("Mídia baixada: " + NomeDe(ACaminho));
  } catch (const ui::EEsperaAbandonada&) {
    // The program is ending: the notice must not go on as if the medium had
    // simply failed (it would be recorded and shown).
    throw;
  } catch (const std::exception& E) {
    try {
      RemoverResto(ACaminho);
    } catch (...) {
      // The failure being reported is the download's; a leftover goes at the next start.
    }
    TLogger::Log("Falha ao baixar mídia: " + AURL + " - " + MensagemDoErro(E));
  }
}

void ExcluirArquivoCache(const std::string& ACaminho) {
  try {
    if (EmBranco(ACaminho)) return;
    IArquivos& fs = Arquivos();
    // A junction or link on the way (put there by another user of the
    // computer) would make the deletion, and the attribute change before it,
    // act on a file of their choosing.
    const std::string ligacao = LigacaoNoCaminho(TConfigINI::PastaBaseSemCriar(), ACaminho);
    if (!ligacao.empty()) {
      TLogger::Log("Aviso: cache de mensagem mantido: " + ligacao +
                   " e uma juncao ou link simbolico.");
      return;
    }
    for (int i = 1; fs.ArquivoExiste(ACaminho); ++i) {
      fs.LimparAtributos(ACaminho);
      try {
        if (fs.Apagar(ACaminho)) {
          TLogger::Log("Cache de mensagem excluido: " + ACaminho);
          return;
        }
      } catch (const std::exception& E) {
        TLogger::Log("Tentativa " + std::to_string(i) + " falhou ao excluir cache de mensagem: " +
                     ACaminho + " - " + MensagemDoErro(E));
      }
      Relogio().Dormir(kPausaExclusaoMs);
      if (i >= kTentativasExclusao) {
        if (fs.ArquivoExiste(ACaminho))
          TLogger::Log("Cache de mensagem permaneceu apos tentativas de exclusao: " + ACaminho);
        return;
      }
    }
  } catch (...) {
    // Never raises: a file left behind is the cache cleanup's.
  }
}

void ExcluirArquivosMensagem(const std::string& ALogo, const std::string& AImagem,
                             const std::string& AAudio, const std::string& AWallpaper) {
  ExcluirArquivoCache(AImagem);
  ExcluirArquivoCache(AAudio);
  ExcluirArquivoCache(AWallpaper);
  ExcluirArquivoCache(ALogo);
}
