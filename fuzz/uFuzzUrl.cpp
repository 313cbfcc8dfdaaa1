// Fuzz target of query encoding and token masking: an encoded value decodes to
// itself, and no log line keeps a token whole.
#include <cstdint>
#include <string>

#include "config/uConfigINI.h"
#include "fuzz/uFuzzApoio.h"
#include "net/uConvencoes.h"
#include "net/uJsonHelper.h"
#include "platform/uTexto.h"

namespace {

// The token that config.ini holds for the run.
const char* const kTokenConfig = "tok3nDaConfig-0123456789";

int Hex(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// Form decoding as a server does it: "+" a blank, %XX a byte.
bool Decodificar(const std::string& ATexto, std::string& ASaida) {
  ASaida.clear();
  for (size_t i = 0; i < ATexto.size(); ++i) {
    if (ATexto[i] == '+') {
      ASaida += ' ';
    } else if (ATexto[i] == '%') {
      if (i + 2 >= ATexto.size() + 0 || Hex(ATexto[i + 1]) < 0 || Hex(ATexto[i + 2]) < 0)
        return false;
      ASaida += static_cast<char>(Hex(ATexto[i + 1]) * 16 + Hex(ATexto[i + 2]));
      i += 2;
    } else {
      ASaida += ATexto[i];
    }
  }
  return true;
}

// A masked value: "***", or 6 characters, "..." and 4 characters.
bool Mascarado(const std::string& AValor) {
  const std::u16string u = Utf8ParaUtf16(AValor);
  return AValor == "***" || (u.size() == 13 && u.substr(6, 3) == u"...");
}

bool FimDoValor(char c) {
  return c == '&' || c == '"' || c == '\'' || c == '#' || c == '<' || c == '>' ||
         static_cast<unsigned char>(c) <= 32;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  static const bool pronto = [] {
    PastaDaExecucao();
    TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", kTokenConfig);
    return TConfigINI::LerTexto("SERVIDOR", "API_TOKEN", "") == kTokenConfig;
  }();
  VERIFICAR(pronto);
  TPartesFuzz partes(AData, ASize);
  const std::string token = partes.Proxima();
  const std::string texto = partes.Resto();

  // Encoding: only safe characters, and it decodes back to the bytes.
  const std::string cod = CodificarURL(texto);
  for (char c : cod) VERIFICAR(c > 32 && c < 127 && c != '&' && c != '=' && c != '#' && c != '?');
  std::string volta;
  VERIFICAR(Decodificar(cod, volta) && volta == texto);

  // Masking of one token: the mask's shape, and the token gone from the text,
  // raw or encoded.
  VERIFICAR(Mascarado(MascararToken(token)));
  const std::string mascarado =
      MascararTokenNoTexto(texto + " url?t=" + CodificarURL(token), token);
  // A token that begins with its own end ("wwww...w") can be made again by a
  // mask's last characters and the text after it: such tokens are not checked.
  bool borda = false;
  for (size_t k = 1; k < token.size() && !borda; ++k)
    borda = token.compare(0, k, token, token.size() - k, k) == 0;
  const bool seguro = ComprimentoUtf16(token) > 12 && Utf8Valido(token) && !Contem(token, ".") &&
                      !EmBranco(token) && !borda;
  if (seguro) {
    VERIFICAR(!Contem(mascarado, token));
    VERIFICAR(!Contem(mascarado, CodificarURL(token)));
  }
  if (Utf8Valido(texto) && Utf8Valido(token)) VERIFICAR(Utf8Valido(mascarado));

  // The log line: the configured token masked, and every api_token= value too.
  const std::string linha = OcultarToken(texto + "&api_token=" + token + " " + kTokenConfig);
  VERIFICAR(!Contem(linha, kTokenConfig));
  const std::string baixo = MinusculasAscii(linha);
  for (size_t p = baixo.find("api_token="); p != std::string::npos;
       p = baixo.find("api_token=", p + 1)) {
    size_t fim = p + 10;
    while (fim < linha.size() && !FimDoValor(linha[fim])) ++fim;
    const std::string valor = linha.substr(p + 10, fim - p - 10);
    VERIFICAR(valor.empty() || Mascarado(valor));
  }
  return 0;
}
