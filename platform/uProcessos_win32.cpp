// Processes on Windows: Toolhelp snapshots, process handles, CreateProcessW, a named mutex.
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "platform/uProcessos.h"
#include "platform/uWin32Texto.h"

static_assert(kCodigoAindaAtivo == STILL_ACTIVE, "the portable name must be the system's code");

namespace {

// Owns a HANDLE; NULL and INVALID_HANDLE_VALUE both count as empty.
class THandle {
 public:
  explicit THandle(HANDLE AH = nullptr) : FH(AH) {}
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

std::wstring CaminhoDoProcesso(HANDLE AProcesso) {
  std::vector<wchar_t> buf(1024);
  for (int tentativa = 0; tentativa < 4; ++tentativa) {
    DWORD n = static_cast<DWORD>(buf.size());
    if (QueryFullProcessImageNameW(AProcesso, 0, buf.data(), &n))
      return std::wstring(buf.data(), n);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    buf.resize(buf.size() * 4);
  }
  return {};
}

// Full, long form of a path so that "C:\PROGRA~1\x.exe" and "c:\Program Files\x.exe" compare equal.
std::wstring Normalizar(const std::wstring& ACaminho) {
  std::wstring r = ACaminho;
  DWORD n = GetFullPathNameW(r.c_str(), 0, nullptr, nullptr);
  if (n > 0) {
    std::vector<wchar_t> buf(n + 1);
    n = GetFullPathNameW(r.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    if (n > 0 && n < buf.size()) r.assign(buf.data(), n);
  }
  n = GetLongPathNameW(r.c_str(), nullptr, 0);
  if (n > 0) {
    std::vector<wchar_t> buf(n + 1);
    n = GetLongPathNameW(r.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n > 0 && n < buf.size()) r.assign(buf.data(), n);
  }
  return r;
}

bool MesmoCaminho(const std::wstring& A, const std::wstring& B) {
  return CompareStringOrdinal(A.c_str(), static_cast<int>(A.size()), B.c_str(),
                              static_cast<int>(B.size()), TRUE) == CSTR_EQUAL;
}

// The creation time in 100 ns units since 1601; 0 when it cannot be read. It is
// still there while a handle to an ended process stays open.
uint64_t Criacao(HANDLE AProcesso) {
  FILETIME criacao{}, fim{}, nucleo{}, usuario{};
  if (!GetProcessTimes(AProcesso, &criacao, &fim, &nucleo, &usuario)) return 0;
  return (static_cast<uint64_t>(criacao.dwHighDateTime) << 32) | criacao.dwLowDateTime;
}

class TProcessosWin32 final : public IProcessos {
 public:
  std::vector<uint32_t> ProcessosDoExecutavel(const std::string& ACaminho) override {
    std::vector<uint32_t> ids;
    const std::wstring alvo = Normalizar(ParaWide(ACaminho));
    THandle foto(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!foto.Valido()) return ids;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof(e);
    const DWORD eu = GetCurrentProcessId();
    for (BOOL ok = Process32FirstW(foto.Get(), &e); ok; ok = Process32NextW(foto.Get(), &e)) {
      if (e.th32ProcessID == 0 || e.th32ProcessID == eu) continue;
      THandle p(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID));
      if (!p.Valido()) continue;
      const std::wstring caminho = CaminhoDoProcesso(p.Get());
      if (!caminho.empty() &&
          (MesmoCaminho(caminho, alvo) || MesmoCaminho(Normalizar(caminho), alvo)))
        ids.push_back(e.th32ProcessID);
    }
    return ids;
  }

  THandleProcesso Abrir(uint32_t AId) override {
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, AId);
    return reinterpret_cast<THandleProcesso>(h);
  }

  TResultadoEspera Aguardar(THandleProcesso AProcesso, uint32_t AMilissegundos) override {
    const DWORD r =
        WaitForSingleObject(reinterpret_cast<HANDLE>(AProcesso),
                            AMilissegundos == kEsperaInfinita ? INFINITE : AMilissegundos);
    if (r == WAIT_OBJECT_0) return TResultadoEspera::Terminou;
    if (r == WAIT_TIMEOUT) return TResultadoEspera::TempoEsgotado;
    return TResultadoEspera::Falha;
  }

  bool CodigoSaida(THandleProcesso AProcesso, uint32_t& ACodigo) override {
    DWORD c = 0;
    if (!GetExitCodeProcess(reinterpret_cast<HANDLE>(AProcesso), &c)) return false;
    ACodigo = c;
    return true;
  }

  void Fechar(THandleProcesso AProcesso) override {
    if (AProcesso != 0) CloseHandle(reinterpret_cast<HANDLE>(AProcesso));
  }

  uint32_t IdDoProcesso(THandleProcesso AProcesso) override {
    return AProcesso == 0 ? 0 : GetProcessId(reinterpret_cast<HANDLE>(AProcesso));
  }

  uint64_t HoraInicio(THandleProcesso AProcesso) override {
    return AProcesso == 0 ? 0 : Criacao(reinterpret_cast<HANDLE>(AProcesso));
  }

  uint64_t HoraInicioPropria() override { return Criacao(GetCurrentProcess()); }

  THandleProcesso Iniciar(const std::string& ACaminho) override {
    const std::wstring exe = ParaWide(ACaminho);
    std::wstring linha = L"\"" + exe + L"\"";
    std::wstring pasta = exe;
    const size_t barra = pasta.find_last_of(L"\\/");
    pasta = barra == std::wstring::npos ? std::wstring() : pasta.substr(0, barra + 1);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), linha.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        pasta.empty() ? nullptr : pasta.c_str(), &si, &pi))
      return 0;
    CloseHandle(pi.hThread);
    return reinterpret_cast<THandleProcesso>(pi.hProcess);
  }

  TInstanciaUnica AdquirirInstanciaUnica(const std::string& ANome) override {
    HANDLE m = CreateMutexW(nullptr, FALSE, ParaWide(ANome).c_str());
    if (!m) return TInstanciaUnica::Falha;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(m);
      return TInstanciaUnica::JaExiste;
    }
    // Kept open on purpose: the system releases it when this process ends.
    FMutex = m;
    return TInstanciaUnica::Primeira;
  }

  std::string CaminhoExecutavel() override {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
      const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
      if (n == 0) return {};
      if (n < buf.size()) return DeWide(std::wstring(buf.data(), n));
      buf.resize(buf.size() * 2);
    }
  }

  std::vector<std::string> Argumentos() override {
    std::vector<std::string> r;
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!argv) return r;
    for (int i = 1; i < n; ++i) r.push_back(DeWide(argv[i]));
    LocalFree(argv);
    return r;
  }

  bool ArquivoExiste(const std::string& ACaminho) override {
    const DWORD a = GetFileAttributesW(ParaWide(ACaminho).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }

 private:
  HANDLE FMutex = nullptr;
};

}  // namespace

IProcessos& ImplementacaoPadrao(SeamTag<IProcessos>) {
  static TProcessosWin32 p;
  return p;
}
