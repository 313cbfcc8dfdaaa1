// A full disk under the log: the line is lost, the caller goes on, and the log
// resumes once there is room again. Linux makes a full disk with /dev/full.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "log/uLogger.h"
#include "tests/support/uTestSupport.h"

namespace {

TEST(LogDiscoCheio, LinhaPerdidaSemAtrapalharEDepoisVolta) {
  ASSERT_EQ(access("/dev/full", W_OK), 0) << "this machine has no /dev/full to fill the disk with";
  TBaseTemporaria base;
  TLogger::Log("Erro antes");
  const std::string log = TLogger::ArquivoLogDoDia();
  ASSERT_FALSE(LerArquivoTeste(log).empty());
  std::filesystem::rename(log, log + ".guardado");
  std::filesystem::create_symlink("/dev/full", log);

  EXPECT_NO_THROW(TLogger::Log("Erro com o disco cheio"));
  EXPECT_NO_THROW(TLogger::LimparLogsAntigos());

  std::filesystem::remove(log);
  std::filesystem::rename(log + ".guardado", log);
  TLogger::Log("Erro depois");
  const std::string texto = LerArquivoTeste(log);
  EXPECT_NE(texto.find("Erro antes"), std::string::npos);
  EXPECT_NE(texto.find("Erro depois"), std::string::npos);
  EXPECT_EQ(texto.find("disco cheio"), std::string::npos);
}

}  // namespace
