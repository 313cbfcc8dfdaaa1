// The chat's unread side: its request addresses and the text scanner of its
// replies.
#include "chat/uChatUnread.h"

#include <algorithm>
#include <limits>

#include "chat/uChatBrowser.h"
#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uConvencoes.h"
#include "net/uJsonHelper.h"
#include "platform/uJanelasExternas.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"

namespace {

std::string MontarUrl(const std::string& ACaminho) {
  const std::string t = CodificarURL(Aparar(TConfigINI::Carregar().ApiToken));
  const std::string pc = CodificarURL(ObterNomeComputador());
  const std::string u = CodificarURL(ObterUsuarioWindows());
  return TVeskChatBrowser::UrlBaseChat() + ACaminho + "?api_token=" + t + "&token=" + t +
         "&pc=" + pc + "&computador=" + pc + "&user=" + u + "&usuario=" + u +
         "&_=" + std::to_string(Relogio().TickCount());
}

int HexDigito(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return 0;
}

// Bytes of the UTF-8 character at AI; 1 for a byte that starts none.
size_t TamanhoCaractere(const std::string& ATexto, size_t AI) {
  const auto b = static_cast<unsigned char>(ATexto[AI]);
  const size_t tam = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 1;
  if (tam == 1 || AI + tam > ATexto.size()) return 1;
  for (size_t k = 1; k < tam; ++k)
    if ((static_cast<unsigned char>(ATexto[AI + k]) & 0xC0) != 0x80) return 1;
  return tam;
}

}  // namespace

std::string TChatUnread::MontarUrlUnread() {
  return MontarUrl("api/agent_chat_unread.php");
}

std::string TChatUnread::MontarUrlMarcarLidas() {
  return MontarUrl("api/agent_chat_mark_read_all.php");
}

int32_t TChatUnread::ExtrairNaoLidas(const std::string& ATexto) {
  const std::string L = MinusculasAscii(ATexto);
  size_t k = L.find("\"unread\"");
  if (k == std::string::npos) k = L.find("\"nao_lidas\"");
  if (k == std::string::npos) return 0;
  const size_t c = L.find(':', k);
  if (c != std::string::npos) k = c + 1;
  while (k < L.size() && (L[k] < '0' || L[k] > '9')) ++k;
  int64_t n = 0;
  bool algum = false;
  for (; k < L.size() && L[k] >= '0' && L[k] <= '9'; ++k) {
    algum = true;
    n = n * 10 + (L[k] - '0');
    if (n > std::numeric_limits<int32_t>::max()) return 0;
  }
  return algum ? static_cast<int32_t>(n) : 0;
}

std::string TChatUnread::ExtrairCampoJson(const std::string& ATexto, const std::string& AChave) {
  const size_t p = MinusculasAscii(ATexto).find("\"" + MinusculasAscii(AChave) + "\"");
  if (p == std::string::npos) return {};
  const size_t c = ATexto.find(':', p);
  if (c == std::string::npos) return {};
  size_t i = c + 1;
  const size_t n = ATexto.size();
  while (i < n && (ATexto[i] == '\t' || ATexto[i] == '\n' || ATexto[i] == '\r' || ATexto[i] == ' '))
    ++i;
  std::string v;
  if (i < n && ATexto[i] == '"') {
    for (++i; i < n; ++i) {
      const char ch = ATexto[i];
      if (ch == '\\' && i + 1 < n) {
        v += ch;
        v += ATexto[++i];
        continue;
      }
      if (ch == '"') break;
      v += ch;
    }
  } else {
    while (i < n && ATexto[i] != '\n' && ATexto[i] != '\r' && ATexto[i] != ',' && ATexto[i] != '}')
      v += ATexto[i++];
  }
  return DecodificarTextoJson(v);
}

std::string TChatUnread::DecodificarTextoJson(const std::string& ATexto) {
  std::string r;
  r.reserve(ATexto.size());
  // Consecutive \u escapes are joined as UTF-16, so that a surrogate pair
  // gives its one character (a lone half gives U+FFFD).
  std::u16string unidades;
  auto descarregar = [&] {
    if (unidades.empty()) return;
    r += Utf16ParaUtf8(unidades);
    unidades.clear();
  };
  const size_t n = ATexto.size();
  for (size_t i = 0; i < n;) {
    const char ch = ATexto[i];
    if (ch != '\\' || i + 1 >= n) {
      descarregar();
      r += ch;
      ++i;
      continue;
    }
    const char e = ATexto[i + 1];
    if (e == 'u') {
      // Four characters (UTF-16 units), not bytes: an accent among them counts
      // as a 0 digit and is taken whole, so that no character is cut in two.
      size_t j = i + 2, contadas = 0;
      char16_t u = 0;
      while (j < n && contadas < 4) {
        const size_t tam = TamanhoCaractere(ATexto, j);
        const size_t valem = std::min<size_t>(tam == 4 ? 2 : 1, 4 - contadas);
        for (size_t k = 0; k < valem; ++k)
          u = static_cast<char16_t>(u * 16 + (tam == 1 ? HexDigito(ATexto[j]) : 0));
        contadas += valem;
        j += tam;
      }
      if (contadas == 4) {
        unidades += u;
        i = j;
      } else {
        i += 2;  // gives nothing; what follows is ordinary text
      }
      continue;
    }
    descarregar();
    if (e == 'n' || e == 'r' || e == 't')
      r += ' ';
    else
      r += e;  // a quote, "/", a backslash, or the character itself
    i += 2;
  }
  descarregar();
  return Aparar(r);
}
