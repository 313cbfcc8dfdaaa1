// The close password: asked before the agent may be closed.
#pragma once

class TSenhaAgente {
 public:
  static constexpr const char* kTitulo = "Senha do Agente";
  static constexpr const char* kPrompt = "Digite a senha para fechar:";
  static constexpr const char* kAvisoIncorreta =
      "Senha incorreta. O agente continuara em execucao.";

  // True when no password is configured or the typed one matches the stored
  // SHA-256; a wrong one shows the warning box and gives false.
  static bool ConfirmarFechamento();
};
