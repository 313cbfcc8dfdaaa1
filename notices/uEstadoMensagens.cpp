// The notice state store over the profile file, one read or write per call.
#include "notices/uEstadoMensagens.h"

#include <cstdio>

#include "config/uConfigINI.h"
#include "net/uJsonHelper.h"
#include "platform/uLocalidade.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"

namespace {

// No value can hold it: the profile file keeps no control characters in a value
// the agent wrote, and a value is trimmed of them on reading.
const char* const kAusente = "\x01\x02ausente\x02\x01";

// The key is looked up by itself rather than in the list of all names, so
// that the check costs the same with a handful of keys or a hundred thousand,
// and no list can come back cut short.
bool ChavePresente(const char* ASecao, const std::string& AChave) {
  return TConfigINI::LerTexto(ASecao, AChave, kAusente) != kAusente;
}

void Marcar(const char* ASecao, const std::string& ASourceTable, int32_t AId) {
  if (AId <= 0) return;
  const std::string arquivo = TConfigINI::ArquivoConfig();
  TConfigINI::EscreverTexto(arquivo, ASecao, MontarChaveMensagem(ASourceTable, AId),
                            FormatarDataHora("yyyy-mm-dd hh:nn:ss", Agora()));
  TConfigINI::Descarregar(arquivo);
}

bool LerNumeros(const std::string& ATexto, const char* AFormato, int& A, int& B, int& C, int& D,
                int& E, int& F) {
  int consumidos = 0;
  F = 0;
  const int n = std::sscanf(ATexto.c_str(), AFormato, &A, &B, &C, &D, &E, &F, &consumidos);
  // Seconds are optional: "%n" counts only when the whole pattern matched.
  if (n == 6 && consumidos == static_cast<int>(ATexto.size())) return true;
  consumidos = 0;
  std::string semSegundos(AFormato);
  semSegundos = semSegundos.substr(0, semSegundos.rfind(':')) + "%n";
  return std::sscanf(ATexto.c_str(), semSegundos.c_str(), &A, &B, &C, &D, &E, &consumidos) == 5 &&
         consumidos == static_cast<int>(ATexto.size());
}

}  // namespace

std::string MontarChaveMensagem(const std::string& ASourceTable, int32_t AId) {
  return MinusculasAscii(Aparar(ASourceTable)) + ":" + std::to_string(AId) + ":" +
         ObterNomeComputadorMaiusculo();
}

bool MensagemProcessada(const std::string& ASourceTable, int32_t AId) {
  return AId > 0 && ChavePresente(kSecaoProcessadas, MontarChaveMensagem(ASourceTable, AId));
}

bool MensagemExcluida(const std::string& ASourceTable, int32_t AId) {
  return AId > 0 && ChavePresente(kSecaoExcluidas, MontarChaveMensagem(ASourceTable, AId));
}

void MarcarMensagemProcessada(const std::string& ASourceTable, int32_t AId) {
  Marcar(kSecaoProcessadas, ASourceTable, AId);
}

void MarcarMensagemExcluida(const std::string& ASourceTable, int32_t AId) {
  Marcar(kSecaoExcluidas, ASourceTable, AId);
}

void DesmarcarMensagemProcessada(const std::string& ASourceTable, int32_t AId) {
  if (AId <= 0) return;
  const std::string arquivo = TConfigINI::ArquivoConfig();
  TConfigINI::ApagarChave(arquivo, kSecaoProcessadas, MontarChaveMensagem(ASourceTable, AId));
  TConfigINI::Descarregar(arquivo);
}

int32_t LerUltimoIdEntregue() {
  return TConfigINI::LerInteiro(kSecaoControle, "ULTIMO_ID_ENTREGUE", 0);
}

void AtualizarUltimoIdEntregue(int32_t AId) {
  if (AId <= 0) return;
  const std::string arquivo = TConfigINI::ArquivoConfig();
  if (TConfigINI::LerInteiro(arquivo, kSecaoControle, "ULTIMO_ID_ENTREGUE", 0) >= AId) return;
  TConfigINI::EscreverInteiro(arquivo, kSecaoControle, "ULTIMO_ID_ENTREGUE", AId);
  TConfigINI::EscreverTexto(arquivo, kSecaoControle, "ULTIMA_ATUALIZACAO",
                            TextoDataHoraEstado(Agora()));
  TConfigINI::Descarregar(arquivo);
}

std::string TextoDataHoraEstado(TDateTime AValor) {
  return FormatarDataHoraRegional(AValor);
}

bool LerDataHoraEstado(const std::string& ATexto, TDateTime& AValor) {
  const std::string t = Aparar(ATexto);
  if (LerDataHoraRegional(t, AValor)) return true;
  // A value written under other regional settings still reads when it has
  // the day-first or the ISO shape.
  int dia = 0, mes = 0, ano = 0, hora = 0, minuto = 0, segundo = 0;
  if (!LerNumeros(t, "%d/%d/%d %d:%d:%d%n", dia, mes, ano, hora, minuto, segundo) &&
      !LerNumeros(t, "%d-%d-%d %d:%d:%d%n", ano, mes, dia, hora, minuto, segundo))
    return false;
  if (ano < 1 || ano > 9999 || mes < 1 || mes > 12 || dia < 1 || hora < 0 || hora > 23 ||
      minuto < 0 || minuto > 59 || segundo < 0 || segundo > 59)
    return false;
  static const int kDias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool bissexto = (ano % 4 == 0 && ano % 100 != 0) || ano % 400 == 0;
  if (dia > kDias[mes - 1] + (mes == 2 && bissexto ? 1 : 0)) return false;
  TPartesDataHora p;
  p.Ano = ano;
  p.Mes = mes;
  p.Dia = dia;
  p.Hora = hora;
  p.Minuto = minuto;
  p.Segundo = segundo;
  AValor = CodificarDataHora(p);
  return true;
}
