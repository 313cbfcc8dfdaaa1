// Routes under /test/ that the HTTP helpers' tests talk to: echoes, status
// pages, redirect chains, compressed and encoded bodies, counters, slow answers.
#include "tools/devserver/uRotasTeste.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <zlib.h>

#include <chrono>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

std::mutex GTravaContadores;
std::map<std::string, int> GContadores;

std::string Param(const httplib::Request& R, const char* ANome, const std::string& APadrao = "") {
  return R.has_param(ANome) ? R.get_param_value(ANome) : APadrao;
}

int ParamInt(const httplib::Request& R, const char* ANome, int APadrao) {
  try {
    return R.has_param(ANome) ? std::stoi(R.get_param_value(ANome)) : APadrao;
  } catch (...) {
    return APadrao;
  }
}

// gzip (window 31), zlib-wrapped deflate (15) or raw deflate (-15).
std::string Comprimir(const std::string& ATexto, int AJanela) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, AJanela, 8, Z_DEFAULT_STRATEGY);
  std::string saida(deflateBound(&z, ATexto.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(ATexto.data()));
  z.avail_in = static_cast<uInt>(ATexto.size());
  z.next_out = reinterpret_cast<Bytef*>(saida.data());
  z.avail_out = static_cast<uInt>(saida.size());
  deflate(&z, Z_FINISH);
  saida.resize(z.total_out);
  deflateEnd(&z);
  return saida;
}

int JanelaDe(const std::string& ATipo) {
  if (ATipo == "gzip") return 31;
  if (ATipo == "deflate-cru") return -15;
  return 15;
}

std::string PaginaErro(int AStatus) {
  return "<!DOCTYPE html>\n<html><head><title>" + std::to_string(AStatus) +
         "</title></head><body><h1>Erro " + std::to_string(AStatus) +
         "</h1><p>Pagina de teste.</p></body></html>\n";
}

// "Ação é ótima" in the charset's bytes.
std::string TextoNoCharset(const std::string& ACharset) {
  if (ACharset == "utf-8") return "A\xC3\xA7\xC3\xA3o \xC3\xA9 \xC3\xB3tima";
  if (ACharset == "us-ascii") return "Acao e otima";
  // iso-8859-1 and windows-1252 share these letters; windows-1252 adds the euro.
  std::string s = "A\xE7\xE3o \xE9 \xF3tima";
  if (ACharset == "windows-1252") s += " \x80";
  return s;
}

void Eco(const httplib::Request& R, httplib::Response& Res) {
  rapidjson::StringBuffer sb;
  rapidjson::Writer<rapidjson::StringBuffer> w(sb);
  auto par = [&](const char* ANome, const std::string& AValor) {
    w.Key(ANome);
    w.String(AValor.data(), static_cast<rapidjson::SizeType>(AValor.size()));
  };
  w.StartObject();
  par("method", R.method);
  const size_t q = R.target.find('?');
  par("query", q == std::string::npos ? "" : R.target.substr(q + 1));
  par("content_type", R.get_header_value("Content-Type"));
  par("accept_encoding", R.get_header_value("Accept-Encoding"));
  par("cookie", R.get_header_value("Cookie"));
  par("body", R.body);
  w.EndObject();
  Res.set_content(sb.GetString(), "application/json; charset=utf-8");
}

}  // namespace

void RegistrarRotasTeste(httplib::Server& S) {
  S.Get("/test/eco", Eco);
  S.Post("/test/eco", Eco);

  // /test/status/404: that status with an HTML page.
  S.Get(R"(/test/status/(\d+))", [](const httplib::Request& R, httplib::Response& Res) {
    const int status = std::stoi(R.matches[1]);
    Res.status = status;
    Res.set_content(PaginaErro(status), "text/html; charset=utf-8");
  });

  // /test/redir/N: a chain of N relative redirects ending in "fim".
  S.Get(R"(/test/redir/(\d+))", [](const httplib::Request& R, httplib::Response& Res) {
    const int n = std::stoi(R.matches[1]);
    if (n > 0) {
      Res.status = 302;
      Res.set_header("Location", std::to_string(n - 1));
      Res.set_content("<html>redirect</html>", "text/html");
    } else {
      Res.set_content("fim", "text/plain");
    }
  });

  // /test/para?url=ADDRESS: a 302 to that absolute address (another host).
  S.Get("/test/para", [](const httplib::Request& R, httplib::Response& Res) {
    Res.status = 302;
    Res.set_header("Location", Param(R, "url"));
    Res.set_content("<html>redirect</html>", "text/html");
  });

  // Integrated authentication: 401 asking for NTLM until a request carries an
  // NTLM Authorization header; its first message is proof enough that the
  // client offered the user's logon.
  S.Get("/test/ntlm", [](const httplib::Request& R, httplib::Response& Res) {
    if (R.get_header_value("Authorization").rfind("NTLM ", 0) == 0) {
      Res.set_content("autenticado", "text/plain");
      return;
    }
    Res.status = 401;
    Res.set_header("WWW-Authenticate", "NTLM");
    Res.set_content("sem credenciais", "text/plain");
  });

  // A form post answered 302: the follow-up must be a GET of the echo.
  S.Post("/test/post302", [](const httplib::Request& R, httplib::Response& Res) {
    Res.status = ParamInt(R, "status", 302);
    Res.set_header("Location", "/test/eco?depois=post");
    Res.set_content("movido", "text/plain");
  });

  // A cookie set on a redirect is sent on the next hop of the same request.
  S.Get("/test/cookie/definir", [](const httplib::Request&, httplib::Response& Res) {
    Res.status = 302;
    Res.set_header("Set-Cookie", "sessao=abc123; Path=/");
    Res.set_header("Location", "/test/eco");
  });

  // ?tipo=gzip|deflate|deflate-cru&texto=...: compressed whether asked or not.
  S.Get("/test/comprimido", [](const httplib::Request& R, httplib::Response& Res) {
    const std::string tipo = Param(R, "tipo", "gzip");
    const std::string texto = Param(R, "texto", "{\"ok\":true,\"texto\":\"comprimido\"}");
    Res.set_header("Content-Encoding", tipo == "deflate-cru" ? "deflate" : tipo);
    Res.set_content(Comprimir(texto, JanelaDe(tipo)), Param(R, "ct", "application/json"));
  });

  // ?tipo=gzip|deflate&modo=lixo|truncado: a compressed body that does not inflate.
  S.Get("/test/corrompido", [](const httplib::Request& R, httplib::Response& Res) {
    const std::string tipo = Param(R, "tipo", "gzip");
    std::string corpo = Comprimir(std::string(4000, 'x') + "{\"ok\":true}", JanelaDe(tipo));
    if (Param(R, "modo", "lixo") == "truncado")
      corpo.resize(corpo.size() / 2);
    else
      for (size_t i = 10; i < corpo.size(); i += 3) corpo[i] = static_cast<char>(corpo[i] ^ 0x5A);
    Res.set_header("Content-Encoding", tipo);
    Res.set_content(corpo, "application/json");
  });

  // Any path below /test/quebrado/ answers a gzip body that does not inflate, so
  // that a service's base address can point here.
  S.Get(R"(/test/quebrado/.*)", [](const httplib::Request&, httplib::Response& Res) {
    std::string corpo = Comprimir("{\"ok\":true,\"senha_agente_hash\":\"abc\"}", 31);
    corpo.resize(corpo.size() - 12);
    Res.set_header("Content-Encoding", "gzip");
    Res.set_content(corpo, "application/json");
  });

  // ?cs=utf-8|iso-8859-1|windows-1252|us-ascii&rotulo=0|1&ct=text/plain
  S.Get("/test/charset", [](const httplib::Request& R, httplib::Response& Res) {
    const std::string cs = Param(R, "cs", "utf-8");
    const std::string ct = Param(R, "ct", "text/plain");
    Res.set_content(TextoNoCharset(cs),
                    Param(R, "rotulo", "1") == "1" ? ct + "; charset=" + cs : ct);
  });

  // Raw bytes given in hexadecimal (?hex=...&ct=...), for bad sequences.
  S.Get("/test/bytes", [](const httplib::Request& R, httplib::Response& Res) {
    const std::string hex = Param(R, "hex");
    std::string corpo;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      corpo += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    Res.set_content(corpo, Param(R, "ct", "text/plain"));
  });

  S.Get("/test/vazio",
        [](const httplib::Request&, httplib::Response& Res) { Res.set_content("", "text/plain"); });

  S.Get("/test/bom", [](const httplib::Request&, httplib::Response& Res) {
    Res.set_content("\xEF\xBB\xBF{\"ok\":true}", "application/json; charset=utf-8");
  });

  // ?chave=K&falhas=N&modo=vazio|queda&corpo=...: the first N calls of a key
  // answer an empty body (vazio) or break the connection mid-answer (queda).
  S.Get("/test/contador", [](const httplib::Request& R, httplib::Response& Res) {
    int n = 0;
    {
      std::lock_guard<std::mutex> trava(GTravaContadores);
      n = ++GContadores[Param(R, "chave", "padrao")];
    }
    const std::string corpo = Param(R, "corpo", "conteudo " + std::to_string(n));
    if (n > ParamInt(R, "falhas", 0)) {
      Res.set_content(corpo, "application/octet-stream");
    } else if (Param(R, "modo", "vazio") == "queda") {
      // Promises a length and closes the connection before sending any of it.
      Res.set_content_provider(1000, "text/plain",
                               [](size_t, size_t, httplib::DataSink&) { return false; });
    } else {
      Res.set_content("", "text/plain");
    }
  });
  // Calls seen so far for a key (?chave=K), as plain digits.
  S.Get("/test/contador/ver", [](const httplib::Request& R, httplib::Response& Res) {
    std::lock_guard<std::mutex> trava(GTravaContadores);
    Res.set_content(std::to_string(GContadores[Param(R, "chave", "padrao")]), "text/plain");
  });

  // ?ms=N: answers after N milliseconds.
  S.Get("/test/lento", [](const httplib::Request& R, httplib::Response& Res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ParamInt(R, "ms", 2000)));
    Res.set_content("lento", "text/plain");
  });

  // ?mb=N: N MiB of text.
  S.Get("/test/grande", [](const httplib::Request& R, httplib::Response& Res) {
    const int mb = ParamInt(R, "mb", 10);
    Res.set_content(std::string(static_cast<size_t>(mb) * 1024 * 1024, 'a'), "text/plain");
  });

  // ?bytes=N&pedaco=K&ms=M&corte=C: N bytes of text in pieces of K with M ms
  // between them; without a length (chunked) unless corte is given, which
  // promises N and closes the connection after C.
  S.Get("/test/fluxo", [](const httplib::Request& R, httplib::Response& Res) {
    const size_t total = static_cast<size_t>(std::stoll(Param(R, "bytes", "1000")));
    const size_t pedaco = static_cast<size_t>(std::max(1, ParamInt(R, "pedaco", 65536)));
    const int ms = ParamInt(R, "ms", 0);
    const long long corte = std::stoll(Param(R, "corte", "-1"));
    auto enviar = [=](size_t AOffset, httplib::DataSink& ASink) {
      if (AOffset > 0 && ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      const std::string bloco(std::min(pedaco, total - AOffset), 'f');
      return ASink.write(bloco.data(), bloco.size());
    };
    if (corte >= 0) {
      Res.set_content_provider(total, "text/plain",
                               [=](size_t AOffset, size_t, httplib::DataSink& ASink) {
                                 if (AOffset >= static_cast<size_t>(corte)) return false;
                                 return enviar(AOffset, ASink);
                               });
    } else {
      auto enviado = std::make_shared<size_t>(0);
      Res.set_chunked_content_provider("text/plain", [=](size_t, httplib::DataSink& ASink) {
        if (*enviado >= total) {
          ASink.done();
          return true;
        }
        const bool ok = enviar(*enviado, ASink);
        *enviado += std::min(pedaco, total - *enviado);
        return ok;
      });
    }
  });
}
