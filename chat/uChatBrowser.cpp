// The chat window launcher.
#include "chat/uChatBrowser.h"

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uConvencoes.h"
#include "net/uEnderecosAgente.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uHttpTransporte.h"
#include "platform/uRelogio.h"
#include "platform/uShell.h"
#include "platform/uSistema.h"
#include "platform/uTexto.h"
#include "platform/ui/uKit.h"
#include "uBuildConfig.h"

namespace {

// Process-wide state of the launcher; all of it lives on the UI thread.
THandleProcesso GProcessoChat = 0;
uint32_t GProcessoChatId = 0;
TVeskChatBrowser::TEventoNotificacao GOnClosed;

constexpr const char* kChrome = "\\Google\\Chrome\\Application\\chrome.exe";
constexpr const char* kEdge = "\\Microsoft\\Edge\\Application\\msedge.exe";

std::string PastaTemp() {
  std::string t = VariavelAmbiente("TEMP");
  if (t.empty() || t.back() != '\\') t += '\\';
  return t;
}

bool TituloDeChat(const std::string& ATitulo) {
  const std::string t = MinusculasAscii(ATitulo);
  return Contem(t, "chat") && Contem(t, "comunica");
}

// A window found by its title is the chat window only when its process is the
// one the launcher started or provably the agent's own chat browser (started
// with the chat profile folder): the employee's own browser, with the chat page
// in one of its tabs, or any other program is never hidden or ended.
bool ProcessoDoChat(uint32_t AId) {
  if (AId == 0) return false;
  if (AId == GProcessoChatId) return true;
  std::string linha;
  if (!JanelasExternas().LinhaDeComando(AId, linha)) return false;
  return Contem(MinusculasAscii(linha), MinusculasAscii(TVeskChatBrowser::PastaPerfil()));
}

}  // namespace

std::string TVeskChatBrowser::UrlBaseChat() {
  return UrlBaseChatConfigurada();
}

std::string TVeskChatBrowser::HostChat() {
  try {
    return MinusculasAscii(AnalisarUrlHttp(UrlBaseChat()).Host);
  } catch (const std::exception&) {
    return {};
  }
}

std::string TVeskChatBrowser::MontarUrlChat(const std::string& AToken, const std::string& APC,
                                            const std::string& AUser) {
  const std::string t = CodificarURL(Aparar(AToken));
  const std::string pc = CodificarURL(Aparar(APC));
  const std::string u = CodificarURL(Aparar(AUser));
  return UrlBaseChat() + "chat_agent.php?api_token=" + t + "&token=" + t + "&pc=" + pc +
         "&computador=" + pc + "&user=" + u + "&usuario=" + u +
         "&origem=agente&embed=1&light=1&_=" + std::to_string(Relogio().TickCount());
}

std::string TVeskChatBrowser::LocalizarNavegador() {
  const char* const variaveis[] = {"ProgramFiles", "ProgramFiles(x86)", "LocalAppData"};
  for (const char* programa : {kChrome, kEdge})
    for (const char* v : variaveis) {
      const std::string caminho = VariavelAmbiente(v) + programa;
      if (Arquivos().ArquivoExiste(caminho)) return caminho;
    }
  return {};
}

std::string TVeskChatBrowser::PastaPerfil() {
  return PastaTemp() + kPastaPerfil;
}

THandleProcesso TVeskChatBrowser::ProcessoChat() {
  return GProcessoChat;
}
uint32_t TVeskChatBrowser::ProcessoChatId() {
  return GProcessoChatId;
}

void TVeskChatBrowser::DefinirOnClosed(TEventoNotificacao AEvent) {
  GOnClosed = std::move(AEvent);
}
const TVeskChatBrowser::TEventoNotificacao& TVeskChatBrowser::OnClosed() {
  return GOnClosed;
}

bool TVeskChatBrowser::ProcessoChatAtivo() {
  try {
    if (!GProcessoChat) return false;
    if (JanelasExternas().Aguardar(GProcessoChat, 0) == TResultadoEspera::TempoEsgotado)
      return true;
    JanelasExternas().FecharHandle(GProcessoChat);
    GProcessoChat = 0;
    GProcessoChatId = 0;
  } catch (...) {
    // Cannot tell: the chat counts as not open, and the next click starts it again.
  }
  return false;
}

THandleJanela TVeskChatBrowser::LocalizarJanelaPorProcesso() {
  if (GProcessoChatId == 0) return 0;
  for (const TJanelaExterna& j : JanelasExternas().Janelas())
    if (j.Visivel && j.Processo == GProcessoChatId && !j.TemDono) return j.Janela;
  return 0;
}

THandleJanela TVeskChatBrowser::LocalizarJanelaPorTitulo() {
  for (const TJanelaExterna& j : JanelasExternas().Janelas())
    if (!j.TemDono && TituloDeChat(j.Titulo) && ProcessoDoChat(j.Processo)) return j.Janela;
  return 0;
}

bool TVeskChatBrowser::AtivarJanelaChat() {
  try {
    if (!ProcessoChatAtivo()) return false;
    const THandleJanela j = LocalizarJanelaPorProcesso();
    if (!j) return false;
    JanelasExternas().Mostrar(
        j, JanelasExternas().Minimizada(j) ? int{kSwRestaurar} : int{kSwShowNormal});
    JanelasExternas().TrazerParaFrente(j);
    return true;
  } catch (...) {
    return false;
  }
}

void TVeskChatBrowser::AguardarJanelaChat() {
  for (int i = 0; i < kTentativasJanela; ++i) {
    THandleJanela j = LocalizarJanelaPorProcesso();
    if (!j) j = LocalizarJanelaPorTitulo();
    if (j) {
      AplicarIconeChat(j);
      return;
    }
    Relogio().Dormir(kPausaTentativaMs);
    ui::app::ProcessarMensagens();
  }
}

void TVeskChatBrowser::AplicarIconeChat(THandleJanela AJanela) {
  const std::string pasta = PastaDoExecutavel();
  std::string arquivo = pasta + "chat_balao.ico";
  if (!Arquivos().ArquivoExiste(arquivo)) arquivo = pasta + "VeskChat_Balao_Vesk_Premium.ico";
  if (!Arquivos().ArquivoExiste(arquivo)) return;
  JanelasExternas().AplicarIcone(AJanela, arquivo);
}

void TVeskChatBrowser::EncerrarProcessoDaJanela(THandleJanela AJanela) {
  uint32_t id = 0;
  for (const TJanelaExterna& j : JanelasExternas().Janelas())
    if (j.Janela == AJanela) id = j.Processo;
  if (id == 0) return;
  JanelasExternas().TerminarProcesso(id);
}

void TVeskChatBrowser::Abrir(const std::string& AURL) {
  if (AtivarJanelaChat()) return;
  Fechar();
  // The address goes on another program's command line and to the shell: one
  // that could carry switches or another kind of target is not launched.
  if (!EnderecoWebAceitavel(AURL)) {
    TLogger::Log("Falha Vesk Chat: endereco recusado: " +
                 PrimeirosCaracteres(OcultarToken(AURL), 300));
    return;
  }
  const std::string navegador = LocalizarNavegador();
  if (!navegador.empty()) {
    const std::string parametros = "--app=\"" + AURL + "\"" +
                                   " --new-window --no-first-run --disable-extensions "
                                   "--user-data-dir=\"" +
                                   PastaPerfil() + "\"";
    // The address carries the token: the log keeps it masked.
    TLogger::Log("Vesk Chat URL FINAL: " + OcultarToken(AURL));
    TLogger::Log("Vesk Chat Browser: " + navegador);
    TLogger::Log("Vesk Chat Params: " + OcultarToken(parametros));
    const TLancamento l = JanelasExternas().Lancar(navegador, parametros);
    if (l.Sucesso) {
      GProcessoChat = l.Processo;
      GProcessoChatId = l.Processo ? l.Id : 0;
      AguardarJanelaChat();
    } else {
      TLogger::Log("Falha ShellExecuteEx Vesk Chat. Erro=" + std::to_string(l.Erro));
    }
    return;
  }
  TLogger::Log("Chrome/Edge não localizado. Abrindo URL FINAL do Vesk Chat: " + OcultarToken(AURL));
  TChamadaShell c;
  c.Verbo = "open";
  c.Arquivo = AURL;
  c.Mostrar = kSwShowNormal;
  const intptr_t r = Shell().Executar(c);
  if (r <= 32) TLogger::Log("Falha ShellExecute Vesk Chat. Código=" + std::to_string(r));
}

void TVeskChatBrowser::Abrir(const std::string&, const std::string& AApiToken,
                             const std::string& APC, const std::string& AUser) {
  Abrir(MontarUrlChat(AApiToken, APC, AUser));
}

void TVeskChatBrowser::Fechar() {
  try {
    if (const THandleJanela j = LocalizarJanelaPorProcesso()) {
      JanelasExternas().Mostrar(j, kSwHide);
      EncerrarProcessoDaJanela(j);
    }
  } catch (...) {
    // Closing the chat is best effort; the window may already be gone.
  }
  try {
    for (int i = 0; i < 8; ++i) {
      const THandleJanela j = LocalizarJanelaPorTitulo();
      if (!j) break;
      JanelasExternas().Mostrar(j, kSwHide);
      EncerrarProcessoDaJanela(j);
      Relogio().Dormir(80);
    }
  } catch (...) {
    // Same: a title search that fails leaves nothing more to close.
  }
  try {
    if (GProcessoChat) {
      if (JanelasExternas().Aguardar(GProcessoChat, 100) == TResultadoEspera::TempoEsgotado)
        JanelasExternas().Terminar(GProcessoChat);
      JanelasExternas().FecharHandle(GProcessoChat);
    }
  } catch (...) {
    // The process handle is released as far as the system lets it.
  }
  GProcessoChat = 0;
  GProcessoChatId = 0;
}

void TVeskChatBrowser::FecharSeMinimizado() {
  try {
    THandleJanela j = LocalizarJanelaPorProcesso();
    if (!j) j = LocalizarJanelaPorTitulo();
    if (j && JanelasExternas().Minimizada(j)) Fechar();
  } catch (...) {
    // A chat that cannot be inspected is left as it is until the next tick.
  }
}
