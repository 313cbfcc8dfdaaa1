// The agent's version, sent to the server and shown in the main window.
#pragma once

// "1.0.115"; defined alone in its file, so that a test build of the agent can
// carry another version by linking its own definition.
const char* VersaoAgente();
