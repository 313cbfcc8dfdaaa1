// Inflating, charset decoding and form encoding of HTTP bodies.
#include "net/uHttpCorpo.h"

#include <zlib.h>

#include "platform/uErros.h"
#include "platform/uHttpTransporte.h"
#include "platform/uTexto.h"

namespace {

// Refuse to inflate past this size: a tiny body must not exhaust memory.
constexpr size_t kLimiteInflado = size_t{256} * 1024 * 1024;

// Inflates with the given window bits; false when the data is not a complete,
// valid stream of that kind or it inflates past ALimite (AExcedeu then set).
// AMembros: gzip, where a body may be several members one after the other
// (each a whole gzip stream), all of which make up the content.
bool Inflar(std::string_view ABytes, int AJanela, std::string& ASaida, size_t ALimite,
            bool& AExcedeu, bool AMembros) {
  z_stream z{};
  if (inflateInit2(&z, AJanela) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(ABytes.data()));
  z.avail_in = static_cast<uInt>(ABytes.size());
  ASaida.clear();
  char buf[64 * 1024];
  int rc = Z_OK;
  for (;;) {
    while (rc == Z_OK) {
      z.next_out = reinterpret_cast<Bytef*>(buf);
      z.avail_out = sizeof buf;
      rc = inflate(&z, Z_NO_FLUSH);
      ASaida.append(buf, sizeof buf - z.avail_out);
      if (ASaida.size() > ALimite) {
        AExcedeu = true;
        rc = Z_MEM_ERROR;
      }
      if (rc == Z_BUF_ERROR && z.avail_in == 0) break;  // input ended early
    }
    // Another member starts with the gzip magic; other bytes after the end
    // (padding some servers add) are left alone, as before.
    const bool outroMembro = AMembros && rc == Z_STREAM_END && z.avail_in >= 2 &&
                             z.next_in[0] == 0x1F && z.next_in[1] == 0x8B;
    if (!outroMembro) break;
    rc = inflateReset(&z);
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}

std::string InflarUm(std::string_view ABytes, const std::string& ACodificacao, size_t ALimite) {
  std::string saida;
  bool excedeu = false;
  if (ACodificacao == "gzip" || ACodificacao == "x-gzip") {
    if (Inflar(ABytes, 15 + 32, saida, ALimite, excedeu, true)) return saida;
  } else {
    // "deflate" should be a zlib stream, but some servers send it raw.
    if (Inflar(ABytes, 15, saida, ALimite, excedeu, false) ||
        (!excedeu && Inflar(ABytes, -15, saida, ALimite, excedeu, false)))
      return saida;
  }
  if (excedeu) throw EHttpErro(MensagemCorpoExcedido(ALimite));
  throw EHttpErro("Error decompressing the response body (" + ACodificacao + ")");
}

std::string Latin1ParaUtf8(std::string_view ABytes) {
  std::string r;
  r.reserve(ABytes.size());
  for (char ch : ABytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      r += ch;
    } else {
      r += static_cast<char>(0xC0 | (b >> 6));
      r += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return r;
}

std::string AsciiParaUtf8(std::string_view ABytes) {
  std::string r(ABytes);
  for (char& c : r)
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  return r;
}

std::string Utf16ParaTexto(std::string_view ABytes, bool AGrandeFinal) {
  std::u16string u;
  for (size_t i = 0; i + 1 < ABytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(ABytes[i]);
    const auto b = static_cast<unsigned char>(ABytes[i + 1]);
    u += static_cast<char16_t>(AGrandeFinal ? (a << 8) | b : (b << 8) | a);
  }
  if (!u.empty() && u[0] == 0xFEFF) u.erase(0, 1);
  return Utf16ParaUtf8(u);
}

bool FicaComoEsta(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '*' ||
         b == '-' || b == '.' || b == '_';
}

std::string CodificarCampo(std::string_view ATexto) {
  static const char* kHex = "0123456789ABCDEF";
  std::string r;
  for (char ch : ATexto) {
    const auto b = static_cast<unsigned char>(ch);
    if (FicaComoEsta(b)) {
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

}  // namespace

std::string InflarCorpoAte(std::string&& ABytes, std::string_view ACodificacao, size_t ALimite) {
  std::string corpo = std::move(ABytes);
  if (corpo.empty()) return corpo;
  // Codings are listed in the order they were applied; undo the last first.
  std::vector<std::string> codificacoes;
  std::string atual;
  for (char c : std::string(ACodificacao) + ",") {
    if (c == ',') {
      atual = MinusculasAscii(Aparar(atual));
      if (!atual.empty()) codificacoes.push_back(atual);
      atual.clear();
    } else {
      atual += c;
    }
  }
  for (auto it = codificacoes.rbegin(); it != codificacoes.rend(); ++it)
    if (*it == "gzip" || *it == "x-gzip" || *it == "deflate") corpo = InflarUm(corpo, *it, ALimite);
  return corpo;
}

std::string InflarCorpo(std::string_view ABytes, std::string_view ACodificacao) {
  return InflarCorpoAte(std::string(ABytes), ACodificacao, kLimiteInflado);
}

std::string CharsetDoTipo(std::string_view ATipoConteudo) {
  const std::string tipo = MinusculasAscii(ATipoConteudo);
  size_t pos = 0;
  while ((pos = tipo.find(';', pos)) != std::string::npos) {
    ++pos;
    const size_t fim = tipo.find(';', pos);
    const std::string parametro = Aparar(tipo.substr(pos, fim - pos));
    if (parametro.starts_with("charset")) {
      std::string resto = Aparar(parametro.substr(7));
      if (resto.empty() || resto[0] != '=') continue;
      std::string valor = Aparar(resto.substr(1));
      if (valor.size() >= 2 && (valor.front() == '"' || valor.front() == '\'') &&
          valor.back() == valor.front())
        valor = valor.substr(1, valor.size() - 2);
      return Aparar(valor);
    }
  }
  return {};
}

std::string RemoverBomUtf8(std::string_view ATexto) {
  if (ATexto.starts_with("\xEF\xBB\xBF")) ATexto.remove_prefix(3);
  return std::string(ATexto);
}

std::string DecodificarTexto(std::string_view ABytes, std::string_view ATipoConteudo) {
  const std::string cs = CharsetDoTipo(ATipoConteudo);
  if (cs == "iso-8859-1" || cs == "iso8859-1" || cs == "iso_8859-1" || cs == "latin1" ||
      cs == "l1" || cs == "cp819")
    return Latin1ParaUtf8(ABytes);
  if (cs == "windows-1252" || cs == "cp1252" || cs == "x-cp1252") return Cp1252ParaUtf8(ABytes);
  if (cs == "us-ascii" || cs == "ascii") return AsciiParaUtf8(ABytes);
  if (cs == "utf-16be") return Utf16ParaTexto(ABytes, true);
  if (cs == "utf-16le") return Utf16ParaTexto(ABytes, false);
  if (cs == "utf-16") return Utf16ParaTexto(ABytes, ABytes.starts_with("\xFE\xFF"));
  // UTF-8, named or not, and any charset this program does not know.
  std::string texto = RemoverBomUtf8(ABytes);
  if (!Utf8Valido(texto)) texto = Utf16ParaUtf8(Utf8ParaUtf16(texto));
  return texto;
}

std::string CodificarFormulario(const std::vector<std::string>& AParams) {
  std::string corpo;
  for (const std::string& linha : AParams) {
    const size_t igual = linha.find('=');
    if (igual == std::string::npos || igual == 0) continue;
    if (!corpo.empty()) corpo += '&';
    corpo += CodificarCampo(std::string_view(linha).substr(0, igual));
    corpo += '=';
    corpo += CodificarCampo(std::string_view(linha).substr(igual + 1));
  }
  return corpo;
}
