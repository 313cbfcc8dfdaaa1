// Portable path helpers and the atomic write over the files concern.
#include <string>

#include "platform/uArquivos.h"
#include "platform/uRelogio.h"
#include "platform/uSistema.h"
#include "platform/uTexto.h"

namespace {

// Windows accepts both separators; POSIX only its own.
bool Separador(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

size_t UltimoSeparador(const std::string& ACaminho) {
  for (size_t i = ACaminho.size(); i > 0; --i)
    if (Separador(ACaminho[i - 1])) return i - 1;
  return std::string::npos;
}

char Minuscula(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace

std::string PastaDe(const std::string& ACaminho) {
  const size_t k = UltimoSeparador(ACaminho);
  if (k == std::string::npos) return {};
  return ACaminho.substr(0, k + 1);
}

std::string NomeDe(const std::string& ACaminho) {
  const size_t k = UltimoSeparador(ACaminho);
  return k == std::string::npos ? ACaminho : ACaminho.substr(k + 1);
}

std::string ExtensaoDe(const std::string& ACaminho) {
  const std::string nome = NomeDe(ACaminho);
  const size_t p = nome.rfind('.');
  if (p == std::string::npos) return {};
  return nome.substr(p);
}

std::string SemExtensao(const std::string& ACaminho) {
  const std::string ext = ExtensaoDe(ACaminho);
  return ACaminho.substr(0, ACaminho.size() - ext.size());
}

std::string IncluirSeparador(const std::string& APasta) {
  if (APasta.empty() || Separador(APasta.back())) return APasta;
  return APasta + kSep;
}

std::string PastaDoExecutavel() {
  return PastaDe(Arquivos().CaminhoExecutavel());
}

bool CorrespondeMascara(std::string_view ANome, std::string_view AMascara) {
  // Iterative wildcard match with one back-track point for the last "*".
  size_t n = 0, m = 0;
  size_t estrela = std::string_view::npos, retorno = 0;
  while (n < ANome.size()) {
    if (m < AMascara.size() &&
        (AMascara[m] == '?' || Minuscula(AMascara[m]) == Minuscula(ANome[n]))) {
      ++n;
      ++m;
    } else if (m < AMascara.size() && AMascara[m] == '*') {
      estrela = m++;
      retorno = n;
    } else if (estrela != std::string_view::npos) {
      m = estrela + 1;
      n = ++retorno;
    } else {
      return false;
    }
  }
  while (m < AMascara.size() && AMascara[m] == '*') ++m;
  return m == AMascara.size();
}

std::string TemporarioAoLado(const std::string& ACaminho) {
  return ACaminho + ".tmp" + std::to_string(Sistema().IdProcesso()) + "_" +
         std::to_string(Relogio().TickCount());
}

bool GravarAtomico(const std::string& ACaminho, std::string_view ABytes) {
  IArquivos& fs = Arquivos();
  // A name of our own beside the target, so the rename stays on one volume.
  const std::string temp = TemporarioAoLado(ACaminho);
  if (!fs.Gravar(temp, ABytes)) {
    fs.Apagar(temp);
    return false;
  }
  if (!fs.Substituir(temp, ACaminho)) {
    fs.Apagar(temp);
    return false;
  }
  return true;
}

std::string LigacaoNoCaminho(const std::string& ABase, const std::string& ACaminho) {
  IArquivos& fs = Arquivos();
  const std::string base = IncluirSeparador(ABase);
  size_t inicio = 0;
  if (!base.empty() && ACaminho.rfind(base, 0) == 0) {
    if (fs.EhLigacao(base)) return base;
    inicio = base.size();
  } else {
    // From the root: past the leading separators and, on Windows, the drive
    // ("C:") or the server and share of a UNC path.
    while (inicio < ACaminho.size() && Separador(ACaminho[inicio])) ++inicio;
#ifdef _WIN32
    const int partes = inicio >= 2 ? 2 : (ACaminho.size() > 1 && ACaminho[1] == ':' ? 1 : 0);
    for (int k = 0; k < partes; ++k) {
      while (inicio < ACaminho.size() && !Separador(ACaminho[inicio])) ++inicio;
      while (inicio < ACaminho.size() && Separador(ACaminho[inicio])) ++inicio;
    }
#endif
  }
  for (size_t i = inicio; i <= ACaminho.size(); ++i) {
    if (i < ACaminho.size() && !Separador(ACaminho[i])) continue;
    if (i == inicio || Separador(ACaminho[i - 1])) continue;  // empty part
    const std::string parcial = ACaminho.substr(0, i);
    if (fs.EhLigacao(parcial)) return parcial;
  }
  return {};
}
