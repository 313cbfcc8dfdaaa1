// Notice wallpaper over the pictures and desktop concerns.
#include "notices/uWallpaper.h"

#include "log/uLogger.h"
#include "platform/uArquivos.h"
#include "platform/uDesktop.h"
#include "platform/uImagem.h"
#include "platform/uTexto.h"

bool TWallpaper::Aplicar(const std::string& AArquivo) {
  if (AArquivo.empty() || !Arquivos().ArquivoExiste(AArquivo)) return false;
  const std::string destino = SemExtensao(AArquivo) + ".bmp";
  const TFormatoImagem formato = FormatoPelaExtensao(AArquivo);
  if (formato == TFormatoImagem::PeloNome) return false;
  TBitmap imagem;
  // A damaged or mislabelled picture is a wallpaper not applied: raising here
  // would end every notice pass at the same cached file.
  if (!CarregarImagemArquivo(AArquivo, formato, imagem)) {
    TLogger::Log("Falha ao decodificar wallpaper: " + AArquivo);
    return false;
  }
  // A bitmap larger than a picture may be held is a bitmap already: the
  // desktop takes it as it is, rather than a smaller copy written over it.
  if (formato == TFormatoImagem::Bmp && Reduzida(imagem))
    return Desktop().DefinirPapelDeParede(AArquivo);
  if (!GravarBmp24(destino, imagem)) {
    TLogger::Log("Falha ao gravar wallpaper: " + destino);
    return false;
  }
  return Desktop().DefinirPapelDeParede(destino);
}
