// Fuzz target of the signature formats: Base64 and hexadecimal of the update
// manifest, the DER signature made r || s, and the pinned public key.
#include <cstdint>
#include <string>

#include "fuzz/uFuzzApoio.h"
#include "platform/uCripto.h"

namespace {

// One DER INTEGER of 32 big-endian bytes, as OpenSSL writes it: leading zero
// bytes dropped, a zero in front when the top bit is set.
std::string InteiroDer(std::string_view ABytes) {
  while (ABytes.size() > 1 && ABytes.front() == '\0') ABytes.remove_prefix(1);
  std::string v(ABytes);
  if (static_cast<unsigned char>(v[0]) & 0x80) v.insert(v.begin(), '\0');
  return std::string{'\x02', static_cast<char>(v.size())} + v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string bytes(reinterpret_cast<const char*>(AData), ASize);

  // Base64: what decodes, encodes back to a text that decodes the same; any
  // bytes survive the round trip, with or without padding or line breaks.
  std::string d, e;
  if (DecodificarBase64(bytes, d)) VERIFICAR(DecodificarBase64(CodificarBase64(d), e) && e == d);
  const std::string b64 = CodificarBase64(bytes);
  VERIFICAR(b64.size() == (bytes.size() + 2) / 3 * 4);
  VERIFICAR(DecodificarBase64(b64, d) && d == bytes);
  std::string semPad = b64;
  while (!semPad.empty() && semPad.back() == '=') semPad.pop_back();
  std::string quebrado;
  for (size_t i = 0; i < semPad.size(); ++i)
    quebrado += (i % 64 == 63 ? "\r\n" : "") + semPad.substr(i, 1);
  VERIFICAR(DecodificarBase64(quebrado, d) && d == bytes);

  // Hexadecimal: the round trip, in either case.
  static const char* kHex = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) hex += std::string{kHex[c >> 4], kHex[c & 15]};
  VERIFICAR(DecodificarHex(hex, d) && d == bytes);
  if (DecodificarHex(bytes, d)) VERIFICAR(d.size() * 2 == bytes.size());

  // Signatures: what is accepted is r || s, and a DER signature of any r and s
  // comes out as them.
  std::string rs;
  if (AssinaturaParaRs(bytes, rs))
    VERIFICAR(rs.size() == 64);
  else
    VERIFICAR(rs.empty());
  if (ASize >= 64) {
    const std::string r = bytes.substr(0, 32), s = bytes.substr(32, 32);
    const std::string corpo = InteiroDer(r) + InteiroDer(s);
    const std::string der = std::string{'\x30', static_cast<char>(corpo.size())} + corpo;
    VERIFICAR(AssinaturaParaRs(der, rs) && rs == r + s);
  }

  // The key: a SubjectPublicKeyInfo is either the P-256 one with its point or
  // refused, and a signature check on noise never passes nor crashes.
  std::string ponto;
  if (PontoDaChaveP256(bytes, ponto)) VERIFICAR(ponto.size() == 65 && ponto[0] == '\x04');
  if (ASize >= 91 + 32 + 64) {
    VERIFICAR(
        !VerificarEcdsaP256(bytes.substr(0, 91), bytes.substr(91, 32), bytes.substr(123, 64)) ||
        PontoDaChaveP256(bytes.substr(0, 91), ponto));
  }
  std::string ansi;
  if (Utf8ParaAnsi(bytes, ansi)) VERIFICAR(!ansi.empty() || bytes.empty());
  return 0;
}
