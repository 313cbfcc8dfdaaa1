// Fuzz target of the native profile reader and writer: any file reads as
// well-formed, bounded text, and a write or removal of one key leaves every
// other key reading as it did.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/uFuzzApoio.h"
#include "platform/uPerfil.h"
#include "platform/uTexto.h"

namespace {

using TChaves = std::map<std::pair<std::string, std::string>, std::string>;

// The file replaced whole through a new inode, as an editor or another
// program would: the reader's cache must see it as a different file.
void Gravar(const std::string& AArquivo, const std::string& ABytes) {
  const std::string temp = AArquivo + ".novo";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  VERIFICAR(fd >= 0);
  VERIFICAR(write(fd, ABytes.data(), ABytes.size()) == static_cast<ssize_t>(ABytes.size()));
  close(fd);
  VERIFICAR(rename(temp.c_str(), AArquivo.c_str()) == 0);
}

bool SemMarca(const std::string& ABytes) {
  return !ABytes.starts_with("\xFF\xFE") && !ABytes.starts_with("\xFE\xFF") &&
         !ABytes.starts_with("\xEF\xBB\xBF");
}

// Section names as the file spells them, decoded the way the reader decodes.
std::vector<std::string> Secoes(const std::string& ABytes) {
  std::vector<std::string> r;
  if (!SemMarca(ABytes)) return r;
  const std::string texto = Utf8Valido(ABytes) ? ABytes : Cp1252ParaUtf8(ABytes);
  for (const std::string& linha : DividirLinhas(texto)) {
    const std::string l = Aparar(linha);
    const size_t fim = l.find(']');
    if (l.starts_with("[") && fim != std::string::npos && r.size() < 8)
      r.push_back(Aparar(l.substr(1, fim - 1)));
  }
  return r;
}

// Every key of those sections with its value, each read checked on the way.
TChaves LerTudo(const std::string& AArquivo, const std::vector<std::string>& ASecoes) {
  TChaves r;
  IPerfil& p = Perfil();
  for (const std::string& s : ASecoes) {
    const std::vector<std::string> chaves = p.Chaves(AArquivo, s);
    for (size_t i = 0; i < chaves.size() && i < 32; ++i) {
      const std::string& k = chaves[i];
      VERIFICAR(!k.empty() && k == Aparar(k));
      const std::string v = p.LerTexto(AArquivo, s, k, "\x01");
      VERIFICAR(Utf8Valido(v));
      VERIFICAR(ComprimentoUtf16(v) <= 2047);
      r.emplace(std::make_pair(MinusculasAscii(s), MinusculasAscii(k)), v);
    }
  }
  return r;
}

// A read after a write that differs from what it should be.
void VerificarEscrita(bool AIgual, const char* ACondicao, int ALinha) {
  if (!AIgual) FalhaInvariante(ACondicao, __FILE__, ALinha);
}

// The keys read before a write still read the same, but for the one written.
void Comparar(const TChaves& AAntes, const TChaves& ADepois, const std::string& ASecao,
              const std::string& AChave) {
  for (const auto& [lugar, valor] : AAntes) {
    if (lugar.first == MinusculasAscii(ASecao) && lugar.second == MinusculasAscii(AChave)) continue;
    const auto it = ADepois.find(lugar);
    VerificarEscrita(it != ADepois.end() && it->second == valor,
                     "outra chave le o mesmo valor depois da escrita", __LINE__);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  static const std::string arquivo = PastaDaExecucao() + "perfil.ini";
  const std::string bytes(reinterpret_cast<const char*>(AData), ASize);
  Gravar(arquivo, bytes);
  IPerfil& p = Perfil();
  std::vector<std::string> secoes = Secoes(bytes);
  const TChaves antes = LerTudo(arquivo, secoes);

  // A new key in a section of its own.
  secoes.push_back("FUZZ_NOVA");
  VERIFICAR(p.EscreverTexto(arquivo, "FUZZ_NOVA", "Chave", "valor escrito 1"));
  VERIFICAR(p.LerTexto(arquivo, "fuzz_nova", "CHAVE", "") == "valor escrito 1");
  Comparar(antes, LerTudo(arquivo, secoes), "FUZZ_NOVA", "Chave");

  // An existing key given a new value, the first as the file reads now (the
  // write above may have renamed one).
  const TChaves meio = LerTudo(arquivo, secoes);
  if (!meio.empty()) {
    const std::string& s = meio.begin()->first.first;
    const std::string& k = meio.begin()->first.second;
    if (p.EscreverTexto(arquivo, s, k, "'valor trocado'")) {
      VerificarEscrita(p.LerTexto(arquivo, s, k, "") == "valor trocado",
                       "a chave trocada le o valor novo", __LINE__);
      Comparar(meio, LerTudo(arquivo, secoes), s, k);
    }
  }

  // The new key removed again.
  const TChaves antesDeApagarChaves = LerTudo(arquivo, secoes);
  VERIFICAR(p.ApagarChave(arquivo, "Fuzz_Nova", "chave"));
  VERIFICAR(p.LerTexto(arquivo, "FUZZ_NOVA", "Chave", "padrao") == "padrao");
  Comparar(antesDeApagarChaves, LerTudo(arquivo, secoes), "FUZZ_NOVA", "Chave");
  return 0;
}
