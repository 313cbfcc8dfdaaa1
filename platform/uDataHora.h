// Date-time values: a double of days since 1899-12-30 in local time, so that
// "less than 0.25 day" reads as written.
#pragma once

#include <string>
#include <string_view>

using TDateTime = double;

struct TPartesDataHora {
  int Ano = 1899, Mes = 12, Dia = 30;
  int Hora = 0, Minuto = 0, Segundo = 0, Milissegundo = 0;
};

TDateTime CodificarDataHora(const TPartesDataHora& P);
TPartesDataHora DecodificarDataHora(TDateTime AValor);

constexpr double kUmaHora = 1.0 / 24.0;
constexpr double kUmMinuto = 1.0 / (24.0 * 60.0);
constexpr double kUmSegundo = 1.0 / (24.0 * 60.0 * 60.0);

// Formats with the tokens yyyy, mm (month, or minutes right after hh), dd, hh,
// nn, ss, zzz; every other character is copied. Examples: "yyyy-mm-dd hh:nn:ss",
// "dd/mm/yyyy hh:nn:ss", "yyyy_mm_dd", "hhnnsszzz", "yyyymmdd_hhnnss".
std::string FormatarDataHora(std::string_view APadrao, TDateTime AValor);

// Whole minutes between two moments (absolute difference, truncated).
long long MinutosEntre(TDateTime A, TDateTime B);
