// Our own reader of Windows bitmap files (the POSIX decoder of the pictures concern).
#pragma once

#include <string_view>

#include "platform/uImagem.h"

// Uncompressed or bit-field BMP of 1, 4, 8, 16, 24 or 32 bits, top-down or
// bottom-up; false for RLE, damaged or truncated files. Pictures above the
// pixel limit are reduced as FatorReducao says.
bool DecodificarBmp(std::string_view ABytes, TBitmap& AImagem);
