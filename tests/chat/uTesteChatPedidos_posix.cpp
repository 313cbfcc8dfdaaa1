// The chat's request queue: one request in flight, each sent and handled once,
// whatever a handler does with the message loop.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "chat/uChatPedidos.h"
#include "platform/uHttpTransporte.h"
#include "platform/ui/uKitHeadless.h"
#include "tests/support/uTestSupport.h"

namespace {

// Answers each request with its own address; the worker threads call it.
class TTransporteEco : public IHttpTransporte {
 public:
  TRespostaHttp Executar(const TPedidoHttp& APedido) override {
    {
      std::lock_guard<std::mutex> trava(FTrava);
      FEnderecos.push_back(APedido.URL);
    }
    TRespostaHttp r;
    r.Status = 200;
    r.Corpo = APedido.URL;
    return r;
  }
  std::vector<std::string> Enderecos() {
    std::lock_guard<std::mutex> trava(FTrava);
    return FEnderecos;
  }
  void Limpar() {
    std::lock_guard<std::mutex> trava(FTrava);
    FEnderecos.clear();
  }

 private:
  std::mutex FTrava;
  std::vector<std::string> FEnderecos;
};

bool AguardarFila(int AMs = 10000) {
  const auto fim = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMs);
  while (TPedidosChat::Ocupado()) {
    if (std::chrono::steady_clock::now() > fim) return false;
    ui::app::ProcessarMensagens();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Whatever a request started twice would still post.
  for (int i = 0; i < 50; ++i) {
    ui::app::ProcessarMensagens();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TEST(PedidosChat, PedidoEnfileiradoDuranteUmTratadorSaiUmaVez) {
  ui::headless::Reiniciar();
  TTransporteEco transporte;
  SubstituirConcern<IHttpTransporte> troca(transporte);
  const std::string a = "http://127.0.0.1:9/a", b = "http://127.0.0.1:9/b",
                    c = "http://127.0.0.1:9/c";
  // The handler of the first processes messages, as opening the chat does; a
  // timer tick queues the poll meanwhile, and it is still in flight when the
  // handler returns. With a request queued behind the first, that one goes
  // before the poll.
  for (const bool outroNaFila : {false, true}) {
    SCOPED_TRACE(outroNaFila ? "outro pedido na fila" : "fila vazia");
    transporte.Limpar();
    std::vector<std::string> tratados;
    TPedidosChat::Enfileirar(a, [&](const TPedidosChat::TResultado& R) {
      tratados.push_back(R.Corpo);
      TPedidosChat::Enfileirar(
          b, [&](const TPedidosChat::TResultado& R2) { tratados.push_back(R2.Corpo); });
      EXPECT_TRUE(TPedidosChat::Ocupado());
    });
    if (outroNaFila)
      TPedidosChat::Enfileirar(
          c, [&](const TPedidosChat::TResultado& R) { tratados.push_back(R.Corpo); });
    ASSERT_TRUE(AguardarFila());
    const std::vector<std::string> esperado =
        outroNaFila ? std::vector<std::string>{a, c, b} : std::vector<std::string>{a, b};
    EXPECT_EQ(transporte.Enderecos(), esperado);
    EXPECT_EQ(tratados, esperado);
    EXPECT_FALSE(TPedidosChat::Ocupado());
  }
}

}  // namespace
