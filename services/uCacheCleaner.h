// Cache cleanup: deletes files of the cache folder, all or the older ones.
#pragma once

#include <cstdint>
#include <string>

class TCacheCleaner {
 public:
  // Deletes every file directly in the cache folder; a file that cannot be
  // deleted is skipped silently. Never raises.
  static void LimparTudoCache() noexcept;
  // Deletes the files last modified before now less ADias x 24 hours.
  static void LimparCacheAntigo(int32_t ADias) noexcept;
  // For the start-up: deletes what downloads and pictures cut short left in
  // the cache and update folders (files named as TemporarioAoLado names them,
  // untouched for kIdadeTemporario, so that no download still running in
  // another session loses its file), and the wallpaper bitmaps of past
  // notices ("wall_*.bmp" of the cache) but the newest, which may be the
  // desktop's. Never raises.
  static void LimparTemporarios() noexcept;
  // Whether the name is one TemporarioAoLado gives: "<name>.tmp<pid>_<tick>".
  static bool NomeTemporario(const std::string& ANome);

  // Longer than any download may take.
  static constexpr double kIdadeTemporarioDias = 15.0 / (24 * 60);
};
