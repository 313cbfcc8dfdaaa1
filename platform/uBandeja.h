// Notification-area icon concern (Shell_NotifyIconW). POSIX records the calls.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/uSeam.h"

enum class TAcaoIcone { Adicionar, Modificar, Remover };  // NIM_ADD, NIM_MODIFY, NIM_DELETE

// The members of NOTIFYICONDATAW that the agent sets; the rest stays zero.
struct TDadosIcone {
  uint32_t cbSize = 0;
  void* hWnd = nullptr;
  uint32_t uID = 0;
  uint32_t uFlags = 0;
  uint32_t uCallbackMessage = 0;
  void* hIcon = nullptr;
};

class IBandeja {
 public:
  virtual ~IBandeja() = default;
  virtual bool Notificar(TAcaoIcone AAcao, const TDadosIcone& ADados) = 0;
  // sizeof(NOTIFYICONDATAW) of this build (956 on 32-bit Windows).
  virtual uint32_t TamanhoEstrutura() = 0;
  // The application's icon, or the system's default application icon.
  virtual void* IconeAplicacao() = 0;
};

IBandeja& ImplementacaoPadrao(SeamTag<IBandeja>);
inline IBandeja& Bandeja() {
  return Seam<IBandeja>::Atual();
}

// Records every call and answers with a fixed result: the POSIX default and a
// test double on Windows.
class TBandejaGravador : public IBandeja {
 public:
  struct TChamada {
    TAcaoIcone Acao;
    TDadosIcone Dados;
  };
  bool Notificar(TAcaoIcone AAcao, const TDadosIcone& ADados) override {
    Chamadas.push_back({AAcao, ADados});
    return Resultado;
  }
  uint32_t TamanhoEstrutura() override { return Tamanho; }
  void* IconeAplicacao() override { return Icone; }
  std::vector<TChamada> Chamadas;
  bool Resultado = true;
  uint32_t Tamanho = 956;
  void* Icone = reinterpret_cast<void*>(uintptr_t{0x1C0});
};

inline constexpr uint32_t kNifMessage = 1, kNifIcon = 2;
inline constexpr uint32_t kWmUser = 0x0400;
inline constexpr uint32_t kWmLButtonDblClk = 515, kWmRButtonUp = 517;
