// Fuzz target of the JSON readers: the judging of a server answer and the
// member readers over every object of it.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/uFuzzApoio.h"
#include "net/uHttpCorpo.h"
#include "net/uJsonHelper.h"
#include "platform/uTexto.h"

namespace {

// JSON string literal of a UTF-8 text, every character outside ASCII as \u
// escapes (a surrogate pair above the BMP), as PHP's json_encode writes it.
std::string LiteralJson(const std::string& ATexto) {
  static const char* kHex = "0123456789abcdef";
  std::string r = "\"";
  for (char16_t u : Utf8ParaUtf16(ATexto)) {
    if (u >= 0x20 && u < 0x7F && u != '"' && u != '\\') {
      r += static_cast<char>(u);
      continue;
    }
    r += "\\u";
    for (int s = 12; s >= 0; s -= 4) r += kHex[(u >> s) & 15];
  }
  return r + "\"";
}

// The readers of one object agree with each other and with the value read.
void VerificarObjeto(const rapidjson::Value& AObj) {
  std::vector<std::string> vistos;
  for (auto it = AObj.MemberBegin(); it != AObj.MemberEnd(); ++it) {
    const std::string nome(it->name.GetString(), it->name.GetStringLength());
    // Of two members with one name the first counts: only it is checked.
    bool repetido = false;
    for (const std::string& v : vistos) repetido = repetido || v == nome;
    if (repetido) continue;
    vistos.push_back(nome);
    const rapidjson::Value& v = it->value;
    VERIFICAR(MembroJson(&AObj, nome) == &v);
    const std::string texto = LerTextoJson(&AObj, nome, "\x01padrao");
    if (v.IsNull()) {
      // "null" as a word, or the default where null takes its field's default.
      VERIFICAR(texto == "null" || texto == "\x01padrao");
    } else {
      VERIFICAR(texto == TextoDoValorJson(v));
    }
    if (v.IsObject() || v.IsArray()) VERIFICAR(texto.empty());
    if (v.IsString()) VERIFICAR(texto == std::string(v.GetString(), v.GetStringLength()));
    const std::string obtido = ObterJsonTexto(&AObj, nome, "\x01padrao");
    VERIFICAR(obtido == Aparar(texto) || (v.IsNull() && obtido == "\x01padrao"));

    int32_t esperado = 0;
    const bool inteiro = LerInteiroDecimal32(texto, esperado);
    const int32_t lido = LerInteiroJson(&AObj, nome, -7);
    VERIFICAR(lido == (inteiro ? esperado : -7));
    if (v.IsInt()) VERIFICAR(lido == v.GetInt());
    const int32_t obtidoInt = ObterJsonInteiro(&AObj, nome, -7);
    int32_t esperadoObtido = 0;
    VERIFICAR(obtidoInt == (LerInteiroDecimal32(obtido, esperadoObtido) ? esperadoObtido : -7) ||
              (v.IsNull() && obtidoInt == -7));

    const std::string b = MinusculasAscii(Aparar(texto));
    const bool booleano = LerBooleanoJson(&AObj, nome, false);
    if (!b.empty()) VERIFICAR(booleano == (b == "1" || b == "true" || b == "sim" || b == "yes"));
    if (v.IsBool()) VERIFICAR(booleano == v.GetBool());
  }
  // A member that is not there gives the default. (Not written "\x02ausente":
  // "\x02a" is one hexadecimal escape, "*", and "*usente" a name the fuzzer
  // writes.)
  static const std::string kAusente = std::string(1, '\x02') + "ausente";
  for (const std::string& v : vistos)
    if (v == kAusente) return;
  VERIFICAR(MembroJson(&AObj, kAusente) == nullptr);
  VERIFICAR(LerTextoJson(&AObj, kAusente, "p") == "p");
  VERIFICAR(ObterJsonTexto(&AObj, kAusente, "p") == "p");
  VERIFICAR(LerInteiroJson(&AObj, kAusente, 5) == 5);
  VERIFICAR(ObterJsonInteiro(&AObj, kAusente, 5) == 5);
  VERIFICAR(LerBooleanoJson(&AObj, kAusente, true));
}

// Every object of the document, nested ones too, walked without recursion.
void VerificarDocumento(const rapidjson::Value& ARaiz) {
  std::vector<const rapidjson::Value*> pilha{&ARaiz};
  size_t visitados = 0;
  while (!pilha.empty() && visitados < 2000) {
    const rapidjson::Value* v = pilha.back();
    pilha.pop_back();
    ++visitados;
    if (v->IsObject()) {
      VerificarObjeto(*v);
      for (auto it = v->MemberBegin(); it != v->MemberEnd(); ++it) pilha.push_back(&it->value);
    } else if (v->IsArray()) {
      // A reader given an array, or a scalar, finds no member.
      VERIFICAR(MembroJson(v, "") == nullptr);
      VERIFICAR(LerTextoJson(v, "a", "p") == "p");
      for (auto it = v->Begin(); it != v->End(); ++it) pilha.push_back(&*it);
    } else {
      VERIFICAR(MembroJson(v, "") == nullptr);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string corpo(reinterpret_cast<const char*>(AData), ASize);
  const TRespostaJson r(corpo);
  VERIFICAR(r.Corpo() == RemoverBomUtf8(corpo));
  switch (r.Tipo()) {
    case TTipoResposta::Vazia:
      VERIFICAR(EmBranco(r.Corpo()));
      VERIFICAR(r.Objeto() == nullptr);
      break;
    case TTipoResposta::ConteudoInvalido:
      VERIFICAR(!EmBranco(r.Corpo()));
      VERIFICAR(r.Objeto() == nullptr);
      break;
    case TTipoResposta::ObjetoJson:
      VERIFICAR(r.Objeto() != nullptr && r.Objeto()->IsObject());
      VerificarDocumento(*r.Objeto());
      break;
  }

  // The quoted part of an answer: a prefix, never a character cut in two.
  for (size_t n : {size_t{0}, size_t{1}, size_t{7}, size_t{220}}) {
    const std::string p = PrimeirosCaracteres(corpo, n);
    VERIFICAR(std::string_view(corpo).starts_with(p) || !Utf8Valido(corpo));
    if (Utf8Valido(corpo)) {
      VERIFICAR(Utf8Valido(p));
      VERIFICAR(ComprimentoUtf16(p) <= n);
    }
  }

  // Round trip: the input as a text member, escaped as the server writes it,
  // reads back as the same text (bad UTF-8 as U+FFFD, as everywhere).
  const std::string texto = Utf8Valido(corpo) ? corpo : Utf16ParaUtf8(Utf8ParaUtf16(corpo));
  const TRespostaJson eco("{\"t\":" + LiteralJson(texto) + ",\"t\":1}");
  VERIFICAR(eco.Tipo() == TTipoResposta::ObjetoJson);
  VERIFICAR(LerTextoJson(eco.Objeto(), "t", "") == texto);
  int32_t n = 0;
  if (LerInteiroDecimal32(texto, n)) {
    const TRespostaJson numero("{\"n\":" + std::to_string(n) + "}");
    VERIFICAR(LerInteiroJson(numero.Objeto(), "n", 0) == n);
    VERIFICAR(ObterJsonInteiro(numero.Objeto(), "n", 0) == n);
  }
  return 0;
}
