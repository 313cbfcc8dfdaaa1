// The chat's unread side: the addresses of its unread count and mark-all-read
// requests, and the text scanner of the replies (the chat answers loosely
// formed JSON, so it is scanned rather than parsed).
#pragma once

#include <cstdint>
#include <string>

class TChatUnread {
 public:
  static std::string MontarUrlUnread();
  static std::string MontarUrlMarcarLidas();
  // The "unread" (or "nao_lidas") count; 0 when absent or not a number.
  static int32_t ExtrairNaoLidas(const std::string& ATexto);
  // A member's text, its JSON escapes decoded; "" when absent.
  static std::string ExtrairCampoJson(const std::string& ATexto, const std::string& AChave);
  static std::string DecodificarTextoJson(const std::string& ATexto);
};
