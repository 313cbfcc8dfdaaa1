// What every server call shares besides JSON: query encoding, the computer and
// user names it sends, and the masking of the API token in log lines.
#pragma once

#include <string>
#include <string_view>

// --- encoding ----------------------------------------------------------------

// A query value: UTF-8 bytes with letters, digits and ! $ ' ( ) * - . @ _ kept,
// space as "+", every other byte as %XX (upper-case hex).
std::string CodificarURL(std::string_view ATexto);

// --- computer and user names ------------------------------------------------------

std::string ObterNomeComputador();           // as the system gives it; "PC" when unavailable
std::string ObterNomeComputadorMaiusculo();  // trimmed, A-Z upper case; "PC" when unavailable
std::string ObterNomeUsuario();              // USERNAME as it is, "" when unset
std::string ObterUsuarioTarefas();           // USERNAME, "USER" when blank
std::string ObterUsuarioWindows();           // the logon name, "Usuario" when unavailable

// --- the API token in log lines -------------------------------------------------

// First 6 characters, "...", last 4; "***" for a token of 12 characters or fewer.
std::string MascararToken(std::string_view AToken);
// The text with every occurrence of the token, raw or query-encoded, masked.
std::string MascararTokenNoTexto(std::string_view ATexto, std::string_view AToken);
// The text with the configured token masked, and with the value of every
// "api_token=" parameter masked, for lines that quote addresses or answers.
std::string OcultarToken(std::string_view ATexto);
