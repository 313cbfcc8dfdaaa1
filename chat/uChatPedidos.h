// The chat's requests, off the user-interface thread: the chat server is
// another host, polled every 3 seconds, and a slow or silent one must never
// freeze the agent's windows. One request runs at a time on a worker thread;
// its outcome is applied on the UI thread, in the order the requests were made.
#pragma once

#include <functional>
#include <string>

class TPedidosChat {
 public:
  struct TResultado {
    bool Ok = false;
    std::string Corpo;     // the reply body (Ok)
    std::string Mensagem;  // the error's message (not Ok)
  };
  using TAoConcluir = std::function<void(const TResultado& AResultado)>;

  // Queues a GET (THttpNet::GetText); AAoConcluir runs on the UI thread with
  // its outcome. The worker touches no window and no configuration file.
  static void Enfileirar(const std::string& AURL, TAoConcluir AAoConcluir);
  // A request is running or waiting.
  static bool Ocupado();
};
