// Version texts: their parts, their order and what is accepted from outside.
#include <algorithm>
#include <cstdint>

#include "config/uVersao.h"
#include "platform/uTexto.h"

int32_t ParteDaVersao(const std::string& AVersao, int AIndice) {
  const std::string v = Aparar(AVersao);
  size_t inicio = 0;
  for (int i = 0; i < AIndice; ++i) {
    const size_t p = v.find('.', inicio);
    if (p == std::string::npos) return 0;
    inicio = p + 1;
  }
  const size_t fim = std::min(v.find('.', inicio), v.size());
  int64_t n = 0;
  bool algum = false;
  for (size_t i = inicio; i < fim; ++i) {
    if (v[i] < '0' || v[i] > '9') continue;
    algum = true;
    n = n * 10 + (v[i] - '0');
    if (n > INT32_MAX) return 0;
  }
  return algum ? static_cast<int32_t>(n) : 0;
}

int CompararTextosVersao(const std::string& ALocal, const std::string& AOutra) {
  for (int i = 0; i < 4; ++i) {
    const int32_t a = ParteDaVersao(ALocal, i), b = ParteDaVersao(AOutra, i);
    if (a < b) return -1;
    if (a > b) return 1;
  }
  return 0;
}

bool VersaoAceitavel(const std::string& AVersao) {
  if (AVersao.empty() || AVersao.size() > 32 || AVersao[0] < '0' || AVersao[0] > '9') return false;
  for (char c : AVersao) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '.' || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}
