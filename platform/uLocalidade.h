// Regional number, date and time format of the user's locale.
#pragma once

#include <string>
#include <string_view>

#include "platform/uDataHora.h"

// The decimal separator of the user's regional settings ("." natively).
std::string SeparadorDecimal();

// The user's short date and long time patterns in the system's picture
// notation (d, dd, M, MM, yy, yyyy, h, hh, H, HH, m, mm, s, ss, t, tt, quoted
// literals) and the AM/PM designators. Natively the fixed "dd/MM/yyyy" and
// "HH:mm:ss", designators "AM" and "PM".
struct TFormatoRegional {
  std::string DataCurta = "dd/MM/yyyy";
  std::string HoraLonga = "HH:mm:ss";
  std::string AM = "AM";
  std::string PM = "PM";
};
TFormatoRegional FormatoRegional();

// A moment as the regional short date, a blank and the long time: the text a
// stored local time is written in. Name tokens (ddd, MMM, gg) are written as
// numbers.
std::string FormatarDataHoraRegional(const TFormatoRegional& AFormato, TDateTime AValor);
std::string FormatarDataHoraRegional(TDateTime AValor);
// Reads such a text back: the date numbers in the order of the short date
// pattern, then hours, minutes and optional seconds with an optional AM/PM
// designator. False when the text does not hold a valid date and time.
bool LerDataHoraRegional(const TFormatoRegional& AFormato, std::string_view ATexto,
                         TDateTime& AValor);
bool LerDataHoraRegional(std::string_view ATexto, TDateTime& AValor);
