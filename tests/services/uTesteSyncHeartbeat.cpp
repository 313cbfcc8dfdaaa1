// Configuration sync and heartbeat against the development server: the stored
// hash, the exact heartbeat query, the failure table and bad bodies.
#include <gtest/gtest.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "config/uVersao.h"
#include "net/uJsonHelper.h"
#include "platform/uErros.h"
#include "platform/uPerfil.h"
#include "services/uAgentConfigSync.h"
#include "services/uAgentHeartbeat.h"
#include "tests/net/uAmbienteHttp.h"

namespace {

// A token that only reaches the server whole when it is encoded and sent
// untrimmed: "+", "/", a blank inside and one at the end.
const char* kToken = "tok+te/ste 1234567890 ";
const char* kTokenNaUrl = "tok%2Bte%2Fste+1234567890+";
const char* kHashCenario = "20b69d0e7a3a83c0fe2ea343c0bd5e5eba1db34a8b22330a23a3bae3af2f13fb";

// One literal answer of the development server for an endpoint.
struct TRespostaCenario {
  std::string Corpo;
  std::string Tipo = "application/json; charset=utf-8";
  bool Base64 = false;
};

std::string Base64(const std::string& ABytes) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string r;
  for (size_t i = 0; i < ABytes.size(); i += 3) {
    uint32_t v = static_cast<unsigned char>(ABytes[i]) << 16;
    if (i + 1 < ABytes.size()) v |= static_cast<unsigned char>(ABytes[i + 1]) << 8;
    if (i + 2 < ABytes.size()) v |= static_cast<unsigned char>(ABytes[i + 2]);
    r += k[(v >> 18) & 63];
    r += k[(v >> 12) & 63];
    r += i + 1 < ABytes.size() ? k[(v >> 6) & 63] : '=';
    r += i + 2 < ABytes.size() ? k[v & 63] : '=';
  }
  return r;
}

// Profile files that refuse every write, as a read-only config.ini would.
class TPerfilSomenteLeitura : public IPerfil {
 public:
  std::string LerTexto(const std::string& A, const std::string& S, const std::string& K,
                       const std::string& P) override {
    return FReal.LerTexto(A, S, K, P);
  }
  bool EscreverTexto(const std::string&, const std::string&, const std::string&,
                     const std::string&) override {
    return false;
  }
  bool ApagarChave(const std::string&, const std::string&, const std::string&) override {
    return false;
  }
  std::vector<std::string> Chaves(const std::string& A, const std::string& S) override {
    return FReal.Chaves(A, S);
  }
  bool Descarregar(const std::string& A) override { return FReal.Descarregar(A); }

 private:
  IPerfil& FReal = ImplementacaoPadrao(SeamTag<IPerfil>{});
};

class TSyncHeartbeatTest : public TAmbienteHttp {
 protected:
  void SetUp() override {
    TAmbienteHttp::SetUp();
    if (HasFatalFailure()) return;
    FTrocaSistema = std::make_unique<SubstituirConcern<ISistema>>(FSistema);
    Configurar(Url("demo/intranet"), kToken);
    TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", "hash-antigo");
    // Heartbeat lines carry no keyword of the log filter.
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    DefinirCenario({});
  }
  void TearDown() override {
    if (!EnderecoDevServer().empty()) Admin("admin/reset");
    FTrocaSistema.reset();
    TAmbienteHttp::TearDown();
  }

  void Configurar(const std::string& AURL, const std::string& AToken) {
    TConfigINI::EscreverTexto("SERVIDOR", "URL", AURL);
    // Quoted, so that the blank at its end survives the profile's own trim.
    TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", "\"" + AToken + "\"");
  }

  // The test scenario with literal answers for some endpoints.
  void DefinirCenario(const std::vector<std::pair<std::string, TRespostaCenario>>& ARespostas) {
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    w.StartObject();
    w.Key("api_token");
    w.String(kToken);
    w.Key("senha_agente_hash");
    w.String(kHashCenario);
    w.Key("respostas");
    w.StartObject();
    for (const auto& [endpoint, r] : ARespostas) {
      w.Key(endpoint.c_str());
      w.StartObject();
      w.Key("content_type");
      w.String(r.Tipo.c_str());
      w.Key(r.Base64 ? "body_base64" : "body");
      const std::string corpo = r.Base64 ? Base64(r.Corpo) : r.Corpo;
      w.String(corpo.data(), static_cast<rapidjson::SizeType>(corpo.size()));
      w.EndObject();
    }
    w.EndObject();
    w.EndObject();
    Admin("admin/scenario", sb.GetString());
    Admin("admin/requests/clear");
  }

  // Query strings of the requests the server saw for an endpoint.
  std::vector<std::string> Consultas(const std::string& AEndpoint) {
    rapidjson::Document d;
    const std::string texto = Admin("admin/requests");
    d.Parse(texto.c_str());
    std::vector<std::string> r;
    if (!d.IsArray()) return r;
    for (const auto& reg : d.GetArray())
      if (LerTextoJson(&reg, "path", "") == "/demo/intranet/" + AEndpoint)
        r.push_back(LerTextoJson(&reg, "query", ""));
    return r;
  }

  std::string Ini() const { return LerArquivoTeste(TConfigINI::ArquivoConfig()); }

  TSistemaFalso FSistema;
  std::unique_ptr<SubstituirConcern<ISistema>> FTrocaSistema;
};

}  // namespace

TEST_F(TSyncHeartbeatTest, SyncGuardaOHashERegravaORegistroACadaPassagem) {
  TAgentConfigSync::Sincronizar();
  EXPECT_EQ(TConfigINI::Carregar().SenhaAgenteHash, kHashCenario);
  EXPECT_EQ(TConfigINI::LerTexto("SERVIDOR", "INTERVALO_SEGUNDOS", ""), "10");
  EXPECT_EQ(TConfigINI::LerTexto("SERVIDOR", "INTERVALO", ""), "10");
  TAgentConfigSync::Sincronizar();
  EXPECT_EQ(Linhas(), (std::vector<std::string>{"Senha do agente sincronizada.",
                                                "Senha do agente sincronizada."}));
  EXPECT_EQ(Consultas("api/agent_config.php"),
            (std::vector<std::string>{std::string("api_token=") + kTokenNaUrl,
                                      std::string("api_token=") + kTokenNaUrl}));
}

TEST_F(TSyncHeartbeatTest, SyncJulgaCadaRespostaSemTocarNoIniQuandoNaoAceita) {
  const std::string hashMaiusculo(64, 'A');
  const std::string html = "<html><body>" + std::string(600, 'x') + "</body></html>";
  const std::string ruido("\x00\x1F\x8B\xFF\xFE<\x01{\x7F", 9);
  std::string utf16;
  for (char c : std::string("{\"ok\":true,\"senha_agente_hash\":\"abc\"}")) utf16 += {c, '\0'};
  struct Caso {
    const char* Nome;
    TRespostaCenario Resposta;
    std::string Linha;  // "" when nothing is logged
    std::string Hash;   // the hash afterwards
  };
  const Caso casos[] = {
      {"hash em maiusculas",
       {"{\"ok\":true,\"senha_agente_hash\":\"" + hashMaiusculo + "\"}"},
       "Senha do agente sincronizada.",
       hashMaiusculo},
      {"ok TRUE em texto",
       {"{\"ok\":\"TRUE\",\"senha_agente_hash\":\"h1\"}"},
       "Senha do agente sincronizada.",
       "h1"},
      {"BOM antes do JSON",
       {"\xEF\xBB\xBF{\"ok\":true,\"senha_agente_hash\":\"h2\"}"},
       "Senha do agente sincronizada.",
       "h2"},
      {"ok numero 1",
       {"{\"ok\":1,\"senha_agente_hash\":\"h3\"}"},
       "agent_config retornou erro: {\"ok\":1,\"senha_agente_hash\":\"h3\"}",
       "hash-antigo"},
      {"ok false", {"{\"ok\":false}"}, "agent_config retornou erro: {\"ok\":false}", "hash-antigo"},
      {"sem ok", {"{}"}, "agent_config retornou erro: {}", "hash-antigo"},
      {"sem hash", {"{\"ok\":true}"}, "", "hash-antigo"},
      {"hash em branco", {"{\"ok\":true,\"senha_agente_hash\":\"  \"}"}, "", "hash-antigo"},
      {"hash nulo", {"{\"ok\":true,\"senha_agente_hash\":null}"}, "", "hash-antigo"},
      {"hash repetido",
       {"{\"ok\":true,\"senha_agente_hash\":\"um\",\"senha_agente_hash\":\"dois\"}"},
       "Senha do agente sincronizada.",
       "um"},
      {"corpo vazio", {""}, "", "hash-antigo"},
      {"corpo em branco", {" \r\n "}, "", "hash-antigo"},
      {"HTML",
       {html, "text/html"},
       "agent_config retornou conteúdo inválido: " + html.substr(0, 500),
       "hash-antigo"},
      {"JSON truncado",
       {"{\"ok\":true,\"senha_agente_ha"},
       "agent_config retornou conteúdo inválido: {\"ok\":true,\"senha_agente_ha",
       "hash-antigo"},
      {"array",
       {"[{\"ok\":true}]"},
       "agent_config retornou conteúdo inválido: [{\"ok\":true}]",
       "hash-antigo"},
      {"ruido binario",
       {ruido, "application/octet-stream", true},
       "agent_config retornou conteúdo inválido: ",
       "hash-antigo"},
      {"charset errado",
       {utf16, "application/json; charset=utf-8", true},
       "agent_config retornou conteúdo inválido: {",
       "hash-antigo"},
      {"token no corpo",
       {std::string("{\"ok\":false,\"erro\":\"token ") + kToken + " invalido\"}"},
       "agent_config retornou erro: {\"ok\":false,\"erro\":\"token tok+te...890  invalido\"}",
       "hash-antigo"},
  };
  for (const Caso& c : casos) {
    TConfigINI::EscreverTexto("SEGURANCA", "SENHA_AGENTE_HASH", "hash-antigo");
    DefinirCenario({{"api/agent_config.php", c.Resposta}});
    const size_t antes = Linhas().size();
    const std::string iniAntes = Ini();
    TAgentConfigSync::Sincronizar();
    const auto linhas = Linhas();
    ASSERT_EQ(linhas.size() - antes, c.Linha.empty() ? 0u : 1u) << c.Nome;
    if (!c.Linha.empty()) {
      EXPECT_EQ(linhas.back().rfind(c.Linha, 0), 0u) << c.Nome << ": " << linhas.back();
    }
    EXPECT_EQ(TConfigINI::Carregar().SenhaAgenteHash, c.Hash) << c.Nome;
    if (c.Hash == "hash-antigo") {
      EXPECT_EQ(Ini(), iniAntes) << c.Nome;
    }
  }
}

TEST_F(TSyncHeartbeatTest, SyncCortaRespostaInvalidaGrandeEm500Caracteres) {
  DefinirCenario(
      {{"api/agent_config.php", {"<html>\xC3\xA7" + std::string(20, 'y'), "text/html"}}});
  Admin("admin/fault", "{\"endpoint\":\"api/agent_config.php\",\"kind\":\"big\",\"times\":1}");
  const std::string iniAntes = Ini();
  TAgentConfigSync::Sincronizar();
  const auto linhas = Linhas();
  ASSERT_EQ(linhas.size(), 1u);
  const std::string prefixo = "agent_config retornou conteúdo inválido: ";
  ASSERT_EQ(linhas[0].rfind(prefixo, 0), 0u);
  EXPECT_EQ(ComprimentoUtf16(linhas[0].substr(prefixo.size())), 500u);
  EXPECT_EQ(Ini(), iniAntes);
}

// A refusal of any length is quoted by its head only: 2000 characters, the
// two-byte one across the cut kept whole.
TEST_F(TSyncHeartbeatTest, SyncCortaRespostaDeErroGrandeEm2000Caracteres) {
  const std::string inicio = "{\"ok\":false,\"erro\":\"";
  const std::string corpo =
      inicio + std::string(1999 - inicio.size(), 'e') + "\xC3\xA7" + std::string(8000, 'z') + "\"}";
  DefinirCenario({{"api/agent_config.php", {corpo}}});
  TAgentConfigSync::Sincronizar();
  const auto linhas = Linhas();
  ASSERT_EQ(linhas.size(), 1u);
  EXPECT_EQ(linhas[0], "agent_config retornou erro: " + corpo.substr(0, 2001));
}

TEST_F(TSyncHeartbeatTest, SyncDeixaPassarAFalhaDoPedidoEDaGravacao) {
  const std::string iniAntes = Ini();
  for (const std::string& base : {EnderecoFechado(), Url("test/quebrado")}) {
    Configurar(base, kToken);
    const std::string ini = Ini();
    const size_t antes = Linhas().size();
    EXPECT_THROW(TAgentConfigSync::Sincronizar(), EHttpErro) << base;
    const auto linhas = Linhas();
    ASSERT_EQ(linhas.size() - antes, 3u) << base;
    EXPECT_EQ(linhas.back().rfind("GET erro tentativa 3: ", 0), 0u) << linhas.back();
    EXPECT_EQ(Ini(), ini);
  }
  Configurar(Url("demo/intranet"), kToken);
  TPerfilSomenteLeitura perfil;
  SubstituirConcern<IPerfil> troca(perfil);
  EXPECT_THROW(TAgentConfigSync::Sincronizar(), EIniErro);
}

TEST_F(TSyncHeartbeatTest, SemTokenNadaEhPedido) {
  Configurar(Url("demo/intranet"), "   ");
  TAgentConfigSync::Sincronizar();
  TAgentHeartbeat::EnviarHeartbeat(VersaoAgente());
  EXPECT_EQ(Linhas(), std::vector<std::string>{"Heartbeat ignorado: token ausente."});
  EXPECT_TRUE(Consultas("api/agent_config.php").empty());
  EXPECT_TRUE(Consultas("api/agent_heartbeat.php").empty());
}

TEST_F(TSyncHeartbeatTest, HeartbeatEnviaAConsultaExata) {
  FSistema.Computador = "PC-TESTE";
  FSistema.Ambiente = {{"USERNAME", "Jo\xC3\xA3o Silva"}};
  TAgentHeartbeat::EnviarHeartbeat(VersaoAgente());
  FSistema.ComputadorDisponivel = false;
  FSistema.Ambiente.clear();
  TAgentHeartbeat::EnviarHeartbeat("1.0.115");
  EXPECT_EQ(
      Consultas("api/agent_heartbeat.php"),
      (std::vector<std::string>{
          std::string("api_token=") + kTokenNaUrl +
              "&computador=PC-TESTE&usuario=Jo%C3%A3o+Silva&versao=1.0.115",
          std::string("api_token=") + kTokenNaUrl + "&computador=PC&usuario=&versao=1.0.115"}));
  EXPECT_TRUE(Linhas().empty());
}

TEST_F(TSyncHeartbeatTest, HeartbeatSoRegistraRespostaNaoAceita) {
  const std::string longo = "<html>" + std::string(700, 'z');
  struct Caso {
    std::string Corpo;
    std::string Linha;  // "" when the answer counts as accepted
  };
  const Caso casos[] = {
      {"{\"ok\":true}", ""},
      {"{\"ok\": true}", ""},
      {"{\"OK\" : TRUE, \"x\":1}", ""},
      {"\xEF\xBB\xBF{\"ok\":true}", ""},
      {"{\"ok\":\"true\"}", "Heartbeat retorno: {\"ok\":\"true\"}"},
      {"{\"ok\":1}", "Heartbeat retorno: {\"ok\":1}"},
      {"{\"ok\":\ttrue}", "Heartbeat retorno: {\"ok\":\ttrue}"},
      {"", "Heartbeat retorno: "},
      {longo, "Heartbeat retorno: " + longo.substr(0, 500)},
  };
  for (const Caso& c : casos) {
    DefinirCenario({{"api/agent_heartbeat.php", {c.Corpo}}});
    const size_t antes = Linhas().size();
    TAgentHeartbeat::EnviarHeartbeat(VersaoAgente());
    const auto linhas = Linhas();
    ASSERT_EQ(linhas.size() - antes, c.Linha.empty() ? 0u : 1u) << c.Corpo;
    if (!c.Linha.empty()) {
      EXPECT_EQ(linhas.back(), c.Linha);
    }
  }
}

TEST_F(TSyncHeartbeatTest, HeartbeatComServidorForaRegistraTresTentativasEOErro) {
  Configurar(EnderecoFechado(), kToken);
  EXPECT_NO_THROW(TAgentHeartbeat::EnviarHeartbeat(VersaoAgente()));
  const auto linhas = Linhas();
  ASSERT_EQ(linhas.size(), 4u);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(linhas[i].rfind("GET erro tentativa " + std::to_string(i + 1) + ": ", 0), 0u);
  EXPECT_EQ(linhas[3].rfind("Heartbeat erro: ", 0), 0u);
  EXPECT_EQ(RelogioTeste().Pausas, 2);
}

TEST_F(TSyncHeartbeatTest, EnderecoVazioNaoExpoeOTokenNoLog) {
  Configurar("  ", kToken);
  EXPECT_THROW(TAgentConfigSync::Sincronizar(), EHttpErro);
  TAgentHeartbeat::EnviarHeartbeat(VersaoAgente());
  const auto linhas = Linhas();
  ASSERT_EQ(linhas.size(), 7u);
  EXPECT_EQ(linhas[0],
            "GET erro tentativa 1: Invalid URL: \"api/agent_config.php?api_token=*** \"");
  EXPECT_EQ(linhas[6].rfind("Heartbeat erro: Invalid URL: "
                            "\"api/agent_heartbeat.php?api_token=*** &computador=",
                            0),
            0u)
      << linhas[6];
  for (const auto& l : linhas) {
    EXPECT_EQ(l.find(kToken), std::string::npos) << l;
    EXPECT_EQ(l.find(kTokenNaUrl), std::string::npos) << l;
  }
}
