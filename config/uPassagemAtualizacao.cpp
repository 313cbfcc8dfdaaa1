// The update hand-over record, one small INI file beside the executable.
#include "config/uPassagemAtualizacao.h"

#include <charconv>

#include "platform/uArquivos.h"
#include "platform/uLocalidade.h"
#include "platform/uPerfil.h"
#include "platform/uProcessos.h"
#include "platform/uSistema.h"
#include "platform/uTexto.h"

namespace {

const char* const kSecao = "ATUALIZACAO";
const TFormatoRegional kCarimbo{"yyyy-MM-dd", "HH:mm:ss", "AM", "PM"};

std::string Ler(const std::string& AArq, const char* AChave) {
  return Perfil().LerTexto(AArq, kSecao, AChave, "");
}

}  // namespace

std::string TRegistroPassagem::Arquivo(const std::string& AExe) {
  return PastaDe(AExe) + "backup" + kSep + "atualizacao.ini";
}

bool TRegistroPassagem::Ler(const std::string& AExe, TPassagemAtualizacao& APassagem) {
  const std::string arq = Arquivo(AExe);
  APassagem = {};
  APassagem.Revertida = ::Ler(arq, "REVERTIDA");
  int32_t pid = 0;
  if (!LerInteiroDecimal32(::Ler(arq, "PID"), pid) || pid <= 0) return false;
  APassagem.Pid = static_cast<uint32_t>(pid);
  // A record without it (an older agent's) names the process by its id alone.
  const std::string inicio = ::Ler(arq, "INICIO");
  const char* fim = inicio.data() + inicio.size();
  if (const auto r = std::from_chars(inicio.data(), fim, APassagem.Inicio);
      r.ec != std::errc() || r.ptr != fim)
    APassagem.Inicio = 0;
  APassagem.VersaoAnterior = ::Ler(arq, "VERSAO_ANTERIOR");
  APassagem.VersaoNova = ::Ler(arq, "VERSAO_NOVA");
  return LerDataHoraRegional(kCarimbo, ::Ler(arq, "HORA"), APassagem.Hora);
}

bool TRegistroPassagem::Gravar(const std::string& AExe, const TPassagemAtualizacao& APassagem) {
  const std::string arq = Arquivo(AExe);
  Arquivos().CriarPastas(PastaDe(arq));
  IPerfil& p = Perfil();
  uint64_t inicio = APassagem.Inicio;
  if (inicio == 0 && APassagem.Pid == Sistema().IdProcesso())
    inicio = Processos().HoraInicioPropria();
  const bool ok =
      p.EscreverTexto(arq, kSecao, "PID", std::to_string(APassagem.Pid)) &&
      p.EscreverTexto(arq, kSecao, "INICIO", std::to_string(inicio)) &&
      p.EscreverTexto(arq, kSecao, "VERSAO_ANTERIOR", APassagem.VersaoAnterior) &&
      p.EscreverTexto(arq, kSecao, "VERSAO_NOVA", APassagem.VersaoNova) &&
      p.EscreverTexto(arq, kSecao, "HORA", FormatarDataHora("yyyy-mm-dd hh:nn:ss", APassagem.Hora));
  p.Descarregar(arq);
  return ok;
}

void TRegistroPassagem::Cancelar(const std::string& AExe) {
  const std::string arq = Arquivo(AExe);
  Perfil().ApagarChave(arq, kSecao, "PID");
  Perfil().ApagarChave(arq, kSecao, "INICIO");
  Perfil().Descarregar(arq);
}

std::string TRegistroPassagem::Revertida(const std::string& AExe) {
  return ::Ler(Arquivo(AExe), "REVERTIDA");
}

bool TRegistroPassagem::MarcarRevertida(const std::string& AExe, const std::string& AVersao) {
  const std::string arq = Arquivo(AExe);
  Arquivos().CriarPastas(PastaDe(arq));
  const bool ok = Perfil().EscreverTexto(arq, kSecao, "REVERTIDA", AVersao);
  Perfil().Descarregar(arq);
  return ok;
}
