#include "tools/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

Rgb8 ExpandPixel(uint16_t pixel, ColorType layout) {
    auto five = [](unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); };
    auto six = [](unsigned v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); };
    if (layout == kColor565) return Rgb8{five((pixel >> 11) & 31u), six((pixel >> 5) & 63u), five(pixel & 31u)};
    return Rgb8{five((pixel >> 10) & 31u), five((pixel >> 5) & 31u), five(pixel & 31u)};
}

namespace {

struct PngState {
    std::string message;
};

void OnPngError(png_structp png, png_const_charp text) {
    static_cast<PngState*>(png_get_error_ptr(png))->message = text;
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Kept apart from WritePng so no C++ object with a destructor lives across setjmp.
bool Encode(FILE* file, const SurfaceInfo& surface, const std::vector<png_bytep>& rows, PngState& state) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
    if (png == nullptr) {
        state.message = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        state.message = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width), static_cast<png_uint_32>(surface.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePng(const std::string& path, const SurfaceInfo& surface, ColorType layout, std::string& error) {
    if (surface.pixels == nullptr || surface.width < 1 || surface.height < 1 || surface.pitch < surface.width) {
        error = "no picture to write";
        return false;
    }
    const size_t w = static_cast<size_t>(surface.width);
    const size_t h = static_cast<size_t>(surface.height);
    std::vector<png_byte> rgb(w * h * 3);
    std::vector<png_bytep> rows(h);
    for (size_t y = 0; y < h; ++y) {
        const uint16_t* src = surface.pixels + y * static_cast<size_t>(surface.pitch);
        png_bytep dst = &rgb[y * w * 3];
        rows[y] = dst;
        for (size_t x = 0; x < w; ++x) {
            const Rgb8 c = ExpandPixel(src[x], layout);
            dst[3 * x] = c.red;
            dst[3 * x + 1] = c.green;
            dst[3 * x + 2] = c.blue;
        }
    }

    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    PngState state;
    bool ok = Encode(file, surface, rows, state);
    if (std::fclose(file) != 0 && ok) {
        state.message = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        error = path + ": " + state.message;
        std::remove(path.c_str());
    }
    return ok;
}
