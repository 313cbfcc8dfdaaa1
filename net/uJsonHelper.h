// The JSON side of every server call: the member readers, the one parse of the
// program, and the judging of an answer.
#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <string>
#include <string_view>

// --- JSON readers --------------------------------------------------------------
// AObj may be null or not an object: the default applies. Of two members with
// the same name the first counts.

// The member as text: strings as they are, integers in digits, fractions with
// the system's decimal separator, true/false as words, objects and arrays as
// "". A null member gives the default, as a missing one does.
std::string LerTextoJson(const rapidjson::Value* AObj, std::string_view ANome,
                         const std::string& APadrao);
// LerTextoJson as a decimal 32-bit integer, the default when it is not one.
int32_t LerInteiroJson(const rapidjson::Value* AObj, std::string_view ANome, int32_t APadrao);
// LerTextoJson trimmed and lowered: the default when empty; true for "1",
// "true", "sim", "yes"; false for any other text.
bool LerBooleanoJson(const rapidjson::Value* AObj, std::string_view ANome, bool APadrao);
// LerTextoJson trimmed; the default only when there is no such member or it
// is null.
std::string ObterJsonTexto(const rapidjson::Value* AObj, std::string_view ANome,
                           const std::string& APadrao);
// ObterJsonTexto as a decimal 32-bit integer, the default when it is not one.
int32_t ObterJsonInteiro(const rapidjson::Value* AObj, std::string_view ANome, int32_t APadrao);
// One JSON value as LerTextoJson gives it, except that null is the word "null".
std::string TextoDoValorJson(const rapidjson::Value& AValor);
// The member's value itself (the first of equal names), null when AObj is not
// an object or has no such member.
const rapidjson::Value* MembroJson(const rapidjson::Value* AObj, std::string_view ANome);

// --- parsing -----------------------------------------------------------------------

// Arrays and objects nested deeper than this are refused: no answer of the
// server needs more than a few levels.
constexpr size_t kProfundidadeMaximaJson = 512;

// The one JSON parse of the program: iterative, so that deep nesting in noise
// or a hostile body cannot exhaust the stack, and refused (false, the document
// left null) when the nesting passes kProfundidadeMaximaJson, so that nothing
// that walks the document later meets it either. False on a parse error.
bool AnalisarJson(rapidjson::Document& ADoc, std::string_view ATexto);

// --- judging an answer -----------------------------------------------------------

enum class TTipoResposta { Vazia, ConteudoInvalido, ObjetoJson };

// A body judged the way the services judge it: empty after trimming, not a JSON
// object (an HTML page, a PHP warning before the JSON, an array), or an object.
// A UTF-8 byte-order mark in front is dropped first.
class TRespostaJson {
 public:
  explicit TRespostaJson(std::string_view ACorpo);
  TTipoResposta Tipo() const { return FTipo; }
  // The body without its byte-order mark, for the log lines that quote it.
  const std::string& Corpo() const { return FCorpo; }
  // The object, or null unless Tipo() is ObjetoJson.
  const rapidjson::Value* Objeto() const;

 private:
  std::string FCorpo;
  rapidjson::Document FDoc;
  TTipoResposta FTipo = TTipoResposta::Vazia;
};

// The first AMax characters (UTF-16 code units, no character split), for the
// log lines that quote only part of an answer.
std::string PrimeirosCaracteres(std::string_view ATexto, size_t AMax);
