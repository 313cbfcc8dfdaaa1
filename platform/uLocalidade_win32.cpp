// Regional number format on Windows, from the user's locale.
#include <windows.h>

#include "platform/uLocalidade.h"
#include "platform/uWin32Texto.h"

std::string SeparadorDecimal() {
  wchar_t buf[8] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8);
  if (n <= 1) return ".";
  return DeWide(std::wstring(buf, static_cast<size_t>(n - 1)));
}
