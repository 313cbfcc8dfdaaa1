// Pictures on POSIX: PNG through libpng, JPEG through libjpeg, BMP by our own reader.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include "platform/uImagem.h"
#include "platform/uImagemBmp.h"

namespace {

// ------------------------------------------------------------------ PNG

struct TLeitorPng {
  std::string_view Bytes;
  size_t Posicao = 0;
};

void LerBytesPng(png_structp APng, png_bytep ADestino, png_size_t ATamanho) {
  auto* leitor = static_cast<TLeitorPng*>(png_get_io_ptr(APng));
  if (ATamanho > leitor->Bytes.size() - leitor->Posicao) png_error(APng, "truncated");
  std::memcpy(ADestino, leitor->Bytes.data() + leitor->Posicao, ATamanho);
  leitor->Posicao += ATamanho;
}

void AvisoPng(png_structp, png_const_charp) {}

// Quiet: a damaged picture is an ordinary false result.
void ErroPng(png_structp APng, png_const_charp) {
  png_longjmp(APng, 1);
}

// Everything that libpng may jump over lives in the caller, so that the jump
// skips no destructor.
bool LerPng(png_structp APng, png_infop AInfo, TBitmap& AImagem, std::vector<uint8_t>& ALinha) {
  if (setjmp(png_jmpbuf(APng))) return false;
  png_read_info(APng, AInfo);
  const png_uint_32 w = png_get_image_width(APng, AInfo);
  const png_uint_32 h = png_get_image_height(APng, AInfo);
  const int fator = FatorReducao(w, h);
  if (fator == 0) return false;
  const bool entrelacado = png_get_interlace_type(APng, AInfo) != PNG_INTERLACE_NONE;
  // An interlaced picture needs all of it in memory to be reduced; above the
  // limit it is refused instead.
  if (entrelacado && fator > 1) return false;
  png_set_expand(APng);  // palette and low-depth grey to 8 bits, tRNS to alpha
  png_set_strip_16(APng);
  png_set_gray_to_rgb(APng);
  png_set_filler(APng, 0xFF, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(APng);
  png_read_update_info(APng, AInfo);
  if (png_get_rowbytes(APng, AInfo) != static_cast<size_t>(w) * 4) return false;

  const int wr = static_cast<int>((w + fator - 1) / fator);
  const int hr = static_cast<int>((h + fator - 1) / fator);
  if (entrelacado) {
    // Whole picture at once (it is within the limit here).
    ALinha.assign(static_cast<size_t>(w) * h * 4, 0);
    for (int p = 0; p < passes; ++p)
      for (png_uint_32 y = 0; y < h; ++y)
        png_read_row(APng, ALinha.data() + static_cast<size_t>(y) * w * 4, nullptr);
  } else {
    ALinha.assign(static_cast<size_t>(w) * 4, 0);
  }
  AImagem.Pixels.assign(static_cast<size_t>(wr) * hr, 0);
  for (png_uint_32 y = 0; y < h; ++y) {
    const uint8_t* origem;
    if (entrelacado) {
      origem = ALinha.data() + static_cast<size_t>(y) * w * 4;
    } else {
      png_read_row(APng, ALinha.data(), nullptr);
      origem = ALinha.data();
    }
    if (y % fator) continue;
    uint32_t* destino = AImagem.Pixels.data() + static_cast<size_t>(y / fator) * wr;
    for (int x = 0; x < wr; ++x) {
      const uint8_t* p = origem + static_cast<size_t>(x) * fator * 4;
      destino[x] = (static_cast<uint32_t>(p[3]) << 24) | (p[0] << 16) | (p[1] << 8) | p[2];
    }
  }
  png_read_end(APng, nullptr);
  AImagem.Largura = wr;
  AImagem.Altura = hr;
  AImagem.LarguraOriginal = static_cast<int>(w);
  AImagem.AlturaOriginal = static_cast<int>(h);
  return true;
}

bool DecodificarPng(std::string_view ABytes, TBitmap& AImagem) {
  if (ABytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(ABytes.data()), 0, 8))
    return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErroPng, AvisoPng);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  TLeitorPng leitor{ABytes, 0};
  std::vector<uint8_t> linha;
  bool ok = false;
  if (info) {
    png_set_read_fn(png, &leitor, LerBytesPng);
    ok = LerPng(png, info, AImagem, linha);
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  return ok;
}

// ------------------------------------------------------------------ JPEG

struct TErroJpeg {
  jpeg_error_mgr Padrao;
  std::jmp_buf Salto;
  bool Truncado = false;
};

void SairJpeg(j_common_ptr AInfo) {
  std::longjmp(reinterpret_cast<TErroJpeg*>(AInfo->err)->Salto, 1);
}

void MensagemJpeg(j_common_ptr AInfo, int ANivel) {
  // A file that ends early still "decodes" (grey to the end): count it as damaged.
  auto* erro = reinterpret_cast<TErroJpeg*>(AInfo->err);
  if (ANivel < 0 && erro->Padrao.msg_code == JWRN_JPEG_EOF) erro->Truncado = true;
}

bool LerJpeg(jpeg_decompress_struct& AInfo, TErroJpeg& AErro, std::string_view ABytes,
             TBitmap& AImagem, std::vector<uint8_t>& ALinha) {
  if (setjmp(AErro.Salto)) return false;
  jpeg_create_decompress(&AInfo);
  jpeg_mem_src(&AInfo, reinterpret_cast<const unsigned char*>(ABytes.data()),
               static_cast<unsigned long>(ABytes.size()));
  if (jpeg_read_header(&AInfo, TRUE) != JPEG_HEADER_OK) return false;
  int fator = FatorReducao(AInfo.image_width, AInfo.image_height);
  if (fator == 0) return false;
  // libjpeg reduces by 2, 4 or 8 cheaply while decoding; what remains is sampled.
  unsigned denominador = 1;
  while (denominador < 8 && static_cast<int>(denominador) < fator) denominador *= 2;
  AInfo.scale_num = 1;
  AInfo.scale_denom = denominador;
  const bool cmyk = AInfo.jpeg_color_space == JCS_CMYK || AInfo.jpeg_color_space == JCS_YCCK;
  AInfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&AInfo);
  const int w = static_cast<int>(AInfo.output_width), h = static_cast<int>(AInfo.output_height);
  fator = FatorReducao(w, h);
  if (fator == 0) return false;
  const int canais = AInfo.output_components;
  if (canais != (cmyk ? 4 : 3)) return false;
  const int wr = (w + fator - 1) / fator, hr = (h + fator - 1) / fator;
  ALinha.assign(static_cast<size_t>(w) * canais, 0);
  AImagem.Pixels.assign(static_cast<size_t>(wr) * hr, 0);
  while (AInfo.output_scanline < AInfo.output_height) {
    const int y = static_cast<int>(AInfo.output_scanline);
    JSAMPROW linha = ALinha.data();
    jpeg_read_scanlines(&AInfo, &linha, 1);
    if (y % fator) continue;
    uint32_t* destino = AImagem.Pixels.data() + static_cast<size_t>(y / fator) * wr;
    for (int x = 0; x < wr; ++x) {
      const uint8_t* p = ALinha.data() + static_cast<size_t>(x) * fator * canais;
      uint32_t r = p[0], g = p[1], b = p[2];
      if (cmyk) {  // Adobe files store CMYK inverted
        r = p[0] * p[3] / 255;
        g = p[1] * p[3] / 255;
        b = p[2] * p[3] / 255;
      }
      destino[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  jpeg_finish_decompress(&AInfo);
  if (AErro.Truncado) return false;
  AImagem.Largura = wr;
  AImagem.Altura = hr;
  AImagem.LarguraOriginal = static_cast<int>(AInfo.image_width);
  AImagem.AlturaOriginal = static_cast<int>(AInfo.image_height);
  return true;
}

bool DecodificarJpeg(std::string_view ABytes, TBitmap& AImagem) {
  if (ABytes.size() < 3 || static_cast<uint8_t>(ABytes[0]) != 0xFF ||
      static_cast<uint8_t>(ABytes[1]) != 0xD8)
    return false;
  jpeg_decompress_struct info{};
  TErroJpeg erro{};
  info.err = jpeg_std_error(&erro.Padrao);
  erro.Padrao.error_exit = SairJpeg;
  erro.Padrao.emit_message = MensagemJpeg;
  std::vector<uint8_t> linha;
  const bool ok = LerJpeg(info, erro, ABytes, AImagem, linha);
  jpeg_destroy_decompress(&info);
  return ok;
}

}  // namespace

bool DecodificarImagemMemoria(std::string_view ABytes, TFormatoImagem AFormato, TBitmap& AImagem) {
  AImagem = TBitmap{};
  if (AFormato == TFormatoImagem::PeloNome) AFormato = FormatoPelaAssinatura(ABytes);
  bool ok = false;
  switch (AFormato) {
    case TFormatoImagem::Png:
      ok = DecodificarPng(ABytes, AImagem);
      break;
    case TFormatoImagem::Jpeg:
      ok = DecodificarJpeg(ABytes, AImagem);
      break;
    case TFormatoImagem::Bmp:
      ok = DecodificarBmp(ABytes, AImagem);
      break;
    case TFormatoImagem::PeloNome:
      break;
  }
  if (!ok) AImagem = TBitmap{};
  return ok;
}
