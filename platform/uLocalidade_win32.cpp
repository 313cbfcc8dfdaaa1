// Regional formats on Windows, from the user's locale.
#include <windows.h>

#include "platform/uLocalidade.h"
#include "platform/uWin32Texto.h"

namespace {

// One locale value; "" when it cannot be read.
std::string Valor(LCTYPE ATipo) {
  wchar_t buf[96] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, ATipo, buf, 96);
  if (n <= 1) return {};
  return DeWide(std::wstring(buf, static_cast<size_t>(n - 1)));
}

}  // namespace

std::string SeparadorDecimal() {
  const std::string s = Valor(LOCALE_SDECIMAL);
  return s.empty() ? "." : s;
}

TFormatoRegional FormatoRegional() {
  TFormatoRegional f;
  if (std::string v = Valor(LOCALE_SSHORTDATE); !v.empty()) f.DataCurta = v;
  if (std::string v = Valor(LOCALE_STIMEFORMAT); !v.empty()) f.HoraLonga = v;
  if (std::string v = Valor(LOCALE_S1159); !v.empty()) f.AM = v;
  if (std::string v = Valor(LOCALE_S2359); !v.empty()) f.PM = v;
  return f;
}
