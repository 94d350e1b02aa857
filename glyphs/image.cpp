#include "glyphs/image.h"

Image::Image(int32_t w, int32_t h, int32_t isCompressed, uint16_t* picture)
    : width(w), height(h), compressed(isCompressed), pixels(picture) {}

Image::~Image() {
    delete[] pixels;
    delete[] map;
}
