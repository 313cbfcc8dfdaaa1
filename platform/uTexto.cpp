// Text helpers shared by the whole agent.
#include "platform/uTexto.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Decodes one code point at i, advancing i; returns U+FFFD for a bad sequence.
char32_t ProximoCodigo(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int n = 0;
  char32_t cp = 0;
  if ((b0 & 0xE0) == 0xC0) {
    n = 1;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 2;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 3;
    cp = b0 & 0x07;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + n >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  for (int k = 1; k <= n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  const bool curto = (n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000);
  if (curto || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return 0xFFFD;
  }
  i += n + 1;
  return cp;
}

void AnexarUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool Branco(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

char Minuscula(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
char Maiuscula(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// windows-1252 bytes 0x80..0x9F; 0 marks the five holes of the code page.
constexpr char16_t kCp1252Alto[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::u16string Utf8ParaUtf16(std::string_view ATexto) {
  std::u16string out;
  out.reserve(ATexto.size());
  size_t i = 0;
  while (i < ATexto.size()) {
    char32_t cp = ProximoCodigo(ATexto, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ParaUtf8(std::u16string_view ATexto) {
  std::string out;
  out.reserve(ATexto.size());
  for (size_t i = 0; i < ATexto.size(); ++i) {
    char32_t c = ATexto[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < ATexto.size() && ATexto[i + 1] >= 0xDC00 &&
        ATexto[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (ATexto[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AnexarUtf8(out, c);
  }
  return out;
}

size_t ComprimentoUtf16(std::string_view ATexto) {
  size_t n = 0;
  size_t i = 0;
  while (i < ATexto.size()) n += ProximoCodigo(ATexto, i) >= 0x10000 ? 2 : 1;
  return n;
}

std::string CortarUtf16(std::string_view ATexto, size_t AMax) {
  size_t n = 0;
  size_t i = 0;
  while (i < ATexto.size()) {
    size_t j = i;
    const size_t unidades = ProximoCodigo(ATexto, j) >= 0x10000 ? 2 : 1;
    if (n + unidades > AMax) break;
    n += unidades;
    i = j;
  }
  return std::string(ATexto.substr(0, i));
}

std::string AparaEsquerda(std::string_view ATexto) {
  size_t a = 0;
  while (a < ATexto.size() && Branco(ATexto[a])) ++a;
  return std::string(ATexto.substr(a));
}

std::string AparaDireita(std::string_view ATexto) {
  size_t b = ATexto.size();
  while (b > 0 && Branco(ATexto[b - 1])) --b;
  return std::string(ATexto.substr(0, b));
}

std::string Aparar(std::string_view ATexto) {
  return AparaDireita(AparaEsquerda(ATexto));
}

bool EmBranco(std::string_view ATexto) {
  return std::all_of(ATexto.begin(), ATexto.end(), Branco);
}

std::string MinusculasAscii(std::string_view ATexto) {
  std::string r(ATexto);
  for (char& c : r) c = Minuscula(c);
  return r;
}

std::string MaiusculasAscii(std::string_view ATexto) {
  std::string r(ATexto);
  for (char& c : r) c = Maiuscula(c);
  return r;
}

bool IgualSemCaixa(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (Minuscula(A[i]) != Minuscula(B[i])) return false;
  return true;
}

bool IniciaComSemCaixa(std::string_view ATexto, std::string_view APrefixo) {
  return ATexto.size() >= APrefixo.size() &&
         IgualSemCaixa(ATexto.substr(0, APrefixo.size()), APrefixo);
}

bool Contem(std::string_view ATexto, std::string_view AParte) {
  return ATexto.find(AParte) != std::string_view::npos;
}

std::string SubstituirTudo(std::string ATexto, std::string_view ADe, std::string_view APara) {
  if (ADe.empty()) return ATexto;
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t k = ATexto.find(ADe, pos);
    if (k == std::string::npos) break;
    out.append(ATexto, pos, k - pos);
    out.append(APara);
    pos = k + ADe.size();
  }
  out.append(ATexto, pos, std::string::npos);
  return out;
}

std::vector<std::string> DividirLinhas(std::string_view ATexto) {
  std::vector<std::string> linhas;
  std::string atual;
  for (size_t i = 0; i < ATexto.size(); ++i) {
    const char c = ATexto[i];
    if (c == '\r' || c == '\n') {
      linhas.push_back(atual);
      atual.clear();
      if (c == '\r' && i + 1 < ATexto.size() && ATexto[i + 1] == '\n') ++i;
    } else {
      atual += c;
    }
  }
  if (!atual.empty()) linhas.push_back(atual);
  return linhas;
}

namespace {

bool LerInteiroBase(std::string_view s, int32_t& valor, bool aceitarHex) {
  if (s.empty()) return false;
  size_t i = 0;
  bool negativo = false;
  int base = 10;
  // Hexadecimal only after a lower-case "0x" at the very start ("$3C", "0X3C"
  // and "-0x3C" are not numbers here).
  if (aceitarHex && s.size() > 2 && s[0] == '0' && s[1] == 'x') {
    base = 16;
    i = 2;
  } else if (s[0] == '-' || s[0] == '+') {
    negativo = s[0] == '-';
    i = 1;
  }
  if (i >= s.size()) return false;
  int64_t acc = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return false;
    }
    acc = acc * base + d;
    if (acc > (base == 16 ? int64_t{0xFFFFFFFF} : int64_t{2147483648})) return false;
  }
  if (base == 16) {
    // Hexadecimal covers the full 32 bits, as the Windows readers do.
    valor = static_cast<int32_t>(static_cast<uint32_t>(acc));
    return true;
  }
  if (negativo) acc = -acc;
  if (acc > std::numeric_limits<int32_t>::max() || acc < std::numeric_limits<int32_t>::min())
    return false;
  valor = static_cast<int32_t>(acc);
  return true;
}

}  // namespace

bool LerInteiro32(std::string_view ATexto, int32_t& AValor) {
  return LerInteiroBase(ATexto, AValor, true);
}

bool LerInteiroDecimal32(std::string_view ATexto, int32_t& AValor) {
  return LerInteiroBase(ATexto, AValor, false);
}

std::string Cp1252ParaUtf8(std::string_view ABytes) {
  std::string out;
  out.reserve(ABytes.size());
  for (char ch : ABytes) {
    const auto b = static_cast<unsigned char>(ch);
    char32_t cp = b;
    if (b >= 0x80 && b <= 0x9F) cp = kCp1252Alto[b - 0x80] ? kCp1252Alto[b - 0x80] : b;
    AnexarUtf8(out, cp);
  }
  return out;
}

std::string Utf8ParaCp1252(std::string_view ATexto) {
  std::string out;
  size_t i = 0;
  while (i < ATexto.size()) {
    const char32_t cp = ProximoCodigo(ATexto, i);
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    char r = '?';
    for (int k = 0; k < 32; ++k)
      if (kCp1252Alto[k] != 0 && kCp1252Alto[k] == cp) r = static_cast<char>(0x80 + k);
    out += r;
  }
  return out;
}

bool Utf8Valido(std::string_view ABytes) {
  size_t i = 0;
  while (i < ABytes.size()) {
    const size_t antes = i;
    const char32_t cp = ProximoCodigo(ABytes, i);
    if (cp == 0xFFFD) {
      // A literal U+FFFD is three bytes EF BF BD; anything else was a bad sequence.
      if (!(i - antes == 3 && static_cast<unsigned char>(ABytes[antes]) == 0xEF)) return false;
    }
  }
  return true;
}
