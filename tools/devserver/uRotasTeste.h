// Routes under /test/ that the HTTP helpers' tests talk to.
#pragma once

#include <httplib.h>

void RegistrarRotasTeste(httplib::Server& S);
