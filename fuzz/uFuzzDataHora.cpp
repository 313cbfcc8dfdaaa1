// Fuzz target of the stored moments: the regional date reader, in the
// patterns users set, and the fallback shapes of the notice state.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/uFuzzApoio.h"
#include "notices/uEstadoMensagens.h"
#include "platform/uLocalidade.h"
#include "platform/uTexto.h"

namespace {

// Regional settings in use on Windows computers: day first, month first, ISO,
// dotted, quoted literals, 12-hour clocks with their designators.
const TFormatoRegional kFormatos[] = {
    {"dd/MM/yyyy", "HH:mm:ss", "AM", "PM"},
    {"M/d/yyyy", "h:mm:ss tt", "AM", "PM"},
    {"yyyy-MM-dd", "HH:mm:ss", "", ""},
    {"dd.MM.yyyy", "H:mm:ss", "", ""},
    {"d/M/yyyy", "tt hh:mm:ss", "a.m.", "p.m."},
    {"yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'", "H:mm:ss", "\xE5\x8D\x88\xE5\x89\x8D",
     "\xE5\x8D\x88\xE5\xBE\x8C"},
    {"dd-MM-yy", "HH:mm:ss", "AM", "PM"},
};

// The numbers written in the text, each run of digits as one (saturated).
std::vector<uint64_t> Numeros(const std::string& ATexto) {
  std::vector<uint64_t> r;
  for (size_t i = 0; i < ATexto.size();) {
    if (ATexto[i] < '0' || ATexto[i] > '9') {
      ++i;
      continue;
    }
    uint64_t n = 0;
    for (; i < ATexto.size() && ATexto[i] >= '0' && ATexto[i] <= '9'; ++i)
      n = n > 100000000000ull ? n : n * 10 + static_cast<uint64_t>(ATexto[i] - '0');
    r.push_back(n);
  }
  return r;
}

bool Presente(const std::vector<uint64_t>& ANumeros, uint64_t AValor) {
  for (uint64_t n : ANumeros)
    if (n == AValor) return true;
  return false;
}

// An accepted text names its own day, month and year: a number that reads as
// another (overflowed, wrapped) is a fault.
void VerificarLido(const std::string& ATexto, TDateTime AValor) {
  const TPartesDataHora p = DecodificarDataHora(AValor);
  VERIFICAR(p.Ano >= 1 && p.Ano <= 9999);
  const std::vector<uint64_t> n = Numeros(ATexto);
  const bool proprios = Presente(n, static_cast<uint64_t>(p.Dia)) &&
                        Presente(n, static_cast<uint64_t>(p.Mes)) &&
                        (Presente(n, static_cast<uint64_t>(p.Ano)) ||
                         (p.Ano >= 2000 && p.Ano <= 2099 && Presente(n, p.Ano % 100u)));
  VERIFICAR(proprios);
  // Written again and read back, it is the same moment.
  TDateTime outra = 0;
  VERIFICAR(LerDataHoraEstado(TextoDataHoraEstado(AValor), outra));
  VERIFICAR(std::fabs(outra - AValor) < kUmSegundo / 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::string texto(reinterpret_cast<const char*>(AData), ASize);
  TDateTime v = 0;
  if (LerDataHoraEstado(texto, v)) VerificarLido(Aparar(texto), v);
  for (const TFormatoRegional& f : kFormatos)
    if (LerDataHoraRegional(f, texto, v)) {
      const TPartesDataHora p = DecodificarDataHora(v);
      VERIFICAR(p.Ano >= 1 && p.Ano <= 9999 && p.Hora <= 23 && p.Minuto <= 59 && p.Segundo <= 59);
    }

  // Round trips: a moment made of the input's bytes, in every pattern and in
  // the two fallback shapes, reads back as itself to the second.
  if (ASize < 6) return 0;
  TPartesDataHora p;
  p.Ano = 1 + (AData[0] | (AData[1] << 8)) % 9999;
  p.Mes = 1 + AData[2] % 12;
  static const int kDias[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool bissexto = (p.Ano % 4 == 0 && p.Ano % 100 != 0) || p.Ano % 400 == 0;
  p.Dia = 1 + AData[3] % (p.Mes == 2 && !bissexto ? 28 : kDias[p.Mes - 1]);
  p.Hora = AData[4] % 24;
  p.Minuto = AData[5] % 60;
  p.Segundo = ASize > 6 ? AData[6] % 60 : 0;
  const TDateTime momento = CodificarDataHora(p);
  for (const TFormatoRegional& f : kFormatos) {
    const std::string escrito = FormatarDataHoraRegional(f, momento);
    const bool anoCurto = !Contem(f.DataCurta, "yyy");
    if (anoCurto && (p.Ano < 2000 || p.Ano > 2099)) continue;
    TDateTime lido = 0;
    VERIFICAR(LerDataHoraRegional(f, escrito, lido));
    VERIFICAR(std::fabs(lido - momento) < kUmSegundo / 2);
  }
  for (const char* padrao : {"dd/mm/yyyy hh:nn:ss", "yyyy-mm-dd hh:nn:ss", "dd/mm/yyyy hh:nn"}) {
    TDateTime lido = 0;
    VERIFICAR(LerDataHoraEstado(FormatarDataHora(padrao, momento), lido));
    const double tolerancia = Contem(padrao, "ss") ? kUmSegundo / 2 : kUmMinuto;
    VERIFICAR(std::fabs(lido - momento) < tolerancia);
  }
  return 0;
}
