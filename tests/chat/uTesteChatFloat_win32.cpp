// The chat bubble and toast on real windows under Wine, against the
// development server: the bubble at its place on a 1920 x 1080 screen, round
// and topmost without a taskbar button, the badge when the count rises, the
// toast with sender and preview, a drag stored in [CHAT_FLOAT], a click that
// marks everything read and starts a stand-in browser with the exact command
// line, and a chat server that never answers while the windows stay
// responsive. Screenshots in out/screens.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "chat/uChatBrowser.h"
#include "chat/uChatFloat.h"
#include "chat/uChatPedidos.h"
#include "chat/uChatToast.h"
#include "config/uConfigINI.h"
#include "platform/uArquivos.h"
#include "platform/uWin32Texto.h"
#include "tests/chat/uBolhaTesteWin32.h"
#include "tests/ui/uKitTesteWin32.h"
#include "tests/support/uPortaMudaWin32.h"
#include "tools/wine/uCaptura.h"

using testeui::H;
using testeui::Janela;

namespace {

// This test program doubles as the stand-in browser: started with "--app=" it
// writes its command line beside itself, shows a window titled as the chat
// page and waits to be ended.
const bool GNavegador = [] {
  const std::wstring linha = GetCommandLineW();
  if (linha.find(L"--app=") == std::wstring::npos) return false;
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  HANDLE f = CreateFileW((std::wstring(exe) + L".linha.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, 0, nullptr);
  const std::string u = DeWide(linha);
  DWORD n = 0;
  WriteFile(f, u.data(), static_cast<DWORD>(u.size()), &n, nullptr);
  CloseHandle(f);
  HWND h =
      CreateWindowExW(0, L"STATIC", L"Chat - Comunicação interna", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                      100, 100, 400, 300, nullptr, nullptr, nullptr, nullptr);
  (void)h;
  MSG m;
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 60000;) {
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(10);
  }
  ExitProcess(0);
}();

using BolhaWin32 = BolhaTesteWin32;

TEST_F(BolhaWin32, BolhaNoLugarBadgeToastArrastoEClique) {
  TFrmChatFloat* b = nullptr;
  ASSERT_NO_FATAL_FAILURE(IniciarBolha(b));
  HWND h = H(b);
  testeui::Bombear(300);
  ASSERT_TRUE(IsWindowVisible(h));
  EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & WS_CAPTION);
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const RECT r = Janela(h);
  EXPECT_EQ(r.left, area.right - 90);
  EXPECT_EQ(r.top, area.bottom - 192);
  EXPECT_EQ(r.right - r.left, 72);
  // Round: the corners are not part of the window.
  HRGN rg = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(h, rg), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(rg, 1, 1));
  EXPECT_TRUE(PtInRegion(rg, 36, 36));
  EXPECT_FALSE(PtInRegion(rg, 68, 3)) << "badge area without unread messages";
  EXPECT_TRUE(CapturarTela("chat_balao_sem_badge"));

  // The count rises: badge, toast with sender and preview.
  Chat(3, "Carlos Lima", "Bom dia! Pode revisar a planilha de compras?");
  TVeskChatFloat::AtualizarUnread();
  ASSERT_TRUE(AguardarPedidos());
  testeui::Bombear(300);
  EXPECT_EQ(b->Unread(), 3);
  GetWindowRgn(h, rg);
  EXPECT_TRUE(PtInRegion(rg, 68, 3)) << "no badge area";
  TFrmChatToast* t = TVeskChatFloat::ToastAtual();
  ASSERT_NE(t, nullptr);
  HWND ht = H(t);
  EXPECT_TRUE(IsWindowVisible(ht));
  EXPECT_TRUE(GetWindowLongW(ht, GWL_EXSTYLE) & WS_EX_TOPMOST);
  const RECT rt = Janela(ht);
  EXPECT_EQ(rt.right, area.right - 18);
  EXPECT_EQ(rt.bottom, area.bottom - 78);
  EXPECT_TRUE(CapturarJanela(h, "chat_balao_badge"));
  EXPECT_TRUE(CapturarJanela(ht, "chat_toast"));
  EXPECT_TRUE(CapturarTela("chat_toast_tela"));

  // 150: "99+".
  Chat(150, "Ana", "Oi");
  TVeskChatFloat::AtualizarUnread();
  ASSERT_TRUE(AguardarPedidos());
  testeui::Bombear(300);
  EXPECT_TRUE(CapturarJanela(h, "chat_balao_99mais"));
  EXPECT_TRUE(CapturarJanela(H(TVeskChatFloat::ToastAtual()), "chat_toast_99mais"));

  // A drag by the mouse: the place is stored when released.
  SetCursorPos(r.left + 30, r.top + 30);
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  SetCursorPos(600, 400);
  SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 60));
  SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(60, 60));
  EXPECT_EQ(Janela(h).left, 570);
  EXPECT_EQ(Janela(h).top, 370);
  EXPECT_EQ(TConfigINI::LerInteiro("CHAT_FLOAT", "LEFT", 0), 570);
  EXPECT_EQ(TConfigINI::LerInteiro("CHAT_FLOAT", "TOP", 0), 370);
  rg ? DeleteObject(rg) : 0;

  // A click: mark everything read, then the stand-in browser where Chrome is
  // looked for, with the exact command line.
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::string pf = Base() + "pf";
  const std::string chrome = pf + "\\Google\\Chrome\\Application\\chrome.exe";
  Arquivos().CriarPastas(PastaDe(chrome));
  ASSERT_TRUE(CopyFileW(exe, ParaWide(chrome).c_str(), FALSE));
  SetEnvironmentVariableW(L"ProgramFiles", ParaWide(pf).c_str());
  SetEnvironmentVariableW(L"ProgramFiles(x86)", L"C:\\nada");
  SetEnvironmentVariableW(L"LocalAppData", L"C:\\nada");
  Admin("admin/requests/clear");
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
  ASSERT_TRUE(testeui::Esperar([&] { return !b->Abrindo(); }, 20000));
  EXPECT_NE(Admin("admin/requests").find("agent_chat_mark_read_all.php"), std::string::npos);
  EXPECT_EQ(b->Unread(), 0);
  ASSERT_NE(TVeskChatBrowser::ProcessoChat(), 0);
  // The stand-in may come up after the launcher stopped waiting for its window
  // (a busy machine): its record of the command line is what counts.
  std::string linha;
  EXPECT_TRUE(testeui::Esperar(
      [&] { return !(linha = LerArquivoTeste(chrome + ".linha.txt")).empty(); }, 20000));
  const std::string perfil = TVeskChatBrowser::PastaPerfil();
  EXPECT_NE(linha.find(" --app=\"" + Url("chat/") + "chat_agent.php?api_token=" + kToken +
                       "&token=" + kToken),
            std::string::npos)
      << linha;
  EXPECT_NE(linha.find("&origem=agente&embed=1&light=1&_="), std::string::npos) << linha;
  EXPECT_NE(linha.find(" --new-window --no-first-run --disable-extensions --user-data-dir=\"" +
                       perfil + "\""),
            std::string::npos)
      << linha;
  TVeskChatBrowser::Fechar();
  EXPECT_EQ(TVeskChatBrowser::ProcessoChat(), 0);
}

// Which of the two windows comes first from the top of the Z order.
HWND AcimaDe(HWND A, HWND B) {
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
    if (w == A || w == B) return w;
  return nullptr;
}

TEST_F(BolhaWin32, ToastFicaSobreOBalaoQueOsTimersErguem) {
  TFrmChatFloat* b = nullptr;
  ASSERT_NO_FATAL_FAILURE(IniciarBolha(b));
  HWND h = H(b);
  Chat(2, "Carlos Lima", "Bom dia!");
  TVeskChatFloat::AtualizarUnread();
  ASSERT_TRUE(AguardarPedidos());
  TFrmChatToast* t = TVeskChatFloat::ToastAtual();
  ASSERT_NE(t, nullptr);
  HWND ht = H(t);
  // At the default place the bubble lies inside the toast's rectangle.
  RECT rb = Janela(h), rt = Janela(ht), comum{};
  ASSERT_TRUE(IntersectRect(&comum, &rb, &rt));
  ASSERT_LT(b->ShowAttempts(), 8) << "the keep-visible ticks ended before the toast";
  // The keep-visible ticks raise the bubble again and again.
  const int antes = b->ShowAttempts();
  testeui::Bombear(2000);
  ASSERT_GT(b->ShowAttempts(), antes);
  EXPECT_EQ(AcimaDe(ht, h), ht) << "the bubble covers the toast";
  b->MostrarForcado();
  EXPECT_EQ(AcimaDe(ht, h), ht) << "the bubble covers the toast";
  // The toast, not the bubble, takes a click on their common part.
  EXPECT_EQ(WindowFromPoint({(rb.left + rb.right) / 2, (rb.top + rb.bottom) / 2}), ht);
  testeui::Bombear(500);
  EXPECT_TRUE(CapturarTela("chat_toast_sobre_balao"));
  // A toast that closed stays closed when the bubble comes up.
  t->Fechar();
  b->MostrarForcado();
  testeui::Bombear(200);
  EXPECT_FALSE(IsWindowVisible(ht));
  EXPECT_TRUE(IsWindowVisible(h));
}

// A log-off or shutdown asked about and then cancelled, and Alt+F4 or the
// system's close on the bubble: the bubble and the toast stay on screen, and
// the bubble still shows what the next poll brings.
TEST_F(BolhaWin32, FimDeSessaoCanceladoEAltF4DeixamOBalao) {
  TFrmChatFloat* b = nullptr;
  ASSERT_NO_FATAL_FAILURE(IniciarBolha(b));
  HWND h = H(b);
  Chat(2, "Carlos Lima", "Bom dia!");
  TVeskChatFloat::AtualizarUnread();
  ASSERT_TRUE(AguardarPedidos());
  TFrmChatToast* t = TVeskChatFloat::ToastAtual();
  ASSERT_NE(t, nullptr);
  HWND ht = H(t);
  testeui::Bombear(200);
  ASSERT_TRUE(IsWindowVisible(h));
  ASSERT_TRUE(IsWindowVisible(ht));
  for (LPARAM motivo : {LPARAM(ENDSESSION_LOGOFF), LPARAM(0)}) {
    for (HWND w : {h, ht}) {
      DWORD_PTR r = 0;
      ASSERT_TRUE(
          SendMessageTimeoutW(w, WM_QUERYENDSESSION, 0, motivo, SMTO_ABORTIFHUNG, 5000, &r));
      EXPECT_EQ(r, static_cast<DWORD_PTR>(TRUE)) << "a log-off held up";
    }
    for (HWND w : {h, ht}) SendMessageW(w, WM_ENDSESSION, FALSE, motivo);  // cancelled
    testeui::Bombear(100);
    EXPECT_TRUE(IsWindowVisible(h)) << motivo;
    EXPECT_TRUE(IsWindowVisible(ht)) << motivo;
  }
  EXPECT_FALSE(ui::app::Terminando());
  SendMessageW(h, WM_CLOSE, 0, 0);
  SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
  testeui::Bombear(100);
  EXPECT_TRUE(IsWindowVisible(h)) << "Alt+F4 took the bubble away";
  EXPECT_FALSE(b->Fechada());
  Chat(4, "Carlos Lima", "Oi");
  TVeskChatFloat::AtualizarUnread();
  ASSERT_TRUE(AguardarPedidos());
  EXPECT_EQ(b->Unread(), 4);
  EXPECT_TRUE(IsWindowVisible(h));
}

TEST_F(BolhaWin32, ServidorDoChatQueNuncaRespondeNaoPrendeAsJanelas) {
  // A port that accepts connections and never answers.
  SOCKET s = INVALID_SOCKET;
  ASSERT_NO_FATAL_FAILURE(ApontarChatParaPortaMuda(s, 8));
  const DWORD t0 = GetTickCount();
  TVeskChatFloat::Iniciar();
  EXPECT_LT(GetTickCount() - t0, 2000u) << "the first poll held the UI thread";
  HWND h = H(TVeskChatFloat::Bolha());
  // The windows answer at once while the request hangs; ticks skip it.
  for (int i = 0; i < 5; ++i) {
    DWORD_PTR r = 0;
    const DWORD t = GetTickCount();
    EXPECT_TRUE(SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &r));
    TVeskChatFloat::AtualizarUnread();
    testeui::Bombear(200);
    EXPECT_LT(GetTickCount() - t, 1000u);
  }
  EXPECT_TRUE(TPedidosChat::Ocupado());
  EXPECT_TRUE(CapturarTela("chat_balao_servidor_mudo"));
  closesocket(s);
  // The request ends with the connection's close and is reported.
  EXPECT_TRUE(AguardarPedidos(40000));
}

}  // namespace
