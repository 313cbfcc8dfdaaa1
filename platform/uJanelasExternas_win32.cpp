// Windows of other programs on Windows: ShellExecuteExW, EnumWindows and the
// window and process calls around them; the notification sound.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <winternl.h>

#include <vector>

#include "platform/uJanelasExternas.h"
#include "platform/uWin32Texto.h"

namespace {

HWND Hwnd(THandleJanela A) {
  return reinterpret_cast<HWND>(A);
}

// NtQueryInformationProcess's class for the command line (Windows 8.1 and later).
constexpr int kProcessCommandLineInformation = 60;
using TNtQuery = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

TNtQuery NtQuery() {
  static const TNtQuery f = reinterpret_cast<TNtQuery>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  return f;
}

bool LinhaPorClasse(HANDLE AProcesso, std::wstring& ALinha) {
  TNtQuery q = NtQuery();
  if (!q) return false;
  ULONG tamanho = 0;
  q(AProcesso, kProcessCommandLineInformation, nullptr, 0, &tamanho);
  if (tamanho < sizeof(UNICODE_STRING) || tamanho > 1 << 20) return false;
  std::vector<unsigned char> buf(tamanho);
  if (q(AProcesso, kProcessCommandLineInformation, buf.data(), tamanho, &tamanho) < 0) return false;
  const auto* u = reinterpret_cast<const UNICODE_STRING*>(buf.data());
  if (!u->Buffer) return false;
  ALinha.assign(u->Buffer, u->Length / sizeof(wchar_t));
  return true;
}

// Older systems: the command line from the process's own parameters block.
bool LinhaPeloPeb(HANDLE AProcesso, std::wstring& ALinha) {
  TNtQuery q = NtQuery();
  if (!q) return false;
  PROCESS_BASIC_INFORMATION pbi{};
  ULONG n = 0;
  if (q(AProcesso, 0 /* ProcessBasicInformation */, &pbi, sizeof(pbi), &n) < 0 ||
      !pbi.PebBaseAddress)
    return false;
  PEB peb{};
  SIZE_T lidos = 0;
  if (!ReadProcessMemory(AProcesso, pbi.PebBaseAddress, &peb, sizeof(peb), &lidos) ||
      !peb.ProcessParameters)
    return false;
  RTL_USER_PROCESS_PARAMETERS par{};
  if (!ReadProcessMemory(AProcesso, peb.ProcessParameters, &par, sizeof(par), &lidos)) return false;
  if (!par.CommandLine.Buffer || par.CommandLine.Length > 65534) return false;
  std::wstring w(par.CommandLine.Length / sizeof(wchar_t), L'\0');
  if (!w.empty() && !ReadProcessMemory(AProcesso, par.CommandLine.Buffer, w.data(),
                                       par.CommandLine.Length, &lidos))
    return false;
  ALinha = w;
  return true;
}

class TJanelasExternasWin32 final : public IJanelasExternas {
 public:
  TLancamento Lancar(const std::string& AArquivo, const std::string& AParametros) override {
    const std::wstring arquivo = ParaWide(AArquivo), parametros = ParaWide(AParametros);
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.hwnd = nullptr;
    sei.lpVerb = L"open";
    sei.lpFile = arquivo.c_str();
    sei.lpParameters = parametros.c_str();
    sei.lpDirectory = nullptr;
    sei.nShow = SW_SHOWNORMAL;
    TLancamento l;
    if (!ShellExecuteExW(&sei)) {
      l.Erro = GetLastError();
      return l;
    }
    l.Sucesso = true;
    l.Processo = reinterpret_cast<THandleProcesso>(sei.hProcess);
    l.Id = sei.hProcess ? GetProcessId(sei.hProcess) : 0;
    return l;
  }

  TResultadoEspera Aguardar(THandleProcesso P, uint32_t AMs) override {
    switch (WaitForSingleObject(reinterpret_cast<HANDLE>(P), AMs)) {
      case WAIT_OBJECT_0:
        return TResultadoEspera::Terminou;
      case WAIT_TIMEOUT:
        return TResultadoEspera::TempoEsgotado;
      default:
        return TResultadoEspera::Falha;
    }
  }

  void Terminar(THandleProcesso P) override { TerminateProcess(reinterpret_cast<HANDLE>(P), 0); }
  void FecharHandle(THandleProcesso P) override {
    if (P) CloseHandle(reinterpret_cast<HANDLE>(P));
  }

  bool TerminarProcesso(uint32_t AId) override {
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, AId);
    if (!h) return false;
    TerminateProcess(h, 0);
    CloseHandle(h);
    return true;
  }

  bool LinhaDeComando(uint32_t AId, std::string& ALinha) override {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, AId);
    std::wstring w;
    bool ok = h && LinhaPorClasse(h, w);
    if (h) CloseHandle(h);
    if (!ok) {
      h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, AId);
      ok = h && LinhaPeloPeb(h, w);
      if (h) CloseHandle(h);
    }
    if (ok) ALinha = DeWide(w);
    return ok;
  }

  std::vector<TJanelaExterna> Janelas() override {
    std::vector<TJanelaExterna> v;
    EnumWindows(
        [](HWND h, LPARAM l) -> BOOL {
          TJanelaExterna j;
          j.Janela = reinterpret_cast<THandleJanela>(h);
          DWORD pid = 0;
          GetWindowThreadProcessId(h, &pid);
          j.Processo = pid;
          j.Visivel = IsWindowVisible(h) != 0;
          j.TemDono = GetWindow(h, GW_OWNER) != nullptr;
          wchar_t titulo[256] = {};
          const int n = GetWindowTextW(h, titulo, 256);
          j.Titulo = DeWide(std::wstring(titulo, n > 0 ? static_cast<size_t>(n) : 0));
          reinterpret_cast<std::vector<TJanelaExterna>*>(l)->push_back(std::move(j));
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&v));
    return v;
  }

  bool Minimizada(THandleJanela J) override { return IsIconic(Hwnd(J)) != 0; }
  void Mostrar(THandleJanela J, int AComando) override { ShowWindow(Hwnd(J), AComando); }

  void TrazerParaFrente(THandleJanela J) override {
    SetWindowPos(Hwnd(J), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(Hwnd(J));
  }

  void AplicarIcone(THandleJanela J, const std::string& AArquivoIco) override {
    const std::wstring f = ParaWide(AArquivoIco);
    // The handles stay loaded: the window class keeps using them.
    HANDLE grande = LoadImageW(nullptr, f.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE);
    HANDLE pequeno = LoadImageW(nullptr, f.c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE);
    if (grande) SetClassLongPtrW(Hwnd(J), GCLP_HICON, reinterpret_cast<LONG_PTR>(grande));
    if (pequeno) SetClassLongPtrW(Hwnd(J), GCLP_HICONSM, reinterpret_cast<LONG_PTR>(pequeno));
    SetWindowPos(Hwnd(J), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  }
};

}  // namespace

IJanelasExternas& ImplementacaoPadrao(SeamTag<IJanelasExternas>) {
  static TJanelasExternasWin32 j;
  return j;
}

namespace {
LONG GSons = 0;
}

void TocarSomNotificacao() {
  InterlockedIncrement(&GSons);
  PlaySoundW(L"SystemNotification", nullptr, SND_ALIAS | SND_ASYNC);
  MessageBeep(MB_OK);
}

int SonsNotificacaoTocados() {
  return static_cast<int>(InterlockedCompareExchange(&GSons, 0, 0));
}
