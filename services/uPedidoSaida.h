// The agent's own request to quit (restart, update): once asked, the rest of
// the start-up and of the polling pass stands down, so that nothing starts a
// copy or opens a window while the program is on its way out.
#pragma once

#include <functional>
#include <string>

class TPedidoSaida {
 public:
  // Records the request and asks the application to quit (the action the
  // program set; it takes effect when control returns to the message loop).
  static void Solicitar(const std::string& AMotivo);
  static bool Solicitado();
  // True when a quit was requested: the step named is then skipped, and the
  // first skip after the request is logged.
  static bool Pular(const std::string& AEtapa);
  // How the program quits; unset, a request is only recorded.
  static void DefinirAcao(std::function<void()> AAcao);
  // Back to "not requested" (tests, and a program that starts over).
  static void Reiniciar();

 private:
  static inline bool FSolicitado = false;
  static inline bool FRegistrado = false;
  static inline std::string FMotivo;
  static inline std::function<void()> FAcao;
};
