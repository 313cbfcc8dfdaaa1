// The services' HTTP helper: text, form posts and downloads with a number of
// attempts, a logged line per failed attempt and a 1000 ms pause between them.
#pragma once

#include <string>
#include <vector>

class THttpRetry {
 public:
  // The body of a GET decoded by the charset of its Content-Type (UTF-8 when
  // none). Tentativas <= 0 gives "" without a request. Each failed attempt is
  // logged as "GET erro tentativa <i>: <message>"; the last one is raised.
  static std::string GetText(const std::string& URL, int Tentativas);
  // The same for a POST of the form built from the name=value lines in Params,
  // logged as "POST erro tentativa <i>: <message>".
  static std::string PostForm(const std::string& URL, const std::vector<std::string>& Params,
                              int Tentativas);
  // Fetches URL into Destino; true when a non-empty body was written. An empty
  // body tries again at once; a failure is logged as "Download erro tentativa
  // <i>: <message> URL=<URL>" and paused after. Raises nothing but
  // ui::EEsperaAbandonada, when the program ends during the download.
  static bool DownloadFile(const std::string& URL, const std::string& Destino, int Tentativas);

  static constexpr unsigned kPausaMs = 1000;
};
