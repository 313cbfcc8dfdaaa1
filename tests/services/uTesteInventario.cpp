// Inventory collection and upload: the text cleaning and choices as tables, the
// collection against doubles of the system, WMI and registry, the regional date
// text, the six-hour and version rules, and the upload against the development
// server.
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <cmath>
#include <string>
#include <vector>

#include "config/uConfigINI.h"
#include "net/uJsonHelper.h"
#include "platform/uLocalidade.h"
#include "platform/uRegistro.h"
#include "platform/uSistemaHardware.h"
#include "services/uAgentHardwareInfo.h"
#include "services/uAgentHardwareSync.h"
#include "tests/net/uAmbienteHttp.h"

namespace {

using H = TAgentHardwareInfoHelper;
const char* kToken = "tok-teste-1234567890";
const char* kBios = "HARDWARE\\DESCRIPTION\\System\\BIOS";
constexpr uint64_t kGiB = 1024ull * 1024 * 1024;

TDateTime Momento(int A, int M, int D, int h, int m, int s) {
  TPartesDataHora p;
  p.Ano = A;
  p.Mes = M;
  p.Dia = D;
  p.Hora = h;
  p.Minuto = m;
  p.Segundo = s;
  return CodificarDataHora(p);
}

// The hardware facts of a chosen machine; each source can fail on its own.
class THardwareFalso : public ISistemaHardware {
 public:
  uint32_t NumeroProcessadores() override { return Nucleos; }
  bool MemoriaFisicaTotal(uint64_t& B) override {
    B = Memoria;
    return MemoriaOk;
  }
  bool EspacoDisco(const std::string& ARaiz, uint64_t& T, uint64_t& L) override {
    Raizes.push_back(ARaiz);
    T = Total;
    L = Livre;
    return DiscoOk;
  }
  bool VersaoWindows(uint32_t& A, uint32_t& B, uint32_t& C) override {
    A = 10;
    B = 0;
    C = 22631;
    return VersaoOk;
  }
  bool IniciarCom() override {
    ++Inicios;
    return ComOk;
  }
  void FinalizarCom() override { ++Finais; }
  bool ConsultarWmi(const std::string& AConsulta, const std::string& AProp,
                    std::string& AValor) override {
    Consultas.push_back(AConsulta + "|" + AProp);
    if (LancarWmi) throw std::runtime_error("WMI quebrou");
    auto it = Wmi.find(AConsulta);
    if (it == Wmi.end()) return false;
    AValor = it->second;
    return true;
  }
  uint32_t Nucleos = 8;
  uint64_t Memoria = 16 * kGiB;
  bool MemoriaOk = true;
  uint64_t Total = 512 * kGiB, Livre = 100 * kGiB + kGiB / 2;
  bool DiscoOk = true, VersaoOk = true, ComOk = true, LancarWmi = false;
  std::map<std::string, std::string> Wmi;
  std::vector<std::string> Raizes, Consultas;
  int Inicios = 0, Finais = 0;
};

const char* kQMarca = "SELECT Manufacturer FROM Win32_ComputerSystem";
const char* kQModelo = "SELECT Model FROM Win32_ComputerSystem";
const char* kQVersao = "SELECT Version FROM Win32_ComputerSystemProduct";

class ColetaTeste : public ::testing::Test {
 protected:
  ColetaTeste() {
    Sistema.Computador = "pc-financeiro ";
    Sistema.Ambiente = {{"USERNAME", "maria"},
                        {"PROCESSOR_IDENTIFIER", " Intel64 Family 6 Model 154 "},
                        {"PROCESSOR_ARCHITECTURE", "AMD64"},
                        {"SystemDrive", "D:"}};
  }
  TSistemaFalso Sistema;
  SubstituirConcern<ISistema> FSistema{Sistema};
  THardwareFalso Hw;
  SubstituirConcern<ISistemaHardware> FHw{Hw};
  TRegistroMemoria Reg;
  SubstituirConcern<IRegistro> FReg{Reg};
};

}  // namespace

TEST(InventarioTexto, LimparTexto) {
  const std::string longo(250, 'x');
  const std::string emoji = std::string(179, 'a') + "\xF0\x9F\x98\x80";  // 179 + a pair
  struct {
    std::string Entrada;
    size_t Max;
    std::string Esperado;
  } casos[] = {
      {"Dell Inc.", 180, "Dell Inc."},
      {"  Dell\r\nInc.  ", 180, "Dell Inc."},
      {"Dell\nInc.\rX", 180, "Dell Inc. X"},
      {"\r\n\r\nLenovo\r\n", 180, "Lenovo"},
      {"A    B  C", 180, "A B C"},
      {"A\r\n \r\nB", 180, "A B"},
      {"A\tB\x01"
       "C\x01",
       180,
       "A\tB\x01"
       "C"},  // inside, tabs and control characters stay
      {longo, 180, std::string(180, 'x')},
      {"abc   ", 2, "ab"},
      {"ab cd", 3, "ab "},                  // not trimmed after the cut
      {emoji, 180, std::string(179, 'a')},  // a surrogate pair is never split
      {"", 180, ""},
  };
  for (const auto& c : casos) EXPECT_EQ(H::LimparTexto(c.Entrada, c.Max), c.Esperado) << c.Entrada;
  // A firmware text of 10,000 characters with control characters stays bounded.
  std::string lixo;
  for (int i = 0; i < 5000; ++i) lixo += std::string("x") + static_cast<char>(1 + i % 31);
  EXPECT_EQ(ComprimentoUtf16(H::LimparTexto(lixo, 180)), 180u);
}

TEST(InventarioTexto, PrimeiroPreenchidoENumeroDaUnidade) {
  EXPECT_EQ(H::PrimeiroPreenchido(" Dell ", "HP", "X"), "Dell");
  EXPECT_EQ(H::PrimeiroPreenchido("  ", "\tHP\r\n", "X"), "HP");
  EXPECT_EQ(H::PrimeiroPreenchido("", " ", " Asus "), "Asus");
  EXPECT_EQ(H::PrimeiroPreenchido("", "", "  "), "");
  EXPECT_EQ(H::PrimeiroPreenchido("To be filled by O.E.M.", "HP", ""), "To be filled by O.E.M.");

  struct {
    const char* Disco;
    int Numero;
  } unidades[] = {{"C:", 3}, {"A:", 1},         {"d:", 4}, {"Z:", 26},      {"z", 26},
                  {"", 3},   {"\\\\srv\\x", 3}, {"1:", 3}, {"\xC3\x89:", 3}};
  for (const auto& u : unidades) EXPECT_EQ(H::NumeroDaUnidade(u.Disco), u.Numero) << u.Disco;

  EXPECT_EQ(H::UnidadeDoCaminho("C:"), "C:");
  EXPECT_EQ(H::UnidadeDoCaminho("e:\\Windows"), "e:");
  EXPECT_EQ(H::UnidadeDoCaminho("\\\\servidor\\share\\pasta"), "\\\\servidor\\share");
  EXPECT_EQ(H::UnidadeDoCaminho("\\\\servidor\\share"), "\\\\servidor\\share");
  EXPECT_EQ(H::UnidadeDoCaminho("\\\\servidor"), "");
  EXPECT_EQ(H::UnidadeDoCaminho("Windows"), "");
  EXPECT_EQ(H::UnidadeDoCaminho(""), "");
}

TEST(InventarioTexto, FormatarDecimalComPontoSobVirgulaOuPonto) {
  struct {
    double Valor;
    const char* Esperado;
  } casos[] = {{16.0, "16.00"},     {7.8, "7.80"},      {0, "0.00"},
               {0.004, "0.00"},     {0.005001, "0.01"}, {1234567.891, "1234567.89"},
               {476.9375, "476.94"}};
  for (const char* sep : {",", "."})
    for (const auto& c : casos)
      EXPECT_EQ(TAgentHardwareSync::FormatarDecimal(c.Valor, sep), c.Esperado)
          << c.Valor << " sob " << sep;
  EXPECT_EQ(TAgentHardwareSync::FormatarDecimal(16.0 * kGiB / kGiB), "16.00");
}

TEST(InventarioTexto, DataHoraRegionalEscritaELidaDeVolta) {
  const TDateTime t = Momento(2025, 3, 5, 14, 7, 9);
  struct {
    TFormatoRegional F;
    const char* Texto;
  } casos[] = {
      {{"dd/MM/yyyy", "HH:mm:ss", "AM", "PM"}, "05/03/2025 14:07:09"},
      {{"M/d/yyyy", "h:mm:ss tt", "AM", "PM"}, "3/5/2025 2:07:09 PM"},
      {{"dd.MM.yyyy", "HH:mm:ss", "", ""}, "05.03.2025 14:07:09"},
      {{"yyyy-MM-dd", "H:mm:ss", "", ""}, "2025-03-05 14:07:09"},
      {{"d/M/yy", "hh:mm:ss t", "a. m.", "p. m."}, "5/3/25 02:07:09 p"},
      {{"dd-MMM-yyyy", "HH'.'mm'.'ss", "AM", "PM"}, "05-03-2025 14.07.09"},
      {{"yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'", "H:mm:ss", "", ""},
       "2025\xE5\xB9\xB4"
       "3\xE6\x9C\x88"
       "5\xE6\x97\xA5 14:07:09"},
  };
  for (const auto& c : casos) {
    EXPECT_EQ(FormatarDataHoraRegional(c.F, t), c.Texto);
    TDateTime lida = 0;
    if (c.F.AM == "a. m.") continue;  // a one-letter designator is not read back
    ASSERT_TRUE(LerDataHoraRegional(c.F, c.Texto, lida)) << c.Texto;
    EXPECT_NEAR(lida, t, kUmSegundo / 10) << c.Texto;
  }
  const TFormatoRegional us{"M/d/yyyy", "h:mm:ss tt", "AM", "PM"};
  TDateTime v = 0;
  ASSERT_TRUE(LerDataHoraRegional(us, "12/31/2024 12:00:00 AM", v));
  EXPECT_NEAR(v, Momento(2024, 12, 31, 0, 0, 0), kUmSegundo / 10);
  // Another locale's text: the day 25 is no month; words, blanks, noise.
  for (const char* ruim : {"25/12/2024 10:00:00", "", "   ", "ontem", "2/30/2024 1:00:00 PM",
                           "1/2/2024 13:00:00 PM", "1/2/2024 25:00:00", "1/2", "1/2/2024 10",
                           "5 de marco de 2025 10:00:00", "99999999/1/1 10:00:00"})
    EXPECT_FALSE(LerDataHoraRegional(us, ruim, v)) << ruim;
}

TEST_F(ColetaTeste, ColetaNaOrdemComAsFontesDaMaquina) {
  Hw.Wmi = {{kQMarca, "Dell\r\nInc."}, {kQModelo, "  "}, {kQVersao, "Latitude 5440"}};
  Reg.DefinirMaquina(kBios, "SystemManufacturer", "Dell Inc. (BIOS)");
  Reg.DefinirMaquina(kBios, "SystemProductName", "0C3N");
  const TAgentHardwareInfo i = H::Coletar();
  EXPECT_EQ(i.Computador, "PC-FINANCEIRO");
  EXPECT_EQ(i.Usuario, "maria");
  EXPECT_EQ(i.Processador, "Intel64 Family 6 Model 154");
  EXPECT_EQ(i.ProcessadorNucleos, 8);
  EXPECT_DOUBLE_EQ(i.MemoriaRamGB, 16.0);
  EXPECT_EQ(i.DiscoSistema, "D:");
  EXPECT_EQ(Hw.Raizes, std::vector<std::string>{"D:\\"});
  EXPECT_DOUBLE_EQ(i.DiscoTotalGB, 512.0);
  EXPECT_DOUBLE_EQ(i.DiscoLivreGB, 100.5);
  EXPECT_EQ(i.WindowsVersao, "Windows 10.0 build 22631");
  EXPECT_EQ(i.Arquitetura, "AMD64");
  EXPECT_EQ(i.MarcaEquipamento, "Dell Inc.");
  // A blank WMI model falls back to the product version.
  EXPECT_EQ(i.ModeloEquipamento, "Latitude 5440");
  EXPECT_EQ(Hw.Consultas, (std::vector<std::string>{std::string(kQMarca) + "|Manufacturer",
                                                    std::string(kQModelo) + "|Model",
                                                    std::string(kQVersao) + "|Version"}));
  EXPECT_EQ(Hw.Inicios, 1);
  EXPECT_EQ(Hw.Finais, 1);
}

TEST_F(ColetaTeste, CadaFonteQueFalhaDeixaSeuValorPadrao) {
  Sistema.ComputadorDisponivel = false;
  Sistema.Ambiente = {{"PROCESSOR_ARCHITECTURE", " x86 "}};
  Hw.MemoriaOk = Hw.DiscoOk = Hw.VersaoOk = false;
  Hw.LancarWmi = true;
  const TAgentHardwareInfo i = H::Coletar();
  EXPECT_EQ(i.Computador, "PC");
  EXPECT_EQ(i.Usuario, "");
  EXPECT_EQ(i.Processador, "x86");
  EXPECT_EQ(i.Arquitetura, "x86");
  EXPECT_EQ(i.MemoriaRamGB, 0);
  EXPECT_EQ(i.DiscoSistema, "C:");
  EXPECT_EQ(Hw.Raizes, std::vector<std::string>{"C:\\"});
  EXPECT_EQ(i.DiscoTotalGB, 0);
  EXPECT_EQ(i.DiscoLivreGB, 0);
  EXPECT_EQ(i.WindowsVersao, "Windows");
  EXPECT_EQ(i.MarcaEquipamento, "");
  EXPECT_EQ(i.ModeloEquipamento, "");
  // COM balanced also when WMI failed.
  EXPECT_EQ(Hw.Inicios, 1);
  EXPECT_EQ(Hw.Finais, 1);
}

TEST_F(ColetaTeste, SemWmiOsValoresDaBiosEOCorteEm180) {
  Hw.ComOk = false;  // COM refused: nothing to balance
  Reg.DefinirMaquina(kBios, "BaseBoardManufacturer", "ASUSTeK");
  Reg.DefinirMaquina(kBios, "BaseBoardProduct", std::string(250, 'M'));
  Reg.DefinirMaquina(kBios, "SystemProductName", "   ");
  const TAgentHardwareInfo i = H::Coletar();
  EXPECT_EQ(i.MarcaEquipamento, "ASUSTeK");
  // The registry value is cleaned to 220, then the field to 180.
  EXPECT_EQ(i.ModeloEquipamento, std::string(180, 'M'));
  EXPECT_EQ(Hw.Finais, 0);
}

TEST(InventarioRegras, SeisHorasEVersao) {
  const TDateTime agora = Momento(2025, 3, 5, 14, 0, 0);
  auto texto = [](TDateTime t) { return FormatarDataHoraRegional(t); };
  struct {
    std::string Ultimo, Versao;
    bool Devido;
  } casos[] = {
      {texto(agora - 5 * kUmaHora), "1.0.115", false},
      {texto(agora - 6 * kUmaHora), "1.0.115", true},
      {texto(agora - 5 * kUmaHora - 59 * kUmMinuto), "1.0.115", false},
      {texto(agora - 1 * kUmaHora), "1.0.114", true},  // a newly updated agent reports at once
      {texto(agora - 1 * kUmaHora), "", true},
      {"", "1.0.115", true},
      {"25/13/2025 10:00:00", "1.0.115", true},  // unreadable
      {"lixo", "1.0.115", true},
      // The clock was set back a little: the stored time waits its six hours.
      {texto(agora + 3 * kUmaHora), "1.0.115", false},
      {texto(agora + 23 * kUmaHora), "1.0.115", false},
      // More than a day ahead is a clock error: counted as no upload.
      {texto(agora + 25 * kUmaHora), "1.0.115", true},
      {texto(agora + 400), "1.0.115", true},
  };
  for (const auto& c : casos)
    EXPECT_EQ(TAgentHardwareSync::EnvioDevido(c.Ultimo, c.Versao, agora), c.Devido)
        << c.Ultimo << " / " << c.Versao;
}

namespace {

class UploadTeste : public TAmbienteHttp {
 protected:
  void SetUp() override {
    TAmbienteHttp::SetUp();
    if (IsSkipped()) return;
    FTrocas = std::make_unique<Trocas>(Sistema, Hw, Reg);
    Sistema.Computador = "pc teste&1";
    Sistema.Ambiente = {{"USERNAME", "jose+maria"},
                        {"PROCESSOR_IDENTIFIER", "Intel64 Family 6"},
                        {"PROCESSOR_ARCHITECTURE", "AMD64"},
                        {"SystemDrive", "C:"}};
    Hw.Wmi = {{kQMarca, "LENOVO"}, {kQModelo, "20XW0026BR"}};
    TConfigINI::EscreverTexto("SERVIDOR", "URL", Url("demo/intranet"));
    TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", kToken);
    TConfigINI::EscreverTexto("LOG", "DETALHADO", "1");
    Admin("admin/reset");
  }
  void TearDown() override {
    if (!IsSkipped()) Admin("admin/reset");
    FTrocas.reset();
    TAmbienteHttp::TearDown();
  }

  // The forms the server recorded for the inventory, in order.
  std::vector<std::vector<std::pair<std::string, std::string>>> Formularios() {
    rapidjson::Document d;
    const std::string t = Admin("admin/requests");
    d.Parse(t.c_str());
    std::vector<std::vector<std::pair<std::string, std::string>>> r;
    for (const auto& reg : d.GetArray()) {
      if (LerTextoJson(&reg, "path", "") != "/demo/intranet/api/agent_hardware.php") continue;
      EXPECT_EQ(LerTextoJson(&reg, "method", ""), "POST");
      std::vector<std::pair<std::string, std::string>> f;
      for (const auto& par : reg["form"].GetArray())
        f.emplace_back(par[0].GetString(), par[1].GetString());
      r.push_back(f);
    }
    return r;
  }

  struct Trocas {
    Trocas(ISistema& S, ISistemaHardware& H, IRegistro& R) : A(S), B(H), C(R) {}
    SubstituirConcern<ISistema> A;
    SubstituirConcern<ISistemaHardware> B;
    SubstituirConcern<IRegistro> C;
  };
  TSistemaFalso Sistema;
  THardwareFalso Hw;
  TRegistroMemoria Reg;
  std::unique_ptr<Trocas> FTrocas;
};

}  // namespace

TEST_F(UploadTeste, EnviaOs18CamposNaOrdemEGuardaOEnvio) {
  RelogioTeste().DefinirAgora(Momento(2025, 3, 5, 9, 30, 0));
  TAgentHardwareSync::SincronizarInventario();
  const auto forms = Formularios();
  ASSERT_EQ(forms.size(), 1u);
  const std::vector<std::pair<std::string, std::string>> esperado = {
      {"api_token", kToken},
      {"computador", "PC TESTE&1"},
      {"usuario", "jose+maria"},
      {"processador", "Intel64 Family 6"},
      {"processador_nucleos", "8"},
      {"memoria_ram_gb", "16.00"},
      {"disco_total_gb", "512.00"},
      {"disco_livre_gb", "100.50"},
      {"disco_sistema", "C:"},
      {"windows_versao", "Windows 10.0 build 22631"},
      {"arquitetura", "AMD64"},
      {"marca_equipamento", "LENOVO"},
      {"modelo_equipamento", "20XW0026BR"},
      {"fabricante", "LENOVO"},
      {"marca_notebook", "LENOVO"},
      {"modelo_notebook", "20XW0026BR"},
      {"modelo", "20XW0026BR"},
      {"versao_agente", "1.0.115"},
  };
  EXPECT_EQ(forms[0], esperado);
  EXPECT_EQ(Linhas(), (std::vector<std::string>{
                          "Inventario hardware coletado antes do envio: computador=PC TESTE&1 "
                          "usuario=jose+maria marca=LENOVO modelo=20XW0026BR",
                          "Inventario hardware enviado. Marca=LENOVO Modelo=20XW0026BR "
                          "Retorno={\"ok\":true,\"mensagem\":\"Inventario recebido.\"}"}));
  // In the regional format: "05/03/2025 09:30:00" natively, the locale's under Wine.
  EXPECT_EQ(TConfigINI::LerTexto("HARDWARE", "ULTIMO_ENVIO", ""),
            FormatarDataHoraRegional(Momento(2025, 3, 5, 9, 30, 0)));
  EXPECT_EQ(TConfigINI::LerTexto("HARDWARE", "VERSAO_ULTIMO_ENVIO", ""), "1.0.115");
  EXPECT_EQ(TConfigINI::LerTexto("HARDWARE", "ULTIMA_MARCA", ""), "LENOVO");
  EXPECT_EQ(TConfigINI::LerTexto("HARDWARE", "ULTIMO_MODELO", ""), "20XW0026BR");
  // The server keeps what it received.
  rapidjson::Document c;
  const std::string cen = Admin("admin/scenario");
  c.Parse(cen.c_str());
  ASSERT_TRUE(c.HasMember("inventarios"));
  EXPECT_EQ(LerTextoJson(&c["inventarios"][0], "computador", ""), "PC TESTE&1");

  // Five hours later: nothing; six hours after the upload: again.
  RelogioTeste().Avancar(5 * 3600 * 1000);
  TAgentHardwareSync::SincronizarInventario();
  EXPECT_EQ(Formularios().size(), 1u);
  RelogioTeste().Avancar(3600 * 1000);
  TAgentHardwareSync::SincronizarInventario();
  EXPECT_EQ(Formularios().size(), 2u);
}

TEST_F(UploadTeste, SemTokenNadaAcontece) {
  TConfigINI::EscreverTexto("SERVIDOR", "API_TOKEN", "   ");
  TAgentHardwareSync::SincronizarInventario();
  EXPECT_TRUE(Formularios().empty());
  EXPECT_TRUE(Linhas().empty());
  EXPECT_TRUE(Hw.Consultas.empty());  // not even collected
}

TEST_F(UploadTeste, FalhaDeixaHardwareIntactoEPaginaDeErroContaComoEnvio) {
  TConfigINI::EscreverTexto("HARDWARE", "ULTIMO_ENVIO", "lixo");
  Admin("admin/fault", R"({"endpoint":"api/agent_hardware.php","kind":"drop"})");
  TAgentHardwareSync::SincronizarInventario();
  EXPECT_EQ(TConfigINI::LerTexto("HARDWARE", "ULTIMO_ENVIO", ""), "lixo");
  EXPECT_FALSE(TConfigINI::ChaveExiste("HARDWARE", "VERSAO_ULTIMO_ENVIO"));
  const auto l = Linhas();
  ASSERT_FALSE(l.empty());
  EXPECT_EQ(l.back().rfind("Falha ao enviar inventario hardware: ", 0), 0u) << l.back();
  EXPECT_EQ(
      std::count_if(l.begin(), l.end(),
                    [](const std::string& s) { return s.rfind("POST erro tentativa ", 0) == 0; }),
      3);

  // The next pass tries again at once; an HTML error page counts as delivered.
  Admin("admin/fault", R"({"endpoint":"api/agent_hardware.php","kind":"html500"})");
  TAgentHardwareSync::SincronizarInventario();
  EXPECT_EQ(TConfigINI::LerTexto("HARDWARE", "VERSAO_ULTIMO_ENVIO", ""), "1.0.115");
  EXPECT_NE(TConfigINI::LerTexto("HARDWARE", "ULTIMO_ENVIO", ""), "lixo");
}
