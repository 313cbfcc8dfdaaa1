// Ready-made command queues for tests and the demo: POST /admin/commands puts
// one of them into the working scenario.
#include <string>

#include "tools/devserver/uServidor.h"

namespace {

using rapidjson::Value;
using TAloc = rapidjson::Document::AllocatorType;

Value Comando(int AId, const char* AComando, const std::string& AToken, TAloc& A) {
  Value O(rapidjson::kObjectType);
  if (AId >= 0) O.AddMember("id", AId, A);
  O.AddMember("comando", Value(AComando, A), A);
  if (!AToken.empty())
    O.AddMember("token", Value(AToken.c_str(), static_cast<rapidjson::SizeType>(AToken.size()), A),
                A);
  return O;
}

}  // namespace

bool AplicarCenarioComandos(TServidor& AServ, const std::string& ACorpo, std::string& AErro) {
  rapidjson::Document D;
  D.Parse(ACorpo.c_str(), ACorpo.size());
  if (D.HasParseError() || !D.IsObject()) {
    AErro = "body must be a JSON object";
    return false;
  }
  auto Texto = [&](const char* N) {
    return D.HasMember(N) && D[N].IsString() ? std::string(D[N].GetString()) : std::string();
  };
  const std::string Tipo = Texto("kind");
  const std::string Token = Texto("token");
  const std::string Retorno = Texto("report");
  const int Quantidade = D.HasMember("count") && D["count"].IsInt() ? D["count"].GetInt() : 10000;

  std::lock_guard L(AServ.TravaCenario);
  auto& C = AServ.Cenario;
  auto& A = C.GetAllocator();
  Value Lista(rapidjson::kArrayType);
  auto Um = [&](int AId, const char* AComando) {
    Lista.PushBack(Comando(AId, AComando, Token, A), A);
  };
  if (Tipo == "each") {
    Um(101, "limpar_cache");
    Um(102, "forcar_update");
    Um(103, "reiniciar");
  } else if (Tipo == "limpar_cache" || Tipo == "forcar_update" || Tipo == "reiniciar") {
    Um(Tipo == "limpar_cache" ? 111 : Tipo == "forcar_update" ? 112 : 113, Tipo.c_str());
  } else if (Tipo == "unknown") {
    Um(201, "formatar_disco");
  } else if (Tipo == "capitals") {
    Um(202, "LIMPAR_CACHE");
  } else if (Tipo == "blanks") {
    Um(203, "  reiniciar  ");
  } else if (Tipo == "no_id") {
    Um(-1, "limpar_cache");
  } else if (Tipo == "two") {
    Um(301, "limpar_cache");
    Um(302, "comando_inexistente");
  } else if (Tipo == "many") {
    for (int i = 0; i < Quantidade; ++i) Um(10000 + i, "noop");
  } else if (Tipo != "empty") {
    AErro = "unknown kind: " + Tipo;
    return false;
  }
  if (C.HasMember("comandos"))
    C["comandos"] = std::move(Lista);
  else
    C.AddMember("comandos", std::move(Lista), A);
  C.RemoveMember("comandos_retornos");
  // The report POST of this queue fails as asked; the list GET stays served.
  TFalha F;
  F.Endpoint = "api/agent_commands.php";
  F.Metodo = "POST";
  F.Tipo = Retorno.empty() ? "none" : Retorno;
  if (!Retorno.empty() && Retorno != "drop" && Retorno != "html500" && Retorno != "delay") {
    AErro = "unknown report fault: " + Retorno;
    return false;
  }
  AServ.DefinirFalha(F);
  return true;
}
