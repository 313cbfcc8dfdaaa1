// The addresses the agent is configured to talk to, and the hosts among them
// that are trusted with the employee's Windows logon.
#pragma once

#include <string>
#include <vector>

// An absolute http or https address without blanks, quotes, backslashes or
// control characters: safe on a command line and for the shell to open.
bool EnderecoWebAceitavel(const std::string& AURL);

// The chat server's base URL, ending in "/": [CHAT] URL of config.ini when it
// is not blank and is an acceptable address, else the address built into the
// program (a refused value is logged once per distinct value).
std::string UrlBaseChatConfigurada();

// The hosts, lower-cased, that may be offered integrated authentication: the
// configured server's and the chat's. Reads config.ini, so it runs on the
// user-interface thread; a worker is handed the list.
std::vector<std::string> HostsAutenticacaoIntegrada();
