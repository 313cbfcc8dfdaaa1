// Ready-made task lists for tests and the demo: POST /admin/tasks puts one of them
// into the working scenario, with the answer the three task actions give.
#include <string>
#include <vector>

#include "tools/devserver/uJsonCenario.h"
#include "tools/devserver/uServidor.h"

namespace {

using rapidjson::Value;
using TAloc = rapidjson::Document::AllocatorType;

const char* kTarefasLiteral = "api/agent_tasks.php";

struct TTarefa {
  long long Id;
  const char* Titulo;
  const char* Descricao;
  const char* Cliente;
  const char* Tipo;
  const char* Prioridade;
  const char* Status;
  const char* Data;  // a word of the scenario ("today", ...) or a date
  const char* Hora;
};

const TTarefa kTarefas[] = {
    {12, "Conferir inventário do almoxarifado",
     "Contagem mensal dos itens do almoxarifado central, com a planilha de divergências.",
     "Interno", "Rotina", "alta", "pendente", "today", "17:00"},
    {15, "Enviar relatório de visitas", "Relatório semanal das visitas a clientes da região sul.",
     "Comercial", "Relatório", "media", "em_andamento", "tomorrow", "12:00:00"},
    {21, "Atualizar cadastro de fornecedores",
     "Revisar CNPJ, contatos e condições de pagamento dos fornecedores ativos.", "Compras",
     "Cadastro", "baixa", "pendente", "2025-03-20", ""},
    {34, "Revisar contrato de manutenção", "Conferir reajuste e prazos do contrato do elevador.",
     "Condomínio Aurora", "Contrato", "alta", "pendente", "today", "10:30"},
    {35, "Treinamento de segurança", "Assistir ao módulo 2 do treinamento de brigada de incêndio.",
     "Interno", "Treinamento", "normal", "pendente", "tomorrow", ""},
    {41, "Fechamento do caixa", "Conferir o fechamento do caixa da filial Centro.", "Financeiro",
     "Rotina", "alta", "em_andamento", "today", "18:00"},
    {42, "Ligar para cliente", "Retornar a ligação sobre o orçamento 2291.", "Padaria Sol",
     "Atendimento", "media", "pendente", "today", "15:00"},
    {57, "Backup mensal", "Verificar o backup mensal do servidor de arquivos.", "TI", "Suporte",
     "alta", "pendente", "yesterday", "23:00"},
    {58, "Organizar arquivo morto", "Separar as caixas de 2019 para descarte.", "Interno", "Rotina",
     "baixa", "pendente", "", ""},
    {63, "Pedido de material de escritório", "Consolidar os pedidos dos setores.", "Compras",
     "Pedido", "normal", "pendente", "tomorrow", "09:00"},
};

Value Str(const std::string& T, TAloc& A) {
  return Value(T.c_str(), static_cast<rapidjson::SizeType>(T.size()), A);
}

Value Tarefa(const TTarefa& T, TAloc& A) {
  Value O(rapidjson::kObjectType);
  O.AddMember("id", static_cast<int64_t>(T.Id), A);
  O.AddMember("titulo", Str(T.Titulo, A), A);
  O.AddMember("descricao", Str(T.Descricao, A), A);
  O.AddMember("cliente", Str(T.Cliente, A), A);
  O.AddMember("tipo", Str(T.Tipo, A), A);
  O.AddMember("prioridade", Str(T.Prioridade, A), A);
  O.AddMember("status", Str(T.Status, A), A);
  O.AddMember("data_vencimento", Str(T.Data, A), A);
  O.AddMember("hora_vencimento", Str(T.Hora, A), A);
  return O;
}

// Every status of the panel's table and one outside it, members missing, null and
// blank, the due date forms, and elements that are not tasks. Sent as written.
const char* kStatus = R"JSON({"ok":true,"vinculado":true,"empresa":"Vesk Teste",
"colaborador":{"nome":"Colaborador Teste"},"tarefas":[
{"id":1,"titulo":"Pendente","descricao":"Uma tarefa pendente.","cliente":"C1","tipo":"T1","prioridade":"alta","status":"pendente","data_vencimento":"2025-03-05","hora_vencimento":"14:07:09"},
{"id":2,"titulo":"Em andamento","descricao":"Status em capitais.","cliente":"C2","tipo":"T2","prioridade":"media","status":"EM_ANDAMENTO","data_vencimento":"2025-03-06","hora_vencimento":""},
{"id":3,"titulo":"Concluida","status":"concluida","prioridade":""},
{"id":4,"titulo":"Cancelada","status":"cancelada"},
{"id":5,"titulo":"Outro status","status":"aguardando_cliente"},
{"id":6},
{"id":7,"titulo":null,"descricao":null,"cliente":null,"tipo":null,"prioridade":null,"status":null,"data_vencimento":null,"hora_vencimento":null},
{"id":"8","titulo":"  ","descricao":" ","cliente":"","tipo":" ","data_vencimento":" ","hora_vencimento":" "},
42,
{"titulo":"Sem id"}
]})JSON";

const char* kPaginaErro =
    "<!DOCTYPE html>\n<html><head><title>500 Internal Server Error</title></head>\n<body>"
    "<h1>Internal Server Error</h1>\n<p>Fatal error: Uncaught PDOException in "
    "/var/www/intranet/api/agent_tasks.php on line 88</p>\n</body></html>\n";

using cenario::DefinirMembro;
using cenario::Objeto;

std::string Repetir(const std::string& APeca, size_t ATamanho) {
  std::string r;
  while (r.size() < ATamanho) r += APeca;
  r.resize(ATamanho);
  return r;
}

}  // namespace

bool AplicarCenarioTarefas(TServidor& AServ, const std::string& ACorpo, std::string& AErro) {
  rapidjson::Document D;
  D.Parse(ACorpo.c_str(), ACorpo.size());
  if (D.HasParseError() || !D.IsObject()) {
    AErro = "body must be a JSON object";
    return false;
  }
  const std::string Tipo = D.HasMember("kind") && D["kind"].IsString() ? D["kind"].GetString() : "";
  const int Quantidade = D.HasMember("count") && D["count"].IsInt() ? D["count"].GetInt() : 5000;

  std::lock_guard L(AServ.TravaCenario);
  auto& C = AServ.Cenario;
  auto& A = C.GetAllocator();
  // Every kind starts from a linked computer and the list answered by the route.
  Objeto(C, "respostas", A).RemoveMember(kTarefasLiteral);
  DefinirMembro(Objeto(C, "vinculo", A), "vinculado", Value(true), A);
  Value Lista(rapidjson::kArrayType);
  auto Literal = [&](Value V) {
    DefinirMembro(Objeto(C, "respostas", A), kTarefasLiteral, std::move(V), A);
  };

  if (Tipo == "three" || Tipo == "unlinked") {
    for (int i = 0; i < 3; ++i) Lista.PushBack(Tarefa(kTarefas[i], A), A);
    if (Tipo == "unlinked") DefinirMembro(Objeto(C, "vinculo", A), "vinculado", Value(false), A);
  } else if (Tipo == "ten") {
    for (const TTarefa& t : kTarefas) Lista.PushBack(Tarefa(t, A), A);
  } else if (Tipo == "many") {
    for (int i = 0; i < Quantidade; ++i) {
      TTarefa t = kTarefas[i % 10];
      t.Id = 1000 + i;
      Value O = Tarefa(t, A);
      DefinirMembro(O, "titulo", Str("Tarefa " + std::to_string(i + 1) + ": " + t.Titulo, A), A);
      Lista.PushBack(std::move(O), A);
    }
  } else if (Tipo == "long") {
    // Texts of 100,000 characters with blanks and without, and ids that a
    // 32-bit integer cannot hold.
    TTarefa t = kTarefas[0];
    Value O = Tarefa(t, A);
    DefinirMembro(O, "titulo", Str(Repetir("Titulo muito longo ", 100000), A), A);
    DefinirMembro(O, "descricao", Str(Repetir("D", 100000), A), A);
    Lista.PushBack(std::move(O), A);
    t = kTarefas[1];
    O = Tarefa(t, A);
    DefinirMembro(O, "titulo", Str(Repetir("SemEspacos", 100000), A), A);
    DefinirMembro(O, "descricao", Str(Repetir("palavra ", 100000), A), A);
    DefinirMembro(O, "cliente", Str(Repetir("Cliente", 100000), A), A);
    Lista.PushBack(std::move(O), A);
    t = kTarefas[2];
    t.Id = 5000000000LL;
    Lista.PushBack(Tarefa(t, A), A);
    t = kTarefas[3];
    t.Id = -3;
    Lista.PushBack(Tarefa(t, A), A);
  } else if (Tipo == "statuses") {
    Literal(Str(kStatus, A));
  } else if (Tipo == "not_ok") {
    Literal(Str("{\"ok\":false,\"erro\":\"Colaborador sem permissao.\"}", A));
  } else if (Tipo == "html") {
    Value O(rapidjson::kObjectType);
    O.AddMember("status", 500, A);
    O.AddMember("content_type", "text/html; charset=utf-8", A);
    O.AddMember("body", Str(kPaginaErro, A), A);
    Literal(std::move(O));
  } else if (Tipo == "array") {
    Literal(Str("[{\"id\":12,\"titulo\":\"Dentro de um array\",\"status\":\"pendente\"}]", A));
  } else if (Tipo != "empty") {
    AErro = "unknown kind: " + Tipo;
    return false;
  }
  DefinirMembro(C, "tarefas", std::move(Lista), A);
  // The answer of the three actions: a text, or an object by action.
  if (D.HasMember("answer")) DefinirMembro(C, "retorno_tarefa", Value(D["answer"], A), A);
  return true;
}
