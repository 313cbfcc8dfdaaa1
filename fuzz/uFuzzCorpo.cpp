// Fuzz target of body decoding: inflating by Content-Encoding within its bound,
// the charset of a Content-Type, and decoding to UTF-8 by it.
#include <zlib.h>

#include <cstdint>
#include <string>

#include "fuzz/uFuzzApoio.h"
#include "net/uHttpCorpo.h"
#include "platform/uErros.h"
#include "platform/uTexto.h"

namespace {

constexpr size_t kLimite = 1 << 20;

// The bytes compressed by zlib with the given window bits (31 gzip, 15 zlib,
// -15 raw deflate).
std::string Comprimir(const std::string& ABytes, int AJanela) {
  z_stream z{};
  VERIFICAR(deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, AJanela, 8, Z_DEFAULT_STRATEGY) ==
            Z_OK);
  std::string saida(deflateBound(&z, ABytes.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(ABytes.data()));
  z.avail_in = static_cast<uInt>(ABytes.size());
  z.next_out = reinterpret_cast<Bytef*>(saida.data());
  z.avail_out = static_cast<uInt>(saida.size());
  VERIFICAR(deflate(&z, Z_FINISH) == Z_STREAM_END);
  saida.resize(z.total_out);
  deflateEnd(&z);
  return saida;
}

// The body inflated, or false when the inflating refused it with its error.
bool Inflar(const std::string& ABytes, const std::string& ACodificacao, std::string& ASaida,
            size_t ALimite = kLimite) {
  try {
    ASaida = InflarCorpoAte(std::string(ABytes), ACodificacao, ALimite);
    return true;
  } catch (const EHttpErro&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TPartesFuzz partes(AData, ASize);
  const std::string codificacao = partes.Proxima();
  const std::string tipo = partes.Proxima();
  const std::string corpo = partes.Resto();

  // Any body under any coding: its error or a body within the bound (each
  // coding undone may grow it up to the bound).
  std::string saida;
  if (Inflar(corpo, codificacao, saida)) {
    const std::string c = MinusculasAscii(codificacao);
    if (!Contem(c, "gzip") && !Contem(c, "deflate"))
      VERIFICAR(saida == corpo);
    else
      VERIFICAR(saida.size() <= kLimite || corpo.size() > kLimite);
  }

  // Round trips of what servers send: gzip, zlib and raw deflate.
  VERIFICAR(Inflar(Comprimir(corpo, 31), "gzip", saida) && saida == corpo);
  VERIFICAR(Inflar(Comprimir(corpo, 31), " X-GZIP ", saida) && saida == corpo);
  VERIFICAR(Inflar(Comprimir(corpo, 15), "deflate", saida) && saida == corpo);
  VERIFICAR(Inflar(Comprimir(corpo, -15), "deflate", saida) && saida == corpo);
  VERIFICAR(Inflar(Comprimir(Comprimir(corpo, 15), 31), "deflate, gzip", saida) && saida == corpo);
  // Past the bound it fails instead of growing.
  if (!corpo.empty()) VERIFICAR(!Inflar(Comprimir(corpo, 31), "gzip", saida, corpo.size() - 1));
  // Cut short, a stream is an error, never a shorter body taken for the whole.
  const std::string gz = Comprimir(corpo, 31);
  VERIFICAR(!Inflar(gz.substr(0, gz.size() - 1 - ASize % 8), "gzip", saida));
  // Two gzip members one after the other make one body.
  if (Inflar(gz + Comprimir(tipo, 31), "gzip", saida)) VERIFICAR(saida == corpo + tipo);

  // The charset parameter: lower case, without blanks or quotes at its ends.
  const std::string cs = CharsetDoTipo(tipo);
  VERIFICAR(cs == MinusculasAscii(cs) && cs == Aparar(cs));
  VERIFICAR(CharsetDoTipo("text/html; charset=\"" + cs + "\"") == cs || cs.empty() ||
            Contem(cs, ";") || Contem(cs, "\"") || Contem(cs, "'"));

  // Decoding never fails and always gives well-formed UTF-8.
  const std::string texto = DecodificarTexto(corpo, tipo);
  VERIFICAR(Utf8Valido(texto));
  for (const char* t : {"text/plain; charset=iso-8859-1", "text/plain; charset=windows-1252",
                        "text/plain; charset=us-ascii", "text/plain; charset=utf-16le",
                        "text/plain; charset=utf-16be", "text/plain; charset=utf-16",
                        "application/json; charset=utf-8", "application/json; charset=koi8-r", ""})
    VERIFICAR(Utf8Valido(DecodificarTexto(corpo, t)));
  // Well-formed UTF-8 passes unchanged but for its mark; Latin-1 and
  // windows-1252 keep one character per byte.
  if (Utf8Valido(corpo)) VERIFICAR(DecodificarTexto(corpo, "text/html") == RemoverBomUtf8(corpo));
  const std::u16string latin = Utf8ParaUtf16(DecodificarTexto(corpo, "text/html;charset=latin1"));
  VERIFICAR(latin.size() == corpo.size());
  for (size_t i = 0; i < latin.size(); ++i)
    VERIFICAR(latin[i] == static_cast<unsigned char>(corpo[i]));
  bool semPar = false;  // bytes windows-1252 gives no character
  for (unsigned char c : corpo)
    semPar = semPar || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
  if (!semPar)
    VERIFICAR(Utf8ParaCp1252(DecodificarTexto(corpo, "text/html; charset=Windows-1252")) == corpo);
  return 0;
}
