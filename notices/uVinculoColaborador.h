// The employee link check: warns a computer that is not linked to an employee
// record, or whose employee has no CPF yet, in a notice popup.
#pragma once

#include "config/uConfigINI.h"

inline constexpr const char* kSecaoVinculo = "VINCULO_COLABORADOR";

// At most one warning every five minutes; request and popup failures are
// logged here, errors of reading config.ini reach the caller.
void VerificarVinculoColaborador(const TConfigAgente& ACfg);
