// The one base class of the agent's failures: a message and the name of its kind.
#pragma once

#include <stdexcept>
#include <string>

class EVesk : public std::runtime_error {
 public:
  explicit EVesk(const std::string& AMensagem, std::string AClasse = "Exception")
      : std::runtime_error(AMensagem), FClasse(std::move(AClasse)) {}
  // Name of the error's kind, logged by the services that report it.
  const std::string& Classe() const noexcept { return FClasse; }
  std::string Mensagem() const { return what(); }

 private:
  std::string FClasse;
};

// A refused write of the profile file.
class EIniErro : public EVesk {
 public:
  explicit EIniErro(const std::string& AMensagem) : EVesk(AMensagem, "EIniFileException") {}
};

// A request that got no readable response.
class EHttpErro : public EVesk {
 public:
  explicit EHttpErro(const std::string& AMensagem) : EVesk(AMensagem, "ENetHTTPClientException") {}
};

// Message of any exception, for the log lines that quote it.
inline std::string MensagemDoErro(const std::exception& E) { return E.what(); }
