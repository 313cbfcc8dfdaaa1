// Ready-made notice answers for tests and the demo: POST /admin/notices puts a
// notice list, a link status and an acknowledgement behaviour into the working
// scenario.
#include <string>

#include "tools/devserver/uJsonCenario.h"
#include "tools/devserver/uServidor.h"

namespace {

using rapidjson::Value;
using TAloc = rapidjson::Document::AllocatorType;

// Notices by kind, written as the server would send them; "{base}" and the
// date words are filled in when they are answered.
const char* AvisosDoTipo(const std::string& ATipo) {
  if (ATipo == "media" || ATipo == "unread_again")
    return R"J([{"id":201,"source_table":"avisos","titulo":"Nova politica de seguranca",
"mensagem":"A partir de segunda-feira o acesso ao sistema exige o cracha.\r\n\r\nDuvidas: ramal 2040.",
"created_at":"today 09:15:00","lida":false,"ja_lida":false,
"logo_url":"{base}media/logo.png","imagem_url":"{base}media/imagem.png",
"audio_url":"{base}media/aviso.wav","wallpaper_url":"{base}media/wallpaper.jpg","aplicar_wallpaper":1}])J";
  if (ATipo == "text")
    return R"J([{"id":241,"titulo":"Aviso de texto","mensagem":"Somente texto, sem midia.",
"created_at":"today"}])J";
  if (ATipo == "two")
    return R"J([{"id":211,"source_table":"mensagens","titulo":"Primeiro aviso","mensagem":"Um.",
"created_at":"today","logo_url":"{base}media/logo.png"},
{"id":212,"source_table":"mensagens","titulo":"Segundo aviso","mensagem":"Dois.",
"created_at":"today","logo_url":"{base}media/logo.png"}])J";
  if (ATipo == "yesterday")
    return R"J([{"id":221,"titulo":"Aviso de ontem","mensagem":"Velho.","created_at":"yesterday"}])J";
  if (ATipo == "table")
    return R"J([{"id":231,"source_table":"tarefas","titulo":"Tabela errada","created_at":"today"}])J";
  if (ATipo == "no_id")
    return R"J([{"titulo":"Sem id","created_at":"today"},{"id":"abc","titulo":"Id de letras",
"created_at":"today"},{"id":0,"created_at":"today"}])J";
  // What a broken or hostile server might send: nothing of it may be shown
  // twice or crash the agent.
  if (ATipo == "bad")
    return R"J([{"id":5000000000,"titulo":"Id grande","created_at":"today"},
{"id":-7,"titulo":"Id negativo","created_at":"today"},
{"id":251,"titulo":"Data objeto","created_at":{"dia":"hoje"}},
{"id":252,"titulo":"Data nula","created_at":null},
"texto solto",17,[1,2],
{"id":253,"titulo":"Midias estranhas","mensagem":"Enderecos ruins.","created_at":"today",
"logo_url":"media/logo.png","imagem_url":"file:///etc/passwd","audio_url":"javascript:alert(1)",
"wallpaper_url":"{base}cadastro-colaborador.php","aplicar_wallpaper":"1"}])J";
  if (ATipo == "empty") return "[]";
  return nullptr;
}

using cenario::DefinirMembro;
using cenario::Objeto;

std::string Texto(const rapidjson::Document& D, const char* ANome) {
  return D.HasMember(ANome) && D[ANome].IsString() ? D[ANome].GetString() : "";
}

}  // namespace

bool AplicarCenarioAvisos(TServidor& AServ, const std::string& ACorpo, std::string& AErro) {
  rapidjson::Document D;
  D.Parse(ACorpo.c_str(), ACorpo.size());
  if (D.HasParseError() || !D.IsObject()) {
    AErro = "body must be a JSON object";
    return false;
  }
  const std::string Tipo = Texto(D, "kind"), Vinculo = Texto(D, "link"), Ack = Texto(D, "ack");

  std::lock_guard L(AServ.TravaCenario);
  auto& C = AServ.Cenario;
  auto& A = C.GetAllocator();
  if (!Tipo.empty()) {
    const char* Json = AvisosDoTipo(Tipo);
    if (!Json) {
      AErro = "unknown kind: " + Tipo;
      return false;
    }
    rapidjson::Document Lista;
    Lista.Parse(Json);
    if (Lista.HasParseError()) {
      AErro = "bad built-in list: " + Tipo;
      return false;
    }
    DefinirMembro(C, "mensagens", Value(Lista, A), A);
    DefinirMembro(C, "lidas", Value(rapidjson::kArrayType), A);
    DefinirMembro(C, "reenviar_lidas", Value(Tipo == "unread_again"), A);
  }
  if (!Vinculo.empty()) {
    Value& V = Objeto(C, "vinculo", A);
    if (Vinculo == "not_linked") {
      DefinirMembro(V, "vinculado", Value(false), A);
      DefinirMembro(V, "cpf_pendente", Value(false), A);
    } else if (Vinculo == "cpf_missing") {
      DefinirMembro(V, "vinculado", Value(true), A);
      DefinirMembro(V, "cpf_pendente", Value(true), A);
    } else if (Vinculo == "linked") {
      DefinirMembro(V, "vinculado", Value(true), A);
      DefinirMembro(V, "cpf_pendente", Value(false), A);
    } else {
      AErro = "unknown link: " + Vinculo;
      return false;
    }
  }
  if (!Ack.empty()) {
    Value Respostas(rapidjson::kObjectType);
    if (Ack == "post_not_ok") {
      Respostas.AddMember("post", "{\"ok\":false,\"erro\":\"tente pelo GET\"}", A);
    } else if (Ack == "failing") {
      Respostas.AddMember("post", "{\"ok\":false,\"erro\":\"indisponivel\"}", A);
      Respostas.AddMember("get", "<html><body>Erro 503</body></html>", A);
    } else if (Ack != "ok") {
      AErro = "unknown ack: " + Ack;
      return false;
    }
    DefinirMembro(C, "ack", std::move(Respostas), A);
  }
  return true;
}
