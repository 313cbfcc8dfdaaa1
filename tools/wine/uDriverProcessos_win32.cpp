// The window driver's programs: starting one with arguments and environment, and its handle.
#include <windows.h>

#include <utility>

#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"
#include "tools/wine/uDriver.h"

namespace {

// Quoting that CommandLineToArgvW and the C runtime read back as the same argument.
void AnexarArgumento(std::wstring& ALinha, const std::wstring& AArg) {
  ALinha += L' ';
  if (!AArg.empty() && AArg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    ALinha += AArg;
    return;
  }
  ALinha += L'"';
  size_t barras = 0;
  for (wchar_t c : AArg) {
    if (c == L'\\') {
      ++barras;
      continue;
    }
    if (c == L'"')
      ALinha.append(barras * 2 + 1, L'\\');
    else
      ALinha.append(barras, L'\\');
    barras = 0;
    ALinha += c;
  }
  ALinha.append(barras * 2, L'\\');
  ALinha += L'"';
}

std::wstring BlocoAmbiente(const std::map<std::string, std::string>& AAmbiente) {
  std::vector<std::wstring> itens;
  if (wchar_t* bloco = GetEnvironmentStringsW()) {
    for (const wchar_t* p = bloco; *p; p += wcslen(p) + 1) {
      const std::wstring item(p);
      const size_t igual = item.find(L'=', 1);  // "=C:=C:\x" keeps its leading "="
      const std::string nome = DeWide(item.substr(0, igual));
      bool trocado = false;
      for (const auto& [n, v] : AAmbiente) trocado = trocado || IgualSemCaixa(n, nome);
      if (!trocado) itens.push_back(item);
    }
    FreeEnvironmentStringsW(bloco);
  }
  for (const auto& [n, v] : AAmbiente) itens.push_back(ParaWide(n + "=" + v));
  std::wstring r;
  for (const std::wstring& i : itens) r += i + L'\0';
  r += L'\0';
  return r;
}

}  // namespace

TProgramaDriver::~TProgramaDriver() {
  if (FHandle) CloseHandle(FHandle);
}

TProgramaDriver::TProgramaDriver(TProgramaDriver&& A) noexcept
    : FHandle(std::exchange(A.FHandle, nullptr)), FId(std::exchange(A.FId, 0)) {}

TProgramaDriver& TProgramaDriver::operator=(TProgramaDriver&& A) noexcept {
  if (this != &A) {
    if (FHandle) CloseHandle(FHandle);
    FHandle = std::exchange(A.FHandle, nullptr);
    FId = std::exchange(A.FId, 0);
  }
  return *this;
}

bool TProgramaDriver::AguardarFim(uint32_t AMs) const {
  return FHandle && WaitForSingleObject(FHandle, AMs) == WAIT_OBJECT_0;
}

bool TProgramaDriver::CodigoSaida(uint32_t& ACodigo) const {
  if (!AguardarFim(0)) return false;
  DWORD c = 0;
  if (!GetExitCodeProcess(FHandle, &c)) return false;
  ACodigo = c;
  return true;
}

void TProgramaDriver::Encerrar(uint32_t ACodigo) {
  if (!FHandle || AguardarFim(0)) return;
  TerminateProcess(FHandle, ACodigo);
  AguardarFim(5000);
}

TProgramaDriver TDriver::Iniciar(const std::string& AExe, const std::vector<std::string>& AArgs,
                                 const std::map<std::string, std::string>& AAmbiente,
                                 const std::string& APasta, int AMostrar) {
  const std::wstring exe = ParaWide(AExe);
  std::wstring linha = L"\"" + exe + L"\"";
  for (const std::string& a : AArgs) AnexarArgumento(linha, ParaWide(a));
  std::wstring ambiente = AAmbiente.empty() ? std::wstring() : BlocoAmbiente(AAmbiente);
  const std::wstring pasta = ParaWide(APasta);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  if (AMostrar >= 0) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(AMostrar);
  }
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), linha.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, ambiente.empty() ? nullptr : ambiente.data(),
                      pasta.empty() ? nullptr : pasta.c_str(), &si, &pi))
    return {};
  CloseHandle(pi.hThread);
  return TProgramaDriver(pi.hProcess, pi.dwProcessId);
}
