// Autostart: the user's Run value that starts the agent at log-on.
#pragma once

class TStartupWindows {
 public:
  static constexpr const char* kChaveRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  static constexpr const char* kNomeValor = "Vesk_Zelvan";

  // Writes "Vesk_Zelvan" = the quoted path of the running executable. An agent
  // that the machine-wide value of the same name starts (the package's copy)
  // writes none, and removes a user value that names itself or a missing file.
  // Every failure is ignored.
  static void AtivarZelvan() noexcept;
};
