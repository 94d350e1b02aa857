#include "tools/tga_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "glyphs/graphics_loader.h"
#include "support/fixed_string.h"

bool WriteTga(const std::string& path, const SurfaceInfo& surface, ColorType layout, std::string& error) {
    // The loader takes its paths as FixedString, which would cut a longer one short and
    // write somewhere else.
    if (path.empty() || path.size() > static_cast<size_t>(FixedString::kTextLimit)) {
        error = path + ": a TGA path must have 1 to " + std::to_string(FixedString::kTextLimit) + " characters";
        return false;
    }
    if (surface.pixels == nullptr || surface.width < 1 || surface.height < 1 || surface.pitch < surface.width) {
        error = "no picture to write";
        return false;
    }
    GraphicsLoader loader;
    loader.SetPixelFormat(layout);
    errno = 0;
    if (loader.SaveTga(FixedString(path.c_str()), surface)) return true;
    error = path + ": " + (errno != 0 ? std::strerror(errno) : "cannot be written");
    std::remove(path.c_str());
    return false;
}
