// Fixture of the chat tests: the development server for the chat, a base
// folder with config.ini pointing the chat at it, a settable clock, fixed
// system facts, a fake desktop of windows and processes and a recording shell.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "platform/uShell.h"
#include "platform/ui/uKitHeadless.h"
#include "tests/chat/uJanelasFalsas.h"
#include "tests/net/uAmbienteHttp.h"

class ChatTeste : public TAmbienteHttp {
 protected:
  static constexpr const char* kToken = "tok-chat-1234567890";

  void SetUp() override;
  void TearDown() override;

  std::string UrlChat() const { return Url("chat/"); }
  // The chat's scenario (POST /admin/scenario merge of "chat").
  void DefinirChat(int AUnread, const std::string& ARemetente, const std::string& APreview);
  // The chat endpoint answers this literal body.
  void RespostaChat(const std::string& AEndpoint, const std::string& ACorpo);
  // Requests the server recorded for a chat endpoint, as their raw query.
  std::vector<std::string> Consultas(const std::string& AEndpoint);
  // A browser file where LocalizarNavegador looks (ProgramFiles, ...).
  std::string CriarNavegador(const std::string& AVariavel, bool AChrome);
  // Log lines since the test began that start with the prefix.
  std::vector<std::string> LinhasCom(const std::string& APrefixo) const;

  TSistemaFalso FSistema;
  TJanelasFalsas FJanelas;
  TShellGravador FShell;

 private:
  std::unique_ptr<SubstituirConcern<ISistema>> FTrocaSistema;
  std::unique_ptr<SubstituirConcern<IJanelasExternas>> FTrocaJanelas;
  std::unique_ptr<SubstituirConcern<IShell>> FTrocaShell;
  std::unique_ptr<TPastaTemporaria> FProgramas;
};
