// Access rights on Windows: the DACL of the folder or file.
#include <windows.h>
// windows.h first: these need its types.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <vector>

#include "platform/uPermissoes.h"
#include "platform/uWin32Texto.h"

namespace {

// Rights that let someone put, replace or remove files, or take the object over.
constexpr ACCESS_MASK kEscrita = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                                 WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// NT SERVICE\TrustedInstaller, which owns the system's own folders.
constexpr const wchar_t* kTrustedInstaller =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

class TLocal {
 public:
  explicit TLocal(void* AP = nullptr) : FP(AP) {}
  ~TLocal() {
    if (FP) LocalFree(FP);
  }
  TLocal(const TLocal&) = delete;
  TLocal& operator=(const TLocal&) = delete;
  void** Endereco() { return &FP; }

 private:
  void* FP;
};

std::vector<BYTE> SidDoUsuario() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD n = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &n);
  std::vector<BYTE> buf(n);
  const bool ok = n > 0 && GetTokenInformation(token, TokenUser, buf.data(), n, &n);
  CloseHandle(token);
  if (!ok) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid;
  std::vector<BYTE> r(GetLengthSid(sid));
  CopySid(static_cast<DWORD>(r.size()), r.data(), sid);
  return r;
}

std::string TextoDoSid(PSID ASid) {
  wchar_t* texto = nullptr;
  if (!ConvertSidToStringSidW(ASid, &texto)) return "?";
  TLocal liberar(texto);
  return DeWide(texto);
}

bool Confiavel(PSID ASid, const std::vector<BYTE>& AUsuario) {
  if (!AUsuario.empty() && EqualSid(ASid, const_cast<BYTE*>(AUsuario.data()))) return true;
  if (IsWellKnownSid(ASid, WinLocalSystemSid) ||
      IsWellKnownSid(ASid, WinBuiltinAdministratorsSid) || IsWellKnownSid(ASid, WinCreatorOwnerSid))
    return true;
  return TextoDoSid(ASid) == DeWide(kTrustedInstaller);
}

// "DOMINIO\nome (S-1-...)", or the SID alone when it has no name here.
std::string NomeDoSid(PSID ASid) {
  wchar_t nome[256], dominio[256];
  DWORD n = 256, d = 256;
  SID_NAME_USE uso;
  const std::string sid = TextoDoSid(ASid);
  if (!LookupAccountSidW(nullptr, ASid, nome, &n, dominio, &d, &uso)) return sid;
  const std::string conta = (d > 0 ? DeWide(dominio) + "\\" : std::string()) + DeWide(nome);
  return conta + " (" + sid + ")";
}

class TPermissoesWin32 final : public IPermissoes {
 public:
  bool OutrosPodemEscrever(const std::string& ACaminho, std::vector<std::string>& AQuem) override {
    PACL dacl = nullptr;
    TLocal descritor;
    if (GetNamedSecurityInfoW(ParaWide(ACaminho).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &dacl, nullptr,
                              reinterpret_cast<PSECURITY_DESCRIPTOR*>(descritor.Endereco())) !=
        ERROR_SUCCESS)
      return false;
    auto incluir = [&AQuem](const std::string& ANome) {
      if (std::find(AQuem.begin(), AQuem.end(), ANome) == AQuem.end()) AQuem.push_back(ANome);
    };
    if (!dacl) {
      incluir("Todos (sem lista de acesso)");
      return true;
    }
    const std::vector<BYTE> usuario = SidDoUsuario();
    bool algum = false;
    // Deny entries are not weighed: an allow that a deny cancels still warns,
    // which errs on the side of saying so.
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      ACE_HEADER* h = nullptr;
      if (!GetAce(dacl, i, reinterpret_cast<void**>(&h)) || !h) continue;
      if (h->AceType != ACCESS_ALLOWED_ACE_TYPE || (h->AceFlags & INHERIT_ONLY_ACE)) continue;
      auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(h);
      if (!(ace->Mask & kEscrita)) continue;
      const PSID sid = reinterpret_cast<PSID>(&ace->SidStart);
      if (Confiavel(sid, usuario)) continue;
      incluir(NomeDoSid(sid));
      algum = true;
    }
    return algum;
  }
};

}  // namespace

IPermissoes& ImplementacaoPadrao(SeamTag<IPermissoes>) {
  static TPermissoesWin32 p;
  return p;
}
