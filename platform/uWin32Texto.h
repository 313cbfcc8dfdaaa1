// UTF-8 <-> UTF-16 at the Win32 boundary (only platform/*_win32.cpp include this).
#pragma once

#include <string>
#include <string_view>

#include "platform/uTexto.h"

inline std::wstring ParaWide(std::string_view ATexto) {
  const std::u16string u = Utf8ParaUtf16(ATexto);
  return std::wstring(u.begin(), u.end());
}

inline std::string DeWide(std::wstring_view ATexto) {
  return Utf16ParaUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(ATexto.data()), ATexto.size()));
}
