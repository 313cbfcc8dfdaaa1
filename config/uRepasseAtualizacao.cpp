// The update hand-over record, one small INI file beside the executable.
#include "config/uRepasseAtualizacao.h"

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

std::string TRegistroRepasse::Arquivo(const std::string& AExe) {
  return PastaDe(AExe) + "backup" + kSep + "atualizacao.ini";
}

bool TRegistroRepasse::Ler(const std::string& AExe, TRepasseAtualizacao& ARepasse) {
  const std::string arq = Arquivo(AExe);
  ARepasse = {};
  ARepasse.Revertida = ::Ler(arq, "REVERTIDA");
  int32_t pid = 0;
  if (!LerInteiroDecimal32(::Ler(arq, "PID"), pid) || pid <= 0) return false;
  ARepasse.Pid = static_cast<uint32_t>(pid);
  // A record without it (an older agent's) names the process by its id alone.
  const std::string inicio = ::Ler(arq, "INICIO");
  const char* fim = inicio.data() + inicio.size();
  if (const auto r = std::from_chars(inicio.data(), fim, ARepasse.Inicio);
      r.ec != std::errc() || r.ptr != fim)
    ARepasse.Inicio = 0;
  ARepasse.VersaoAnterior = ::Ler(arq, "VERSAO_ANTERIOR");
  ARepasse.VersaoNova = ::Ler(arq, "VERSAO_NOVA");
  return LerDataHoraRegional(kCarimbo, ::Ler(arq, "HORA"), ARepasse.Hora);
}

bool TRegistroRepasse::Gravar(const std::string& AExe, const TRepasseAtualizacao& ARepasse) {
  const std::string arq = Arquivo(AExe);
  Arquivos().CriarPastas(PastaDe(arq));
  IPerfil& p = Perfil();
  uint64_t inicio = ARepasse.Inicio;
  if (inicio == 0 && ARepasse.Pid == Sistema().IdProcesso())
    inicio = Processos().HoraInicioPropria();
  const bool ok =
      p.EscreverTexto(arq, kSecao, "PID", std::to_string(ARepasse.Pid)) &&
      p.EscreverTexto(arq, kSecao, "INICIO", std::to_string(inicio)) &&
      p.EscreverTexto(arq, kSecao, "VERSAO_ANTERIOR", ARepasse.VersaoAnterior) &&
      p.EscreverTexto(arq, kSecao, "VERSAO_NOVA", ARepasse.VersaoNova) &&
      p.EscreverTexto(arq, kSecao, "HORA", FormatarDataHora("yyyy-mm-dd hh:nn:ss", ARepasse.Hora));
  p.Descarregar(arq);
  return ok;
}

void TRegistroRepasse::Cancelar(const std::string& AExe) {
  const std::string arq = Arquivo(AExe);
  Perfil().ApagarChave(arq, kSecao, "PID");
  Perfil().ApagarChave(arq, kSecao, "INICIO");
  Perfil().Descarregar(arq);
}

std::string TRegistroRepasse::Revertida(const std::string& AExe) {
  return ::Ler(Arquivo(AExe), "REVERTIDA");
}

bool TRegistroRepasse::MarcarRevertida(const std::string& AExe, const std::string& AVersao) {
  const std::string arq = Arquivo(AExe);
  Arquivos().CriarPastas(PastaDe(arq));
  const bool ok = Perfil().EscreverTexto(arq, kSecao, "REVERTIDA", AVersao);
  Perfil().Descarregar(arq);
  return ok;
}
