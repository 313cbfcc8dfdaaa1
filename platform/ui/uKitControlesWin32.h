// The Win32 backend's controls (uKitControles_win32.cpp): finding one by its
// id, the messages children send their parent, the scroll box's bars.
#pragma once

#include "platform/ui/uKitWin32.h"

namespace ui::w32 {

TControle* ControlePorId(UINT AId);
// Messages children send to their parent (commands, notifications, colours, cursor).
bool TratarMensagemDeFilho(HWND AJanela, UINT AMsg, WPARAM AW, LPARAM AL, LRESULT& AResultado);
// The scroll box's own bar messages.
void TratarRolagem(TPeerWin32& APeer, bool AVertical, WORD ACodigo);

}  // namespace ui::w32
