// The notice state in config.ini: which notices this computer handled, which
// were confirmed and cleaned up, and the polling position.
#pragma once

#include <cstdint>
#include <string>

#include "platform/uDataHora.h"

inline constexpr const char* kSecaoProcessadas = "MENSAGENS_PROCESSADAS";
inline constexpr const char* kSecaoExcluidas = "MENSAGENS_EXCLUIDAS";
inline constexpr const char* kSecaoControle = "MENSAGENS_CONTROLE";

// "source_table:id:COMPUTER", the table trimmed and lowered.
std::string MontarChaveMensagem(const std::string& ASourceTable, int32_t AId);

// Presence of the notice's key, whatever its value; false for an id <= 0.
bool MensagemProcessada(const std::string& ASourceTable, int32_t AId);
bool MensagemExcluida(const std::string& ASourceTable, int32_t AId);
// The key with the current local time; nothing for an id <= 0. Each write is
// flushed before the call returns; a refused write raises.
void MarcarMensagemProcessada(const std::string& ASourceTable, int32_t AId);
void MarcarMensagemExcluida(const std::string& ASourceTable, int32_t AId);
// Takes the processed key away again, for a popup that closed unconfirmed
// because the session ended: the notice is then new at the next log-on.
void DesmarcarMensagemProcessada(const std::string& ASourceTable, int32_t AId);

// ULTIMO_ID_ENTREGUE, 0 when absent or not an integer.
int32_t LerUltimoIdEntregue();
// Raises the position to AId (with ULTIMA_ATUALIZACAO) only when it grows.
void AtualizarUltimoIdEntregue(int32_t AId);

// Pruning: the keys of handled notices are consulted on their notice's day
// and, for the silent re-acknowledgement, while the server still offers them
// unread. A processed or excluded key whose stored time (as Marcar* writes it)
// is more than kDiasEstadoMensagens days before AAgora is removed; a key without
// such a time (written by hand, "x", empty) stays, and so does every key from
// the first recent one (or one ahead of the clock) on. Looks at no more than
// kMaxExaminadasPorDia keys of each section and removes at most
// kMaxRemovidasPorDia, since each removal rewrites the file; the notice pass
// runs it once a day. Returns how many keys it removed; errors of the profile
// file are not caught.
inline constexpr int kDiasEstadoMensagens = 30;
inline constexpr size_t kMaxExaminadasPorDia = 1000;
inline constexpr size_t kMaxRemovidasPorDia = 100;
size_t LimparEstadoAntigo(TDateTime AAgora);

// A stored moment as the agent writes ULTIMA_ATUALIZACAO and ULTIMO_AVISO:
// the user's regional short date and long time.
std::string TextoDataHoraEstado(TDateTime AValor);
// Reads such a text back (also "dd/mm/yyyy hh:nn:ss" and "yyyy-mm-dd hh:nn:ss",
// so a change of regional settings does not lose it); false when it does not
// hold a valid date and time.
bool LerDataHoraEstado(const std::string& ATexto, TDateTime& AValor);
