// Single-attempt HTTP helpers with their own time-outs (the chat bubble's):
// nothing is logged or retried, failures reach the caller.
#pragma once

#include <string>
#include <vector>

class THttpNet {
 public:
  // GET with connect 20000 ms and response 30000 ms; the body as UTF-8.
  // AHostsAutenticacao: the hosts whose 401 may get the employee's Windows
  // logon (HostsAutenticacaoIntegrada, taken on the user-interface thread).
  static std::string GetText(const std::string& AURL,
                             const std::vector<std::string>& AHostsAutenticacao = {});
  // GET into ADestino with response 60000 ms: written to a temporary file as
  // it arrives and renamed over ADestino when whole (an empty body leaves an
  // empty file); a failure leaves ADestino as it was.
  static void DownloadFile(const std::string& AURL, const std::string& ADestino,
                           const std::vector<std::string>& AHostsAutenticacao = {});
  // POST of the form built from the name=value lines; the answer as UTF-8.
  static std::string PostForm(const std::string& AURL, const std::vector<std::string>& AParams,
                              const std::vector<std::string>& AHostsAutenticacao = {});

  static constexpr unsigned kConexaoMs = 20000;
  static constexpr unsigned kRespostaMs = 30000;
  static constexpr unsigned kRespostaDownloadMs = 60000;
};
