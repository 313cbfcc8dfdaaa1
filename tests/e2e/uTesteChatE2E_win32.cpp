// The chat bubble end to end: the real Zelvan.exe against the development
// server on a 1920 x 1080 screen. The bubble at its default place, the badge
// and the toast when the server's unread count rises, a drag stored in
// [CHAT_FLOAT], a click that marks everything read and starts a stand-in
// browser (this test program, copied where Chrome is looked for) with the exact
// command line; and a chat server that accepts and never answers while the
// agent's windows answer the driver at once.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>

#include "config/uConfigINI.h"
#include "log/uLogger.h"
#include "net/uConvencoes.h"
#include "platform/uArquivos.h"
#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"
#include "tests/e2e/uAgentesE2E.h"
#include "tests/support/uPortaMudaWin32.h"
#include "tools/wine/uCaptura.h"
#include "tools/wine/uDriver.h"

namespace {

constexpr uint32_t kEspera = 20000;
constexpr const char* kToken = "tok-teste-1234567890";
constexpr const wchar_t* kTituloChat = L"Chat - Comunicação interna";

// Started with "--app=", this program is the stand-in browser: it writes its
// command line beside itself, shows a window titled as the chat page and
// waits to be ended.
const bool GNavegador = [] {
  const std::wstring linha = GetCommandLineW();
  if (linha.find(L"--app=") == std::wstring::npos) return false;
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring destino = std::wstring(exe) + L".linha.txt";
  const std::wstring temp = destino + L".tmp";
  HANDLE f = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const std::string u = DeWide(linha);
  DWORD n = 0;
  WriteFile(f, u.data(), static_cast<DWORD>(u.size()), &n, nullptr);
  CloseHandle(f);
  // Whole or not at all: the test reads it as soon as it appears.
  MoveFileExW(temp.c_str(), destino.c_str(), MOVEFILE_REPLACE_EXISTING);
  CreateWindowExW(0, L"STATIC", kTituloChat, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 300,
                  nullptr, nullptr, nullptr, nullptr);
  MSG m;
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 120000;) {
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(10);
  }
  ExitProcess(0);
}();

HWND H(TJanela A) {
  return static_cast<HWND>(A);
}

RECT NaTela(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  return r;
}

// A visible tool window of the process with that client size: the bubble
// (72 x 72) or the toast (430 x 158).
HWND JanelaDeFerramenta(uint32_t AId, int ALargura, int AAltura) {
  for (TJanela j : TDriver::JanelasDoProcesso(AId)) {
    if (!IsWindowVisible(H(j)) || !(GetWindowLongW(H(j), GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) continue;
    const TRetanguloDriver c = TDriver::AreaCliente(j);
    if (c.Largura == ALargura && c.Altura == AAltura) return H(j);
  }
  return nullptr;
}

// Whether the pixel is close to the colour (0xRRGGBB).
bool Perto(uint32_t APixel, uint32_t ACor) {
  for (int s = 0; s < 24; s += 8)
    if (std::abs(static_cast<int>((APixel >> s) & 0xFF) - static_cast<int>((ACor >> s) & 0xFF)) >
        24)
      return false;
  return true;
}

// Ends the stand-in browsers still showing the chat page.
void EncerrarNavegadores() {
  for (HWND h; (h = FindWindowW(L"STATIC", kTituloChat));) {
    DWORD id = 0;
    GetWindowThreadProcessId(h, &id);
    HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!p) break;
    TerminateProcess(p, 0);
    WaitForSingleObject(p, 5000);
    CloseHandle(p);
  }
}

class ChatE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProgramaEServidor());
    ConfigurarServidor(kToken);
    // The programs built for tests have the chat on a fixed port; the server
    // runs on a free one.
    TConfigINI::EscreverTexto("CHAT", "URL", Servidor() + "chat/");
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    FInicioLog = LerArquivoTexto(TLogger::ArquivoLogDoDia()).size();
  }
  void TearDown() override {
    if (FPrograma.Valido()) {
      // Closed with the password the server published, so that the watchdog
      // lets it go; ended by force when that fails.
      TDriver::Fechar(FJanela);
      TJanela senha =
          TDriver::AguardarJanela(FPrograma.Id(), "VeskJanela", "Senha do Agente", kEspera, true);
      if (senha && TDriver::Digitar(TDriver::ProcurarControle(senha, "Edit"), "zelvan123"))
        TDriver::Clicar(TDriver::ProcurarControle(senha, "Button", "OK"));
      EXPECT_TRUE(FPrograma.AguardarFim(kEspera)) << "the agent did not end";
      if (!FPrograma.AguardarFim(0)) FPrograma.Encerrar(99);
    }
    EncerrarNavegadores();
    if (!FNavegador.empty()) {
      Arquivos().Apagar(FNavegador);
      Arquivos().Apagar(FNavegador + ".linha.txt");
    }
  }
  void Chat(int AUnread, const std::string& ARemetente, const std::string& APreview) {
    std::string c = Admin("admin/scenario");
    const size_t i = c.find("\"chat\"");
    ASSERT_NE(i, std::string::npos) << c;
    const size_t f = c.find('}', i);
    c = c.substr(0, i) + "\"chat\":{\"unread\":" + std::to_string(AUnread) +
        ",\"remetente_nome\":\"" + ARemetente + "\",\"preview\":\"" + APreview + "\"" + c.substr(f);
    Admin("admin/scenario", c);
  }
  void Iniciar(const std::map<std::string, std::string>& AAmbiente = {}) {
    FPrograma = TDriver::Iniciar(Zelvan(), {}, AAmbiente);
    ASSERT_TRUE(FPrograma.Valido());
    FJanela = AguardarJanelaPrincipal(FPrograma.Id(), kEspera);
    ASSERT_NE(FJanela, nullptr) << "no main window";
  }
  HWND AguardarFerramenta(int ALargura, int AAltura) {
    HWND h = nullptr;
    TDriver::AguardarAte(
        [&] { return (h = JanelaDeFerramenta(FPrograma.Id(), ALargura, AAltura)) != nullptr; },
        kEspera);
    return h;
  }
  // The chat's lines of the log since the test began.
  std::string LinhasDoChat() const {
    std::string r;
    for (const std::string& l : DividirLinhas(Log()))
      if (l.find("Chat") != std::string::npos && l.find("MostrarForcado") == std::string::npos)
        r += l + "\n";
    return r;
  }
  // What the agent logged since the test began.
  std::string Log() const {
    const std::string t = LerArquivoTexto(TLogger::ArquivoLogDoDia());
    return t.size() > FInicioLog ? t.substr(FInicioLog) : std::string();
  }
  static std::string LerArquivoTexto(const std::string& ACaminho) {
    std::string r;
    Arquivos().LerTudo(ACaminho, r);
    return r;
  }

  TProgramaDriver FPrograma;
  TJanela FJanela = nullptr;
  size_t FInicioLog = 0;
  std::string FNavegador;  // the stand-in browser, when placed
};

}  // namespace

TEST_F(ChatE2E, BalaoBadgeToastArrastoECliqueAbreONavegador) {
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
  Chat(0, "", "");
  // The stand-in where Chrome is looked for first. Wine sets ProgramFiles
  // itself in every process it starts, so the stand-in goes into the prefix's
  // own folder (a prefix of this test run only) and is removed afterwards.
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const char* pf = std::getenv("ProgramFiles");
  ASSERT_NE(pf, nullptr);
  FNavegador = std::string(pf) + "\\Google\\Chrome\\Application\\chrome.exe";
  const std::string& chrome = FNavegador;
  ASSERT_FALSE(Arquivos().ArquivoExiste(chrome)) << "a Chrome in the prefix";
  Arquivos().CriarPastas(PastaDe(chrome));
  ASSERT_TRUE(CopyFileW(exe, ParaWide(chrome).c_str(), FALSE));
  Iniciar();

  // The bubble at its default place, round, topmost, no badge.
  HWND b = AguardarFerramenta(72, 72);
  ASSERT_NE(b, nullptr) << "no bubble";
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const RECT r = NaTela(b);
  EXPECT_EQ(r.left, area.right - 90);
  EXPECT_EQ(r.top, area.bottom - 192);
  EXPECT_EQ(r.right - r.left, 72);
  EXPECT_EQ(r.bottom - r.top, 72);
  EXPECT_TRUE(GetWindowLongW(b, GWL_EXSTYLE) & WS_EX_TOPMOST);
  HRGN rg = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(b, rg), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(rg, 1, 1)) << "not round";
  EXPECT_TRUE(PtInRegion(rg, 36, 36));
  EXPECT_FALSE(PtInRegion(rg, 68, 3)) << "a badge area without unread messages";
  TDriver::Processar(300);
  EXPECT_TRUE(CapturarTela("chat_e2e_balao_sem_badge"));

  // The server's count rises: within a poll the badge and the toast.
  Chat(3, "Carlos Lima", "Bom dia! Pode revisar a planilha de compras?");
  HWND t = AguardarFerramenta(430, 158);
  ASSERT_NE(t, nullptr) << "no toast after the count rose";
  EXPECT_TRUE(GetWindowLongW(t, GWL_EXSTYLE) & WS_EX_TOPMOST);
  const RECT rt = NaTela(t);
  EXPECT_EQ(rt.right, area.right - 18);
  EXPECT_EQ(rt.bottom, area.bottom - 78);
  EXPECT_TRUE(TDriver::AguardarAte(
      [&] { return GetWindowRgn(b, rg) != ERROR && PtInRegion(rg, 68, 3); }, kEspera))
      << "the window's shape has no badge area";
  {
    // The line follows the toast.
    std::string log;
    size_t k = std::string::npos;
    TDriver::AguardarAte(
        [&] { return (k = (log = Log()).find("Vesk Chat: nova mensagem detectada.")) != log.npos; },
        5000);
    ASSERT_NE(k, std::string::npos) << "the rise was not logged";
    const std::string l = log.substr(k, log.find('\n', k) - k);
    EXPECT_NE(l.find("lidas=3 de Carlos Lima"), std::string::npos) << l;
  }
  // The toast lies over the bubble at its default place.
  EXPECT_EQ(WindowFromPoint({r.left + 36, r.top + 36}), t) << "the bubble covers the toast";
  TDriver::Processar(500);
  EXPECT_TRUE(CapturarTela("chat_e2e_toast_tela"));
  TPngLido tela;
  ASSERT_TRUE(LerPng(PastaCapturas() + "\\chat_e2e_toast_tela.png", tela));
  // The toast's badge and card where they belong on the screen.
  EXPECT_TRUE(Perto(tela.Pixel(rt.left + 87, rt.top + 20), 0xEF2323));
  EXPECT_TRUE(Perto(tela.Pixel(rt.left + 30, rt.top + 42), 0x1268E8));
  // The toast closes after 7 seconds; the bubble shows its badge.
  EXPECT_TRUE(TDriver::AguardarVisibilidade(t, false, kEspera)) << "the toast stayed";
  TDriver::Processar(300);
  EXPECT_TRUE(CapturarJanela(b, "chat_e2e_balao_badge"));
  TPngLido balao;
  ASSERT_TRUE(LerPng(PastaCapturas() + "\\chat_e2e_balao_badge.png", balao));
  ASSERT_EQ(balao.Largura, 72);
  EXPECT_TRUE(Perto(balao.Pixel(55, 6), 0xEF2323)) << "no red badge";

  // A drag by the mouse is stored when released.
  SetCursorPos(r.left + 30, r.top + 30);
  SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  SetCursorPos(600, 400);
  // The agent may see the pointer's new place a moment later.
  EXPECT_TRUE(TDriver::AguardarAte(
      [&] {
        SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 60));
        return NaTela(b).left == 570;
      },
      5000, 100));
  SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(60, 60));
  EXPECT_EQ(NaTela(b).left, 570);
  EXPECT_EQ(NaTela(b).top, 370);
  EXPECT_EQ(TConfigINI::LerInteiro(TConfigINI::ArquivoConfig(), "CHAT_FLOAT", "LEFT", 0), 570);
  EXPECT_EQ(TConfigINI::LerInteiro(TConfigINI::ArquivoConfig(), "CHAT_FLOAT", "TOP", 0), 370);
  DeleteObject(rg);

  // A click: everything marked read, then the stand-in browser with the exact
  // command line.
  Admin("admin/requests/clear", "{}");
  PostMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  PostMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
  std::string linha;
  ASSERT_TRUE(TDriver::AguardarAte(
      [&] { return !(linha = LerArquivoTexto(chrome + ".linha.txt")).empty(); }, 30000))
      << "the stand-in browser was not started; the agent logged:\n"
      << LinhasDoChat();
  const std::string pedidos = Admin("admin/requests");
  EXPECT_NE(pedidos.find("agent_chat_mark_read_all.php"), std::string::npos) << pedidos;
  const std::string pc = CodificarURL(Aparar(ObterNomeComputador()));
  const std::string user = CodificarURL(Aparar(ObterUsuarioWindows()));
  const std::string antes = " --app=\"" + Servidor() + "chat/chat_agent.php?api_token=" + kToken +
                            "&token=" + kToken + "&pc=" + pc + "&computador=" + pc +
                            "&user=" + user + "&usuario=" + user +
                            "&origem=agente&embed=1&light=1&_=";
  std::string temp = std::getenv("TEMP") ? std::getenv("TEMP") : "";
  if (!temp.empty() && temp.back() != '\\') temp += '\\';
  const std::string depois =
      "\" --new-window --no-first-run --disable-extensions --user-data-dir=\"" + temp +
      "VeskIntranetChatProfileModernIcon\"";
  const size_t i = linha.find(antes);
  ASSERT_NE(i, std::string::npos) << linha;
  EXPECT_NE(MinusculasAscii(linha.substr(0, i)).find(MinusculasAscii(chrome)), std::string::npos)
      << linha;
  size_t j = i + antes.size();
  const size_t digitos = j;
  while (j < linha.size() && std::isdigit(static_cast<unsigned char>(linha[j]))) ++j;
  EXPECT_GT(j, digitos) << "no stamp: " << linha;
  EXPECT_EQ(linha.substr(j), depois) << linha;
  std::printf("stand-in browser's command line: %s\n", linha.c_str());
  // Marked read: the badge goes.
  EXPECT_TRUE(TDriver::AguardarAte(
      [&] {
        HRGN g = CreateRectRgn(0, 0, 0, 0);
        const bool sem = GetWindowRgn(b, g) != ERROR && !PtInRegion(g, 68, 3);
        DeleteObject(g);
        return sem;
      },
      kEspera))
      << "the badge stayed after mark-all-read";
  // The bubble stays above every window, the agent's own included.
  const RECT rb = NaTela(b);
  EXPECT_EQ(WindowFromPoint({rb.left + 36, rb.top + 36}), b)
      << "covered; main window topmost: "
      << ((GetWindowLongW(H(FJanela), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0)
      << " bubble topmost: " << ((GetWindowLongW(b, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
  TDriver::Processar(1000);
  EXPECT_TRUE(CapturarTela("chat_e2e_navegador"));
}

TEST_F(ChatE2E, ServidorDoChatMudoNaoPrendeAJanelaPrincipal) {
  // A port that accepts connections and never answers.
  SOCKET s = INVALID_SOCKET;
  ASSERT_NO_FATAL_FAILURE(ApontarChatParaPortaMuda(s, 16));
  Iniciar();
  HWND b = AguardarFerramenta(72, 72);
  ASSERT_NE(b, nullptr) << "no bubble";
  // For several 3-second ticks with a request hanging, the main window answers
  // the driver at once and its tabs change.
  TJanela abas = TDriver::ProcurarControle(FJanela, "SysTabControl32");
  ASSERT_NE(abas, nullptr);
  DWORD pior = 0;
  const DWORD t0 = GetTickCount();
  for (int k = 0; GetTickCount() - t0 < 12000; ++k) {
    DWORD_PTR res = 0;
    const DWORD t = GetTickCount();
    EXPECT_TRUE(SendMessageTimeoutW(H(FJanela), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &res));
    EXPECT_TRUE(SendMessageTimeoutW(b, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &res));
    EXPECT_TRUE(TDriver::SelecionarAba(abas, k % 2));
    pior = std::max(pior, GetTickCount() - t);
    TDriver::Processar(300);
  }
  std::printf("slowest answer of the windows while the chat server hangs: %lu ms\n",
              static_cast<unsigned long>(pior));
  EXPECT_LT(pior, 1000u);
  EXPECT_EQ(Log().find("Vesk Chat unread falhou"), std::string::npos)
      << "the hanging request ended early";
  EXPECT_TRUE(CapturarTela("chat_e2e_servidor_mudo"));
  closesocket(s);
}
