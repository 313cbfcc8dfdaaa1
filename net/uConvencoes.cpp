// Query encoding, the computer and user names, and the masking of the API
// token in log lines.
#include "config/uConfigINI.h"
#include "net/uConvencoes.h"
#include "platform/uSistema.h"
#include "platform/uTexto.h"

namespace {

bool Preservado(unsigned char b) {
  if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) return true;
  switch (b) {
    case '!':
    case '$':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '-':
    case '.':
    case '@':
    case '_':
      return true;
    default:
      return false;
  }
}

// Characters that end a parameter value quoted in a log line.
bool FimDoValor(char c) {
  return c == '&' || c == '"' || c == '\'' || c == '#' || c == '<' || c == '>' ||
         static_cast<unsigned char>(c) <= 32;
}

// Masks the value after every "api_token=" (any case) in the text. One pass:
// a body of megabytes full of such names costs its length, not its square.
std::string MascararParametros(const std::string& ATexto) {
  static constexpr std::string_view kNome = "api_token=";
  const std::string minusculo = MinusculasAscii(ATexto);
  std::string r;
  r.reserve(ATexto.size());
  size_t copiado = 0;
  for (size_t pos = minusculo.find(kNome); pos != std::string::npos;
       pos = minusculo.find(kNome, pos)) {
    const size_t inicio = pos + kNome.size();
    size_t fim = inicio;
    while (fim < ATexto.size() && !FimDoValor(ATexto[fim])) ++fim;
    r.append(ATexto, copiado, inicio - copiado);
    if (fim > inicio) r += MascararToken(std::string_view(ATexto).substr(inicio, fim - inicio));
    copiado = fim;
    pos = fim;
  }
  r.append(ATexto, copiado, std::string::npos);
  return r;
}

}  // namespace

std::string CodificarURL(std::string_view ATexto) {
  static const char* kHex = "0123456789ABCDEF";
  std::string r;
  r.reserve(ATexto.size() * 3);
  for (char ch : ATexto) {
    const auto b = static_cast<unsigned char>(ch);
    if (Preservado(b)) {
      r += ch;
    } else if (b == ' ') {
      r += '+';
    } else {
      r += '%';
      r += kHex[b >> 4];
      r += kHex[b & 15];
    }
  }
  return r;
}

std::string ObterNomeComputador() {
  std::string nome;
  if (!Sistema().NomeComputador(nome) || nome.empty()) return "PC";
  return nome;
}

std::string ObterNomeComputadorMaiusculo() {
  std::string nome;
  if (!Sistema().NomeComputador(nome)) return "PC";
  nome = MaiusculasAscii(Aparar(nome));
  return nome.empty() ? "PC" : nome;
}

std::string ObterNomeUsuario() {
  return VariavelAmbiente("USERNAME");
}

std::string ObterUsuarioTarefas() {
  const std::string u = VariavelAmbiente("USERNAME");
  return EmBranco(u) ? "USER" : u;
}

std::string ObterUsuarioWindows() {
  std::string nome;
  if (!Sistema().NomeUsuarioLogon(nome) || nome.empty()) return "Usuario";
  return nome;
}

std::string MascararToken(std::string_view AToken) {
  const std::u16string u = Utf8ParaUtf16(AToken);
  if (u.size() <= 12) return "***";
  return Utf16ParaUtf8(u.substr(0, 6)) + "..." + Utf16ParaUtf8(u.substr(u.size() - 4));
}

std::string MascararTokenNoTexto(std::string_view ATexto, std::string_view AToken) {
  std::string r(ATexto);
  if (EmBranco(AToken)) return r;
  const std::string mascara = MascararToken(AToken);
  r = SubstituirTudo(r, AToken, mascara);
  const std::string codificado = CodificarURL(AToken);
  if (codificado != AToken) r = SubstituirTudo(r, codificado, mascara);
  return r;
}

std::string OcultarToken(std::string_view ATexto) {
  // Read without creating folders: this runs while logging a failure.
  const std::string token = TConfigINI::LerTexto(TConfigINI::PastaBaseSemCriar() + "config.ini",
                                                 "SERVIDOR", "API_TOKEN", "");
  std::string r = MascararTokenNoTexto(ATexto, token);
  // The token the policy gives is the one the requests carry.
  if (const auto politica = TConfigINI::Politica().ApiToken; politica && *politica != token)
    r = MascararTokenNoTexto(r, *politica);
  return MascararParametros(r);
}
