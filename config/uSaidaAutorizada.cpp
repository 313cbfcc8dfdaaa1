// The record of a deliberate end of the agent, one small INI file per employee.
#include "config/uSaidaAutorizada.h"

#include <charconv>
#include <cmath>

#include "config/uConfigINI.h"
#include "platform/uArquivos.h"
#include "platform/uLocalidade.h"
#include "platform/uPerfil.h"
#include "platform/uProcessos.h"
#include "platform/uRelogio.h"
#include "platform/uSistema.h"
#include "platform/uTexto.h"

namespace {

const char* const kSecao = "SAIDA";
const TFormatoRegional kCarimbo{"yyyy-MM-dd", "HH:mm:ss", "AM", "PM"};
constexpr double kValidadeSemInicioDias = 2.0 / (24.0 * 60.0);

std::string Ler(const std::string& AArq, const char* AChave) {
  return Perfil().LerTexto(AArq, kSecao, AChave, "");
}

uint64_t LerInicio(const std::string& ATexto) {
  uint64_t v = 0;
  const char* fim = ATexto.data() + ATexto.size();
  const auto r = std::from_chars(ATexto.data(), fim, v);
  return r.ec == std::errc() && r.ptr == fim ? v : 0;
}

}  // namespace

std::string TSaidaAutorizada::Arquivo() {
  std::string pasta = TConfigINI::PastaUsuario();
  if (pasta.empty()) pasta = TConfigINI::PastaBaseSemCriar();
  return pasta + "saida_autorizada.ini";
}

bool TSaidaAutorizada::Registrar() noexcept {
  try {
    return Gravar(Sistema().IdProcesso(), Processos().HoraInicioPropria(), Relogio().Agora());
  } catch (...) {
    return false;
  }
}

bool TSaidaAutorizada::Gravar(uint32_t APid, uint64_t AInicio, TDateTime AHora) {
  const std::string arq = Arquivo();
  Arquivos().CriarPastas(PastaDe(arq));
  IPerfil& p = Perfil();
  const bool ok =
      p.EscreverTexto(arq, kSecao, "PID", std::to_string(APid)) &&
      p.EscreverTexto(arq, kSecao, "INICIO", std::to_string(AInicio)) &&
      p.EscreverTexto(arq, kSecao, "HORA", FormatarDataHora("yyyy-mm-dd hh:nn:ss", AHora));
  p.Descarregar(arq);
  return ok;
}

bool TSaidaAutorizada::Confere(uint32_t APid, uint64_t AInicio, TDateTime AAgora) {
  const std::string arq = Arquivo();
  int32_t pid = 0;
  if (APid == 0 || !LerInteiroDecimal32(Ler(arq, "PID"), pid) || pid <= 0 ||
      static_cast<uint32_t>(pid) != APid)
    return false;
  const uint64_t inicio = LerInicio(Ler(arq, "INICIO"));
  if (inicio != 0 && AInicio != 0) return inicio == AInicio;
  TDateTime hora = 0;
  return LerDataHoraRegional(kCarimbo, Ler(arq, "HORA"), hora) &&
         std::fabs(AAgora - hora) < kValidadeSemInicioDias;
}

void TSaidaAutorizada::Apagar() {
  const std::string arq = Arquivo();
  for (const char* chave : {"PID", "INICIO", "HORA"}) Perfil().ApagarChave(arq, kSecao, chave);
  Perfil().Descarregar(arq);
}
