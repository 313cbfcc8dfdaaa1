// Autostart: the user's Run value that starts the agent at log-on.
#include "app/uStartupWindows.h"

#include <string>

#include "platform/uArquivos.h"
#include "platform/uRegistro.h"
#include "platform/uTexto.h"

namespace {

// The program a Run value starts: the text inside its leading quotes, or the
// whole value when it has none.
std::string ProgramaDoValor(const std::string& AValor) {
  const std::string v = Aparar(AValor);
  if (v.empty() || v.front() != '"') return v;
  const size_t fim = v.find('"', 1);
  return v.substr(1, fim == std::string::npos ? std::string::npos : fim - 1);
}

}  // namespace

void TStartupWindows::AtivarZelvan() noexcept {
  try {
    IRegistro& r = Registro();
    const std::string exe = Arquivos().CaminhoExecutavel();
    std::string maquina;
    if (r.LerTextoMaquina(kChaveRun, kNomeValor, maquina) &&
        IgualSemCaixa(ProgramaDoValor(maquina), exe)) {
      // The package's value starts this copy at every log-on and goes with an
      // uninstall; a value of the user's own would outlive it, naming a
      // program that is gone.
      std::string usuario;
      if (r.LerTextoUsuario(kChaveRun, kNomeValor, usuario)) {
        const std::string alvo = ProgramaDoValor(usuario);
        if (IgualSemCaixa(alvo, exe) || !Arquivos().ArquivoExiste(alvo))
          r.ApagarValorUsuario(kChaveRun, kNomeValor);
      }
      return;
    }
    // Quoted, so that a path with spaces starts the right program.
    r.GravarTextoUsuario(kChaveRun, kNomeValor, "\"" + exe + "\"");
  } catch (...) {
    // No access or a policy: the agent runs without autostart.
  }
}
