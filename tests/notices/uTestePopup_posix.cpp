// Notice popup on the headless kit: the confirmation timeline, the check box and
// button, the warning box, closing and the wait.
#include "tests/notices/uCenarioPopup_posix.h"

#include <optional>

namespace {

// Milliseconds from the start of the wait until the release, the popup then
// confirmed.
class Timeline : public CenarioPopup {
 protected:
  uint32_t MomentoDaLiberacao(const std::string& AAudio) {
    std::optional<uint32_t> liberado;
    Exibir(
        "Texto", "",
        [&](TFrmPopupMensagem& p, uint32_t t) {
          if (!p.Liberado()) {
            EXPECT_FALSE(p.btnOK->Visivel());
            EXPECT_FALSE(p.chkConfirmacao->Visivel());
            return;
          }
          if (!liberado) liberado = t;
          ConfirmarQuandoLiberado(p);
        },
        AAudio);
    EXPECT_TRUE(liberado.has_value());
    return liberado.value_or(0);
  }
};

}  // namespace

TEST_F(Timeline, SemAudioLiberaAosDezSegundos) {
  const uint32_t t = MomentoDaLiberacao("");
  EXPECT_GE(t, 10000u - 20);
  EXPECT_LE(t, 10040u);
}

TEST_F(Timeline, AudioLongoLiberaMeioSegundoAposOFim) {
  const uint32_t t = MomentoDaLiberacao(AudioDe(25000));
  EXPECT_GE(t, 25000u - 20);
  EXPECT_LE(t, 25000u + 500 + 40);
}

TEST_F(Timeline, AudioCurtoLiberaAosDezSegundos) {
  const uint32_t t = MomentoDaLiberacao(AudioDe(5000));
  EXPECT_GE(t, 10000u - 20);
  EXPECT_LE(t, 10040u);
}

TEST_F(Timeline, AudioQueOMciNaoAbreVaiAoShellELiberaAosDezSegundos) {
  const std::string arquivo = FPasta / "som.ogg";
  GravarArquivoTeste(arquivo, "OggS");
  FMci.Responder = [](const std::string& c, std::string&) -> uint32_t {
    return c.rfind("open ", 0) == 0 || c.rfind("status", 0) == 0 ? 263 : 0;
  };
  const uint32_t t = MomentoDaLiberacao(arquivo);
  EXPECT_LE(t, 10040u);
  ASSERT_EQ(FShell.Chamadas.size(), 1u);
  EXPECT_EQ(FShell.Chamadas[0].Arquivo, arquivo);
}

TEST_F(CenarioPopup, AudioParadoAoFecharECommandosEmOrdem) {
  const std::string audio = AudioDe(60000);
  Exibir(
      "Texto", "",
      [](TFrmPopupMensagem& p, uint32_t t) {
        // Still playing at 10 s: no release; release by hand once the test saw that.
        if (t == 12000) {
          EXPECT_FALSE(p.Liberado());
          p.TimerAudioTimer();
          EXPECT_FALSE(p.Liberado());
        }
        if (t >= 12000) ui::app::Terminar();
      },
      audio);
  const std::vector<std::string> textos = FMci.Textos();
  ASSERT_GE(textos.size(), 6u);
  EXPECT_EQ(textos[0], "stop VeskAudio");
  EXPECT_EQ(textos[1], "close VeskAudio");
  EXPECT_EQ(textos[2], "open \"" + audio + "\" type mpegvideo alias VeskAudio");
  EXPECT_EQ(textos[3], "play VeskAudio");
  EXPECT_EQ(textos[4], "status VeskAudio mode");
  // The last two: the popup stops and releases the device on the way out.
  EXPECT_EQ(textos[textos.size() - 2], "stop VeskAudio");
  EXPECT_EQ(textos.back(), "close VeskAudio");
  EXPECT_EQ(TFrmPopupMensagem::Ativo(), nullptr);
}

TEST_F(CenarioPopup, NadaConfirmaAntesDaLiberacao) {
  // From the very first pass of messages, while the window shows its designed
  // content and the check box does not exist yet, the button is neither
  // visible nor enabled, and neither a click nor its handler confirms.
  int passesAntes = 0;
  bool confirmado = false;
  ui::headless::AoProcessarMensagens = [&] {
    TFrmPopupMensagem* p = TFrmPopupMensagem::Ativo();
    if (!p) return;
    if (p->Liberado()) {
      ConfirmarQuandoLiberado(*p);
      confirmado = p->Confirmado();
      return;
    }
    if (++passesAntes == 1) {
      EXPECT_TRUE(p->Visivel());
      EXPECT_EQ(p->chkConfirmacao, nullptr);
    }
    EXPECT_FALSE(p->btnOK->Visivel());
    EXPECT_FALSE(p->btnOK->Habilitado());
    p->btnOK->Clicar();
    p->btnOKClick();
    EXPECT_FALSE(p->Confirmado()) << "confirmed before the release, pass " << passesAntes;
    if (p->EmEspera() && passesAntes > 3) p->TimerConfirmacaoTimer();
  };
  TFrmPopupMensagem::Exibir("Vesk", "Aviso", "Texto", "", "", "");
  ui::headless::AoProcessarMensagens = nullptr;
  EXPECT_GT(passesAntes, 3);
  EXPECT_TRUE(confirmado);
  EXPECT_TRUE(ui::headless::Caixas().empty());
}

TEST_F(CenarioPopup, MarcarEDesmarcarHabilitaEDesabilitaOBotao) {
  int passo = 0;
  Exibir("Texto", "", [&](TFrmPopupMensagem& p, uint32_t) {
    if (!p.Liberado()) return;
    EXPECT_EQ(p.btnOK->Texto(), "Li e entendi");
    EXPECT_EQ(p.chkConfirmacao->Texto(), "Confirmo que li e compreendi esta mensagem");
    EXPECT_TRUE(p.btnOK->Visivel());
    const bool marcado = p.chkConfirmacao->Marcado();
    EXPECT_EQ(p.btnOK->Habilitado(), marcado) << passo;
    if (passo++ < 5) {
      p.chkConfirmacao->Clicar();
      EXPECT_EQ(p.btnOK->Habilitado(), !marcado);
      if (!p.chkConfirmacao->Marcado()) {
        // A press on the disabled button does nothing.
        p.btnOK->Clicar();
        EXPECT_FALSE(p.Confirmado());
      }
      return;
    }
    p.btnOK->Clicar();
    EXPECT_TRUE(p.Confirmado());
  });
  EXPECT_EQ(passo, 6);
  EXPECT_TRUE(ui::headless::Caixas().empty());
}

TEST_F(CenarioPopup, BotaoSemMarcarMostraOAviso) {
  bool avisou = false;
  Exibir("Texto", "", [&](TFrmPopupMensagem& p, uint32_t) {
    if (!p.Liberado()) return;
    if (!avisou) {
      p.btnOKClick();
      avisou = true;
      EXPECT_FALSE(p.Confirmado());
      EXPECT_TRUE(p.Visivel());
      return;
    }
    ConfirmarQuandoLiberado(p);
  });
  ASSERT_EQ(ui::headless::Caixas().size(), 1u);
  const auto& caixa = ui::headless::Caixas()[0];
  EXPECT_EQ(caixa.Texto, "Marque a confirmação de leitura antes de continuar.");
  EXPECT_EQ(caixa.Titulo, "Confirmação obrigatória");
  EXPECT_EQ(caixa.Tipo, ui::TTipoCaixa::Aviso);
  EXPECT_NE(caixa.Dono, nullptr);
}

TEST_F(CenarioPopup, FecharDeForaERecusadoEJanelaOcultaVoltaATela) {
  int tentativas = 0;
  Exibir("Texto", "", [&](TFrmPopupMensagem& p, uint32_t t) {
    EXPECT_TRUE(p.Visivel()) << t;
    if (t == 1000 || t == 11000) {
      // Alt+F4 or WM_CLOSE before and after the release, still unconfirmed.
      EXPECT_FALSE(p.Fechar());
      ++tentativas;
    }
    if (t == 2000) p.Ocultar();  // shown again before the next pass
    if (t >= 12000) ConfirmarQuandoLiberado(p);
  });
  EXPECT_EQ(tentativas, 2);
}

TEST_F(CenarioPopup, TerminarAAplicacaoEncerraAEsperaSemConfirmar) {
  bool confirmado = true;
  Exibir("Texto", "", [&](TFrmPopupMensagem& p, uint32_t t) {
    confirmado = p.Confirmado();
    if (t >= 3000) ui::app::Terminar();
  });
  EXPECT_FALSE(confirmado);
  EXPECT_EQ(TFrmPopupMensagem::Ativo(), nullptr);
}

TEST_F(CenarioPopup, EsperaDormeVinteMsPorPassagem) {
  Exibir("Texto", "", [](TFrmPopupMensagem& p, uint32_t) { ConfirmarQuandoLiberado(p); });
  // About 10 s in 20 ms pauses: no pass without its pause.
  EXPECT_GE(FRelogio.Pausas, 495);
  EXPECT_LE(FRelogio.Pausas, 505);
  EXPECT_EQ(FRelogio.TotalDormido, static_cast<uint64_t>(FRelogio.Pausas) * 20);
}

TEST_F(CenarioPopup, LinkAbreNoShellComOPopupComoDono) {
  Exibir("Cadastre-se em https://intranet.vesk.com.br/cadastro?id=7 hoje.", "",
         [](TFrmPopupMensagem& p, uint32_t) {
           ASSERT_NE(p.LinkLabel(), nullptr);
           EXPECT_EQ(p.LinkLabel()->Texto(), "Abrir link de cadastro/processo");
           EXPECT_EQ(p.LinkLabel()->Cursor(), ui::TCursor::Mao);
           if (!p.Liberado()) return;
           p.LinkLabel()->Clicar();
           ConfirmarQuandoLiberado(p);
         });
  ASSERT_EQ(FShell.Chamadas.size(), 1u);
  EXPECT_EQ(FShell.Chamadas[0].Verbo, "open");
  EXPECT_EQ(FShell.Chamadas[0].Arquivo, "https://intranet.vesk.com.br/cadastro?id=7");
  EXPECT_EQ(FShell.Chamadas[0].Mostrar, kSwShowNormal);
}

// How the popup ends decides whether, and when, its caller hears that the
// notice went unconfirmed: at a real session end inside the session-end
// handler (the process may be ended once it returns), at another end of the
// program after the wait, and never for a confirmation, even one that came
// in the same pass of messages as the end.
TEST_F(CenarioPopup, NaoConfirmadoNoFimDaSessaoAntesDeOTratadorRetornar) {
  enum class TFim { Sessao, SessaoNoutraJanela, Programa, Confirmado, ConfirmadoEFimDaSessao };
  const struct {
    const char* Nome;
    TFim Fim;
    bool Confirma;
    int DentroDoTratador;  // calls heard by the time the handler returned
  } casos[] = {
      {"fim da sessao", TFim::Sessao, false, 1},
      {"fim da sessao ouvido pela janela principal", TFim::SessaoNoutraJanela, false, 1},
      {"Sair ou reinicio", TFim::Programa, false, 0},
      {"confirmado", TFim::Confirmado, true, 0},
      {"confirmado e fim da sessao juntos", TFim::ConfirmadoEFimDaSessao, true, 0},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.Nome);
    ui::headless::Reiniciar();
    ui::TJanela principal;
    int avisos = 0, dentro = -1;
    const bool confirmado = Exibir(
        "Texto", "",
        [&](TFrmPopupMensagem& p, uint32_t) {
          switch (c.Fim) {
            case TFim::Sessao:
              EXPECT_TRUE(p.AoConsultarFimSessao());
              p.EncerrarSessao();  // what WM_ENDSESSION with TRUE does
              dentro = avisos;
              break;
            case TFim::SessaoNoutraJanela:
              principal.EncerrarSessao();
              dentro = avisos;
              break;
            case TFim::Programa:
              ui::app::Terminar();
              dentro = avisos;
              break;
            case TFim::Confirmado:
              dentro = 0;
              ConfirmarQuandoLiberado(p);
              break;
            case TFim::ConfirmadoEFimDaSessao:
              if (!p.Liberado()) return;
              ConfirmarQuandoLiberado(p);
              p.EncerrarSessao();
              dentro = avisos;
              break;
          }
        },
        "", "", [&] { ++avisos; });
    EXPECT_EQ(confirmado, c.Confirma);
    EXPECT_EQ(dentro, c.DentroDoTratador);
    EXPECT_EQ(avisos, c.Confirma ? 0 : 1);
  }
  ui::headless::Reiniciar();
}
