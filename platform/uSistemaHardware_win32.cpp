// Hardware facts on Windows: system calls, and WMI through the scripting
// locator object, driven by late binding as a script would drive it.
#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "platform/uSistemaHardware.h"
#include "platform/uWin32Texto.h"

namespace {

// Owns one COM reference.
template <class T>
class TRefCom {
 public:
  TRefCom() = default;
  ~TRefCom() { Soltar(); }
  TRefCom(const TRefCom&) = delete;
  TRefCom& operator=(const TRefCom&) = delete;
  T* operator->() const { return FPtr; }
  T* Get() const { return FPtr; }
  T** Endereco() {
    Soltar();
    return &FPtr;
  }
  explicit operator bool() const { return FPtr != nullptr; }

 private:
  void Soltar() {
    if (FPtr) FPtr->Release();
    FPtr = nullptr;
  }
  T* FPtr = nullptr;
};

// A VARIANT cleared on every way out.
class TVariante {
 public:
  TVariante() { VariantInit(&V); }
  ~TVariante() { VariantClear(&V); }
  TVariante(const TVariante&) = delete;
  TVariante& operator=(const TVariante&) = delete;
  VARIANT V;
};

// A BSTR argument.
class TBstr {
 public:
  explicit TBstr(const std::string& ATexto) {
    const std::wstring w = ParaWide(ATexto);
    FB = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  }
  ~TBstr() { SysFreeString(FB); }
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;
  BSTR Get() const { return FB; }

 private:
  BSTR FB = nullptr;
};

// Calls a member by name with string arguments (in their written order).
bool Invocar(IDispatch* AObj, const wchar_t* ANome, WORD AFlags, const std::vector<BSTR>& AArgs,
             VARIANT& AResultado) {
  if (!AObj) return false;
  DISPID id = 0;
  LPOLESTR nome = const_cast<LPOLESTR>(ANome);
  if (FAILED(AObj->GetIDsOfNames(IID_NULL, &nome, 1, LOCALE_USER_DEFAULT, &id))) return false;
  std::vector<VARIANT> args(AArgs.size());
  // IDispatch takes its arguments last first.
  for (size_t i = 0; i < AArgs.size(); ++i) {
    VariantInit(&args[i]);
    args[i].vt = VT_BSTR;
    args[i].bstrVal = AArgs[AArgs.size() - 1 - i];
  }
  DISPPARAMS p{};
  p.cArgs = static_cast<UINT>(args.size());
  p.rgvarg = args.empty() ? nullptr : args.data();
  return SUCCEEDED(
      AObj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, AFlags, &p, &AResultado, nullptr, nullptr));
}

// The dispatch interface of a VARIANT that holds an object.
bool Despacho(VARIANT& AV, TRefCom<IDispatch>& AObj) {
  if (AV.vt == VT_DISPATCH && AV.pdispVal)
    return SUCCEEDED(
        AV.pdispVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(AObj.Endereco())));
  if (AV.vt == VT_UNKNOWN && AV.punkVal)
    return SUCCEEDED(
        AV.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(AObj.Endereco())));
  return false;
}

bool PrimeiroObjeto(IDispatch* AConjunto, TRefCom<IDispatch>& AObj) {
  TVariante e;
  DISPPARAMS p{};
  if (FAILED(AConjunto->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                               DISPATCH_PROPERTYGET | DISPATCH_METHOD, &p, &e.V, nullptr, nullptr)))
    return false;
  IUnknown* u = e.V.vt == VT_UNKNOWN ? e.V.punkVal : e.V.vt == VT_DISPATCH ? e.V.pdispVal : nullptr;
  if (!u) return false;
  TRefCom<IEnumVARIANT> en;
  if (FAILED(u->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(en.Endereco()))))
    return false;
  TVariante item;
  ULONG n = 0;
  if (en->Next(1, &item.V, &n) != S_OK || n != 1) return false;
  return Despacho(item.V, AObj);
}

class TSistemaHardwareWin32 final : public ISistemaHardware {
 public:
  uint32_t NumeroProcessadores() override {
    SYSTEM_INFO si;
    ZeroMemory(&si, sizeof si);
    GetNativeSystemInfo(&si);
    return si.dwNumberOfProcessors;
  }
  bool MemoriaFisicaTotal(uint64_t& ABytes) override {
    MEMORYSTATUSEX m;
    ZeroMemory(&m, sizeof m);
    m.dwLength = sizeof m;
    if (!GlobalMemoryStatusEx(&m)) return false;
    ABytes = m.ullTotalPhys;
    return true;
  }
  bool EspacoDisco(const std::string& ARaiz, uint64_t& ATotal, uint64_t& ALivre) override {
    ULARGE_INTEGER livre{}, total{}, livreTotal{};
    if (!GetDiskFreeSpaceExW(ParaWide(ARaiz).c_str(), &livre, &total, &livreTotal)) return false;
    ATotal = total.QuadPart;
    ALivre = livre.QuadPart;
    return true;
  }
  bool VersaoWindows(uint32_t& AMaior, uint32_t& AMenor, uint32_t& ABuild) override {
    OSVERSIONINFOW v;
    ZeroMemory(&v, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // The manifest declares Windows 10 and 11, so the real numbers come back.
    if (!GetVersionExW(&v)) return false;
#pragma GCC diagnostic pop
    AMaior = v.dwMajorVersion;
    AMenor = v.dwMinorVersion;
    ABuild = v.dwBuildNumber;
    return true;
  }
  bool IniciarCom() override {
    return SUCCEEDED(CoInitialize(nullptr));
  }
  void FinalizarCom() override {
    CoUninitialize();
  }

  bool ConsultarWmi(const std::string& AConsulta, const std::string& APropriedade,
                    std::string& AValor) override {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"WbemScripting.SWbemLocator", &clsid))) return false;
    TRefCom<IDispatch> localizador;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(localizador.Endereco()))))
      return false;
    TBstr servidor("."), espaco("root\\cimv2"), consulta(AConsulta), propriedade(APropriedade);
    TVariante vServicos, vConjunto, vProps, vProp, vValor;
    TRefCom<IDispatch> servicos, conjunto, objeto, props, prop;
    if (!Invocar(localizador.Get(), L"ConnectServer", DISPATCH_METHOD,
                 {servidor.Get(), espaco.Get()}, vServicos.V) ||
        !Despacho(vServicos.V, servicos))
      return false;
    if (!Invocar(servicos.Get(), L"ExecQuery", DISPATCH_METHOD, {consulta.Get()}, vConjunto.V) ||
        !Despacho(vConjunto.V, conjunto))
      return false;
    if (!PrimeiroObjeto(conjunto.Get(), objeto)) return false;
    if (!Invocar(objeto.Get(), L"Properties_", DISPATCH_PROPERTYGET, {}, vProps.V) ||
        !Despacho(vProps.V, props))
      return false;
    if (!Invocar(props.Get(), L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {propriedade.Get()},
                 vProp.V) ||
        !Despacho(vProp.V, prop))
      return false;
    if (!Invocar(prop.Get(), L"Value", DISPATCH_PROPERTYGET, {}, vValor.V)) return false;
    if (vValor.V.vt == VT_NULL || vValor.V.vt == VT_EMPTY) return false;
    TVariante texto;
    if (FAILED(VariantChangeType(&texto.V, &vValor.V, 0, VT_BSTR)) || !texto.V.bstrVal)
      return false;
    AValor = DeWide(std::wstring_view(texto.V.bstrVal, SysStringLen(texto.V.bstrVal)));
    return !AValor.empty();
  }
};

}  // namespace

ISistemaHardware& ImplementacaoPadrao(SeamTag<ISistemaHardware>) {
  static TSistemaHardwareWin32 s;
  return s;
}
