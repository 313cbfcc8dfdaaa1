// What Windows does to a running program at a log-off or when an installer's
// Restart Manager closes it: the restart registration that brings the agent
// back after the installer, and the notice of the close for a program that has
// no window of its own (the watchdog).
#pragma once

#include <functional>

// Registers the running program, without arguments, to be started again in its
// session once an installer has closed it to replace its files. Not after a
// crash or a hang (the watchdog's business) nor after a reboot (the Run value's).
// False when Windows refuses; elsewhere there is nothing to register.
bool RegistrarReinicioAposInstalacao();

// Opens a hidden top-level window on a thread of its own: Windows asks only
// top-level windows to close at a log-off or for an installer, and a program
// without one cannot be closed and keeps its file in use. AAoFechar runs on that
// thread when the close is confirmed (WM_ENDSESSION); AInstalador tells an
// installer's close (ENDSESSION_CLOSEAPP) from the end of the session. False
// when the window cannot be made; elsewhere nothing is opened.
bool OuvirFimDeSessao(std::function<void(bool AInstalador)> AAoFechar);
