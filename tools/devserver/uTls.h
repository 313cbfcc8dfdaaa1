// The development server's TLS listener: the same routes over HTTPS, with a
// self-signed certificate made in memory for this run only (never trusted by a
// client, so a request there is a certificate failure unless the client skips checks).
#pragma once

#include <memory>
#include <string>

#include <httplib.h>

// An HTTPS server for 127.0.0.1, not yet bound; nullptr with AErro set when the
// key, the certificate or the TLS context cannot be made.
std::unique_ptr<httplib::SSLServer> CriarServidorTls(std::string& AErro);
