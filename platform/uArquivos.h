// Files and folders concern. Paths are UTF-8; on Windows they use "\" and on
// POSIX "/" (kSep). Every operation reports failure by its result, never throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uDataHora.h"
#include "platform/uSeam.h"

#ifdef _WIN32
inline constexpr char kSep = '\\';
#else
inline constexpr char kSep = '/';
#endif

struct TInfoArquivo {
  std::string Nome;  // file name without folder
  int64_t Tamanho = 0;
  TDateTime Modificado = 0;  // last write, local time
  bool Ligacao = false;      // the entry itself is a reparse point (symbolic link)
};

class IArquivos {
 public:
  virtual ~IArquivos() = default;
  virtual bool ArquivoExiste(const std::string& ACaminho) = 0;
  virtual bool PastaExiste(const std::string& ACaminho) = 0;
  // True when the entry itself is a reparse point (a junction or a symbolic
  // link), looked at without following it; a trailing separator is ignored.
  virtual bool EhLigacao(const std::string& ACaminho) = 0;
  // Creates the folder and its missing parents; true when it exists afterwards.
  virtual bool CriarPastas(const std::string& ACaminho) = 0;
  // Size in bytes, -1 when there is no such file.
  virtual int64_t Tamanho(const std::string& ACaminho) = 0;
  // Last write time in local time; false when it cannot be read.
  virtual bool DataModificacao(const std::string& ACaminho, TDateTime& AData) = 0;
  virtual bool DefinirDataModificacao(const std::string& ACaminho, TDateTime AData) = 0;
  virtual bool Apagar(const std::string& ACaminho) = 0;
  // Fails when the target exists.
  virtual bool Renomear(const std::string& ADe, const std::string& APara) = 0;
  // Replaces the target when it exists (atomic on the same volume).
  virtual bool Substituir(const std::string& ADe, const std::string& APara) = 0;
  virtual bool LimparAtributos(const std::string& ACaminho) = 0;
  // Files (not folders) directly in the folder whose names match the mask
  // ("*", "*.log"); the mask compares without regard to case.
  virtual std::vector<TInfoArquivo> Listar(const std::string& APasta,
                                           const std::string& AMascara) = 0;
  virtual bool LerTudo(const std::string& ACaminho, std::string& ABytes) = 0;
  // Creates or truncates, writes the bytes, closes.
  virtual bool Gravar(const std::string& ACaminho, std::string_view ABytes) = 0;
  // Creates a new file with the bytes; fails when anything is at the path
  // already (a file, a folder, a link even to nothing), so that a link planted
  // there is never written through.
  virtual bool GravarNovo(const std::string& ACaminho, std::string_view ABytes) = 0;
  // Appends, creating the file when missing; others may read it meanwhile but
  // not write it.
  virtual bool Anexar(const std::string& ACaminho, std::string_view ABytes) = 0;
  // As Anexar, unless the file already holds ALimite bytes or more: then
  // nothing is written and Cheio says so. One opening of the file for both.
  enum class TAnexo { Anexado, Cheio, Falhou };
  virtual TAnexo AnexarAbaixoDe(const std::string& ACaminho, std::string_view ABytes,
                                int64_t ALimite) = 0;
  virtual std::string CaminhoExecutavel() = 0;  // full path of the running program
  virtual std::string PastaTemporaria() = 0;    // ends with kSep
  // The employee's own local application data folder (%LOCALAPPDATA%), which
  // other users cannot write; ends with kSep, "" when unknown.
  virtual std::string PastaDadosLocais() = 0;
};

IArquivos& ImplementacaoPadrao(SeamTag<IArquivos>);
inline IArquivos& Arquivos() {
  return Seam<IArquivos>::Atual();
}

// Path helpers (portable string work).
std::string PastaDe(const std::string& ACaminho);      // with trailing kSep, "" when none
std::string NomeDe(const std::string& ACaminho);       // last component
std::string SemExtensao(const std::string& ACaminho);  // drops ".ext" of the last component
std::string ExtensaoDe(const std::string& ACaminho);   // ".ext" or ""
std::string IncluirSeparador(const std::string& APasta);
std::string PastaDoExecutavel();  // with trailing kSep
// File-name mask with "*" and "?", compared without regard to ASCII case.
bool CorrespondeMascara(std::string_view ANome, std::string_view AMascara);

// The first of ABase and the entries below it on the way to ACaminho that is a
// reparse point, ending with ACaminho itself; "" when there is none. A path
// outside ABase is checked entry by entry from its root.
std::string LigacaoNoCaminho(const std::string& ABase, const std::string& ACaminho);

// Writes the bytes to a temporary file beside the target, then renames it over
// the target, so that a crash never leaves half a file behind.
bool GravarAtomico(const std::string& ACaminho, std::string_view ABytes);
// A temporary file name of this process beside the target, on its volume.
std::string TemporarioAoLado(const std::string& ACaminho);
