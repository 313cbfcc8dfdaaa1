// The JSON member readers and the judging of a server answer.
#include "net/uJsonHelper.h"

#include <cstdio>

#include "net/uHttpCorpo.h"
#include "platform/uLocalidade.h"
#include "platform/uTexto.h"

namespace {

const rapidjson::Value* Membro(const rapidjson::Value* AObj, std::string_view ANome) {
  if (!AObj || !AObj->IsObject()) return nullptr;
  // A linear walk in document order, so the first of two same-named members wins.
  for (auto it = AObj->MemberBegin(); it != AObj->MemberEnd(); ++it) {
    const rapidjson::Value& nome = it->name;
    if (std::string_view(nome.GetString(), nome.GetStringLength()) == ANome) return &it->value;
  }
  return nullptr;
}

// A fraction as the system writes a floating-point number: up to 15
// significant digits, the locale's separator, "E" for an exponent.
std::string TextoDoReal(double AValor) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", AValor);
  std::string s = buf;
  const size_t e = s.find('E');
  std::string mantissa = s.substr(0, e);
  std::string expoente;
  if (e != std::string::npos) {
    std::string resto = s.substr(e + 1);
    const bool negativo = !resto.empty() && resto[0] == '-';
    if (!resto.empty() && (resto[0] == '-' || resto[0] == '+')) resto.erase(0, 1);
    while (resto.size() > 1 && resto[0] == '0') resto.erase(0, 1);
    expoente = std::string("E") + (negativo ? "-" : "") + resto;
  }
  return SubstituirTudo(mantissa, ".", SeparadorDecimal()) + expoente;
}

// Whether the arrays and objects of the text nest no deeper than the bound.
// Brackets inside strings do not count; for text that is not JSON the count
// only has to be a bound, not exact.
bool ProfundidadeAceita(std::string_view ATexto) {
  size_t profundidade = 0;
  bool emTexto = false;
  for (size_t i = 0; i < ATexto.size(); ++i) {
    const char c = ATexto[i];
    if (emTexto) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        emTexto = false;
    } else if (c == '"') {
      emTexto = true;
    } else if (c == '[' || c == '{') {
      if (++profundidade > kProfundidadeMaximaJson) return false;
    } else if ((c == ']' || c == '}') && profundidade > 0) {
      --profundidade;
    }
  }
  return true;
}

}  // namespace

bool AnalisarJson(rapidjson::Document& ADoc, std::string_view ATexto) {
  ADoc.SetNull();
  if (!ProfundidadeAceita(ATexto)) return false;
  ADoc.Parse<rapidjson::kParseIterativeFlag>(ATexto.data(), ATexto.size());
  if (!ADoc.HasParseError()) return true;
  ADoc.SetNull();
  return false;
}

std::string TextoDoValorJson(const rapidjson::Value& AValor) {
  if (AValor.IsString()) return std::string(AValor.GetString(), AValor.GetStringLength());
  if (AValor.IsBool()) return AValor.GetBool() ? "true" : "false";
  if (AValor.IsNull()) return "null";
  if (AValor.IsInt64()) return std::to_string(AValor.GetInt64());
  if (AValor.IsUint64()) return std::to_string(AValor.GetUint64());
  if (AValor.IsNumber()) return TextoDoReal(AValor.GetDouble());
  return {};  // object or array
}

const rapidjson::Value* MembroJson(const rapidjson::Value* AObj, std::string_view ANome) {
  return Membro(AObj, ANome);
}

std::string LerTextoJson(const rapidjson::Value* AObj, std::string_view ANome,
                         const std::string& APadrao) {
  // A null member is no value: the field keeps its default, rather than the
  // word "null" showing as a title or being fetched as an address.
  const rapidjson::Value* v = Membro(AObj, ANome);
  return v && !v->IsNull() ? TextoDoValorJson(*v) : APadrao;
}

int32_t LerInteiroJson(const rapidjson::Value* AObj, std::string_view ANome, int32_t APadrao) {
  int32_t valor = 0;
  return LerInteiroDecimal32(LerTextoJson(AObj, ANome, ""), valor) ? valor : APadrao;
}

bool LerBooleanoJson(const rapidjson::Value* AObj, std::string_view ANome, bool APadrao) {
  const std::string t = MinusculasAscii(Aparar(LerTextoJson(AObj, ANome, "")));
  if (t.empty()) return APadrao;
  return t == "1" || t == "true" || t == "sim" || t == "yes";
}

std::string ObterJsonTexto(const rapidjson::Value* AObj, std::string_view ANome,
                           const std::string& APadrao) {
  const rapidjson::Value* v = Membro(AObj, ANome);
  return v && !v->IsNull() ? Aparar(TextoDoValorJson(*v)) : APadrao;
}

int32_t ObterJsonInteiro(const rapidjson::Value* AObj, std::string_view ANome, int32_t APadrao) {
  int32_t valor = 0;
  if (!Membro(AObj, ANome)) return APadrao;
  return LerInteiroDecimal32(ObterJsonTexto(AObj, ANome, ""), valor) ? valor : APadrao;
}

TRespostaJson::TRespostaJson(std::string_view ACorpo) : FCorpo(RemoverBomUtf8(ACorpo)) {
  if (EmBranco(FCorpo)) {
    FTipo = TTipoResposta::Vazia;
    return;
  }
  FTipo = AnalisarJson(FDoc, FCorpo) && FDoc.IsObject() ? TTipoResposta::ObjetoJson
                                                        : TTipoResposta::ConteudoInvalido;
}

const rapidjson::Value* TRespostaJson::Objeto() const {
  return FTipo == TTipoResposta::ObjetoJson ? &FDoc : nullptr;
}

std::string PrimeirosCaracteres(std::string_view ATexto, size_t AMax) {
  return CortarUtf16(ATexto, AMax);
}
