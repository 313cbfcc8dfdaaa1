// Helpers of the task panel's Wine tests: a list of tasks as the server sends
// it, and the panel driven from inside its modal loop.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tasks/uPopupTarefas.h"
#include "tests/ui/uKitTesteWin32.h"

// AQuantas pending tasks (the second under way) with long descriptions.
inline std::string Lista(int AQuantas) {
  std::string t;
  for (int i = 1; i <= AQuantas; ++i)
    t += std::string(i > 1 ? "," : "") + "{\"id\":" + std::to_string(i) +
         ",\"titulo\":\"Tarefa número " + std::to_string(i) +
         "\",\"descricao\":\"Descrição da tarefa " + std::to_string(i) +
         ", com texto bastante para ocupar mais de uma linha do cartão e mostrar a quebra de "
         "palavras.\",\"cliente\":\"Cliente " +
         std::to_string(i) + "\",\"tipo\":\"Rotina\",\"prioridade\":\"alta\",\"status\":\"" +
         (i == 2 ? "em_andamento" : "pendente") +
         "\",\"data_vencimento\":\"2025-03-05\",\"hora_vencimento\":\"14:07:09\"}";
  return "{\"ok\":true,\"empresa\":\"Vesk Teste\",\"colaborador\":{\"nome\":\"Ana Lima\"},"
         "\"tarefas\":[" +
         t + "]}";
}

// Shows the panel and runs the steps one after another from a timer inside
// its modal loop, each once; a panel still open after them fails the test.
inline void Exibir(const std::string& AJson,
                   std::vector<std::function<void(TFrmPopupTarefas&)>> APassos) {
  testeui::TRoteiro roteiro;
  size_t passo = 0;
  bool ocupado = false;
  roteiro.AtePoder(150, [&] {
    TFrmPopupTarefas* p = TFrmPopupTarefas::Ativo();
    if (ocupado || !p || p->Fechada() || passo >= APassos.size()) return passo >= APassos.size();
    ocupado = true;
    APassos[passo++](*p);
    ocupado = false;
    return passo >= APassos.size();
  });
  roteiro.Apos(30000, [] {
    if (TFrmPopupTarefas* p = TFrmPopupTarefas::Ativo()) {
      ADD_FAILURE() << "the panel was not closed by its steps";
      p->Fechar();
    }
  });
  TFrmPopupTarefas::Exibir(AJson);
  EXPECT_EQ(passo, APassos.size());
  EXPECT_EQ(TFrmPopupTarefas::Ativo(), nullptr);
}
