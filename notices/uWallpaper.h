// Notice wallpaper: the picture converted to a bitmap beside it, then set on the desktop.
#pragma once

#include <string>

class TWallpaper {
 public:
  // True when the desktop wallpaper was set. A missing file, an extension other
  // than .bmp, .jpg, .jpeg or .png, a picture that does not decode in the format
  // of its extension or a refused write give false.
  static bool Aplicar(const std::string& AArquivo);
};
