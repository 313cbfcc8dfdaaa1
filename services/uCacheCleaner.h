// Cache cleanup: deletes files of the cache folder, all or the older ones.
#pragma once

#include <cstdint>

class TCacheCleaner {
 public:
  // Deletes every file directly in the cache folder; a file that cannot be
  // deleted is skipped silently. Never raises.
  static void LimparTudoCache() noexcept;
  // Deletes the files last modified before now less ADias x 24 hours.
  static void LimparCacheAntigo(int32_t ADias) noexcept;
};
