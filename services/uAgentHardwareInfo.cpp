// Hardware inventory collection over the system, WMI and registry concerns.
#include "net/uConvencoes.h"
#include "services/uAgentHardwareInfo.h"

#include <cstdio>

#include "net/uJsonHelper.h"
#include "platform/uRegistro.h"
#include "platform/uSistema.h"
#include "platform/uSistemaHardware.h"
#include "platform/uTexto.h"

namespace {

constexpr double kGiB = 1024.0;

double EmGB(uint64_t ABytes) {
  return static_cast<double>(ABytes) / kGiB / kGiB / kGiB;
}

// Balances a successful CoInitialize on every way out.
class TComDoInventario {
 public:
  TComDoInventario() : FIniciado(SistemaHardware().IniciarCom()) {}
  ~TComDoInventario() {
    if (FIniciado) SistemaHardware().FinalizarCom();
  }
  TComDoInventario(const TComDoInventario&) = delete;
  TComDoInventario& operator=(const TComDoInventario&) = delete;

 private:
  bool FIniciado;
};

}  // namespace

std::string TAgentHardwareInfoHelper::LimparTexto(std::string_view ATexto, size_t AMax) {
  std::string t = Aparar(SubstituirTudo(std::string(ATexto), "\r\n", " "));
  t = Aparar(SubstituirTudo(std::move(t), "\n", " "));
  t = Aparar(SubstituirTudo(std::move(t), "\r", " "));
  // Pairs replaced until none is left folds every run into one blank.
  std::string r;
  r.reserve(t.size());
  for (char c : t)
    if (c != ' ' || r.empty() || r.back() != ' ') r += c;
  if (ComprimentoUtf16(r) > AMax) r = CortarUtf16(r, AMax);
  return r;
}

std::string TAgentHardwareInfoHelper::PrimeiroPreenchido(std::string_view A, std::string_view B,
                                                         std::string_view C) {
  if (!EmBranco(A)) return Aparar(A);
  if (!EmBranco(B)) return Aparar(B);
  return Aparar(C);
}

int TAgentHardwareInfoHelper::NumeroDaUnidade(std::string_view ADisco) {
  if (ADisco.empty()) return 3;
  char c = ADisco[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
  return 3;
}

std::string TAgentHardwareInfoHelper::UnidadeDoCaminho(std::string_view ACaminho) {
  if (ACaminho.size() >= 2 && ACaminho[1] == ':') return std::string(ACaminho.substr(0, 2));
  if (ACaminho.size() >= 2 && ACaminho[0] == '\\' && ACaminho[1] == '\\') {
    const size_t servidor = ACaminho.find('\\', 2);
    if (servidor == std::string_view::npos || servidor == 2) return {};
    const size_t fim = ACaminho.find('\\', servidor + 1);
    if (fim == servidor + 1) return {};
    return std::string(ACaminho.substr(0, fim));
  }
  return {};
}

std::string TAgentHardwareInfoHelper::ObterVersaoWindows() {
  uint32_t maior = 0, menor = 0, build = 0;
  if (!SistemaHardware().VersaoWindows(maior, menor, build)) return "Windows";
  char buf[64];
  std::snprintf(buf, sizeof buf, "Windows %d.%d build %d", static_cast<int>(maior),
                static_cast<int>(menor), static_cast<int>(build));
  return buf;
}

std::string TAgentHardwareInfoHelper::ConsultarWMI(const std::string& AConsulta,
                                                   const std::string& APropriedade) {
  try {
    std::string v;
    if (!SistemaHardware().ConsultarWmi(AConsulta, APropriedade, v)) return {};
    return LimparTexto(v, kMaxFonte);
  } catch (...) {
    return {};
  }
}

std::string TAgentHardwareInfoHelper::LerValorBIOS(const std::string& ANome) {
  try {
    std::string v;
    if (!Registro().LerTextoMaquina("HARDWARE\\DESCRIPTION\\System\\BIOS", ANome, v)) return {};
    return LimparTexto(v, kMaxFonte);
  } catch (...) {
    return {};
  }
}

TAgentHardwareInfo TAgentHardwareInfoHelper::Coletar() noexcept {
  TAgentHardwareInfo r;
  // Each source on its own: one that fails keeps its fallback and the rest go on.
  auto passo = [](auto&& AAcao) {
    try {
      AAcao();
    } catch (...) {
      // That source keeps its fallback value; the other sources still run.
    }
  };
  r.Computador = "PC";
  passo([&] { r.Computador = ObterNomeComputadorMaiusculo(); });
  passo([&] { r.Usuario = VariavelAmbiente("USERNAME"); });
  passo([&] {
    r.Processador = Aparar(VariavelAmbiente("PROCESSOR_IDENTIFIER"));
    if (r.Processador.empty()) r.Processador = Aparar(VariavelAmbiente("PROCESSOR_ARCHITECTURE"));
  });
  passo([&] {
    r.ProcessadorNucleos = static_cast<int32_t>(SistemaHardware().NumeroProcessadores());
  });
  passo([&] {
    uint64_t bytes = 0;
    if (SistemaHardware().MemoriaFisicaTotal(bytes)) r.MemoriaRamGB = EmGB(bytes);
  });
  r.DiscoSistema = "C:";
  passo([&] {
    const std::string d = UnidadeDoCaminho(VariavelAmbiente("SystemDrive"));
    if (!d.empty()) r.DiscoSistema = d;
  });
  passo([&] {
    const int n = NumeroDaUnidade(r.DiscoSistema);
    const std::string raiz = std::string(1, static_cast<char>('A' + n - 1)) + ":\\";
    uint64_t total = 0, livre = 0;
    if (!SistemaHardware().EspacoDisco(raiz, total, livre)) return;
    if (total > 0) r.DiscoTotalGB = EmGB(total);
    if (livre > 0) r.DiscoLivreGB = EmGB(livre);
  });
  r.WindowsVersao = "Windows";
  passo([&] { r.WindowsVersao = ObterVersaoWindows(); });
  passo([&] { r.Arquitetura = Aparar(VariavelAmbiente("PROCESSOR_ARCHITECTURE")); });

  std::string marcaWmi, modeloWmi;
  try {
    TComDoInventario com;
    marcaWmi = ConsultarWMI("SELECT Manufacturer FROM Win32_ComputerSystem", "Manufacturer");
    modeloWmi = ConsultarWMI("SELECT Model FROM Win32_ComputerSystem", "Model");
    if (EmBranco(modeloWmi))
      modeloWmi = ConsultarWMI("SELECT Version FROM Win32_ComputerSystemProduct", "Version");
  } catch (...) {
    marcaWmi.clear();
    modeloWmi.clear();
  }
  std::string placaMarca, sistemaMarca, placaModelo, sistemaModelo;
  passo([&] { placaMarca = LerValorBIOS("BaseBoardManufacturer"); });
  passo([&] { sistemaMarca = LerValorBIOS("SystemManufacturer"); });
  passo([&] { placaModelo = LerValorBIOS("BaseBoardProduct"); });
  passo([&] { sistemaModelo = LerValorBIOS("SystemProductName"); });
  passo([&] {
    r.MarcaEquipamento =
        LimparTexto(PrimeiroPreenchido(marcaWmi, sistemaMarca, placaMarca), kMaxEquipamento);
    r.ModeloEquipamento =
        LimparTexto(PrimeiroPreenchido(modeloWmi, sistemaModelo, placaModelo), kMaxEquipamento);
  });
  return r;
}
