// Fixture of the chat bubble's Wine tests: the development server for the
// chat, the bubble ended after each test once its requests are done, and the
// chat's scenario set on the server.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "chat/uChatFloat.h"
#include "chat/uChatPedidos.h"
#include "config/uConfigINI.h"
#include "platform/ui/uKit.h"
#include "tests/net/uAmbienteHttp.h"
#include "tests/ui/uKitTesteWin32.h"

// Waits in the message loop until the chat's requests are done.
inline bool AguardarPedidos(DWORD AMs = 15000) {
  return testeui::Esperar([] { return !TPedidosChat::Ocupado(); }, AMs);
}

class BolhaTesteWin32 : public TAmbienteHttp {
 protected:
  static constexpr const char* kToken = "tok-teste-1234567890";
  void SetUp() override {
    ASSERT_FALSE(EnderecoDevServer().empty()) << "VESK_DEVSERVER not set";
    TAmbienteHttp::SetUp();
    if (HasFatalFailure()) return;
    ui::app::DefinirTitulo("Zelvan");
    TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", kToken);
    TConfigINI::EscreverTexto("CHAT", "URL", Url("chat/"));
    Admin("admin/reset");
  }
  void TearDown() override {
    AguardarPedidos();
    TVeskChatFloat::Finalizar();
    TAmbienteHttp::TearDown();
  }
  // The bubble started with no unread messages, its first requests done.
  void IniciarBolha(TFrmChatFloat*& ABolha) {
    Chat(0, "", "");
    TVeskChatFloat::Iniciar();
    ASSERT_TRUE(AguardarPedidos());
    ABolha = TVeskChatFloat::Bolha();
    ASSERT_NE(ABolha, nullptr);
  }
  // The server's unread count, sender and preview for the chat.
  void Chat(int AUnread, const std::string& ARemetente, const std::string& APreview) {
    std::string c = Admin("admin/scenario");
    const size_t i = c.find("\"chat\"");
    ASSERT_NE(i, std::string::npos);
    const size_t f = c.find('}', i);
    c = c.substr(0, i) + "\"chat\":{\"unread\":" + std::to_string(AUnread) +
        ",\"remetente_nome\":\"" + ARemetente + "\",\"preview\":\"" + APreview + "\"" + c.substr(f);
    Admin("admin/scenario", c);
  }
};
