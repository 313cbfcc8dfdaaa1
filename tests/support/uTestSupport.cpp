// Doubles and fixtures shared by the tests.
#include "tests/support/uTestSupport.h"

#include "platform/uHttpTransporte.h"

#include "platform/uTexto.h"
#include "uBuildConfig.h"

#include <cstdio>
#ifdef _WIN32
#include <share.h>
#include <windows.h>
#else
#include <sys/file.h>
#endif

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Sep() {
#ifdef _WIN32
  return "\\";
#else
  return "/";
#endif
}

[[maybe_unused]] void DefinirAmbiente(const char* ANome, const std::string& AValor, bool AApagar) {
#ifdef _WIN32
  _putenv_s(ANome, AApagar ? "" : AValor.c_str());
#else
  if (AApagar)
    unsetenv(ANome);
  else
    setenv(ANome, AValor.c_str(), 1);
#endif
}

// Removes everything under the folder (the folder itself stays), read-only
// entries included.
[[maybe_unused]] void EsvaziarPasta(const fs::path& APasta) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(APasta, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::directory_iterator(APasta, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code ec2;
    fs::remove_all(it->path(), ec2);
  }
}

}  // namespace

TPastaTemporaria::TPastaTemporaria() {
  static std::atomic<int> contador{0};
  std::random_device rd;
  const fs::path raiz = fs::temp_directory_path();
  for (;;) {
    std::ostringstream nome;
    nome << "vesk_teste_" << rd() << "_" << contador++;
    fs::path p = raiz / nome.str();
    std::error_code ec;
    if (fs::create_directories(p, ec)) {
      FCaminho = p.string() + Sep();
      break;
    }
  }
}

TPastaTemporaria::~TPastaTemporaria() {
  std::error_code ec;
  fs::permissions(FCaminho, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(FCaminho, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(FCaminho, ec);
}

TBaseTemporaria::TBaseTemporaria() {
#ifdef _WIN32
  // The base folder is compiled in; start from an empty one.
  FBase = VESK_PASTA_BASE_WINDOWS;
  std::error_code ec;
  fs::create_directories(fs::u8path(FBase), ec);
  EsvaziarPasta(fs::u8path(FBase));
#else
  FBase = FPasta.Caminho() + "VESKINTRANET" + Sep();
  if (const char* v = std::getenv("VESK_PASTA_BASE")) {
    FHaviaAnterior = true;
    FAnterior = v;
  }
  DefinirAmbiente("VESK_PASTA_BASE", FBase, false);
  if (const char* v = std::getenv("VESK_PASTA_LOCAL")) {
    FHaviaLocalAnterior = true;
    FLocalAnterior = v;
  }
  DefinirAmbiente("VESK_PASTA_LOCAL", FPasta.Caminho() + "local" + Sep(), false);
#endif
}

TBaseTemporaria::~TBaseTemporaria() {
#ifdef _WIN32
  EsvaziarPasta(fs::u8path(FBase));
#else
  DefinirAmbiente("VESK_PASTA_BASE", FAnterior, !FHaviaAnterior);
  DefinirAmbiente("VESK_PASTA_LOCAL", FLocalAnterior, !FHaviaLocalAnterior);
#endif
}

std::string PedidoDoTeste(const std::string& AURL, const std::string& ACorpoJson, bool APost) {
  TPedidoHttp p;
  p.URL = AURL;
  p.TempoConexaoMs = 5000;
  p.TempoRespostaMs = 10000;
  p.SeguirRedirecionamentos = false;
  if (APost || !ACorpoJson.empty()) {
    p.Metodo = "POST";
    p.Corpo = ACorpoJson.empty() ? "{}" : ACorpoJson;
    p.TipoConteudo = "application/json";
  }
  return HttpTransporte().Executar(p).Corpo;
}

std::string LerArquivoTeste(const std::string& ACaminho) {
  std::ifstream f(fs::u8path(ACaminho), std::ios::binary);
  if (!f) return {};
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void GravarArquivoTeste(const std::string& ACaminho, const std::string& ABytes) {
  fs::create_directories(fs::u8path(ACaminho).parent_path());
  std::ofstream f(fs::u8path(ACaminho), std::ios::binary | std::ios::trunc);
  f << ABytes;
}

void DefinirSomenteLeitura(const std::string& ACaminho, bool ASomenteLeitura) {
  const auto escrita = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(fs::u8path(ACaminho), escrita,
                  ASomenteLeitura ? fs::perm_options::remove : fs::perm_options::add);
}

TArquivoTravado::TArquivoTravado(const std::string& ACaminho) {
#ifdef _WIN32
  const std::u16string w = Utf8ParaUtf16(ACaminho);
  FArquivo = _wfsopen(reinterpret_cast<const wchar_t*>(w.c_str()), L"ab", _SH_DENYWR);
#else
  FILE* f = std::fopen(ACaminho.c_str(), "ab");
  if (f && flock(fileno(f), LOCK_EX | LOCK_NB) != 0) {
    std::fclose(f);
    f = nullptr;
  }
  FArquivo = f;
#endif
}

TArquivoTravado::~TArquivoTravado() {
  if (FArquivo) std::fclose(static_cast<FILE*>(FArquivo));
}

bool SomenteLeituraRespeitado() {
  TPastaTemporaria pasta;
  const std::string arq = pasta / "sonda.txt";
  GravarArquivoTeste(arq, "x");
  DefinirSomenteLeitura(arq, true);
  const bool aceito = Arquivos().Gravar(arq, "y");
  DefinirSomenteLeitura(arq, false);
#ifdef _WIN32
  return !aceito;
#else
  // Natively the profile writer itself honours the permission bits.
  (void)aceito;
  return true;
#endif
}

#ifdef _WIN32
namespace {

// A junction: the reparse point an account without privileges can make.
bool CriarJuncao(const std::wstring& AAlvo, const std::wstring& ALigacao) {
  if (!CreateDirectoryW(ALigacao.c_str(), nullptr)) return false;
  HANDLE h = CreateFileW(ALigacao.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    RemoveDirectoryW(ALigacao.c_str());
    return false;
  }
  const std::wstring nt = L"\\??\\" + AAlvo;
  const USHORT bytesNt = static_cast<USHORT>(nt.size() * sizeof(wchar_t));
  const USHORT bytesImpresso = static_cast<USHORT>(AAlvo.size() * sizeof(wchar_t));
  // REPARSE_DATA_BUFFER's mount-point form: tag, lengths, then both names.
  std::vector<BYTE> buf(8 + 8 + bytesNt + 2 + bytesImpresso + 2, 0);
  auto u16 = [&buf](size_t AEm, USHORT AValor) { std::memcpy(&buf[AEm], &AValor, 2); };
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(&buf[0], &tag, 4);
  u16(4, static_cast<USHORT>(buf.size() - 8));
  u16(8, 0);
  u16(10, bytesNt);
  u16(12, static_cast<USHORT>(bytesNt + 2));
  u16(14, bytesImpresso);
  std::memcpy(&buf[16], nt.data(), bytesNt);
  std::memcpy(&buf[16 + bytesNt + 2], AAlvo.data(), bytesImpresso);
  DWORD feito = 0;
  const bool ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buf.data(),
                                  static_cast<DWORD>(buf.size()), nullptr, 0, &feito, nullptr);
  CloseHandle(h);
  if (!ok) RemoveDirectoryW(ALigacao.c_str());
  return ok;
}

}  // namespace
#endif

bool CriarLigacao(const std::string& AAlvo, const std::string& ALigacao) {
#ifdef _WIN32
  // The C++ library makes no links on Windows: the system's own calls.
  const std::wstring alvo = fs::u8path(AAlvo).wstring(), ligacao = fs::u8path(ALigacao).wstring();
  std::error_code ec;
  const bool pasta = fs::is_directory(fs::u8path(AAlvo), ec);
  // 0x2: SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE (developer mode).
  // Wine 8 answers success without making anything: the entry must be there.
  if (CreateSymbolicLinkW(ligacao.c_str(), alvo.c_str(),
                          (pasta ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2) &&
      GetFileAttributesW(ligacao.c_str()) != INVALID_FILE_ATTRIBUTES)
    return true;
  return pasta && CriarJuncao(alvo, ligacao);
#else
  std::error_code ec;
  const fs::path alvo = fs::u8path(AAlvo), ligacao = fs::u8path(ALigacao);
  if (fs::is_directory(alvo, ec))
    fs::create_directory_symlink(alvo, ligacao, ec);
  else
    fs::create_symlink(alvo, ligacao, ec);
  return !ec;
#endif
}
