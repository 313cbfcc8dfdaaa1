// The watchdog's policy: find the agent by its path, wait for it, and decide on each exit.
#include "watchdog/uWatchdog.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "config/uRepasseAtualizacao.h"
#include "config/uSaidaAutorizada.h"
#include "config/uVersao.h"
#include "platform/uArquivos.h"
#include "platform/uTexto.h"
#include "services/uVersaoExe.h"

namespace {

constexpr int32_t kMaximoAmbienteMs = 600000;

uint32_t LerMs(const std::function<std::string(const std::string&)>& AVariavel,
               const std::string& ANome, uint32_t APadrao) {
  int32_t v = 0;
  if (!LerInteiroDecimal32(Aparar(AVariavel(ANome)), v) || v < 0 || v > kMaximoAmbienteMs)
    return APadrao;
  return static_cast<uint32_t>(v);
}

// A Windows executable (at least 1024 bytes, "MZ") whose version resource is
// AVersao.
bool ExecutavelDaVersao(const std::string& ABytes, const std::string& AVersao) {
  std::string versao;
  return ABytes.size() >= 1024 && ABytes[0] == 'M' && ABytes[1] == 'Z' &&
         LerVersaoExecutavel(ABytes, versao) && CompararTextosVersao(versao, AVersao) == 0;
}

// Quotes left around the path by a caller that quoted it twice.
std::string SemAspas(std::string ATexto) {
  while (ATexto.size() >= 2 && ATexto.front() == '"' && ATexto.back() == '"')
    ATexto = Aparar(ATexto.substr(1, ATexto.size() - 2));
  return ATexto;
}

}  // namespace

TConfigWatchdog ConfigWatchdogDoAmbiente(
    const std::function<std::string(const std::string&)>& AVariavel) {
  TConfigWatchdog c;
  c.EsperaReinicioMs = LerMs(AVariavel, "VESK_WATCHDOG_ESPERA_MS", c.EsperaReinicioMs);
  c.ToleranciaMs = LerMs(AVariavel, "VESK_WATCHDOG_TOLERANCIA_MS", c.ToleranciaMs);
  if (c.IntervaloBuscaMs > c.ToleranciaMs) c.IntervaloBuscaMs = c.ToleranciaMs;
  if (c.IntervaloBuscaMs == 0) c.IntervaloBuscaMs = 50;
  return c;
}

TWatchdog::TWatchdog(IProcessos& AProcessos, IRelogio& ARelogio, TLog ALog, TConfigWatchdog AConfig)
    : FProcessos(AProcessos), FRelogio(ARelogio), FLog(std::move(ALog)), FConfig(AConfig) {}

bool TWatchdog::ValidarArgumentos(const std::vector<std::string>& AArgumentos) {
  if (AArgumentos.empty()) {
    FLog("Watchdog: erro: argumento ausente; esperado o caminho completo do agente");
    return false;
  }
  if (AArgumentos.size() > 1) {
    FLog("Watchdog: erro: argumentos demais (" + std::to_string(AArgumentos.size()) +
         "); esperado apenas o caminho do agente entre aspas");
    return false;
  }
  FCaminho = SemAspas(Aparar(AArgumentos[0]));
  if (FCaminho.empty()) {
    FLog("Watchdog: erro: caminho do agente vazio");
    return false;
  }
  if (!FProcessos.ArquivoExiste(FCaminho)) {
    FLog("Watchdog: erro: agente nao encontrado em " + FCaminho);
    return false;
  }
  // Watching itself would find its own process and never end.
  if (IgualSemCaixa(FCaminho, FProcessos.CaminhoExecutavel())) {
    FLog("Watchdog: erro: o caminho informado e o do proprio watchdog: " + FCaminho);
    return false;
  }
  return true;
}

TWatchdog::TBusca TWatchdog::ProcurarAgente(uint32_t AToleranciaMs) {
  const uint32_t inicio = FRelogio.TickCount();
  for (;;) {
    TBusca b;
    for (uint32_t id : FProcessos.ProcessosDoExecutavel(FCaminho)) {
      const THandleProcesso h = FProcessos.Abrir(id);
      if (h == 0) {
        b.SemAcesso = true;
        continue;
      }
      // A process that has ended may still be listed while someone holds a
      // handle to it; following it would spin on an exit that already happened.
      if (FProcessos.Aguardar(h, 0) == TResultadoEspera::TempoEsgotado) {
        b.Processo = h;
        b.SemAcesso = false;
        return b;
      }
      FProcessos.Fechar(h);
    }
    if (static_cast<uint32_t>(FRelogio.TickCount() - inicio) >= AToleranciaMs) return b;
    FRelogio.Dormir(FConfig.IntervaloBuscaMs);
  }
}

bool TWatchdog::LimiteAtingido() {
  const uint32_t agora = FRelogio.TickCount();
  while (!FReinicios.empty() &&
         static_cast<uint32_t>(agora - FReinicios.front()) >= FConfig.JanelaLimiteMs)
    FReinicios.pop_front();
  return static_cast<int>(FReinicios.size()) >= FConfig.LimiteReinicios;
}

THandleProcesso TWatchdog::TratarFalha(uint32_t ACodigo, int& ASaida) {
  const std::string codigo = "codigo " + std::to_string(ACodigo);
  for (;;) {
    FRelogio.Dormir(FConfig.EsperaReinicioMs);
    // Someone else (the update script, the employee) may have started it meanwhile.
    TBusca b = ProcurarAgente(0);
    if (b.Processo != 0) {
      FLog("Watchdog: aviso: agente terminou com falha (" + codigo +
           "), mas ja ha outra instancia em execucao; sem reinicio");
      return b.Processo;
    }
    if (b.SemAcesso) {
      FLog("Watchdog: erro: agente em execucao sem acesso ao processo; watchdog encerrado");
      ASaida = kSaidaFalha;
      return 0;
    }
    if (LimiteAtingido()) {
      FLog("Watchdog: erro: limite de " + std::to_string(FConfig.LimiteReinicios) +
           " reinicios por hora atingido; watchdog encerrado");
      ASaida = kSaidaLimite;
      return 0;
    }
    if (!FProcessos.ArquivoExiste(FCaminho)) {
      FLog("Watchdog: erro: executavel do agente nao existe mais (" + FCaminho +
           "); watchdog encerrado");
      ASaida = kSaidaFalha;
      return 0;
    }
    // A failed start counts too, so that a broken executable is not retried forever.
    FReinicios.push_back(FRelogio.TickCount());
    const THandleProcesso h = FProcessos.Iniciar(FCaminho);
    if (h != 0) {
      FLog("Watchdog: agente reiniciado apos falha (" + codigo + ")");
      return h;
    }
    FLog("Watchdog: erro ao reiniciar o agente apos falha (" + codigo + "): " + FCaminho);
  }
}

bool TWatchdog::EmSubstituicao(uint32_t AId, uint64_t AInicio) {
  TRepasseAtualizacao p;
  if (AId == 0 || !TRegistroRepasse::Ler(FCaminho, p) || p.Pid != AId) return false;
  // The same id on a process started at another time is someone else.
  if (p.Inicio != 0 && AInicio != 0 && p.Inicio != AInicio) return false;
  // A record from long ago names a process id that may have been reused.
  if (std::fabs(FRelogio.Agora() - p.Hora) * 86400000.0 >= FConfig.JanelaReversaoMs) return false;
  FAtualizacao = {true, p.VersaoNova, p.VersaoAnterior, FRelogio.TickCount(), 0};
  return true;
}

void TWatchdog::EncerrarAtualizacao() {
  FAtualizacao.Ativa = false;
  // Left behind, the record would name a process id that the system may give
  // to another program, or to a later copy of the agent.
  TRegistroRepasse::Cancelar(FCaminho);
}

bool TWatchdog::AguardarFim(THandleProcesso AAgente) {
  while (FAtualizacao.Ativa) {
    const uint32_t passado = FRelogio.TickCount() - FAtualizacao.Inicio;
    if (passado >= FConfig.JanelaReversaoMs) {
      FLog("Watchdog: versao " + FAtualizacao.Versao +
           " em execucao desde a atualizacao; registro da atualizacao encerrado");
      EncerrarAtualizacao();
      break;
    }
    const TResultadoEspera r = FProcessos.Aguardar(AAgente, FConfig.JanelaReversaoMs - passado);
    if (r != TResultadoEspera::TempoEsgotado) return r == TResultadoEspera::Terminou;
  }
  return FProcessos.Aguardar(AAgente, kEsperaInfinita) == TResultadoEspera::Terminou;
}

THandleProcesso TWatchdog::Reverter() {
  const std::string versao = FAtualizacao.Versao;
  EncerrarAtualizacao();
  const std::string revertida = TRegistroRepasse::Revertida(FCaminho);
  if (!revertida.empty() && revertida == versao) {
    FLog("Watchdog: erro: versao " + versao + " ja foi revertida uma vez; sem nova reversao");
    return 0;
  }
  const std::string pasta = PastaDe(FCaminho) + "backup" + kSep;
  // Newest first (the time stamp in the name sorts them); only the program
  // that ran before goes back: not whatever file lies there under that name.
  std::vector<std::string> nomes;
  for (const TInfoArquivo& a : Arquivos().Listar(pasta, "Zelvan_backup_*.exe"))
    nomes.push_back(a.Nome);
  std::sort(nomes.rbegin(), nomes.rend());
  const std::string anterior = FAtualizacao.VersaoAnterior;
  std::string nome, bytes;
  for (const std::string& n : nomes) {
    std::string b;
    if (anterior.empty() || !Arquivos().LerTudo(pasta + n, b) || !ExecutavelDaVersao(b, anterior))
      continue;
    nome = n;
    bytes = std::move(b);
    break;
  }
  if (nome.empty()) {
    FLog("Watchdog: erro: versao " + versao +
         " falhou apos a atualizacao e nao ha backup valido da versao " +
         (anterior.empty() ? std::string("anterior") : anterior) + " para restaurar em " + pasta);
    return 0;
  }
  if (!GravarAtomico(FCaminho, bytes)) {
    FLog("Watchdog: erro: falha ao restaurar o backup " + nome + " sobre " + FCaminho);
    return 0;
  }
  TRegistroRepasse::MarcarRevertida(FCaminho, versao);
  FLog("Watchdog: erro: versao " + versao + " terminou com falha " +
       std::to_string(FConfig.FalhasParaReverter) +
       " vezes logo apos a atualizacao; backup restaurado: " + nome);
  const THandleProcesso h = FProcessos.Iniciar(FCaminho);
  if (h == 0)
    FLog("Watchdog: erro ao iniciar o agente restaurado: " + FCaminho);
  else
    FLog("Watchdog: agente restaurado iniciado");
  return h;
}

int TWatchdog::Executar(const std::vector<std::string>& AArgumentos) {
  if (!ValidarArgumentos(AArgumentos)) return kSaidaArgumento;

  switch (FProcessos.AdquirirInstanciaUnica(kMutexWatchdog)) {
    case TInstanciaUnica::JaExiste:
      FLog("Watchdog: aviso: outro watchdog ja esta em execucao nesta sessao; encerrando");
      return kSaidaNormal;
    case TInstanciaUnica::Falha:
      FLog("Watchdog: aviso: falha ao criar o mutex da sessao; seguindo sem ele");
      break;
    case TInstanciaUnica::Primeira:
      break;
  }
  FLog("Watchdog: iniciado para " + FCaminho);

  // After an update hand-over: the new copy, or the agent started by us when
  // the script did not bring it up. 0 with ASaida set when the watchdog ends.
  auto seguirNovaVersao = [this](int& ASaida) -> THandleProcesso {
    const TBusca nova = ProcurarAgente(FConfig.ToleranciaMs);
    if (nova.Processo != 0) return nova.Processo;
    if (nova.SemAcesso) {
      FLog("Watchdog: erro: sem acesso ao processo do agente; watchdog encerrado");
      ASaida = kSaidaFalha;
      return 0;
    }
    // The script did not start it, or it ended before it was seen.
    FLog("Watchdog: aviso: nova versao nao apareceu apos a atualizacao; iniciando o agente");
    FReinicios.push_back(FRelogio.TickCount());
    const THandleProcesso h = FProcessos.Iniciar(FCaminho);
    if (h == 0) {
      FLog("Watchdog: erro ao iniciar o agente apos a atualizacao: " + FCaminho);
      ASaida = kSaidaFalha;
    }
    return h;
  };

  TBusca b = ProcurarAgente(FConfig.ToleranciaMs);
  THandleProcesso agente = b.Processo;
  if (agente == 0) {
    if (b.SemAcesso) {
      FLog("Watchdog: erro: sem acesso ao processo do agente; watchdog encerrado");
      return kSaidaFalha;
    }
    // On a busy machine the agent that started us may already have quit for
    // an update before we looked: its hand-over record says so.
    TRepasseAtualizacao p;
    if (!TRegistroRepasse::Ler(FCaminho, p) || !EmSubstituicao(p.Pid, 0)) {
      FLog("Watchdog: aviso: agente nao esta em execucao; watchdog encerrado");
      return kSaidaNormal;
    }
    FLog("Watchdog: agente substituido pela atualizacao para " + FAtualizacao.Versao +
         " antes de ser acompanhado; acompanhando a nova versao");
    int saida = kSaidaNormal;
    agente = seguirNovaVersao(saida);
    if (agente == 0) return saida;
  }
  for (;;) {
    // Whoever acts on the agent (a support technician, a test) learns from the log
    // which copy is covered: one still being started may not be the one watched.
    FLog("Watchdog: acompanhando o agente (processo " +
         std::to_string(FProcessos.IdDoProcesso(agente)) + ")");
    if (!AguardarFim(agente)) {
      FProcessos.Fechar(agente);
      FLog("Watchdog: erro ao aguardar o agente; watchdog encerrado");
      return kSaidaFalha;
    }
    uint32_t codigo = 0;
    // An unreadable exit code says nothing either way; it is only logged.
    if (!FProcessos.CodigoSaida(agente, codigo) || codigo == kCodigoAindaAtivo)
      codigo = 0xFFFFFFFFu;
    const uint32_t pid = FProcessos.IdDoProcesso(agente);
    const uint64_t inicio = FProcessos.HoraInicio(agente);
    FProcessos.Fechar(agente);

    // Quit for the update script, or ended by its taskkill: not a crash.
    if (EmSubstituicao(pid, inicio)) {
      FLog("Watchdog: agente substituido pela atualizacao para " + FAtualizacao.Versao +
           " (codigo " + std::to_string(codigo) + "); acompanhando a nova versao");
      int saida = kSaidaNormal;
      agente = seguirNovaVersao(saida);
      if (agente == 0) return saida;
      continue;
    }
    // Only the agent's own record tells a deliberate end: a crash may end the
    // process with code 0 (Wine ends one that overflowed its stack so).
    const bool autorizada = TSaidaAutorizada::Confere(pid, inicio, FRelogio.Agora());
    if (autorizada) TSaidaAutorizada::Apagar();
    // A deliberate end (a restart command, the employee closing it) is no
    // failure of the new version.
    if (!autorizada && FAtualizacao.Ativa) {
      if (static_cast<uint32_t>(FRelogio.TickCount() - FAtualizacao.Inicio) >=
          FConfig.JanelaReversaoMs) {
        EncerrarAtualizacao();
      } else if (++FAtualizacao.Falhas >= FConfig.FalhasParaReverter) {
        const THandleProcesso h = Reverter();
        if (h != 0) {
          agente = h;
          continue;
        }
      }
    }

    if (autorizada) {
      // Closed on purpose; the restart command and the update script start a
      // new copy a little later, which is then the one to watch.
      b = ProcurarAgente(FConfig.ToleranciaMs);
      if (b.Processo == 0) {
        FLog("Watchdog: agente encerrado normalmente; watchdog encerrado");
        return kSaidaNormal;
      }
      FLog("Watchdog: agente encerrado normalmente; acompanhando a nova instancia");
      agente = b.Processo;
      continue;
    }

    int saida = kSaidaNormal;
    agente = TratarFalha(codigo, saida);
    if (agente == 0) return saida;
  }
}
