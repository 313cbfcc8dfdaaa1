// The notice state store over the profile file, one read or write per call.
#include "net/uConvencoes.h"
#include "notices/uEstadoMensagens.h"

#include <limits>

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

bool Espaco(char C) {
  return C == ' ' || (C >= '\t' && C <= '\r');
}

// One decimal integer as sscanf's "%d" takes it (blanks and a sign before the
// digits), except that a value past the int range is refused instead of
// wrapping round into a date that was never written.
bool LerInteiro(const std::string& ATexto, size_t& AI, int& AValor) {
  while (AI < ATexto.size() && Espaco(ATexto[AI])) ++AI;
  bool negativo = false;
  if (AI < ATexto.size() && (ATexto[AI] == '+' || ATexto[AI] == '-'))
    negativo = ATexto[AI++] == '-';
  const size_t inicio = AI;
  long long v = 0;
  for (; AI < ATexto.size() && ATexto[AI] >= '0' && ATexto[AI] <= '9'; ++AI) {
    v = v * 10 + (ATexto[AI] - '0');
    if (v > std::numeric_limits<int>::max()) return false;
  }
  if (AI == inicio) return false;
  AValor = static_cast<int>(negativo ? -v : v);
  return true;
}

// Six numbers "A<s>B<s>C D:E:F" (ASep between the parts of the date, blanks
// between date and time), the whole text; the seconds are optional.
bool LerNumeros(const std::string& ATexto, char ASep, int& A, int& B, int& C, int& D, int& E,
                int& F) {
  int* const campos[] = {&A, &B, &C, &D, &E, &F};
  const char separadores[] = {ASep, ASep, ' ', ':', ':'};
  F = 0;
  size_t i = 0;
  for (size_t k = 0; k < 6; ++k) {
    if (k > 0) {
      const char sep = separadores[k - 1];
      if (sep == ' ') {
        while (i < ATexto.size() && Espaco(ATexto[i])) ++i;
      } else {
        if (k == 5 && i == ATexto.size()) return true;
        if (i >= ATexto.size() || ATexto[i] != sep) return false;
        ++i;
      }
    }
    if (!LerInteiro(ATexto, i, *campos[k])) return false;
  }
  return i == ATexto.size();
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

size_t LimparEstadoAntigo(TDateTime AAgora) {
  const std::string arquivo = TConfigINI::ArquivoConfig();
  size_t removidas = 0;
  for (const char* secao : {kSecaoProcessadas, kSecaoExcluidas}) {
    // Keys stand in the order they were first written, so the walk stops at
    // the first that is recent (or ahead of the clock): those after it are
    // younger still, and a day's work stays small with any number of keys.
    size_t examinadas = 0;
    for (const std::string& chave : TConfigINI::Chaves(arquivo, secao)) {
      if (++examinadas > kMaxExaminadasPorDia || removidas >= kMaxRemovidasPorDia) break;
      TDateTime quando = 0;
      if (!LerDataHoraEstado(TConfigINI::LerTexto(arquivo, secao, chave, ""), quando)) continue;
      if (quando > AAgora || AAgora - quando <= kDiasEstadoMensagens) break;
      TConfigINI::ApagarChave(arquivo, secao, chave);
      ++removidas;
    }
  }
  if (removidas > 0) TConfigINI::Descarregar(arquivo);
  return removidas;
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
  if (!LerNumeros(t, '/', dia, mes, ano, hora, minuto, segundo) &&
      !LerNumeros(t, '-', ano, mes, dia, hora, minuto, segundo))
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
