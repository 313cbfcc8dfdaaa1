// Notice wallpaper: the picture converted to a bitmap beside it, then set on the desktop.
#pragma once

#include <string>

class TWallpaper {
 public:
  // True when the desktop wallpaper was set. A missing file, an extension other
  // than .bmp, .jpg, .jpeg or .png, a picture that does not decode in the format
  // of its extension or a refused write give false. The bitmap keeps the
  // picture's resolution up to an 8K desktop; a .bmp source is never written
  // over with less (a larger one is used as it is, a failed write leaves it).
  static bool Aplicar(const std::string& AArquivo);
};
