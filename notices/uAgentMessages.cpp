// The notice pass over the server's answer, the local state, the media cache,
// the popup and the acknowledgement.
#include "net/uConvencoes.h"
#include "notices/uAgentMessages.h"

#include "log/uLogger.h"
#include "net/uHttpRetry.h"
#include "net/uJsonHelper.h"
#include "notices/uAckMensagem.h"
#include "notices/uCacheMidia.h"
#include "notices/uEstadoMensagens.h"
#include "notices/uPopupMensagem.h"
#include "notices/uVinculoColaborador.h"
#include "notices/uWallpaper.h"
#include "platform/uArquivos.h"
#include "platform/uErros.h"
#include "platform/uRelogio.h"
#include "platform/uTexto.h"
#include "platform/ui/uKit.h"

namespace {

// A notice as the pass reads it from one element of the array.
struct TAviso {
  int32_t Id = 0;
  std::string Titulo, Mensagem, SourceTable, CriadaEm;
  bool Lida = false, JaLida = false;
  std::string LogoURL, ImagemURL, AudioURL, WallpaperURL;
  int32_t AplicarWallpaper = 0;
};

// The preferred member whenever it is present, even empty or null.
std::string LerPreferido(const rapidjson::Value* AObj, const char* APreferido,
                         const char* AAlternativo, const std::string& APadrao) {
  if (MembroJson(AObj, APreferido)) return LerTextoJson(AObj, APreferido, APadrao);
  return LerTextoJson(AObj, AAlternativo, APadrao);
}

bool SimTexto(const rapidjson::Value* AObj, const char* ANome) {
  const std::string v = LerTextoJson(AObj, ANome, "");
  return IgualSemCaixa(v, "true") || v == "1";
}

// The first of "mensagens", "data" and "items" that is an array.
const rapidjson::Value* ArrayDeAvisos(const rapidjson::Value* ARaiz) {
  for (const char* nome : {"mensagens", "data", "items"}) {
    const rapidjson::Value* v = MembroJson(ARaiz, nome);
    if (v && v->IsArray()) return v;
  }
  return nullptr;
}

bool TabelaPermitida(const std::string& ATabela) {
  return ATabela == "mensagens" || ATabela == "avisos";
}

// The wallpaper step never ends the pass: whatever goes wrong in it is a
// wallpaper that was not applied, and the notice is shown all the same.
bool AplicarWallpaperSeguro(const std::string& AArquivo) {
  try {
    return TWallpaper::Aplicar(AArquivo);
  } catch (...) {
    return false;
  }
}

enum class TFimAviso { Seguir, EncerrarPasso };

// Downloads, shows, acknowledges and records one notice new on this computer.
TFimAviso Exibir(const TConfigAgente& ACfg, const std::string& AEmpresa, TAviso& A) {
  const std::string id = std::to_string(A.Id);
  if (EmBranco(A.Mensagem)) A.Mensagem = "(sem mensagem)";
  const std::string logo = CaminhoCacheMidia(A.LogoURL, "logo", "imagem");
  const std::string imagem = CaminhoCacheMidia(A.ImagemURL, "msg", "imagem");
  const std::string audio = CaminhoCacheMidia(A.AudioURL, "aud", "audio");
  const std::string wallpaper = CaminhoCacheMidia(A.WallpaperURL, "wall", "imagem");
  BaixarMidia(A.LogoURL, logo);
  BaixarMidia(A.ImagemURL, imagem);
  BaixarMidia(A.AudioURL, audio);
  BaixarMidia(A.WallpaperURL, wallpaper);

  if (A.AplicarWallpaper == 1 && !wallpaper.empty() && Arquivos().ArquivoExiste(wallpaper)) {
    if (AplicarWallpaperSeguro(wallpaper))
      TLogger::Log("Wallpaper aplicado da mensagem ID " + id);
    else
      TLogger::Log("Falha ao aplicar wallpaper da mensagem ID " + id);
  }

  TLogger::Log("Mensagem recebida ID " + id + " [" + A.SourceTable + "]: " + A.Titulo);
  // On disk before the popup opens: an agent that dies while it is open does
  // not show the notice again.
  MarcarMensagemProcessada(A.SourceTable, A.Id);

  // The session ended with the popup open: nobody confirmed the notice, so
  // the server is not told so and the next log-on shows it again. At a
  // log-off this runs before the session-end handler returns, while the
  // process is still sure to live.
  const auto devolver = [&A] { DesmarcarMensagemProcessada(A.SourceTable, A.Id); };
  if (!TFrmPopupMensagem::Exibir(AEmpresa, A.Titulo, A.Mensagem, logo, imagem, audio, devolver))
    return TFimAviso::EncerrarPasso;

  const bool ack = EnviarAck(ACfg, A.SourceTable, A.Id, "li_entendi_excluir_local");
  MarcarMensagemProcessada(A.SourceTable, A.Id);
  MarcarMensagemExcluida(A.SourceTable, A.Id);
  ExcluirArquivosMensagem(logo, imagem, audio, wallpaper);
  if (ack)
    TLogger::Log("Mensagem confirmada e arquivos locais excluidos apos Li e entendi: " +
                 A.SourceTable + ":" + id);
  else
    TLogger::Log(
        "Mensagem confirmada e arquivos locais excluidos; ACK sera reenviado em "
        "silencio depois: " +
        A.SourceTable + ":" + id);
  return TFimAviso::Seguir;
}

// One element of the array, through the whitelist, the day and the state.
TFimAviso Processar(const TConfigAgente& ACfg, const std::string& AEmpresa,
                    const std::string& ALogoRaiz, const rapidjson::Value& AElemento) {
  if (!AElemento.IsObject()) return TFimAviso::Seguir;
  const rapidjson::Value* o = &AElemento;
  TAviso a;
  a.Id = LerInteiroJson(o, "id", 0);
  a.Titulo = LerTextoJson(o, "titulo", "Aviso");
  a.Mensagem = LerTextoJson(o, "mensagem", "");
  a.SourceTable = MinusculasAscii(Aparar(LerTextoJson(o, "source_table", "mensagens")));
  a.CriadaEm = LerTextoJson(o, "created_at", "");
  a.Lida = LerBooleanoJson(o, "lida", false);
  a.JaLida = LerBooleanoJson(o, "ja_lida", false);
  const std::string id = std::to_string(a.Id);

  if (!TabelaPermitida(a.SourceTable)) {
    TLogger::Log("Mensagem ignorada: source_table não permitido no agente desktop: " +
                 a.SourceTable + ":" + id);
    // Handled like any other notice: the position moves past it, or a list
    // headed by such notices would hold back every later one for good.
    if (!MensagemProcessada(a.SourceTable, a.Id)) MarcarMensagemProcessada(a.SourceTable, a.Id);
    AtualizarUltimoIdEntregue(a.Id);
    return TFimAviso::Seguir;
  }
  a.LogoURL = MembroJson(o, "logo_url") ? LerTextoJson(o, "logo_url", "") : ALogoRaiz;
  a.ImagemURL = LerPreferido(o, "imagem_url", "imagem", "");
  a.AudioURL = LerPreferido(o, "audio_url", "audio", "");
  a.WallpaperURL = LerPreferido(o, "wallpaper_url", "wallpaper", "");
  a.AplicarWallpaper = LerInteiroJson(o, "aplicar_wallpaper", 0);
  if (a.Id <= 0) return TFimAviso::Seguir;

  const bool lida = a.Lida || a.JaLida;
  if (!CriadaHoje(a.CriadaEm)) {
    TLogger::Log("Mensagem ignorada: fora do dia atual " + a.SourceTable + ":" + id +
                 " created_at=" + a.CriadaEm);
    // A notice confirmed here whose acknowledgement failed is still owed one
    // once the day has changed; the day only decides what is shown.
    if (!lida) {
      if (MensagemExcluida(a.SourceTable, a.Id))
        EnviarAck(ACfg, a.SourceTable, a.Id, "reenvio_ack_silencioso_excluida_local");
      else if (MensagemProcessada(a.SourceTable, a.Id))
        EnviarAck(ACfg, a.SourceTable, a.Id, "reenvio_ack_silencioso_processada_local");
    }
  } else if (MensagemExcluida(a.SourceTable, a.Id)) {
    TLogger::Log("Mensagem ignorada: excluida localmente apos Li e entendi " + a.SourceTable + ":" +
                 id);
    if (!lida) EnviarAck(ACfg, a.SourceTable, a.Id, "reenvio_ack_silencioso_excluida_local");
  } else if (MensagemProcessada(a.SourceTable, a.Id)) {
    TLogger::Log("Mensagem ignorada: ja processada localmente, sem reabrir popup " + a.SourceTable +
                 ":" + id);
    if (!lida) EnviarAck(ACfg, a.SourceTable, a.Id, "reenvio_ack_silencioso_processada_local");
  } else if (Exibir(ACfg, AEmpresa, a) == TFimAviso::EncerrarPasso) {
    // Not delivered: the position stays, so that the server offers it again.
    return TFimAviso::EncerrarPasso;
  }
  AtualizarUltimoIdEntregue(a.Id);
  return TFimAviso::Seguir;
}

// Old notice keys go once a day (per file, in this process: nothing is stored
// for it). A file that refuses the change costs one line a day, not the pass.
void LimparEstadoDoDia() {
  static std::string GTentada;  // the file and the day of the last attempt
  const TDateTime agora = Agora();
  const std::string marca =
      TConfigINI::ArquivoConfig() + "|" + FormatarDataHora("yyyy-mm-dd", agora);
  if (GTentada == marca) return;
  GTentada = marca;
  try {
    const size_t n = LimparEstadoAntigo(agora);
    if (n > 0)
      TLogger::Log("Estado de mensagens: " + std::to_string(n) +
                   " chave(s) com mais de 30 dias removida(s).");
  } catch (const std::exception& E) {
    TLogger::Log("Falha ao limpar estado antigo de mensagens: " + MensagemDoErro(E));
  }
}

}  // namespace

std::string MontarUrlMensagens(const TConfigAgente& ACfg) {
  return TConfigINI::NormalizarURL(ACfg.URL, ACfg.UsarSSL) + "api/agent_messages.php" +
         "?api_token=" + CodificarURL(ACfg.ApiToken) +
         "&computador=" + CodificarURL(ObterNomeComputadorMaiusculo()) +
         "&usuario=" + CodificarURL(ObterNomeUsuario()) + "&debug=1";
}

bool CriadaHoje(const std::string& ACriadaEm) {
  std::string t = Aparar(ACriadaEm);
  if (t.size() > 9) t.resize(10);
  return IgualSemCaixa(t, FormatarDataHora("yyyy-mm-dd", Agora()));
}

void TAgentMessages::VerificarMensagens() {
  const TConfigAgente cfg = TConfigINI::Carregar();
  if (EmBranco(cfg.ApiToken)) {
    TLogger::Log("Mensagens ignoradas: token ausente.");
    return;
  }
  LimparEstadoDoDia();
  VerificarVinculoColaborador(cfg);
  // A session that ended behind the link warning wants no more popups.
  if (ui::app::Terminando()) return;

  const int32_t n = LerUltimoIdEntregue();
  std::string url = MontarUrlMensagens(cfg) + "&since_id=" + std::to_string(n) + "&limite=20";
  if (n == 0) url += "&bootstrap=1";
  TLogger::Log("Buscando mensagens em: " + MascararTokenNoTexto(url, cfg.ApiToken) +
               " | ultimo_id_entregue=" + std::to_string(n));
  const std::string corpo = THttpRetry::GetText(url, 3);
  if (EmBranco(corpo)) {
    TLogger::Log("API mensagens retornou vazio. Verifique URL/base do servidor.");
    return;
  }
  TLogger::Log("Resposta API mensagens: " + PrimeirosCaracteres(OcultarToken(corpo), 1000));
  const TRespostaJson json(corpo);
  if (json.Tipo() != TTipoResposta::ObjetoJson) {
    TLogger::Log("API mensagens retornou conteúdo inválido/HTML: " +
                 PrimeirosCaracteres(OcultarToken(corpo), 500));
    return;
  }
  const rapidjson::Value* raiz = json.Objeto();
  if (!SimTexto(raiz, "ok") && !SimTexto(raiz, "success")) {
    // Masked before it is cut; the log gets the head of a long answer only.
    TLogger::Log("API mensagens retornou erro: " +
                 CortarUtf16(OcultarToken(corpo), TAgentMessages::kMaxCorpoErroLog));
    return;
  }
  const std::string empresa = LerTextoJson(raiz, "empresa", "");
  const rapidjson::Value* avisos = ArrayDeAvisos(raiz);
  if (!avisos) {
    TLogger::Log("API mensagens sem array mensagens/data/items. Retorno: " +
                 PrimeirosCaracteres(OcultarToken(corpo), 500));
    return;
  }
  TLogger::Log("API mensagens OK. Total retornado: " + std::to_string(avisos->Size()));
  const std::string logoRaiz = LerTextoJson(raiz, "logo_url", "");
  for (const rapidjson::Value& elemento : avisos->GetArray())
    if (Processar(cfg, empresa, logoRaiz, elemento) == TFimAviso::EncerrarPasso) return;
}
