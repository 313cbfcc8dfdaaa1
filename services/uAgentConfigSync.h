// Configuration sync: fetches the agent's central settings (today the close
// password's hash) and stores them in config.ini.
#pragma once

class TAgentConfigSync {
 public:
  // Without an API token nothing happens. A request that fails after three
  // attempts, or a refused write of config.ini, reaches the caller.
  static void Sincronizar();
};
