// Notice media and update files: served from the media folder, generated when asked.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <jpeglib.h>
#include <zlib.h>

#include "tools/devserver/uServidor.h"

namespace {

namespace fs = std::filesystem;

std::string TipoPorExtensao(const std::string& ANome) {
  std::string E = fs::path(ANome).extension().string();
  for (char& C : E) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  if (E == ".png") return "image/png";
  if (E == ".jpg" || E == ".jpeg") return "image/jpeg";
  if (E == ".bmp") return "image/bmp";
  if (E == ".gif") return "image/gif";
  if (E == ".wav") return "audio/wav";
  if (E == ".mp3") return "audio/mpeg";
  if (E == ".exe") return "application/octet-stream";
  if (E == ".html" || E == ".htm") return "text/html; charset=utf-8";
  if (E == ".txt") return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

void U32be(std::string& S, uint32_t V) {
  for (int I = 3; I >= 0; --I) S += static_cast<char>((V >> (8 * I)) & 0xFF);
}
void U32le(std::string& S, uint32_t V) {
  for (int I = 0; I < 4; ++I) S += static_cast<char>((V >> (8 * I)) & 0xFF);
}
void U16le(std::string& S, uint16_t V) {
  S += static_cast<char>(V & 0xFF);
  S += static_cast<char>(V >> 8);
}

// A picture of W x H: a diagonal blue-to-teal gradient with a lighter band, so
// that a shown picture is recognisable in a screenshot.
void Pixel(int X, int Y, int W, int H, uint8_t& R, uint8_t& G, uint8_t& B) {
  int T = (X * 255 / (W - 1) + Y * 255 / (H - 1)) / 2;
  bool Faixa = std::abs(X - Y * W / H) < W / 10;
  R = static_cast<uint8_t>(Faixa ? 240 : 31 + T / 8);
  G = static_cast<uint8_t>(Faixa ? 200 : 78 + T / 2);
  B = static_cast<uint8_t>(Faixa ? 60 : 140 + T / 3);
}

void Bloco(std::string& Png, const char* ATipo, const std::string& ADados) {
  U32be(Png, static_cast<uint32_t>(ADados.size()));
  std::string C = std::string(ATipo, 4) + ADados;
  Png += C;
  U32be(Png, static_cast<uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(C.data()), static_cast<uInt>(C.size()))));
}

std::string GerarPng(int W, int H) {
  std::string Cru;
  for (int Y = 0; Y < H; ++Y) {
    Cru += '\0';  // filter: none
    for (int X = 0; X < W; ++X) {
      uint8_t R, G, B;
      Pixel(X, Y, W, H, R, G, B);
      bool Canto = (X < 3 || X >= W - 3) && (Y < 3 || Y >= H - 3);
      Cru += static_cast<char>(R), Cru += static_cast<char>(G), Cru += static_cast<char>(B);
      Cru += static_cast<char>(Canto ? 0 : 255);  // transparent corners exercise alpha
    }
  }
  uLongf Tam = compressBound(static_cast<uLong>(Cru.size()));
  std::string Z(Tam, '\0');
  compress2(reinterpret_cast<Bytef*>(Z.data()), &Tam, reinterpret_cast<const Bytef*>(Cru.data()),
            static_cast<uLong>(Cru.size()), 9);
  Z.resize(Tam);
  std::string Ihdr;
  U32be(Ihdr, static_cast<uint32_t>(W));
  U32be(Ihdr, static_cast<uint32_t>(H));
  Ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bit RGBA
  std::string Png("\x89PNG\r\n\x1a\n", 8);
  Bloco(Png, "IHDR", Ihdr);
  Bloco(Png, "IDAT", Z);
  Bloco(Png, "IEND", "");
  return Png;
}

std::string GerarJpeg(int W, int H) {
  jpeg_compress_struct C{};
  jpeg_error_mgr E{};
  C.err = jpeg_std_error(&E);
  jpeg_create_compress(&C);
  unsigned char* Saida = nullptr;
  unsigned long Tam = 0;
  jpeg_mem_dest(&C, &Saida, &Tam);
  C.image_width = static_cast<JDIMENSION>(W);
  C.image_height = static_cast<JDIMENSION>(H);
  C.input_components = 3;
  C.in_color_space = JCS_RGB;
  jpeg_set_defaults(&C);
  jpeg_set_quality(&C, 80, TRUE);
  jpeg_start_compress(&C, TRUE);
  std::vector<unsigned char> Linha(static_cast<size_t>(W) * 3);
  while (C.next_scanline < C.image_height) {
    int Y = static_cast<int>(C.next_scanline);
    for (int X = 0; X < W; ++X) Pixel(X, Y, W, H, Linha[X * 3], Linha[X * 3 + 1], Linha[X * 3 + 2]);
    JSAMPROW L = Linha.data();
    jpeg_write_scanlines(&C, &L, 1);
  }
  jpeg_finish_compress(&C);
  std::string R(reinterpret_cast<char*>(Saida), Tam);
  jpeg_destroy_compress(&C);
  std::free(Saida);
  return R;
}

std::string GerarBmp(int W, int H) {
  int Passo = (W * 3 + 3) / 4 * 4;
  std::string B = "BM";
  U32le(B, static_cast<uint32_t>(54 + Passo * H));
  U32le(B, 0);
  U32le(B, 54);
  U32le(B, 40);
  U32le(B, static_cast<uint32_t>(W));
  U32le(B, static_cast<uint32_t>(H));
  U16le(B, 1);
  U16le(B, 24);
  for (int I = 0; I < 6; ++I) U32le(B, I == 1 ? static_cast<uint32_t>(Passo * H) : 0);
  for (int Y = H - 1; Y >= 0; --Y) {  // bottom-up rows
    for (int X = 0; X < W; ++X) {
      uint8_t R, G, Bl;
      Pixel(X, Y, W, H, R, G, Bl);
      B += static_cast<char>(Bl), B += static_cast<char>(G), B += static_cast<char>(R);
    }
    B.append(static_cast<size_t>(Passo - W * 3), '\0');
  }
  return B;
}

// Two short beeps, 8 kHz mono 16 bit.
std::string GerarWav() {
  const int kTaxa = 8000, kAmostras = kTaxa * 6 / 10;
  std::string Dados;
  for (int I = 0; I < kAmostras; ++I) {
    bool Som = I < kTaxa / 4 || (I > kTaxa * 35 / 100 && I < kAmostras);
    double V = Som ? 0.3 * std::sin(2 * 3.14159265358979 * 880.0 * I / kTaxa) : 0.0;
    U16le(Dados, static_cast<uint16_t>(static_cast<int16_t>(V * 32767)));
  }
  std::string W = "RIFF";
  U32le(W, static_cast<uint32_t>(36 + Dados.size()));
  W += "WAVEfmt ";
  U32le(W, 16);
  U16le(W, 1);
  U16le(W, 1);
  U32le(W, kTaxa);
  U32le(W, kTaxa * 2);
  U16le(W, 2);
  U16le(W, 16);
  W += "data";
  U32le(W, static_cast<uint32_t>(Dados.size()));
  return W + Dados;
}

// Not a program: "MZ" and enough filler for the agent's size check.
std::string GerarExe() {
  std::string E("MZ\x90\0\x03\0\0\0\x04\0\0\0\xff\xff\0\0", 16);
  for (int I = 0; E.size() < 65536; ++I) E += static_cast<char>((I * 131 + 7) & 0xFF);
  return E;
}

bool LerArquivo(const fs::path& ACaminho, std::string& ATexto) {
  std::ifstream F(ACaminho, std::ios::binary);
  if (!F) return false;
  std::ostringstream S;
  S << F.rdbuf();
  ATexto = S.str();
  return true;
}

}  // namespace

bool ServirArquivo(TServidor& AServ, const std::string& ARelativo, TResposta& R) {
  bool Midia = ARelativo.rfind("media/", 0) == 0;
  bool Download = ARelativo.rfind("downloads/", 0) == 0;
  if (!Midia && !Download) return false;
  std::string Nome = ARelativo.substr(ARelativo.find('/') + 1);
  if (Nome.empty() || Nome.find("..") != std::string::npos) return false;
  R.Tipo = TipoPorExtensao(Nome);
  if (LerArquivo(fs::path(AServ.PastaMidia) / Nome, R.Corpo) &&
      fs::is_regular_file(fs::path(AServ.PastaMidia) / Nome))
    return true;
  if (Download && fs::path(Nome).extension() == ".exe") {
    R.Corpo = GerarExe();
    return true;
  }
  return false;
}

bool GerarMidia(const std::string& APasta, std::string& AErro) {
  std::error_code Ec;
  fs::create_directories(APasta, Ec);
  const std::pair<const char*, std::string> kArquivos[] = {
      {"logo.png", GerarPng(96, 96)},      {"imagem.png", GerarPng(320, 180)},
      {"imagem.jpg", GerarJpeg(320, 180)}, {"wallpaper.jpg", GerarJpeg(640, 360)},
      {"imagem.bmp", GerarBmp(64, 48)},    {"aviso.wav", GerarWav()},
  };
  for (const auto& [Nome, Dados] : kArquivos) {
    std::ofstream F(fs::path(APasta) / Nome, std::ios::binary | std::ios::trunc);
    F.write(Dados.data(), static_cast<std::streamsize>(Dados.size()));
    if (!F) {
      AErro = std::string("cannot write ") + Nome;
      return false;
    }
  }
  return true;
}
