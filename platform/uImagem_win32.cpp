// Pictures on Windows: WIC decodes PNG, JPEG and BMP to 32bppBGRA (straight alpha).
#include <windows.h>
#include <wincodec.h>

#include "platform/uImagem.h"

namespace {

// Releases the interface at the end of its scope.
template <class T>
class TCom {
 public:
  TCom() = default;
  ~TCom() {
    if (FPtr) FPtr->Release();
  }
  TCom(const TCom&) = delete;
  TCom& operator=(const TCom&) = delete;
  T** operator&() { return &FPtr; }
  T* operator->() const { return FPtr; }
  T* get() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }

 private:
  T* FPtr = nullptr;
};

// COM for the calling thread, once; a thread that already chose another
// apartment keeps it (WIC works in both).
bool GarantirCom() {
  static thread_local bool iniciado = false;
  if (!iniciado) {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    iniciado = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
  }
  return iniciado;
}

const GUID* Conteiner(TFormatoImagem AFormato) {
  switch (AFormato) {
    case TFormatoImagem::Png:
      return &GUID_ContainerFormatPng;
    case TFormatoImagem::Jpeg:
      return &GUID_ContainerFormatJpeg;
    case TFormatoImagem::Bmp:
      return &GUID_ContainerFormatBmp;
    case TFormatoImagem::PeloNome:
      break;
  }
  return nullptr;
}

bool Decodificar(std::string_view ABytes, TFormatoImagem AFormato, TBitmap& AImagem) {
  if (ABytes.empty() || ABytes.size() > MAXDWORD || !GarantirCom()) return false;
  TCom<IWICImagingFactory> fabrica;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&fabrica))))
    return false;
  TCom<IWICStream> fluxo;
  if (FAILED(fabrica->CreateStream(&fluxo))) return false;
  auto* dados = reinterpret_cast<BYTE*>(const_cast<char*>(ABytes.data()));
  if (FAILED(fluxo->InitializeFromMemory(dados, static_cast<DWORD>(ABytes.size())))) return false;

  TCom<IWICBitmapDecoder> decodificador;
  if (const GUID* formato = Conteiner(AFormato)) {
    // The decoder of the asked format only: a PNG named ".jpg" must fail as JPEG.
    if (FAILED(fabrica->CreateDecoder(*formato, nullptr, &decodificador))) return false;
    if (FAILED(decodificador->Initialize(fluxo.get(), WICDecodeMetadataCacheOnDemand)))
      return false;
  } else if (FAILED(fabrica->CreateDecoderFromStream(
                 fluxo.get(), nullptr, WICDecodeMetadataCacheOnDemand, &decodificador))) {
    return false;
  }
  TCom<IWICBitmapFrameDecode> quadro;
  if (FAILED(decodificador->GetFrame(0, &quadro))) return false;
  UINT w = 0, h = 0;
  if (FAILED(quadro->GetSize(&w, &h))) return false;
  const int fator = FatorReducao(w, h);
  if (fator == 0) return false;
  const int originalW = static_cast<int>(w), originalH = static_cast<int>(h);

  IWICBitmapSource* origem = quadro.get();
  TCom<IWICBitmapScaler> escala;
  if (fator > 1) {
    w = (w + fator - 1) / fator;
    h = (h + fator - 1) / fator;
    if (FAILED(fabrica->CreateBitmapScaler(&escala))) return false;
    if (FAILED(escala->Initialize(origem, w, h, WICBitmapInterpolationModeNearestNeighbor)))
      return false;
    origem = escala.get();
  }
  TCom<IWICFormatConverter> conversor;
  if (FAILED(fabrica->CreateFormatConverter(&conversor))) return false;
  if (FAILED(conversor->Initialize(origem, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom)))
    return false;
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  const UINT passo = w * 4;
  if (FAILED(conversor->CopyPixels(nullptr, passo, static_cast<UINT>(pixels.size() * 4),
                                   reinterpret_cast<BYTE*>(pixels.data()))))
    return false;
  // BGRA bytes in memory are 0xAARRGGBB words on this little-endian machine.
  AImagem.Largura = static_cast<int>(w);
  AImagem.Altura = static_cast<int>(h);
  AImagem.LarguraOriginal = originalW;
  AImagem.AlturaOriginal = originalH;
  AImagem.Pixels = std::move(pixels);
  return true;
}

}  // namespace

bool DecodificarImagemMemoria(std::string_view ABytes, TFormatoImagem AFormato, TBitmap& AImagem) {
  AImagem = TBitmap{};
  if (AFormato == TFormatoImagem::PeloNome) AFormato = FormatoPelaAssinatura(ABytes);
  if (AFormato == TFormatoImagem::PeloNome) return false;
  bool ok = false;
  try {
    ok = Decodificar(ABytes, AFormato, AImagem);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) AImagem = TBitmap{};
  return ok;
}
