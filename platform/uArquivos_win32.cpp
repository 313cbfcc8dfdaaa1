// Files and folders on Windows, with UTF-16 paths.
#include <windows.h>
// windows.h first: the shell's header needs its types.
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>

#include "platform/uArquivos.h"
#include "platform/uWin32Texto.h"

namespace {

// Closes the handle on every way out; INVALID_HANDLE_VALUE and NULL are empty.
class THandle {
 public:
  explicit THandle(HANDLE AH) : FH(AH) {}
  ~THandle() {
    if (Valido()) CloseHandle(FH);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  bool Valido() const { return FH != nullptr && FH != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return FH; }

 private:
  HANDLE FH;
};

TDateTime ParaDataHora(const FILETIME& AUtc) {
  SYSTEMTIME utc{}, local{};
  if (!FileTimeToSystemTime(&AUtc, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return 0;
  TPartesDataHora p;
  p.Ano = local.wYear;
  p.Mes = local.wMonth;
  p.Dia = local.wDay;
  p.Hora = local.wHour;
  p.Minuto = local.wMinute;
  p.Segundo = local.wSecond;
  p.Milissegundo = local.wMilliseconds;
  return CodificarDataHora(p);
}

bool DeDataHora(TDateTime AData, FILETIME& AUtc) {
  const TPartesDataHora p = DecodificarDataHora(AData);
  SYSTEMTIME local{}, utc{};
  local.wYear = static_cast<WORD>(p.Ano);
  local.wMonth = static_cast<WORD>(p.Mes);
  local.wDay = static_cast<WORD>(p.Dia);
  local.wHour = static_cast<WORD>(p.Hora);
  local.wMinute = static_cast<WORD>(p.Minuto);
  local.wSecond = static_cast<WORD>(p.Segundo);
  local.wMilliseconds = static_cast<WORD>(p.Milissegundo);
  return TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) &&
         SystemTimeToFileTime(&utc, &AUtc);
}

bool EscreverTudo(HANDLE AH, std::string_view ABytes) {
  size_t feito = 0;
  while (feito < ABytes.size()) {
    const DWORD parte = static_cast<DWORD>(std::min<size_t>(ABytes.size() - feito, 1u << 30));
    DWORD escrito = 0;
    if (!WriteFile(AH, ABytes.data() + feito, parte, &escrito, nullptr) || escrito == 0)
      return false;
    feito += escrito;
  }
  return true;
}

class TArquivosWin32 final : public IArquivos {
 public:
  bool ArquivoExiste(const std::string& ACaminho) override {
    const DWORD a = GetFileAttributesW(ParaWide(ACaminho).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool PastaExiste(const std::string& ACaminho) override {
    const DWORD a = GetFileAttributesW(ParaWide(ACaminho).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool EhLigacao(const std::string& ACaminho) override {
    // The attributes of the entry itself: a junction or a symbolic link is not
    // followed by GetFileAttributesW.
    std::string c = ACaminho;
    while (c.size() > 3 && (c.back() == '\\' || c.back() == '/')) c.pop_back();
    const DWORD a = GetFileAttributesW(ParaWide(c).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
  }
  bool CriarPastas(const std::string& ACaminho) override {
    if (ACaminho.empty()) return false;
    // The usual case: one look instead of a creation per level.
    if (PastaExiste(ACaminho)) return true;
    std::string parcial;
    for (size_t i = 0; i < ACaminho.size(); ++i) {
      const char c = ACaminho[i];
      parcial += c;
      const bool fim = i + 1 == ACaminho.size();
      // Skip the drive ("C:\") and the server part of a UNC path.
      if ((c == '\\' || c == '/' || fim) && parcial.size() > 3 && parcial.rfind("\\\\", 0) != 0)
        CreateDirectoryW(ParaWide(parcial).c_str(), nullptr);
    }
    return PastaExiste(ACaminho);
  }
  int64_t Tamanho(const std::string& ACaminho) override {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!GetFileAttributesExW(ParaWide(ACaminho).c_str(), GetFileExInfoStandard, &d) ||
        (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return -1;
    return (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  }
  bool DataModificacao(const std::string& ACaminho, TDateTime& AData) override {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!GetFileAttributesExW(ParaWide(ACaminho).c_str(), GetFileExInfoStandard, &d)) return false;
    AData = ParaDataHora(d.ftLastWriteTime);
    return true;
  }
  bool DefinirDataModificacao(const std::string& ACaminho, TDateTime AData) override {
    FILETIME ft{};
    if (!DeDataHora(AData, ft)) return false;
    THandle h(CreateFileW(ParaWide(ACaminho).c_str(), FILE_WRITE_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.Valido() && SetFileTime(h.Get(), nullptr, nullptr, &ft);
  }
  bool Apagar(const std::string& ACaminho) override {
    return DeleteFileW(ParaWide(ACaminho).c_str()) != 0;
  }
  bool Renomear(const std::string& ADe, const std::string& APara) override {
    return MoveFileExW(ParaWide(ADe).c_str(), ParaWide(APara).c_str(), 0) != 0;
  }
  bool Substituir(const std::string& ADe, const std::string& APara) override {
    return MoveFileExW(ParaWide(ADe).c_str(), ParaWide(APara).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  bool LimparAtributos(const std::string& ACaminho) override {
    return SetFileAttributesW(ParaWide(ACaminho).c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
  }
  std::vector<TInfoArquivo> Listar(const std::string& APasta,
                                   const std::string& AMascara) override {
    // Our own mask match: FindFirstFileW would also match the 8.3 short names.
    std::vector<TInfoArquivo> r;
    WIN32_FIND_DATAW d{};
    const std::wstring padrao = ParaWide(IncluirSeparador(APasta) + "*");
    HANDLE h = FindFirstFileW(padrao.c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return r;
    do {
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const std::string nome = DeWide(d.cFileName);
      if (!CorrespondeMascara(nome, AMascara)) continue;
      r.push_back({nome, (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow,
                   ParaDataHora(d.ftLastWriteTime),
                   (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileW(h, &d));
    FindClose(h);
    return r;
  }
  bool LerTudo(const std::string& ACaminho, std::string& ABytes) override {
    THandle h(CreateFileW(ParaWide(ACaminho).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valido()) return false;
    std::string out;
    char buf[65536];
    for (;;) {
      DWORD lido = 0;
      if (!ReadFile(h.Get(), buf, sizeof buf, &lido, nullptr)) return false;
      if (lido == 0) break;
      out.append(buf, lido);
    }
    ABytes = std::move(out);
    return true;
  }
  bool Gravar(const std::string& ACaminho, std::string_view ABytes) override {
    THandle h(CreateFileW(ParaWide(ACaminho).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valido()) return false;
    return EscreverTudo(h.Get(), ABytes) && FlushFileBuffers(h.Get());
  }
  bool GravarNovo(const std::string& ACaminho, std::string_view ABytes) override {
    // CREATE_NEW refuses an existing entry; FILE_FLAG_OPEN_REPARSE_POINT keeps
    // a link from being resolved should one appear at the path.
    const std::wstring w = ParaWide(ACaminho);
    bool ok = false;
    {
      THandle h(CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      if (!h.Valido()) return false;
      ok = EscreverTudo(h.Get(), ABytes) && FlushFileBuffers(h.Get());
    }
    if (!ok) DeleteFileW(w.c_str());
    return ok;
  }
  bool Anexar(const std::string& ACaminho, std::string_view ABytes) override {
    // FILE_SHARE_READ only: a file that another writer holds open refuses us.
    THandle h(CreateFileW(ParaWide(ACaminho).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valido()) return false;
    return EscreverTudo(h.Get(), ABytes);
  }
  TAnexo AnexarAbaixoDe(const std::string& ACaminho, std::string_view ABytes,
                        int64_t ALimite) override {
    // The size comes from the handle (which may read attributes for it).
    THandle h(CreateFileW(ParaWide(ACaminho).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valido()) return TAnexo::Falhou;
    LARGE_INTEGER tamanho{};
    if (!GetFileSizeEx(h.Get(), &tamanho)) return TAnexo::Falhou;
    if (tamanho.QuadPart >= ALimite) return TAnexo::Cheio;
    return EscreverTudo(h.Get(), ABytes) ? TAnexo::Anexado : TAnexo::Falhou;
  }
  std::string CaminhoExecutavel() override {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
      if (n == 0) return {};
      if (n < buf.size()) return DeWide(std::wstring_view(buf.data(), n));
      buf.resize(buf.size() * 2);
    }
  }
  std::string PastaTemporaria() override {
    wchar_t buf[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH + 1) return "C:\\Windows\\Temp\\";
    return IncluirSeparador(DeWide(std::wstring_view(buf, n)));
  }
  std::string PastaDadosLocais() override {
    PWSTR p = nullptr;
    std::string r;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &p)) && p)
      r = IncluirSeparador(DeWide(p));
    CoTaskMemFree(p);
    return r;
  }
};

}  // namespace

IArquivos& ImplementacaoPadrao(SeamTag<IArquivos>) {
  static TArquivosWin32 a;
  return a;
}
