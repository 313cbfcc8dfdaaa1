// The agent's version, sent to the server and shown in the main window, and
// the rules for version texts that the update and the watchdog share.
#pragma once

#include <cstdint>
#include <string>

// The project's version (project() in CMakeLists.txt, its one source); defined
// alone in its file, so that a test build of the agent can carry another
// version by linking its own definition.
const char* VersaoAgente();

// Part AIndice (from 0) of a dotted version: its ASCII digits as a number; 0
// when it has none, exceeds 32 bits or does not exist.
int32_t ParteDaVersao(const std::string& AVersao, int AIndice);
// -1 when ALocal is lower than AOutra, 1 when higher, 0 when their first four
// parts are equal.
int CompararTextosVersao(const std::string& ALocal, const std::string& AOutra);
// A version text from outside that may be compared, logged and recorded: 1 to
// 32 characters, starting with a digit, of digits, dots and the suffix
// characters that the comparison passes over (ASCII letters, "-", "_").
bool VersaoAceitavel(const std::string& AVersao);
