// Regional date and time text: writing a moment in the locale's patterns and
// reading it back.
#include <cstdio>
#include <vector>

#include "platform/uLocalidade.h"
#include "platform/uTexto.h"

namespace {

std::string Numero(int AValor, int ADigitos) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", ADigitos, AValor);
  return buf;
}

bool EhLetraDePadrao(char c) {
  return c == 'd' || c == 'M' || c == 'y' || c == 'h' || c == 'H' || c == 'm' || c == 's' ||
         c == 't' || c == 'g';
}

void Formatar(std::string& AOut, std::string_view APadrao, const TPartesDataHora& P,
              const TFormatoRegional& F) {
  for (size_t i = 0; i < APadrao.size();) {
    const char c = APadrao[i];
    if (c == '\'') {  // quoted literal; '' inside stands for one quote
      size_t j = i + 1;
      for (; j < APadrao.size(); ++j) {
        if (APadrao[j] != '\'') {
          AOut += APadrao[j];
        } else if (j + 1 < APadrao.size() && APadrao[j + 1] == '\'') {
          AOut += '\'';
          ++j;
        } else {
          break;
        }
      }
      i = j + 1;
      continue;
    }
    if (!EhLetraDePadrao(c)) {
      AOut += c;
      ++i;
      continue;
    }
    size_t n = 1;
    while (i + n < APadrao.size() && APadrao[i + n] == c) ++n;
    i += n;
    const int h12 = P.Hora % 12 == 0 ? 12 : P.Hora % 12;
    const std::string& desig = P.Hora < 12 ? F.AM : F.PM;
    switch (c) {
      case 'd':
        if (n <= 2) AOut += Numero(P.Dia, static_cast<int>(n));  // weekday names are left out
        break;
      case 'M':
        AOut += Numero(P.Mes, n >= 2 ? 2 : 1);
        break;
      case 'y':
        AOut += n >= 3 ? Numero(P.Ano, 4) : Numero(P.Ano % 100, static_cast<int>(n));
        break;
      case 'h':
        AOut += Numero(h12, n >= 2 ? 2 : 1);
        break;
      case 'H':
        AOut += Numero(P.Hora, n >= 2 ? 2 : 1);
        break;
      case 'm':
        AOut += Numero(P.Minuto, n >= 2 ? 2 : 1);
        break;
      case 's':
        AOut += Numero(P.Segundo, n >= 2 ? 2 : 1);
        break;
      case 't':
        AOut += n >= 2 ? desig : CortarUtf16(desig, 1);
        break;
      default:  // era
        break;
    }
  }
}

int DiasNoMes(int AAno, int AMes) {
  static const int k[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (AMes == 2 && ((AAno % 4 == 0 && AAno % 100 != 0) || AAno % 400 == 0)) return 29;
  return k[AMes - 1];
}

// Where the designator stands in the text (ASCII case ignored); npos when not.
size_t Procurar(const std::string& ATexto, const std::string& ADesignador) {
  if (EmBranco(ADesignador)) return std::string::npos;
  return MinusculasAscii(ATexto).find(MinusculasAscii(Aparar(ADesignador)));
}

}  // namespace

std::string FormatarDataHoraRegional(const TFormatoRegional& AFormato, TDateTime AValor) {
  const TPartesDataHora p = DecodificarDataHora(AValor);
  std::string r;
  Formatar(r, AFormato.DataCurta, p, AFormato);
  r += ' ';
  Formatar(r, AFormato.HoraLonga, p, AFormato);
  return r;
}

std::string FormatarDataHoraRegional(TDateTime AValor) {
  return FormatarDataHoraRegional(FormatoRegional(), AValor);
}

bool LerDataHoraRegional(const TFormatoRegional& AFormato, std::string_view ATexto,
                         TDateTime& AValor) {
  std::string t(ATexto);
  if (t.size() > 200) return false;
  // The designator first, so that its letters are not taken for garbage.
  int designador = 0;  // 1 AM, 2 PM
  for (int k = 1; k <= 2 && designador == 0; ++k) {
    const std::string& d = k == 1 ? AFormato.AM : AFormato.PM;
    const size_t pos = Procurar(t, d);
    if (pos == std::string::npos) continue;
    designador = k;
    t.replace(pos, Aparar(d).size(), " ");
  }
  std::vector<long long> numeros;
  for (size_t i = 0; i < t.size();) {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    if (c >= '0' && c <= '9') {
      long long v = 0;
      size_t j = i;
      for (; j < t.size() && t[j] >= '0' && t[j] <= '9'; ++j)
        if (v < 100000) v = v * 10 + (t[j] - '0');
      if (j - i > 5) return false;
      numeros.push_back(j - i <= 2 ? -1 - v : v);  // two digits or fewer: marked negative
      i = j;
    } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') {
      return false;  // month names and other words are not read
    } else if (c >= 0x80) {
      ++i;  // literals of other scripts ("年") separate like punctuation
    } else {
      ++i;
    }
  }
  if (numeros.size() < 3 || numeros.size() > 6) return false;
  auto valor = [](long long v) { return v < 0 ? -1 - v : v; };
  // The order of day, month and year in the short date pattern.
  std::string ordem;
  for (size_t i = 0; i < AFormato.DataCurta.size(); ++i) {
    const char c = AFormato.DataCurta[i];
    if (c == '\'') {
      const size_t f = AFormato.DataCurta.find('\'', i + 1);
      if (f == std::string::npos) break;
      i = f;
      continue;
    }
    size_t n = 1;
    while (i + n < AFormato.DataCurta.size() && AFormato.DataCurta[i + n] == c) ++n;
    if ((c == 'd' && n <= 2) || c == 'M' || c == 'y')
      if (ordem.find(c) == std::string::npos) ordem += c;
    i += n - 1;
  }
  if (ordem.size() != 3) ordem = "dMy";
  TPartesDataHora p;
  for (size_t k = 0; k < 3; ++k) {
    const long long v = valor(numeros[k]);
    // No pattern writes a day or month in more than two digits: such a text is
    // of another shape ("0012-05-06" is the year 12, not the 12th of May 2006).
    if (ordem[k] != 'y' && numeros[k] >= 0) return false;
    switch (ordem[k]) {
      case 'd':
        p.Dia = static_cast<int>(v);
        break;
      case 'M':
        p.Mes = static_cast<int>(v);
        break;
      default:
        // A year of one or two digits lies in 2000-2099.
        p.Ano = static_cast<int>(numeros[k] < 0 ? 2000 + v : v);
        break;
    }
  }
  if (p.Ano < 1 || p.Ano > 9999 || p.Mes < 1 || p.Mes > 12 || p.Dia < 1 ||
      p.Dia > DiasNoMes(p.Ano, p.Mes))
    return false;
  p.Hora = numeros.size() > 3 ? static_cast<int>(valor(numeros[3])) : 0;
  p.Minuto = numeros.size() > 4 ? static_cast<int>(valor(numeros[4])) : 0;
  p.Segundo = numeros.size() > 5 ? static_cast<int>(valor(numeros[5])) : 0;
  if (numeros.size() == 4) return false;  // an hour without minutes
  if (designador != 0) {
    if (p.Hora < 1 || p.Hora > 12) return false;
    if (designador == 2 && p.Hora < 12) p.Hora += 12;
    if (designador == 1 && p.Hora == 12) p.Hora = 0;
  }
  if (p.Hora > 23 || p.Minuto > 59 || p.Segundo > 59) return false;
  AValor = CodificarDataHora(p);
  return true;
}

bool LerDataHoraRegional(std::string_view ATexto, TDateTime& AValor) {
  return LerDataHoraRegional(FormatoRegional(), ATexto, AValor);
}
