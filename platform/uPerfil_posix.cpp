// Profile file (INI) on POSIX: our own reader and writer with the Windows rules.
//
// Encoding on disk, chosen so that files move between this and the Windows
// profile API unchanged:
//  - a byte-order mark decides first: UTF-16 LE or BE, or UTF-8;
//  - without one, bytes that are valid UTF-8 are read as UTF-8, anything else
//    as windows-1252 (the ANSI code page Windows gives a new file);
//  - a write keeps the file's encoding: a file with a mark keeps it, a UTF-8
//    file with non-ASCII text stays UTF-8, and every other file (new, ASCII or
//    windows-1252) is written in windows-1252, where characters the code page
//    lacks become "?", as on Windows.
// A file without its owner's write permission counts as read-only and refuses
// writes even to root, like the Windows read-only attribute.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/uPerfil.h"
#include "platform/uTexto.h"

namespace {

constexpr size_t kMaxValor = 2047;

enum class TCodificacao { Ansi, Utf8, Utf8Bom, Utf16Le, Utf16Be };

struct TConteudo {
  TCodificacao Codificacao = TCodificacao::Ansi;
  std::vector<std::string> Linhas;  // UTF-8, without line ends
};

// One line as the parser sees it.
struct TLinha {
  enum TTipo { Outra, Secao, Chave } Tipo = Outra;
  std::string Nome;   // section or key name
  std::string Valor;  // trimmed value of a key
};

bool LerBytes(const std::string& AArquivo, std::string& ABytes) {
  const int fd = open(AArquivo.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  std::string out;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  ABytes = std::move(out);
  return true;
}

std::string DeUtf16(std::string_view ABytes, bool ABigEndian) {
  std::u16string u;
  u.reserve(ABytes.size() / 2);
  for (size_t i = 0; i + 1 < ABytes.size(); i += 2) {  // an odd last byte is dropped
    const auto a = static_cast<unsigned char>(ABytes[i]);
    const auto b = static_cast<unsigned char>(ABytes[i + 1]);
    u += static_cast<char16_t>(ABigEndian ? (a << 8) | b : (b << 8) | a);
  }
  return Utf16ParaUtf8(u);
}

bool SoAscii(std::string_view ABytes) {
  for (char c : ABytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

TConteudo Decodificar(std::string_view ABytes) {
  TConteudo c;
  std::string texto;
  if (ABytes.starts_with("\xFF\xFE")) {
    c.Codificacao = TCodificacao::Utf16Le;
    texto = DeUtf16(ABytes.substr(2), false);
  } else if (ABytes.starts_with("\xFE\xFF")) {
    c.Codificacao = TCodificacao::Utf16Be;
    texto = DeUtf16(ABytes.substr(2), true);
  } else if (ABytes.starts_with("\xEF\xBB\xBF")) {
    c.Codificacao = TCodificacao::Utf8Bom;
    texto = Utf16ParaUtf8(Utf8ParaUtf16(ABytes.substr(3)));  // bad sequences to U+FFFD
  } else if (!SoAscii(ABytes) && Utf8Valido(ABytes)) {
    c.Codificacao = TCodificacao::Utf8;
    texto = std::string(ABytes);
  } else {
    texto = Cp1252ParaUtf8(ABytes);
  }
  c.Linhas = DividirLinhas(texto);
  return c;
}

std::string ParaUtf16(std::string_view ATexto, bool ABigEndian) {
  std::string out = ABigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : Utf8ParaUtf16(ATexto)) {
    const char alto = static_cast<char>(u >> 8), baixo = static_cast<char>(u & 0xFF);
    out += ABigEndian ? alto : baixo;
    out += ABigEndian ? baixo : alto;
  }
  return out;
}

std::string Codificar(const TConteudo& AConteudo) {
  std::string texto;
  for (const std::string& l : AConteudo.Linhas) texto += l + "\r\n";
  switch (AConteudo.Codificacao) {
    case TCodificacao::Utf16Le:
      return ParaUtf16(texto, false);
    case TCodificacao::Utf16Be:
      return ParaUtf16(texto, true);
    case TCodificacao::Utf8Bom:
      return "\xEF\xBB\xBF" + texto;
    case TCodificacao::Utf8:
      return texto;
    case TCodificacao::Ansi:
      break;
  }
  return Utf8ParaCp1252(texto);
}

TLinha Analisar(std::string_view ALinha) {
  TLinha r;
  // The text ends at a NUL, as it does for the Windows reader.
  const size_t nul = ALinha.find('\0');
  if (nul != std::string_view::npos) ALinha = ALinha.substr(0, nul);
  const std::string l = Aparar(ALinha);
  if (l.empty() || l[0] == ';') return r;
  if (l[0] == '[') {
    const size_t fim = l.find(']');
    if (fim != std::string::npos) {
      r.Tipo = TLinha::Secao;
      r.Nome = l.substr(1, fim - 1);
      return r;
    }
  }
  const size_t igual = l.find('=');
  if (igual == std::string::npos) return r;
  r.Nome = Aparar(std::string_view(l).substr(0, igual));
  if (r.Nome.empty()) return r;
  r.Tipo = TLinha::Chave;
  r.Valor = Aparar(std::string_view(l).substr(igual + 1));
  return r;
}

// Lines [AInicio, AFim) of the first section with the name; false when none.
bool AcharSecao(const std::vector<std::string>& ALinhas, const std::string& ASecao, size_t& AInicio,
                size_t& AFim) {
  for (size_t i = 0; i < ALinhas.size(); ++i) {
    const TLinha l = Analisar(ALinhas[i]);
    if (l.Tipo != TLinha::Secao || !IgualSemCaixa(l.Nome, ASecao)) continue;
    AInicio = i + 1;
    AFim = AInicio;
    while (AFim < ALinhas.size() && Analisar(ALinhas[AFim]).Tipo != TLinha::Secao) ++AFim;
    return true;
  }
  return false;
}

std::string RemoverAspas(std::string AValor) {
  if (AValor.size() >= 2 && (AValor[0] == '"' || AValor[0] == '\'') && AValor.back() == AValor[0])
    return AValor.substr(1, AValor.size() - 2);
  return AValor;
}

// Line breaks inside a name or value would split the entry in the file.
std::string SemQuebras(std::string ATexto) {
  for (char& c : ATexto)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return ATexto;
}

bool SomenteLeitura(const std::string& AArquivo) {
  struct stat st {};
  return stat(AArquivo.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

bool EscreverFd(int fd, const std::string& ABytes) {
  size_t feito = 0;
  while (feito < ABytes.size()) {
    const ssize_t n = write(fd, ABytes.data() + feito, ABytes.size() - feito);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    feito += static_cast<size_t>(n);
  }
  return fsync(fd) == 0;
}

std::string PastaDoArquivo(const std::string& AArquivo) {
  const size_t k = AArquivo.rfind('/');
  return k == std::string::npos ? "." : AArquivo.substr(0, k + 1);
}

// Writes the whole file through a temporary beside it, so that a crash leaves
// either the old or the new file; in place when the folder refuses new files.
bool GravarArquivo(const std::string& AArquivo, const std::string& ABytes) {
  struct stat st {};
  const bool existe = stat(AArquivo.c_str(), &st) == 0;
  const mode_t modo = existe ? (st.st_mode & 07777) : 0644;
  const std::string temp = AArquivo + ".tmp" + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, modo);
  if (fd >= 0) {
    const bool ok = EscreverFd(fd, ABytes) && fchmod(fd, modo) == 0;
    if (close(fd) == 0 && ok && rename(temp.c_str(), AArquivo.c_str()) == 0) {
      const int dir = open(PastaDoArquivo(AArquivo).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (dir >= 0) {
        fsync(dir);
        close(dir);
      }
      return true;
    }
    unlink(temp.c_str());
    if (!existe) return false;
  } else if (!existe) {
    return false;
  }
  const int fd2 = open(AArquivo.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd2 < 0) return false;
  const bool ok = EscreverFd(fd2, ABytes);
  return close(fd2) == 0 && ok;
}

class TPerfilPosix final : public IPerfil {
 public:
  std::string LerTexto(const std::string& AArquivo, const std::string& ASecao,
                       const std::string& AChave, const std::string& APadrao) override {
    // Windows drops the default's trailing spaces and cuts it like a value.
    std::string padrao = APadrao;
    while (!padrao.empty() && padrao.back() == ' ') padrao.pop_back();
    padrao = CortarUtf16(padrao, kMaxValor);
    std::string bytes;
    if (!LerBytes(AArquivo, bytes)) return padrao;
    const TConteudo c = Decodificar(bytes);
    size_t ini = 0, fim = 0;
    if (!AcharSecao(c.Linhas, Aparar(ASecao), ini, fim)) return padrao;
    const std::string chave = Aparar(AChave);
    for (size_t i = ini; i < fim; ++i) {
      const TLinha l = Analisar(c.Linhas[i]);
      if (l.Tipo == TLinha::Chave && IgualSemCaixa(l.Nome, chave))
        return CortarUtf16(RemoverAspas(l.Valor), kMaxValor);
    }
    return padrao;
  }

  bool EscreverTexto(const std::string& AArquivo, const std::string& ASecao,
                     const std::string& AChave, const std::string& AValor) override {
    const std::string secao = SemQuebras(Aparar(ASecao));
    const std::string chave = SemQuebras(Aparar(AChave));
    if (secao.empty() || chave.empty() || SomenteLeitura(AArquivo)) return false;
    TConteudo c;
    std::string bytes;
    if (LerBytes(AArquivo, bytes)) c = Decodificar(bytes);
    const std::string valor = SemQuebras(AValor);
    size_t ini = 0, fim = 0;
    if (!AcharSecao(c.Linhas, secao, ini, fim)) {
      c.Linhas.push_back("[" + secao + "]");
      c.Linhas.push_back(chave + "=" + valor);
    } else {
      size_t ultima = ini;  // after the section's last non-blank line
      bool trocada = false;
      for (size_t i = ini; i < fim && !trocada; ++i) {
        const TLinha l = Analisar(c.Linhas[i]);
        if (l.Tipo == TLinha::Chave && IgualSemCaixa(l.Nome, chave)) {
          c.Linhas[i] = l.Nome + "=" + valor;  // the name keeps its spelling in the file
          trocada = true;
        } else if (!EmBranco(c.Linhas[i])) {
          ultima = i + 1;
        }
      }
      if (!trocada)
        c.Linhas.insert(c.Linhas.begin() + static_cast<std::ptrdiff_t>(ultima),
                        chave + "=" + valor);
    }
    return GravarArquivo(AArquivo, Codificar(c));
  }

  std::vector<std::string> Chaves(const std::string& AArquivo, const std::string& ASecao) override {
    std::vector<std::string> r;
    std::string bytes;
    if (!LerBytes(AArquivo, bytes)) return r;
    const TConteudo c = Decodificar(bytes);
    size_t ini = 0, fim = 0;
    if (!AcharSecao(c.Linhas, Aparar(ASecao), ini, fim)) return r;
    for (size_t i = ini; i < fim; ++i) {
      TLinha l = Analisar(c.Linhas[i]);
      if (l.Tipo == TLinha::Chave) r.push_back(std::move(l.Nome));
    }
    return r;
  }

  // Every write is already on disk when EscreverTexto returns.
  bool Descarregar(const std::string&) override { return true; }
};

}  // namespace

IPerfil& ImplementacaoPadrao(SeamTag<IPerfil>) {
  static TPerfilPosix p;
  return p;
}
