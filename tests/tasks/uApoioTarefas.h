// Fixture of the task tests on the headless kit: the development server with a
// task list of its own, a settable clock, fixed computer and user names, and the
// panel driven from inside its modal loop.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/uConfigINI.h"
#include "platform/ui/uKitHeadless.h"
#include "tasks/uAgentTasks.h"
#include "tasks/uPopupTarefas.h"
#include "tests/net/uAmbienteHttp.h"

using TParesForm = std::vector<std::pair<std::string, std::string>>;

// One request the development server recorded.
struct TPedidoGravado {
  std::string Metodo, Caminho, Consulta;
  TParesForm Form;
};

class TarefasTeste : public TAmbienteHttp {
 protected:
  static constexpr const char* kToken = "tok-teste-1234567890";

  void SetUp() override;
  void TearDown() override;

  // One of the server's ready-made task lists (POST /admin/tasks), with the
  // answer of the actions when given; the request record is emptied.
  void Lista(const std::string& AKind, const std::string& ARespostaAcoes = "");
  // The task list answered as this literal body, whatever the request.
  void RespostaTarefas(const std::string& ACorpo, const std::string& ATipo = "application/json");
  void Configurar(const std::string& AURL, const std::string& AToken);
  std::string UrlServidor() const { return Url("demo/intranet/"); }

  // The recorded requests to one endpoint ("api/agent_tasks.php"), oldest first.
  std::vector<TPedidoGravado> Pedidos(const std::string& AEndpoint);

  // Runs AAcao when the panel shows; returns whether it showed. A panel the
  // action leaves open is closed after a while of the fake clock, as a failure.
  bool AoExibir(const std::function<void()>& AAbrir,
                const std::function<void(TFrmPopupTarefas&)>& AAcao);
  // Opens the panel for the text and runs AAcao in it.
  bool Exibir(const std::string& AJson, const std::function<void(TFrmPopupTarefas&)>& AAcao);

  TSistemaFalso FSistema;
  std::unique_ptr<SubstituirConcern<ISistema>> FTrocaSistema;
};

// A task list answer built from task objects written as JSON.
std::string ListaJson(const std::vector<std::string>& ATarefas,
                      const std::string& AEmpresa = "\"Vesk Teste\"",
                      const std::string& AColaborador = "{\"nome\":\"Ana Lima\"}");
