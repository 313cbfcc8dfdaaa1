// Chat server endpoints: unread count, mark all read, and the chat page itself.
#include "tools/devserver/uServidor.h"

namespace {

using rapidjson::Value;

std::string Aparar(const std::string& T) {
  size_t I = 0, F = T.size();
  while (I < F && static_cast<unsigned char>(T[I]) <= 32) ++I;
  while (F > I && static_cast<unsigned char>(T[F - 1]) <= 32) --F;
  return T.substr(I, F - I);
}

std::string Texto(const Value& O, const char* ANome, const std::string& APadrao = "") {
  if (!O.IsObject() || !O.HasMember(ANome)) return APadrao;
  const Value& V = O[ANome];
  if (V.IsString()) return {V.GetString(), V.GetStringLength()};
  if (V.IsNumber() || V.IsBool()) return JsonTexto(V);
  return APadrao;
}

Value& Chat(TServidor& S) {
  auto& C = S.Cenario;
  if (!C.HasMember("chat") || !C["chat"].IsObject())
    C.RemoveMember("chat"), C.AddMember("chat", Value(rapidjson::kObjectType), C.GetAllocator());
  return C["chat"];
}

bool TokenValido(TServidor& S, const TPedido& P, TResposta& R) {
  std::string Esperado = Aparar(Texto(S.Cenario, "api_token"));
  std::string Dado = Aparar(P.Valor("api_token", P.Valor("token")));
  if (!Esperado.empty() && Dado == Esperado) return true;
  R.Status = 401;
  R.Corpo = "{\"ok\":false,\"erro\":\"token invalido\"}";
  return false;
}

void Unread(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  Value& C = Chat(S);
  int N = C.HasMember("unread") && C["unread"].IsInt() ? C["unread"].GetInt() : 0;
  R.Corpo = "{\"ok\":true,\"unread\":" + std::to_string(N) +
            ",\"remetente_nome\":" + EscaparJson(Texto(C, "remetente_nome")) +
            ",\"preview\":" + EscaparJson(Texto(C, "preview")) + "}";
}

void MarcarLidas(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  Value& C = Chat(S);
  if (C.HasMember("unread"))
    C["unread"].SetInt(0);
  else
    C.AddMember("unread", 0, S.Cenario.GetAllocator());
  R.Corpo = "{\"ok\":true}";
}

void Pagina(TServidor& S, const TPedido& P, TResposta& R) {
  std::string Remetente, Preview;
  int N = 0;
  {
    std::lock_guard L(S.TravaCenario);
    Value& C = Chat(S);
    N = C.HasMember("unread") && C["unread"].IsInt() ? C["unread"].GetInt() : 0;
    Remetente = Texto(C, "remetente_nome");
    Preview = Texto(C, "preview");
  }
  R.Tipo = "text/html; charset=utf-8";
  R.Corpo =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Chat - Comunicação interna</title>"
      "<style>body{font-family:Segoe UI,sans-serif;margin:0;background:#f3f5f9}"
      "header{background:#1f4e8c;color:#fff;padding:12px 16px;font-size:16px}"
      ".msg{background:#fff;margin:12px 16px;padding:10px 12px;border-radius:8px;"
      "box-shadow:0 1px 2px #0002}.de{color:#1f4e8c;font-weight:600}</style></head><body>"
      "<header>Chat - Comunicação interna</header>"
      "<div class=\"msg\"><span class=\"de\">" +
      EscaparHtml(Remetente.empty() ? "Vesk Chat" : Remetente) + "</span><br>" +
      EscaparHtml(Preview.empty() ? "Nenhuma mensagem nova." : Preview) +
      "</div><div class=\"msg\">Computador: " + EscaparHtml(P.Valor("computador", P.Valor("pc"))) +
      " &middot; Usuario: " + EscaparHtml(P.Valor("usuario", P.Valor("user"))) +
      " &middot; Nao lidas: " + std::to_string(N) + "</div></body></html>";
}

}  // namespace

const std::map<std::string, TManipulador>& RotasChat() {
  static const std::map<std::string, TManipulador> kRotas = {
      {"api/agent_chat_unread.php", Unread},
      {"api/agent_chat_mark_read_all.php", MarcarLidas},
      {"chat_agent.php", Pagina},
  };
  return kRotas;
}
