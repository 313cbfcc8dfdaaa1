// Painting the notice popup's expanded view of a 24-megapixel photo on real
// windows (run under Wine by ./run bench): the time of each paint and the
// process's peak memory above its idle state, at zoom 1 and at zoom 5.0. A
// paint must cost a screenful whatever the zoom: the peak growth stays under
// 64 MiB. For scale, the repaint of a view already prepared (a copy of it) is
// timed too, and what holding the photo and loading it cost is reported.
//   wbench_popup_pintura [PAINTS]   (default 8 for each zoom)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "notices/uPopupMensagem.h"
#include "platform/uArquivos.h"
#include "platform/uImagem.h"
#include "platform/ui/uKit.h"

namespace {

constexpr int kFotoL = 6000, kFotoA = 4000;
constexpr double kLimiteMiB = 64.0;

// ---------------------------------------------------------------- memory

// Resident size now and its peak in KiB (under Wine: Linux's VmRSS and VmHWM).
void Memoria(long long& AAtual, long long& APico) {
  PROCESS_MEMORY_COUNTERS c{};
  c.cb = sizeof(c);
  GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof(c));
  AAtual = static_cast<long long>(c.WorkingSetSize / 1024);
  APico = static_cast<long long>(c.PeakWorkingSetSize / 1024);
}

long long Atual() {
  long long a = 0, p = 0;
  Memoria(a, p);
  return a;
}

std::string LerArquivoPequeno(const std::wstring& ACaminho) {
  HANDLE f = CreateFileW(ACaminho.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  char buf[4096];
  DWORD lidos = 0;
  const BOOL ok = ReadFile(f, buf, sizeof(buf), &lidos, nullptr);
  CloseHandle(f);
  return ok ? std::string(buf, lidos) : std::string();
}

// Under Wine this process is a Linux process, and Z: is the root of the Linux
// file system; files are opened by the Wine server, so /proc/self is not us.
// Ours is the /proc entry that has our name and our resident size.
std::wstring NossaPastaProc() {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring nome = exe;
  nome = nome.substr(nome.find_last_of(L"\\/") + 1).substr(0, 15);  // as Linux keeps it
  const std::string procurado = "Name:\t" + std::string(nome.begin(), nome.end()) + "\n";
  std::wstring melhor;
  long long menorDiferenca = -1;
  WIN32_FIND_DATAW d{};
  HANDLE h = FindFirstFileW(L"Z:\\proc\\*", &d);
  if (h == INVALID_HANDLE_VALUE) return {};
  do {
    if (d.cFileName[0] < L'0' || d.cFileName[0] > L'9') continue;
    const std::wstring pasta = std::wstring(L"Z:\\proc\\") + d.cFileName + L"\\";
    const std::string status = LerArquivoPequeno(pasta + L"status");
    if (status.rfind(procurado, 0) != 0) continue;
    const size_t p = status.find("VmRSS:");
    if (p == std::string::npos) continue;
    const long long diferenca = std::llabs(std::atoll(status.c_str() + p + 6) - Atual());
    if (menorDiferenca < 0 || diferenca < menorDiferenca) {
      menorDiferenca = diferenca;
      melhor = pasta;
    }
  } while (FindNextFileW(h, &d));
  FindClose(h);
  return melhor;
}

// Resets the peak resident size to the present one (Linux's clear_refs).
bool ZerarPico() {
  static const std::wstring pasta = NossaPastaProc();
  if (pasta.empty()) return false;
  HANDLE f = CreateFileW((pasta + L"clear_refs").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD escritos = 0;
  const BOOL ok = WriteFile(f, "5", 1, &escritos, nullptr);
  CloseHandle(f);
  long long atual = 0, pico = 0;
  Memoria(atual, pico);
  return ok && escritos == 1 && pico - atual < 1024;
}

bool GPicoZeravel = false;

double Mib(long long AKb) {
  return AKb / 1024.0;
}

// ---------------------------------------------------------------- timing

double Agora() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

struct TMedida {
  std::vector<double> Ms;  // each paint
  double PicoMib = 0;      // peak above the idle state
  double Media() const {
    double t = 0;
    for (double m : Ms) t += m;
    return Ms.empty() ? 0 : t / static_cast<double>(Ms.size());
  }
  double Maximo() const { return Ms.empty() ? 0 : *std::max_element(Ms.begin(), Ms.end()); }
};

void PintarAgora(TFrmPopupMensagem& P) {
  RedrawWindow(static_cast<HWND>(P.ScrollImagem()->HandleNativo()), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// APinturas paints of new views (the area scrolled to another place each time,
// as a scroll or a zoom brings one), then as many repaints of the last view.
void Medir(TFrmPopupMensagem& P, int APinturas, TMedida& ANovas, TMedida& ARepinturas,
           long long AOcioso) {
  ui::TRolagem* area = P.ScrollImagem();
  const int faixaH = std::max(0, area->FaixaHorizontal() - area->LarguraVisivel());
  const int faixaV = std::max(0, area->FaixaVertical() - area->AlturaVisivel());
  for (int k = 0; k < APinturas; ++k) {
    const double t0 = Agora();
    area->DefinirPosicaoHorizontal(
        static_cast<int>(static_cast<long long>(faixaH) * k / std::max(1, APinturas - 1)));
    area->DefinirPosicaoVertical(static_cast<int>(
        static_cast<long long>(faixaV) * (APinturas - 1 - k) / std::max(1, APinturas - 1)));
    PintarAgora(P);
    ANovas.Ms.push_back((Agora() - t0) * 1000.0);
  }
  for (int k = 0; k < APinturas; ++k) {
    const double t0 = Agora();
    PintarAgora(P);
    ARepinturas.Ms.push_back((Agora() - t0) * 1000.0);
  }
  long long atual = 0, pico = 0;
  Memoria(atual, pico);
  ANovas.PicoMib = ARepinturas.PicoMib = Mib(pico - AOcioso);
}

// Ends the peak measure of the idle state: the idle size is the present one.
long long Ocioso() {
  ui::app::ProcessarMensagens();
  GPicoZeravel = ZerarPico();
  return Atual();
}

void Imprimir(const char* ANome, const TMedida& ANovas, const TMedida& ARepinturas) {
  std::printf(
      "%-9s new view %6.1f ms per paint (max %6.1f); repaint of the same view %5.1f ms; "
      "peak %5.1f MiB above idle\n",
      ANome, ANovas.Media(), ANovas.Maximo(), ARepinturas.Media(), ANovas.PicoMib);
}

// A photo-like 24-megapixel picture: colours that change from pixel to pixel.
bool GravarFoto(const std::string& ACaminho) {
  TBitmap b;
  b.Largura = kFotoL;
  b.Altura = kFotoA;
  b.Pixels.resize(static_cast<size_t>(kFotoL) * kFotoA);
  for (int y = 0; y < kFotoA; ++y)
    for (int x = 0; x < kFotoL; ++x)
      b.Pixels[static_cast<size_t>(y) * kFotoL + x] =
          0xFF000000u | (static_cast<uint32_t>(x * 7 ^ y * 13) & 0xFFFFFF);
  return GravarBmp24(ACaminho, b);
}

}  // namespace

int main(int argc, char** argv) {
  const int pinturas = argc > 1 ? std::max(2, std::atoi(argv[1])) : 8;
  const std::string foto = Arquivos().PastaTemporaria() + "wbench_foto_24mp.bmp";
  if (!GravarFoto(foto)) {
    std::fprintf(stderr, "wbench_popup_pintura: could not write %s\n", foto.c_str());
    return 1;
  }
  const long long antes = Ocioso();

  TMedida z1, z1Repintura, z5, z5Repintura;
  double zoomMaximo = 0;
  long long comFoto = 0, picoCarga = 0;
  int passo = 0;
  bool ocupado = false, viuEspera = false;
  ui::TTemporizador t;
  t.DefinirIntervalo(50);
  t.AoDisparar = [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    if (ocupado || !p || !p->EmEspera()) return;
    ocupado = true;
    viuEspera = true;
    switch (passo++) {
      case 0: {
        long long atual = 0;
        Memoria(atual, picoCarga);
        p->TimerConfirmacaoTimer();
        p->AlternarExpansao();  // the expanded view, at zoom 1
        PintarAgora(*p);
        break;
      }
      case 1: {
        comFoto = Ocioso();
        Medir(*p, pinturas, z1, z1Repintura, comFoto);
        break;
      }
      case 2: {
        const long long ocioso = Ocioso();
        const double t0 = Agora();
        for (int i = 0; i < 16; ++i) p->RodaMouseImagem(120, true);  // Ctrl + wheel to 5.0
        PintarAgora(*p);
        const double primeira = (Agora() - t0) * 1000.0;
        Medir(*p, pinturas, z5, z5Repintura, ocioso);
        z5.Ms.insert(z5.Ms.begin(), primeira);
        zoomMaximo = p->ZoomImagem();
        break;
      }
      default:
        p->chkConfirmacao->Clicar();
        p->btnOK->Clicar();
        break;
    }
    ocupado = false;
  };
  t.DefinirHabilitado(true);
  TFrmPopupMensagem::Exibir("Vesk", "Foto", "Foto de 24 megapixels.", "", foto, "");
  Arquivos().Apagar(foto);
  if (!viuEspera || z1.Ms.empty() || z5.Ms.empty() || zoomMaximo != 5.0) {
    std::fprintf(stderr, "wbench_popup_pintura: the popup's wait was never seen, or no zoom 5\n");
    return 1;
  }

  std::printf("24-megapixel photo (%d x %d), expanded popup, %d paints per measure\n", kFotoL,
              kFotoA, pinturas);
  std::printf(
      "memory: %.1f MiB before the popup, %.1f MiB with the photo held (+%.1f), "
      "peak %.1f MiB while loading it\n",
      Mib(antes), Mib(comFoto), Mib(comFoto - antes), Mib(picoCarga));
  if (!GPicoZeravel)
    std::printf("(the peak could not be reset here: peaks are over the whole run)\n");
  Imprimir("zoom 1", z1, z1Repintura);
  Imprimir("zoom 5.0", z5, z5Repintura);
  std::printf(
      "(a new view: the area scrolled to another place; at 5.0 the first is the zoom "
      "itself)\n");
  const double pior = std::max(z1.PicoMib, z5.PicoMib);
  std::printf("peak growth while painting: %.1f MiB (limit %.0f MiB): %s\n", pior, kLimiteMiB,
              pior < kLimiteMiB ? "ok" : "ABOVE THE LIMIT");
  return pior < kLimiteMiB ? 0 : 1;
}
