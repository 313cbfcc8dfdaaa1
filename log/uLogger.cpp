// The agent log: one UTF-8 file a day in the base folder's "logs" folder.
#include "log/uLogger.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "config/uConfigINI.h"
#include "platform/uArquivos.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"

namespace {

// Texts that make a line worth keeping when detailed logging is off. They are
// matched against the message with only A-Z lowered, so the accented forms are
// listed on their own.
// clang-format off
constexpr std::string_view kPalavrasChave[] = {
    "erro", "falha", "exception", "exce", "ack mensagem", "mensagem recebida", "aviso", "vinculo",
    "vínculo", "cpf pendente", "senha do agente sincronizada", "comando executado", "auto update",
    "atualizacao", "atualização", "wallpaper aplicado", "cache antigo removido"};
// clang-format on

constexpr double kRetencaoDias = 30.0;

// Lives for the process: the first line written after start-up always cleans.
TDateTime GUltimaLimpeza = 0;

// The logs folder this process has made sure of; a line that then fails to go
// into it looks again, in case the folder was removed since.
std::string GPastaCriada;

std::string PastaDosLogs() {
  return TConfigINI::PastaBaseSemCriar() + "logs" + kSep;
}

void GarantirPasta(const std::string& APasta) {
  if (Arquivos().CriarPastas(APasta)) GPastaCriada = APasta;
}

// Keeps the log files of the folder (*.log and *.old) under the folder's total,
// deleting the oldest first; the file the next line goes to is kept.
void LimitarTotal(IArquivos& AFs, const std::string& APasta, const std::string& AAtual) {
  std::vector<TInfoArquivo> arquivos;
  long long total = 0;
  for (const char* mascara : {"*.log", "*.old"}) {
    for (TInfoArquivo& f : AFs.Listar(APasta, mascara)) {
      total += std::max<int64_t>(f.Tamanho, 0);
      arquivos.push_back(std::move(f));
    }
  }
  if (total <= TLogger::kTotalMaximoPasta) return;
  std::sort(arquivos.begin(), arquivos.end(), [](const TInfoArquivo& A, const TInfoArquivo& B) {
    return A.Modificado != B.Modificado ? A.Modificado < B.Modificado : A.Nome < B.Nome;
  });
  for (const TInfoArquivo& f : arquivos) {
    if (total <= TLogger::kTotalMaximoPasta) break;
    if (IgualSemCaixa(f.Nome, AAtual)) continue;
    // A file that is locked or protected is left, and the next one goes instead.
    if (AFs.Apagar(APasta + f.Nome)) total -= std::max<int64_t>(f.Tamanho, 0);
  }
}

}  // namespace

// One message, one line: a line break or other control character in a text
// from outside (a server's title, a body, a version) would otherwise forge
// lines of its own. C0 controls (but the tab, which breaks no line) and DEL
// become a space, and so does a C1 control (U+0080 to U+009F, two bytes in
// UTF-8).
std::string TLogger::UmaLinha(const std::string& AMsg) {
  std::string r;
  r.reserve(AMsg.size());
  for (size_t i = 0; i < AMsg.size(); ++i) {
    const auto b = static_cast<unsigned char>(AMsg[i]);
    if ((b < 0x20 && b != '\t') || b == 0x7F) {
      r += ' ';
    } else if (b == 0xC2 && i + 1 < AMsg.size() &&
               (static_cast<unsigned char>(AMsg[i + 1]) & 0xE0) == 0x80) {
      r += ' ';
      ++i;
    } else {
      r += AMsg[i];
    }
  }
  return r;
}

bool TLogger::MensagemRelevante(const std::string& AMsg) {
  const std::string m = MinusculasAscii(AMsg);
  for (std::string_view p : kPalavrasChave)
    if (Contem(m, p)) return true;
  return false;
}

bool TLogger::LogDetalhadoAtivo() {
  try {
    // The same file as ArquivoConfig, reached without creating any folder.
    const std::string arq = TConfigINI::PastaBaseSemCriar() + "config.ini";
    // Read through TConfigINI, which keeps what the file said while it stays
    // the same: every line asks. A missing file gives both defaults: off.
    const bool debug = TConfigINI::LerBooleano(arq, "LOG", "DEBUG", false);
    return TConfigINI::LerBooleano(arq, "LOG", "DETALHADO", debug);
  } catch (...) {
    return false;
  }
}

std::string TLogger::PastaLogs() {
  const std::string pasta = PastaDosLogs();
  GarantirPasta(pasta);
  return pasta;
}

std::string TLogger::ArquivoLogDoDia() {
  return PastaLogs() + NomeDoDia();
}

std::string TLogger::NomeDoDia() {
  return "Zelvan_" + FormatarDataHora("yyyy_mm_dd", Agora()) + ".log";
}

void TLogger::LimparLogsAntigos() {
  try {
    const TDateTime agora = Agora();
    // A clock set back must not hold the cleanup off until it catches up again.
    if (GUltimaLimpeza > 0 && agora >= GUltimaLimpeza && agora - GUltimaLimpeza < kUmaHora) return;
    GUltimaLimpeza = agora;
    const TDateTime limite = agora - kRetencaoDias;
    IArquivos& fs = Arquivos();
    const std::string pasta = PastaLogs();
    for (const char* mascara : {"*.log", "*.old"}) {
      for (const TInfoArquivo& f : fs.Listar(pasta, mascara)) {
        // A file that is locked, gone or protected is just left alone.
        if (f.Modificado < limite) fs.Apagar(pasta + f.Nome);
      }
    }
    LimitarTotal(fs, pasta, NomeDoDia());
  } catch (...) {
    // Cleanup is best effort: the next hour tries again, and logging goes on.
  }
}

void TLogger::RotacionarLog(const std::string& ACaminho) {
  try {
    IArquivos& fs = Arquivos();
    const int64_t tamanho = fs.Tamanho(ACaminho);
    if (tamanho < kTamanhoMaximo) return;  // also when there is no file (-1)
    const TDateTime agora = Agora();
    const std::string base = SemExtensao(ACaminho) + "_";
    std::string novo = base + FormatarDataHora("hhnnss", agora) + ".old";
    if (fs.ArquivoExiste(novo)) novo = base + FormatarDataHora("hhnnsszzz", agora) + ".old";
    // When this fails the line still goes to the large file.
    if (!fs.Renomear(ACaminho, novo)) return;
    // Each rotation adds a full file: a flood of lines must not fill the disk
    // before the next hourly cleanup.
    const size_t barra = ACaminho.find_last_of("/\\");
    LimitarTotal(fs, ACaminho.substr(0, barra + 1),
                 barra == std::string::npos ? ACaminho : ACaminho.substr(barra + 1));
  } catch (...) {
    // The rotated file stays; the hourly cleanup keeps the folder's total.
  }
}

void TLogger::Log(const std::string& AMsg) noexcept {
  try {
    if (!LogDetalhadoAtivo() && !MensagemRelevante(AMsg)) return;
    LimparLogsAntigos();
    // The folder is made once (and the cleanup above may have made it).
    const std::string pasta = PastaDosLogs();
    const bool criada = pasta == GPastaCriada;
    if (!criada) GarantirPasta(pasta);
    const std::string caminho = pasta + NomeDoDia();
    const std::string linha =
        FormatarDataHora("yyyy-mm-dd hh:nn:ss", Agora()) + " - " + UmaLinha(AMsg) + "\r\n";
    IArquivos& fs = Arquivos();
    // The usual line opens the file once; a full one is set aside first.
    IArquivos::TAnexo anexo = fs.AnexarAbaixoDe(caminho, linha, kTamanhoMaximo);
    if (anexo == IArquivos::TAnexo::Cheio) {
      RotacionarLog(caminho);
      anexo = fs.Anexar(caminho, linha) ? IArquivos::TAnexo::Anexado : IArquivos::TAnexo::Falhou;
    }
    if (anexo == IArquivos::TAnexo::Anexado || !criada || fs.PastaExiste(pasta)) return;
    // Removed since it was made: made again, and the line goes in.
    GarantirPasta(pasta);
    fs.Anexar(caminho, linha);
  } catch (...) {
    // A line that cannot be written is lost; logging never fails its caller.
  }
}

void TLogger::Debug(const std::string& AMsg) noexcept {
  try {
    if (LogDetalhadoAtivo()) Log("[DEBUG] " + AMsg);
  } catch (...) {
    // Same for the detailed line: the log never fails its caller.
  }
}

TDateTime TLogger::UltimaLimpezaLogs() {
  return GUltimaLimpeza;
}

void TLogger::ReiniciarUltimaLimpeza() {
  GUltimaLimpeza = 0;
}
