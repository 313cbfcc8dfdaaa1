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
//    lacks become "?", as on Windows;
//  - a write changes only the line it writes: the other lines keep their
//    bytes. A windows-1252 file whose bytes would then read as UTF-8 becomes
//    UTF-8 instead, so that every key keeps its text.
// A file without its owner's write permission counts as read-only and refuses
// writes even to root, like the Windows read-only attribute.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/uPerfil.h"
#include "platform/uTexto.h"

namespace {

constexpr size_t kMaxValor = 2047;

enum class TCodificacao { Ansi, Utf8, Utf8Bom, Utf16Le, Utf16Be };

// The decoded file; the lines are views into Texto, so it is never copied.
struct TConteudo {
  TConteudo() = default;
  TConteudo(const TConteudo&) = delete;
  TConteudo& operator=(const TConteudo&) = delete;
  TCodificacao Codificacao = TCodificacao::Ansi;
  std::string Texto;                     // UTF-8
  std::vector<std::string_view> Linhas;  // without line ends
};

// One line as the parser sees it.
struct TLinha {
  enum TTipo { Outra, Secao, Chave } Tipo = Outra;
  std::string_view Nome;   // section or key name
  std::string_view Valor;  // trimmed value of a key
};

std::string_view AparaVista(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// Splits at CR LF, LF or CR; a last line without its end counts too.
std::vector<std::string_view> DividirEmLinhas(std::string_view ATexto) {
  std::vector<std::string_view> r;
  size_t ini = 0;
  for (size_t i = 0; i < ATexto.size(); ++i) {
    if (ATexto[i] != '\r' && ATexto[i] != '\n') continue;
    r.push_back(ATexto.substr(ini, i - ini));
    if (ATexto[i] == '\r' && i + 1 < ATexto.size() && ATexto[i + 1] == '\n') ++i;
    ini = i + 1;
  }
  if (ini < ATexto.size()) r.push_back(ATexto.substr(ini));
  return r;
}

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
    if (n < 0) {  // half a file must never pass for the whole one
      close(fd);
      return false;
    }
    if (n == 0) break;
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

void Decodificar(std::string_view ABytes, TConteudo& c) {
  std::string& texto = c.Texto;
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
  c.Linhas = DividirEmLinhas(texto);
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

// Windows-1252 bytes of text: the five bytes the code page leaves undefined
// (81, 8D, 8F, 90, 9D) read as U+0081 and so on, and go back to themselves.
std::string ParaAnsi(std::string_view ATexto) {
  std::string out;
  size_t ini = 0;
  for (size_t i = 0; i + 1 < ATexto.size(); ++i) {
    if (ATexto[i] != '\xC2') continue;
    const auto b = static_cast<unsigned char>(ATexto[i + 1]);
    if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) continue;
    out += Utf8ParaCp1252(ATexto.substr(ini, i - ini));
    out += static_cast<char>(b);
    ini = i + 2;
    ++i;
  }
  out += Utf8ParaCp1252(ATexto.substr(ini));
  return out;
}

// One line of the file being written: its text, and the line of the file read
// that it repeats unchanged (-1 for a new or changed line).
struct TLinhaSaida {
  std::string Texto;
  std::ptrdiff_t Original = -1;
};

std::vector<TLinhaSaida> LinhasDe(const TConteudo& AConteudo) {
  std::vector<TLinhaSaida> r;
  r.reserve(AConteudo.Linhas.size() + 2);
  for (size_t i = 0; i < AConteudo.Linhas.size(); ++i)
    r.push_back({std::string(AConteudo.Linhas[i]), static_cast<std::ptrdiff_t>(i)});
  return r;
}

// The file's bytes for the lines. A line repeated unchanged keeps the bytes it
// had (a byte the encoding cannot hold included), so that a write changes only
// the line it writes; the line ends become CR LF.
std::string Codificar(TCodificacao ACodificacao, std::string_view ABytesLidos,
                      const std::vector<TLinhaSaida>& ALinhas) {
  if (ACodificacao == TCodificacao::Utf16Le || ACodificacao == TCodificacao::Utf16Be) {
    std::string texto;
    for (const TLinhaSaida& l : ALinhas) texto += l.Texto + "\r\n";
    return ParaUtf16(texto, ACodificacao == TCodificacao::Utf16Be);
  }
  // In these encodings CR and LF are single bytes that no other character
  // contains, so the file's byte lines are its text lines.
  std::string_view corpo = ABytesLidos;
  if (ACodificacao == TCodificacao::Utf8Bom && corpo.starts_with("\xEF\xBB\xBF"))
    corpo.remove_prefix(3);
  const std::vector<std::string_view> brutas = DividirEmLinhas(corpo);
  auto bruta = [&](const TLinhaSaida& L) -> const std::string_view* {
    if (L.Original < 0 || static_cast<size_t>(L.Original) >= brutas.size()) return nullptr;
    return &brutas[static_cast<size_t>(L.Original)];
  };
  std::string out = ACodificacao == TCodificacao::Utf8Bom ? "\xEF\xBB\xBF" : "";
  for (const TLinhaSaida& l : ALinhas) {
    if (const std::string_view* b = bruta(l))
      out += *b;
    else
      out += ACodificacao == TCodificacao::Ansi ? ParaAnsi(l.Texto) : l.Texto;
    out += "\r\n";
  }
  // Windows-1252 bytes that happen to be valid UTF-8 (the byte that was not
  // removed, or the new value is such a pair) would read back as UTF-8 and
  // change every other key: the file becomes UTF-8 then, with the same text.
  if (ACodificacao == TCodificacao::Ansi && !SoAscii(out) && Utf8Valido(out)) {
    out.clear();
    for (const TLinhaSaida& l : ALinhas) out += l.Texto + "\r\n";
  }
  return out;
}

TLinha Analisar(std::string_view ALinha) {
  TLinha r;
  // The text ends at a NUL, as it does for the Windows reader.
  const size_t nul = ALinha.find('\0');
  if (nul != std::string_view::npos) ALinha = ALinha.substr(0, nul);
  const std::string_view l = AparaVista(ALinha);
  if (l.empty() || l[0] == ';') return r;
  if (l[0] == '[') {
    const size_t fim = l.find(']');
    if (fim != std::string_view::npos) {
      r.Tipo = TLinha::Secao;
      r.Nome = l.substr(1, fim - 1);
      return r;
    }
  }
  const size_t igual = l.find('=');
  if (igual == std::string_view::npos) return r;
  r.Nome = AparaVista(l.substr(0, igual));
  if (r.Nome.empty()) return r;
  r.Tipo = TLinha::Chave;
  r.Valor = AparaVista(l.substr(igual + 1));
  return r;
}

// Lines [AInicio, AFim) of the first section with the name; false when none.
template <class TLinhas>
bool AcharSecao(const TLinhas& ALinhas, std::string_view ASecao, size_t& AInicio, size_t& AFim) {
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

std::string_view RemoverAspas(std::string_view AValor) {
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

// The last file read, decoded and indexed, kept while the file on disk is the
// same one (device, inode, size and modification time), as the Windows profile
// API keeps its file: a key is then found without reading and scanning a file
// that may hold tens of thousands of notice keys.
class TCacheLeitura {
 public:
  // The value of the key, or false when the file, section or key is missing.
  bool Ler(const std::string& AArquivo, const std::string& ASecao, const std::string& AChave,
           std::string& AValor) {
    std::lock_guard trava(FTrava);
    if (!Atualizar(AArquivo)) return false;
    const auto secao = FSecoes.find(MinusculasAscii(ASecao));
    if (secao == FSecoes.end()) return false;
    const auto chave = secao->second.find(MinusculasAscii(AChave));
    if (chave == secao->second.end()) return false;
    AValor = CortarUtf16(RemoverAspas(chave->second), kMaxValor);
    return true;
  }
  void Esquecer() {
    std::lock_guard trava(FTrava);
    Limpar();
  }

 private:
  void Limpar() {
    FArquivo.clear();
    FSecoes.clear();
    FConteudo.reset();
  }
  bool Mesmo(const struct stat& A) const {
    return A.st_dev == FEstado.st_dev && A.st_ino == FEstado.st_ino &&
           A.st_size == FEstado.st_size && A.st_mtim.tv_sec == FEstado.st_mtim.tv_sec &&
           A.st_mtim.tv_nsec == FEstado.st_mtim.tv_nsec;
  }
  bool Atualizar(const std::string& AArquivo) {
    const int fd = open(AArquivo.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      Limpar();
      return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      Limpar();
      return false;
    }
    if (FConteudo && AArquivo == FArquivo && Mesmo(st)) {
      close(fd);
      return true;
    }
    close(fd);
    Limpar();
    std::string bytes;
    if (!LerBytes(AArquivo, bytes)) return false;
    FConteudo = std::make_unique<TConteudo>();
    Decodificar(bytes, *FConteudo);
    // Only the first section of a name counts, and in it the first entry of a key.
    std::unordered_map<std::string, std::string_view>* atual = nullptr;
    for (std::string_view linha : FConteudo->Linhas) {
      const TLinha l = Analisar(linha);
      if (l.Tipo == TLinha::Secao) {
        auto [it, nova] = FSecoes.try_emplace(MinusculasAscii(l.Nome));
        atual = nova ? &it->second : nullptr;
      } else if (l.Tipo == TLinha::Chave && atual) {
        atual->try_emplace(MinusculasAscii(l.Nome), l.Valor);
      }
    }
    FArquivo = AArquivo;
    FEstado = st;
    return true;
  }

  std::mutex FTrava;
  std::string FArquivo;
  struct stat FEstado {};
  std::unique_ptr<TConteudo> FConteudo;
  std::unordered_map<std::string, std::unordered_map<std::string, std::string_view>> FSecoes;
};

class TPerfilPosix final : public IPerfil {
 public:
  std::string LerTexto(const std::string& AArquivo, const std::string& ASecao,
                       const std::string& AChave, const std::string& APadrao) override {
    // Windows drops the default's trailing spaces and cuts it like a value.
    std::string padrao = APadrao;
    while (!padrao.empty() && padrao.back() == ' ') padrao.pop_back();
    padrao = CortarUtf16(padrao, kMaxValor);
    std::string valor;
    if (FCache.Ler(AArquivo, Aparar(ASecao), Aparar(AChave), valor)) return valor;
    return padrao;
  }

  bool EscreverTexto(const std::string& AArquivo, const std::string& ASecao,
                     const std::string& AChave, const std::string& AValor) override {
    const std::string secao = SemQuebras(Aparar(ASecao));
    const std::string chave = SemQuebras(Aparar(AChave));
    if (secao.empty() || chave.empty() || SomenteLeitura(AArquivo)) return false;
    TConteudo c;
    std::string bytes;
    if (LerBytes(AArquivo, bytes)) {
      Decodificar(bytes, c);
    } else if (struct stat st{}; lstat(AArquivo.c_str(), &st) == 0) {
      // There but unreadable: writing now would replace every other key.
      return false;
    }
    std::vector<TLinhaSaida> linhas = LinhasDe(c);
    const std::string valor = SemQuebras(AValor);
    size_t ini = 0, fim = 0;
    if (!AcharSecao(c.Linhas, secao, ini, fim)) {
      linhas.push_back({"[" + secao + "]"});
      linhas.push_back({chave + "=" + valor});
    } else {
      size_t ultima = ini;  // after the section's last non-blank line
      bool trocada = false;
      for (size_t i = ini; i < fim && !trocada; ++i) {
        const TLinha l = Analisar(c.Linhas[i]);
        if (l.Tipo == TLinha::Chave && IgualSemCaixa(l.Nome, chave)) {
          linhas[i] = {std::string(l.Nome) + "=" + valor};  // the name keeps its spelling
          trocada = true;
        } else if (!EmBranco(c.Linhas[i])) {
          ultima = i + 1;
        }
      }
      if (!trocada)
        linhas.insert(linhas.begin() + static_cast<std::ptrdiff_t>(ultima), {chave + "=" + valor});
    }
    FCache.Esquecer();
    return GravarArquivo(AArquivo, Codificar(c.Codificacao, bytes, linhas));
  }

  bool ApagarChave(const std::string& AArquivo, const std::string& ASecao,
                   const std::string& AChave) override {
    const std::string secao = Aparar(ASecao), chave = Aparar(AChave);
    std::string bytes;
    if (!LerBytes(AArquivo, bytes)) return true;  // no file, no key
    TConteudo c;
    Decodificar(bytes, c);
    size_t ini = 0, fim = 0;
    if (!AcharSecao(c.Linhas, secao, ini, fim)) return true;
    std::vector<TLinhaSaida> linhas;
    linhas.reserve(c.Linhas.size());
    bool apagou = false;
    for (size_t i = 0; i < c.Linhas.size(); ++i) {
      if (i >= ini && i < fim) {
        const TLinha l = Analisar(c.Linhas[i]);
        if (l.Tipo == TLinha::Chave && IgualSemCaixa(l.Nome, chave)) {
          apagou = true;
          continue;
        }
      }
      linhas.push_back({std::string(c.Linhas[i]), static_cast<std::ptrdiff_t>(i)});
    }
    if (!apagou) return true;
    if (SomenteLeitura(AArquivo)) return false;
    FCache.Esquecer();
    return GravarArquivo(AArquivo, Codificar(c.Codificacao, bytes, linhas));
  }

  std::vector<std::string> Chaves(const std::string& AArquivo, const std::string& ASecao) override {
    std::vector<std::string> r;
    std::string bytes;
    if (!LerBytes(AArquivo, bytes)) return r;
    TConteudo c;
    Decodificar(bytes, c);
    size_t ini = 0, fim = 0;
    if (!AcharSecao(c.Linhas, Aparar(ASecao), ini, fim)) return r;
    for (size_t i = ini; i < fim; ++i) {
      const TLinha l = Analisar(c.Linhas[i]);
      if (l.Tipo == TLinha::Chave) r.emplace_back(l.Nome);
    }
    return r;
  }

  // Every write is already on disk when EscreverTexto returns.
  bool Descarregar(const std::string&) override { return true; }

  bool Estado(const std::string& AArquivo, TEstadoPerfil& AEstado) override {
    AEstado = {};
    struct stat st {};
    if (stat(AArquivo.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    if (!S_ISREG(st.st_mode)) return true;  // reads as no file
    auto ns = [](const struct timespec& T) {
      return static_cast<int64_t>(T.tv_sec) * 1000000000LL + T.tv_nsec;
    };
    // The status change time moves on any write, even one that sets the
    // modification time back.
    const int64_t mudou = std::max(ns(st.st_mtim), ns(st.st_ctim));
    AEstado.Existe = true;
    AEstado.Tamanho = static_cast<int64_t>(st.st_size);
    AEstado.Modificado = mudou;
    AEstado.Identidade =
        (static_cast<uint64_t>(st.st_dev) << 40) ^ static_cast<uint64_t>(st.st_ino);
    struct timespec agora {};
    clock_gettime(CLOCK_REALTIME, &agora);
    // File systems stamp writes by a coarse clock; within it a same-size
    // rewrite can hide.
    AEstado.Recente = ns(agora) - mudou < 3000000000LL;
    return true;
  }

 private:
  TCacheLeitura FCache;
};

}  // namespace

IPerfil& ImplementacaoPadrao(SeamTag<IPerfil>) {
  static TPerfilPosix p;
  return p;
}
