// The Win32 backend's boxes and menus (uKitCaixas_win32.cpp).
#pragma once

#include <string>

#include "platform/ui/uKitWin32.h"

namespace ui::w32 {

TResposta CaixaMensagemWin32(TJanela* ADono, const std::string& ATexto, const std::string& ATitulo,
                             TTipoCaixa ATipo, TBotoesCaixa ABotoes);
bool CaixaEntradaWin32(const std::string& ATitulo, const std::string& APrompt, std::string& AValor);
void ExibirMenuWin32(TMenuPopup& AMenu, TJanela* ADono, TPonto APosicao);

}  // namespace ui::w32
