// Data resources on Windows: FindResourceW / LoadResource on the executable.
#include <windows.h>

#include "platform/uRecursos.h"

std::string LerRecursoDados(int AId) {
  HMODULE modulo = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(modulo, MAKEINTRESOURCEW(AId), MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!info) return {};
  HGLOBAL dados = LoadResource(modulo, info);
  const DWORD tamanho = SizeofResource(modulo, info);
  const void* p = dados ? LockResource(dados) : nullptr;
  if (!p || tamanho == 0) return {};
  // Resource memory belongs to the module and needs no release.
  return std::string(static_cast<const char*>(p), tamanho);
}
