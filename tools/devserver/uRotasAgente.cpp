// Agent endpoints of the intranet: configuration, heartbeat, inventory, notices and
// their acknowledgement, employee link, tasks, remote commands and the update manifest.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "tools/devserver/uServidor.h"

namespace {

using rapidjson::Value;
using TAloc = rapidjson::Document::AllocatorType;

std::string Aparar(std::string T) {
  size_t I = 0, F = T.size();
  while (I < F && static_cast<unsigned char>(T[I]) <= 32) ++I;
  while (F > I && static_cast<unsigned char>(T[F - 1]) <= 32) --F;
  return T.substr(I, F - I);
}

std::string Minusculas(std::string T) {
  for (char& C : T) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  return T;
}

std::string Maiusculas(std::string T) {
  for (char& C : T) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return T;
}

const Value* Membro(const Value& O, const char* ANome) {
  if (!O.IsObject()) return nullptr;
  auto It = O.FindMember(ANome);
  return It == O.MemberEnd() ? nullptr : &It->value;
}

Value* Membro(Value& O, const char* ANome) {
  return const_cast<Value*>(Membro(static_cast<const Value&>(O), ANome));
}

std::string Texto(const Value& O, const char* ANome, const std::string& APadrao = "") {
  const Value* V = Membro(O, ANome);
  if (!V) return APadrao;
  if (V->IsString()) return {V->GetString(), V->GetStringLength()};
  if (V->IsNull()) return APadrao;
  if (V->IsBool()) return V->GetBool() ? "true" : "false";
  if (V->IsNumber()) return JsonTexto(*V);
  return APadrao;
}

bool Booleano(const Value& O, const char* ANome, bool APadrao) {
  const Value* V = Membro(O, ANome);
  if (!V) return APadrao;
  if (V->IsBool()) return V->GetBool();
  std::string T = Minusculas(Aparar(Texto(O, ANome)));
  return T == "1" || T == "true" || T == "sim" || T == "yes";
}

long long Inteiro(const std::string& T, long long APadrao) {
  std::string A = Aparar(T);
  if (A.empty()) return APadrao;
  char* Fim = nullptr;
  long long V = std::strtoll(A.c_str(), &Fim, 10);
  return *Fim ? APadrao : V;
}

Value Copia(const Value& V, TAloc& A) {
  return Value(V, A);
}

void Definir(Value& O, const char* ANome, Value V, TAloc& A) {
  auto It = O.FindMember(ANome);
  if (It != O.MemberEnd())
    It->value = std::move(V);
  else
    O.AddMember(Value(ANome, A), std::move(V), A);
}

Value Str(const std::string& T, TAloc& A) {
  return Value(T.c_str(), static_cast<rapidjson::SizeType>(T.size()), A);
}

std::string Erro(const std::string& AMotivo) {
  return "{\"ok\":false,\"erro\":" + EscaparJson(AMotivo) + "}";
}

// The API token travels in the query (GET) or in the form (POST).
bool TokenValido(TServidor& S, const TPedido& P, TResposta& R) {
  std::string Esperado = Aparar(Texto(S.Cenario, "api_token"));
  if (Aparar(P.Valor("api_token")) == Esperado && !Esperado.empty()) return true;
  R.Status = 401;
  R.Corpo = Erro("token invalido");
  return false;
}

// Scenario dates: "today" and "yesterday", optionally followed by a time.
std::string DataCenario(const std::string& T) {
  struct {
    const char* Palavra;
    int Dias;
  } const kPalavras[] = {{"today", 0}, {"yesterday", -1}, {"tomorrow", 1}};
  for (const auto& W : kPalavras) {
    std::string P = W.Palavra;
    if (T.compare(0, P.size(), P) != 0) continue;
    std::string Hora = Aparar(T.substr(P.size()));
    return DataHoje(W.Dias) + " " + (Hora.empty() ? "08:00:00" : Hora);
  }
  return T;
}

std::string ChaveLida(const std::string& ATabela, const std::string& AId, const std::string& APc) {
  std::string Tabela = Minusculas(Aparar(ATabela));
  return (Tabela.empty() ? "mensagens" : Tabela) + ":" + Aparar(AId) + ":" +
         Maiusculas(Aparar(APc));
}

bool Lida(const Value& C, const std::string& AChave) {
  const Value* L = Membro(C, "lidas");
  if (!L || !L->IsArray()) return false;
  for (const auto& E : L->GetArray())
    if (E.IsString() && AChave == E.GetString()) return true;
  return false;
}

// --- endpoints ---

void Config(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  rapidjson::Document D;
  D.SetObject();
  auto& A = D.GetAllocator();
  D.AddMember("ok", true, A);
  if (const Value* H = Membro(S.Cenario, "senha_agente_hash"))
    D.AddMember("senha_agente_hash", Copia(*H, A), A);
  R.Corpo = JsonTexto(D);
}

void Heartbeat(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  const Value* H = Membro(S.Cenario, "heartbeat");
  if (!H)
    R.Corpo = "{\"ok\":true,\"mensagem\":\"heartbeat registrado\"}";
  else if (H->IsString())
    R.Corpo.assign(H->GetString(), H->GetStringLength());
  else
    R.Corpo = JsonTexto(*H);
}

void Hardware(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  // Every inventory received, its form as sent, in the working scenario.
  auto& C = S.Cenario;
  auto& A = C.GetAllocator();
  if (!Membro(C, "inventarios")) Definir(C, "inventarios", Value(rapidjson::kArrayType), A);
  Value Inv(rapidjson::kObjectType);
  Inv.AddMember("time", Str(P.Hora, A), A);
  Inv.AddMember("computador", Str(P.Valor("computador"), A), A);
  Value Form(rapidjson::kArrayType);
  for (const auto& [K, V] : P.Form) {
    Value Par(rapidjson::kArrayType);
    Par.PushBack(Str(K, A), A);
    Par.PushBack(Str(V, A), A);
    Form.PushBack(std::move(Par), A);
  }
  Inv.AddMember("form", std::move(Form), A);
  C["inventarios"].PushBack(std::move(Inv), A);
  R.Corpo = "{\"ok\":true,\"mensagem\":\"Inventario recebido.\"}";
}

void Mensagens(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  auto& C = S.Cenario;
  long long Desde = Inteiro(P.Valor("since_id"), 0);
  bool Bootstrap = P.Valor("bootstrap") == "1";
  long long Limite = std::clamp<long long>(Inteiro(P.Valor("limite"), 20), 1, 500);
  std::string Pc = P.Valor("computador");

  rapidjson::Document D;
  D.SetObject();
  auto& A = D.GetAllocator();
  Value Lista(rapidjson::kArrayType);
  if (const Value* M = Membro(C, "mensagens"); M && M->IsArray()) {
    for (const auto& N : M->GetArray()) {
      if (static_cast<long long>(Lista.Size()) >= Limite) break;
      if (!N.IsObject()) {
        Lista.PushBack(Copia(N, A), A);  // kept as written: tests feed odd elements
        continue;
      }
      std::string Id = Texto(N, "id");
      long long IdNum = Inteiro(Id, -1);
      // Ids that are not numbers always come: they are there to test the agent.
      if (!Bootstrap && Desde > 0 && IdNum >= 0 && IdNum <= Desde) continue;
      Value Aviso = Copia(N, A);
      if (const Value* Cr = Membro(N, "created_at"); Cr && Cr->IsString())
        Definir(Aviso, "created_at", Str(DataCenario(Cr->GetString()), A), A);
      // "reenviar_lidas": a server that offers acknowledged notices again unread.
      if (!Booleano(C, "reenviar_lidas", false) &&
          Lida(C, ChaveLida(Texto(N, "source_table"), Id, Pc))) {
        Definir(Aviso, "lida", Value(true), A);
        Definir(Aviso, "ja_lida", Value(true), A);
      }
      Lista.PushBack(std::move(Aviso), A);
    }
  }
  D.AddMember("ok", true, A);
  D.AddMember("success", true, A);
  D.AddMember("empresa", Str(Texto(C, "empresa", "Vesk Intranet"), A), A);
  if (const Value* Logo = Membro(C, "logo_url")) D.AddMember("logo_url", Copia(*Logo, A), A);
  D.AddMember("total", Lista.Size(), A);
  D.AddMember("mensagens", std::move(Lista), A);
  if (P.Valor("debug") == "1") {
    Value Dbg(rapidjson::kObjectType);
    Dbg.AddMember("since_id", static_cast<int64_t>(Desde), A);
    Dbg.AddMember("limite", static_cast<int64_t>(Limite), A);
    Dbg.AddMember("bootstrap", Bootstrap, A);
    Dbg.AddMember("computador", Str(Pc, A), A);
    D.AddMember("debug", std::move(Dbg), A);
  }
  R.Corpo = JsonTexto(D);
}

void Ack(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  std::string Id = P.Valor("mensagem_id", P.Valor("aviso_id"));
  if (Inteiro(Id, 0) <= 0) {
    R.Corpo = Erro("mensagem_id invalido");
    return;
  }
  auto& C = S.Cenario;
  auto& A = C.GetAllocator();
  // "ack": {"post": answer, "get": answer} answers that method as written and
  // records nothing, as a server that did not store the acknowledgement.
  if (const Value* Fixa = Membro(C, "ack"); Fixa && Fixa->IsObject()) {
    const Value* Lit = Membro(*Fixa, P.Metodo == "POST" ? "post" : "get");
    if (Lit && Lit->IsString()) {
      R.Corpo.assign(Lit->GetString(), Lit->GetStringLength());
      if (!R.Corpo.empty() && R.Corpo[0] == '<') R.Tipo = "text/html; charset=utf-8";
      return;
    }
  }
  std::string Chave = ChaveLida(P.Valor("source_table"), Id, P.Valor("computador"));
  if (!Lida(C, Chave)) {
    if (!Membro(C, "lidas") || !C["lidas"].IsArray())
      Definir(C, "lidas", Value(rapidjson::kArrayType), A);
    C["lidas"].PushBack(Str(Chave, A), A);
  }
  R.Corpo = "{\"ok\":true}";
}

void Vinculo(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  static const Value kVazio(rapidjson::kObjectType);
  const Value* V = Membro(S.Cenario, "vinculo");
  const Value& Vi = V && V->IsObject() ? *V : kVazio;
  rapidjson::Document D;
  D.SetObject();
  auto& A = D.GetAllocator();
  D.AddMember("ok", true, A);
  D.AddMember("vinculado", Booleano(Vi, "vinculado", true), A);
  D.AddMember("cpf_pendente", Booleano(Vi, "cpf_pendente", false), A);
  D.AddMember("colaborador_nome", Str(Texto(Vi, "colaborador_nome"), A), A);
  std::string Url = Texto(
      Vi, "cadastro_url",
      "{base}cadastro-colaborador.php?computador=" + CodificarConsulta(P.Valor("computador")));
  D.AddMember("cadastro_url", Str(Url, A), A);
  R.Corpo = JsonTexto(D);
}

void Cadastro(TServidor&, const TPedido& P, TResposta& R) {
  R.Tipo = "text/html; charset=utf-8";
  R.Corpo =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Cadastro de colaborador"
      "</title></head><body><h1>Cadastro/vinculacao de colaborador</h1><p>Computador: " +
      EscaparHtml(P.Valor("computador")) +
      "</p><form><label>Nome <input name=\"nome\"></label> <label>CPF <input "
      "name=\"cpf\"></label> <button>Salvar</button></form></body></html>";
}

bool TarefaAberta(const Value& T) {
  return Minusculas(Texto(T, "status")) != "concluida";
}

void Tarefas(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  auto& C = S.Cenario;
  bool Vinculado = true;
  std::string Nome;
  if (const Value* V = Membro(C, "vinculo"); V && V->IsObject()) {
    Vinculado = Booleano(*V, "vinculado", true);
    Nome = Texto(*V, "colaborador_nome");
  }
  rapidjson::Document D;
  D.SetObject();
  auto& A = D.GetAllocator();
  Value Lista(rapidjson::kArrayType);
  if (const Value* T = Membro(C, "tarefas"); Vinculado && T && T->IsArray())
    for (const auto& E : T->GetArray())
      if (!E.IsObject() || TarefaAberta(E)) {
        Value T2 = Copia(E, A);
        // A due date given as a word is a date only: the hour has its own member.
        if (const Value* Dv = Membro(E, "data_vencimento"); Dv && Dv->IsString()) {
          std::string Data = DataCenario(Dv->GetString());
          if (Data != Dv->GetString())
            Definir(T2, "data_vencimento", Str(Data.substr(0, 10), A), A);
        }
        Lista.PushBack(std::move(T2), A);
      }
  Value Colab(rapidjson::kObjectType);
  Colab.AddMember("nome", Str(Nome, A), A);
  D.AddMember("ok", true, A);
  D.AddMember("vinculado", Vinculado, A);
  D.AddMember("empresa", Str(Texto(C, "empresa", "Vesk Intranet"), A), A);
  D.AddMember("colaborador", std::move(Colab), A);
  D.AddMember("total", Lista.Size(), A);
  D.AddMember("tarefas", std::move(Lista), A);
  R.Corpo = JsonTexto(D);
}

// The scenario's "retorno_tarefa" for this action: a text for every action, or
// an object by action ("iniciar", "concluir", "justificar"). False when none.
bool RetornoConfigurado(const Value& C, const char* AAcao, TResposta& R) {
  const Value* V = Membro(C, "retorno_tarefa");
  if (V && V->IsObject()) V = Membro(*V, AAcao);
  if (!V || !V->IsString()) return false;
  R.Corpo.assign(V->GetString(), V->GetStringLength());
  const char P = R.Corpo.empty() ? ' ' : R.Corpo[0];
  if (P != '{' && P != '[')
    R.Tipo = P == '<' ? "text/html; charset=utf-8" : "text/plain; charset=utf-8";
  return true;
}

void AcaoTarefa(TServidor& S, const TPedido& P, TResposta& R, const char* AAcao,
                const char* AStatus, const char* AMsg) {
  std::lock_guard L(S.TravaCenario);
  if (!TokenValido(S, P, R)) return;
  auto& C = S.Cenario;
  auto& A = C.GetAllocator();
  std::string Id = Aparar(P.Valor("tarefa_id"));
  std::string Just = P.Valor("justificativa");
  bool Justificar = std::string(AStatus) == "justificada";
  if (Justificar && Aparar(Just).empty()) {
    R.Corpo = Erro("Informe a justificativa.");
    return;
  }
  if (Value* T = Membro(C, "tarefas"); T && T->IsArray()) {
    for (auto& E : T->GetArray()) {
      if (!E.IsObject() || Texto(E, "id") != Id || Id.empty()) continue;
      Definir(E, "status", Value(AStatus, A), A);
      if (Justificar) Definir(E, "justificativa", Str(Just, A), A);
      if (RetornoConfigurado(C, AAcao, R)) return;
      R.Corpo = "{\"ok\":true,\"mensagem\":" + EscaparJson(AMsg) +
                ",\"tarefa_id\":" + EscaparJson(Id) + ",\"status\":\"" + AStatus + "\"}";
      return;
    }
  }
  R.Corpo = Erro("Tarefa nao encontrada.");
}

void Iniciar(TServidor& S, const TPedido& P, TResposta& R) {
  AcaoTarefa(S, P, R, "iniciar", "em_andamento", "Tarefa iniciada com sucesso.");
}
void Concluir(TServidor& S, const TPedido& P, TResposta& R) {
  AcaoTarefa(S, P, R, "concluir", "concluida", "Tarefa concluida com sucesso.");
}
void Justificar(TServidor& S, const TPedido& P, TResposta& R) {
  AcaoTarefa(S, P, R, "justificar", "justificada", "Justificativa registrada.");
}

// Commands identify the agent by "computer_user", not by the API token; a queued
// command with a "token" member is only for that agent.
void Comandos(TServidor& S, const TPedido& P, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  auto& C = S.Cenario;
  auto& A = C.GetAllocator();
  std::string Token = P.Valor("token");
  Value* Fila = Membro(C, "comandos");
  if (P.Metodo == "POST" && P.Valor("acao") == "retorno") {
    std::string Id = Aparar(P.Valor("id"));
    if (Fila && Fila->IsArray()) {
      for (auto It = Fila->Begin(); It != Fila->End(); ++It) {
        if (!It->IsObject() || Aparar(Texto(*It, "id", "0")) != Id) continue;
        if (Membro(*It, "token") && Texto(*It, "token") != Token) continue;
        Fila->Erase(It);
        break;
      }
    }
    if (!Membro(C, "comandos_retornos"))
      Definir(C, "comandos_retornos", Value(rapidjson::kArrayType), A);
    Value Ret(rapidjson::kObjectType);
    Ret.AddMember("id", Str(Id, A), A);
    Ret.AddMember("token", Str(Token, A), A);
    Ret.AddMember("retorno", Str(P.Valor("retorno"), A), A);
    Ret.AddMember("time", Str(P.Hora, A), A);
    C["comandos_retornos"].PushBack(std::move(Ret), A);
    R.Corpo = "{\"ok\":true}";
    return;
  }
  rapidjson::Document D;
  D.SetObject();
  auto& DA = D.GetAllocator();
  Value Lista(rapidjson::kArrayType);
  if (Fila && Fila->IsArray())
    for (const auto& E : Fila->GetArray())
      if (!E.IsObject() || !Membro(E, "token") || Texto(E, "token") == Token)
        Lista.PushBack(Copia(E, DA), DA);
  D.AddMember("ok", true, DA);
  D.AddMember("comandos", std::move(Lista), DA);
  R.Corpo = JsonTexto(D);
}

void Update(TServidor& S, const TPedido&, TResposta& R) {
  std::lock_guard L(S.TravaCenario);
  const Value* U = Membro(S.Cenario, "update");
  if (!U)
    R.Corpo = "{\"versao\":\"1.0.115\",\"arquivo\":\"downloads/Zelvan.exe\"}";
  else if (U->IsString())  // a literal manifest, broken ones included
    R.Corpo.assign(U->GetString(), U->GetStringLength());
  else
    R.Corpo = JsonTexto(*U);
}

}  // namespace

const std::map<std::string, TManipulador>& RotasAgente() {
  static const std::map<std::string, TManipulador> kRotas = {
      {"api/agent_config.php", Config},
      {"api/agent_heartbeat.php", Heartbeat},
      {"api/agent_hardware.php", Hardware},
      {"api/agent_messages.php", Mensagens},
      {"api/agent_message_ack.php", Ack},
      {"api/colaborador-vinculo.php", Vinculo},
      {"cadastro-colaborador.php", Cadastro},
      {"api/agent_tasks.php", Tarefas},
      {"api/iniciar-tarefa.php", Iniciar},
      {"api/concluir-tarefa.php", Concluir},
      {"api/justificar-tarefa.php", Justificar},
      {"api/agent_commands.php", Comandos},
      {"api/update.json", Update},
  };
  return kRotas;
}
