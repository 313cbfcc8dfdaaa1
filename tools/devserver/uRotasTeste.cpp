// Routes under /test/ that the HTTP helpers' tests talk to.
#include "tools/devserver/uRotasTeste.h"

void RegistrarRotasTeste(httplib::Server&) {}
