// Fuzz target of the chat's text scanner: the unread count, the members it
// picks out of a reply, and the decoding of their JSON escapes.
#include <cstdint>
#include <string>

#include "chat/uChatUnread.h"
#include "fuzz/uFuzzApoio.h"
#include "platform/uTexto.h"

namespace {

// The text as a JSON string body: every character as \u escapes of its UTF-16
// units, as PHP's json_encode writes accents and emoji.
std::string EscaparTudo(const std::string& ATexto) {
  static const char* kHex = "0123456789ABCDEF";
  std::string r;
  for (char16_t u : Utf8ParaUtf16(ATexto)) {
    r += "\\u";
    for (int s = 12; s >= 0; s -= 4) r += kHex[(u >> s) & 15];
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string texto(reinterpret_cast<const char*>(AData), ASize);

  const int32_t n = TChatUnread::ExtrairNaoLidas(texto);
  VERIFICAR(n >= 0);

  // The members the bubble and its toast show, and one key from the input.
  TPartesFuzz partes(AData, ASize);
  const std::string chave = partes.Proxima();
  for (const std::string& k : {std::string("remetente_nome"), std::string("ultimo_remetente"),
                               std::string("preview"), std::string("ultima_mensagem"), chave}) {
    const std::string v = TChatUnread::ExtrairCampoJson(texto, k);
    // Trimmed, and a well-formed reply gives well-formed text.
    VERIFICAR(v == Aparar(v));
    if (Utf8Valido(texto)) VERIFICAR(Utf8Valido(v));
  }

  const std::string d = TChatUnread::DecodificarTextoJson(texto);
  VERIFICAR(d == Aparar(d));
  if (Utf8Valido(texto)) VERIFICAR(Utf8Valido(d));

  // Round trips. A count written by the server reads back as itself.
  const int32_t contagem = static_cast<int32_t>(ASize * 7919 % 2147483647);
  VERIFICAR(TChatUnread::ExtrairNaoLidas("{\"unread\":" + std::to_string(contagem) + "}") ==
            contagem);
  VERIFICAR(TChatUnread::ExtrairNaoLidas("{\"ok\":true,\"NAO_LIDAS\": \"" +
                                         std::to_string(contagem) + "\"}") == contagem);
  // A text escaped whole, inside a reply, decodes to itself trimmed (bad UTF-8
  // as U+FFFD, line breaks as blanks).
  std::string limpo = Utf16ParaUtf8(Utf8ParaUtf16(texto));
  for (char& c : limpo)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  const std::string escapado = EscaparTudo(limpo);
  std::string esperado = Aparar(limpo);
  VERIFICAR(TChatUnread::DecodificarTextoJson(escapado) == esperado);
  VERIFICAR(TChatUnread::ExtrairCampoJson("{\"unread\":1,\"Preview\" : \"" + escapado + "\"}",
                                          "preview") == esperado);
  return 0;
}
