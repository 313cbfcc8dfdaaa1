// Windows of other programs on POSIX: there are none, and nothing is started.
#include <atomic>

#include "platform/uJanelasExternas.h"

namespace {

class TJanelasExternasPosix final : public IJanelasExternas {
 public:
  TLancamento Lancar(const std::string&, const std::string&) override {
    TLancamento l;
    l.Erro = 2;  // ERROR_FILE_NOT_FOUND
    return l;
  }
  TResultadoEspera Aguardar(THandleProcesso, uint32_t) override { return TResultadoEspera::Falha; }
  void Terminar(THandleProcesso) override {}
  void FecharHandle(THandleProcesso) override {}
  bool TerminarProcesso(uint32_t) override { return false; }
  bool LinhaDeComando(uint32_t, std::string&) override { return false; }
  std::vector<TJanelaExterna> Janelas() override { return {}; }
  bool Minimizada(THandleJanela) override { return false; }
  void Mostrar(THandleJanela, int) override {}
  void TrazerParaFrente(THandleJanela) override {}
  void AplicarIcone(THandleJanela, const std::string&) override {}
};

std::atomic<int> GSons{0};

}  // namespace

IJanelasExternas& ImplementacaoPadrao(SeamTag<IJanelasExternas>) {
  static TJanelasExternasPosix j;
  return j;
}

void TocarSomNotificacao() {
  ++GSons;
}

int SonsNotificacaoTocados() {
  return GSons;
}
