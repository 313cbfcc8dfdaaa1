// Processes on POSIX: enough for the native build and its tests (processes are
// found through /proc, the session guard is a locked file); waiting for and
// starting programs belong to the Windows build only.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/uProcessos.h"
#include "platform/uTexto.h"

namespace {

std::string LerLink(const std::string& ACaminho) {
  std::vector<char> buf(4096);
  const ssize_t n = readlink(ACaminho.c_str(), buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return {};
  return std::string(buf.data(), static_cast<size_t>(n));
}

class TProcessosPosix final : public IProcessos {
 public:
  std::vector<uint32_t> ProcessosDoExecutavel(const std::string& ACaminho) override {
    std::vector<uint32_t> ids;
    DIR* d = opendir("/proc");
    if (!d) return ids;
    const uint32_t eu = static_cast<uint32_t>(getpid());
    while (dirent* e = readdir(d)) {
      int32_t id = 0;
      if (!LerInteiroDecimal32(e->d_name, id) || id <= 0 || static_cast<uint32_t>(id) == eu)
        continue;
      const std::string caminho = LerLink(std::string("/proc/") + e->d_name + "/exe");
      if (!caminho.empty() && IgualSemCaixa(caminho, ACaminho))
        ids.push_back(static_cast<uint32_t>(id));
    }
    closedir(d);
    return ids;
  }

  THandleProcesso Abrir(uint32_t) override { return 0; }
  TResultadoEspera Aguardar(THandleProcesso, uint32_t) override { return TResultadoEspera::Falha; }
  bool CodigoSaida(THandleProcesso, uint32_t&) override { return false; }
  void Fechar(THandleProcesso) override {}
  uint32_t IdDoProcesso(THandleProcesso) override { return 0; }
  THandleProcesso Iniciar(const std::string&) override { return 0; }

  // Field 22 of /proc/self/stat: clock ticks from the boot to the start.
  uint64_t HoraInicioPropria() override {
    std::ifstream f("/proc/self/stat");
    const std::string linha((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // The name in field 2 may hold blanks and parentheses: count after its end.
    const size_t fim = linha.rfind(')');
    if (fim == std::string::npos) return 0;
    std::istringstream resto(linha.substr(fim + 1));
    std::string campo;
    for (int i = 3; i <= 22; ++i)
      if (!(resto >> campo)) return 0;
    uint64_t v = 0;
    for (char c : campo) {
      if (c < '0' || c > '9') return 0;
      v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    // A process started in the boot's first tick still reads as known.
    return v + 1;
  }

  TInstanciaUnica AdquirirInstanciaUnica(const std::string& ANome) override {
    const char* tmp = std::getenv("TMPDIR");
    std::string nome = SubstituirTudo(ANome, "\\", "_");
    const std::string caminho = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + nome + ".lock";
    const int fd = open(caminho.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return TInstanciaUnica::Falha;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      return TInstanciaUnica::JaExiste;
    }
    return TInstanciaUnica::Primeira;  // fd stays open: the lock lasts as long as the process
  }

  std::string CaminhoExecutavel() override { return LerLink("/proc/self/exe"); }

  std::vector<std::string> Argumentos() override {
    std::ifstream f("/proc/self/cmdline", std::ios::binary);
    const std::string tudo((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<std::string> r;
    size_t inicio = 0;
    bool primeiro = true;
    while (inicio < tudo.size()) {
      size_t fim = tudo.find('\0', inicio);
      if (fim == std::string::npos) fim = tudo.size();
      if (!primeiro) r.push_back(tudo.substr(inicio, fim - inicio));
      primeiro = false;
      inicio = fim + 1;
    }
    return r;
  }

  bool ArquivoExiste(const std::string& ACaminho) override {
    struct stat st {};
    return stat(ACaminho.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }
};

}  // namespace

IProcessos& ImplementacaoPadrao(SeamTag<IProcessos>) {
  static TProcessosPosix p;
  return p;
}
