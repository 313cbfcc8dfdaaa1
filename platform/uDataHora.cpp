// Date-time values as days since 1899-12-30.
#include "platform/uDataHora.h"

#include <cmath>
#include <cstdio>

namespace {

// Days from 1899-12-30 to the civil date (proleptic Gregorian).
long long DiasDesdeBase(int y, int m, int d) {
  // days_from_civil (H. Hinnant), relative to 1970-01-01, then shifted.
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long unix = era * 146097 + static_cast<long long>(doe) - 719468;
  return unix + 25569;
}

void CivilDeDias(long long dias, int& y, int& m, int& d) {
  long long z = dias - 25569 + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

}  // namespace

TDateTime CodificarDataHora(const TPartesDataHora& P) {
  const double dias = static_cast<double>(DiasDesdeBase(P.Ano, P.Mes, P.Dia));
  const double frac =
      (P.Hora * 3600000.0 + P.Minuto * 60000.0 + P.Segundo * 1000.0 + P.Milissegundo) / 86400000.0;
  // Before the base day the fraction counts away from zero, as the day numbers do.
  return dias >= 0 ? dias + frac : dias - frac;
}

TPartesDataHora DecodificarDataHora(TDateTime AValor) {
  TPartesDataHora p;
  double dias = std::trunc(AValor);
  double frac = std::fabs(AValor - dias);
  long long ms = std::llround(frac * 86400000.0);
  if (ms >= 86400000) {
    ms -= 86400000;
    dias += AValor >= 0 ? 1 : -1;
  }
  CivilDeDias(static_cast<long long>(dias), p.Ano, p.Mes, p.Dia);
  p.Hora = static_cast<int>(ms / 3600000);
  p.Minuto = static_cast<int>(ms / 60000 % 60);
  p.Segundo = static_cast<int>(ms / 1000 % 60);
  p.Milissegundo = static_cast<int>(ms % 1000);
  return p;
}

std::string FormatarDataHora(std::string_view APadrao, TDateTime AValor) {
  const TPartesDataHora p = DecodificarDataHora(AValor);
  std::string out;
  char buf[16];
  bool depoisDeHora = false;
  size_t i = 0;
  auto comeca = [&](std::string_view tok) { return APadrao.substr(i, tok.size()) == tok; };
  while (i < APadrao.size()) {
    if (comeca("yyyy")) {
      std::snprintf(buf, sizeof buf, "%04d", p.Ano);
      i += 4;
      depoisDeHora = false;
    } else if (comeca("zzz")) {
      std::snprintf(buf, sizeof buf, "%03d", p.Milissegundo);
      i += 3;
    } else if (comeca("mm")) {
      std::snprintf(buf, sizeof buf, "%02d", depoisDeHora ? p.Minuto : p.Mes);
      i += 2;
      depoisDeHora = false;
    } else if (comeca("dd")) {
      std::snprintf(buf, sizeof buf, "%02d", p.Dia);
      i += 2;
    } else if (comeca("hh")) {
      std::snprintf(buf, sizeof buf, "%02d", p.Hora);
      i += 2;
      depoisDeHora = true;
      out += buf;
      continue;
    } else if (comeca("nn")) {
      std::snprintf(buf, sizeof buf, "%02d", p.Minuto);
      i += 2;
      depoisDeHora = false;
    } else if (comeca("ss")) {
      std::snprintf(buf, sizeof buf, "%02d", p.Segundo);
      i += 2;
    } else {
      out += APadrao[i++];
      continue;
    }
    out += buf;
  }
  return out;
}

long long MinutosEntre(TDateTime A, TDateTime B) {
  const double d = std::fabs(A - B) * 24.0 * 60.0;
  // A hair of slack so that exactly 15 minutes computed in days is not 14.
  return static_cast<long long>(std::floor(d + 1e-7));
}
