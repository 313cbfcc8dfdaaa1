// Screenshots of windows and of the screen, encoded as PNG with WIC.
#include "tools/wine/uCaptura.h"

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>

namespace {

std::wstring Largo(const std::string& ATexto) {
  if (ATexto.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, ATexto.data(), static_cast<int>(ATexto.size()), nullptr, 0);
  std::wstring r(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, ATexto.data(), static_cast<int>(ATexto.size()), r.data(), n);
  return r;
}

std::string Estreito(const std::wstring& ATexto) {
  if (ATexto.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, ATexto.data(), static_cast<int>(ATexto.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string r(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, ATexto.data(), static_cast<int>(ATexto.size()), r.data(), n,
                      nullptr, nullptr);
  return r;
}

template <class T>
struct TCom {
  T* P = nullptr;
  ~TCom() {
    if (P) P->Release();
  }
  T** operator&() { return &P; }
  T* operator->() const { return P; }
};

// COM for the calling thread, left as it was found.
struct TComIniciado {
  bool Liberar = false;
  TComIniciado() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Liberar = SUCCEEDED(hr);  // S_FALSE too: that call must be balanced as well
  }
  ~TComIniciado() {
    if (Liberar) CoUninitialize();
  }
};

// Pixels of a 32-bit top-down DIB section, for GDI to draw into.
struct TQuadro {
  HDC Dc = nullptr;
  HBITMAP Bmp = nullptr;
  HGDIOBJ Antigo = nullptr;
  uint32_t* Bits = nullptr;
  int L = 0, A = 0;
  TQuadro(int AL, int AA) : L(AL), A(AA) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = AL;
    bi.bmiHeader.biHeight = -AA;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    Dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    Bmp = CreateDIBSection(Dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits = static_cast<uint32_t*>(bits);
    if (Dc && Bmp) Antigo = SelectObject(Dc, Bmp);
  }
  ~TQuadro() {
    if (Antigo) SelectObject(Dc, Antigo);
    if (Bmp) DeleteObject(Bmp);
    if (Dc) DeleteDC(Dc);
  }
  bool Ok() const { return Dc && Bmp && Bits; }
};

std::string NomeArquivoSeguro(const std::string& ANome) {
  std::string r = ANome.empty() ? std::string("captura") : ANome;
  for (char& c : r) {
    if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"/\\|?*", c)) c = '_';
  }
  return r;
}

// GDI leaves the alpha byte of what it draws at 0; a screenshot is opaque.
bool GravarPng(const std::wstring& ACaminho, TQuadro& AQuadro) {
  for (int i = 0; i < AQuadro.L * AQuadro.A; ++i) AQuadro.Bits[i] |= 0xFF000000u;
  TComIniciado com;
  TCom<IWICImagingFactory> fab;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&fab))))
    return false;
  TCom<IWICStream> fluxo;
  if (FAILED(fab->CreateStream(&fluxo))) return false;
  if (FAILED(fluxo->InitializeFromFilename(ACaminho.c_str(), GENERIC_WRITE))) return false;
  TCom<IWICBitmapEncoder> cod;
  if (FAILED(fab->CreateEncoder(GUID_ContainerFormatPng, nullptr, &cod))) return false;
  if (FAILED(cod->Initialize(fluxo.P, WICBitmapEncoderNoCache))) return false;
  TCom<IWICBitmapFrameEncode> quadro;
  if (FAILED(cod->CreateNewFrame(&quadro, nullptr))) return false;
  if (FAILED(quadro->Initialize(nullptr))) return false;
  if (FAILED(quadro->SetSize(AQuadro.L, AQuadro.A))) return false;
  WICPixelFormatGUID formato = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(quadro->SetPixelFormat(&formato))) return false;
  if (!IsEqualGUID(formato, GUID_WICPixelFormat32bppBGRA)) return false;
  const UINT passo = static_cast<UINT>(AQuadro.L) * 4;
  if (FAILED(quadro->WritePixels(AQuadro.A, passo, passo * AQuadro.A,
                                 reinterpret_cast<BYTE*>(AQuadro.Bits))))
    return false;
  if (FAILED(quadro->Commit())) return false;
  return SUCCEEDED(cod->Commit());
}

std::wstring CaminhoCaptura(const std::string& ANome) {
  const std::wstring pasta = Largo(PastaCapturas());
  CreateDirectoryW(pasta.c_str(), nullptr);
  return pasta + L"\\" + Largo(NomeArquivoSeguro(ANome)) + L".png";
}

// Lets the window and Wine's display driver finish painting before the copy.
void ProcessarPintura(HWND AJanela) {
  RedrawWindow(AJanela, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const DWORD fim = GetTickCount() + 250;
  MSG msg;
  while (static_cast<LONG>(GetTickCount() - fim) < 0) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

bool CopiarDaTela(const RECT& ARet, TQuadro& AQuadro) {
  HDC tela = GetDC(nullptr);
  if (!tela) return false;
  const BOOL ok = BitBlt(AQuadro.Dc, 0, 0, AQuadro.L, AQuadro.A, tela, ARet.left, ARet.top,
                         SRCCOPY | CAPTUREBLT);
  ReleaseDC(nullptr, tela);
  return ok != FALSE;
}

}  // namespace

std::string PastaCapturas() {
  wchar_t buf[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableW(L"VESK_SCREENS_WIN", buf, MAX_PATH * 2);
  std::wstring pasta;
  if (n > 0 && n < MAX_PATH * 2) {
    pasta.assign(buf, n);
  } else {
    const DWORD m = GetCurrentDirectoryW(MAX_PATH * 2, buf);
    pasta.assign(buf, m);
  }
  while (!pasta.empty() && (pasta.back() == L'\\' || pasta.back() == L'/')) pasta.pop_back();
  return Estreito(pasta);
}

bool CapturarJanela(void* hwnd, const std::string& nome) {
  HWND janela = static_cast<HWND>(hwnd);
  if (!janela || !IsWindow(janela)) return false;
  RECT r{};
  if (!GetWindowRect(janela, &r)) return false;
  const int l = r.right - r.left, a = r.bottom - r.top;
  if (l <= 0 || a <= 0) return false;
  TQuadro quadro(l, a);
  if (!quadro.Ok()) return false;

  RECT tela{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const bool naTela = IsWindowVisible(janela) && !IsIconic(janela) && r.left >= tela.left &&
                      r.top >= tela.top && r.right <= tela.right && r.bottom <= tela.bottom;
  bool ok = false;
  if (naTela) {
    SetWindowPos(janela, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ProcessarPintura(janela);
    ok = CopiarDaTela(r, quadro);
  } else {
    ProcessarPintura(janela);
    ok = PrintWindow(janela, quadro.Dc, PW_RENDERFULLCONTENT) != FALSE;
  }
  return ok && GravarPng(CaminhoCaptura(nome), quadro);
}

bool CapturarTela(const std::string& nome) {
  const RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  TQuadro quadro(r.right, r.bottom);
  if (!quadro.Ok()) return false;
  ProcessarPintura(GetDesktopWindow());
  return CopiarDaTela(r, quadro) && GravarPng(CaminhoCaptura(nome), quadro);
}

bool LerPng(const std::string& ACaminho, TPngLido& APng) {
  APng = TPngLido{};
  TComIniciado com;
  TCom<IWICImagingFactory> fab;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&fab))))
    return false;
  TCom<IWICBitmapDecoder> dec;
  if (FAILED(fab->CreateDecoderFromFilename(Largo(ACaminho).c_str(), &GUID_ContainerFormatPng,
                                            GENERIC_READ, WICDecodeMetadataCacheOnDemand, &dec)))
    return false;
  TCom<IWICBitmapFrameDecode> quadro;
  if (FAILED(dec->GetFrame(0, &quadro))) return false;
  TCom<IWICFormatConverter> conv;
  if (FAILED(fab->CreateFormatConverter(&conv))) return false;
  if (FAILED(conv->Initialize(quadro.P, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                              nullptr, 0.0, WICBitmapPaletteTypeCustom)))
    return false;
  UINT l = 0, a = 0;
  if (FAILED(conv->GetSize(&l, &a))) return false;
  std::vector<uint32_t> px(static_cast<size_t>(l) * a);
  if (FAILED(conv->CopyPixels(nullptr, l * 4, static_cast<UINT>(px.size() * 4),
                              reinterpret_cast<BYTE*>(px.data()))))
    return false;
  APng.Largura = static_cast<int>(l);
  APng.Altura = static_cast<int>(a);
  APng.Pixels = std::move(px);
  return true;
}
