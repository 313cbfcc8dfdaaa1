// Access rights concern: who besides the employee may change a folder or file.
#pragma once

#include <string>
#include <vector>

#include "platform/uSeam.h"

class IPermissoes {
 public:
  virtual ~IPermissoes() = default;
  // Adds to AQuem (without repeating one already there) each account or group
  // other than the current user, the system and the administrators that the
  // access rights of ACaminho let create, change or delete files there; false
  // when none does or the rights cannot be read. Windows: the allowing entries
  // of the DACL that apply to the object itself (a missing DACL lets everyone
  // in). POSIX: the group and world write bits, and an owner other than the
  // user or root.
  virtual bool OutrosPodemEscrever(const std::string& ACaminho,
                                   std::vector<std::string>& AQuem) = 0;
};

IPermissoes& ImplementacaoPadrao(SeamTag<IPermissoes>);
inline IPermissoes& Permissoes() {
  return Seam<IPermissoes>::Atual();
}
