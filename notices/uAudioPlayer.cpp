// Notice audio over the multimedia command concern, with the shell as fallback.
#include "notices/uAudioPlayer.h"

#include "platform/uArquivos.h"
#include "platform/uMci.h"
#include "platform/uShell.h"
#include "platform/uTexto.h"

namespace {
constexpr size_t kTamanhoResposta = 64;
}  // namespace

void TAudioPlayer::Tocar(const std::string& AArquivo) {
  if (AArquivo.empty() || !Arquivos().ArquivoExiste(AArquivo)) return;
  Parar();
  // Quoted, so that a path with blanks reaches the device whole.
  const std::string abrir = "open \"" + AArquivo + "\" type mpegvideo alias VeskAudio";
  if (Mci().Enviar(abrir) == 0) {
    Mci().Enviar("play VeskAudio");
    return;
  }
  TChamadaShell c;
  c.Verbo = "open";
  c.Arquivo = AArquivo;
  c.Mostrar = kSwShowNormal;
  Shell().Executar(c);
}

void TAudioPlayer::Parar() {
  // Failures (no device open) mean there is nothing to stop.
  Mci().Enviar("stop VeskAudio");
  Mci().Enviar("close VeskAudio");
}

bool TAudioPlayer::EstaTocando() {
  std::string resposta;
  if (Mci().Enviar("status VeskAudio mode", &resposta, kTamanhoResposta) != 0) return false;
  return IgualSemCaixa(Aparar(resposta), "playing");
}
