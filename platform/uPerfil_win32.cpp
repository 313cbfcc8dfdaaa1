// Profile file (INI) on Windows through the profile API, with UTF-16 names.
#include <windows.h>

#include <vector>

#include "platform/uPerfil.h"
#include "platform/uWin32Texto.h"

namespace {

class TPerfilWin32 final : public IPerfil {
 public:
  std::string LerTexto(const std::string& AArquivo, const std::string& ASecao,
                       const std::string& AChave, const std::string& APadrao) override {
    wchar_t buf[2048] = {};  // 2047 characters and the terminator
    const DWORD n =
        GetPrivateProfileStringW(ParaWide(ASecao).c_str(), ParaWide(AChave).c_str(),
                                 ParaWide(APadrao).c_str(), buf, 2048, ParaWide(AArquivo).c_str());
    return DeWide(std::wstring_view(buf, n));
  }

  bool EscreverTexto(const std::string& AArquivo, const std::string& ASecao,
                     const std::string& AChave, const std::string& AValor) override {
    return WritePrivateProfileStringW(ParaWide(ASecao).c_str(), ParaWide(AChave).c_str(),
                                      ParaWide(AValor).c_str(), ParaWide(AArquivo).c_str()) != 0;
  }

  bool ApagarChave(const std::string& AArquivo, const std::string& ASecao,
                   const std::string& AChave) override {
    // A null value deletes the entry.
    return WritePrivateProfileStringW(ParaWide(ASecao).c_str(), ParaWide(AChave).c_str(), nullptr,
                                      ParaWide(AArquivo).c_str()) != 0;
  }

  std::vector<std::string> Chaves(const std::string& AArquivo, const std::string& ASecao) override {
    // With no key name the API returns the names, each ended by NUL, then a
    // second NUL; a buffer that is too small is reported as size - 2.
    const std::wstring secao = ParaWide(ASecao), arquivo = ParaWide(AArquivo);
    std::vector<wchar_t> buf(16384);
    DWORD n = 0;
    for (;;) {
      n = GetPrivateProfileStringW(secao.c_str(), nullptr, L"", buf.data(),
                                   static_cast<DWORD>(buf.size()), arquivo.c_str());
      if (n + 2 < buf.size() || buf.size() >= (1u << 26)) break;
      buf.assign(buf.size() * 4, L'\0');
    }
    std::vector<std::string> r;
    size_t ini = 0;
    for (size_t i = 0; i < n; ++i) {
      if (buf[i] != L'\0') continue;
      if (i > ini) r.push_back(DeWide(std::wstring_view(buf.data() + ini, i - ini)));
      ini = i + 1;
    }
    if (n > ini) r.push_back(DeWide(std::wstring_view(buf.data() + ini, n - ini)));
    return r;
  }

  bool Estado(const std::string& AArquivo, TEstadoPerfil& AEstado) override {
    AEstado = {};
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!GetFileAttributesExW(ParaWide(AArquivo).c_str(), GetFileExInfoStandard, &d)) {
      const DWORD e = GetLastError();
      // Only a file that is not there is a state; anything else is unknown.
      return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
    }
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return true;  // reads as no file
    auto n64 = [](DWORD AAlto, DWORD ABaixo) {
      return static_cast<int64_t>((static_cast<uint64_t>(AAlto) << 32) | ABaixo);
    };
    AEstado.Existe = true;
    AEstado.Tamanho = n64(d.nFileSizeHigh, d.nFileSizeLow);
    AEstado.Modificado = n64(d.ftLastWriteTime.dwHighDateTime, d.ftLastWriteTime.dwLowDateTime);
    AEstado.Identidade =
        static_cast<uint64_t>(n64(d.ftCreationTime.dwHighDateTime, d.ftCreationTime.dwLowDateTime));
    FILETIME agora{};
    GetSystemTimeAsFileTime(&agora);
    // FAT stamps writes to 2 s; within that a same-size rewrite can hide.
    const int64_t desde = n64(agora.dwHighDateTime, agora.dwLowDateTime) - AEstado.Modificado;
    AEstado.Recente = desde < 3 * 10000000LL;
    return true;
  }

  bool Descarregar(const std::string& AArquivo) override {
    // The documented flush call; its result says nothing about the file.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, ParaWide(AArquivo).c_str());
    return true;
  }
};

}  // namespace

IPerfil& ImplementacaoPadrao(SeamTag<IPerfil>) {
  static TPerfilWin32 p;
  return p;
}
