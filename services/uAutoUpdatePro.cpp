// Self-update from "api/update.json".
#include "services/uAutoUpdatePro.h"

#include <rapidjson/document.h>

#include <cmath>
#include <cstdlib>

#include "config/uConfigINI.h"
#include "config/uRepasseAtualizacao.h"
#include "config/uVersao.h"
#include "log/uLogger.h"
#include "net/uHttpCorpo.h"
#include "net/uHttpRetry.h"
#include "net/uJsonHelper.h"
#include "platform/uArquivos.h"
#include "platform/uCripto.h"
#include "platform/uDigest.h"
#include "platform/uErros.h"
#include "platform/uLocalidade.h"
#include "platform/uProcessos.h"
#include "platform/uRelogio.h"
#include "platform/uShell.h"
#include "platform/uSistema.h"
#include "platform/uTexto.h"
#include "services/uPedidoSaida.h"
#include "services/uVersaoExe.h"

namespace {

const char* const kSecaoTentativa = "AUTO_UPDATE";
const char* const kChaveVersao = "ULTIMA_TENTATIVA_VERSAO";
const char* const kChaveHora = "ULTIMA_TENTATIVA_HORA";
const TFormatoRegional kCarimbo{"yyyy-MM-dd", "HH:mm:ss", "AM", "PM"};

// Inside the script's quotes a "%" would start a variable.
std::string Aspas(const std::string& ACaminho) {
  return "\"" + SubstituirTudo(ACaminho, "%", "%%") + "\"";
}

// A link at the path, or a folder above it that is one, is left alone: the
// deletion would act on a file of someone else's choosing.
void ApagarSemFalha(const std::string& ACaminho) {
  try {
    const std::string ligacao = LigacaoNoCaminho(PastaDe(ACaminho), ACaminho);
    if (!ligacao.empty()) {
      TLogger::Log("Auto update: " + ligacao + " e uma juncao ou link simbolico; nada apagado.");
      return;
    }
    Arquivos().Apagar(ACaminho);
  } catch (...) {
    // A file that cannot be removed is taken up again by the next check or start.
  }
}

// A refusal after the download: the file goes, and the same version is not
// fetched again for an hour.
void Recusar(const std::string& ANovo, const std::string& AVersao, const std::string& AMotivo) {
  TLogger::Log("Auto update: " + AMotivo);
  ApagarSemFalha(ANovo);
  TAutoUpdatePro::RegistrarTentativa(AVersao, Agora());
}

bool Sha256Valido(const std::string& AHex) {
  if (AHex.size() != 64) return false;
  for (char c : AHex)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// When the running agent is signed, the new file must be signed by the same
// signer with a signature that verifies: the same certificate (its pinned
// thumbprint stands for the trust anchor, so a chain that ends in a root the
// machine does not know, a company's own, is accepted), or a renewal of it
// (the same subject) under a chain the system trusts. A broken or missing
// signature is not; nor is an agent whose own signature cannot be read.
bool MesmoAssinante(const std::string& AExe, const std::string& ANovo, std::string& AErro) {
  const TAssinaturaArquivo atual = AssinaturaArquivo().Ler(AExe);
  const char* const kIlegivel = "assinatura digital do agente em execucao nao pode ser lida";
  if (!atual.Presente) {
    // Unsigned for the system; unless its bytes say otherwise, nothing to match.
    std::string bytes;
    if (!Arquivos().LerTudo(AExe, bytes) || ExecutavelComAssinatura(bytes)) {
      AErro = kIlegivel;
      return false;
    }
    return true;
  }
  if (atual.Impressao.empty() && atual.Assunto.empty()) {
    AErro = kIlegivel;
    return false;
  }
  const TAssinaturaArquivo novo = AssinaturaArquivo().Ler(ANovo);
  if (!novo.Presente) {
    AErro = "arquivo baixado sem assinatura digital, mas o agente e assinado";
    return false;
  }
  if (novo.Resultado != 0 && novo.Resultado != kConfiancaRaizNaoConfiavel) {
    char cod[16];
    std::snprintf(cod, sizeof(cod), "%08X", static_cast<unsigned>(novo.Resultado));
    AErro = std::string("assinatura digital do arquivo baixado invalida (WinVerifyTrust=0x") + cod +
            ")";
    return false;
  }
  if (!atual.Impressao.empty() && IgualSemCaixa(novo.Impressao, atual.Impressao)) return true;
  if (!atual.Assunto.empty() && novo.Assunto == atual.Assunto && novo.Resultado == 0) return true;
  AErro = "arquivo baixado assinado por outro certificado (" + novo.Impressao + ")";
  return false;
}

// The script replaces the executable in place: in a folder that this user
// cannot write (the package's, under Program Files) it would fail after the
// whole download. A probe file beside the executable tells first. Said once
// per version, and the attempt is recorded like any other.
bool AtualizadoPeloPacote(const std::string& AExe, const std::string& AVersao) {
  const std::string pasta = PastaDe(AExe);
  const std::string sonda = pasta + "gravacao_" + std::to_string(Sistema().IdProcesso()) + ".tmp";
  if (Arquivos().Gravar(sonda, "")) {
    ApagarSemFalha(sonda);
    return false;
  }
  const char* const kChaveAvisada = "PACOTE_VERSAO";
  if (TConfigINI::LerTexto(kSecaoTentativa, kChaveAvisada, "") != AVersao) {
    TLogger::Log("Auto update: pasta do agente sem permissao de escrita (" + pasta + "); versao " +
                 AVersao + " nao baixada: este agente e atualizado pelo pacote de instalacao.");
    try {
      TConfigINI::EscreverTexto(kSecaoTentativa, kChaveAvisada, AVersao);
    } catch (...) {
      // A refused config.ini only repeats this line at the next check.
    }
    TAutoUpdatePro::RegistrarTentativa(AVersao, Agora());
  }
  return true;
}

void Executar(const std::string& AVersaoAtual) {
  const TConfigAgente cfg = TConfigINI::Carregar();
  const std::string base = TConfigINI::NormalizarURL(cfg.URL, cfg.UsarSSL);
  if (base.empty()) {
    TLogger::Log("Auto update ignorado: URL base vazia.");
    return;
  }
  const std::string urlManifesto = TAutoUpdatePro::AdicionarAntiCache(base + "api/update.json");
  TLogger::Log("Auto update: consultando " + urlManifesto);
  const std::string corpo = THttpRetry::GetText(urlManifesto, 3);
  if (Aparar(corpo).empty()) {
    TLogger::Log("Auto update: update.json retornou vazio.");
    return;
  }
  const std::string json = RemoverBomUtf8(corpo);
  rapidjson::Document doc;
  if (!AnalisarJson(doc, json) || !doc.IsObject()) {
    TLogger::Log("Auto update: update.json invalido/HTML: " + CortarUtf16(corpo, 300));
    return;
  }
  const std::string versao = Aparar(ObterJsonTexto(&doc, "versao", ""));
  std::string arquivo = Aparar(ObterJsonTexto(&doc, "arquivo", ""));
  if (arquivo.empty()) arquivo = Aparar(ObterJsonTexto(&doc, "url", ""));
  if (versao.empty()) {
    TLogger::Log("Auto update: campo versao ausente no update.json.");
    return;
  }
  // It goes into the log, the attempt record and the watchdog's hand-over: a
  // line break there would add keys of its own (a REVERTIDA that blocks a
  // later release).
  if (!VersaoAceitavel(versao)) {
    TLogger::Log("Auto update: campo versao invalido no update.json: " +
                 PrimeirosCaracteres(versao, 40));
    return;
  }
  if (arquivo.empty()) {
    TLogger::Log("Auto update: campo arquivo/url ausente no update.json.");
    return;
  }
  const std::string urlArquivo =
      TAutoUpdatePro::AdicionarAntiCache(TAutoUpdatePro::ResolverUrlArquivo(base, arquivo));
  TLogger::Log("Auto update: versao local=" + AVersaoAtual + " servidor=" + versao);
  const int r = TAutoUpdatePro::CompararVersoes(AVersaoAtual, versao);
  TLogger::Log("Auto update: resultado comparacao=" + std::to_string(r) +
               " (-1=servidor maior, 0=igual, 1=local maior)");
  if (r == 0) {
    TLogger::Log("Auto update: nenhuma atualizacao necessaria. Versoes iguais.");
    return;
  }
  if (r == 1) {
    TLogger::Log("Auto update: ignorado para evitar downgrade. Local maior que servidor.");
    return;
  }

  const std::string exe = Arquivos().CaminhoExecutavel();
  const std::string revertida = TRegistroRepasse::Revertida(exe);
  if (!revertida.empty() && TAutoUpdatePro::CompararVersoes(revertida, versao) == 0) {
    TLogger::Log("Auto update: versao " + versao +
                 " revertida pelo watchdog apos falhas; atualizacao ignorada.");
    return;
  }
  if (AtualizadoPeloPacote(exe, versao)) return;
  if (TAutoUpdatePro::TentativaRecente(versao, Agora())) {
    TLogger::Log("Auto update: atualizacao para " + versao +
                 " ja tentada ha menos de 1 hora; nova tentativa depois.");
    return;
  }
  // The download and the script live where only the employee can write: in
  // the shared base folder another user could swap either while they wait.
  const std::string pastaUsuario = TConfigINI::PastaUsuario();
  if (pastaUsuario.empty()) {
    TLogger::Log("Auto update: pasta local do usuario desconhecida; atualizacao cancelada.");
    return;
  }
  const std::string pastaUpdate = pastaUsuario + "update" + kSep;
  const std::string pastaBackup = PastaDe(exe) + "backup" + kSep;
  const std::string novo = pastaUpdate + "Zelvan_new.exe";
  const std::string script = pastaUpdate + "aplicar_update_agente.bat";
  // The verified bytes, written beside the executable for the script to rename.
  const std::string instalar = exe + ".novo";
  // A path the script cannot spell would copy to or start the wrong file.
  for (const std::string& c : {exe, novo, pastaBackup, script, instalar}) {
    std::string ansi;
    if (!Utf8ParaAnsi(c, ansi)) {
      TLogger::Log("Auto update: caminho nao representavel na pagina de codigo ANSI: " + c +
                   "; atualizacao cancelada.");
      return;
    }
  }

  TLogger::Log("Auto update: atualizacao necessaria. Iniciando download. URL=" + urlArquivo);
  if (!Arquivos().CriarPastas(pastaUpdate))
    throw EVesk("Unable to create directory \"" + pastaUpdate + "\"", "EInOutError");
  if (const std::string l = LigacaoNoCaminho(pastaUsuario, pastaUpdate); !l.empty()) {
    TLogger::Log("Auto update: " + l + " e uma juncao ou link simbolico; atualizacao cancelada.");
    return;
  }
  if (Arquivos().ArquivoExiste(novo) || Arquivos().EhLigacao(novo)) ApagarSemFalha(novo);
  if (!THttpRetry::DownloadFile(urlArquivo, novo, 3)) {
    TLogger::Log("Auto update: falha ao baixar arquivo. URL=" + urlArquivo);
    return;
  }
  TLogger::Log("Auto update: arquivo baixado em " + novo +
               " tamanho=" + std::to_string(TAutoUpdatePro::TamanhoArquivo(novo)));
  if (!Arquivos().ArquivoExiste(novo)) {
    TLogger::Log("Auto update: download finalizou, mas arquivo nao existe.");
    return;
  }
  if (!TAutoUpdatePro::ArquivoExeValido(novo)) {
    TLogger::Log("Auto update: arquivo baixado invalido. Nao e EXE MZ valido. tamanho=" +
                 std::to_string(TAutoUpdatePro::TamanhoArquivo(novo)));
    ApagarSemFalha(novo);
    return;
  }

  std::string bytes;
  if (!Arquivos().LerTudo(novo, bytes)) {
    TLogger::Log("Auto update: arquivo baixado nao pode ser lido; atualizacao cancelada.");
    ApagarSemFalha(novo);
    return;
  }
  // Installing a file that is not the announced version would repeat the
  // update after every restart.
  std::string versaoArquivo;
  if (!LerVersaoExecutavel(bytes, versaoArquivo))
    return Recusar(novo, versao, "arquivo baixado sem recurso de versao; arquivo descartado.");
  if (TAutoUpdatePro::CompararVersoes(versaoArquivo, versao) != 0)
    return Recusar(novo, versao,
                   "versao do arquivo baixado (" + versaoArquivo +
                       ") difere da versao do update.json (" + versao + "); arquivo descartado.");
  // Another program of the same signer and version (the watchdog) is no update
  // of the agent: its version resource must name the agent.
  std::string nomeOriginal;
  if (!LerNomeOriginalExecutavel(bytes, nomeOriginal) || !IgualSemCaixa(nomeOriginal, "Zelvan.exe"))
    return Recusar(novo, versao,
                   "arquivo baixado nao e o agente (nome original \"" + nomeOriginal +
                       "\" no recurso de versao); arquivo descartado.");
  const std::string digest = Sha256Hex(bytes);
  const std::string sha = MinusculasAscii(Aparar(ObterJsonTexto(&doc, "sha256", "")));
  if (!sha.empty() && !Sha256Valido(sha))
    return Recusar(novo, versao, "campo sha256 invalido no update.json; arquivo descartado.");
  if (!sha.empty() && sha != digest)
    return Recusar(novo, versao,
                   "sha256 do arquivo baixado (" + digest +
                       ") nao confere com o update.json; arquivo descartado.");
  if (!TAutoUpdatePro::ChavePublica.empty()) {
    std::string erro;
    if (!TAutoUpdatePro::AssinaturaValida(TAutoUpdatePro::ChavePublica, digest,
                                          Aparar(ObterJsonTexto(&doc, "assinatura", "")), erro))
      return Recusar(novo, versao, erro + "; arquivo descartado.");
  }
  {
    std::string erro;
    if (!MesmoAssinante(exe, novo, erro))
      return Recusar(novo, versao, erro + "; arquivo descartado.");
  }

  if (!Arquivos().CriarPastas(pastaBackup))
    throw EVesk("Unable to create directory \"" + pastaBackup + "\"", "EInOutError");
  const TDateTime agora = Agora();
  const std::string backup =
      pastaBackup + "Zelvan_backup_" + FormatarDataHora("yyyymmdd_hhnnss", agora) + ".exe";
  // The script only renames this copy over the executable, so the bytes
  // checked above are the bytes installed, whatever happens to the download.
  // GravarNovo refuses anything already there, a link planted by another user
  // included.
  if (Arquivos().ArquivoExiste(instalar) || Arquivos().EhLigacao(instalar))
    ApagarSemFalha(instalar);
  if (!Arquivos().GravarNovo(instalar, bytes)) {
    TLogger::Log("Auto update: falha ao gravar " + instalar + "; atualizacao cancelada.");
    return;
  }
  const uint32_t pid = Sistema().IdProcesso();
  std::string erro;
  bool criado = false;
  try {
    criado = TAutoUpdatePro::CriarBatAtualizacao(script, exe, instalar, pid, backup, erro);
  } catch (...) {
    ApagarSemFalha(instalar);
    throw;
  }
  if (!criado) {
    ApagarSemFalha(instalar);
    TLogger::Log("Auto update: " + erro + "; atualizacao cancelada.");
    return;
  }
  TLogger::Log("Auto update: BAT criado em " + script);
  TLogger::Log("Auto update: fechando agente para aplicar atualizacao.");
  // The watchdog learns of the hand-over before the script can end this process.
  TRepasseAtualizacao repasse;
  repasse.Pid = pid;
  repasse.VersaoAnterior = AVersaoAtual;
  repasse.VersaoNova = versao;
  repasse.Hora = agora;
  if (!TRegistroRepasse::Gravar(exe, repasse)) {
    ApagarSemFalha(instalar);
    TLogger::Log("Auto update: falha ao gravar " + TRegistroRepasse::Arquivo(exe) +
                 "; atualizacao cancelada.");
    return;
  }
  TAutoUpdatePro::RegistrarTentativa(versao, agora);
  TChamadaShell c;
  c.Verbo = "open";
  c.Arquivo = script;
  c.Pasta = pastaUpdate;
  c.Mostrar = kSwShowNormal;
  const intptr_t res = Shell().Executar(c);
  if (res <= 32) {
    TRegistroRepasse::Cancelar(exe);
    ApagarSemFalha(instalar);
    TLogger::Log("Auto update: falha ao iniciar o BAT (ShellExecute=" +
                 std::to_string(static_cast<long long>(res)) + "); agente continua em execucao.");
    return;
  }
  TPedidoSaida::Solicitar("auto update");
}

}  // namespace

void TAutoUpdatePro::VerificarAtualizacao(const std::string& AVersaoAtual) noexcept {
  try {
    Executar(AVersaoAtual);
  } catch (const EVesk& E) {
    TLogger::Log("Erro no auto update: " + E.Classe() + " - " + E.Mensagem());
  } catch (const std::exception& E) {
    TLogger::Log("Erro no auto update: Exception - " + MensagemDoErro(E));
  } catch (...) {
    TLogger::Log("Erro no auto update: Exception - erro desconhecido");
  }
}

int32_t TAutoUpdatePro::ParteVersao(const std::string& AVersao, int AIndice) {
  return ParteDaVersao(AVersao, AIndice);
}

int TAutoUpdatePro::CompararVersoes(const std::string& ALocal, const std::string& AServidor) {
  return CompararTextosVersao(ALocal, AServidor);
}

std::string TAutoUpdatePro::AdicionarAntiCache(const std::string& AURL) {
  const std::string u = Aparar(AURL);
  if (u.empty()) return u;
  return u + (u.find('?') != std::string::npos ? "&" : "?") +
         "t=" + FormatarDataHora("yyyymmddhhnnsszzz", Agora());
}

std::string TAutoUpdatePro::ResolverUrlArquivo(const std::string& ABaseURL,
                                               const std::string& AArquivo) {
  std::string a = SubstituirTudo(Aparar(AArquivo), "\\\\", "/");
  const std::string baixo = MinusculasAscii(a);
  if (baixo.rfind("http://", 0) == 0 || baixo.rfind("https://", 0) == 0) return a;
  a = SubstituirTudo(Aparar(a), "\\\\", "/");
  size_t n = 0;
  while (n < a.size() && a[n] == '/') ++n;
  return ABaseURL + a.substr(n);
}

bool TAutoUpdatePro::ArquivoExeValido(const std::string& ACaminho) {
  if (!Arquivos().ArquivoExiste(ACaminho) || Arquivos().Tamanho(ACaminho) < 1024) return false;
  std::string b;
  return Arquivos().LerTudo(ACaminho, b) && b.size() >= 2 && b[0] == 'M' && b[1] == 'Z';
}

int64_t TAutoUpdatePro::TamanhoArquivo(const std::string& ACaminho) {
  const int64_t t = Arquivos().Tamanho(ACaminho);
  return t < 0 ? 0 : t;
}

bool TAutoUpdatePro::MontarBatAtualizacao(const std::string& AExe, const std::string& ANovo,
                                          uint32_t APid, const std::string& ABackup,
                                          std::string& ABytes, std::string& AErro) {
  const std::string exe = Aspas(AExe), novo = Aspas(ANovo), bak = Aspas(ABackup);
  std::string t;
  auto linha = [&t](const std::string& L) { t += L + "\r\n"; };
  linha("@echo off");
  linha("setlocal");
  linha("echo Atualizando Vesk Intranet Agent...");
  linha("timeout /t 2 /nobreak >nul");
  if (APid != 0) linha("taskkill /PID " + std::to_string(APid) + " /F >nul 2>nul");
  linha("timeout /t 2 /nobreak >nul");
  linha("if exist " + exe + " copy /Y " + exe + " " + bak + " >nul");
  // A rename on the executable's own volume: what the agent verified and
  // wrote there is what starts.
  linha("move /Y " + novo + " " + exe + " >nul");
  linha("if errorlevel 1 (");
  linha("  timeout /t 3 /nobreak >nul");
  linha("  move /Y " + novo + " " + exe + " >nul");
  linha(")");
  linha("start \"\" " + exe);
  linha("endlocal");
  linha("del \"%~f0\" >nul 2>nul");
  for (const std::string* c : {&AExe, &ANovo, &ABackup}) {
    std::string ansi;
    if (!Utf8ParaAnsi(*c, ansi)) {
      AErro = "caminho nao representavel na pagina de codigo ANSI: " + *c;
      return false;
    }
  }
  if (!Utf8ParaAnsi(t, ABytes)) {
    AErro = "script de atualizacao nao representavel na pagina de codigo ANSI";
    return false;
  }
  return true;
}

bool TAutoUpdatePro::CriarBatAtualizacao(const std::string& AScript, const std::string& AExe,
                                         const std::string& ANovo, uint32_t APid,
                                         const std::string& ABackup, std::string& AErro) {
  std::string bytes;
  if (!MontarBatAtualizacao(AExe, ANovo, APid, ABackup, bytes, AErro)) return false;
  if (!Arquivos().Gravar(AScript, bytes))
    throw EVesk("Cannot create file \"" + AScript + "\"", "EFCreateError");
  return true;
}

std::string TAutoUpdatePro::ChavePublica = VESK_CHAVE_ATUALIZACAO;

bool TAutoUpdatePro::AssinaturaValida(const std::string& AChaveBase64,
                                      const std::string& ADigestHex,
                                      const std::string& AAssinaturaBase64, std::string& AErro) {
  std::string chave, digest, assinatura, rs;
  std::string ponto;
  if (!DecodificarBase64(AChaveBase64, chave) || !PontoDaChaveP256(chave, ponto)) {
    AErro = "chave de assinatura embutida invalida";
    return false;
  }
  if (Aparar(AAssinaturaBase64).empty()) {
    AErro = "campo assinatura ausente no update.json";
    return false;
  }
  if (!DecodificarHex(ADigestHex, digest) || digest.size() != 32) {
    AErro = "resumo sha256 do arquivo indisponivel";
    return false;
  }
  if (!DecodificarBase64(AAssinaturaBase64, assinatura) || !AssinaturaParaRs(assinatura, rs) ||
      !VerificarEcdsaP256(chave, digest, rs)) {
    AErro = "assinatura do arquivo baixado invalida";
    return false;
  }
  return true;
}

bool TAutoUpdatePro::TentativaRecente(const std::string& AVersao, TDateTime AAgora) {
  const std::string v = TConfigINI::LerTexto(kSecaoTentativa, kChaveVersao, "");
  if (v.empty() || CompararVersoes(v, AVersao) != 0) return false;
  TDateTime quando = 0;
  if (!LerDataHoraRegional(kCarimbo, TConfigINI::LerTexto(kSecaoTentativa, kChaveHora, ""), quando))
    return false;
  // Either way: a clock set back must not start a loop either.
  return std::fabs(AAgora - quando) < kEsperaNovaTentativaDias;
}

void TAutoUpdatePro::RegistrarTentativa(const std::string& AVersao, TDateTime AAgora) {
  try {
    TConfigINI::EscreverTexto(kSecaoTentativa, kChaveVersao, AVersao);
    TConfigINI::EscreverTexto(kSecaoTentativa, kChaveHora,
                              FormatarDataHora("yyyy-mm-dd hh:nn:ss", AAgora));
    TConfigINI::Descarregar();
  } catch (const std::exception& E) {
    TLogger::Log("Auto update: tentativa nao registrada em config.ini: " + MensagemDoErro(E));
  }
}
