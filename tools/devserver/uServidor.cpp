// Scenario store, request record, faults and the small text helpers of the server.
#include "tools/devserver/uServidor.h"

#include <cctype>
#include <ctime>
#include <fstream>
#include <sstream>

#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

int ValorHex(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

std::tm Local(std::time_t T) {
  std::tm R{};
  localtime_r(&T, &R);
  return R;
}

void EscreverPares(rapidjson::Writer<rapidjson::StringBuffer>& W, const TPares& APares) {
  W.StartArray();
  for (const auto& [N, V] : APares) {
    W.StartArray();
    W.String(N.c_str(), static_cast<rapidjson::SizeType>(N.size()));
    W.String(V.c_str(), static_cast<rapidjson::SizeType>(V.size()));
    W.EndArray();
  }
  W.EndArray();
}

void EscreverObjeto(rapidjson::Writer<rapidjson::StringBuffer>& W, const TPares& APares) {
  W.StartObject();
  std::vector<std::string> Vistos;
  for (const auto& [N, V] : APares) {
    bool Repetido = false;
    for (const auto& X : Vistos) Repetido = Repetido || X == N;
    if (Repetido) continue;  // the first of equal names counts, as the agent reads it
    Vistos.push_back(N);
    W.Key(N.c_str(), static_cast<rapidjson::SizeType>(N.size()));
    W.String(V.c_str(), static_cast<rapidjson::SizeType>(V.size()));
  }
  W.EndObject();
}

bool LerArquivo(const std::string& ACaminho, std::string& ATexto) {
  std::ifstream F(ACaminho, std::ios::binary);
  if (!F) return false;
  std::ostringstream S;
  S << F.rdbuf();
  ATexto = S.str();
  return true;
}

}  // namespace

std::string TPedido::Valor(const std::string& ANome, const std::string& APadrao) const {
  for (const auto& [N, V] : Form)
    if (N == ANome) return V;
  for (const auto& [N, V] : Params)
    if (N == ANome) return V;
  return APadrao;
}

bool TPedido::Tem(const std::string& ANome) const {
  for (const auto& P : Form)
    if (P.first == ANome) return true;
  for (const auto& P : Params)
    if (P.first == ANome) return true;
  return false;
}

// --- scenario ---

bool TServidor::CarregarCenario(std::string& AErro) {
  if (ArquivoCenario.empty()) return SubstituirCenario("{}", AErro);
  std::string Texto;
  if (!LerArquivo(ArquivoCenario, Texto)) {
    AErro = "cannot read scenario " + ArquivoCenario;
    return false;
  }
  return SubstituirCenario(Texto, AErro);
}

bool TServidor::SubstituirCenario(const std::string& ATexto, std::string& AErro) {
  rapidjson::Document Novo;
  Novo.Parse(ATexto.c_str(), ATexto.size());
  if (Novo.HasParseError()) {
    AErro = std::string("scenario is not valid JSON: ") +
            rapidjson::GetParseError_En(Novo.GetParseError()) + " at offset " +
            std::to_string(Novo.GetErrorOffset());
    return false;
  }
  if (!Novo.IsObject()) {
    AErro = "scenario must be a JSON object";
    return false;
  }
  std::lock_guard L(TravaCenario);
  Cenario.Swap(Novo);
  return true;
}

std::string TServidor::CenarioTexto() {
  std::lock_guard L(TravaCenario);
  return JsonTexto(Cenario);
}

// --- request record ---

void TServidor::Registrar(const TPedido& APedido) {
  std::lock_guard L(FTravaRegistro);
  FRegistros.push_back(APedido);
}

std::string TServidor::RegistrosJson() {
  std::lock_guard L(FTravaRegistro);
  rapidjson::StringBuffer B;
  rapidjson::Writer<rapidjson::StringBuffer> W(B);
  W.StartArray();
  for (const auto& P : FRegistros) {
    W.StartObject();
    W.Key("method");
    W.String(P.Metodo.c_str());
    W.Key("path");
    W.String(P.Caminho.c_str());
    W.Key("query");
    W.String(P.Query.c_str(), static_cast<rapidjson::SizeType>(P.Query.size()));
    W.Key("params");
    EscreverObjeto(W, P.Params);
    W.Key("form");
    EscreverPares(W, P.Form);
    W.Key("body");
    W.String(P.Corpo.c_str(), static_cast<rapidjson::SizeType>(P.Corpo.size()));
    W.Key("time");
    W.String(P.Hora.c_str());
    W.Key("headers");
    EscreverObjeto(W, P.Cabecalhos);
    W.EndObject();
  }
  W.EndArray();
  return B.GetString();
}

std::vector<TPedido> TServidor::UltimosPedidos(size_t AMax) {
  std::lock_guard L(FTravaRegistro);
  size_t Inicio = FRegistros.size() > AMax ? FRegistros.size() - AMax : 0;
  return {FRegistros.begin() + static_cast<long>(Inicio), FRegistros.end()};
}

void TServidor::LimparRegistros() {
  std::lock_guard L(FTravaRegistro);
  FRegistros.clear();
}

// --- faults ---

void TServidor::DefinirFalha(const TFalha& AFalha) {
  std::lock_guard L(FTravaFalhas);
  if (AFalha.Tipo == "none") {
    if (AFalha.Endpoint == "*")
      FFalhas.clear();  // "*" with none switches every fault off
    else
      FFalhas.erase(AFalha.Endpoint);
    return;
  }
  FFalhas[AFalha.Endpoint] = AFalha;
}

std::optional<TFalha> TServidor::ConsumirFalha(const std::string& AEndpoint,
                                               const std::string& AMetodo) {
  std::lock_guard L(FTravaFalhas);
  auto Aplica = [&](std::map<std::string, TFalha>::iterator I) {
    return I != FFalhas.end() && (I->second.Metodo.empty() || I->second.Metodo == AMetodo);
  };
  auto It = FFalhas.find(AEndpoint);
  if (!Aplica(It)) It = FFalhas.find("*");
  if (!Aplica(It)) return std::nullopt;
  TFalha F = It->second;
  if (It->second.Vezes > 0 && --It->second.Vezes == 0) FFalhas.erase(It);
  return F;
}

std::vector<TFalha> TServidor::Falhas() {
  std::lock_guard L(FTravaFalhas);
  std::vector<TFalha> R;
  for (const auto& [K, F] : FFalhas) R.push_back(F);
  return R;
}

void TServidor::LimparFalhas() {
  std::lock_guard L(FTravaFalhas);
  FFalhas.clear();
}

void TServidor::Dormir(int AMilissegundos) {
  std::unique_lock L(FTravaSono);
  FSono.wait_for(L, std::chrono::milliseconds(AMilissegundos), [this] { return FParando.load(); });
}

void TServidor::Parar() {
  {
    std::lock_guard L(FTravaSono);
    FParando = true;
  }
  FSono.notify_all();
}

// --- helpers ---

std::string DecodificarUrl(std::string_view ATexto, bool AMaisEspaco) {
  std::string R;
  R.reserve(ATexto.size());
  for (size_t I = 0; I < ATexto.size(); ++I) {
    char C = ATexto[I];
    if (C == '+' && AMaisEspaco) {
      R += ' ';
    } else if (C == '%' && I + 2 < ATexto.size() && ValorHex(ATexto[I + 1]) >= 0 &&
               ValorHex(ATexto[I + 2]) >= 0) {
      R += static_cast<char>(ValorHex(ATexto[I + 1]) * 16 + ValorHex(ATexto[I + 2]));
      I += 2;
    } else {
      R += C;
    }
  }
  return R;
}

TPares LerPares(std::string_view ATexto) {
  TPares R;
  size_t I = 0;
  while (I <= ATexto.size() && !ATexto.empty()) {
    size_t Fim = ATexto.find('&', I);
    if (Fim == std::string_view::npos) Fim = ATexto.size();
    std::string_view Par = ATexto.substr(I, Fim - I);
    if (!Par.empty()) {
      size_t Igual = Par.find('=');
      if (Igual == std::string_view::npos)
        R.emplace_back(DecodificarUrl(Par), "");
      else
        R.emplace_back(DecodificarUrl(Par.substr(0, Igual)), DecodificarUrl(Par.substr(Igual + 1)));
    }
    I = Fim + 1;
  }
  return R;
}

std::string HoraRegistro() {
  auto Agora = std::chrono::system_clock::now();
  auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(Agora.time_since_epoch()) % 1000;
  std::tm T = Local(std::chrono::system_clock::to_time_t(Agora));
  char B[96];
  std::snprintf(B, sizeof B, "%04d-%02d-%02d %02d:%02d:%02d.%03d", T.tm_year + 1900, T.tm_mon + 1,
                T.tm_mday, T.tm_hour, T.tm_min, T.tm_sec, static_cast<int>(Ms.count()));
  return B;
}

std::string DataHoje(int ADias) {
  std::tm T = Local(std::time(nullptr));
  T.tm_mday += ADias;
  T.tm_hour = 12;  // noon keeps a DST change from moving the day
  T.tm_isdst = -1;
  std::mktime(&T);
  char B[48];
  std::snprintf(B, sizeof B, "%04d-%02d-%02d", T.tm_year + 1900, T.tm_mon + 1, T.tm_mday);
  return B;
}

std::string JsonTexto(const rapidjson::Value& AValor) {
  rapidjson::StringBuffer B;
  rapidjson::Writer<rapidjson::StringBuffer> W(B);
  AValor.Accept(W);
  return std::string(B.GetString(), B.GetSize());
}

std::string CodificarConsulta(std::string_view ATexto) {
  static const char* kHex = "0123456789ABCDEF";
  std::string r;
  for (char ch : ATexto) {
    const auto b = static_cast<unsigned char>(ch);
    if (std::isalnum(b) || b == '-' || b == '.' || b == '_' || b == '~') {
      r += ch;
    } else {
      r += '%';
      r += kHex[b >> 4];
      r += kHex[b & 15];
    }
  }
  return r;
}

std::string EscaparHtml(std::string_view ATexto) {
  std::string R;
  for (char C : ATexto) {
    switch (C) {
      case '<':
        R += "&lt;";
        break;
      case '>':
        R += "&gt;";
        break;
      case '&':
        R += "&amp;";
        break;
      case '"':
        R += "&quot;";
        break;
      default:
        R += C;
    }
  }
  return R;
}

std::string EscaparJson(std::string_view ATexto) {
  rapidjson::StringBuffer B;
  rapidjson::Writer<rapidjson::StringBuffer> W(B);
  W.String(ATexto.data(), static_cast<rapidjson::SizeType>(ATexto.size()));
  return std::string(B.GetString(), B.GetSize());
}

TPedido MontarPedido(const httplib::Request& R) {
  TPedido P;
  P.Hora = HoraRegistro();
  P.Metodo = R.method;
  P.Caminho = R.path;
  size_t Q = R.target.find('?');
  if (Q != std::string::npos) P.Query = R.target.substr(Q + 1);
  P.Params = LerPares(P.Query);
  P.Corpo = R.body;
  std::string Tipo = R.get_header_value("Content-Type");
  if (Tipo.find("application/x-www-form-urlencoded") != std::string::npos)
    P.Form = LerPares(R.body);
  for (const auto& [N, V] : R.headers) P.Cabecalhos.emplace_back(N, V);
  if (std::string A = AceitaCodificacaoOriginal(); !A.empty())
    P.Cabecalhos.emplace_back("Accept-Encoding", A);
  P.Host = R.get_header_value("Host");
  P.EnderecoRemoto = R.remote_addr;
  P.PortaRemota = R.remote_port;
  return P;
}
