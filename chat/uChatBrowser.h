// The chat window launcher: the intranet chat page in a Chrome or Edge app
// window of its own (own profile, own icon), remembered, raised and ended.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/uJanelasExternas.h"

class TVeskChatBrowser {
 public:
  // A notify event: a callback bound to an object, called with a sender.
  using TEventoNotificacao = std::function<void(void* ASender)>;

  // Raises the running chat window, or launches the browser on AURL (quoted);
  // an address that is not an acceptable http(s) one is logged, not opened.
  static void Abrir(const std::string& AURL);
  // The address built from the token, computer and user; ABaseURL is not used.
  static void Abrir(const std::string& ABaseURL, const std::string& AApiToken,
                    const std::string& APC, const std::string& AUser);
  // Hides the chat window, ends its browser and forgets the launched process.
  static void Fechar();
  static void FecharSeMinimizado();
  static void DefinirOnClosed(TEventoNotificacao AEvent);
  static const TEventoNotificacao& OnClosed();

  // The chat server's base URL, ending in "/": the ChatURL policy when given,
  // else [CHAT] URL of config.ini, when either is an acceptable http(s)
  // address; else the address built into the program (UrlBaseChatConfigurada).
  static std::string UrlBaseChat();
  // The host name of UrlBaseChat, lower-cased.
  static std::string HostChat();
  static std::string MontarUrlChat(const std::string& AToken, const std::string& APC,
                                   const std::string& AUser);
  // The first Chrome or Edge found, "" when there is none.
  static std::string LocalizarNavegador();
  // TEMP (with its separator) + the profile folder name.
  static std::string PastaPerfil();

  static THandleProcesso ProcessoChat();
  static uint32_t ProcessoChatId();

  static constexpr const char* kPastaPerfil = "VeskIntranetChatProfileModernIcon";
  static constexpr int kTentativasJanela = 30;
  static constexpr uint32_t kPausaTentativaMs = 150;

 private:
  static bool ProcessoChatAtivo();
  static bool AtivarJanelaChat();
  static THandleJanela LocalizarJanelaPorProcesso();
  static THandleJanela LocalizarJanelaPorTitulo();
  static void AguardarJanelaChat();
  static void AplicarIconeChat(THandleJanela AJanela);
  static void EncerrarProcessoDaJanela(THandleJanela AJanela);
};
