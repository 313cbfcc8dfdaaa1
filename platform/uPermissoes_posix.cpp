// Access rights on POSIX: the mode bits and the owner.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/uPermissoes.h"

namespace {

void Incluir(std::vector<std::string>& AQuem, const std::string& ANome) {
  if (std::find(AQuem.begin(), AQuem.end(), ANome) == AQuem.end()) AQuem.push_back(ANome);
}

class TPermissoesPosix final : public IPermissoes {
 public:
  bool OutrosPodemEscrever(const std::string& ACaminho, std::vector<std::string>& AQuem) override {
    struct stat st {};
    if (stat(ACaminho.c_str(), &st) != 0) return false;
    bool algum = false;
    if (st.st_uid != geteuid() && st.st_uid != 0) {
      Incluir(AQuem, "dono uid " + std::to_string(st.st_uid));
      algum = true;
    }
    if (st.st_mode & S_IWGRP) {
      const group* g = getgrgid(st.st_gid);
      Incluir(AQuem, "grupo " + (g ? std::string(g->gr_name) : std::to_string(st.st_gid)));
      algum = true;
    }
    if (st.st_mode & S_IWOTH) {
      Incluir(AQuem, "todos");
      algum = true;
    }
    return algum;
  }
};

}  // namespace

IPermissoes& ImplementacaoPadrao(SeamTag<IPermissoes>) {
  static TPermissoesPosix p;
  return p;
}
