// A loopback port that accepts connections and never answers, for the tests
// of a chat server that hangs: the chat's address in config.ini points at it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "config/uConfigINI.h"

// Opens the port (AFila connections may wait on it) into ASocket, which the
// caller closes, and sets [CHAT] URL to it.
inline void ApontarChatParaPortaMuda(SOCKET& ASocket, int AFila) {
  WSADATA w;
  WSAStartup(MAKEWORD(2, 2), &w);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASocket = s;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
  ASSERT_EQ(listen(s, AFila), 0);
  int n = sizeof(a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  TConfigINI::EscreverTexto("CHAT", "URL",
                            "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/chat/");
}
