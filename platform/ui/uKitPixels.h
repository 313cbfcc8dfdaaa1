// Pixel work for drawing pictures: premultiplied alpha and area-averaged scaling.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/uImagem.h"
#include "platform/ui/uKit.h"

namespace ui {

// The picture's straight ARGB pixels premultiplied by their alpha, as
// AlphaBlend and layered windows take them.
std::vector<uint32_t> Premultiplicar(const TBitmap& AImagem);

// The picture scaled to ALargura x AAltura, each target pixel the average of the
// source area it covers (weighted by alpha, so transparent pixels add no colour
// at the edges), in premultiplied ARGB. Empty for an empty picture or size.
std::vector<uint32_t> EscalarPremultiplicado(const TBitmap& AImagem, int ALargura, int AAltura);

// The same for the part ARegiao (in target pixels) of the scaled picture only,
// row by row: time and memory follow the region and the source pixels under
// it, never the whole scaled picture. Empty when the region does not lie
// inside the scaled picture.
std::vector<uint32_t> EscalarRegiao(const TBitmap& AImagem, int ALargura, int AAltura,
                                    const TRetangulo& ARegiao);
// The same into ADestino (the region's width x height pixels, rows top to
// bottom), such as the bits of a DIB; false when there is nothing to scale.
bool EscalarRegiao(const TBitmap& AImagem, int ALargura, int AAltura, const TRetangulo& ARegiao,
                   uint32_t* ADestino);

}  // namespace ui
