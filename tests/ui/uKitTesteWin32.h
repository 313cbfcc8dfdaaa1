// Helpers of the UI kit's Wine tests: waiting in the message loop and scripted actions.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/uKit.h"

namespace testeui {

// Runs the message loop until the condition holds or the time is up.
inline bool Esperar(const std::function<bool()>& ACondicao, DWORD AMs = 3000) {
  const DWORD inicio = GetTickCount();
  while (!ACondicao()) {
    if (GetTickCount() - inicio > AMs) return false;
    ui::app::ProcessarMensagens();
    Sleep(5);
  }
  return true;
}

inline void Bombear(DWORD AMs) {
  const DWORD inicio = GetTickCount();
  while (GetTickCount() - inicio < AMs) {
    ui::app::ProcessarMensagens();
    Sleep(5);
  }
}

// Actions that run later from a timer, also inside a modal loop of the system
// (message boxes, menus) or of the kit: the hand of the employee.
class TRoteiro {
 public:
  void Apos(uint32_t AMs, std::function<void()> AAcao) {
    auto t = std::make_unique<ui::TTemporizador>();
    ui::TTemporizador* p = t.get();
    p->AoDisparar = [p, AAcao] {
      p->DefinirHabilitado(false);
      AAcao();
    };
    p->DefinirIntervalo(AMs);
    p->DefinirHabilitado(true);
    FTimers.push_back(std::move(t));
  }
  // Repeats the action every interval until it returns true.
  void AtePoder(uint32_t AMs, std::function<bool()> AAcao) {
    auto t = std::make_unique<ui::TTemporizador>();
    ui::TTemporizador* p = t.get();
    p->AoDisparar = [p, AAcao] {
      if (AAcao()) p->DefinirHabilitado(false);
    };
    p->DefinirIntervalo(AMs);
    p->DefinirHabilitado(true);
    FTimers.push_back(std::move(t));
  }

 private:
  std::vector<std::unique_ptr<ui::TTemporizador>> FTimers;
};

inline HWND H(const ui::TControle* C) {
  return static_cast<HWND>(C->HandleNativo());
}

// A control's rectangle in the client coordinates of its top-level window.
inline RECT RetanguloNaJanela(const ui::TControle* C) {
  HWND h = H(C);
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(HWND_DESKTOP, GetAncestor(h, GA_ROOT), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A window's rectangle on the screen.
inline RECT Janela(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  return r;
}

inline RECT Cliente(HWND h) {
  RECT r{};
  GetClientRect(h, &r);
  return r;
}

// The primary monitor's work area, in pixels.
inline RECT AreaDeTrabalho() {
  RECT r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

inline bool Dentro(const RECT& AInterno, const RECT& AExterno) {
  return AInterno.left >= AExterno.left && AInterno.top >= AExterno.top &&
         AInterno.right <= AExterno.right && AInterno.bottom <= AExterno.bottom;
}

}  // namespace testeui
