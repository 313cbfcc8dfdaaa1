// The agent's application-wide settings: its title, and where the window kit
// reports the failures that it catches itself.
#pragma once

// Called once at start-up, before any window exists.
void PrepararAplicacao();
