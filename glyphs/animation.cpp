#include "glyphs/animation.h"

Animation::Animation(int32_t w, int32_t h, int32_t count, int32_t isCompressed)
    : width(w), height(h), frameCount(count), compressed(isCompressed) {}

// All slots are walked whatever frameCount says, so a record deleted half-way
// through loading releases exactly what was stored.
Animation::~Animation() {
    for (int i = 0; i < kMaxFrames; ++i) {
        delete[] frames[i];
        delete[] maps[i];
    }
}
