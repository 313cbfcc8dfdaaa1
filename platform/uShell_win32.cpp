// Shell on Windows: ShellExecuteW.
#include <windows.h>
#include <shellapi.h>

#include "platform/uShell.h"
#include "platform/uWin32Texto.h"

namespace {

// An empty text is passed as no argument at all, as the API expects.
const wchar_t* OuNulo(const std::wstring& ATexto) {
  return ATexto.empty() ? nullptr : ATexto.c_str();
}

class TShellWin32 final : public IShell {
 public:
  intptr_t Executar(const TChamadaShell& AChamada) override {
    const std::wstring verbo = ParaWide(AChamada.Verbo), arquivo = ParaWide(AChamada.Arquivo),
                       parametros = ParaWide(AChamada.Parametros), pasta = ParaWide(AChamada.Pasta);
    HINSTANCE r = ShellExecuteW(static_cast<HWND>(AChamada.Janela), OuNulo(verbo), arquivo.c_str(),
                                OuNulo(parametros), OuNulo(pasta), AChamada.Mostrar);
    return reinterpret_cast<intptr_t>(r);
  }
};

}  // namespace

IShell& ImplementacaoPadrao(SeamTag<IShell>) {
  static TShellWin32 s;
  return s;
}
