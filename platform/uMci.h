// Multimedia command concern (mciSendStringW). POSIX has no such device: a
// recorder answers with scripted replies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/uSeam.h"

class IMci {
 public:
  virtual ~IMci() = default;
  // Sends the command; with AResposta, a reply buffer of ACapacidade characters
  // is given and its text returned there. The result is the MCI error code
  // (0 is success).
  virtual uint32_t Enviar(const std::string& AComando, std::string* AResposta = nullptr,
                          size_t ACapacidade = 0) = 0;
};

IMci& ImplementacaoPadrao(SeamTag<IMci>);
inline IMci& Mci() {
  return Seam<IMci>::Atual();
}

struct TComandoMci {
  std::string Comando;
  size_t Capacidade = 0;  // reply buffer given, 0 for none
  uint32_t Resultado = 0;
  std::string Resposta;
};

// Records every command. It answers through Responder when set, else through
// Destino (a real device, so that a test can watch the real concern), else
// with success and an empty reply.
class TMciGravador : public IMci {
 public:
  uint32_t Enviar(const std::string& AComando, std::string* AResposta,
                  size_t ACapacidade) override {
    TComandoMci c{AComando, AResposta ? ACapacidade : 0, 0, {}};
    if (Responder)
      c.Resultado = Responder(AComando, c.Resposta);
    else if (Destino)
      c.Resultado = Destino->Enviar(AComando, AResposta ? &c.Resposta : nullptr, ACapacidade);
    if (AResposta) *AResposta = c.Resposta;
    Comandos.push_back(c);
    return c.Resultado;
  }
  // Only the command texts, in order.
  std::vector<std::string> Textos() const {
    std::vector<std::string> t;
    for (const auto& c : Comandos) t.push_back(c.Comando);
    return t;
  }
  std::function<uint32_t(const std::string& AComando, std::string& AResposta)> Responder;
  IMci* Destino = nullptr;
  std::vector<TComandoMci> Comandos;
};
