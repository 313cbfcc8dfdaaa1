// Telling the server that a notice was delivered and confirmed on this computer.
#pragma once

#include <cstdint>
#include <string>

#include "config/uConfigINI.h"

// POST to api/agent_message_ack.php, then the GET form only when the POST's
// reply did not say ok. True when one of them did. Never raises; nothing is
// sent for an id <= 0 or a blank token.
bool EnviarAck(const TConfigAgente& ACfg, const std::string& ASourceTable, int32_t AId,
               const std::string& AMotivo);
// A JSON object whose "ok" or "success" reads true; any other text that holds
// "ok":true or "success":true written without blanks.
bool RespostaOk(const std::string& AResposta);
