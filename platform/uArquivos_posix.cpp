// Files and folders on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

#include "platform/uArquivos.h"

namespace {

TDateTime ParaDataHora(const timespec& ts) {
  tm local{};
  const time_t t = ts.tv_sec;
  localtime_r(&t, &local);
  TPartesDataHora p;
  p.Ano = local.tm_year + 1900;
  p.Mes = local.tm_mon + 1;
  p.Dia = local.tm_mday;
  p.Hora = local.tm_hour;
  p.Minuto = local.tm_min;
  p.Segundo = local.tm_sec;
  p.Milissegundo = static_cast<int>(ts.tv_nsec / 1000000);
  return CodificarDataHora(p);
}

timespec DeDataHora(TDateTime AData) {
  const TPartesDataHora p = DecodificarDataHora(AData);
  tm local{};
  local.tm_year = p.Ano - 1900;
  local.tm_mon = p.Mes - 1;
  local.tm_mday = p.Dia;
  local.tm_hour = p.Hora;
  local.tm_min = p.Minuto;
  local.tm_sec = p.Segundo;
  local.tm_isdst = -1;
  return timespec{mktime(&local), static_cast<long>(p.Milissegundo) * 1000000L};
}

// Writes all bytes, retrying short writes and interruptions.
bool EscreverTudo(int fd, std::string_view ABytes) {
  size_t feito = 0;
  while (feito < ABytes.size()) {
    const ssize_t n = write(fd, ABytes.data() + feito, ABytes.size() - feito);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    feito += static_cast<size_t>(n);
  }
  return true;
}

// lstat of "link/" would look through the link.
std::string SemSeparadorFinal(std::string ACaminho) {
  while (ACaminho.size() > 1 && ACaminho.back() == '/') ACaminho.pop_back();
  return ACaminho;
}

class TArquivosPosix final : public IArquivos {
 public:
  bool ArquivoExiste(const std::string& ACaminho) override {
    struct stat st {};
    return stat(ACaminho.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }
  bool PastaExiste(const std::string& ACaminho) override {
    struct stat st {};
    return stat(ACaminho.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  bool EhLigacao(const std::string& ACaminho) override {
    struct stat st {};
    return lstat(SemSeparadorFinal(ACaminho).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  }
  bool CriarPastas(const std::string& ACaminho) override {
    if (ACaminho.empty()) return false;
    // The usual case: one look instead of a creation per level.
    if (PastaExiste(ACaminho)) return true;
    std::string parcial;
    for (size_t i = 0; i < ACaminho.size(); ++i) {
      parcial += ACaminho[i];
      if ((ACaminho[i] == '/' && i > 0) || i + 1 == ACaminho.size()) mkdir(parcial.c_str(), 0755);
    }
    return PastaExiste(ACaminho);
  }
  int64_t Tamanho(const std::string& ACaminho) override {
    struct stat st {};
    if (stat(ACaminho.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
  }
  bool DataModificacao(const std::string& ACaminho, TDateTime& AData) override {
    struct stat st {};
    if (stat(ACaminho.c_str(), &st) != 0) return false;
    AData = ParaDataHora(st.st_mtim);
    return true;
  }
  bool DefinirDataModificacao(const std::string& ACaminho, TDateTime AData) override {
    const timespec t = DeDataHora(AData);
    const timespec tempos[2] = {t, t};
    return utimensat(AT_FDCWD, ACaminho.c_str(), tempos, 0) == 0;
  }
  bool Apagar(const std::string& ACaminho) override { return unlink(ACaminho.c_str()) == 0; }
  bool Renomear(const std::string& ADe, const std::string& APara) override {
    // link + unlink refuses an existing target, which rename() would replace.
    struct stat st {};
    if (lstat(APara.c_str(), &st) == 0) return false;
    if (link(ADe.c_str(), APara.c_str()) == 0) return unlink(ADe.c_str()) == 0;
    if (lstat(APara.c_str(), &st) == 0) return false;
    return rename(ADe.c_str(), APara.c_str()) == 0;
  }
  bool Substituir(const std::string& ADe, const std::string& APara) override {
    return rename(ADe.c_str(), APara.c_str()) == 0;
  }
  bool LimparAtributos(const std::string& ACaminho) override {
    struct stat st {};
    if (stat(ACaminho.c_str(), &st) != 0) return false;
    return chmod(ACaminho.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
  }
  std::vector<TInfoArquivo> Listar(const std::string& APasta,
                                   const std::string& AMascara) override {
    std::vector<TInfoArquivo> r;
    DIR* d = opendir(APasta.c_str());
    if (!d) return r;
    const std::string pasta = IncluirSeparador(APasta);
    while (dirent* e = readdir(d)) {
      const std::string nome = e->d_name;
      if (!CorrespondeMascara(nome, AMascara)) continue;
      struct stat st {};
      if (stat((pasta + nome).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      struct stat lst {};
      const bool ligacao = lstat((pasta + nome).c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
      r.push_back({nome, static_cast<int64_t>(st.st_size), ParaDataHora(st.st_mtim), ligacao});
    }
    closedir(d);
    return r;
  }
  bool LerTudo(const std::string& ACaminho, std::string& ABytes) override {
    const int fd = open(ACaminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string out;
    char buf[65536];
    bool ok = true;
    for (;;) {
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    if (ok) ABytes = std::move(out);
    return ok;
  }
  bool Gravar(const std::string& ACaminho, std::string_view ABytes) override {
    const int fd = open(ACaminho.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = EscreverTudo(fd, ABytes);
    ok = (fsync(fd) == 0) && ok;
    return (close(fd) == 0) && ok;
  }
  bool GravarNovo(const std::string& ACaminho, std::string_view ABytes) override {
    // O_EXCL refuses any entry at the path, a symbolic link included.
    const int fd =
        open(ACaminho.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = EscreverTudo(fd, ABytes);
    ok = (fsync(fd) == 0) && ok;
    ok = (close(fd) == 0) && ok;
    if (!ok) unlink(ACaminho.c_str());
    return ok;
  }
  bool Anexar(const std::string& ACaminho, std::string_view ABytes) override {
    const int fd = open(ACaminho.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // POSIX has no share modes; an exclusive advisory lock keeps out the other
    // writers that ask for one, as the Windows share mode does for all of them.
    bool ok = flock(fd, LOCK_EX | LOCK_NB) == 0 && EscreverTudo(fd, ABytes);
    return (close(fd) == 0) && ok;
  }
  TAnexo AnexarAbaixoDe(const std::string& ACaminho, std::string_view ABytes,
                        int64_t ALimite) override {
    const int fd = open(ACaminho.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return TAnexo::Falhou;
    struct stat st {};
    TAnexo r = TAnexo::Falhou;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &st) == 0)
      r = st.st_size >= ALimite      ? TAnexo::Cheio
          : EscreverTudo(fd, ABytes) ? TAnexo::Anexado
                                     : TAnexo::Falhou;
    return close(fd) == 0 || r == TAnexo::Cheio ? r : TAnexo::Falhou;
  }
  std::string CaminhoExecutavel() override {
    char buf[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }
  std::string PastaTemporaria() override {
    const char* t = getenv("TMPDIR");
    return IncluirSeparador(t && *t ? t : "/tmp");
  }
  std::string PastaDadosLocais() override {
    // VESK_PASTA_LOCAL stands in for the Windows folder in tests.
    for (const char* v : {"VESK_PASTA_LOCAL", "XDG_DATA_HOME"})
      if (const char* t = getenv(v); t && *t) return IncluirSeparador(t);
    const char* home = getenv("HOME");
    return home && *home ? IncluirSeparador(home) + ".local/share/" : std::string();
  }
};

}  // namespace

IArquivos& ImplementacaoPadrao(SeamTag<IArquivos>) {
  static TArquivosPosix a;
  return a;
}
