// The agent log: one UTF-8 file a day in the base folder's "logs" folder.
#pragma once

#include <string>

#include "platform/uDataHora.h"

// Nothing here ever raises to the caller: a failure loses at most the line.
class TLogger {
 public:
  // Writes the line when detailed logging is on or the message is relevant.
  static void Log(const std::string& AMsg) noexcept;
  // Log("[DEBUG] " + AMsg), only when detailed logging is on.
  static void Debug(const std::string& AMsg) noexcept;

  // The logs folder (with its trailing separator), created when missing.
  static std::string PastaLogs();
  // Today's file: PastaLogs + NomeDoDia.
  static std::string ArquivoLogDoDia();
  // "Zelvan_yyyy_mm_dd.log" of today.
  static std::string NomeDoDia();
  // [LOG] DETALHADO (default [LOG] DEBUG, default false) of the base folder's
  // config.ini, read without creating any folder; false when there is no file.
  static bool LogDetalhadoAtivo();
  // The message as one line: control characters but the tab become spaces.
  static std::string UmaLinha(const std::string& AMsg);
  // Whether the message, with A-Z lowered, holds one of the keywords.
  static bool MensagemRelevante(const std::string& AMsg);
  // Deletes *.log and *.old files older than 30 days, then the oldest of the
  // rest while they pass kTotalMaximoPasta together, at most once an hour.
  static void LimparLogsAntigos();
  // Sets the file aside as "<name>_hhnnss.old" once it reaches 10 MiB, and
  // keeps the folder under kTotalMaximoPasta.
  static void RotacionarLog(const std::string& ACaminho);

  static constexpr long long kTamanhoMaximo = 10485760;
  static constexpr long long kTotalMaximoPasta = 200LL * 1024 * 1024;

  // Time of the last cleanup in this process (0 before the first).
  static TDateTime UltimaLimpezaLogs();
  // For tests: forget the last cleanup, as a new process would.
  static void ReiniciarUltimaLimpeza();
};
