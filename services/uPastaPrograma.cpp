// The warning about a program folder that other users may write.
#include "services/uPastaPrograma.h"

#include <string>
#include <vector>

#include "log/uLogger.h"
#include "platform/uArquivos.h"
#include "platform/uDataHora.h"
#include "platform/uPermissoes.h"
#include "platform/uRegistro.h"
#include "platform/uRelogio.h"

namespace {

// Per user and out of other users' reach, unlike config.ini.
const char* const kChave = "Software\\Vesk\\Agent";
const char* const kValor = "AvisoPastaCompartilhada";

// The day and program this process has already decided on (warned, found
// nobody, or had its record refused): the registry and the access rights are
// then not read again at every pass that day.
std::string GDecidido;

}  // namespace

void TPastaPrograma::AvisarSeCompartilhada() noexcept {
  try {
    const std::string exe = Arquivos().CaminhoExecutavel();
    const std::string pasta = PastaDe(exe);
    if (pasta.empty()) return;
    const std::string hoje = FormatarDataHora("yyyy-mm-dd", Agora());
    const std::string decisao = hoje + "|" + exe;
    if (GDecidido == decisao) return;
    std::string ultimo;
    if (Registro().LerTextoUsuario(kChave, kValor, ultimo) && ultimo == hoje) {
      GDecidido = decisao;
      return;
    }
    std::vector<std::string> quem;
    Permissoes().OutrosPodemEscrever(pasta, quem);
    Permissoes().OutrosPodemEscrever(exe, quem);
    if (quem.empty()) {
      GDecidido = decisao;
      return;
    }
    std::string lista;
    for (const std::string& q : quem) lista += (lista.empty() ? "" : ", ") + q;
    TLogger::Log("Aviso de seguranca: a pasta do agente " + pasta +
                 " pode ser alterada por outros usuarios deste computador (" + lista +
                 "); instale o agente pelo pacote VeskAgent.msi ou na pasta local do usuario "
                 "(%LOCALAPPDATA%\\Talmeq\\VESKINTRANET\\agente\\).");
    Registro().GravarTextoUsuario(kChave, kValor, hoje);
    GDecidido = decisao;
  } catch (...) {
    // The warning is advice only; the check runs again at the next pass.
  }
}
