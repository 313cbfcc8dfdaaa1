// Portable part of the pictures concern: format choice, size limits, the white
// blend, the BMP writer and the file reading in front of the decoders.
#include <algorithm>
#include <cstring>

#include "platform/uArquivos.h"
#include "platform/uImagem.h"
#include "platform/uTexto.h"

namespace {

// A picture file above this size is not read at all.
constexpr int64_t kMaxBytesArquivo = 256LL * 1024 * 1024;

void Anexar16(std::string& S, uint16_t V) {
  S.push_back(static_cast<char>(V & 0xFF));
  S.push_back(static_cast<char>(V >> 8));
}

void Anexar32(std::string& S, uint32_t V) {
  for (int i = 0; i < 4; ++i) S.push_back(static_cast<char>((V >> (8 * i)) & 0xFF));
}

uint32_t Misturar(uint32_t P) {
  const uint32_t a = P >> 24;
  if (a == 0xFF) return P;
  auto canal = [a](uint32_t c) { return (c * a + 255 * (255 - a) + 127) / 255; };
  const uint32_t r = canal((P >> 16) & 0xFF), g = canal((P >> 8) & 0xFF), b = canal(P & 0xFF);
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

uint32_t BytesLinhaBmp24(const TBitmap& AImagem) {
  return (static_cast<uint32_t>(AImagem.Largura) * 3 + 3) & ~3u;  // rows padded to 4 bytes
}

std::string CabecalhoBmp24(const TBitmap& AImagem) {
  const uint32_t w = static_cast<uint32_t>(AImagem.Largura);
  const uint32_t h = static_cast<uint32_t>(AImagem.Altura);
  const uint32_t dados = BytesLinhaBmp24(AImagem) * h;
  std::string s;
  s += "BM";
  Anexar32(s, 54 + dados);
  Anexar32(s, 0);
  Anexar32(s, 54);
  Anexar32(s, 40);  // BITMAPINFOHEADER
  Anexar32(s, w);
  Anexar32(s, h);  // positive: bottom-up rows
  Anexar16(s, 1);
  Anexar16(s, 24);
  Anexar32(s, 0);  // BI_RGB
  Anexar32(s, dados);
  Anexar32(s, 3780);  // 96 DPI in pixels per metre
  Anexar32(s, 3780);
  Anexar32(s, 0);
  Anexar32(s, 0);
  return s;
}

// The file's rows [AIni, AFim), counted from its first (the picture's bottom row).
void AnexarLinhasBmp24(std::string& S, const TBitmap& AImagem, uint32_t AIni, uint32_t AFim) {
  const uint32_t w = static_cast<uint32_t>(AImagem.Largura);
  const uint32_t h = static_cast<uint32_t>(AImagem.Altura);
  const size_t bytesLinha = BytesLinhaBmp24(AImagem);
  size_t pos = S.size();
  S.resize(pos + bytesLinha * (AFim - AIni), '\0');  // the padding stays zero
  for (uint32_t k = AIni; k < AFim; ++k, pos += bytesLinha) {
    const uint32_t* p = AImagem.Pixels.data() + static_cast<size_t>(h - 1 - k) * w;
    char* d = S.data() + pos;
    for (uint32_t x = 0; x < w; ++x, d += 3) {
      const uint32_t c = Misturar(p[x]);
      d[0] = static_cast<char>(c & 0xFF);
      d[1] = static_cast<char>((c >> 8) & 0xFF);
      d[2] = static_cast<char>((c >> 16) & 0xFF);
    }
  }
}

// Rows written per piece: about 4 MiB of the file at a time.
constexpr uint32_t kBytesPorParte = 4 * 1024 * 1024;

}  // namespace

TFormatoImagem FormatoPelaExtensao(const std::string& ACaminho) {
  const std::string ext = MinusculasAscii(ExtensaoDe(ACaminho));
  if (ext == ".png") return TFormatoImagem::Png;
  if (ext == ".jpg" || ext == ".jpeg") return TFormatoImagem::Jpeg;
  if (ext == ".bmp") return TFormatoImagem::Bmp;
  return TFormatoImagem::PeloNome;
}

TFormatoImagem FormatoPelaAssinatura(std::string_view ABytes) {
  if (ABytes.size() >= 8 && std::memcmp(ABytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
    return TFormatoImagem::Png;
  if (ABytes.size() >= 3 && std::memcmp(ABytes.data(), "\xFF\xD8\xFF", 3) == 0)
    return TFormatoImagem::Jpeg;
  if (ABytes.size() >= 2 && ABytes[0] == 'B' && ABytes[1] == 'M') return TFormatoImagem::Bmp;
  return TFormatoImagem::PeloNome;
}

int FatorReducao(int64_t ALargura, int64_t AAltura) {
  if (ALargura <= 0 || AAltura <= 0 || ALargura > kMaxLadoImagem || AAltura > kMaxLadoImagem)
    return 0;
  if (ALargura * AAltura > kMaxPixelsDeclarados) return 0;
  int f = 1;
  while (((ALargura + f - 1) / f) * ((AAltura + f - 1) / f) > kMaxPixelsImagem) ++f;
  return f;
}

void MisturarSobreBranco(TBitmap& AImagem) {
  for (uint32_t& p : AImagem.Pixels) p = Misturar(p);
}

std::string CodificarBmp24(const TBitmap& AImagem) {
  if (AImagem.Vazio()) return {};
  std::string s = CabecalhoBmp24(AImagem);
  AnexarLinhasBmp24(s, AImagem, 0, static_cast<uint32_t>(AImagem.Altura));
  return s;
}

bool GravarBmp24(const std::string& ACaminho, const TBitmap& AImagem) {
  if (AImagem.Vazio() ||
      AImagem.Pixels.size() != static_cast<size_t>(AImagem.Largura) * AImagem.Altura)
    return false;
  IArquivos& fs = Arquivos();
  const std::string temp = TemporarioAoLado(ACaminho);
  const uint32_t h = static_cast<uint32_t>(AImagem.Altura);
  const uint32_t linhasPorParte = std::max(1u, kBytesPorParte / BytesLinhaBmp24(AImagem));
  bool ok = fs.Gravar(temp, CabecalhoBmp24(AImagem));
  std::string parte;
  for (uint32_t k = 0; ok && k < h; k += linhasPorParte) {
    parte.clear();
    AnexarLinhasBmp24(parte, AImagem, k, std::min(h, k + linhasPorParte));
    ok = fs.Anexar(temp, parte);
  }
  if (ok) ok = fs.Substituir(temp, ACaminho);
  if (!ok) fs.Apagar(temp);
  return ok;
}

bool CarregarImagemArquivo(const std::string& ACaminho, TFormatoImagem AFormato, TBitmap& AImagem) {
  AImagem = TBitmap{};
  if (AFormato == TFormatoImagem::PeloNome) AFormato = FormatoPelaExtensao(ACaminho);
  if (AFormato == TFormatoImagem::PeloNome) return false;
  const int64_t tamanho = Arquivos().Tamanho(ACaminho);
  if (tamanho <= 0 || tamanho > kMaxBytesArquivo) return false;
  std::string bytes;
  if (!Arquivos().LerTudo(ACaminho, bytes)) return false;
  return DecodificarImagemMemoria(bytes, AFormato, AImagem);
}
