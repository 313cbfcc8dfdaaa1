// Data resources (RCDATA) compiled into the executable.
#pragma once

#include <string>

// The bytes of the RCDATA resource AId of the running program; empty when the
// program carries no such resource (native builds carry none).
std::string LerRecursoDados(int AId);
