// Heartbeat: tells the server that this computer's agent is alive.
#pragma once

#include <string>

class TAgentHeartbeat {
 public:
  // Sends the computer, the user and AVersao; every failure is caught and
  // logged, so the polling pass goes on.
  static void EnviarHeartbeat(const std::string& AVersao) noexcept;
};
