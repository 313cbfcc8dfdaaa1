// Notice audio: one sound at a time through the media control interface.
#pragma once

#include <string>

class TAudioPlayer {
 public:
  // Plays the file in the background; a file the media interface cannot open
  // goes to the program the shell has registered for it.
  static void Tocar(const std::string& AArquivo);
  // Stops and releases the device; harmless when none is open.
  static void Parar();
  // True while the device reports that it plays.
  static bool EstaTocando();

  static constexpr const char* kAlias = "VeskAudio";
};
