// Signature formats, Base64 and hexadecimal: the same on every system.
#include <cstring>

#include "platform/uCripto.h"

namespace {

// DER SubjectPublicKeyInfo of an id-ecPublicKey on prime256v1, up to the point.
const unsigned char kPrefixoSpkiP256[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                          0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                          0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};

int ValorBase64(char C) {
  if (C >= 'A' && C <= 'Z') return C - 'A';
  if (C >= 'a' && C <= 'z') return C - 'a' + 26;
  if (C >= '0' && C <= '9') return C - '0' + 52;
  if (C == '+' || C == '-') return 62;
  if (C == '/' || C == '_') return 63;
  return -1;
}

// One DER INTEGER at APos, as 32 big-endian bytes.
bool InteiroDer(std::string_view A, size_t& APos, std::string& ASaida) {
  if (APos + 2 > A.size() || static_cast<unsigned char>(A[APos]) != 0x02) return false;
  size_t n = static_cast<unsigned char>(A[APos + 1]);
  APos += 2;
  if (n == 0 || n > 33 || APos + n > A.size()) return false;
  std::string_view v = A.substr(APos, n);
  APos += n;
  while (v.size() > 1 && v.front() == '\0') v.remove_prefix(1);
  if (v.size() > 32) return false;
  ASaida += std::string(32 - v.size(), '\0');
  ASaida += v;
  return true;
}

}  // namespace

bool PontoDaChaveP256(std::string_view AChaveSpki, std::string& APonto) {
  const size_t np = sizeof(kPrefixoSpkiP256);
  if (AChaveSpki.size() != np + 65 || std::memcmp(AChaveSpki.data(), kPrefixoSpkiP256, np) != 0 ||
      AChaveSpki[np] != '\x04')
    return false;
  APonto.assign(AChaveSpki.substr(np));
  return true;
}

bool AssinaturaParaRs(std::string_view A, std::string& ARs) {
  ARs.clear();
  // DER first: with short r and s a DER signature is 64 bytes long too, and a
  // raw r || s that also reads as a whole DER SEQUENCE is far rarer.
  if (A.size() >= 8 && static_cast<unsigned char>(A[0]) == 0x30 &&
      static_cast<size_t>(static_cast<unsigned char>(A[1])) + 2 == A.size()) {
    size_t pos = 2;
    if (InteiroDer(A, pos, ARs) && InteiroDer(A, pos, ARs) && pos == A.size()) return true;
    ARs.clear();
  }
  if (A.size() != 64) return false;
  ARs.assign(A);
  return true;
}

bool DecodificarBase64(std::string_view ATexto, std::string& ABytes) {
  ABytes.clear();
  uint32_t acumulado = 0;
  int bits = 0;
  bool fim = false;
  for (char c : ATexto) {
    if (c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
    if (c == '=') {
      fim = true;
      continue;
    }
    const int v = ValorBase64(c);
    if (v < 0 || fim) return false;
    acumulado = (acumulado << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      ABytes += static_cast<char>((acumulado >> bits) & 0xFF);
    }
  }
  // Six bits left over cannot come from whole bytes.
  return bits < 6;
}

std::string CodificarBase64(std::string_view ABytes) {
  static const char kTabela[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string s;
  size_t i = 0;
  for (; i + 3 <= ABytes.size(); i += 3) {
    const uint32_t v = (static_cast<unsigned char>(ABytes[i]) << 16) |
                       (static_cast<unsigned char>(ABytes[i + 1]) << 8) |
                       static_cast<unsigned char>(ABytes[i + 2]);
    s += kTabela[(v >> 18) & 63], s += kTabela[(v >> 12) & 63];
    s += kTabela[(v >> 6) & 63], s += kTabela[v & 63];
  }
  if (i < ABytes.size()) {
    uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(ABytes[i])) << 16;
    const bool dois = i + 1 < ABytes.size();
    if (dois) v |= static_cast<uint32_t>(static_cast<unsigned char>(ABytes[i + 1])) << 8;
    s += kTabela[(v >> 18) & 63], s += kTabela[(v >> 12) & 63];
    s += dois ? kTabela[(v >> 6) & 63] : '=';
    s += '=';
  }
  return s;
}

bool DecodificarHex(std::string_view ATexto, std::string& ABytes) {
  ABytes.clear();
  if (ATexto.size() % 2 != 0) return false;
  auto digito = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < ATexto.size(); i += 2) {
    const int a = digito(ATexto[i]), b = digito(ATexto[i + 1]);
    if (a < 0 || b < 0) return false;
    ABytes += static_cast<char>(a * 16 + b);
  }
  return true;
}
