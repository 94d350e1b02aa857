#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "display/glyph_blitter.h"
#include "glyphs/graphics_loader.h"
#include "support/fixed_string.h"
#include "tests/helpers/guarded_surface.h"

#define FUZZ_CHECK(condition) \
    if (!(condition)) std::abort()  // libFuzzer keeps the input

// Input bytes in order; zero once they run out.
struct FuzzReader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    size_t Left() const { return size - pos; }
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    uint32_t Bytes(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return v;
    }
    int32_t Int16() { return static_cast<int16_t>(Bytes(2)); }
    int32_t Int32() { return static_cast<int32_t>(Bytes(4)); }
    // The next n bytes (or a length byte's worth) to a zero byte, in a block of exactly its size:
    // a read past the terminator is an AddressSanitizer report.
    std::unique_ptr<char[]> Text(size_t n) {
        n = std::min(n, Left());
        const size_t length = strnlen(reinterpret_cast<const char*>(data + pos), n);
        std::unique_ptr<char[]> text(new char[length + 1]());  // zeroed, so terminated
        std::memcpy(text.get(), data + pos, length);
        pos += n;
        return text;
    }
    std::unique_ptr<char[]> Text() { return Text(Byte()); }
};

// Each target's body.
void Fuzz(FuzzReader& in);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader in{data, size};
    Fuzz(in);
    return 0;
}

// The process's one loader (its scratch pad is large), set to 5-5-5 or 5-6-5 pixels.
inline GraphicsLoader& Loader(int format) {
    static GraphicsLoader loader;
    return loader.SetPixelFormat(colorType = format & 1);
}
