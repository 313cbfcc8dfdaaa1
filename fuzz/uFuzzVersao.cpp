// Fuzz target of the update's version comparison and file address: an order
// over any texts the server may send, and the four parts of a dotted version.
#include <cstdint>
#include <string>

#include "fuzz/uFuzzApoio.h"
#include "platform/uTexto.h"
#include "services/uAutoUpdatePro.h"

namespace {

using A = TAutoUpdatePro;

int Sinal(int64_t A, int64_t B) {
  return A < B ? -1 : A > B ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TPartesFuzz partes(AData, ASize);
  const std::string a = partes.Proxima(), b = partes.Proxima(), c = partes.Proxima();

  // An order: reflexive, antisymmetric, transitive, and the order of the parts.
  VERIFICAR(A::CompararVersoes(a, a) == 0);
  const int ab = A::CompararVersoes(a, b), ba = A::CompararVersoes(b, a);
  VERIFICAR(ab == -ba && ab >= -1 && ab <= 1);
  const int bc = A::CompararVersoes(b, c), ac = A::CompararVersoes(a, c);
  if (ab <= 0 && bc <= 0) VERIFICAR(ac <= 0);
  if (ab == 0 && bc == 0) VERIFICAR(ac == 0);
  int esperado = 0;
  for (int i = 0; i < 4 && esperado == 0; ++i) {
    const int32_t pa = A::ParteVersao(a, i), pb = A::ParteVersao(b, i);
    VERIFICAR(pa >= 0 && pb >= 0);
    esperado = Sinal(pa, pb);
  }
  VERIFICAR(ab == esperado);
  // Blanks around the text do not count.
  VERIFICAR(A::CompararVersoes(" \t" + a + "\r\n", a) == 0);

  // Round trip: four numbers written as a version read back part by part, and
  // two such versions compare as their numbers do, the fourth part included.
  int64_t x[4] = {}, y[4] = {};
  for (size_t i = 0; i < ASize; ++i) {
    int64_t& n = (i % 8 < 4 ? x : y)[i % 4];
    n = (n * 251 + AData[i]) % 2147483648LL;
  }
  std::string vx, vy;
  for (int i = 0; i < 4; ++i) {
    vx += (i ? "." : "") + std::to_string(x[i]);
    vy += (i ? "." : "") + std::to_string(y[i]);
  }
  int ordem = 0;
  for (int i = 0; i < 4; ++i) {
    VERIFICAR(A::ParteVersao(vx, i) == x[i]);
    if (ordem == 0) ordem = Sinal(x[i], y[i]);
  }
  VERIFICAR(A::ParteVersao(vx, 4) == 0);
  VERIFICAR(A::CompararVersoes(vx, vy) == ordem);
  VERIFICAR(A::CompararVersoes(vx + ".99", vx) == 0);

  // The file's address: absolute http(s) as given, anything else under the base.
  const std::string base = "http://intranet/demo/intranet/";
  const std::string url = A::ResolverUrlArquivo(base, a);
  if (url.starts_with(base))  // under the base, or an absolute address that starts like it
    VERIFICAR(!url.substr(base.size()).starts_with("/") ||
              url == SubstituirTudo(Aparar(a), "\\\\", "/"));
  else
    VERIFICAR(IniciaComSemCaixa(url, "http://") || IniciaComSemCaixa(url, "https://"));
  if (IniciaComSemCaixa(Aparar(a), "https://") && !Contem(a, "\\")) VERIFICAR(url == Aparar(a));
  return 0;
}
