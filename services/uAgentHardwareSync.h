// Inventory upload: the hardware record to the server at most every six hours,
// and at once after the agent's version changed.
#pragma once

#include <string>
#include <vector>

#include "platform/uDataHora.h"
#include "services/uAgentHardwareInfo.h"

class TAgentHardwareSync {
 public:
  static constexpr double kPeriodoDias = 0.25;
  // A stored upload time further ahead than this is a clock error, not an upload.
  static constexpr double kFuturoAceitoDias = 1.0;

  // Errors of reading [HARDWARE] reach the caller; a failed upload is logged.
  static void SincronizarInventario();

  // Whether an upload is due now, from the stored time text and version.
  static bool EnvioDevido(const std::string& AUltimoEnvio, const std::string& AVersao,
                          TDateTime AAgora);
  // The form's name=value lines, in the server's order.
  static std::vector<std::string> MontarFormulario(const std::string& AApiToken,
                                                   const TAgentHardwareInfo& AInfo);
  // "0.00" with a point, whatever the regional decimal separator.
  static std::string FormatarDecimal(double AValor);
  static std::string FormatarDecimal(double AValor, const std::string& ASeparador);
};
