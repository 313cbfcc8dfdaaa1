// The close password: asked before the agent may be closed.
#include "app/uSenhaAgente.h"

#include <string>

#include "config/uConfigINI.h"
#include "platform/uDigest.h"
#include "platform/uTexto.h"
#include "platform/ui/uKit.h"

bool TSenhaAgente::ConfirmarFechamento() {
  const TConfigAgente cfg = TConfigINI::Carregar();
  if (EmBranco(cfg.SenhaAgenteHash)) return true;

  std::string senha;
  // Cancel (or closing the box) counts as the empty password.
  if (!ui::app::CaixaEntrada(kTitulo, kPrompt, senha)) senha.clear();

  // The server stores lowercase hex; an uppercase copy must match all the same.
  if (MinusculasAscii(Sha256Hex(senha)) == MinusculasAscii(cfg.SenhaAgenteHash)) return true;

  ui::app::CaixaMensagem(nullptr, kAvisoIncorreta, ui::app::Titulo(), ui::TTipoCaixa::Aviso);
  return false;
}
