// The notice pass: fetches the notices addressed to this computer, shows each
// new one of today in the popup and acknowledges it once it is confirmed.
#pragma once

#include <string>

#include "config/uConfigINI.h"

class TAgentMessages {
 public:
  // One pass. A failed notice request (after its three attempts) and errors of
  // config.ini raise to the caller; bad answers are logged.
  static void VerificarMensagens();
  // Characters of an answer quoted after "API mensagens retornou erro: ".
  static constexpr size_t kMaxCorpoErroLog = 2000;
};

// Base address + "api/agent_messages.php" with token, computer, user and
// "&debug=1".
std::string MontarUrlMensagens(const TConfigAgente& ACfg);
// Whether the text's first 10 characters (after trimming) are today's local
// date as "yyyy-mm-dd", without regard to case.
bool CriadaHoje(const std::string& ACriadaEm);
