// Inventory collection with the real Windows concerns under Wine: the system
// calls, WMI through the scripting locator, and BIOS registry values that are
// not strings or are far too long.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/uTexto.h"
#include "platform/uWin32Texto.h"
#include "services/uAgentHardwareInfo.h"

namespace {

const wchar_t* kBios = L"HARDWARE\\DESCRIPTION\\System\\BIOS";

// Values of the test's own names in the BIOS key, removed afterwards.
class ValoresBios : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBios, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_WRITE, nullptr, &FChave, nullptr),
              ERROR_SUCCESS)
        << "the BIOS key cannot be written in this prefix";
  }
  void TearDown() override {
    for (const wchar_t* n : {L"VeskTesteBinario", L"VeskTesteLongo", L"VeskTesteDword"})
      RegDeleteValueW(FChave, n);
    RegCloseKey(FChave);
  }
  HKEY FChave = nullptr;
};

}  // namespace

TEST_F(ValoresBios, BinarioOuNumeroDaoVazioETextoLongoECortado) {
  const BYTE binario[] = {'D', 0, 'e', 0, 'l', 0, 'l', 0, 0, 0};
  ASSERT_EQ(RegSetValueExW(FChave, L"VeskTesteBinario", 0, REG_BINARY, binario, sizeof binario),
            ERROR_SUCCESS);
  const DWORD numero = 7;
  ASSERT_EQ(RegSetValueExW(FChave, L"VeskTesteDword", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&numero), sizeof numero),
            ERROR_SUCCESS);
  std::wstring longo;
  for (int i = 0; i < 10000; ++i) longo += (i % 50 == 0) ? L"\r\n" : L"Ab \t";
  ASSERT_EQ(RegSetValueExW(FChave, L"VeskTesteLongo", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(longo.c_str()),
                           static_cast<DWORD>((longo.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  EXPECT_EQ(TAgentHardwareInfoHelper::LerValorBIOS("VeskTesteBinario"), "");
  EXPECT_EQ(TAgentHardwareInfoHelper::LerValorBIOS("VeskTesteDword"), "");
  EXPECT_EQ(TAgentHardwareInfoHelper::LerValorBIOS("VeskTesteAusente"), "");
  const std::string v = TAgentHardwareInfoHelper::LerValorBIOS("VeskTesteLongo");
  EXPECT_EQ(ComprimentoUtf16(v), 220u);
  EXPECT_EQ(v.find('\n'), std::string::npos);
  EXPECT_EQ(v.find("  "), std::string::npos);
}

TEST(InventarioReal, ColetaComOsConcernsReais) {
  const TAgentHardwareInfo i = TAgentHardwareInfoHelper::Coletar();
  wchar_t nome[17] = {};
  DWORD n = 17;
  ASSERT_TRUE(GetComputerNameW(nome, &n));
  EXPECT_EQ(i.Computador, MaiusculasAscii(Aparar(DeWide(nome))));
  EXPECT_GT(i.ProcessadorNucleos, 0);
  EXPECT_GT(i.MemoriaRamGB, 0.0);
  EXPECT_GT(i.DiscoTotalGB, 0.0);
  EXPECT_EQ(i.DiscoSistema, "C:");
  // This test program declares no Windows 10 support (Zelvan.exe does, tested
  // end to end), so the numbers may be the compatibility ones.
  EXPECT_EQ(i.WindowsVersao.rfind("Windows ", 0), 0u) << i.WindowsVersao;
  EXPECT_NE(i.WindowsVersao.find(" build "), std::string::npos) << i.WindowsVersao;
  // WMI answers under Wine through the scripting locator.
  EXPECT_EQ(TAgentHardwareInfoHelper::ConsultarWMI("SELECT Manufacturer FROM Win32_ComputerSystem",
                                                   "Manufacturer"),
            "");  // COM is not initialised by the caller here
  EXPECT_FALSE(i.MarcaEquipamento.empty());
  EXPECT_FALSE(i.ModeloEquipamento.empty());
  // Collection leaves COM as it found it: not initialised on this thread.
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(TAgentHardwareInfoHelper::ConsultarWMI("SELECT Manufacturer FROM Win32_ComputerSystem",
                                                   "Manufacturer"),
            i.MarcaEquipamento.substr(0, 220));
  EXPECT_EQ(TAgentHardwareInfoHelper::ConsultarWMI("SELECT Nada FROM Win32_ComputerSystem", "Nada"),
            "");
  EXPECT_EQ(TAgentHardwareInfoHelper::ConsultarWMI("SELECT isto nao e WQL", "X"), "");
  CoUninitialize();
}
