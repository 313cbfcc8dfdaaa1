// Hardware inventory collection: the record the server keeps for this computer
// and the choices and text cleaning that fill it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TAgentHardwareInfo {
  std::string Computador;
  std::string Usuario;
  std::string Processador;
  int32_t ProcessadorNucleos = 0;
  double MemoriaRamGB = 0;
  double DiscoTotalGB = 0;
  double DiscoLivreGB = 0;
  std::string DiscoSistema;
  std::string WindowsVersao;
  std::string Arquitetura;
  std::string MarcaEquipamento;
  std::string ModeloEquipamento;
};

class TAgentHardwareInfoHelper {
 public:
  static constexpr size_t kMaxEquipamento = 180;
  static constexpr size_t kMaxFonte = 220;

  // Every source that cannot be read leaves its fallback; never fails, logs
  // nothing.
  static TAgentHardwareInfo Coletar() noexcept;

  // Line breaks and runs of blanks folded into single blanks, trimmed, then
  // cut to AMax UTF-16 code units. Tabs and other control characters stay.
  static std::string LimparTexto(std::string_view ATexto, size_t AMax);
  // The first text that is not blank, trimmed; the third trimmed when all are.
  static std::string PrimeiroPreenchido(std::string_view A, std::string_view B, std::string_view C);
  // 1 for "A" (or "a") to 26 for "Z"; 3 for anything else or an empty text.
  static int NumeroDaUnidade(std::string_view ADisco);
  // The drive part of a path: "C:" of "C:\Windows", "\\server\share" of a UNC
  // path, "" otherwise.
  static std::string UnidadeDoCaminho(std::string_view ACaminho);
  // "Windows %d.%d build %d", or "Windows" when the version cannot be read.
  static std::string ObterVersaoWindows();
  // One WMI property, cleaned to 220 characters; "" on any failure. COM must be
  // initialised by the caller.
  static std::string ConsultarWMI(const std::string& AConsulta, const std::string& APropriedade);
  // One string value of HKLM\HARDWARE\DESCRIPTION\System\BIOS, cleaned to 220
  // characters; "" when missing or not a string.
  static std::string LerValorBIOS(const std::string& ANome);
};
