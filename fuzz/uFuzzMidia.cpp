// Fuzz target of the media cache's file names: whatever address a notice
// carries, its file is one of the kind's extensions inside the cache folder.
#include <cstdint>
#include <string>

#include "config/uConfigINI.h"
#include "fuzz/uFuzzApoio.h"
#include "notices/uCacheMidia.h"
#include "platform/uTexto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  static const std::string cache = PastaDaExecucao() + "cache/";
  TPartesFuzz partes(AData, ASize);
  const std::string tipo = partes.Proxima();
  const std::string url = partes.Resto();

  const std::string audio = ExtensaoMidia(url, "AUDIO");
  VERIFICAR(audio == ".mp3" || audio == ".wav" || audio == ".wma" || audio == ".m4a");
  const std::string imagem = ExtensaoMidia(url, "imagem");
  VERIFICAR(imagem == ".jpg" || imagem == ".jpeg" || imagem == ".png" || imagem == ".bmp");
  const std::string ext = ExtensaoMidia(url, tipo);
  VERIFICAR(ext == (IgualSemCaixa(tipo, "audio") ? audio : imagem));
  // An extension that is the address's own is its last one, lowered.
  if (ext != ".mp3" && ext != ".jpg") VERIFICAR(Contem(MinusculasAscii(url), ext));

  // Prefix, the MD5 of the address and the extension: no part of the address
  // reaches the path beyond them.
  const std::string caminho = CaminhoCacheMidia(url, "img", tipo);
  if (EmBranco(url)) {
    VERIFICAR(caminho.empty());
  } else {
    VERIFICAR(caminho.starts_with(cache + "img_"));
    const std::string nome = caminho.substr(cache.size() + 4);
    VERIFICAR(nome.size() == 32 + ext.size() && nome.substr(32) == ext);
    for (size_t i = 0; i < 32; ++i)
      VERIFICAR((nome[i] >= '0' && nome[i] <= '9') || (nome[i] >= 'a' && nome[i] <= 'f'));
  }
  return 0;
}
