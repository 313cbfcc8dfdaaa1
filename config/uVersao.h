// The agent's version, sent to the server and shown in the main window.
#pragma once

inline constexpr const char* kVersaoAgente = "1.0.115";
inline const char* VersaoAgente() { return kVersaoAgente; }
