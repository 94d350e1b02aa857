#pragma once

#include <cstdint>

// Mixes an image pixel into *destination by its map byte, in the layout of colorType:
// 0 leaves the destination as it is; 1, 2, 3 give the image pixel a weight of 1/4, 1/2,
// 3/4; 4 and above replace the destination. Each channel is mixed on its own (low bits
// are masked off before the shifts), so none carries into the next.
void BlendPixel(uint16_t* destination, uint16_t pixel, uint8_t mapByte);
