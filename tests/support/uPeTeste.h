// A minimal Windows executable image for tests: headers, one resource section
// with a version resource, and filler up to the size asked for.
#pragma once

#include <cstdint>
#include <string>

namespace pe_teste {

inline void U16(std::string& S, size_t P, uint16_t V) {
  S[P] = static_cast<char>(V & 0xFF);
  S[P + 1] = static_cast<char>(V >> 8);
}
inline void U32(std::string& S, size_t P, uint32_t V) {
  for (int i = 0; i < 4; ++i) S[P + i] = static_cast<char>((V >> (8 * i)) & 0xFF);
}

// An image whose file version is a.b.c.d; no version resource when AComVersao
// is false. ANomeOriginal is its "OriginalFilename" string (none when null).
inline std::string Executavel(uint16_t A, uint16_t B, uint16_t C, uint16_t D,
                              size_t ATamanho = 4096, bool AComVersao = true,
                              const char* ANomeOriginal = "Zelvan.exe") {
  std::string s(std::max<size_t>(ATamanho, 0x400), '\0');
  s[0] = 'M', s[1] = 'Z';
  U32(s, 0x3C, 0x40);
  s.replace(0x40, 4, std::string("PE\0\0", 4));
  U16(s, 0x44, 0x8664);
  U16(s, 0x46, 1);    // sections
  U16(s, 0x54, 240);  // optional header size
  U16(s, 0x56, 0x22);
  const size_t opt = 0x58;
  U16(s, opt, 0x20b);
  U32(s, opt + 108, 16);  // data directories
  const uint32_t va = 0x1000, raw = 0x200;
  if (AComVersao) {
    U32(s, opt + 112 + 16, va);
    U32(s, opt + 112 + 20, 0x100);
  }
  const size_t sec = opt + 240;
  s.replace(sec, 6, ".rsrc\0", 6);
  U32(s, sec + 8, 0x100);
  U32(s, sec + 12, va);
  U32(s, sec + 16, 0x200);
  U32(s, sec + 20, raw);
  // type 16 -> name 1 -> language 0x416 -> data
  U16(s, raw + 14, 1);
  U32(s, raw + 16, 16);
  U32(s, raw + 20, 0x80000018u);
  U16(s, raw + 0x18 + 14, 1);
  U32(s, raw + 0x18 + 16, 1);
  U32(s, raw + 0x18 + 20, 0x80000030u);
  U16(s, raw + 0x30 + 14, 1);
  U32(s, raw + 0x30 + 16, 0x416);
  U32(s, raw + 0x30 + 20, 0x48);
  U32(s, raw + 0x48, va + 0x58);
  U32(s, raw + 0x48 + 4, 92);
  const size_t vi = raw + 0x58;
  U16(s, vi, 92);
  U16(s, vi + 2, 52);
  const char* chave = "VS_VERSION_INFO";
  for (int i = 0; chave[i]; ++i) U16(s, vi + 6 + 2 * i, static_cast<uint16_t>(chave[i]));
  const size_t ff = vi + 40;
  U32(s, ff, 0xFEEF04BDu);
  U32(s, ff + 4, 0x10000);
  U32(s, ff + 8, (static_cast<uint32_t>(A) << 16) | B);
  U32(s, ff + 12, (static_cast<uint32_t>(C) << 16) | D);
  if (ANomeOriginal) {
    // One String after the fixed information: key, padding to 4, value.
    const size_t str = vi + 92;
    const std::string chave = "OriginalFilename";
    for (size_t i = 0; i < chave.size(); ++i)
      U16(s, str + 6 + 2 * i, static_cast<uint16_t>(chave[i]));
    size_t v = str + 6 + 2 * (chave.size() + 1);
    v += (4 - v % 4) % 4;
    size_t i = 0;
    for (; ANomeOriginal[i]; ++i) U16(s, v + 2 * i, static_cast<uint16_t>(ANomeOriginal[i]));
    const size_t fim = v + 2 * (i + 1);
    U16(s, str, static_cast<uint16_t>(fim - str));
    U16(s, str + 2, static_cast<uint16_t>(i + 1));
    U16(s, str + 4, 1);
    U32(s, raw + 0x48 + 4, static_cast<uint32_t>(fim - vi));
  }
  return s;
}

}  // namespace pe_teste
