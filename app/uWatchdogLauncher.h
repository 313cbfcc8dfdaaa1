// Starts the watchdog program installed beside the agent.
#pragma once

class TWatchdogLauncher {
 public:
  static constexpr const char* kArquivoWatchdog = "WatchdogAgente.exe";

  // Starts "WatchdogAgente.exe" from the executable's folder, hidden, with the
  // agent's quoted path as its parameter; nothing when it is missing.
  static void IniciarWatchdog() noexcept;
};
