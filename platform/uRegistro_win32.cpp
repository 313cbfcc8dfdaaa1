// Registry on Windows: string values of HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <vector>

#include "platform/uRegistro.h"
#include "platform/uWin32Texto.h"

namespace {

// RegCreateKeyExW and RegOpenKeyExW refuse a subkey that starts with "\".
std::wstring Subchave(const std::string& ASubchave) {
  size_t i = 0;
  while (i < ASubchave.size() && ASubchave[i] == '\\') ++i;
  return ParaWide(std::string_view(ASubchave).substr(i));
}

class TChaveAberta {
 public:
  TChaveAberta() = default;
  ~TChaveAberta() {
    if (FChave) RegCloseKey(FChave);
  }
  TChaveAberta(const TChaveAberta&) = delete;
  TChaveAberta& operator=(const TChaveAberta&) = delete;
  HKEY* Endereco() { return &FChave; }
  HKEY Chave() const { return FChave; }

 private:
  HKEY FChave = nullptr;
};

bool LerTexto(HKEY ARaiz, const std::string& ASubchave, const std::string& ANome, REGSAM AAcesso,
              std::string& AValor) {
  TChaveAberta chave;
  if (RegOpenKeyExW(ARaiz, Subchave(ASubchave).c_str(), 0, AAcesso, chave.Endereco()) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring nome = ParaWide(ANome);
  DWORD tipo = 0, bytes = 0;
  if (RegQueryValueExW(chave.Chave(), nome.c_str(), nullptr, &tipo, nullptr, &bytes) !=
      ERROR_SUCCESS)
    return false;
  if (tipo != REG_SZ && tipo != REG_EXPAND_SZ) return false;
  std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD tamanho = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
  if (RegQueryValueExW(chave.Chave(), nome.c_str(), nullptr, &tipo,
                       reinterpret_cast<BYTE*>(buf.data()), &tamanho) != ERROR_SUCCESS)
    return false;
  // The stored data may or may not carry its terminating zero.
  size_t n = tamanho / sizeof(wchar_t);
  while (n > 0 && buf[n - 1] == L'\0') --n;
  AValor = DeWide(std::wstring_view(buf.data(), n));
  return true;
}

class TRegistroWin32 final : public IRegistro {
 public:
  bool GravarTextoUsuario(const std::string& ASubchave, const std::string& ANome,
                          const std::string& AValor) override {
    TChaveAberta chave;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Subchave(ASubchave).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, chave.Endereco(),
                        nullptr) != ERROR_SUCCESS)
      return false;
    const std::wstring nome = ParaWide(ANome);
    const std::wstring valor = ParaWide(AValor);
    const DWORD bytes = static_cast<DWORD>((valor.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(chave.Chave(), nome.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(valor.c_str()), bytes) == ERROR_SUCCESS;
  }

  bool LerTextoUsuario(const std::string& ASubchave, const std::string& ANome,
                       std::string& AValor) override {
    return LerTexto(HKEY_CURRENT_USER, ASubchave, ANome, KEY_READ, AValor);
  }

  bool ApagarValorUsuario(const std::string& ASubchave, const std::string& ANome) override {
    TChaveAberta chave;
    const LONG r = RegOpenKeyExW(HKEY_CURRENT_USER, Subchave(ASubchave).c_str(), 0, KEY_SET_VALUE,
                                 chave.Endereco());
    if (r == ERROR_FILE_NOT_FOUND) return true;
    if (r != ERROR_SUCCESS) return false;
    const LONG d = RegDeleteValueW(chave.Chave(), ParaWide(ANome).c_str());
    return d == ERROR_SUCCESS || d == ERROR_FILE_NOT_FOUND;
  }

  bool LerTextoMaquina(const std::string& ASubchave, const std::string& ANome,
                       std::string& AValor) override {
    return LerTexto(HKEY_LOCAL_MACHINE, ASubchave, ANome, KEY_READ, AValor);
  }
};

}  // namespace

IRegistro& ImplementacaoPadrao(SeamTag<IRegistro>) {
  static TRegistroWin32 r;
  return r;
}
