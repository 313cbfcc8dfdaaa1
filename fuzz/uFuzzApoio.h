// What the fuzz targets share: the invariant check that turns a wrong result
// into a crash libFuzzer keeps, and the splitting of one input into the
// several texts a parser takes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// A broken invariant ends the run like a crash, so that libFuzzer keeps the
// input that shows it.
#define VERIFICAR(cond)                                      \
  do {                                                       \
    if (!(cond)) FalhaInvariante(#cond, __FILE__, __LINE__); \
  } while (0)

[[noreturn]] inline void FalhaInvariante(const char* ACondicao, const char* AArquivo, int ALinha) {
  std::fprintf(stderr, "invariante violada: %s (%s:%d)\n", ACondicao, AArquivo, ALinha);
  std::abort();
}

// The input as consecutive texts: each part ends at the separator byte (the
// last one at the end of the input), so that a seed is written by hand as
// lines.
class TPartesFuzz {
 public:
  TPartesFuzz(const uint8_t* AData, size_t ASize, char ASeparador = '\n')
      : FResto(reinterpret_cast<const char*>(AData), ASize), FSeparador(ASeparador) {}
  // The next part, "" when the input is used up.
  std::string Proxima() {
    const size_t k = FResto.find(FSeparador);
    std::string r(FResto.substr(0, k));
    FResto.remove_prefix(k == std::string_view::npos ? FResto.size() : k + 1);
    return r;
  }
  // One byte as a small choice, 0 when the input is used up.
  uint8_t Byte() {
    if (FResto.empty()) return 0;
    const auto b = static_cast<uint8_t>(FResto.front());
    FResto.remove_prefix(1);
    return b;
  }
  // Whatever is left, separators included.
  std::string Resto() {
    std::string r(FResto);
    FResto = {};
    return r;
  }

 private:
  std::string_view FResto;
  char FSeparador;
};

// A folder of its own for the run, as the agent's base folder (config.ini,
// cache, logs): made once, under TMPDIR.
std::string PastaDaExecucao();
