// Autostart: the user's Run value that starts the agent at log-on.
#pragma once

class TStartupWindows {
 public:
  static constexpr const char* kChaveRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  static constexpr const char* kNomeValor = "Vesk_Zelvan";

  // Writes "Vesk_Zelvan" = the quoted path of the running executable; every
  // failure is ignored.
  static void AtivarZelvan() noexcept;
};
