// The agent's configured addresses and the hosts trusted with the logon.
#include "net/uEnderecosAgente.h"

#include <optional>

#include <algorithm>
#include <exception>

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uJsonHelper.h"
#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"
#include "uBuildConfig.h"

namespace {

// The last refused [CHAT] URL that was logged: the chat asks every 3 seconds.
std::string GChatRecusadaLogada;

std::string HostDe(const std::string& AURL) {
  try {
    return MinusculasAscii(AnalisarUrlHttp(AURL).Host);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

bool EnderecoWebAceitavel(const std::string& AURL) {
  if (!IniciaComSemCaixa(AURL, "http://") && !IniciaComSemCaixa(AURL, "https://")) return false;
  for (char c : AURL) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F || c == '"' || c == '\'' || c == '\\') return false;
  }
  return !HostDe(AURL).empty();
}

std::string UrlBaseChatConfigurada() {
  // The IT department's policy wins over the file that every user may edit.
  const std::optional<std::string> politica = TConfigINI::Politica().ChatURL;
  std::string u = politica ? Aparar(*politica) : Aparar(TConfigINI::LerTexto("CHAT", "URL", ""));
  if (!u.empty() && !EnderecoWebAceitavel(u)) {
    if (u != GChatRecusadaLogada) {
      GChatRecusadaLogada = u;
      TLogger::Log(
          "Aviso: [CHAT] URL recusada (so http ou https, sem espacos, aspas ou controles), "
          "usando o endereco embutido: " +
          PrimeirosCaracteres(u, 300));
    }
    u.clear();
  }
  if (u.empty()) u = VESK_URL_CHAT;
  if (u.back() != '/') u += '/';
  return u;
}

std::vector<std::string> HostsAutenticacaoIntegrada() {
  std::vector<std::string> r;
  const TConfigAgente cfg = TConfigINI::Carregar();
  for (const std::string& url :
       {TConfigINI::NormalizarURL(cfg.URL, cfg.UsarSSL), UrlBaseChatConfigurada()}) {
    const std::string host = HostDe(url);
    if (!host.empty() && std::find(r.begin(), r.end(), host) == r.end()) r.push_back(host);
  }
  return r;
}
