// The request conventions without a server: query encoding, JSON readers,
// judging answers, names, token masking, addresses and body decoding.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "net/uConvencoes.h"
#include "net/uHttpCorpo.h"
#include "net/uJsonHelper.h"
#include "platform/uErros.h"
#include "platform/uHttpTransporte.h"
#include "platform/uLocalidade.h"
#include "platform/uRegistro.h"
#include "tests/support/uTestSupport.h"

TEST(CodificarURL, Exemplos) {
  EXPECT_EQ(CodificarURL("ab+c/d=e f"), "ab%2Bc%2Fd%3De+f");
  EXPECT_EQ(CodificarURL("Jo\xC3\xA3o"), "Jo%C3%A3o");
  EXPECT_EQ(CodificarURL("a.b-c_d*(x)!"), "a.b-c_d*(x)!");
  EXPECT_EQ(CodificarURL("$'@"), "$'@");
  EXPECT_EQ(CodificarURL("\"`#%&,:;<>?[\\]^{|}~"),
            "%22%60%23%25%26%2C%3A%3B%3C%3E%3F%5B%5C%5D%5E%7B%7C%7D%7E");
  EXPECT_EQ(CodificarURL(std::string("\t\x7F", 2)), "%09%7F");
  EXPECT_EQ(CodificarURL(""), "");
}

TEST(LeitoresJson, TabelaDeValores) {
  const TRespostaJson r(
      "{\"s\":\" a\\\"b \",\"i\":12,\"neg\":-7,\"f\":1.5,\"t\":true,\"fa\":false,\"n\":null,"
      "\"o\":{\"x\":1},\"a\":[1],\"dup\":\"primeiro\",\"dup\":\"segundo\",\"is\":\"12\","
      "\"big\":3000000000,\"bool\":\" SIM \",\"zero\":\"0\",\"e\":1e20,\"Caixa\":1}");
  const rapidjson::Value* o = r.Objeto();
  ASSERT_NE(o, nullptr);
  const std::string sep = SeparadorDecimal();
  struct Caso {
    const char* Nome;
    std::string Texto;
  };
  const Caso casos[] = {
      {"s", " a\"b "},  {"i", "12"},         {"neg", "-7"},         {"f", "1" + sep + "5"},
      {"t", "true"},    {"fa", "false"},     {"n", "pad"},          {"o", ""},
      {"a", ""},        {"dup", "primeiro"}, {"big", "3000000000"}, {"e", "1E20"},
      {"caixa", "pad"}, {"ausente", "pad"},
  };
  for (const Caso& c : casos) EXPECT_EQ(LerTextoJson(o, c.Nome, "pad"), c.Texto) << c.Nome;
  EXPECT_EQ(LerTextoJson(nullptr, "s", "pad"), "pad");

  EXPECT_EQ(LerInteiroJson(o, "i", -1), 12);
  EXPECT_EQ(LerInteiroJson(o, "is", -1), 12);
  EXPECT_EQ(LerInteiroJson(o, "t", -1), -1);
  EXPECT_EQ(LerInteiroJson(o, "s", -1), -1);
  EXPECT_EQ(LerInteiroJson(o, "big", -1), -1);  // past 32 bits
  EXPECT_EQ(LerInteiroJson(o, "f", -1), -1);
  EXPECT_EQ(LerInteiroJson(o, "ausente", 5), 5);

  EXPECT_TRUE(LerBooleanoJson(o, "t", false));
  EXPECT_TRUE(LerBooleanoJson(o, "bool", false));
  EXPECT_FALSE(LerBooleanoJson(o, "zero", true));
  // A null member takes the default, as a missing one.
  EXPECT_TRUE(LerBooleanoJson(o, "n", true));
  EXPECT_FALSE(LerBooleanoJson(o, "n", false));
  EXPECT_EQ(LerInteiroJson(o, "n", 4), 4);
  EXPECT_EQ(ObterJsonTexto(o, "n", "pad"), "pad");
  EXPECT_TRUE(LerBooleanoJson(o, "o", true));  // "" gives the default
  EXPECT_TRUE(LerBooleanoJson(o, "ausente", true));

  EXPECT_EQ(ObterJsonTexto(o, "s", "pad"), "a\"b");
  EXPECT_EQ(ObterJsonTexto(o, "o", "pad"), "");
  EXPECT_EQ(ObterJsonTexto(o, "ausente", "pad"), "pad");
  EXPECT_EQ(ObterJsonInteiro(o, "is", 0), 12);
  EXPECT_EQ(ObterJsonInteiro(o, "n", 9), 9);
}

TEST(JulgarResposta, TresDesfechos) {
  struct Caso {
    std::string Corpo;
    TTipoResposta Tipo;
  };
  const Caso casos[] = {
      {"", TTipoResposta::Vazia},
      {" \r\n\t ", TTipoResposta::Vazia},
      {"\xEF\xBB\xBF", TTipoResposta::Vazia},
      {"{\"ok\": true}", TTipoResposta::ObjetoJson},
      {"\xEF\xBB\xBF{\"ok\":true}", TTipoResposta::ObjetoJson},
      {"  {\"ok\":1}\r\n", TTipoResposta::ObjetoJson},
      {"<html><body>Erro</body></html>", TTipoResposta::ConteudoInvalido},
      {"Warning: x in y.php\n{\"ok\":true}", TTipoResposta::ConteudoInvalido},
      {"{\"ok\":true}garbage", TTipoResposta::ConteudoInvalido},
      {"[{\"ok\":true}]", TTipoResposta::ConteudoInvalido},
      {"{\"ok\":tr", TTipoResposta::ConteudoInvalido},
      {"\"texto\"", TTipoResposta::ConteudoInvalido},
      {std::string("\x00\x01\xFF\xFE{", 5), TTipoResposta::ConteudoInvalido},
      {std::string(200000, '['), TTipoResposta::ConteudoInvalido},
      {std::string(200000, '{'), TTipoResposta::ConteudoInvalido},
  };
  for (const Caso& c : casos)
    EXPECT_EQ(TRespostaJson(c.Corpo).Tipo(), c.Tipo) << PrimeirosCaracteres(c.Corpo, 40);
  EXPECT_EQ(TRespostaJson("\xEF\xBB\xBFx").Corpo(), "x");
  EXPECT_EQ(TRespostaJson("<html>").Objeto(), nullptr);
}

TEST(AnalisarJson, ProfundidadeLimitada) {
  auto listas = [](size_t N) { return std::string(N, '[') + std::string(N, ']'); };
  auto objetos = [](size_t N) {
    std::string s;
    for (size_t i = 0; i < N; ++i) s += "{\"a\":";
    return s + "1" + std::string(N, '}');
  };
  struct Caso {
    std::string Texto;
    bool Aceito;
  };
  const Caso casos[] = {
      {listas(kProfundidadeMaximaJson), true},
      {listas(kProfundidadeMaximaJson + 1), false},
      {objetos(kProfundidadeMaximaJson), true},
      {objetos(kProfundidadeMaximaJson + 1), false},
      {listas(1024 * 1024 / 2), false},
      {objetos(1024 * 1024 / 6), false},
      // Brackets inside strings are text, escaped quotes do not end a string.
      {"{\"a\":\"" + std::string(2000, '[') + "\\\"" + std::string(2000, '{') + "\"}", true},
      {"{\"a\":1", false},
  };
  for (const Caso& c : casos) {
    rapidjson::Document d;
    d.SetObject();
    EXPECT_EQ(AnalisarJson(d, c.Texto), c.Aceito) << PrimeirosCaracteres(c.Texto, 40);
    EXPECT_TRUE(c.Aceito || d.IsNull());
  }
  // A body refused for its depth is an invalid answer like any other.
  EXPECT_EQ(TRespostaJson(objetos(kProfundidadeMaximaJson + 1)).Tipo(),
            TTipoResposta::ConteudoInvalido);
  EXPECT_EQ(TRespostaJson(objetos(3)).Tipo(), TTipoResposta::ObjetoJson);
}

TEST(PrimeirosCaracteres, ContaUnidadesUtf16SemPartir) {
  EXPECT_EQ(PrimeirosCaracteres("abcdef", 3), "abc");
  EXPECT_EQ(PrimeirosCaracteres("\xC3\xA1\xC3\xA9x", 2), "\xC3\xA1\xC3\xA9");
  EXPECT_EQ(PrimeirosCaracteres("a\xF0\x9F\x98\x80", 2), "a");  // the pair would not fit
  EXPECT_EQ(PrimeirosCaracteres("ab", 500), "ab");
}

TEST(NomesDoComputadorEUsuario, VariantesETextosPadrao) {
  TSistemaFalso s;
  SubstituirConcern<ISistema> troca(s);
  s.Computador = " pc-Maria ";
  s.Ambiente = {{"USERNAME", " maria "}};
  s.UsuarioLogon = "maria.s";
  EXPECT_EQ(ObterNomeComputador(), " pc-Maria ");
  EXPECT_EQ(ObterNomeComputadorMaiusculo(), "PC-MARIA");
  EXPECT_EQ(ObterNomeUsuario(), " maria ");
  EXPECT_EQ(ObterUsuarioTarefas(), " maria ");
  EXPECT_EQ(ObterUsuarioWindows(), "maria.s");

  s.ComputadorDisponivel = false;
  s.UsuarioDisponivel = false;
  s.Ambiente.clear();
  EXPECT_EQ(ObterNomeComputador(), "PC");
  EXPECT_EQ(ObterNomeComputadorMaiusculo(), "PC");
  EXPECT_EQ(ObterNomeUsuario(), "");
  EXPECT_EQ(ObterUsuarioTarefas(), "USER");
  EXPECT_EQ(ObterUsuarioWindows(), "Usuario");
  s.Ambiente = {{"USERNAME", "  "}};
  EXPECT_EQ(ObterUsuarioTarefas(), "USER");
}

TEST(MascararToken, FormasETexto) {
  EXPECT_EQ(MascararToken("abcdef1234567890wxyz"), "abcdef...wxyz");
  EXPECT_EQ(MascararToken("abcdefghijklm"), "abcdef...jklm");
  EXPECT_EQ(MascararToken("abcdefghijkl"), "***");
  EXPECT_EQ(MascararToken(""), "***");
  const std::string token = "a+b/c=d e-123456";
  const std::string texto = "x?api_token=" + CodificarURL(token) + " corpo " + token + " fim";
  EXPECT_EQ(MascararTokenNoTexto(texto, token),
            "x?api_token=a+b/c=...3456 corpo a+b/c=...3456 fim");
  EXPECT_EQ(MascararTokenNoTexto("sem nada", ""), "sem nada");
  // A line already masked stays as it is.
  EXPECT_EQ(MascararTokenNoTexto("api_token=a+b/c=...3456", token), "api_token=a+b/c=...3456");
}

TEST(OcultarToken, MascaraParametrosMesmoSemConfiguracao) {
  TBaseTemporaria base;
  EXPECT_EQ(OcultarToken("GET http://h/x?api_token=0123456789abcdef&b=1 falhou"),
            "GET http://h/x?api_token=012345...cdef&b=1 falhou");
  EXPECT_EQ(OcultarToken("\"http://h/?API_TOKEN=curto\""), "\"http://h/?API_TOKEN=***\"");
  EXPECT_EQ(OcultarToken("api_token=&x"), "api_token=&x");
  EXPECT_EQ(OcultarToken("nada aqui"), "nada aqui");
  EXPECT_EQ(OcultarToken("api_token=a&API_Token=0123456789abcdef api_token="),
            "api_token=***&API_Token=012345...cdef api_token=");
  // A hostile answer of megabytes made of such names is masked in one go.
  std::string hostil;
  for (int i = 0; i < 200000; ++i) hostil += "api_token=x&";
  const std::string mascarado = OcultarToken(hostil);
  EXPECT_EQ(mascarado.size(), hostil.size() + 200000 * 2);
  EXPECT_EQ(mascarado.substr(0, 16), "api_token=***&ap");
}

// The token the policy gives is the one requests carry: it is masked too.
TEST(OcultarToken, MascaraOTokenDaPolitica) {
  TBaseTemporaria base;
  TRegistroMemoria reg;
  SubstituirConcern<IRegistro> troca(reg);
  reg.DefinirMaquina("SOFTWARE\\Policies\\Vesk\\Agent", "ApiToken", "politica-0123456789");
  EXPECT_EQ(OcultarToken("corpo politica-0123456789 fim"), "corpo politi...6789 fim");
}

TEST(EnderecosHttp, AnaliseERedirecionamento) {
  const TPartesUrl p = AnalisarUrlHttp("HTTPS://Servidor:8443/a b/c?x=\xC3\xA9#frag");
  EXPECT_TRUE(p.Seguro);
  EXPECT_EQ(p.Host, "Servidor");
  EXPECT_EQ(p.Porta, 8443);
  EXPECT_EQ(p.Caminho, "/a%20b/c?x=%C3%A9");
  EXPECT_EQ(AnalisarUrlHttp("http://h?x=1").Caminho, "/?x=1");
  EXPECT_EQ(AnalisarUrlHttp("http://[::1]:81/").Host, "::1");

  for (const char* url : {"", "servidor/x", "ftp://h/", "http://", "http://:80/", "http://h:0/",
                          "http://h:65536/", "http://h:8a/", "http://u:p@h/", "http://h:/",
                          "http://a:b:80/", "http://h]:80/", "http://[[::1]/", "http://[h/"}) {
    try {
      AnalisarUrlHttp(url);
      ADD_FAILURE() << url;
    } catch (const EHttpErro& E) {
      EXPECT_EQ(std::string(E.what()), "Invalid URL: \"" + std::string(url) + "\"");
    }
  }

  const std::string base = "http://h:81/a/b/c?q=1";
  struct Caso {
    const char* Location;
    const char* Alvo;
  };
  for (const Caso& c :
       {Caso{"https://outro/x", "https://outro/x"}, Caso{"//outro/y", "http://outro/y"},
        Caso{"/raiz", "http://h:81/raiz"}, Caso{"d", "http://h:81/a/b/d"},
        Caso{"../d?z=2", "http://h:81/a/d?z=2"}, Caso{"?z=3", "http://h:81/a/b/c?z=3"},
        Caso{"./", "http://h:81/a/b/"}, Caso{"../../../..", "http://h:81/"}})
    EXPECT_EQ(ResolverRedirecionamento(base, c.Location), c.Alvo) << c.Location;
  // Another scheme is no path of this server: the redirect fails.
  for (const char* loc : {"file:///C:/windows/win.ini", "FTP://h/x", "javascript:alert(1)",
                          "ms-settings:network", "x+y.z-w:1"}) {
    try {
      const std::string alvo = ResolverRedirecionamento(base, loc);
      ADD_FAILURE() << loc << " resolved to " << alvo;
    } catch (const EHttpErro& E) {
      EXPECT_EQ(std::string(E.what()),
                "Redirect to an unsupported address: \"" + std::string(loc) + "\"");
    }
  }
  // A colon after a slash or a query is part of a path.
  EXPECT_EQ(ResolverRedirecionamento(base, "d/e:f"), "http://h:81/a/b/d/e:f");
  EXPECT_EQ(ResolverRedirecionamento(base, "?t=1:2"), "http://h:81/a/b/c?t=1:2");
  EXPECT_EQ(MensagemExcessoRedirecionamentos(), "Maximum number of redirections (5) exceeded");
}

TEST(CorpoHttp, CharsetEInflar) {
  EXPECT_EQ(CharsetDoTipo("text/html; Charset=\"ISO-8859-1\""), "iso-8859-1");
  EXPECT_EQ(CharsetDoTipo("application/json;charset=utf-8;x=y"), "utf-8");
  EXPECT_EQ(CharsetDoTipo("text/plain"), "");
  EXPECT_EQ(CharsetDoTipo(""), "");
  EXPECT_EQ(DecodificarTexto("\xE9", "text/plain; charset=unknown-cs"), "\xEF\xBF\xBD");
  EXPECT_EQ(DecodificarTexto(std::string("\xFF\xFE"
                                         "A\0",
                                         4),
                             "text/plain; charset=utf-16"),
            "A");
  EXPECT_EQ(InflarCorpo("", "gzip"), "");
  EXPECT_EQ(InflarCorpo("abc", "identity"), "abc");
  EXPECT_EQ(InflarCorpo("abc", "br"), "abc");
  EXPECT_THROW(InflarCorpo("not gzip at all", "gzip"), EHttpErro);
  EXPECT_THROW(InflarCorpo("not deflate", " Deflate "), EHttpErro);
}

namespace {

// One gzip member holding the text.
std::string Gzip(const std::string& ATexto) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string saida(deflateBound(&z, ATexto.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(ATexto.data()));
  z.avail_in = static_cast<uInt>(ATexto.size());
  z.next_out = reinterpret_cast<Bytef*>(saida.data());
  z.avail_out = static_cast<uInt>(saida.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  saida.resize(z.total_out);
  deflateEnd(&z);
  return saida;
}

}  // namespace

TEST(CorpoHttp, GzipDeVariosMembros) {
  const std::string a = Gzip("{\"ok\":"), b = Gzip("true}"), c = Gzip(std::string(5000, 'x'));
  struct Caso {
    const char* Nome;
    std::string Bytes;
    std::string Texto;  // "" when it must fail
  };
  const Caso casos[] = {
      {"um membro", a, "{\"ok\":"},
      {"dois membros", a + b, "{\"ok\":true}"},
      {"tres membros", a + b + c, "{\"ok\":true}" + std::string(5000, 'x')},
      {"enchimento depois do membro", a + std::string(8, '\0'), "{\"ok\":"},
      {"segundo membro cortado", a + b.substr(0, b.size() - 3), ""},
      {"segundo membro corrompido", a + "\x1F\x8B" + std::string(20, 'z'), ""},
  };
  for (const Caso& k : casos) {
    if (k.Texto.empty()) {
      EXPECT_THROW(InflarCorpo(k.Bytes, "gzip"), EHttpErro) << k.Nome;
    } else {
      EXPECT_EQ(InflarCorpo(k.Bytes, "gzip"), k.Texto) << k.Nome;
    }
  }
  // The bound holds over all members together.
  EXPECT_EQ(InflarCorpoAte(a + c, "gzip", 5006).size(), 5006u);
  EXPECT_THROW(InflarCorpoAte(a + c, "gzip", 5005), EHttpErro);
}
