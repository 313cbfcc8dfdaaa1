// Windows and processes of other programs (the chat's browser): starting a
// program and keeping its process, the top-level windows of the desktop, and
// showing, raising, hiding, giving an icon and ending them. POSIX has no such
// windows: it starts nothing and sees no window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uProcessos.h"
#include "platform/uSeam.h"

using THandleJanela = intptr_t;  // an HWND on Windows; 0 is none

enum : int { kSwRestaurar = 9 };  // SW_RESTORE (kSwHide, kSwShowNormal: uShell.h)

// One top-level window as EnumWindows gives it, with what is asked about it.
struct TJanelaExterna {
  THandleJanela Janela = 0;
  uint32_t Processo = 0;  // GetWindowThreadProcessId
  bool Visivel = false;   // IsWindowVisible
  bool TemDono = false;   // GetWindow(GW_OWNER) is not null
  std::string Titulo;     // GetWindowTextW into 256 characters
};

struct TLancamento {
  bool Sucesso = false;
  THandleProcesso Processo = 0;  // may be 0 on success (no process came back)
  uint32_t Id = 0;               // GetProcessId of the handle, 0 without one
  uint32_t Erro = 0;             // GetLastError on failure
};

class IJanelasExternas {
 public:
  virtual ~IJanelasExternas() = default;
  // ShellExecuteExW: SEE_MASK_NOCLOSEPROCESS, no owner, verb "open", no
  // working folder, SW_SHOWNORMAL.
  virtual TLancamento Lancar(const std::string& AArquivo, const std::string& AParametros) = 0;
  // WaitForSingleObject on the process.
  virtual TResultadoEspera Aguardar(THandleProcesso AProcesso, uint32_t AMilissegundos) = 0;
  virtual void Terminar(THandleProcesso AProcesso) = 0;  // TerminateProcess, exit code 0
  virtual void FecharHandle(THandleProcesso AProcesso) = 0;
  // OpenProcess(PROCESS_TERMINATE), TerminateProcess with 0, CloseHandle;
  // false when the process could not be opened.
  virtual bool TerminarProcesso(uint32_t AId) = 0;
  // The command line the process was started with; false when it cannot be read.
  virtual bool LinhaDeComando(uint32_t AId, std::string& ALinha) = 0;
  // The top-level windows, front to back.
  virtual std::vector<TJanelaExterna> Janelas() = 0;
  virtual bool Minimizada(THandleJanela AJanela) = 0;             // IsIconic
  virtual void Mostrar(THandleJanela AJanela, int AComando) = 0;  // ShowWindow
  // SetWindowPos(HWND_TOP, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW), then
  // SetForegroundWindow.
  virtual void TrazerParaFrente(THandleJanela AJanela) = 0;
  // The icon file loaded at 32 and 16 pixels as the window class's big and
  // small icons, and the frame redrawn. Nothing when neither size loads.
  virtual void AplicarIcone(THandleJanela AJanela, const std::string& AArquivoIco) = 0;
};

IJanelasExternas& ImplementacaoPadrao(SeamTag<IJanelasExternas>);
inline IJanelasExternas& JanelasExternas() {
  return Seam<IJanelasExternas>::Atual();
}

// The notification sound of a new message: PlaySoundW("SystemNotification",
// SND_ALIAS | SND_ASYNC), then MessageBeep(MB_OK); the calls are counted.
void TocarSomNotificacao();
int SonsNotificacaoTocados();
