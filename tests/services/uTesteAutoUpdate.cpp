// Self-update: versions, addresses, the batch script's bytes, the version
// resource, hash and signature checks, the attempt record, and the whole check
// against the development server with the shell and the quit recorded.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#endif

#include <rapidjson/document.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "config/uRepasseAtualizacao.h"
#include "config/uVersao.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uCripto.h"
#include "platform/uDigest.h"
#include "platform/uShell.h"
#include "services/uAutoUpdatePro.h"
#include "services/uPedidoSaida.h"
#include "services/uVersaoExe.h"
#include "tests/net/uAmbienteHttp.h"
#include "tests/support/uPeTeste.h"

namespace {

using pe_teste::Executavel;

TEST(VersaoTeste, CompararVersoesComoNumeros) {
  struct Caso {
    const char *Local, *Servidor;
    int Esperado;
  };
  const Caso casos[] = {
      {"1.0.115", "1.0.115.0", 0},     {"1.0.115", "1.0.116", -1},
      {"1.0.115", "1.0.99", 1},        {"1.0.115", "1.0.115b", 0},
      {"1.0.115", "1.0.116-rc", -1},   {"1.0.115.0.9", "1.0.115", 0},
      {" 1.0.115 ", "1.0.115", 0},     {"1.0.115", "99999999999.x", 1},  // overflow counts 0
      {"1.0.115", "2147483647.0", -1}, {"", "0.0.0.0", 0},
      {"1..115", "1.0.115", 0},        {"v1.a.115", "1.0.115", 0},
      {"1.0.115.1", "1.0.115.2", -1},  {"1.0.115.10", "1.0.115.9", 1},
  };
  for (const Caso& c : casos)
    EXPECT_EQ(TAutoUpdatePro::CompararVersoes(c.Local, c.Servidor), c.Esperado)
        << c.Local << " x " << c.Servidor;
  EXPECT_EQ(TAutoUpdatePro::ParteVersao("1.0.115", 2), 115);
  EXPECT_EQ(TAutoUpdatePro::ParteVersao("1.0.115", 3), 0);
  EXPECT_EQ(TAutoUpdatePro::ParteVersao("1.2147483648", 1), 0);
  EXPECT_EQ(TAutoUpdatePro::ParteVersao("1.2147483647", 1), 2147483647);
}

TEST(VersaoTeste, SoVersoesQueAComparacaoEntendeSaoAceitas) {
  const std::string de32(32, '1'), de33(33, '1');
  const std::pair<std::string, bool> casos[] = {
      {"1.0.116", true},
      {"1.0.116.2", true},
      {"1.0.116b", true},
      {"1.0.116-rc_2", true},
      {de32, true},
      {"99999999999.x", true},
      {"", false},
      {de33, false},
      {"v1.0.116", false},
      {".1", false},
      {"1.0.116\r\nREVERTIDA=1", false},
      {"1.0.116 beta", false},
      {"1.0.116\t", false},
      {"1.0.116\"", false},
      {"1.0/116", false},
      {"1.0.116\xC3\xA9", false},
  };
  for (const auto& [versao, aceita] : casos) EXPECT_EQ(VersaoAceitavel(versao), aceita) << versao;
}

TEST(VersaoTeste, ResolverUrlArquivo) {
  const std::string b = "http://srv/intranet/";
  const std::pair<const char*, std::string> casos[] = {
      {"downloads/Zelvan.exe", b + "downloads/Zelvan.exe"},
      {"/downloads/Zelvan.exe", b + "downloads/Zelvan.exe"},
      {"///downloads/Zelvan.exe", b + "downloads/Zelvan.exe"},
      {" HTTPS://cdn.x/Zelvan.exe ", "HTTPS://cdn.x/Zelvan.exe"},
      {"http://cdn.x/a.exe", "http://cdn.x/a.exe"},
      {"\\\\server\\share\\a.exe", b + "server\\share\\a.exe"},  // stays on the server
      {"downloads\\\\a.exe", b + "downloads/a.exe"},
      {"file:///c:/a.exe", b + "file:///c:/a.exe"},
      {"../../a.exe", b + "../../a.exe"},
  };
  for (const auto& [a, esperado] : casos)
    EXPECT_EQ(TAutoUpdatePro::ResolverUrlArquivo(b, a), esperado);
}

TEST(VersaoTeste, AntiCacheComHoraEMilissegundos) {
  TRelogioFalso relogio(CodificarDataHora({2024, 3, 7, 9, 5, 4, 321}));
  SubstituirConcern<IRelogio> troca(relogio);
  EXPECT_EQ(TAutoUpdatePro::AdicionarAntiCache(" http://a/api/update.json "),
            "http://a/api/update.json?t=20240307090504321");
  EXPECT_EQ(TAutoUpdatePro::AdicionarAntiCache("http://a/x.exe?v=2"),
            "http://a/x.exe?v=2&t=20240307090504321");
  EXPECT_EQ(TAutoUpdatePro::AdicionarAntiCache("   "), "");
}

TEST(BatTeste, BytesExatosDoScript) {
  std::string bytes, erro;
  ASSERT_TRUE(TAutoUpdatePro::MontarBatAtualizacao(
      "C:\\Vesk\\Zelvan.exe", "C:\\Vesk\\Zelvan.exe.novo", 4321,
      "C:\\Vesk\\backup\\Zelvan_backup_20240307_090504.exe", bytes, erro));
  EXPECT_EQ(bytes,
            "@echo off\r\n"
            "setlocal\r\n"
            "echo Atualizando Vesk Intranet Agent...\r\n"
            "timeout /t 2 /nobreak >nul\r\n"
            "taskkill /PID 4321 /F >nul 2>nul\r\n"
            "timeout /t 2 /nobreak >nul\r\n"
            "if exist \"C:\\Vesk\\Zelvan.exe\" copy /Y \"C:\\Vesk\\Zelvan.exe\" "
            "\"C:\\Vesk\\backup\\Zelvan_backup_20240307_090504.exe\" >nul\r\n"
            "move /Y \"C:\\Vesk\\Zelvan.exe.novo\" \"C:\\Vesk\\Zelvan.exe\" >nul\r\n"
            "if errorlevel 1 (\r\n"
            "  timeout /t 3 /nobreak >nul\r\n"
            "  move /Y \"C:\\Vesk\\Zelvan.exe.novo\" \"C:\\Vesk\\Zelvan.exe\" >nul\r\n"
            ")\r\n"
            "start \"\" \"C:\\Vesk\\Zelvan.exe\"\r\n"
            "endlocal\r\n"
            "del \"%~f0\" >nul 2>nul\r\n");

  // Blanks and "&" are safe inside the quotes; "%" is doubled so that it is not
  // expanded; "é" is one byte of the ANSI code page; no process id, no taskkill.
  ASSERT_TRUE(TAutoUpdatePro::MontarBatAtualizacao(
      "C:\\Program Files\\R&D 100%\\Zelvan.exe", "C:\\up\\Zelvan_new.exe", 0,
      "C:\\Program Files\\R&D 100%\\backup\\b.exe", bytes, erro));
  const std::vector<std::string> linhas = [&] {
    std::vector<std::string> r;
    size_t i = 0, p;
    while ((p = bytes.find("\r\n", i)) != std::string::npos)
      r.push_back(bytes.substr(i, p - i)), i = p + 2;
    EXPECT_EQ(i, bytes.size()) << "every line ends with CR LF";
    return r;
  }();
  ASSERT_EQ(linhas.size(), 14u);
  EXPECT_EQ(linhas[4], "timeout /t 2 /nobreak >nul");
  EXPECT_EQ(
      linhas[5],
      "if exist \"C:\\Program Files\\R&D 100%%\\Zelvan.exe\" copy /Y \"C:\\Program Files\\R&D "
      "100%%\\Zelvan.exe\" \"C:\\Program Files\\R&D 100%%\\backup\\b.exe\" >nul");
  EXPECT_EQ(linhas[11], "start \"\" \"C:\\Program Files\\R&D 100%%\\Zelvan.exe\"");
  EXPECT_EQ(linhas[13], "del \"%~f0\" >nul 2>nul");

  ASSERT_TRUE(TAutoUpdatePro::MontarBatAtualizacao("C:\\Usuários\\Zelvan.exe", "C:\\u\\n.exe", 1,
                                                   "C:\\b.exe", bytes, erro));
  EXPECT_NE(bytes.find("C:\\Usu\xE1rios\\Zelvan.exe"), std::string::npos);
  EXPECT_EQ(bytes.substr(0, 3), "@ec") << "no byte order mark";

  // A path the code page cannot spell is refused, not written as "?".
  EXPECT_FALSE(TAutoUpdatePro::MontarBatAtualizacao("C:\\Ωmega\\Zelvan.exe", "C:\\u\\n.exe", 1,
                                                    "C:\\b.exe", bytes, erro));
  EXPECT_NE(erro.find("C:\\Ωmega\\Zelvan.exe"), std::string::npos);
}

TEST(VersaoExeTeste, RecursoDeVersao) {
  std::string v;
  EXPECT_TRUE(LerVersaoExecutavel(Executavel(1, 0, 116, 0), v));
  EXPECT_EQ(v, "1.0.116.0");
  EXPECT_TRUE(LerVersaoExecutavel(Executavel(65535, 2, 3, 4), v));
  EXPECT_EQ(v, "65535.2.3.4");
  EXPECT_FALSE(LerVersaoExecutavel(Executavel(1, 0, 116, 0, 4096, false), v));
  EXPECT_FALSE(LerVersaoExecutavel(Executavel(1, 0, 116, 0).substr(0, 0x260), v));  // cut
  std::string mz("MZ");
  mz.resize(512, '\x7f');
  EXPECT_FALSE(LerVersaoExecutavel(mz, v));
  EXPECT_FALSE(LerVersaoExecutavel("<html></html>", v));
  std::string torto = Executavel(1, 0, 116, 0);
  pe_teste::U32(torto, 0x3C, 0xFFFFFFF0u);  // header beyond the file
  EXPECT_FALSE(LerVersaoExecutavel(torto, v));

  // The original file name among the version strings.
  std::string nome;
  EXPECT_TRUE(LerNomeOriginalExecutavel(Executavel(1, 0, 116, 0), nome));
  EXPECT_EQ(nome, "Zelvan.exe");
  EXPECT_TRUE(LerNomeOriginalExecutavel(Executavel(1, 0, 116, 0, 4096, true, "Wd.exe"), nome));
  EXPECT_EQ(nome, "Wd.exe");
  EXPECT_FALSE(LerNomeOriginalExecutavel(Executavel(1, 0, 116, 0, 4096, true, nullptr), nome));
  EXPECT_FALSE(LerNomeOriginalExecutavel(Executavel(1, 0, 116, 0, 4096, false), nome));
  EXPECT_FALSE(LerNomeOriginalExecutavel(torto, nome));
}

// A key pair and signature made once with openssl (ecparam prime256v1, dgst
// -sha256 -sign), so that the same answers hold for OpenSSL and for CNG.
const char* kChaveFixa =
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEN+"
    "dP5ltkrSpEw8CU3gonbtHE0roFEuOScJtef4ri6anTH4n6C0F9P3fyjDp"
    "iYXWubW+zd6F20wT7ABlvdRCFrw==";
const char* kAssinaturaFixa =
    "MEUCIFCckNVixH1FMN9PcUvyRffX2BiuIIMpRipaDa6yUfPRAiEAmxuqipKMESgsMkTdYyVppINaRzXxGpm57qZYTExxeY"
    "0=";

TEST(AssinaturaTeste, VetorFixoDoOpenssl) {
  const std::string digest = Sha256Hex("conteudo fixo do executavel");
  ASSERT_EQ(digest, "3ed3008d956493ff7cf0f9a911413bde9195dd6a1c409a439285b04f497b19ce");
  std::string erro;
  EXPECT_TRUE(TAutoUpdatePro::AssinaturaValida(kChaveFixa, digest, kAssinaturaFixa, erro)) << erro;
  EXPECT_FALSE(TAutoUpdatePro::AssinaturaValida(kChaveFixa, Sha256Hex("conteudo alterado"),
                                                kAssinaturaFixa, erro));
  EXPECT_EQ(erro, "assinatura do arquivo baixado invalida");
  std::string der, rs;
  ASSERT_TRUE(DecodificarBase64(kAssinaturaFixa, der));
  ASSERT_TRUE(AssinaturaParaRs(der, rs));
  EXPECT_TRUE(TAutoUpdatePro::AssinaturaValida(kChaveFixa, digest, CodificarBase64(rs), erro));
  rs[10] ^= 1;
  EXPECT_FALSE(TAutoUpdatePro::AssinaturaValida(kChaveFixa, digest, CodificarBase64(rs), erro));
}

TEST(AssinaturaTeste, DerDeSessentaEQuatroBytesNaoETomadaPorRs) {
  // r and s of 29 bytes each: the DER signature is 64 bytes long, like r || s.
  const std::string r(29, '\x11'), s(29, '\x22');
  const std::string der = std::string("\x30\x3E\x02\x1D", 4) + r + "\x02\x1D" + s;
  ASSERT_EQ(der.size(), 64u);
  std::string rs;
  ASSERT_TRUE(AssinaturaParaRs(der, rs));
  EXPECT_EQ(rs, std::string(3, '\0') + r + std::string(3, '\0') + s);
  // Raw r || s stays raw.
  const std::string cru(64, '\x33');
  ASSERT_TRUE(AssinaturaParaRs(cru, rs));
  EXPECT_EQ(rs, cru);
}

#ifndef _WIN32
// An ECDSA P-256 key pair made for the test, as the release tool uses one.
struct TChaveTeste {
  TChaveTeste() {
    EVP_PKEY_CTX* c = EVP_PKEY_CTX_new_id(EVP_PKEY_EC, nullptr);
    EVP_PKEY_keygen_init(c);
    EVP_PKEY_CTX_set_ec_paramgen_curve_nid(c, NID_X9_62_prime256v1);
    EVP_PKEY_keygen(c, &Par);
    EVP_PKEY_CTX_free(c);
    unsigned char* der = nullptr;
    const int n = i2d_PUBKEY(Par, &der);
    Publica = CodificarBase64(std::string(reinterpret_cast<char*>(der), static_cast<size_t>(n)));
    OPENSSL_free(der);
  }
  ~TChaveTeste() { EVP_PKEY_free(Par); }
  std::string Assinar(const std::string& ADigestHex) const {
    std::string d;
    DecodificarHex(ADigestHex, d);
    EVP_PKEY_CTX* c = EVP_PKEY_CTX_new(Par, nullptr);
    EVP_PKEY_sign_init(c);
    EVP_PKEY_CTX_set_signature_md(c, EVP_sha256());
    size_t n = 0;
    EVP_PKEY_sign(c, nullptr, &n, reinterpret_cast<const unsigned char*>(d.data()), d.size());
    std::string s(n, '\0');
    EVP_PKEY_sign(c, reinterpret_cast<unsigned char*>(s.data()), &n,
                  reinterpret_cast<const unsigned char*>(d.data()), d.size());
    EVP_PKEY_CTX_free(c);
    s.resize(n);
    return CodificarBase64(s);
  }
  EVP_PKEY* Par = nullptr;
  std::string Publica;
};

TEST(AssinaturaTeste, BoaErradaAusente) {
  const TChaveTeste chave, outra;
  const std::string digest = Sha256Hex("conteudo do executavel");
  const std::string sig = chave.Assinar(digest);
  std::string erro;
  EXPECT_TRUE(TAutoUpdatePro::AssinaturaValida(chave.Publica, digest, sig, erro)) << erro;
  EXPECT_FALSE(TAutoUpdatePro::AssinaturaValida(chave.Publica, Sha256Hex("outro"), sig, erro));
  EXPECT_EQ(erro, "assinatura do arquivo baixado invalida");
  EXPECT_FALSE(TAutoUpdatePro::AssinaturaValida(outra.Publica, digest, sig, erro));
  EXPECT_FALSE(TAutoUpdatePro::AssinaturaValida(chave.Publica, digest, "", erro));
  EXPECT_EQ(erro, "campo assinatura ausente no update.json");
  EXPECT_FALSE(TAutoUpdatePro::AssinaturaValida(chave.Publica, digest, "!!nao base64!!", erro));
  EXPECT_FALSE(TAutoUpdatePro::AssinaturaValida("AAAA", digest, sig, erro));
  EXPECT_EQ(erro, "chave de assinatura embutida invalida");
  // The same signature as 64 raw bytes (r || s) verifies too.
  std::string der, rs;
  ASSERT_TRUE(DecodificarBase64(sig, der));
  ASSERT_TRUE(AssinaturaParaRs(der, rs));
  EXPECT_TRUE(TAutoUpdatePro::AssinaturaValida(chave.Publica, digest, CodificarBase64(rs), erro));
}

#endif

TEST(AssinaturaTeste, Base64EHex) {
  std::string b;
  for (const std::string t : {"", "f", "fo", "foo", "foob", "fooba", "foobar"}) {
    ASSERT_TRUE(DecodificarBase64(CodificarBase64(t), b));
    EXPECT_EQ(b, t);
  }
  EXPECT_EQ(CodificarBase64("foobar"), "Zm9vYmFy");
  EXPECT_TRUE(DecodificarBase64("Zm9v\r\nYmE=", b));
  EXPECT_EQ(b, "fooba");
  EXPECT_FALSE(DecodificarBase64("Zm9v=YmE", b));
  EXPECT_FALSE(DecodificarHex("abc", b));
  EXPECT_FALSE(DecodificarHex("zz", b));
}

// Recorded answers of WinVerifyTrust and the signer's thumbprint, by path.
class TAssinaturasGravadas : public IAssinaturaArquivo {
 public:
  TAssinaturaArquivo Ler(const std::string& ACaminho) override {
    return NomeDe(ACaminho) == "Zelvan_new.exe" ? Nova : Atual;
  }
  TAssinaturaArquivo Atual, Nova;
};

// The running executable at a path of the test's own.
class TArquivosExe : public TArquivosComFalhas {
 public:
  std::string CaminhoExecutavel() override { return Exe; }
  bool LerTudo(const std::string& C, std::string& B) override {
    const bool ok = TArquivosComFalhas::LerTudo(C, B);
    if (AposLer) AposLer(C);
    return ok;
  }
  // The folder of the executable refuses new files, as Program Files does.
  bool Gravar(const std::string& C, std::string_view B) override {
    return !(PastaExeSemEscrita && PastaDe(C) == PastaDe(Exe)) && TArquivosComFalhas::Gravar(C, B);
  }
  std::string Exe;
  bool PastaExeSemEscrita = false;
  std::function<void(const std::string&)> AposLer;  // runs after each whole read
};

class AutoUpdateTeste : public TAmbienteHttp {
 protected:
  void SetUp() override {
    TAmbienteHttp::SetUp();
    if (HasFatalFailure()) return;
    FArquivos.Exe = FPastaExe / "Zelvan.exe";
    GravarArquivoTeste(FArquivos.Exe, Executavel(1, 0, 115, 0));
    FTrocas = std::make_unique<Trocas>(FArquivos, Sistema, Shell, Assinaturas);
    TConfigINI::EscreverTexto("SERVIDOR", "URL", Url("demo/intranet"));
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    TPedidoSaida::Reiniciar();
    TPedidoSaida::DefinirAcao([this] { ++Saidas; });
    TAutoUpdatePro::ChavePublica.clear();
    Admin("admin/reset");
  }
  void TearDown() override {
    if (!HasFatalFailure()) Admin("admin/reset");
    TAutoUpdatePro::ChavePublica = VESK_CHAVE_ATUALIZACAO;
    TPedidoSaida::DefinirAcao(nullptr);
    TPedidoSaida::Reiniciar();
    FTrocas.reset();
    TAmbienteHttp::TearDown();
  }

  // A manifest and the file it names, served by the development server.
  void Publicar(const std::string& AManifesto, const std::string& AArquivo = "",
                const std::string& AContentType = "application/octet-stream") {
    std::string c = "{\"update\":" + AManifesto;
    if (!AArquivo.empty())
      c += ",\"respostas\":{\"downloads/Zelvan_116.exe\":{\"content_type\":\"" + AContentType +
           "\",\"body_base64\":\"" + CodificarBase64(AArquivo) + "\"}}";
    Admin("admin/scenario", c + "}");
    Admin("admin/requests/clear");
  }
  std::vector<std::string> Pedidos() {
    rapidjson::Document d;
    const std::string t = Admin("admin/requests");
    d.Parse(t.c_str());
    std::vector<std::string> r;
    for (const auto& x : d.GetArray())
      r.push_back(LerTextoJson(&x, "method", "") + " " + LerTextoJson(&x, "path", "") + "?" +
                  LerTextoJson(&x, "query", ""));
    return r;
  }
  std::vector<std::string> LinhasUpdate() const {
    std::vector<std::string> r;
    for (const std::string& l : Linhas())
      if (Contem(MinusculasAscii(l), "auto update") || Contem(l, "erro tentativa")) r.push_back(l);
    return r;
  }
  // In the employee's own folder, not the shared base folder.
  std::string Update() const { return TConfigINI::PastaUsuario() + "update" + kSep; }
  std::string Novo() const { return Update() + "Zelvan_new.exe"; }
  std::string Script() const { return Update() + "aplicar_update_agente.bat"; }
  std::string Instalar() const { return FArquivos.Exe + ".novo"; }

  struct Trocas {
    Trocas(IArquivos& A, ISistema& S, IShell& H, IAssinaturaArquivo& G) : A(A), B(S), C(H), D(G) {}
    SubstituirConcern<IArquivos> A;
    SubstituirConcern<ISistema> B;
    SubstituirConcern<IShell> C;
    SubstituirConcern<IAssinaturaArquivo> D;
  };
  TPastaTemporaria FPastaExe;
  TArquivosExe FArquivos;
  TSistemaFalso Sistema;
  TShellGravador Shell;
  TAssinaturasGravadas Assinaturas;
  std::unique_ptr<Trocas> FTrocas;
  int Saidas = 0;
};

const char* kManifesto116 = "{\"versao\":\"1.0.116\",\"arquivo\":\"/downloads/Zelvan_116.exe\"}";

TEST_F(AutoUpdateTeste, AtualizacaoCompletaEntregueAoScript) {
  RelogioTeste().DefinirAgora(CodificarDataHora({2024, 3, 7, 9, 5, 4, 321}));
  const std::string exe116 = Executavel(1, 0, 116, 0, 70000);
  Publicar(std::string("{\"versao\":\"1.0.116\",\"arquivo\":\"/downloads/Zelvan_116.exe\","
                       "\"sha256\":\"") +
               Sha256Hex(exe116) + "\"}",
           exe116);
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");

  const std::string base = Url("demo/intranet/");
  const std::string t = "t=20240307090504321";
  EXPECT_EQ(LinhasUpdate(),
            (std::vector<std::string>{
                "Auto update: consultando " + base + "api/update.json?" + t,
                "Auto update: versao local=1.0.115 servidor=1.0.116",
                "Auto update: resultado comparacao=-1 (-1=servidor maior, 0=igual, 1=local maior)",
                "Auto update: atualizacao necessaria. Iniciando download. URL=" + base +
                    "downloads/Zelvan_116.exe?" + t,
                "Auto update: arquivo baixado em " + Novo() + " tamanho=70000",
                "Auto update: BAT criado em " + Script(),
                "Auto update: fechando agente para aplicar atualizacao.",
            }));
  EXPECT_EQ(Pedidos(),
            (std::vector<std::string>{"GET /demo/intranet/api/update.json?" + t,
                                      "GET /demo/intranet/downloads/Zelvan_116.exe?" + t}));
  EXPECT_EQ(LerArquivoTeste(Novo()), exe116);
  std::string esperado, erro;
  EXPECT_EQ(LerArquivoTeste(Instalar()), exe116) << "the verified copy, for the script to rename";
  EXPECT_EQ(Update().rfind(Base(), 0), std::string::npos) << "not under the shared base folder";
  ASSERT_TRUE(TAutoUpdatePro::MontarBatAtualizacao(
      FArquivos.Exe, Instalar(), 4321,
      FPastaExe / ("backup" + std::string(1, kSep) + "Zelvan_backup_20240307_090504.exe"), esperado,
      erro));
  EXPECT_EQ(LerArquivoTeste(Script()), esperado);
  EXPECT_TRUE(Arquivos().PastaExiste(FPastaExe / "backup"));
  ASSERT_EQ(Shell.Chamadas.size(), 1u);
  EXPECT_EQ(Shell.Chamadas[0].Verbo, "open");
  EXPECT_EQ(Shell.Chamadas[0].Arquivo, Script());
  EXPECT_EQ(Shell.Chamadas[0].Parametros, "");
  EXPECT_EQ(Shell.Chamadas[0].Pasta, Update());
  EXPECT_EQ(Shell.Chamadas[0].Mostrar, kSwShowNormal);
  EXPECT_EQ(Saidas, 1);
  EXPECT_TRUE(TPedidoSaida::Solicitado());
  // The watchdog's hand-over record and the attempt record.
  TRepasseAtualizacao p;
  ASSERT_TRUE(TRegistroRepasse::Ler(FArquivos.Exe, p));
  EXPECT_EQ(p.Pid, 4321u);
  EXPECT_EQ(p.VersaoAnterior, "1.0.115");
  EXPECT_EQ(p.VersaoNova, "1.0.116");
  EXPECT_EQ(TConfigINI::LerTexto("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO", ""), "1.0.116");
  EXPECT_EQ(TConfigINI::LerTexto("AUTO_UPDATE", "ULTIMA_TENTATIVA_HORA", ""),
            "2024-03-07 09:05:04");
}

// The download changes on disk once its bytes have been read and checked
// (another program writing over it): what the script installs is still the
// checked copy, because the script only renames the copy the agent wrote.
TEST_F(AutoUpdateTeste, BytesVerificadosSaoOsInstalados) {
  const std::string exe116 = Executavel(1, 0, 116, 0, 70000);
  Publicar(std::string("{\"versao\":\"1.0.116\",\"arquivo\":\"/downloads/Zelvan_116.exe\","
                       "\"sha256\":\"") +
               Sha256Hex(exe116) + "\"}",
           exe116);
  // Once the agent has its bytes in hand (the header check reads the file
  // first, then the whole file is read for the checks).
  int leituras = 0;
  FArquivos.AposLer = [&](const std::string& C) {
    if (C == Novo() && ++leituras == 2) GravarArquivoTeste(C, Executavel(6, 6, 6, 0, 70000));
  };
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  FArquivos.AposLer = nullptr;
  ASSERT_EQ(leituras, 2);
  ASSERT_EQ(Shell.Chamadas.size(), 1u);
  EXPECT_EQ(LerArquivoTeste(Instalar()), exe116);
  const std::string bat = LerArquivoTeste(Script());
  EXPECT_FALSE(Contem(bat, "Zelvan_new.exe")) << bat;
  EXPECT_TRUE(Contem(bat, "move /Y \"" + Instalar() + "\" \"" + FArquivos.Exe + "\" >nul")) << bat;
}

#ifndef _WIN32
// Natively only: under Wine 8 no link can be made (CreateSymbolicLinkW answers
// success and makes nothing; FSCTL_SET_REPARSE_POINT for a junction fails).
// Links that another user could plant where the update writes or deletes: the
// update stops, and the files at their ends are not touched.
TEST_F(AutoUpdateTeste, LigacoesNaoSaoSeguidas) {
  const std::string exe116 = Executavel(1, 0, 116, 0);
  TPastaTemporaria outra;
  GravarArquivoTeste(outra / "Zelvan_new.exe", "do empregado");
  GravarArquivoTeste(outra / "alvo.exe", "do empregado");

  // The copy beside the executable is a link.
  ASSERT_TRUE(CriarLigacao(outra / "alvo.exe", Instalar()));
  Publicar(kManifesto116, exe116);
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  const std::vector<std::string> linhas = LinhasUpdate();
  ASSERT_GE(linhas.size(), 2u);
  EXPECT_EQ(linhas[linhas.size() - 2],
            "Auto update: " + Instalar() + " e uma juncao ou link simbolico; nada apagado.");
  EXPECT_EQ(linhas.back(),
            "Auto update: falha ao gravar " + Instalar() + "; atualizacao cancelada.");
  EXPECT_EQ(LerArquivoTeste(outra / "alvo.exe"), "do empregado");
  EXPECT_TRUE(Shell.Chamadas.empty());
  ASSERT_TRUE(Arquivos().Apagar(Instalar()));

  // The update folder is a link: nothing is deleted or downloaded into it.
  TConfigINI::ApagarChave("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO");
  std::filesystem::remove_all(std::filesystem::u8path(Update()));
  ASSERT_TRUE(Arquivos().CriarPastas(TConfigINI::PastaUsuario()));
  const std::string pasta = Update().substr(0, Update().size() - 1);
  ASSERT_TRUE(CriarLigacao(outra.Caminho(), pasta));
  Publicar(kManifesto116, exe116);
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(LinhasUpdate().back(),
            "Auto update: " + pasta + " e uma juncao ou link simbolico; atualizacao cancelada.");
  EXPECT_EQ(LerArquivoTeste(outra / "Zelvan_new.exe"), "do empregado");
  EXPECT_EQ(Pedidos().size(), 1u) << "only the manifest";
  EXPECT_TRUE(Shell.Chamadas.empty());
  EXPECT_EQ(Saidas, 0);
}
#endif

TEST_F(AutoUpdateTeste, ManifestosQueParamAntesDoDownload) {
  struct Caso {
    std::string Manifesto;
    std::string Ultima;
  };
  const Caso casos[] = {
      {"{\"versao\":\"1.0.115\",\"arquivo\":\"downloads/Zelvan.exe\"}",
       "Auto update: nenhuma atualizacao necessaria. Versoes iguais."},
      {"{\"versao\":\"1.0.115.0\",\"url\":\"downloads/Zelvan.exe\"}",
       "Auto update: nenhuma atualizacao necessaria. Versoes iguais."},
      {"{\"versao\":\"1.0.99\",\"arquivo\":\"downloads/Zelvan.exe\"}",
       "Auto update: ignorado para evitar downgrade. Local maior que servidor."},
      {"{\"versao\":\"99999999999.x\",\"arquivo\":\"downloads/Zelvan.exe\"}",
       "Auto update: ignorado para evitar downgrade. Local maior que servidor."},
      {"{\"versao\":\"1.0.115\"}", "Auto update: campo arquivo/url ausente no update.json."},
      {"{\"versao\":\" \",\"arquivo\":\"a.exe\"}",
       "Auto update: campo versao ausente no update.json."},
      {"\"  \"", "Auto update: update.json retornou vazio."},
      {"\"<html><body>Manutencao</body></html>\"",
       "Auto update: update.json invalido/HTML: <html><body>Manutencao</body></html>"},
      {"[1,2]", "Auto update: update.json invalido/HTML: [1,2]"},
      // A version that would add lines to the records and the log, or that is
      // no version at all, stops before anything is written.
      {"{\"versao\":\"1.0.116\\r\\nREVERTIDA=1.0.117\",\"arquivo\":\"a.exe\"}",
       "Auto update: campo versao invalido no update.json: 1.0.116  REVERTIDA=1.0.117"},
      {"{\"versao\":\"1.0.116 <b>\",\"arquivo\":\"a.exe\"}",
       "Auto update: campo versao invalido no update.json: 1.0.116 <b>"},
      {"{\"versao\":\"" + std::string(33, '9') + "\",\"arquivo\":\"a.exe\"}",
       "Auto update: campo versao invalido no update.json: " + std::string(33, '9')},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Manifesto);
    Publicar(c.Manifesto);
    TAutoUpdatePro::VerificarAtualizacao("1.0.115");
    ASSERT_FALSE(LinhasUpdate().empty());
    EXPECT_EQ(LinhasUpdate().back(), c.Ultima);
    EXPECT_EQ(Pedidos().size(), 1u) << "only the manifest";
  }
  EXPECT_TRUE(Shell.Chamadas.empty());
  EXPECT_EQ(Saidas, 0);
  EXPECT_FALSE(TConfigINI::ChaveExiste("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO"));
  TRepasseAtualizacao p;
  EXPECT_FALSE(TRegistroRepasse::Ler(FArquivos.Exe, p));
}

TEST_F(AutoUpdateTeste, UrlVaziaNaoFazPedido) {
  TConfigINI::EscreverTexto("SERVIDOR", "URL", " ");
  Admin("admin/requests/clear");
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(LinhasUpdate(), (std::vector<std::string>{"Auto update ignorado: URL base vazia."}));
  EXPECT_TRUE(Pedidos().empty());
}

TEST_F(AutoUpdateTeste, ArquivosRecusadosSaoApagadosEOAgenteFica) {
  const std::string exe116 = Executavel(1, 0, 116, 0);
  std::string mz512("MZ");
  mz512.resize(512, '\x01');
  struct Caso {
    std::string Manifesto, Arquivo, Linha;
    bool Registra;  // the same version waits an hour
  };
  const Caso casos[] = {
      {kManifesto116, "<html><body>404</body></html>" + std::string(2000, ' '),
       "Auto update: arquivo baixado invalido. Nao e EXE MZ valido. tamanho=2029", false},
      {kManifesto116, mz512,
       "Auto update: arquivo baixado invalido. Nao e EXE MZ valido. tamanho=512", false},
      {"{\"versao\":\"1.0.117\",\"arquivo\":\"downloads/Zelvan_116.exe\"}", exe116,
       "Auto update: versao do arquivo baixado (1.0.116.0) difere da versao do update.json "
       "(1.0.117); arquivo descartado.",
       true},
      {kManifesto116, Executavel(1, 0, 116, 0, 4096, false),
       "Auto update: arquivo baixado sem recurso de versao; arquivo descartado.", true},
      // The watchdog, same signer and version, is no update of the agent.
      {kManifesto116, Executavel(1, 0, 116, 0, 4096, true, "WatchdogAgente.exe"),
       "Auto update: arquivo baixado nao e o agente (nome original \"WatchdogAgente.exe\" no "
       "recurso de versao); arquivo descartado.",
       true},
      {kManifesto116, Executavel(1, 0, 116, 0, 4096, true, nullptr),
       "Auto update: arquivo baixado nao e o agente (nome original \"\" no recurso de versao); "
       "arquivo descartado.",
       true},
      {"{\"versao\":\"1.0.116\",\"arquivo\":\"downloads/Zelvan_116.exe\",\"sha256\":\"" +
           Sha256Hex("outro") + "\"}",
       exe116,
       "Auto update: sha256 do arquivo baixado (" + Sha256Hex(exe116) +
           ") nao confere com o update.json; arquivo descartado.",
       true},
      {"{\"versao\":\"1.0.116\",\"arquivo\":\"downloads/Zelvan_116.exe\",\"sha256\":\"abc\"}",
       exe116, "Auto update: campo sha256 invalido no update.json; arquivo descartado.", true},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Linha);
    TConfigINI::ApagarChave("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO");
    Publicar(c.Manifesto, c.Arquivo);
    TAutoUpdatePro::VerificarAtualizacao("1.0.115");
    ASSERT_FALSE(LinhasUpdate().empty());
    EXPECT_EQ(LinhasUpdate().back(), c.Linha);
    EXPECT_FALSE(Arquivos().ArquivoExiste(Novo()));
    EXPECT_EQ(!TConfigINI::LerTexto("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO", "").empty(),
              c.Registra);
  }
  EXPECT_TRUE(Shell.Chamadas.empty());
  EXPECT_EQ(Saidas, 0);
  EXPECT_EQ(LerArquivoTeste(FArquivos.Exe), Executavel(1, 0, 115, 0));
}

TEST_F(AutoUpdateTeste, TentativaRecenteEsperaUmaHora) {
  Publicar("{\"versao\":\"1.0.117\",\"arquivo\":\"downloads/Zelvan_116.exe\"}",
           Executavel(1, 0, 116, 0));
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  Admin("admin/requests/clear");
  RelogioTeste().Avancar(59 * 60000);
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(LinhasUpdate().back(),
            "Auto update: atualizacao para 1.0.117 ja tentada ha menos de 1 hora; nova tentativa "
            "depois.");
  EXPECT_EQ(Pedidos().size(), 1u) << "no second download";
  // Another version is not held back; after the hour the same one is tried again.
  EXPECT_FALSE(TAutoUpdatePro::TentativaRecente("1.0.118", Agora()));
  RelogioTeste().Avancar(2 * 60000);
  EXPECT_FALSE(TAutoUpdatePro::TentativaRecente("1.0.117", Agora()));
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(Pedidos().size(), 3u);
}

// The hour counts either way from the attempt: a clock set back within the
// hour still holds the retry, one set back further lets it go.
TEST_F(AutoUpdateTeste, TentativaRecenteComORelogioAtrasado) {
  const TDateTime tentativa = Agora();
  TAutoUpdatePro::RegistrarTentativa("1.0.117", tentativa);
  constexpr double kMinuto = 1.0 / (24 * 60);
  const struct {
    double Minutos;  // of the clock from the attempt
    bool Recente;
  } casos[] = {{0, true},   {59, true},  {61, false},  {-1, true},
               {-30, true}, {-59, true}, {-61, false}, {-120, false}};
  for (const auto& c : casos)
    EXPECT_EQ(TAutoUpdatePro::TentativaRecente("1.0.117", tentativa + c.Minutos * kMinuto),
              c.Recente)
        << c.Minutos;
}

TEST_F(AutoUpdateTeste, ShellExecuteQueFalhaMantemOAgente) {
  Shell.Resultado = 2;  // ERROR_FILE_NOT_FOUND
  Publicar(kManifesto116, Executavel(1, 0, 116, 0));
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(LinhasUpdate().back(),
            "Auto update: falha ao iniciar o BAT (ShellExecute=2); agente continua em execucao.");
  EXPECT_EQ(Saidas, 0);
  EXPECT_FALSE(TPedidoSaida::Solicitado());
  TRepasseAtualizacao p;
  EXPECT_FALSE(TRegistroRepasse::Ler(FArquivos.Exe, p)) << "no hand-over for the watchdog";
  EXPECT_FALSE(Arquivos().ArquivoExiste(Instalar())) << "the copy beside the executable goes";
}

TEST_F(AutoUpdateTeste, VersaoRevertidaNaoVoltaAInstalar) {
  ASSERT_TRUE(TRegistroRepasse::MarcarRevertida(FArquivos.Exe, "1.0.116"));
  Publicar(kManifesto116, Executavel(1, 0, 116, 0));
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(
      LinhasUpdate().back(),
      "Auto update: versao 1.0.116 revertida pelo watchdog apos falhas; atualizacao ignorada.");
  EXPECT_EQ(Pedidos().size(), 1u);
}

TEST_F(AutoUpdateTeste, PastaDoExecutavelSemEscrita) {
  FArquivos.RecusarCriarPastas = true;
  Publicar(kManifesto116, Executavel(1, 0, 116, 0));
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  ASSERT_FALSE(LinhasUpdate().empty());
  EXPECT_EQ(LinhasUpdate().back().rfind(
                "Erro no auto update: EInOutError - Unable to create directory", 0),
            0u)
      << LinhasUpdate().back();
  EXPECT_TRUE(Shell.Chamadas.empty());
  EXPECT_EQ(Saidas, 0);
}

TEST_F(AutoUpdateTeste, PastaDoPacoteSemEscritaNaoBaixa) {
  FArquivos.PastaExeSemEscrita = true;
  const auto linha = [this](const std::string& AVersao) {
    return "Auto update: pasta do agente sem permissao de escrita (" + PastaDe(FArquivos.Exe) +
           "); versao " + AVersao +
           " nao baixada: este agente e atualizado pelo pacote de instalacao.";
  };
  const auto vezes = [this](const std::string& ALinha) {
    const std::vector<std::string> l = LinhasUpdate();
    return std::count(l.begin(), l.end(), ALinha);
  };
  const auto baixou = [this] {
    for (const std::string& p : Pedidos())
      if (Contem(p, "Zelvan_116.exe")) return true;
    return false;
  };
  Publicar(kManifesto116, Executavel(1, 0, 116, 0));
  // Under Wine the employee's update folder outlives a test: start without a
  // download left by an earlier one.
  Arquivos().Apagar(Novo());
  // At start, then every 15 minutes for two hours: never a download, one line.
  for (int i = 0; i < 9; ++i) {
    TAutoUpdatePro::VerificarAtualizacao("1.0.115");
    RelogioTeste().Avancar(15 * 60000);
  }
  EXPECT_EQ(vezes(linha("1.0.116")), 1);
  EXPECT_FALSE(baixou());
  EXPECT_EQ(Pedidos().size(), 9u) << "the manifest only";
  EXPECT_FALSE(Arquivos().ArquivoExiste(Novo()));
  EXPECT_EQ(TConfigINI::LerTexto("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO", ""), "1.0.116");
  EXPECT_FALSE(Arquivos().ArquivoExiste(PastaDe(FArquivos.Exe) + "gravacao_4321.tmp"));

  // A newer version is said once more.
  Publicar("{\"versao\":\"1.0.117\",\"arquivo\":\"downloads/Zelvan_116.exe\"}",
           Executavel(1, 0, 117, 0));
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(vezes(linha("1.0.117")), 1);
  EXPECT_FALSE(baixou());

  // A folder that can be written again (a copy of the user's own): the probe
  // leaves nothing behind and the update goes ahead once the hour is over.
  FArquivos.PastaExeSemEscrita = false;
  RelogioTeste().Avancar(61 * 60000);
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_TRUE(baixou());
  EXPECT_EQ(Shell.Chamadas.size(), 1u);
  EXPECT_FALSE(Arquivos().ArquivoExiste(PastaDe(FArquivos.Exe) + "gravacao_4321.tmp"));
}

TEST_F(AutoUpdateTeste, CaminhoForaDaPaginaDeCodigo) {
  FArquivos.Exe = FPastaExe / "Ωmega.exe";
  Publicar(kManifesto116, Executavel(1, 0, 116, 0));
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(LinhasUpdate().back(),
            "Auto update: caminho nao representavel na pagina de codigo ANSI: " + FArquivos.Exe +
                "; atualizacao cancelada.");
  EXPECT_EQ(Pedidos().size(), 1u) << "nothing downloaded";
  EXPECT_TRUE(Shell.Chamadas.empty());
}

#ifndef _WIN32
// Fresh key pairs come from OpenSSL, natively.
TEST_F(AutoUpdateTeste, AssinaturaComChaveFixada) {
  const TChaveTeste chave, outra;
  TAutoUpdatePro::ChavePublica = chave.Publica;
  const std::string exe116 = Executavel(1, 0, 116, 0);
  const std::string digest = Sha256Hex(exe116);
  auto manifesto = [](const std::string& AAssinatura) {
    return std::string("{\"versao\":\"1.0.116\",\"arquivo\":\"downloads/Zelvan_116.exe\"") +
           (AAssinatura.empty() ? "" : ",\"assinatura\":\"" + AAssinatura + "\"") + "}";
  };
  const std::pair<std::string, std::string> recusas[] = {
      {"", "Auto update: campo assinatura ausente no update.json; arquivo descartado."},
      {outra.Assinar(digest),
       "Auto update: assinatura do arquivo baixado invalida; arquivo descartado."},
      {chave.Assinar(Sha256Hex("outro")),
       "Auto update: assinatura do arquivo baixado invalida; arquivo descartado."},
  };
  for (const auto& [sig, linha] : recusas) {
    TConfigINI::ApagarChave("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO");
    Publicar(manifesto(sig), exe116);
    TAutoUpdatePro::VerificarAtualizacao("1.0.115");
    EXPECT_EQ(LinhasUpdate().back(), linha);
    EXPECT_TRUE(Shell.Chamadas.empty());
  }
  TConfigINI::ApagarChave("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO");
  Publicar(manifesto(chave.Assinar(digest)), exe116);
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(Shell.Chamadas.size(), 1u);
  EXPECT_EQ(Saidas, 1);
}

#endif

TEST_F(AutoUpdateTeste, MesmoAssinantePorRespostasGravadas) {
  const std::string imp = "0123456789abcdef0123456789abcdef01234567";
  const std::string outra = "89abcdef0123456789abcdef0123456789abcdef";
  const std::string kAssunto = "CN=Vesk Tecnologia Ltda, O=Vesk, C=BR";
  struct Caso {
    TAssinaturaArquivo Atual, Nova;
    std::string Linha;  // empty: accepted
  };
  const Caso casos[] = {
      {{}, {}, ""},                                  // an unsigned agent checks nothing
      {{true, 0, imp, ""}, {true, 0, imp, ""}, ""},  // same certificate, trusted
      {{true, kConfiancaRaizNaoConfiavel, imp, ""},
       {true, kConfiancaRaizNaoConfiavel, imp, ""},
       ""},
      {{true, 0, imp, ""},
       {},
       "Auto update: arquivo baixado sem assinatura digital, mas o agente e assinado; arquivo "
       "descartado."},
      {{true, 0, imp, ""},
       {true, static_cast<int32_t>(0x80096010), imp,
        ""},  // TRUST_E_BAD_DIGEST: altered after signing
       "Auto update: assinatura digital do arquivo baixado invalida (WinVerifyTrust=0x80096010); "
       "arquivo descartado."},
      {{true, 0, imp, ""},
       {true, 0, "ffffffffffffffffffffffffffffffffffffffff", ""},
       "Auto update: arquivo baixado assinado por outro certificado "
       "(ffffffffffffffffffffffffffffffffffffffff); arquivo descartado."},
      // The renewed certificate: another thumbprint, the same subject, a trusted chain.
      {{true, 0, imp, kAssunto}, {true, 0, outra, kAssunto}, ""},
      {{true, kConfiancaRaizNaoConfiavel, imp, kAssunto},
       {true, kConfiancaRaizNaoConfiavel, outra, kAssunto},
       "Auto update: arquivo baixado assinado por outro certificado (" + outra +
           "); arquivo descartado."},
      {{true, 0, imp, kAssunto},
       {true, 0, outra, "CN=Vesk Tecnologia Ltda, O=Outra"},
       "Auto update: arquivo baixado assinado por outro certificado (" + outra +
           "); arquivo descartado."},
      // Signed, but its signer could not be read: no check is skipped.
      {{true, 0, "", ""},
       {true, 0, imp, kAssunto},
       "Auto update: assinatura digital do agente em execucao nao pode ser lida; arquivo "
       "descartado."},
  };
  const std::string exe116 = Executavel(1, 0, 116, 0);
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Linha.empty() ? "aceito" : c.Linha);
    TConfigINI::ApagarChave("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO");
    Shell.Chamadas.clear();
    Assinaturas.Atual = c.Atual;
    Assinaturas.Nova = c.Nova;
    Publicar(kManifesto116, exe116);
    TAutoUpdatePro::VerificarAtualizacao("1.0.115");
    if (!c.Linha.empty()) {
      EXPECT_EQ(LinhasUpdate().back(), c.Linha);
      EXPECT_TRUE(Shell.Chamadas.empty());
    } else {
      EXPECT_EQ(Shell.Chamadas.size(), 1u);
    }
  }

  // The system read no signature of the agent, but its own bytes carry a
  // certificate table: it is signed, and the check is not skipped.
  std::string assinado = Executavel(1, 0, 115, 0);
  pe_teste::U32(assinado, 0x58 + 112 + 32, 0x800);
  pe_teste::U32(assinado, 0x58 + 112 + 36, 0x100);
  EXPECT_TRUE(ExecutavelComAssinatura(assinado));
  EXPECT_FALSE(ExecutavelComAssinatura(Executavel(1, 0, 115, 0)));
  EXPECT_FALSE(ExecutavelComAssinatura("MZ"));
  GravarArquivoTeste(FArquivos.Exe, assinado);
  TConfigINI::ApagarChave("AUTO_UPDATE", "ULTIMA_TENTATIVA_VERSAO");
  Shell.Chamadas.clear();
  Assinaturas.Atual = {};
  Assinaturas.Nova = {};
  Publicar(kManifesto116, exe116);
  TAutoUpdatePro::VerificarAtualizacao("1.0.115");
  EXPECT_EQ(LinhasUpdate().back(),
            "Auto update: assinatura digital do agente em execucao nao pode ser lida; arquivo "
            "descartado.");
  EXPECT_TRUE(Shell.Chamadas.empty());
}

}  // namespace
